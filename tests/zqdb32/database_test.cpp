// Objects, searches, iteration and the object cache of a database.
#include "fixtures.h"
#include "image_bytes.h"

#include <functional>
#include <map>
#include <set>

namespace {

// Five objects with letters as handles:
//   a Thing    "alpha" parent -  number  1 note "red"
//   b SubThing "beta"  parent a  number  2 note "blue"
//   c Thing    "gamma" parent a  number -7 note "red"
//   d Other    "delta" parent a  number  2 note "red"
//   e SubThing "beta"  parent c  number  5
class zqdb32Search : public FileDatabaseTest {
protected:
    zqdb32Search()
    {
        fIDs['a'] = add(MakeThing(kThingID, "alpha", 0, 1, "red"));
        fIDs['b'] = add(MakeThing(kSubThingID, "beta", fIDs['a'], 2, "blue"));
        fIDs['c'] = add(MakeThing(kThingID, "gamma", fIDs['a'], -7, "red"));
        fIDs['d'] = add(MakeThing(kOtherID, "delta", fIDs['a'], 2, "red"));
        fIDs['e'] = add(MakeThing(kSubThingID, "beta", fIDs['c'], 5));
    }

    // The letters of every match, in the order found.
    std::string find(NeoClassID classID, CNeoSelect* select)
    {
        CObArray found;
        CNeoPersist* first = fDB.findObject(classID, select, TRUE, NULL, &found);
        EXPECT_EQ(first, found.GetSize() ? found.GetAt(0) : NULL);
        std::string letters;
        for (int i = 0; i < found.GetSize(); ++i) {
            CNeoPersist* object = static_cast<CNeoPersist*>(found.GetAt(i));
            letters += letterOf(object->getID());
            object->unrefer();
        }
        return letters;
    }

    char letterOf(NeoID id)
    {
        for (const auto& handle : fIDs)
            if (handle.second == id)
                return handle.first;
        return '?';
    }

    std::string parentsOf(char parent)
    {
        CObArray found;
        CNeoOffspring::FindByParent(&fDB, kThingID, fIDs[parent], TRUE, &found);
        std::string letters;
        for (int i = 0; i < found.GetSize(); ++i) {
            letters += letterOf(static_cast<CNeoPersist*>(found.GetAt(i))->getID());
            static_cast<CNeoPersist*>(found.GetAt(i))->unrefer();
        }
        return letters;
    }

    std::map<char, NeoID> fIDs;
};

// Suite names start with the library's name, so that ctest -R zqdb32 picks them.
typedef FileDatabaseTest zqdb32File;

CNeoSelect* And(CNeoSelect* a, CNeoSelect* b)
{
    CNeoAndSelect* both = new CNeoAndSelect;
    both->addTerm(a);
    both->addTerm(b);
    return both;
}

}  // namespace

TEST_F(zqdb32File, ObjectsAndFieldsComeBackAfterReopen)
{
    NeoID parent = add(MakeThing(kThingID, "parent", 0, 123456789, std::string("a\0b", 3)));
    NeoID child = add(MakeThing(kSubThingID, "child", parent, -42));
    EXPECT_NE(parent, child);
    fDB.commit();
    reopen();

    EXPECT_EQ(fDB.countObjects(kThingID), 2);
    CThing* p = FindThing(fDB, parent);
    CThing* c = FindThing(fDB, child);
    ASSERT_TRUE(p && c);
    EXPECT_EQ(p->getClassID(), kThingID);
    EXPECT_EQ(p->name(), "parent");
    EXPECT_EQ(p->note(), std::string("a\0b", 3));
    EXPECT_EQ(p->fNumber, 123456789);
    EXPECT_EQ(c->getClassID(), kSubThingID);
    EXPECT_EQ(c->fParent, parent);
    EXPECT_EQ(c->fNumber, -42);
    p->unrefer();
    c->unrefer();
}

