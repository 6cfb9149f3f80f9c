#include "fixtures.h"

#include <string.h>

std::string TempPath(const std::string& name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    return std::string(folder) + "zqdb32-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

Bytes ReadFileBytes(const std::string& path)
{
    Bytes bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, NULL));
    DWORD done = 0;
    if (!bytes.empty())
        ReadFile(file, &bytes[0], (DWORD)bytes.size(), &done, NULL);
    CloseHandle(file);
    bytes.resize(done);
    return bytes;
}

void WriteFileBytes(const std::string& path, const Bytes& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
    DWORD done = 0;
    if (!bytes.empty())
        WriteFile(file, &bytes[0], (DWORD)bytes.size(), &done, NULL);
    CloseHandle(file);
    ASSERT_EQ(done, bytes.size());
}

void CMemoryStream::readChunk(void* buffer, unsigned long count)
{
    if (fMark > fBytes.size() || count > fBytes.size() - fMark)
        CNeoException::Throw(CNeoException::kEndOfStream, "memory image: read past the end");
    if (count)
        memcpy(buffer, &fBytes[fMark], count);
    fMark += count;
}

void CMemoryStream::writeChunk(const void* buffer, unsigned long count)
{
    if (fMark + count > fBytes.size())
        fBytes.resize(fMark + count);
    if (count)
        memcpy(&fBytes[fMark], buffer, count);
    fMark += count;
}

void CMemoryStream::setLength(unsigned long length, BOOL resize)
{
    if (resize)
        fBytes.resize(length);
}

FileDatabaseTest::FileDatabaseTest()
    : fPath(TempPath(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".db"),
      fLocation(fPath.c_str())
{
    RegisterThings();
    DeleteFileA(fPath.c_str());
    fDB.setLocation(&fLocation);
    fDB.open();
}

FileDatabaseTest::~FileDatabaseTest()
{
    fDB.close();
    DeleteFileA(fPath.c_str());
}

void FileDatabaseTest::reopen()
{
    fDB.close();
    fDB.open();
}

NeoID FileDatabaseTest::add(CThing* thing)
{
    fDB.addObject(thing);
    NeoID id = thing->getID();
    thing->unrefer();
    return id;
}
