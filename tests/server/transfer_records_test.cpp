// Archived lists of names and run-log details, byte for byte.
#include <server/transfer_records.h>

#include <gtest/gtest.h>

#include <stdlib.h>
#include <string>
#include <vector>

namespace {

std::vector<BYTE> Archive(CObList& list)
{
    unsigned long size = 0;
    BYTE* bytes = ArchiveTransferList(list, &size);
    std::vector<BYTE> result(bytes, bytes + size);
    free(bytes);
    return result;
}

void Append(std::vector<BYTE>& bytes, const std::string& text)
{
    bytes.insert(bytes.end(), text.begin(), text.end());
}

void AppendLong(std::vector<BYTE>& bytes, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        bytes.push_back((BYTE)(value >> (8 * i)));
}

TEST(TransferRecords, EmptyListIsACountOfZero)
{
    CObList list;
    EXPECT_EQ(Archive(list), (std::vector<BYTE>{0x00, 0x00}));
}

TEST(TransferRecords, LongNameTakesTheSixteenBitLength)
{
    CObList list;
    CSObjectNames* record = new CSObjectNames;
    record->Set(std::string(300, 'x').c_str(), 0x01020304);
    list.AddTail(record);
    std::vector<BYTE> expected = {0x01, 0x00, 0xFF, 0xFF, 0x01, 0x00, 13, 0x00};
    Append(expected, "CSObjectNames");
    expected.insert(expected.end(), {0xFF, 0x2C, 0x01});
    Append(expected, std::string(300, 'x'));
    AppendLong(expected, 0x01020304);
    EXPECT_EQ(Archive(list), expected);
    DeleteTransferList(list);
}

TEST(TransferRecords, ClassNameIsWrittenOnceAndRecordsLoadBack)
{
    CObList list;
    for (long run : {7, 8}) {
        CSBatchLogDetails* record = new CSBatchLogDetails;
        record->Set("run", run * 10);
        record->SetStartTime(COleDateTime(2024, 3, 1, 12, 30, 0));
        record->SetRunNumber(run);
        list.AddTail(record);
    }
    std::vector<BYTE> bytes = Archive(list);
    DeleteTransferList(list);

    std::vector<BYTE> expected = {0x02, 0x00, 0xFF, 0xFF, 0x01, 0x00, 17, 0x00};
    Append(expected, "CSBatchLogDetails");
    for (long run : {7, 8}) {
        if (run == 8)
            expected.insert(expected.end(), {0x01, 0x80});  // the class with index 1
        expected.insert(expected.end(), {3, 'r', 'u', 'n'});
        AppendLong(expected, run * 10);
        AppendLong(expected, 0);  // date status: valid
        double when = COleDateTime(2024, 3, 1, 12, 30, 0).m_dt;
        const BYTE* raw = reinterpret_cast<const BYTE*>(&when);
        expected.insert(expected.end(), raw, raw + 8);
        AppendLong(expected, run);
    }
    EXPECT_EQ(bytes, expected);

    CObList loaded;
    LoadTransferList(bytes.data(), (unsigned long)bytes.size(), loaded);
    ASSERT_EQ(loaded.GetCount(), 2);
    CSBatchLogDetails* second = static_cast<CSBatchLogDetails*>(loaded.GetTail());
    EXPECT_TRUE(second->IsKindOf(RUNTIME_CLASS(CSBatchLogDetails)));
    EXPECT_EQ(second->GetName(), CString("run"));
    EXPECT_EQ(second->GetID(), 80);
    EXPECT_EQ(second->GetRunNumber(), 8);
    EXPECT_EQ(second->GetStartTime(), COleDateTime(2024, 3, 1, 12, 30, 0));
    DeleteTransferList(loaded);
}

TEST(TransferRecords, TruncatedListThrows)
{
    CObList list;
    CSObjectNames* record = new CSObjectNames;
    record->Set("name", 1);
    list.AddTail(record);
    std::vector<BYTE> bytes = Archive(list);
    DeleteTransferList(list);
    bytes.resize(bytes.size() - 2);
    CObList loaded;
    bool thrown = false;
    try {
        LoadTransferList(bytes.data(), (unsigned long)bytes.size(), loaded);
    } catch (CException* e) {
        e->Delete();
        thrown = true;
    }
    EXPECT_TRUE(thrown);
    DeleteTransferList(loaded);
}

}  // namespace
