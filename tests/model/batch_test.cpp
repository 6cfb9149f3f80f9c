// Batches, links, link conditions and agents: records, update, condition
// matching, and copying and deleting a batch with its children.
#include <model/batch.h>
#include <model/steps.h>

#include "model_test_util.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

void FillBatch(CPPersistBase* object)
{
    CPBatch* batch = static_cast<CPBatch*>(object);
    batch->SetName("nightly");
    ENeoBlob diagram;
    diagram.setBlob("\x01\x00\x02", 3);
    batch->SetDiagramData(diagram);
    batch->SetValue(11);
    batch->SetTerminationMessage("stopped");
    batch->SetSecondText("second");
    batch->SetTerminationExitCode(12);
    batch->SetDurationUnit(kSeconds);
    batch->SetDurationLimit(13);
    batch->SetRestartCount(14);
    batch->SetRestartRule(kNotBetween, 15, 16);
    batch->SetDiagramKeyCounter(17);
    batch->SetLinkCounter(18);
    batch->SetRunNumber(19);
    batch->SetPhaseValue(kPhaseMonitoring);
    batch->SetStatusValue(kBatchExecuting);
    batch->GetStartList().addPart(20);
    batch->GetRunningList().addPart(21);
    batch->GetRunningList().addPart(22);
    batch->SetSavedStatus(kBatchQueued);
    CPAgent agent;
    agent.setID(23);
    batch->GetDefaultAgents().Append(&agent);
    batch->SetReference(24);
}

void FillLink(CPPersistBase* object)
{
    CPBatchLink* link = static_cast<CPBatchLink*>(object);
    link->SetName("Link 1");
    link->SetTerminationMessage("too often");
    link->SetTraversalMaximum(3);
    link->SetTerminationExitCode(4);
    link->SetTraversalCount(5);
    link->SetSourceID(6);
    link->SetTargetID(7);
    link->SetLastExitCode(0xFFFFFFF0);
}

void FillCondition(CPPersistBase* object)
{
    static_cast<CPBatchLinkItem*>(object)->SetCondition(kBetween, 0xFFFFFFFE, 0xFFFFFFFF);
}

void FillAgent(CPPersistBase* object)
{
    object->SetName("WORKER7");
}

struct RecordClass {
    const char* name;
    std::function<CPPersistBase*()> make;
    void (*fill)(CPPersistBase*);
    NeoClassID classID;
    long emptyLength;
};

const RecordClass kRecordClasses[] = {
    {"CPBatch", [] { return new CPBatch; }, FillBatch, kClassBatch, 40 + 3 * 4 + 2 * 4 + 4 + 60},
    {"CPBatchLink", [] { return new CPBatchLink; }, FillLink, kClassBatchLink, 40 + 4 + 24},
    {"CPBatchLinkItem", [] { return new CPBatchLinkItem; }, FillCondition, kClassBatchLinkItem,
     40 + 12},
    {"CPAgent", [] { return new CPAgent; }, FillAgent, kClassAgent, 40},
};

TEST(BatchRecords, RoundTripInBothKinds)
{
    for (const RecordClass& c : kRecordClasses) {
        for (short kind : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.name << " kind " << kind);
            std::unique_ptr<CPPersistBase> fresh(c.make()), filled(c.make()), back(c.make());
            EXPECT_EQ(fresh->getClassID(), c.classID);
            EXPECT_EQ(fresh->getFileLength(NeoGetFormat(kind)), c.emptyLength);
            c.fill(filled.get());
            std::vector<BYTE> bytes = Record(filled.get(), kind);
            ReadRecord(back.get(), bytes, kind);
            EXPECT_EQ(Record(back.get(), kind), bytes);
            // A new object's record gives a filled object the defaults back.
            ReadRecord(back.get(), Record(fresh.get(), kind), kind);
            EXPECT_EQ(Record(back.get(), kind), Record(fresh.get(), kind));
        }
    }
}

