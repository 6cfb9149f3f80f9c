#include "fixtures.h"

#include <algorithm>
#include <string.h>

Bytes ReadFileBytes(const std::string& path)
{
    Bytes bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
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

unsigned long Crc32(const unsigned char* data, size_t length)
{
    unsigned long crc = 0xFFFFFFFFUL;
    for (size_t i = 0; i < length; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc & 1) ? 0xEDB88320UL ^ (crc >> 1) : crc >> 1;
    }
    return crc ^ 0xFFFFFFFFUL;
}

unsigned long Get32(const Bytes& image, unsigned long at)
{
    return image[at] | image[at + 1] << 8 | image[at + 2] << 16 | (unsigned long)image[at + 3] << 24;
}

void Put32(Bytes& image, unsigned long at, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        image[at + i] = (unsigned char)(value >> (8 * i));
}

ImageSlot ReadImageSlot(const Bytes& image, int index)
{
    unsigned long at = index * kSlotSize;
    ImageSlot slot = {false, 0, 0, 0};
    if (image.size() < at + kSlotCrcAt + 4)
        return slot;
    slot.valid = Get32(image, at) == 0x42445A51 &&
                 Get32(image, at + kSlotCrcAt) == Crc32(&image[at], kSlotCrcAt);
    slot.sequence = Get32(image, at + 12);
    slot.salt = Get32(image, at + 16);
    slot.end = Get32(image, at + 20);
    return slot;
}

int NewestSlot(const Bytes& image)
{
    ImageSlot a = ReadImageSlot(image, 0), b = ReadImageSlot(image, 1);
    if (!a.valid && !b.valid)
        return -1;
    return !b.valid || (a.valid && a.sequence > b.sequence) ? 0 : 1;
}

namespace {

// The checksum of a block header: the salt, then its first five words.
unsigned long BlockHeaderCrc(unsigned long salt, const Bytes& image, unsigned long at)
{
    Bytes bytes(4 + 20);
    Put32(bytes, 0, salt);
    std::copy(image.begin() + at, image.begin() + at + 20, bytes.begin() + 4);
    return Crc32(&bytes[0], bytes.size());
}

unsigned long SaltOf(const Bytes& image)
{
    int newest = NewestSlot(image);
    return newest < 0 ? 0 : ReadImageSlot(image, newest).salt;
}

}  // namespace

std::vector<LogBlock> WholeBlocks(const Bytes& image)
{
    std::vector<LogBlock> blocks;
    const unsigned long salt = SaltOf(image), size = (unsigned long)image.size();
    for (unsigned long at = kDataStart; at + kBlockHeader <= size;) {
        unsigned long length = Get32(image, at + 12);
        if (Get32(image, at) != 0x54494D43 || Get32(image, at + 4) != at ||
            Get32(image, at + 20) != BlockHeaderCrc(salt, image, at) ||
            length > size - at - kBlockHeader ||
            Get32(image, at + 16) != Crc32(&image[at + kBlockHeader], length) ||
            (!blocks.empty() && Get32(image, at + 8) != Get32(image, blocks.back().start + 8) + 1))
            break;
        blocks.push_back(LogBlock{at, at + kBlockHeader + length});
        at = blocks.back().end;
    }
    return blocks;
}

unsigned long LogEnd(const Bytes& image)
{
    std::vector<LogBlock> blocks = WholeBlocks(image);
    return blocks.empty() ? kDataStart : blocks.back().end;
}

void FixBlockChecksums(Bytes& image, unsigned long end)
{
    const unsigned long salt = SaltOf(image);
    for (unsigned long at = kDataStart; at + kBlockHeader <= end;) {
        unsigned long length = Get32(image, at + 12);
        if (length > end - at - kBlockHeader)
            return;
        Put32(image, at + 16, Crc32(&image[at + kBlockHeader], length));
        Put32(image, at + 20, BlockHeaderCrc(salt, image, at));
        at += kBlockHeader + length;
    }
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