TEST_F(zqdb32File, CompactingAFileOfManyMegabytesKeepsEveryLatestRecord)
{
    // Enough records that compaction reads the file in several windows,
    // with the garbage of earlier versions between them.
    const int kThings = 1500;
    const size_t kNoteLength = 2500;
    const long kVersions = 3;  // the third commit leaves more garbage than live bytes
    auto noteOf = [&](int thing, long version) {
        std::string note = std::to_string(thing) + "/" + std::to_string(version) + ":";
        note.resize(kNoteLength, (char)('a' + (thing + version) % 26));
        return note;
    };
    std::vector<NeoID> ids;
    for (int i = 0; i < kThings; ++i)
        ids.push_back(add(MakeThing(kThingID, "thing", 0, i, noteOf(i, 0))));
    fDB.commit();
    unsigned long live = (unsigned long)ReadFileBytes(fPath).size();
    for (long version = 1; version < kVersions; ++version) {
        for (int i = 0; i < kThings; ++i) {
            CThing* thing = FindThing(fDB, ids[i]);
            std::string note = noteOf(i, version);
            thing->fNote.setBlob(note.data(), (unsigned long)note.size());
            thing->setDirty();
            thing->unrefer();
        }
        fDB.commit();
    }
    EXPECT_LT(ReadFileBytes(fPath).size(), live * 3 / 2) << "the file was not compacted";

    reopen();
    for (int i = 0; i < kThings; ++i) {
        CThing* thing = FindThing(fDB, ids[i]);
        ASSERT_TRUE(thing) << i;
        EXPECT_EQ(thing->fNumber, i);
        EXPECT_EQ(thing->note(), noteOf(i, kVersions - 1)) << i;
        thing->unrefer();
    }
}

TEST_F(zqdb32Search, SelectionsFindTheRightObjects)
{
    NeoID a = fIDs['a'], c = fIDs['c'], d = fIDs['d'];
    struct Case {
        NeoClassID classID;
        std::function<CNeoSelect*()> select;
        std::string expected;
    };
    const Case cases[] = {
        {kThingID, [] { return new CNeoStringSelect(kNameTag, "beta"); }, "be"},
        {kSubThingID, [] { return new CNeoStringSelect(kNameTag, "beta"); }, "be"},
        {kThingID, [] { return new CNeoStringSelect(kNameTag, "nobody"); }, ""},
        {kThingID, [=] { return new CNeoULongSelect(kNeoParentTag, a); }, "bc"},
        {kNeoPersistID, [=] { return new CNeoULongSelect(kNeoParentTag, a); }, "bcd"},
        {kThingID, [] { return new CNeoLongSelect(kNumberTag, -7); }, "c"},
        {kThingID, [] { return new CNeoLongSelect(kNumberTag, 2); }, "b"},
        {kOtherID, [] { return new CNeoLongSelect(kNumberTag, 2); }, "d"},
        {kThingID, [] { return new CNeoStringSelect(kNoteTag, "red"); }, "ac"},
        {kThingID, [=] { return And(new CNeoStringSelect(kNameTag, "beta"),
                                    new CNeoULongSelect(kNeoParentTag, c)); }, "e"},
        {kThingID, [=] { return And(new CNeoIDSelect(c), new CNeoLongSelect(kNumberTag, -7)); }, "c"},
        {kThingID, [=] { return And(new CNeoIDSelect(c), new CNeoLongSelect(kNumberTag, 1)); }, ""},
        {kThingID, [=] { return new CNeoIDSelect(d); }, ""},
        {kNeoPersistID, [=] { return new CNeoIDSelect(d); }, "d"},
        {kThingID, [] { return new CNeoClassSelect(kSubThingID); }, "be"},
        {kThingID, [] { return nullptr; }, "abce"},
        {kSubThingID, [] { return nullptr; }, "be"},
        {kNeoPersistID, [] { return nullptr; }, "abcde"},
    };
    // New objects, committed ones and ones read back from the file.
    for (const char* when : {"before commit", "after commit", "after reopen"}) {
        if (std::string(when) == "after commit")
            fDB.commit();
        if (std::string(when) == "after reopen")
            reopen();
        for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            CNeoSelect* select = cases[i].select();
            EXPECT_EQ(find(cases[i].classID, select), cases[i].expected) << "case " << i << ", " << when;
            delete select;
        }
    }
}