TEST(BatchRecords, DefaultsAndValuesByTag)
{
    CPBatch batch;
    EXPECT_EQ(batch.GetStatus(), kBatchIdle);
    EXPECT_EQ(batch.GetSavedStatus(), kBatchIdle);
    EXPECT_EQ(batch.GetPhase(), kPhaseLogon);
    EXPECT_EQ(batch.GetTerminationExitCode(), -1);
    EXPECT_EQ(batch.GetDurationUnit(), kHours);
    EXPECT_EQ(batch.GetDurationLimit(), 1);
    CPBatchLink link;
    EXPECT_EQ(link.GetTerminationExitCode(), 255);
    EXPECT_EQ(link.GetTraversalMaximum(), 0);

    FillBatch(&batch);
    FillLink(&link);
    long value = 0;
    EXPECT_TRUE(batch.getValue(kTagBatchStatus, kNeoLongType, &value));
    EXPECT_EQ(value, kBatchExecuting);
    unsigned long unsignedValue = 0;
    EXPECT_TRUE(batch.getValue(kTagBatchRunNumber, kNeoULongType, &unsignedValue));
    EXPECT_EQ(unsignedValue, 19UL);
    EXPECT_TRUE(link.getValue(kTagLinkSource, kNeoLongType, &value));
    EXPECT_EQ(value, 6);
    EXPECT_TRUE(link.getValue(kTagLinkTarget, kNeoLongType, &value));
    EXPECT_EQ(value, 7);
    CNeoString name;
    EXPECT_TRUE(link.getValue(kTagName, kNeoStringType, &name));
    EXPECT_STREQ(name, "Link 1");
}

TEST(BatchRecords, UpdateLeavesTheRunStateOfTheStoredBatch)
{
    CPBatch stored;
    FillBatch(&stored);
    CPBatch console;
    console.SetName("renamed");
    console.SetTerminationMessage("new message");
    console.SetRestartRule(kEqualTo, 1, 2);
    console.SetReference(99);
    stored.update(&console);

    EXPECT_EQ(stored.GetName(), "renamed");
    EXPECT_EQ(stored.GetTerminationMessage(), "new message");
    EXPECT_EQ(stored.GetRestartOperator(), kEqualTo);
    EXPECT_EQ(stored.GetDefaultAgents().GetCount(), 0);
    EXPECT_EQ(stored.GetReference(), 99);
    EXPECT_EQ(stored.GetDiagramData().getLength(), 0UL);
    // Kept as the server set them.
    EXPECT_EQ(stored.GetValue(), 11);
    EXPECT_EQ(stored.GetRunNumber(), 19);
    EXPECT_EQ(stored.GetPhase(), kPhaseMonitoring);
    EXPECT_EQ(stored.GetStatus(), kBatchExecuting);
    EXPECT_EQ(stored.GetSavedStatus(), kBatchQueued);
    EXPECT_EQ(stored.GetStartList().getCount(), 1);
    EXPECT_EQ(stored.GetRunningList().getCount(), 2);
}

TEST(BatchRecords, LinkAndConditionUpdateCopyEveryStoredField)
{
    for (const RecordClass& c : kRecordClasses) {
        if (c.classID != kClassBatchLink && c.classID != kClassBatchLinkItem)
            continue;
        SCOPED_TRACE(c.name);
        std::unique_ptr<CPPersistBase> stored(c.make()), other(c.make());
        c.fill(other.get());
        other->SetNewObject(TRUE);
        stored->update(other.get());
        other->SetNewObject(FALSE);
        EXPECT_EQ(Record(stored.get(), 1), Record(other.get(), 1));
    }
}

