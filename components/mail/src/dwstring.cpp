// The shared-buffer byte string.
#include <mail/dwstring.h>

#include <windows.h>

#include <atomic>
#include <new>
#include <stdlib.h>
#include <string.h>

struct DwString::Buffer {
    size_t capacity;
    long references;
    char* bytes;
};

namespace {

std::atomic<unsigned long> gSerial(0);

const size_t kMinCapacity = 16;

size_t RoundCapacity(size_t needed)
{
    size_t capacity = kMinCapacity;
    while (capacity < needed + 1)
        capacity *= 2;
    return capacity;
}

// Freed large buffers kept for reuse: fresh memory costs a page fault per
// page on first touch, which dominates copying of large texts.
const size_t kCachedMinimum = 1 << 20;
const size_t kCachedTotal = 160u << 20;
const int kCachedSlots = 16;

struct LargeBufferCache {
    volatile LONG busy = 0;  // held only for a few instructions
    char* bytes[kCachedSlots] = {};
    size_t capacity[kCachedSlots] = {};
    size_t total = 0;

    void Lock()
    {
        while (InterlockedExchange(&busy, 1))
            Sleep(0);
    }

    char* Take(size_t wanted)
    {
        char* found = NULL;
        Lock();
        for (int i = 0; i < kCachedSlots && !found; ++i)
            if (bytes[i] && capacity[i] == wanted) {
                found = bytes[i];
                bytes[i] = NULL;
                total -= wanted;
            }
        InterlockedExchange(&busy, 0);
        return found;
    }

    // False when the cache is full: the caller frees the buffer.
    bool Keep(char* block, size_t size)
    {
        bool kept = false;
        Lock();
        for (int i = 0; i < kCachedSlots && !kept; ++i)
            if (!bytes[i] && total + size <= kCachedTotal) {
                bytes[i] = block;
                capacity[i] = size;
                total += size;
                kept = true;
            }
        InterlockedExchange(&busy, 0);
        return kept;
    }
};

LargeBufferCache gLargeBuffers;

char* AllocateBytes(size_t capacity)
{
    char* bytes = capacity >= kCachedMinimum ? gLargeBuffers.Take(capacity) : NULL;
    return bytes ? bytes : (char*)malloc(capacity);
}

void FreeBytes(char* bytes, size_t capacity)
{
    if (capacity < kCachedMinimum || !gLargeBuffers.Keep(bytes, capacity))
        free(bytes);
}

char LowerAscii(char c)
{
    return c >= 'A' && c <= 'Z' ? (char)(c + 32) : c;
}

}  // namespace

int DwStrncasecmp(const char* a, size_t aLength, const char* b, size_t bLength)
{
    size_t n = aLength < bLength ? aLength : bLength;
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = (unsigned char)LowerAscii(a[i]), y = (unsigned char)LowerAscii(b[i]);
        if (x != y)
            return x < y ? -1 : 1;
    }
    return aLength == bLength ? 0 : (aLength < bLength ? -1 : 1);
}

DwString::DwString() : mBuffer(NULL), mSerial(++gSerial), mStart(0), mLength(0), mCapacityHint(0)
{
    Own(0);
}

DwString::DwString(const char* text) : DwString()
{
    if (text)
        append(text, strlen(text));
}

DwString::DwString(const char* bytes, size_t length) : DwString()
{
    append(bytes, length);
}

DwString::DwString(const DwString& other, size_t pos, size_t length)
    : mBuffer(other.mBuffer), mSerial(++gSerial), mStart(0), mLength(0), mCapacityHint(0)
{
    if (pos > other.mLength)
        pos = other.mLength;
    if (length > other.mLength - pos)
        length = other.mLength - pos;
    ++mBuffer->references;
    mStart = other.mStart + pos;
    mLength = length;
}

DwString::DwString(size_t count, char byte) : DwString()
{
    append(count, byte);
}

DwString::DwString(const DwString& other) : DwString(other, 0, npos) {}

DwString::~DwString()
{
    Release();
}

void DwString::Release()
{
    if (mBuffer && --mBuffer->references == 0) {
        FreeBytes(mBuffer->bytes, mBuffer->capacity);
        delete mBuffer;
    }
    mBuffer = NULL;
}