TEST_F(zqdb32Search, AndSelectionsFindTheSameInEitherOrder)
{
    typedef std::function<CNeoSelect*()> Term;
    auto name = [](const char* value) -> Term { return [=] { return new CNeoStringSelect(kNameTag, value); }; };
    auto parent = [](NeoID id) -> Term { return [=] { return new CNeoULongSelect(kNeoParentTag, id); }; };
    auto number = [](long value) -> Term { return [=] { return new CNeoLongSelect(kNumberTag, value); }; };
    auto note = [](const char* value) -> Term { return [=] { return new CNeoStringSelect(kNoteTag, value); }; };
    auto ofClass = [](NeoClassID id) -> Term { return [=] { return new CNeoClassSelect(id); }; };
    NeoID a = fIDs['a'], c = fIDs['c'];
    struct Case {
        Term one, other;
        std::string expected;
    };
    const Case cases[] = {
        {name("beta"), parent(c), "e"},
        {name("beta"), parent(a), "b"},
        {number(2), parent(a), "b"},
        {number(-7), name("gamma"), "c"},
        {note("red"), parent(a), "c"},  // a term no index answers
        {ofClass(kSubThingID), parent(a), "b"},
        {name("beta"), number(99), ""},
    };
    for (const char* when : {"before commit", "after reopen"}) {
        if (std::string(when) == "after reopen") {
            fDB.commit();
            reopen();
        }
        for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i) {
            CNeoSelect* forward = And(cases[i].one(), cases[i].other());
            CNeoSelect* backward = And(cases[i].other(), cases[i].one());
            EXPECT_EQ(find(kThingID, forward), cases[i].expected) << "case " << i << ", " << when;
            EXPECT_EQ(find(kThingID, backward), cases[i].expected) << "case " << i << " reversed, " << when;
            delete forward;
            delete backward;
        }
    }
}

TEST_F(zqdb32Search, FindsReferenceWhatTheyReturn)
{
    CNeoStringSelect beta(kNameTag, "beta");
    CObArray all;
    fDB.findObject(kThingID, &beta, TRUE, NULL, &all);
    ASSERT_EQ(all.GetSize(), 2);
    for (int i = 0; i < all.GetSize(); ++i) {
        EXPECT_EQ(static_cast<CNeoPersist*>(all.GetAt(i))->getUseCount(), 1);
        static_cast<CNeoPersist*>(all.GetAt(i))->unrefer();
    }

    // Without a list: the first match in ID order.
    CNeoPersist* found = fDB.findObject(kThingID, &beta);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->getID(), fIDs['b']);
    EXPECT_EQ(found->getUseCount(), 1);
    // While referenced, every find returns the same object.
    CNeoPersist* again = fDB.findObject(kThingID, &beta);
    EXPECT_EQ(again, found);
    EXPECT_EQ(found->getUseCount(), 2);
    again->unrefer();
    found->unrefer();
}

TEST_F(zqdb32Search, ChangedKeysAreSearchedByTheirNewValues)
{
    CThing* c = FindThing(fDB, fIDs['c']);
    c->fName.setText("omega");
    c->fNumber = 77;
    c->setDirty();
    auto check = [&](const char* when) {
        CNeoStringSelect omega(kNameTag, "omega"), gamma(kNameTag, "gamma");
        CNeoLongSelect n77(kNumberTag, 77), n7(kNumberTag, -7);
        EXPECT_EQ(find(kThingID, &omega), "c") << when;
        EXPECT_EQ(find(kThingID, &gamma), "") << when;
        EXPECT_EQ(find(kThingID, &n77), "c") << when;
        EXPECT_EQ(find(kThingID, &n7), "") << when;
    };
    check("held and changed");
    c->unrefer();
    check("changed");
    fDB.commit();
    check("committed");
    reopen();
    check("reopened");

    // Marked changed first and changed afterwards while still held.
    CThing* held = FindThing(fDB, fIDs['c']);
    held->setDirty();
    held->fName.setText("psi");
    CNeoStringSelect psi(kNameTag, "psi");
    EXPECT_EQ(find(kThingID, &psi), "c");
    held->unrefer();
    EXPECT_EQ(find(kThingID, &psi), "c");
}

TEST_F(zqdb32Search, RemoveAndAddBackMovesToAnotherParent)
{
    fDB.commit();
    CThing* b = FindThing(fDB, fIDs['b']);
    fDB.removeObject(b);
    b->fParent = fIDs['c'];
    fDB.addObject(b);
    EXPECT_EQ(b->getID(), fIDs['b']);
    b->unrefer();
    EXPECT_EQ(parentsOf('a'), "c");
    EXPECT_EQ(parentsOf('c'), "be");
    fDB.commit();
    reopen();
    EXPECT_EQ(parentsOf('a'), "c");
    EXPECT_EQ(parentsOf('c'), "be");
}

TEST_F(zqdb32Search, RemovedObjectsStayRemovedAfterReopen)
{
    fDB.commit();
    CThing* c = FindThing(fDB, fIDs['c']);
    fDB.removeObject(c);
    EXPECT_EQ(c->getDatabase(), nullptr);
    c->unrefer();  // now a free object: this deletes it
    // Removed, added back and removed again within one commit.
    CThing* b = FindThing(fDB, fIDs['b']);
    fDB.removeObject(b);
    fDB.addObject(b);
    fDB.removeObject(b);
    b->unrefer();
    EXPECT_EQ(find(kNeoPersistID, NULL), "ade");
    fDB.commit();
    reopen();
    EXPECT_EQ(find(kNeoPersistID, NULL), "ade");
    EXPECT_EQ(parentsOf('a'), "");
}