TEST(LinkConditions, OperatorsCompareUnsignedExitCodes)
{
    const unsigned long kMax = 0xFFFFFFFF;
    struct Case {
        long op;
        unsigned long value, upper, exitCode;
        bool matches;
    } cases[] = {
        {kLessThan, 1, 0, 0, true},
        {kLessThan, 1, 0, 1, false},
        {kLessThan, 1, 0, kMax, false},  // not -1
        {kGreaterThan, 10, 0, 11, true},
        {kGreaterThan, 10, 0, 10, false},
        {kGreaterThan, 0x7FFFFFFF, 0, kMax, true},
        {kEqualTo, kMax, 0, kMax, true},
        {kEqualTo, 5, 0, 6, false},
        {kNotEqualTo, 5, 0, 6, true},
        {kNotEqualTo, 5, 0, 5, false},
        {kBetween, 5, 10, 5, true},
        {kBetween, 5, 10, 10, true},
        {kBetween, 5, 10, 11, false},
        {kBetween, 5, kMax, kMax, true},
        {kNotBetween, 5, 10, 4, true},
        {kNotBetween, 5, 10, 11, true},
        {kNotBetween, 5, 10, 7, false},
        {kNotBetween, 0, kMax, kMax, false},
        {6, 0, 0, 0, false},
        {-1, 5, 10, 7, false},
    };
    for (const Case& c : cases) {
        CPBatchLinkItem item;
        item.SetCondition(c.op, c.value, c.upper);
        EXPECT_EQ(item.Matches(c.exitCode), c.matches)
            << "operator " << c.op << " " << c.value << ".." << c.upper << " code " << c.exitCode;
    }
    // A range whose upper value lies below its value holds no exit code.
    CPBatchLinkItem empty;
    empty.SetCondition(kBetween, 10, 5);
    for (unsigned long code : {0UL, 4UL, 5UL, 7UL, 10UL, 11UL, kMax})
        EXPECT_FALSE(empty.Matches(code)) << code;
}

// ---------------------------------------------------------------------------
// A batch with trigger items, steps, links and conditions.
const NeoID kBatchID = 1000;

// Made through the class registry: a trigger item of the plain base class.
CPPersistBase* NewTriggerItem()
{
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(kClassTriggerItemBase);
    return meta ? static_cast<CPPersistBase*>(meta->create()) : NULL;
}

template <class T>
T* Child(T* object, const char* name, NeoID parent, long runInstance = 0, BOOL isNew = FALSE)
{
    object->SetName(name);
    object->SetParentID(parent);
    object->SetRunInstance(runInstance);
    object->SetNewObject(isNew);
    return object;
}

CPBatchLink* NewLink(const char* name, NeoID parent, NeoID source, NeoID target,
                     long runInstance = 0, BOOL isNew = FALSE)
{
    CPBatchLink* link = Child(new CPBatchLink, name, parent, runInstance, isNew);
    link->SetSourceID(source);
    link->SetTargetID(target);
    return link;
}

CPBatchLinkItem* NewCondition(NeoID link, long op, unsigned long value)
{
    CPBatchLinkItem* item = Child(new CPBatchLinkItem, "", link);
    item->SetCondition(op, value, 0);
    return item;
}

void BuildBatch(InMemoryDatabase& db)
{
    db.Add(Child(new CPBatch, "batch", 0), kBatchID);
    CPPersistBase* trigger = NewTriggerItem();
    ASSERT_TRUE(trigger) << "trigger items are not registered";
    db.Add(Child(trigger, "trigger", kBatchID), 1100);
    db.Add(Child(new CPProcessExe, "load", kBatchID), 1201);
    db.Add(Child(new CPProcessScript, "run copy", kBatchID, 1), 1202);
    db.Add(Child(new CPProcessScript, "added by the console", kBatchID, 0, TRUE), 1203);
    db.Add(NewLink("Link 1", kBatchID, 1201, 1203), 1301);
    db.Add(NewCondition(1301, kLessThan, 1), 1401);
    db.Add(NewCondition(1301, kGreaterThan, 10), 1402);
    db.Add(NewLink("from nothing", kBatchID, 0, 1201), 1302);
    db.Add(NewLink("from the trigger", kBatchID, 1100, 1201, 1), 1303);
    db.Add(NewCondition(1303, kNotEqualTo, 3), 1403);
    db.Add(NewLink("added link", kBatchID, 1203, 1201, 0, TRUE), 1304);
}