DwString::Buffer* DwString::NewBuffer(size_t capacity)
{
    Buffer* buffer = new Buffer;
    buffer->capacity = capacity;
    buffer->references = 1;
    buffer->bytes = AllocateBytes(capacity);
    if (!buffer->bytes) {
        delete buffer;
        throw std::bad_alloc();
    }
    buffer->bytes[0] = 0;
    return buffer;
}

void DwString::Own(size_t capacity)
{
    if (mBuffer && mBuffer->references == 1 && mStart + capacity < mBuffer->capacity)
        return;
    size_t wanted = capacity > mLength ? capacity : mLength;
    if (wanted < mCapacityHint)
        wanted = mCapacityHint;
    if (mBuffer && mBuffer->references == 1 && mStart > 0 && wanted < mBuffer->capacity) {
        memmove(mBuffer->bytes, mBuffer->bytes + mStart, mLength);
        mStart = 0;
        mBuffer->bytes[mLength] = 0;
        return;
    }
    size_t newCapacity = RoundCapacity(wanted);
    Buffer* buffer = NewBuffer(newCapacity);
    if (mBuffer) {
        memcpy(buffer->bytes, mBuffer->bytes + mStart, mLength);
        buffer->bytes[mLength] = 0;
    }
    Release();
    mBuffer = buffer;
    mStart = 0;
}

DwString& DwString::operator=(const DwString& other)
{
    if (this == &other || mBuffer == other.mBuffer) {
        mStart = other.mStart;
        mLength = other.mLength;
        return *this;
    }
    ++other.mBuffer->references;
    Release();
    mBuffer = other.mBuffer;
    mStart = other.mStart;
    mLength = other.mLength;
    return *this;
}

DwString& DwString::operator=(const char* text)
{
    return assign(text, text ? strlen(text) : 0);
}

DwString& DwString::assign(const char* bytes, size_t length)
{
    // `bytes` may point into this string's own buffer.
    DwString copy(bytes, length);
    return *this = copy;
}

DwString& DwString::append(const DwString& other)
{
    if (mLength == 0) {
        *this = other;
        return *this;
    }
    if (other.mBuffer == mBuffer && other.mStart == mStart + mLength) {
        mLength += other.mLength;
        return *this;
    }
    DwString keep(other);  // `other` may be this string
    return append(keep.data(), keep.mLength);
}

bool DwString::ExtendOver(const char* bytes, size_t length)
{
    if (mBuffer->references == 1 || mStart + mLength + length >= mBuffer->capacity ||
        memcmp(mBuffer->bytes + mStart + mLength, bytes, length) != 0)
        return false;
    mLength += length;
    return true;
}

DwString& DwString::append(const char* bytes, size_t length)
{
    if (length == 0 || ExtendOver(bytes, length))
        return *this;
    if (mBuffer && bytes >= mBuffer->bytes && bytes < mBuffer->bytes + mBuffer->capacity) {
        DwString copy(bytes, length);
        return append(copy.data(), length);
    }
    size_t needed = mLength + length;
    if (!(mBuffer->references == 1 && mStart + needed < mBuffer->capacity)) {
        // Grow geometrically so that repeated appends stay linear.
        size_t room = needed;
        if (mBuffer->references == 1 && room < 2 * mLength)
            room = 2 * mLength;
        Own(room);
    }
    memcpy(mBuffer->bytes + mStart + mLength, bytes, length);
    mLength = needed;
    mBuffer->bytes[mStart + mLength] = 0;
    return *this;
}

DwString& DwString::append(const char* text)
{
    return append(text, text ? strlen(text) : 0);
}

DwString& DwString::append(size_t count, char byte)
{
    if (count == 0)
        return *this;
    Own(mLength + count);
    memset(mBuffer->bytes + mStart + mLength, byte, count);
    mLength += count;
    mBuffer->bytes[mStart + mLength] = 0;
    return *this;
}

DwString& DwString::insert(size_t pos, const DwString& other)
{
    DwString keep(other);
    return replace(pos, 0, keep.data(), keep.mLength);
}

