// In-memory databases: the memory file that holds a database image, the
// container stream the database reads and writes it through, and the storage
// location that names it. Objects cross between the programs as such images.
#ifndef MODEL_OBJECT_STREAM_H
#define MODEL_OBJECT_STREAM_H

#include <model/persist_base.h>

// Thrown (as a pointer) when a memory file cannot grow.
class CMemFileException : public CException {
};

// A growable heap buffer with a file interface.
class MemoryFile {
public:
    explicit MemoryFile(unsigned long growBy);
    virtual ~MemoryFile();

    virtual BYTE* Alloc(unsigned long size);
    virtual BYTE* Realloc(BYTE* block, unsigned long size);
    virtual void Memcpy(BYTE* target, const BYTE* source, unsigned long count);
    virtual void Free(BYTE* block);
    // Makes room for `length` bytes in whole steps of grow-by, doubling the
    // capacity where that fits; throws CMemFileException when it cannot.
    virtual void GrowFile(unsigned long length);
    virtual unsigned long GetPosition() const;
    // Origin 0 from the start, 1 from the position, 2 from the end; returns
    // the new position, or -1 (position unchanged) for another origin or a
    // position outside 0 .. 0xFFFFFFFF.
    virtual long Seek(long offset, int origin);
    virtual void SetLength(unsigned long length);
    virtual unsigned long Read(void* buffer, unsigned long count);
    virtual void Write(const void* buffer, unsigned long count);
    virtual void Abort();
    virtual void Flush();
    virtual void Close();

    unsigned long GetLength() const { return m_length; }
    unsigned long GetCapacity() const { return m_capacity; }
    const BYTE* GetBuffer() const { return m_buffer; }

private:
    unsigned long m_growBy;
    unsigned long m_position;
    unsigned long m_capacity;
    unsigned long m_length;
    BYTE* m_buffer;
    BOOL m_ownsBuffer;
};

// The container stream of an in-memory database: the whole image lives in
// its memory file.
class MemoryContainerStream : public CNeoContainerStream {
public:
    explicit MemoryContainerStream(CNeoDatabase* database);

    virtual void readChunk(void* buffer, unsigned long count);
    virtual void writeChunk(const void* buffer, unsigned long count);
    virtual unsigned long getLength() { return m_file.GetLength(); }
    virtual void setLength(unsigned long length, BOOL resize);
    virtual void refreshLength() { m_length = m_file.GetLength(); }
    virtual void close();

    MemoryFile& GetMemoryFile() { return m_file; }

private:
    CString m_name;
    MemoryFile m_file;
    unsigned long m_length;
};

// The location of an in-memory database, named "RPC Stream".
class CNeoMemLocation : public CNeoContainerLocation {
public:
    CNeoMemLocation();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassMemLocation; }
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);

    virtual CNeoContainerStream* createStream(CNeoDatabase* database);
    virtual CString getName() const { return m_name; }
    virtual void removeFile();

private:
    char m_value;
    ENeoBlob m_blob;  // stored with the location
    CString m_name;
    long m_fresh;     // 1 until the location is read from a stream
};

// Object streams: objects with their children travel between the programs as
// the image of an in-memory database whose location is a CNeoMemLocation.

// Gives an in-memory database a fresh, empty image.
void ResetImage(CNeoDatabase* image);
// Writes `object` with its children from `source`, as stored, into a started
// image writer: the bytes a new image gets from a clone of `object` with its
// children copied under it.
void CopyIntoImage(CNeoImageWriter* image, CNeoDatabase* source, CPPersistBase* object);
// Commits the image and returns its bytes (valid until the image changes).
const BYTE* GetImageBytes(CNeoDatabase* image, unsigned long* length);
// Opens bytes as the image of an in-memory database; throws CNeoException
// when they are not a valid image.
void LoadImage(CNeoDatabase* image, const void* bytes, unsigned long length);

#endif
