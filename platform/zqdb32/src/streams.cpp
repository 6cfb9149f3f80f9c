// Errors, formats, fixed strings and the streams records are read from and
// written to.
#include <zqdb32/zqdb32.h>

#include <string.h>

CNeoException::CNeoException(Code code, const CString& text, DWORD osError)
    : fCode(code), fText(text), fOSError(osError)
{
}

BOOL CNeoException::GetErrorMessage(LPTSTR buffer, UINT maxLength, PUINT helpContext)
{
    if (helpContext)
        *helpContext = 0;
    if (!buffer || maxLength == 0)
        return FALSE;
    CString text = fText;
    if (fOSError) {
        CString os;
        os.Format(" (system error %lu)", (unsigned long)fOSError);
        text += os;
    }
    lstrcpynA(buffer, text, maxLength);
    return TRUE;
}

void CNeoException::Failure(DWORD osError, const char* text)
{
    throw new CNeoException(kIO, text, osError);
}

void CNeoException::Throw(Code code, const CString& text, DWORD osError)
{
    throw new CNeoException(code, text, osError);
}

// ---------------------------------------------------------------------------
CNeoFormat::CNeoFormat(short kind, long, short, short, short, short, short, short, short, short,
                       short)
    : fKind(kind)
{
}

CNeoFormat* NeoLibraryFormat(short kind)
{
    static CNeoFormat kind0(0, 0x500, 1, 1, 1, 1, 16, 6, 4, 4, 4);
    static CNeoFormat kind1(1, 0x500, 1, 1, 1, 1, 16, 6, 4, 4, 4);
    return kind == 0 ? &kind0 : kind == 1 ? &kind1 : NULL;
}

CNeoFormat* NeoGetFormat(short kind)
{
    return gNeoApp ? gNeoApp->GetFormat(kind) : NeoLibraryFormat(kind);
}

CNeoString::CNeoString(const char* text)
{
    *this = text;
}

CNeoString& CNeoString::operator=(const char* text)
{
    lstrcpynA(fText, text ? text : "", sizeof fText);
    return *this;
}

int CNeoString::getLength() const
{
    return (int)strlen(fText);
}

bool CNeoString::operator==(const CNeoString& other) const
{
    return strcmp(fText, other.fText) == 0;
}

// ---------------------------------------------------------------------------
// Typed operations. Numbers are stored least significant byte first.
CNeoStream::CNeoStream() : fMark(0), fFormat(NULL)
{
}

CNeoStream::~CNeoStream()
{
}

short CNeoStream::getFormatKind() const
{
    return fFormat ? fFormat->getKind() : 1;
}

void CNeoStream::readBytes(void* buffer, unsigned long count, NeoTag)
{
    readChunk(buffer, count);
}

void CNeoStream::writeBytes(const void* buffer, unsigned long count, NeoTag)
{
    writeChunk(buffer, count);
}

unsigned long CNeoStream::readULong(NeoTag)
{
    unsigned char b[4];
    readChunk(b, 4);
    return b[0] | (b[1] << 8) | (b[2] << 16) | ((unsigned long)b[3] << 24);
}

void CNeoStream::writeULong(unsigned long value, NeoTag)
{
    unsigned char b[4] = {(unsigned char)value, (unsigned char)(value >> 8),
                          (unsigned char)(value >> 16), (unsigned char)(value >> 24)};
    writeChunk(b, 4);
}

NeoID CNeoStream::readID(NeoTag tag) { return (NeoID)readULong(tag); }
void CNeoStream::writeID(NeoID id, NeoTag tag) { writeULong((unsigned long)id, tag); }
BOOL CNeoStream::readBoolean(NeoTag tag) { return (BOOL)readULong(tag); }
void CNeoStream::writeBoolean(BOOL value, NeoTag tag) { writeULong((unsigned long)value, tag); }
long CNeoStream::readLong(NeoTag tag) { return (long)readULong(tag); }
void CNeoStream::writeLong(long value, NeoTag tag) { writeULong((unsigned long)value, tag); }

char CNeoStream::readChar(NeoTag)
{
    char c;
    readChunk(&c, 1);
    return c;
}

void CNeoStream::writeChar(char value, NeoTag)
{
    writeChunk(&value, 1);
}

// ---------------------------------------------------------------------------
CNeoBufferStream::CNeoBufferStream(CNeoFormat* format) : fData(NULL), fLength(0)
{
    fFormat = format;
}

CNeoBufferStream::CNeoBufferStream(const void* data, unsigned long length, CNeoFormat* format)
    : fData(static_cast<const unsigned char*>(data)), fLength(length)
{
    fFormat = format;
}

const unsigned char* CNeoBufferStream::data() const
{
    return fData ? fData : (fOwned.empty() ? NULL : &fOwned[0]);
}

unsigned long CNeoBufferStream::length() const
{
    return fData ? fLength : (unsigned long)fOwned.size();
}

void CNeoBufferStream::readChunk(void* buffer, unsigned long count)
{
    unsigned long size = length();
    if (fMark > size || count > size - fMark)
        CNeoException::Throw(CNeoException::kEndOfStream, "A record reads past its end");
    if (count)
        memcpy(buffer, data() + fMark, count);
    fMark += count;
}

