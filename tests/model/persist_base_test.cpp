// The base record, its index keys, re-parenting, copying children between
// databases and the document counter.
#include <model/persist_base.h>

#include <gtest/gtest.h>

#include "model_test_util.h"

namespace {

CPPersistBase* MakeObject(const char* name, NeoID parent, long runInstance = 0)
{
    CPPersistBase* object = new CPPersistBase;
    object->SetName(name);
    object->SetParentID(parent);
    object->SetRunInstance(runInstance);
    return object;
}

CPPersistBase* Find(CNeoDatabase* db, CNeoSelect* select)
{
    return static_cast<CPPersistBase*>(db->findObject(kClassPersistBase, select));
}

std::vector<CString> NamesUnder(CNeoDatabase* db, NeoID parent)
{
    CNeoFoundObjects found;
    FindChildren(db, kClassPersistBase, parent, TRUE, &found);
    std::vector<CString> names;
    for (int i = 0; i < found.GetSize(); ++i)
        names.push_back(static_cast<CPPersistBase*>(found[i])->GetName());
    return names;
}

TEST(PersistBase, NewObjectHasTheConstructorDefaults)
{
    CPPersistBase object;
    EXPECT_EQ(object.GetDiagramKey(), -1);
    EXPECT_EQ(object.GetParentID(), 0);
    EXPECT_EQ(object.GetRunInstance(), 0);
    EXPECT_FALSE(object.IsNewObject());
    EXPECT_EQ(object.GetName(), "");
    EXPECT_EQ(object.getClassID(), kClassPersistBase);
}

TEST(PersistBase, RecordRoundTripsAndItsLengthIsWhatIsWritten)
{
    CPPersistBase empty;
    CPPersistBase full;
    full.SetNewObject(TRUE);
    full.SetDescription("a description");
    full.SetName("Nightly load");
    full.SetAccount("DOMAIN\\batch");
    full.SetPassword("secret");
    full.SetStepType(4);
    full.SetParentID(77);
    full.SetDiagramKey(12);
    full.SetRunInstance(1);
    full.SetCounter(3);
    for (CPPersistBase* object : {&empty, &full}) {
        for (short kind : {0, 1}) {
            CPPersistBase back;
            ReadRecord(&back, Record(object, kind), kind);
            EXPECT_EQ(back.IsNewObject(), object->IsNewObject());
            EXPECT_EQ(back.GetDescription(), object->GetDescription());
            EXPECT_EQ(back.GetName(), object->GetName());
            EXPECT_EQ(back.GetAccount(), object->GetAccount());
            EXPECT_EQ(back.GetPassword(), object->GetPassword());
            EXPECT_EQ(back.GetStepType(), object->GetStepType());
            EXPECT_EQ(back.GetParentID(), object->GetParentID());
            EXPECT_EQ(back.GetDiagramKey(), object->GetDiagramKey());
            EXPECT_EQ(back.GetRunInstance(), object->GetRunInstance());
            EXPECT_EQ(back.GetCounter(), object->GetCounter());
        }
    }
    // Four blobs of 4 + text bytes each, plus six 32-bit fields.
    EXPECT_EQ(empty.getFileLength(NeoGetFormat(1)), 16 + 24);
}

TEST(PersistBase, ValuesByTag)
{
    CPPersistBase object;
    object.SetName("name");
    object.SetParentID(0x80000001);
    object.SetRunInstance(1);
    object.SetDiagramKey(9);
    long value = 0;
    unsigned long unsignedValue = 0;
    EXPECT_TRUE(object.getValue(kTagRunInstance, kNeoLongType, &value));
    EXPECT_EQ(value, 1);
    EXPECT_TRUE(object.getValue(kNeoParentTag, kNeoULongType, &unsignedValue));
    EXPECT_EQ(unsignedValue, 0x80000001UL);
    EXPECT_TRUE(object.getValue(kTagDiagramKey, kNeoLongType, &value));
    EXPECT_EQ(value, 9);
    CNeoString text;
    EXPECT_TRUE(object.getValue(kTagName, kNeoStringType, &text));
    EXPECT_STREQ(text, "name");
    EXPECT_TRUE(object.getValue(kTagDescription, kNeoStringType, &text));
    EXPECT_STREQ(text, "");
    // The new-object flag and tags nobody answers are not values.
    EXPECT_FALSE(object.getValue(kTagNewObject, kNeoLongType, &value));
    EXPECT_FALSE(object.getValue(kTagConsoleKey, kNeoLongType, &value));
}

TEST(PersistBase, NamesKeepTwoHundredFiftyFiveCharactersAndEmptyEmpties)
{
    CPPersistBase object;
    CString longName(' ', 0);
    for (int i = 0; i < 300; ++i)
        longName += (char)('a' + i % 26);
    object.SetName(longName.Left(255));
    EXPECT_EQ(object.GetName(), longName.Left(255));
    object.SetName(longName);
    EXPECT_EQ(object.GetName().GetLength(), 255);
    object.SetName("");
    CNeoString text("x");
    EXPECT_TRUE(object.getValue(kTagName, kNeoStringType, &text));
    EXPECT_STREQ(text, "");
}

TEST(PersistBase, StoredObjectIsFoundByNameParentAndRunInstanceAfterReopening)
{
    FileDatabase db("model_find.db");
    CPPersistBase* a = MakeObject("alpha", 5);
    CPPersistBase* b = MakeObject("beta", 5, 1);
    CPPersistBase* c = MakeObject("gamma", 6);
    for (CPPersistBase* o : {a, b, c}) {
        db->addObject(o);
        o->unrefer();
    }
    db->commit();
    db.Reopen();

    CNeoStringSelect byName(kTagName, "beta");
    CPPersistBase* found = Find(db.get(), &byName);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->GetParentID(), 5);
    EXPECT_EQ(found->GetRunInstance(), 1);
    found->unrefer();

