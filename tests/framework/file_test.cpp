// CFile on a temporary file and CMemFile.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include "temp_path.h"

#include <cstdlib>
#include <cstring>

static CString TempFileName(const char* lpszName)
{
    return CString(TempPath(lpszName).c_str());
}

TEST(CFile, WriteSeekReadAndLength)
{
    CString path = TempFileName("rw.bin");
    {
        CFile file(path, CFile::modeCreate | CFile::modeReadWrite | CFile::typeBinary);
        EXPECT_TRUE(file.GetFilePath() == path);
        file.Write("hello world", 11);
        EXPECT_EQ(11u, file.GetLength());
        EXPECT_EQ(6, file.Seek(6, CFile::begin));
        char buf[16] = {};
        EXPECT_EQ(5u, file.Read(buf, sizeof(buf)));  // short read at the end
        EXPECT_STREQ("world", buf);
        EXPECT_EQ(0u, file.Read(buf, sizeof(buf)));
        EXPECT_EQ(8, file.Seek(-3, CFile::end));
        EXPECT_EQ(6, file.Seek(-2, CFile::current));
        file.SetLength(4);
        EXPECT_EQ(4u, file.SeekToEnd());
        file.SeekToBegin();
        EXPECT_EQ(0u, file.GetPosition());
        file.Flush();
    }
    {
        // modeNoTruncate keeps the contents.
        CFile file(path, CFile::modeCreate | CFile::modeNoTruncate | CFile::modeRead);
        EXPECT_EQ(4u, file.GetLength());
        file.Close();
        EXPECT_EQ(CFile::hFileNull, file.m_hFile);
    }
    CString renamed = TempFileName("renamed.bin");
    CFile::Rename(path, renamed);
    CFile::Remove(renamed);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(renamed));
}

TEST(CFile, FailuresReportCauseAndOsError)
{
    CString missing = TempFileName("missing.bin");
    CFile file;
    CFileException error;
    EXPECT_FALSE(file.Open(missing, CFile::modeRead, &error));
    EXPECT_EQ(CFileException::fileNotFound, error.m_cause);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, error.m_lOsError);
    EXPECT_TRUE(error.m_strFileName == missing);
    char szMessage[512];
    EXPECT_TRUE(error.GetErrorMessage(szMessage, sizeof(szMessage)));
    EXPECT_TRUE(strstr(szMessage, "missing.bin") != NULL);

    try
    {
        CFile::Remove(missing);
        ADD_FAILURE() << "no exception";
    }
    catch (CFileException* e)
    {
        EXPECT_EQ(CFileException::fileNotFound, e->m_cause);
        e->Delete();
    }

    // A second exclusive open of the same file is a sharing violation.
    CString path = TempFileName("shared.bin");
    CFile first(path, CFile::modeCreate | CFile::modeWrite | CFile::shareExclusive);
    try
    {
        CFile second(path, CFile::modeRead | CFile::shareDenyNone);
        ADD_FAILURE() << "no exception";
    }
    catch (CFileException* e)
    {
        EXPECT_EQ(CFileException::sharingViolation, e->m_cause);
        EXPECT_EQ(ERROR_SHARING_VIOLATION, e->m_lOsError);
        e->Delete();
    }
    first.Close();
    CFile::Remove(path);
}

TEST(CMemFile, GrowsInGrowByStepsAndReadsShortAtEnd)
{
    CMemFile file(16);
    EXPECT_EQ(0u, file.GetBufferSize());
    file.Write("0123456789", 10);
    EXPECT_EQ(16u, file.GetBufferSize());
    file.Write("0123456789", 10);
    EXPECT_EQ(32u, file.GetBufferSize());
    EXPECT_EQ(20u, file.GetLength());

    file.Seek(40, CFile::begin);  // writing past the end zero-fills the gap
    file.Write("x", 1);
    EXPECT_EQ(48u, file.GetBufferSize());
    EXPECT_EQ(41u, file.GetLength());

    char buf[32] = {};
    file.Seek(-3, CFile::end);
    EXPECT_EQ(3u, file.Read(buf, sizeof(buf)));
    EXPECT_EQ(0, memcmp(buf, "\0\0x", 3));
    EXPECT_EQ(0u, file.Read(buf, sizeof(buf)));

    file.SetLength(5);
    EXPECT_EQ(5u, file.GetPosition());
    try
    {
        file.Seek(-6, CFile::current);
        ADD_FAILURE() << "no exception";
    }
    catch (CFileException* e)
    {
        EXPECT_EQ(CFileException::badSeek, e->m_cause);
        e->Delete();
    }
}

TEST(CMemFile, AttachDetach)
{
    // Grow-by 0: the buffer is the file and cannot grow.
    BYTE fixed[4] = { 1, 2, 3, 4 };
    CMemFile reader(fixed, sizeof(fixed));
    EXPECT_EQ(4u, reader.GetLength());
    BYTE out[4];
    EXPECT_EQ(4u, reader.Read(out, 4));
    EXPECT_EQ(3, out[2]);
    reader.Seek(2, CFile::begin);
    reader.Write("ab", 2);
    EXPECT_EQ('b', fixed[3]);
    try
    {
        reader.Write("c", 1);
        ADD_FAILURE() << "no exception";
    }
    catch (CMemoryException* e)
    {
        e->Delete();
    }

    // With grow-by the attached buffer starts empty and is realloc'ed.
    BYTE* pBuffer = (BYTE*)malloc(4);
    CMemFile writer;
    writer.Attach(pBuffer, 4, 8);
    EXPECT_EQ(0u, writer.GetLength());
    writer.Write("123456", 6);
    EXPECT_EQ(8u, writer.GetBufferSize());
    DWORD dwLength = writer.GetLength();
    BYTE* pDetached = writer.Detach();
    EXPECT_EQ(6u, dwLength);
    EXPECT_EQ(0, memcmp(pDetached, "123456", 6));
    EXPECT_EQ(0u, writer.GetLength());
    free(pDetached);
}

TEST(CArchiveOnFiles, BuffersUntilFlushAndReadsLines)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    ar.WriteString("first\r\nsecond\n");
    ar << CString("last");
    EXPECT_EQ(0u, file.GetLength());
    ar.Flush();
    EXPECT_EQ(19u, file.GetLength());
    try
    {
        BYTE by;
        ar >> by;
        ADD_FAILURE() << "no exception";
    }
    catch (CArchiveException* e)
    {
        EXPECT_EQ(CArchiveException::writeOnly, e->m_cause);
        e->Delete();
    }
    ar.Close();
    try
    {
        ar << (BYTE)1;
        ADD_FAILURE() << "no exception";
    }
    catch (CArchiveException* e)
    {
        EXPECT_EQ(CArchiveException::generic, e->m_cause);  // closed
        e->Delete();
    }

    file.SeekToBegin();
    CArchive in(&file, CArchive::load);
    CString line;
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("first", line);
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("second", line);
    // Flush on a loading archive puts the file back at the read position.
    in.Flush();
    EXPECT_EQ(14u, file.GetPosition());
    EXPECT_TRUE(in.ReadString(line));
    EXPECT_STREQ("\x04last", line);
    EXPECT_FALSE(in.ReadString(line));
}
