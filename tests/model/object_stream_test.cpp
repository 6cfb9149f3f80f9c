// Memory files and in-memory databases that travel as bytes.
#include <model/batch.h>
#include <model/object_stream.h>
#include <model/steps.h>
#include <model/triggers.h>

#include <gtest/gtest.h>

#include "model_test_util.h"
#include "image_bytes.h"
#include "sample_batch.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

TEST(MemoryFile, GrowsInStepsThatDouble)
{
    MemoryFile file(1024);
    char byte = 'x';
    file.Write(&byte, 1);
    EXPECT_EQ(file.GetCapacity(), 1024UL);
    std::vector<char> more(1024, 'y');
    file.Write(more.data(), (unsigned long)more.size());
    EXPECT_EQ(file.GetCapacity(), 2048UL);
    EXPECT_EQ(file.GetLength(), 1025UL);

    // Written a byte at a time up to 1 MB, the capacity doubles each time
    // it grows: ten reallocations, not a thousand.
    const unsigned long kMegabyte = 1UL << 20;
    std::vector<unsigned long> capacities;
    while (file.GetLength() < kMegabyte) {
        file.Write(&byte, 1);
        if (capacities.empty() || capacities.back() != file.GetCapacity())
            capacities.push_back(file.GetCapacity());
    }
    std::vector<unsigned long> expected;
    for (unsigned long c = 2048; c <= kMegabyte; c *= 2)
        expected.push_back(c);
    EXPECT_EQ(capacities, expected);

    // A length more than double jumps to the steps it needs.
    file.SetLength(3 * kMegabyte + 1);
    EXPECT_EQ(file.GetCapacity(), 3 * kMegabyte + 1024);
}

TEST(MemoryFile, SeekReadAndLengthRules)
{
    MemoryFile file(1024);
    file.Write("abcdef", 6);
    char buffer[8];
    EXPECT_EQ(file.Read(buffer, 4), 0UL);  // at the end
    EXPECT_EQ(file.Seek(3, 0), 3);
    EXPECT_EQ(file.Seek(0, 3), -1);
    EXPECT_EQ(file.GetPosition(), 3UL);
    EXPECT_EQ(file.Seek(-4, 1), -1);  // before the start
    EXPECT_EQ(file.Read(buffer, 8), 3UL);
    EXPECT_EQ(std::string(buffer, 3), "def");
    // Past the end, then a write: the length ends at the new bytes.
    EXPECT_EQ(file.Seek(10, 2), 16);
    file.Write("z", 1);
    EXPECT_EQ(file.GetLength(), 17UL);
    file.SetLength(5);
    EXPECT_EQ(file.GetPosition(), 5UL);
    EXPECT_EQ(file.GetLength(), 5UL);
}

TEST(MemoryFile, ClosedOrFixedFileRefusesToGrow)
{
    MemoryFile closed(1024);
    closed.Write("a", 1);
    closed.Close();
    EXPECT_EQ(closed.GetBuffer(), nullptr);
    CMemFileException* caught = NULL;
    try {
        closed.Write("a", 1);
    } catch (CMemFileException* e) {
        caught = e;
    }
    ASSERT_TRUE(caught);
    caught->Delete();

    MemoryFile fixed(0);
    EXPECT_NO_THROW(fixed.Write("", 0));
    caught = NULL;
    try {
        fixed.SetLength(1);
    } catch (CMemFileException* e) {
        caught = e;
    }
    ASSERT_TRUE(caught);
    caught->Delete();

    // Whole steps of 1024 cannot hold 4 GB - 1 bytes in 32 bits.
    MemoryFile huge(1024);
    huge.Write("a", 1);
    caught = NULL;
    try {
        huge.SetLength(0xFFFFFFFFUL);
    } catch (CMemFileException* e) {
        caught = e;
    }
    ASSERT_TRUE(caught);
    caught->Delete();
    EXPECT_EQ(huge.GetCapacity(), 1024UL);
}

TEST(ObjectStream, ObjectsWithChildrenArriveIdentical)
{
    InMemoryDatabase server;
    CPPersistBase* parent = new CPPersistBase;
    parent->SetName("batch");
    parent->SetDescription("sent across");
    parent->setID(900);
    server.db.addObject(parent);
    for (int i = 0; i < 3; ++i) {
        CPPersistBase* child = new CPPersistBase;
        CString name;
        name.Format("step %d", i);
        child->SetName(name);
        child->SetParentID(900);
        server.db.addObject(child);
        child->unrefer();
    }

    std::vector<BYTE> image = EncodedImage(&server.db, parent);
    parent->unrefer();

    InMemoryDatabase receiver;
    receiver.Load(image);
    CNeoIDSelect byID(900);
    CPPersistBase* back = static_cast<CPPersistBase*>(receiver.db.findObject(kClassPersistBase, &byID));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetDescription(), "sent across");
    back->unrefer();
    EXPECT_EQ(receiver.db.countObjects(kClassPersistBase), 1);  // the base class copies no children
    EXPECT_TRUE(receiver.location.isEqual(&server.location));
    EXPECT_EQ(receiver.location.getName(), "RPC Stream");
}