    EXPECT_EQ(NamesUnder(db.get(), 5), (std::vector<CString>{"alpha", "beta"}));
    CNeoLongSelect runInstances(kTagRunInstance, 1);
    CNeoFoundObjects copies;
    db->findObject(kClassPersistBase, &runInstances, TRUE, NULL, &copies);
    ASSERT_EQ(copies.GetSize(), 1);
    EXPECT_EQ(static_cast<CPPersistBase*>(copies[0])->GetName(), "beta");
    EXPECT_NE(db->getTagIndex(kClassPersistBase, kNeoParentTag), -1);
}

TEST(PersistBase, ReparentingRefilesTheObjectAndIsCommitted)
{
    FileDatabase db("model_parent.db");
    CPPersistBase* object = MakeObject("child", 0);
    db->addObject(object);
    db->commit();

    // Parent 0: the value is simply set, but the change is still committed.
    object->SetParentID(10);
    EXPECT_TRUE(db->isDirty());
    EXPECT_EQ(NamesUnder(db.get(), 10), std::vector<CString>{"child"});
    db->commit();
    // From a parent to another: taken out and filed again under the new one.
    object->SetParentID(11);
    EXPECT_TRUE(NamesUnder(db.get(), 10).empty());
    EXPECT_EQ(NamesUnder(db.get(), 11), std::vector<CString>{"child"});
    unsigned long parent = 12;
    EXPECT_TRUE(object->setValue(kNeoParentTag, kNeoULongType, &parent));
    object->unrefer();
    db->commit();
    db.Reopen();
    EXPECT_TRUE(NamesUnder(db.get(), 11).empty());
    EXPECT_EQ(NamesUnder(db.get(), 12), std::vector<CString>{"child"});
}

TEST(PersistBase, UpdateKeepsTheNewObjectFlag)
{
    CPPersistBase source;
    source.SetName("renamed");
    source.SetParentID(4);
    source.SetNewObject(TRUE);
    CPPersistBase stored;
    stored.update(&source);
    EXPECT_EQ(stored.GetName(), "renamed");
    EXPECT_EQ(stored.GetParentID(), 4);
    EXPECT_FALSE(stored.IsNewObject());
}