template <class T>
T* FindIn(CNeoDatabase* db, NeoClassID classID, NeoID id)
{
    return static_cast<T*>(CPPersistBase::FindByID(db, classID, id));
}

std::vector<CPBatchLinkItem*> ConditionsOf(CNeoDatabase* db, NeoID link)
{
    CObArray found;
    FindChildren(db, kClassBatchLinkItem, link, TRUE, &found);
    std::vector<CPBatchLinkItem*> items;
    for (int i = 0; i < found.GetSize(); ++i) {
        items.push_back(static_cast<CPBatchLinkItem*>(found[i]));
        items.back()->unrefer();  // the database keeps them
    }
    return items;
}

class BatchCopy : public ::testing::Test {
protected:
    void SetUp() override
    {
        BuildBatch(source);
        CPBatch* original = FindIn<CPBatch>(source.get(), kClassBatch, kBatchID);
        receiver = static_cast<CPBatch*>(original->clone());
        original->unrefer();
        target->addObject(receiver);
        // Older copies already in the target: a step under another parent
        // and a link with another target and a condition of its own.
        target.Add(Child(new CPProcessExe, "old name", 999), 1201);
        target.Add(NewLink("old link", kBatchID, 1201, 1201), 1301);
        target.Add(NewCondition(1301, kEqualTo, 77), 1499);
        // An object of another kind that holds a condition's ID.
        target.Add(Child(new CPAgent, "holds 1403", 0), 1403);
    }
    void TearDown() override { receiver->unrefer(); }

    void Copy() { receiver->CopyChildren(target.get(), source.get(), kBatchID); }

    InMemoryDatabase source;
    InMemoryDatabase target;
    CPBatch* receiver = NULL;
};

TEST_F(BatchCopy, CopiesDefinitionsLinksAndConditionsOnce)
{
    Copy();
    Copy();  // a second save of the same batch

    // Batch, trigger item, steps 1201 and 1203, links 1301, 1303 and 1304,
    // three conditions and the agent: the run copy 1202, the link without a
    // source and the old condition 1499 are left behind, and nothing is
    // there twice.
    EXPECT_EQ(target->countObjects(kClassPersistBase), 11);
    EXPECT_EQ(target->countObjects(kClassTriggerItemBase), 1);
    EXPECT_EQ(target->countObjects(kClassProcessBase), 2);
    EXPECT_EQ(target->countObjects(kClassBatchLink), 3);
    EXPECT_EQ(gNeoDatabase, nullptr);
    EXPECT_EQ(gNeoTargetDatabase, nullptr);

    CPProcessExe* load = FindIn<CPProcessExe>(target.get(), kClassProcessBase, 1201);
    ASSERT_TRUE(load);
    EXPECT_EQ(load->GetName(), "load");
    EXPECT_EQ(load->GetParentID(), kBatchID);
    load->unrefer();
    for (NeoID id : {1203, 1304}) {
        CPPersistBase* added = FindIn<CPPersistBase>(target.get(), kClassPersistBase, id);
        ASSERT_TRUE(added) << id;
        EXPECT_EQ(added->GetParentID(), kBatchID);
        EXPECT_FALSE(added->IsNewObject()) << id;
        added->unrefer();
    }

    // Conditions keep their IDs, but 1403, which the agent holds, takes a
    // new one.
    const NeoID kNewID = -1;
    struct Condition {
        NeoID id;
        long op;
        unsigned long value;
        bool operator<(const Condition& o) const { return op < o.op; }
        bool operator==(const Condition& o) const
        {
            return id == o.id && op == o.op && value == o.value;
        }
    };
    struct Expected {
        NeoID link, source, target;
        std::vector<Condition> conditions;
    } expected[] = {
        {1301, 1201, 1203, {{1401, kLessThan, 1}, {1402, kGreaterThan, 10}}},
        {1303, 1100, 1201, {{kNewID, kNotEqualTo, 3}}},
        {1304, 1203, 1201, {}},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.link);
        CPBatchLink* link = FindIn<CPBatchLink>(target.get(), kClassBatchLink, e.link);
        ASSERT_TRUE(link);
        EXPECT_EQ(link->GetSourceID(), e.source);
        EXPECT_EQ(link->GetTargetID(), e.target);
        EXPECT_EQ(link->GetParentID(), kBatchID);
        link->unrefer();
        std::vector<Condition> conditions;
        for (CPBatchLinkItem* item : ConditionsOf(target.get(), e.link)) {
            // IDs above every fixed one are new.
            NeoID id = item->getID() > 1499 ? kNewID : item->getID();
            conditions.push_back({id, item->GetOperator(), item->GetValue()});
        }
        std::sort(conditions.begin(), conditions.end());
        EXPECT_EQ(conditions, e.conditions);
    }
    CNeoRef<CPPersistBase> holder(FindIn<CPPersistBase>(target.get(), kClassPersistBase, 1403));
    ASSERT_TRUE(holder);
    EXPECT_EQ(holder->getClassID(), kClassAgent);
}

