// Files, in-memory images and a database fixture for the tests.
#ifndef TESTS_ZQDB32_FIXTURES_H
#define TESTS_ZQDB32_FIXTURES_H

#include "things.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_path.h"

typedef std::vector<unsigned char> Bytes;

// Reads also a file that a database holds open: its bytes as a crash would
// leave them.
Bytes ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const Bytes& bytes);

// A header slot of a database image (0 or 1), as the library reads it.
struct ImageSlot {
    bool valid;
    unsigned long sequence, salt, end;
};
const unsigned long kSlotSize = 512;
const unsigned long kDataStart = 1024;
const unsigned long kSlotCrcAt = 32;      // the slot's checksum covers the bytes before it
const unsigned long kBlockHeader = 24;
ImageSlot ReadImageSlot(const Bytes& image, int index);
// The slot a database opens with: the valid one with the higher sequence.
int NewestSlot(const Bytes& image);
unsigned long Get32(const Bytes& image, unsigned long at);
void Put32(Bytes& image, unsigned long at, unsigned long value);
unsigned long Crc32(const unsigned char* data, size_t length);

// The whole commit blocks of an image's log, in order, up to the first
// broken one.
struct LogBlock {
    unsigned long start, end;
};
std::vector<LogBlock> WholeBlocks(const Bytes& image);
// Where the whole blocks end: what follows is a torn commit, if anything.
unsigned long LogEnd(const Bytes& image);
// Rewrites both checksums of every commit block up to `end`, so that damage
// inside a block gets past them.
void FixBlockChecksums(Bytes& image, unsigned long end);

// A database image in memory.
class CMemoryStream : public CNeoContainerStream {
public:
    CMemoryStream(CNeoDatabase* database, const Bytes& bytes = Bytes())
        : CNeoContainerStream(database), fBytes(bytes) {}
    virtual void readChunk(void* buffer, unsigned long count);
    virtual void writeChunk(const void* buffer, unsigned long count);
    virtual unsigned long getLength() { return (unsigned long)fBytes.size(); }
    virtual void setLength(unsigned long length, BOOL resize);
    const Bytes& bytes() const { return fBytes; }

private:
    Bytes fBytes;
};

// A file database, registered classes and a fresh file for every test.
class FileDatabaseTest : public ::testing::Test {
protected:
    FileDatabaseTest();
    ~FileDatabaseTest();
    void reopen();
    // Adds the object, drops the creator's reference and returns its ID.
    NeoID add(CThing* thing);

    std::string fPath;
    CNeoFileLocation fLocation;
    CNeoDatabase fDB;
};

#endif