TEST(ObjectStream, MalformedImagesFailWithAnError)
{
    InMemoryDatabase sender;
    CPPersistBase* object = new CPPersistBase;
    object->SetName("x");
    sender.db.addObject(object);
    object->unrefer();
    std::vector<BYTE> image = sender.Image();

    std::vector<std::vector<BYTE>> bad = {
        std::vector<BYTE>(image.begin(), image.begin() + image.size() - 3),  // cut short
        std::vector<BYTE>(image.begin(), image.begin() + 100),               // header only
        std::vector<BYTE>(2000, 0xAB),                                        // noise
    };
    bad.push_back(image);
    bad.back()[image.size() - 2] ^= 0x40;  // a record byte changed
    for (const auto& bytes : bad) {
        InMemoryDatabase receiver;
        CNeoException* caught = NULL;
        try {
            receiver.Load(bytes);
        } catch (CNeoException* e) {
            caught = e;
        }
        ASSERT_TRUE(caught) << bytes.size();
        caught->Delete();
        EXPECT_FALSE(receiver.db.isOpen());
    }
}

}  // namespace

namespace {

// Thousands of damaged copies of a real image: each either opens, and then
// every object in it can be read, or fails with CNeoException. Nothing
// crashes and nothing is read out of bounds.
TEST(ObjectStream, MutatedImagesOpenOrFailCleanly)
{
    InMemoryDatabase sender;
    for (int i = 0; i < 20; ++i) {
        CPPersistBase* object = new CPPersistBase;
        CString text;
        text.Format("object %d with a longer description", i);
        object->SetName(text);
        object->SetDescription(text + text);
        object->SetParentID(i % 3);
        sender.db.addObject(object);
        object->unrefer();
    }
    const std::vector<BYTE> image = sender.Image();

    unsigned int seed = 12345;
    auto next = [&seed](unsigned int range) {
        seed = seed * 1103515245 + 12345;
        return (seed >> 8) % range;
    };
    int opened = 0, refused = 0;
    InMemoryDatabase receiver;
    for (int trial = 0; trial < 3000; ++trial) {
        std::vector<BYTE> bytes = image;
        switch (trial % 4) {
        case 0:  // a few bytes changed
            for (unsigned int n = 1 + next(4); n > 0; --n)
                bytes[next((unsigned int)bytes.size())] ^= (BYTE)(1 + next(255));
            break;
        case 1:  // cut short
            bytes.resize(next((unsigned int)bytes.size()));
            break;
        case 2:  // a length field made huge
            bytes[1024 + 4 + next(4)] = 0xFF;
            break;
        default:  // a byte of the records changed, checksum repaired by chance only
            bytes[1024 + 12 + next((unsigned int)bytes.size() - 1036)] ^= 0x80;
            break;
        }
        try {
            receiver.Load(bytes);
            CNeoFoundObjects all;
            receiver.db.findObject(kClassPersistBase, NULL, TRUE, NULL, &all);
            for (int i = 0; i < all.GetSize(); ++i)
                static_cast<CPPersistBase*>(all[i])->GetName();
            ++opened;
        } catch (CNeoException* e) {
            EXPECT_FALSE(receiver.db.isOpen());
            e->Delete();
            ++refused;
        }
    }
    EXPECT_GT(refused, 2000);
    printf("mutated images: %d opened, %d refused\n", opened, refused);
}

}  // namespace

namespace {

// The records of every object of a database, by class, in a fixed order.
std::map<NeoClassID, std::vector<std::vector<BYTE>>> RecordsByClass(CNeoDatabase* db)
{
    std::map<NeoClassID, std::vector<std::vector<BYTE>>> records;
    CNeoFoundObjects all;
    db->findObject(kClassPersistBase, NULL, TRUE, NULL, &all);
    for (int i = 0; i < all.GetSize(); ++i) {
        CNeoPersist* object = static_cast<CNeoPersist*>(all[i]);
        records[object->getClassID()].push_back(Record(object, 1));
    }
    for (auto& r : records)
        std::sort(r.second.begin(), r.second.end());
    return records;
}

// The IDs of every object of a database.
std::set<NeoID> IDs(CNeoDatabase* db)
{
    std::set<NeoID> ids;
    CNeoFoundObjects all;
    db->findObject(kClassPersistBase, NULL, TRUE, NULL, &all);
    for (int i = 0; i < all.GetSize(); ++i)
        ids.insert(static_cast<CNeoPersist*>(all[i])->getID());
    return ids;
}

TEST(ObjectStream, ABatchWithAllItsChildrenArrivesIdentical)
{
    InMemoryDatabase server;
    NeoID batchID = BuildSampleBatch(server.get(), 6);
    CPPersistBase* batch = CPPersistBase::FindByID(server.get(), kClassBatch, batchID);
    const NeoID nextBefore = server->getUniqueID();
    std::vector<BYTE> image = EncodedImage(server.get(), batch);
    batch->unrefer();

    InMemoryDatabase receiver;
    receiver.Load(image);
    // Everything arrives under its stored ID: trigger items with the
    // schedule and its items, steps, links and their conditions.
    auto sent = RecordsByClass(server.get());
    auto arrived = RecordsByClass(receiver.get());
    EXPECT_EQ(arrived.size(), sent.size());
    EXPECT_TRUE(arrived == sent);
    EXPECT_EQ(IDs(receiver.get()), IDs(server.get()));
    // The copy took no ID from the server.
    EXPECT_EQ(server->getUniqueID(), nextBefore + 1);
}

}  // namespace