DwString& DwString::erase(size_t pos, size_t length)
{
    return replace(pos, length, "", 0);
}

DwString& DwString::replace(size_t pos, size_t length, const char* bytes, size_t count)
{
    if (pos > mLength)
        pos = mLength;
    if (length > mLength - pos)
        length = mLength - pos;
    DwString insertion(bytes, count);  // `bytes` may point into this string
    size_t newLength = mLength - length + count;
    Own(newLength);
    char* base = mBuffer->bytes + mStart;
    memmove(base + pos + count, base + pos + length, mLength - pos - length);
    memcpy(base + pos, insertion.data(), count);
    mLength = newLength;
    base[mLength] = 0;
    return *this;
}

void DwString::reserve(size_t capacity)
{
    Own(capacity);
}

void DwString::resize(size_t length)
{
    if (length <= mLength) {
        mLength = length;
        if (mBuffer->references == 1)
            mBuffer->bytes[mStart + mLength] = 0;
        return;
    }
    append(length - mLength, '\0');
}

char* DwString::MutableData()
{
    Own(mLength);
    return mBuffer->bytes + mStart;
}

DwString DwString::substr(size_t pos, size_t length) const
{
    return DwString(*this, pos, length);
}

const char* DwString::data() const
{
    return mBuffer->bytes + mStart;
}

const char* DwString::c_str() const
{
    if (mBuffer->bytes[mStart + mLength] != 0) {
        // A view into a larger text: take a copy that can end with a NUL.
        DwString* self = const_cast<DwString*>(this);
        self->Own(mLength);
        mBuffer->bytes[mStart + mLength] = 0;
    }
    return data();
}

size_t DwString::find(char byte, size_t pos) const
{
    if (pos >= mLength)
        return npos;
    const char* found = (const char*)memchr(data() + pos, byte, mLength - pos);
    return found ? (size_t)(found - data()) : npos;
}

size_t DwString::find(const char* bytes, size_t pos, size_t length) const
{
    if (length == 0)
        return pos <= mLength ? pos : npos;
    const char* base = data();
    while (pos + length <= mLength) {
        const char* first = (const char*)memchr(base + pos, bytes[0], mLength - pos - length + 1);
        if (!first)
            return npos;
        pos = first - base;
        if (memcmp(first, bytes, length) == 0)
            return pos;
        ++pos;
    }
    return npos;
}

size_t DwString::find(const char* text, size_t pos) const
{
    return find(text, pos, strlen(text));
}

size_t DwString::find_first_of(const char* set, size_t pos) const
{
    for (size_t i = pos; i < mLength; ++i)
        if (data()[i] && strchr(set, data()[i]))
            return i;
    return npos;
}

size_t DwString::find_first_not_of(const char* set, size_t pos) const
{
    for (size_t i = pos; i < mLength; ++i)
        if (!data()[i] || !strchr(set, data()[i]))
            return i;
    return npos;
}

size_t DwString::find_last_of(const char* set, size_t pos) const
{
    if (mLength == 0)
        return npos;
    size_t i = pos < mLength ? pos : mLength - 1;
    for (;; --i) {
        if (data()[i] && strchr(set, data()[i]))
            return i;
        if (i == 0)
            return npos;
    }
}

int DwString::compare(const DwString& other) const
{
    size_t n = mLength < other.mLength ? mLength : other.mLength;
    int result = memcmp(data(), other.data(), n);
    if (result)
        return result;
    return mLength == other.mLength ? 0 : (mLength < other.mLength ? -1 : 1);
}

bool DwString::EqualsNoCase(const char* text) const
{
    return DwStrncasecmp(data(), mLength, text, strlen(text)) == 0;
}

bool operator==(const DwString& a, const DwString& b)
{
    return a.compare(b) == 0;
}

bool operator==(const DwString& a, const char* b)
{
    size_t n = strlen(b);
    return a.length() == n && memcmp(a.data(), b, n) == 0;
}

bool operator<(const DwString& a, const DwString& b)
{
    return a.compare(b) < 0;
}

DwString operator+(const DwString& a, const DwString& b)
{
    DwString result(a);
    result.append(b);
    return result;
}
