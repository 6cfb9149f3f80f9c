// Lists of object IDs kept in a blob field.
#include <model/id_array.h>
#include <model/steps.h>

#include "model_test_util.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<BYTE> BlobBytes(const PersistentIdArray& list)
{
    const BYTE* bytes = static_cast<const BYTE*>(list.GetBlob().getBlob());
    return std::vector<BYTE>(bytes, bytes + list.GetBlob().getLength());
}

// Replaces the list's blob, as reading the owner's record does.
void LoadBlob(PersistentIdArray& list, const std::vector<BYTE>& bytes)
{
    CNeoBufferStream record(NeoGetFormat(1));
    ENeoBlob blob;
    blob.setBlob(bytes.data(), (unsigned long)bytes.size());
    blob.writeObject(&record, kNeoNullTag);
    CNeoBufferStream in(record.data(), record.length(), NeoGetFormat(1));
    list.readObject(&in, kNeoNullTag);
}

void PutDWord(std::vector<BYTE>& bytes, DWORD value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back((BYTE)(value >> (8 * i)));
}

TEST(PersistentIdArray, StoresTheArchivedCountAndIDs)
{
    CPPersistBase owner;
    PersistentIdArray list(&owner);
    CPPersistBase a, b;
    a.setID(5);
    b.setID(0x01020304);
    list.Append(&a);
    list.Append(&b);
    EXPECT_EQ(BlobBytes(list), (std::vector<BYTE>{2, 0, 5, 0, 0, 0, 4, 3, 2, 1}));
    list.RemoveAll();
    EXPECT_EQ(BlobBytes(list), (std::vector<BYTE>{0, 0}));
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(PersistentIdArray, EmptyBlobOrZeroCountIsAnEmptyList)
{
    CPPersistBase owner;
    PersistentIdArray list(&owner);
    CPPersistBase a;
    a.setID(9);
    list.Append(&a);
    ASSERT_EQ(list.GetCount(), 1);
    // The owner's record read back with nothing stored: nothing of the old
    // working array may survive.
    LoadBlob(list, {});
    EXPECT_EQ(list.GetCount(), 0);
    LoadBlob(list, {0, 0});
    EXPECT_EQ(list.GetCount(), 0);
}

TEST(PersistentIdArray, CountsFrom0xFFFFOnAreEscaped)
{
    // 0xFFFF IDs: the 16-bit count 0xFFFF announces a 32-bit count.
    std::vector<BYTE> bytes = {0xFF, 0xFF};
    PutDWord(bytes, 0xFFFF);
    for (DWORD id = 1; id <= 0xFFFF; ++id)
        PutDWord(bytes, id);
    CPPersistBase owner;
    PersistentIdArray list(&owner);
    LoadBlob(list, bytes);
    ASSERT_EQ(list.GetCount(), 0xFFFF);

    CPPersistBase more;
    more.setID(70000);
    list.Append(&more);
    std::vector<BYTE> expected = {0xFF, 0xFF};
    PutDWord(expected, 0x10000);
    expected.insert(expected.end(), bytes.begin() + 6, bytes.end());
    PutDWord(expected, 70000);
    EXPECT_EQ(BlobBytes(list), expected);
}

class PersistentIdArrayInDatabase : public ::testing::Test {
protected:
    void SetUp() override
    {
        owner = db.Add(new CPProcessExe, 100);
        for (NeoID id : {101, 102, 103})
            steps.push_back(db.Add(new CPProcessExe, id));
    }
    NeoID Pop(PersistentIdArray& list)
    {
        CPPersistBase* step = list.PopFirst();
        if (!step)
            return 0;
        NeoID id = step->getID();
        step->unrefer();
        return id;
    }

    InMemoryDatabase db;
    CPProcessExe* owner = NULL;
    std::vector<CPProcessExe*> steps;
};

TEST_F(PersistentIdArrayInDatabase, PopFirstIsFirstInFirstOut)
{
    PersistentIdArray& waiting = owner->GetWaitingList();
    EXPECT_EQ(Pop(waiting), 0);
    EXPECT_TRUE(waiting.GetBlob().isEmpty());  // an empty pop stores nothing

    waiting.Append(steps[1]);
    waiting.Append(steps[0]);
    waiting.Append(steps[2]);
    EXPECT_EQ(Pop(waiting), 102);
    EXPECT_EQ(Pop(waiting), 101);
    EXPECT_EQ(waiting.GetCount(), 1);
    EXPECT_EQ(Pop(waiting), 103);
    std::vector<BYTE> emptied = BlobBytes(waiting);
    EXPECT_EQ(Pop(waiting), 0);
    EXPECT_EQ(BlobBytes(waiting), emptied);

    // A step that is gone is taken out of the list, and nothing returned.
    CPProcessExe gone;
    gone.setID(555);
    waiting.Append(&gone);
    EXPECT_EQ(Pop(waiting), 0);
    EXPECT_EQ(waiting.GetCount(), 0);
}

TEST_F(PersistentIdArrayInDatabase, FindObjectAtReadsTheArrayAsLastLoaded)
{
    PersistentIdArray& agents = owner->GetAllowedAgents();
    agents.Append(steps[0]);
    CPProcessExe other;
    other.GetAllowedAgents().Append(steps[2]);
    // Another copy's list replaces the blob, not the working array.
    agents.update(other.GetAllowedAgents());

    CPPersistBase* found = agents.FindObjectAt(0, db.get(), kClassProcessExe);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->getID(), 101);
    found->unrefer();
    EXPECT_EQ(agents.GetCount(), 1);  // loads
    found = agents.FindObjectAt(0, db.get(), kClassProcessExe);
    ASSERT_TRUE(found);
    EXPECT_EQ(found->getID(), 103);
    found->unrefer();
    EXPECT_EQ(agents.FindObjectAt(1, db.get(), kClassProcessExe), nullptr);
    EXPECT_EQ(agents.FindObjectAt(0, db.get(), kClassBatch), nullptr);
}

}  // namespace