void CNeoBufferStream::writeChunk(const void* buffer, unsigned long count)
{
    if (fData)
        CNeoException::Throw(CNeoException::kBadArgument, "A read-only stream was written");
    if (fMark + count < fMark)
        CNeoException::Throw(CNeoException::kBadArgument, "A record is too large");
    if (fMark + count > fOwned.size())
        fOwned.resize(fMark + count);
    if (count)
        memcpy(&fOwned[fMark], buffer, count);
    fMark += count;
}

// ---------------------------------------------------------------------------
CNeoContainerStream::CNeoContainerStream(CNeoDatabase* database) : fDatabase(database)
{
}

CNeoContainerStream::~CNeoContainerStream()
{
}

void CNeoContainerStream::replaceImage(const void* bytes, unsigned long length)
{
    setLength(length, TRUE);
    setMark(0);
    writeChunk(bytes, length);
    flush();
}

// ---------------------------------------------------------------------------
CNeoFileStream::CNeoFileStream(CNeoDatabase* database, const char* path)
    : CNeoContainerStream(database), fPath(path), fFile(INVALID_HANDLE_VALUE)
{
}

CNeoFileStream::~CNeoFileStream()
{
    close();
}

void CNeoFileStream::fail(const char* what)
{
    DWORD error = GetLastError();
    CString text;
    text.Format("%s: %s", (const char*)fPath, what);
    throw new CNeoException(CNeoException::kIO, text, error ? error : ERROR_GEN_FAILURE);
}

void CNeoFileStream::open(BOOL create)
{
    if (isOpen())
        return;
    // No write sharing: while this handle is open, every other attempt to
    // open the file for writing, a database's included, fails.
    fFile = CreateFileA(fPath, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, NULL,
                        create ? OPEN_ALWAYS : OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, NULL);
    if (fFile == INVALID_HANDLE_VALUE && GetLastError() == ERROR_SHARING_VIOLATION)
        fail("the database file is already open (one database in one process at a time)");
    if (fFile == INVALID_HANDLE_VALUE)
        fail("the database file cannot be opened");
}

// Reads and writes move the file pointer, then transfer: all of it happens
// under the library lock, so the pointer is this stream's alone. (An offset
// passed in an OVERLAPPED would save the seek but, under Wine, costs a round
// trip to the wineserver on every transfer, ten times the transfer itself.)
BOOL CNeoFileStream::seekToMark()
{
    LARGE_INTEGER at;
    at.QuadPart = fMark;
    return SetFilePointerEx(fFile, at, NULL, FILE_BEGIN);
}

void CNeoFileStream::readChunk(void* buffer, unsigned long count)
{
    if (!isOpen())
        open(FALSE);
    DWORD done = 0;
    if (count && (!seekToMark() || !ReadFile(fFile, buffer, count, &done, NULL) || done != count)) {
        if (done != count && GetLastError() == 0)
            SetLastError(ERROR_HANDLE_EOF);
        fail("the database file cannot be read");
    }
    fMark += count;
}

void CNeoFileStream::writeChunk(const void* buffer, unsigned long count)
{
    if (!isOpen())
        open(TRUE);
    DWORD done = 0;
    if (count && (!seekToMark() || !WriteFile(fFile, buffer, count, &done, NULL) || done != count))
        fail("the database file cannot be written");
    fMark += count;
}

unsigned long CNeoFileStream::getLength()
{
    if (!isOpen())
        open(FALSE);
    DWORD high = 0;
    DWORD low = GetFileSize(fFile, &high);
    if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR)
        fail("the size of the database file cannot be read");
    if (high)
        CNeoException::Throw(CNeoException::kDamaged, fPath + ": the file is larger than 4 GB");
    return low;
}

void CNeoFileStream::setLength(unsigned long length, BOOL resize)
{
    if (!resize)
        return;
    if (!isOpen())
        open(TRUE);
    LONG high = 0;
    if (SetFilePointer(fFile, (LONG)length, &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
        GetLastError() != NO_ERROR)
        fail("the database file cannot be resized");
    if (!SetEndOfFile(fFile))
        fail("the database file cannot be resized");
}

void CNeoFileStream::flush()
{
    if (isOpen() && !FlushFileBuffers(fFile))
        fail("the database file cannot be flushed to disk");
}

void CNeoFileStream::close()
{
    if (isOpen()) {
        CloseHandle(fFile);
        fFile = INVALID_HANDLE_VALUE;
    }
}

void CNeoFileStream::replaceImage(const void* bytes, unsigned long length)
{
    // Write the whole new image beside the file, make it durable, then rename
    // it over the old one: a crash at any point leaves one of the two whole.
    CString temporary = fPath + ".new";
    HANDLE file = CreateFileA(temporary, GENERIC_READ | GENERIC_WRITE, 0, NULL, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE)
        fail("the compacted database file cannot be created");
    DWORD done = 0;
    BOOL ok = WriteFile(file, bytes, length, &done, NULL) && done == length &&
              FlushFileBuffers(file);
    DWORD error = GetLastError();
    CloseHandle(file);
    if (!ok) {
        DeleteFileA(temporary);
        SetLastError(error);
        fail("the compacted database file cannot be written");
    }
    close();
    if (!MoveFileExA(temporary, fPath, MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        error = GetLastError();
        DeleteFileA(temporary);
        open(FALSE);
        SetLastError(error);
        fail("the compacted database file cannot replace the old one");
    }
    open(FALSE);
}