namespace {

// The image of `object` as a database target makes it: a clone in a new
// in-memory database with the children copied under it, committed.
std::vector<BYTE> ImageThroughDatabase(CNeoDatabase* source, CPPersistBase* object)
{
    InMemoryDatabase image;
    CFocusDatabases focus(source, image.get());
    CNeoRef<CPPersistBase> copy(static_cast<CPPersistBase*>(object->clone()));
    image->addObject(copy.get());
    copy->CopyChildren(image.get(), source, object->getID());
    return image.Image();
}

// Every object's new-object flag, by ID.
std::map<NeoID, BOOL> NewFlags(CNeoDatabase* db)
{
    std::map<NeoID, BOOL> flags;
    CNeoFoundObjects all;
    db->findObject(kClassPersistBase, NULL, TRUE, NULL, &all);
    for (int i = 0; i < all.GetSize(); ++i)
        flags[all.at<CPPersistBase>(i)->getID()] = all.at<CPPersistBase>(i)->IsNewObject();
    return flags;
}

const int kSteps = 4;
const NeoID kFarAway = 5000;  // IDs past the range an image reserves at once

// Batches whose images must come out the same either way.
enum BatchShape { kPlain, kAllNew, kSpreadIDs };

NeoID BuildShape(CNeoDatabase* db, BatchShape shape)
{
    NeoID batchID = BuildSampleBatch(db, kSteps);
    if (shape == kSpreadIDs) {
        // Children made long after the batch, one of them a run instance
        // (not sent), and a link that leaves nothing (not sent).
        db->getUniqueID(kFarAway);
        FileUnder(db, new CPProcessExe, batchID, "added later");
        db->getUniqueID(kFarAway);
        FileUnder(db, new CPProcessExe, batchID, "a run's copy", 1);
        FileUnder(db, new CPBatchLink, batchID, "leaves nothing");
    }
    if (shape == kAllNew) {
        CNeoFoundObjects all;
        db->findObject(kClassPersistBase, NULL, TRUE, NULL, &all);
        for (int i = 0; i < all.GetSize(); ++i)
            all.at<CPPersistBase>(i)->SetNewObject(TRUE);
    }
    return batchID;
}

TEST(ObjectStream, WrittenImageHasTheBytesOfACopyThroughADatabase)
{
    const BatchShape kShapes[] = {kPlain, kAllNew, kSpreadIDs};
    for (BatchShape shape : kShapes) {
        InMemoryDatabase server;
        CNeoRef<CPPersistBase> batch(
            CPPersistBase::FindByID(server.get(), kClassBatch, BuildShape(server.get(), shape)));
        const std::map<NeoID, BOOL> flags = NewFlags(server.get());
        std::vector<BYTE> written = EncodedImage(server.get(), batch.get());
        EXPECT_EQ(ImageWithoutSalt(written),
                  ImageWithoutSalt(ImageThroughDatabase(server.get(), batch.get())))
            << "shape " << shape;
        // Writing the image changed nothing in the source.
        EXPECT_EQ(NewFlags(server.get()), flags) << "shape " << shape;
    }
}

TEST(ObjectStream, WrittenTriggerImageTakesEachListedPartOnce)
{
    InMemoryDatabase server;
    NeoID batchID = BuildSampleBatch(server.get(), kSteps);
    std::vector<NeoID> steps = ChildIDs(server.get(), kClassProcessBase, batchID);
    ASSERT_GE(steps.size(), 2u);
    const NeoID kMissing = 999999;
    CPTrigger* trigger = new CPTrigger;
    for (NeoID part : {steps[0], kMissing, steps[1], steps[0]})
        trigger->GetParts().addPart(part);
    NeoID triggerID = FileUnder(server.get(), trigger, batchID, "parts");
    CNeoRef<CPPersistBase> stored(CPPersistBase::FindByID(server.get(), kClassTrigger, triggerID));
    std::vector<BYTE> written = EncodedImage(server.get(), stored.get());
    EXPECT_EQ(ImageWithoutSalt(written),
              ImageWithoutSalt(ImageThroughDatabase(server.get(), stored.get())));
    InMemoryDatabase receiver;
    receiver.Load(written);
    EXPECT_EQ(IDs(receiver.get()), (std::set<NeoID>{triggerID, steps[0], steps[1]}));
}

}  // namespace