TEST_F(zqdb32Search, IteratorWalksInIDOrderSeeingAdditionsAndSkippingRemovals)
{
    fDB.commit();
    CNeoIndexIterator* it = fDB.getIterator(kThingID, NULL);
    std::string walked;
    for (CNeoPersist* object = it->first(); object; object = it->nextObject()) {
        char letter = letterOf(object->getID());
        walked += letter;
        if (letter == 'a') {
            fIDs['f'] = add(MakeThing(kThingID, "late", 0, 9));
            CThing* c = FindThing(fDB, fIDs['c']);
            fDB.removeObject(c);
            c->unrefer();
        }
        if (letter == 'b') {  // the current object itself goes away
            fDB.removeObject(object);
            EXPECT_EQ(it->currentObject(), nullptr);
        }
        object->unrefer();
    }
    EXPECT_EQ(walked, "abef");
    EXPECT_EQ(it->nextObject(), nullptr);
    CNeoPersist* again = it->first();
    ASSERT_TRUE(again);
    EXPECT_EQ(again->getID(), fIDs['a']);
    CNeoPersist* current = it->currentObject();
    EXPECT_EQ(current, again);
    current->unrefer();
    again->unrefer();
    delete it;

    CNeoIndexIterator* selective = fDB.getIterator(kThingID, new CNeoLongSelect(kNumberTag, 5));
    CNeoPersist* only = selective->first();
    ASSERT_TRUE(only);
    EXPECT_EQ(only->getID(), fIDs['e']);
    only->unrefer();
    EXPECT_EQ(selective->nextObject(), nullptr);
    delete selective;
}

TEST_F(zqdb32Search, PurgeDropsOnlyUnreferencedCommittedIdleObjects)
{
    fDB.commit();
    reopen();  // every object now read from the file and unreferenced
    CThing* held = FindThing(fDB, fIDs['a']);
    CThing* dirty = FindThing(fDB, fIDs['b']);
    dirty->fNumber = 222;
    dirty->setDirty();
    dirty->unrefer();
    CThing* busy = FindThing(fDB, fIDs['c']);
    busy->setBusy();
    busy->unrefer();
    CThing* kept = FindThing(fDB, fIDs['d']);
    kept->fKeepInMemory = TRUE;
    kept->unrefer();
    CThing* uncommitted = MakeThing(kThingID, "new", 0, 0);
    fIDs['f'] = add(uncommitted);

    EXPECT_EQ(fDB.cachedCount(), 6);
    fDB.purge(1000);
    EXPECT_EQ(fDB.cachedCount(), 5);  // only e went

    long reads = CThing::gReads;
    for (char survivor : std::string("abcdf")) {
        CThing* thing = FindThing(fDB, fIDs[survivor]);
        EXPECT_EQ(CThing::gReads, reads) << survivor << " was read again";
        thing->unrefer();
    }
    CThing* b = FindThing(fDB, fIDs['b']);
    EXPECT_EQ(b->fNumber, 222);  // the unsaved change is still there
    EXPECT_TRUE(b->isDirty());
    b->unrefer();
    CThing* e = FindThing(fDB, fIDs['e']);
    EXPECT_EQ(CThing::gReads, reads + 1);
    EXPECT_EQ(e->name(), "beta");
    EXPECT_EQ(e->fParent, fIDs['c']);
    e->unrefer();
    CNeoStringSelect beta(kNameTag, "beta");
    EXPECT_EQ(find(kThingID, &beta), "be");

    held->unrefer();
    fDB.commit();
    reopen();
    b = FindThing(fDB, fIDs['b']);
    EXPECT_EQ(b->fNumber, 222);
    b->unrefer();
}

