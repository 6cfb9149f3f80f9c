// DwString: the byte string of the MIME classes.
//
// - Holds any bytes, NUL included; data() is not NUL-terminated, c_str() is.
// - Copies and substrings share one reference-counted buffer and record only
//   an offset and a length; the first change to a string whose buffer is
//   shared (or too small) copies its text into a buffer of its own. A parsed
//   message is therefore a tree of views into the message text.
// - Appending to a view bytes that its buffer already holds right after it
//   only lengthens the view: assembling an unchanged tree copies nothing.
// - Buffer capacities are powers of two, at least 16, with room for a NUL.
//   Buffers of 1 MB and more are kept for reuse once freed (at most 16
//   of them and 160 MB), so large texts reuse memory already mapped.
// - Not thread-safe: strings that share a buffer are used by one thread.
#ifndef MAIL_DWSTRING_H
#define MAIL_DWSTRING_H

#include <stddef.h>

class DwString {
public:
    static constexpr size_t npos = (size_t)-1;

    DwString();
    DwString(const char* text);
    DwString(const char* bytes, size_t length);
    // A substring that shares `other`'s buffer.
    DwString(const DwString& other, size_t pos, size_t length = npos);
    DwString(size_t count, char byte);
    DwString(const DwString& other);
    virtual ~DwString();

    DwString& operator=(const DwString& other);
    DwString& operator=(const char* text);
    DwString& assign(const char* bytes, size_t length);

    DwString& append(const DwString& other);
    DwString& append(const char* bytes, size_t length);
    DwString& append(const char* text);
    DwString& append(size_t count, char byte);
    DwString& operator+=(const DwString& other) { return append(other); }
    DwString& operator+=(const char* text) { return append(text); }
    DwString& operator+=(char byte) { return append(1, byte); }

    DwString& insert(size_t pos, const DwString& other);
    DwString& erase(size_t pos = 0, size_t length = npos);
    DwString& replace(size_t pos, size_t length, const char* bytes, size_t count);
    void reserve(size_t capacity);
    // Room for `capacity` bytes once this string must copy into a buffer of
    // its own; a view stays a view until then.
    void ReserveOnCopy(size_t capacity) { mCapacityHint = capacity; }
    // New bytes are 0.
    void resize(size_t length);
    // The bytes, writable: the buffer becomes this string's own.
    char* MutableData();
    void clear() { erase(); }

    DwString substr(size_t pos = 0, size_t length = npos) const;
    size_t find(char byte, size_t pos = 0) const;
    size_t find(const char* bytes, size_t pos, size_t length) const;
    size_t find(const char* text, size_t pos = 0) const;
    size_t find_first_of(const char* set, size_t pos = 0) const;
    size_t find_first_not_of(const char* set, size_t pos = 0) const;
    size_t find_last_of(const char* set, size_t pos = npos) const;

    int compare(const DwString& other) const;
    // Case-insensitive comparison with a text (ASCII letters).
    bool EqualsNoCase(const char* text) const;

    size_t length() const { return mLength; }
    size_t size() const { return mLength; }
    bool empty() const { return mLength == 0; }
    const char* data() const;
    const char* c_str() const;
    char operator[](size_t pos) const { return data()[pos]; }
    // The serial number every string takes at construction.
    unsigned long SerialNumber() const { return mSerial; }

private:
    struct Buffer;
    Buffer* mBuffer;
    unsigned long mSerial;
    size_t mStart;
    size_t mLength;
    size_t mCapacityHint;

    // Makes the buffer this string's own with room for `capacity` bytes.
    void Own(size_t capacity);
    // True when the buffer holds `bytes` right after this view (which then
    // grows over them).
    bool ExtendOver(const char* bytes, size_t length);
    void Release();
    static Buffer* NewBuffer(size_t capacity);
};

bool operator==(const DwString& a, const DwString& b);
bool operator==(const DwString& a, const char* b);
inline bool operator!=(const DwString& a, const DwString& b) { return !(a == b); }
inline bool operator!=(const DwString& a, const char* b) { return !(a == b); }
bool operator<(const DwString& a, const DwString& b);
DwString operator+(const DwString& a, const DwString& b);

// Case-insensitive comparison of two byte strings (ASCII letters): <0, 0, >0.
int DwStrncasecmp(const char* a, size_t aLength, const char* b, size_t bLength);

#endif
