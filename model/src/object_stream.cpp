#include <model/object_stream.h>

#include <memory>
#include <string.h>

MemoryFile::MemoryFile(unsigned long growBy)
    : m_growBy(growBy), m_position(0), m_capacity(0), m_length(0), m_buffer(NULL),
      m_ownsBuffer(TRUE)
{
}

MemoryFile::~MemoryFile()
{
    if (m_buffer)
        Close();
}

BYTE* MemoryFile::Alloc(unsigned long size)
{
    return static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, size));
}

BYTE* MemoryFile::Realloc(BYTE* block, unsigned long size)
{
    return static_cast<BYTE*>(HeapReAlloc(GetProcessHeap(), 0, block, size));
}

void MemoryFile::Memcpy(BYTE* target, const BYTE* source, unsigned long count)
{
    memcpy(target, source, count);
}

void MemoryFile::Free(BYTE* block)
{
    HeapFree(GetProcessHeap(), 0, block);
}

void MemoryFile::GrowFile(unsigned long length)
{
    if (length <= m_capacity)
        return;
    if (m_growBy == 0)
        throw new CMemFileException;
    // Whole steps of grow-by from the current capacity: at least enough for
    // the length, and double the capacity when that fits in 32 bits, so that
    // a file written piece by piece is copied a few times, not once a step.
    const unsigned long long kLimit = 0xFFFFFFFFULL;
    unsigned long long needed =
        m_capacity + ((unsigned long long)length - m_capacity + m_growBy - 1) / m_growBy * m_growBy;
    if (needed > kLimit)
        throw new CMemFileException;
    unsigned long long doubled = 2ULL * m_capacity;
    unsigned long capacity = (unsigned long)(doubled > needed && doubled <= kLimit ? doubled : needed);
    BYTE* buffer = m_buffer ? Realloc(m_buffer, capacity) : Alloc(capacity);
    if (!buffer)
        throw new CMemFileException;
    m_buffer = buffer;
    m_capacity = capacity;
}

unsigned long MemoryFile::GetPosition() const
{
    return m_position;
}

long MemoryFile::Seek(long offset, int origin)
{
    long long base;
    switch (origin) {
    case 0: base = 0; break;
    case 1: base = m_position; break;
    case 2: base = m_length; break;
    default: return -1;
    }
    long long position = base + offset;
    if (position < 0 || position > 0xFFFFFFFFLL)
        return -1;
    m_position = (unsigned long)position;
    return (long)m_position;
}

void MemoryFile::SetLength(unsigned long length)
{
    GrowFile(length);
    if (m_position > length)
        m_position = length;
    m_length = length;
}

unsigned long MemoryFile::Read(void* buffer, unsigned long count)
{
    if (count == 0 || m_position >= m_length)
        return 0;
    if (count > m_length - m_position)
        count = m_length - m_position;
    Memcpy(static_cast<BYTE*>(buffer), m_buffer + m_position, count);
    m_position += count;
    return count;
}

void MemoryFile::Write(const void* buffer, unsigned long count)
{
    if (count == 0)
        return;
    if (count > 0xFFFFFFFFUL - m_position)
        throw new CMemFileException;
    GrowFile(m_position + count);
    Memcpy(m_buffer + m_position, static_cast<const BYTE*>(buffer), count);
    m_position += count;
    if (m_position > m_length)
        m_length = m_position;
}

void MemoryFile::Abort()
{
    Close();
}

void MemoryFile::Flush()
{
}

void MemoryFile::Close()
{
    m_growBy = 0;
    m_position = 0;
    m_capacity = 0;
    m_length = 0;
    if (m_buffer && m_ownsBuffer)
        Free(m_buffer);
    m_buffer = NULL;
}

// ---------------------------------------------------------------------------
MemoryContainerStream::MemoryContainerStream(CNeoDatabase* database)
    : CNeoContainerStream(database), m_file(1024), m_length(0)
{
}

void MemoryContainerStream::readChunk(void* buffer, unsigned long count)
{
    if (m_file.Seek((long)fMark, 0) == -1 || m_file.Read(buffer, count) != count)
        CNeoException::Throw(CNeoException::kEndOfStream, "An image reads past its end");
    fMark += count;
}

void MemoryContainerStream::writeChunk(const void* buffer, unsigned long count)
{
    if (m_file.Seek((long)fMark, 0) == -1)
        CNeoException::Throw(CNeoException::kBadArgument, "An image is written past 4 GB");
    m_file.Write(buffer, count);
    fMark += count;
}

void MemoryContainerStream::setLength(unsigned long length, BOOL resize)
{
    m_length = length;
    if (resize)
        m_file.SetLength(length);
}

void MemoryContainerStream::close()
{
    m_file.Close();
}

// ---------------------------------------------------------------------------
CNeoMemLocation::CNeoMemLocation() : m_value(0), m_name("RPC Stream"), m_fresh(1)
{
}

CNeoPersist* CNeoMemLocation::Create()
{
    return new CNeoMemLocation;
}

long CNeoMemLocation::getFileLength(const CNeoFormat* format) const
{
    return CNeoContainerLocation::getFileLength(format) + m_blob.getFileLength() + 1;
}

void CNeoMemLocation::readObject(CNeoStream* stream, NeoTag tag)
{
    CNeoContainerLocation::readObject(stream, tag);
    m_value = stream->readChar(tag);
    m_blob.readObject(stream, tag);
    m_fresh = 0;
}

void CNeoMemLocation::writeObject(CNeoStream* stream, NeoTag tag)
{
    CNeoContainerLocation::writeObject(stream, tag);
    stream->writeChar(m_value, tag);
    m_blob.writeObject(stream, tag);
}

CNeoContainerStream* CNeoMemLocation::createStream(CNeoDatabase* database)
{
    return new MemoryContainerStream(database);
}

void CNeoMemLocation::removeFile()
{
    if (!DeleteFileA(m_name))
        CNeoException::Failure(GetLastError(), "File delete failed!");
}

// ---------------------------------------------------------------------------
// Images open read-write and are created when empty.
static void OpenImage(CNeoDatabase* image, CNeoContainerStream* stream)
{
    image->close();
    image->setStream(stream);
    image->fSetting = 2;
    image->open(0xC0000000, TRUE);
}

void ResetImage(CNeoDatabase* image)
{
    OpenImage(image, image->getLocation()->createStream(image));
}

void CopyIntoImage(CNeoImageWriter* image, CNeoDatabase* source, CPPersistBase* object)
{
    CFocusDatabases focus(source, NULL);
    CopyTarget target(image);
    if (target.WriteToImage(object, FALSE))
        object->CopyChildren(target, source, object->getID());
}

const BYTE* GetImageBytes(CNeoDatabase* image, unsigned long* length)
{
    image->commit(FALSE, TRUE, NULL);
    MemoryFile& file = static_cast<MemoryContainerStream*>(image->getStream())->GetMemoryFile();
    *length = file.GetLength();
    return file.GetBuffer();
}

void LoadImage(CNeoDatabase* image, const void* bytes, unsigned long length)
{
    std::unique_ptr<MemoryContainerStream> stream(new MemoryContainerStream(image));
    stream->setLength(length, TRUE);
    stream->setMark(0);
    stream->writeChunk(bytes, length);
    OpenImage(image, stream.release());
}