TEST_F(zqdb32File, AndSearchReadsOnlyTheObjectsOfItsRarestKey)
{
    const long kCommonFlag = 0, kOtherFlag = 1, kCommon = 500, kChildren = 3;
    NeoID parent = add(MakeThing(kThingID, "parent", 0, kOtherFlag));
    for (long i = 0; i < kCommon; ++i)
        add(MakeThing(kThingID, "common", 0, kCommonFlag));
    for (long i = 0; i < kChildren; ++i)
        add(MakeThing(kThingID, "child", parent, kCommonFlag));
    add(MakeThing(kThingID, "other child", parent, kOtherFlag));
    fDB.commit();
    for (bool flagFirst : {true, false}) {
        fDB.purge(0x7FFFFFFF);
        ASSERT_EQ(fDB.cachedCount(), 0);
        CNeoSelect* flag = new CNeoLongSelect(kNumberTag, kCommonFlag);
        CNeoSelect* byParent = new CNeoULongSelect(kNeoParentTag, (unsigned long)parent);
        CNeoSelect* both = flagFirst ? And(flag, byParent) : And(byParent, flag);
        long reads = CThing::gReads;
        CNeoFoundObjects found;
        fDB.findObject(kThingID, both, TRUE, NULL, &found);
        EXPECT_EQ(found.GetSize(), kChildren) << (flagFirst ? "flag first" : "parent first");
        // The parent's four children, and nothing with the common flag only.
        EXPECT_EQ(CThing::gReads - reads, kChildren + 1) << (flagFirst ? "flag first" : "parent first");
        delete both;
    }
}

TEST_F(zqdb32File, ASecondOpenOfTheFileIsRefused)
{
    CNeoFileLocation location(fPath.c_str());
    CNeoDatabase second;
    second.setLocation(&location);
    CNeoException* error = NULL;
    try {
        second.open();
    } catch (CNeoException* e) {
        error = e;
    }
    ASSERT_TRUE(error) << "a second database opened the file";
    EXPECT_EQ(error->getCode(), CNeoException::kIO);
    std::string text = TextOf(error);
    EXPECT_NE(text.find(fPath), std::string::npos) << text;
    EXPECT_NE(text.find("already open"), std::string::npos) << text;
    EXPECT_FALSE(second.isOpen());
    // Once the first lets it go, the file opens.
    fDB.close();
    second.open();
    EXPECT_TRUE(second.isOpen());
    second.close();
    fDB.open();
}

TEST_F(zqdb32File, IsDirtyUntilCommit)
{
    EXPECT_FALSE(fDB.isDirty());
    NeoID id = add(MakeThing(kThingID, "x", 0, 0));
    EXPECT_TRUE(fDB.isDirty());
    fDB.commit();
    EXPECT_FALSE(fDB.isDirty());
    CThing* thing = FindThing(fDB, id);
    EXPECT_FALSE(thing->isDirty());
    thing->setDirty();
    EXPECT_TRUE(thing->isDirty());
    EXPECT_TRUE(fDB.isDirty());
    fDB.commit();
    EXPECT_FALSE(thing->isDirty());
    fDB.removeObject(thing);
    thing->unrefer();
    EXPECT_TRUE(fDB.isDirty());
    fDB.commit();
    EXPECT_FALSE(fDB.isDirty());
}

TEST_F(zqdb32File, ObjectsHeldAtCloseBecomeFree)
{
    NeoID id = add(MakeThing(kThingID, "x", 0, 0));
    fDB.commit();
    CThing* held = FindThing(fDB, id);
    fDB.close();
    EXPECT_EQ(held->getDatabase(), nullptr);
    EXPECT_EQ(held->name(), "x");
    held->unrefer();
    CNeoException* error = NULL;
    try {
        FindThing(fDB, id);
    } catch (CNeoException* e) {
        error = e;
    }
    ASSERT_TRUE(error);
    EXPECT_EQ(error->getCode(), CNeoException::kNotOpen);
    error->Delete();
    fDB.open();
}

TEST(zqdb32TagIndex, NumbersTheKeysOfAClassAndItsAncestors)
{
    RegisterThings();
    CNeoDatabase db;
    std::set<long> numbers;
    for (NeoTag tag : {kNameTag, kNeoParentTag, kNumberTag}) {
        long number = db.getTagIndex(kThingID, tag);
        EXPECT_GE(number, 0);
        numbers.insert(number);
        EXPECT_EQ(db.getTagIndex(kSubThingID, tag), number);
    }
    EXPECT_EQ(numbers.size(), 3u);
    EXPECT_EQ(db.getTagIndex(kThingID, kNoteTag), -1);
    EXPECT_EQ(db.getTagIndex(kOtherID, kNameTag), -1);
    EXPECT_EQ(db.getTagIndex(987654, kNameTag), -1);
}