TEST_F(BatchCopy, ReceiverUnderAnotherIDTakesTheLinksAndNewObjects)
{
    CPBatch* other = static_cast<CPBatch*>(receiver->clone());
    other->setID(0);
    target->addObject(other);
    other->CopyChildren(target.get(), source.get(), kBatchID);

    // Links always, steps only when the console has just created them.
    for (NeoID id : {1203, 1301, 1303, 1304}) {
        CPPersistBase* object = FindIn<CPPersistBase>(target.get(), kClassPersistBase, id);
        ASSERT_TRUE(object) << id;
        EXPECT_EQ(object->GetParentID(), other->getID()) << id;
        object->unrefer();
    }
    other->unrefer();
}

// Counts the commits that reach an in-memory database's image.
class CountingStream : public MemoryContainerStream {
public:
    explicit CountingStream(CNeoDatabase* database) : MemoryContainerStream(database) {}
    virtual void flush() { ++flushes; }
    int flushes = 0;
};

TEST(BatchDelete, RemovesTheChildrenAndLeavesTheCommitToTheCaller)
{
    InMemoryDatabase db;
    CountingStream* stream = new CountingStream(&db.db);
    db->close();
    db->setStream(stream);
    db->open(0xC0000000, TRUE);
    BuildBatch(db);
    // Another batch's step and another link's condition stay.
    db.Add(Child(new CPProcessExe, "elsewhere", 2000), 2001);
    db.Add(NewCondition(2002, kEqualTo, 0), 2003);
    db->commit();
    CPBatch* batch = FindIn<CPBatch>(db.get(), kClassBatch, kBatchID);
    ASSERT_TRUE(batch);
    int before = stream->flushes;
    batch->setDirty(2);
    db->commit();
    const int perCommit = stream->flushes - before;
    ASSERT_GT(perCommit, 0);

    before = stream->flushes;
    batch->DeleteWithChildren(db.get());
    batch->unrefer();

    // Nothing reached the image yet: the removals go out in one commit.
    EXPECT_EQ(stream->flushes - before, 0);
    EXPECT_TRUE(db->isDirty());
    db->commit();
    EXPECT_EQ(stream->flushes - before, perCommit);
    EXPECT_EQ(db->countObjects(kClassPersistBase), 3);
    EXPECT_EQ(db->countObjects(kClassBatch), 1);
    EXPECT_EQ(db->countObjects(kClassProcessBase), 1);
    EXPECT_EQ(db->countObjects(kClassBatchLinkItem), 1);
}

}  // namespace