TEST(PersistBase, DebugTextNamesTheIDTwice)
{
    CPPersistBase object;
    object.SetName("step");
    object.SetParentID(3);
    object.SetStepType(1);
    object.setID(42);
    CMemFile file;
    EXPECT_EQ(object.GetDebugText(&file), 1);
    CString text;
    UINT length = (UINT)file.GetLength();
    file.SeekToBegin();
    file.Read(text.GetBufferSetLength(length), length);
    text.ReleaseBuffer(length);
    EXPECT_EQ(text, "Name:\t\tstep\nID:\t\t42\nOriginal ID:42\nParentID:\t3\nMark:\t\t0\nStep Type:\t1\n");
}

// Copying the children of one class from a source database into a target,
// under a receiving object.
class CopyChildren : public ::testing::Test {
protected:
    void SetUp() override
    {
        receiver = MakeObject("receiver", 0);
        receiver->setID(1000);
        target->addObject(receiver);
    }
    void TearDown() override { receiver->unrefer(); }

    CPPersistBase* AddToSource(NeoID id, const char* name, NeoID parent, long runInstance,
                               BOOL isNew = FALSE)
    {
        CPPersistBase* object = MakeObject(name, parent, runInstance);
        object->setID(id);
        object->SetNewObject(isNew);
        source->addObject(object);
        object->unrefer();
        return object;
    }

    FileDatabase source{"model_copy_source.db"};
    FileDatabase target{"model_copy_target.db"};
    CPPersistBase* receiver = NULL;
};

TEST_F(CopyChildren, CopiesTheMatchingFlagOnlyAndUpdatesExistingCopies)
{
    AddToSource(50, "definition", 1000, 0);
    AddToSource(51, "run copy", 1000, 1);
    AddToSource(52, "elsewhere", 999, 0);
    // An older copy of 50 already sits in the target under another parent.
    CPPersistBase* old = MakeObject("old name", 7);
    old->setID(50);
    target->addObject(old);
    old->unrefer();

    receiver->CopyChildrenOfClass(target.get(), source.get(), 1000, kClassPersistBase, 0);

    EXPECT_EQ(NamesUnder(target.get(), 1000), std::vector<CString>{"definition"});
    EXPECT_EQ(target->countObjects(kClassPersistBase), 2);
    EXPECT_EQ(gNeoDatabase, nullptr);
    EXPECT_EQ(gNeoTargetDatabase, nullptr);
}

TEST_F(CopyChildren, ChildrenOfParentZeroAreNotCopied)
{
    AddToSource(60, "orphan", 0, 0);
    receiver->CopyChildrenOfClass(target.get(), source.get(), 0, kClassPersistBase, 0);
    EXPECT_EQ(target->countObjects(kClassPersistBase), 1);
}

TEST_F(CopyChildren, NewObjectIsFiledUnderTheReceiverAndStoredOnce)
{
    AddToSource(70, "created by the console", 1000, 0, TRUE);
    receiver->CopyChildrenOfClass(target.get(), source.get(), 1000, kClassPersistBase, 0);
    // Stored again, as a second save of the same new object would.
    receiver->CopyChildrenOfClass(target.get(), source.get(), 1000, kClassPersistBase, 0);

    CNeoIDSelect byID(70);
    CPPersistBase* stored = Find(target.get(), &byID);
    ASSERT_TRUE(stored);
    EXPECT_EQ(stored->GetParentID(), 1000);
    EXPECT_FALSE(stored->IsNewObject());
    stored->unrefer();
    EXPECT_EQ(target->countObjects(kClassPersistBase), 2);
}

TEST(DocCounter, NextCountsAndSurvivesReopening)
{
    FileDatabase db("model_counter.db");
    CPDocCounter* counter = new CPDocCounter;
    db->addObject(counter);
    db->commit();
    EXPECT_EQ(counter->Next(), 1);
    EXPECT_EQ(counter->Next(), 2);
    EXPECT_TRUE(db->isDirty());
    counter->unrefer();
    db->commit();
    db.Reopen();
    CPDocCounter* back = static_cast<CPDocCounter*>(db->findObject(kClassDocCounter, NULL));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetValue(), 2);
    EXPECT_EQ(back->getFileLength(NeoGetFormat(1)), 4);
    back->unrefer();
}

}  // namespace