TEST(zqdb32MemoryImage, BytesOpenElsewhere)
{
    RegisterThings();
    Bytes image;
    NeoID id;
    {
        CNeoDatabase db;
        CMemoryStream* stream = new CMemoryStream(&db);
        db.setStream(stream);
        db.open();
        CThing* thing = MakeThing(kSubThingID, "in memory", 7, 8, "note");
        db.addObject(thing);
        id = thing->getID();
        thing->unrefer();
        db.commit();
        image = stream->bytes();
    }
    CNeoDatabase copy;
    copy.setStream(new CMemoryStream(&copy, image));
    copy.open(0xC0000000, FALSE);
    CThing* thing = FindThing(copy, id);
    ASSERT_TRUE(thing);
    EXPECT_EQ(thing->getClassID(), kSubThingID);
    EXPECT_EQ(thing->name(), "in memory");
    EXPECT_EQ(thing->note(), "note");
    EXPECT_EQ(thing->fParent, 7);
    thing->unrefer();
}

TEST(zqdb32MemoryImage, ACutImageIsRefusedNotOpenedShort)
{
    RegisterThings();
    Bytes image;
    {
        CNeoDatabase db;
        CMemoryStream* stream = new CMemoryStream(&db);
        db.setStream(stream);
        db.open();
        for (int commit = 0; commit < 2; ++commit) {
            CThing* thing = MakeThing(kThingID, "sent", 0, commit);
            db.addObject(thing);
            thing->unrefer();
            db.commit();
        }
        image = stream->bytes();
    }
    image.pop_back();
    CNeoDatabase copy;
    copy.setStream(new CMemoryStream(&copy, image));
    CNeoException* error = NULL;
    try {
        copy.open(0xC0000000, FALSE);
    } catch (CNeoException* e) {
        error = e;
    }
    ASSERT_TRUE(error) << "an image without its last commit opened";
    EXPECT_EQ(error->getCode(), CNeoException::kDamaged);
    error->Delete();
}

TEST(zqdb32ImageWriter, WritesTheBytesOfADatabaseGivenTheSameObjects)
{
    RegisterThings();
    // IDs in the order they are added: none, one, and jumps past the
    // reserved range up and down, which write checkpoints into both slots.
    const std::vector<std::vector<NeoID>> kOrders = {
        {}, {5}, {3000, 10, 2000, 5000, 4000, 9000}, {1, 2, 3, 1030, 1029}};
    for (const auto& order : kOrders) {
        Bytes expected;
        {
            CNeoDatabase db;
            CMemoryStream* stream = new CMemoryStream(&db);
            db.setStream(stream);
            db.open();
            for (NeoID id : order) {
                CThing* thing = MakeThing(kSubThingID, "thing", id / 2, id, "a note");
                thing->setID(id);
                db.addObject(thing);
                thing->unrefer();
            }
            db.commit();
            expected = stream->bytes();
        }
        CNeoImageWriter writer;
        writer.start();
        for (NeoID id : order) {
            CThing* thing = MakeThing(kSubThingID, "thing", id / 2, id, "a note");
            thing->setID(id);
            writer.add(thing);
            EXPECT_TRUE(writer.holds(id));
            thing->unrefer();
        }
        unsigned long length = 0;
        const unsigned char* bytes = writer.finish(&length);
        EXPECT_EQ(ImageWithoutSalt(Bytes(bytes, bytes + length)), ImageWithoutSalt(expected))
            << order.size() << " objects";
    }
}

TEST(zqdb32ImageWriter, RefusesAnObjectWithoutIDOrTwice)
{
    RegisterThings();
    CNeoImageWriter writer;
    writer.start();
    CThing* thing = MakeThing(kThingID, "once", 0, 1);
    const NeoID kAdded = 8;
    thing->setID(kAdded);
    writer.add(thing);
    // No ID, a negative one, and one the image holds already.
    const NeoID kRefused[] = {0, -3, kAdded};
    for (NeoID id : kRefused) {
        thing->setID(id);
        CNeoException* error = NULL;
        try {
            writer.add(thing);
        } catch (CNeoException* e) {
            error = e;
        }
        ASSERT_TRUE(error) << id;
        EXPECT_EQ(error->getCode(), CNeoException::kBadArgument);
        error->Delete();
    }
    thing->unrefer();
    // The refused objects left nothing behind: the image opens with one object.
    unsigned long length = 0;
    const unsigned char* bytes = writer.finish(&length);
    CNeoDatabase copy;
    copy.setStream(new CMemoryStream(&copy, Bytes(bytes, bytes + length)));
    copy.open(0xC0000000, FALSE);
    EXPECT_EQ(copy.countObjects(kThingID), 1);
}
