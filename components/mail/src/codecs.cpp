// Base64 and quoted-printable.
#include <mail/codecs.h>

#include <string.h>

#include <vector>

namespace {

const char kBase64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
const size_t kBase64LineLength = 76;

// Decoding classes of the bytes outside the alphabet's 0..63.
const signed char kSkip = -1;     // CR, LF, space, tab: skipped silently
const signed char kEnd = -2;      // '=': the data ends
const signed char kInvalid = -3;  // skipped, and the result had errors

struct Base64Table {
    signed char value[256];
    Base64Table()
    {
        memset(value, kInvalid, sizeof value);
        for (int i = 0; i < 64; ++i)
            value[(unsigned char)kBase64Alphabet[i]] = (signed char)i;
        value[(unsigned char)'\r'] = value[(unsigned char)'\n'] = kSkip;
        value[(unsigned char)' '] = value[(unsigned char)'\t'] = kSkip;
        value[(unsigned char)'='] = kEnd;
    }
};
const Base64Table kBase64Table;

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

}  // namespace

DwString DwEncodeBase64(const DwString& bytes)
{
    size_t length = bytes.length();
    size_t groups = (length + 2) / 3;
    std::vector<char> out(groups * 4 + groups * 4 / 72 * 2 + 66);
    const unsigned char* in = (const unsigned char*)bytes.data();
    char* p = out.data();
    size_t lineChars = 0;
    size_t i = 0;
    for (; i + 3 <= length; i += 3) {
        unsigned value = (unsigned)in[i] << 16 | (unsigned)in[i + 1] << 8 | in[i + 2];
        p[0] = kBase64Alphabet[value >> 18];
        p[1] = kBase64Alphabet[(value >> 12) & 63];
        p[2] = kBase64Alphabet[(value >> 6) & 63];
        p[3] = kBase64Alphabet[value & 63];
        p += 4;
        lineChars += 4;
        if (lineChars == kBase64LineLength) {
            *p++ = '\r';
            *p++ = '\n';
            lineChars = 0;
        }
    }
    if (i < length) {
        unsigned value = (unsigned)in[i] << 16 | (i + 1 < length ? (unsigned)in[i + 1] << 8 : 0);
        *p++ = kBase64Alphabet[value >> 18];
        *p++ = kBase64Alphabet[(value >> 12) & 63];
        *p++ = i + 1 < length ? kBase64Alphabet[(value >> 6) & 63] : '=';
        *p++ = '=';
    }
    *p++ = '\r';
    *p++ = '\n';
    return DwString(out.data(), p - out.data());
}

DwString DwDecodeBase64(const DwString& text, bool* hadErrors)
{
    bool errors = false;
    size_t length = text.length();
    DwString result;
    result.resize((length + 3) / 4 * 3 + 3);
    char* const start = result.MutableData();
    const unsigned char* in = (const unsigned char*)text.data();
    char* p = start;
    unsigned value = 0;
    int count = 0;
    for (size_t i = 0; i < length; ++i) {
        signed char v = kBase64Table.value[in[i]];
        if (v >= 0) {
            value = value << 6 | (unsigned)v;
            if (++count == 4) {
                p[0] = (char)(value >> 16);
                p[1] = (char)(value >> 8);
                p[2] = (char)value;
                p += 3;
                count = 0;
                value = 0;
            }
        } else if (v == kEnd) {
            break;
        } else if (v == kInvalid) {
            errors = true;
        }
    }
    // A final incomplete group gives the whole bytes it holds.
    if (count >= 2) {
        value <<= 6 * (4 - count);
        *p++ = (char)(value >> 16);
        if (count == 3)
            *p++ = (char)(value >> 8);
    } else if (count == 1) {
        errors = true;
    }
    if (hadErrors)
        *hadErrors = errors;
    result.resize(p - start);
    return result;
}

DwString DwDecodeQuotedPrintable(const DwString& text, bool* hadErrors)
{
    bool errors = false;
    size_t length = text.length();
    const char* in = text.data();
    const char* nul = (const char*)memchr(in, 0, length);
    if (nul)
        length = nul - in;
    // Worst case: every line is a lone LF that becomes CR LF.
    std::vector<char> out(length * 2 + 2);
    char* p = out.data();
    size_t lineStart = 0;
    while (lineStart < length) {
        const char* lf = (const char*)memchr(in + lineStart, '\n', length - lineStart);
        size_t lineEnd = lf ? (size_t)(lf - in) + 1 : length;
        bool endedWithLf = lf != NULL;
        size_t n = lineEnd;
        while (n > lineStart && strchr("\n\r \t", in[n - 1]))
            --n;
        bool softBreak = false;
        for (size_t i = lineStart; i < n;) {
            char c = in[i];
            if (c != '=') {
                *p++ = c;
                ++i;
            } else if (i + 1 == n) {
                softBreak = true;
                ++i;
            } else if (i + 2 == n) {
                *p++ = in[i + 1];
                errors = true;
                i += 2;
            } else {
                int high = HexValue(in[i + 1]), low = HexValue(in[i + 2]);
                if (high < 0) {
                    high = (unsigned char)in[i + 1];
                    errors = true;
                }
                if (low < 0) {
                    low = (unsigned char)in[i + 2];
                    errors = true;
                }
                *p++ = (char)((high * 16 + low) % 256);
                i += 3;
            }
        }
        if (endedWithLf && !softBreak) {
            *p++ = '\r';
            *p++ = '\n';
        }
        lineStart = lineEnd;
    }
    if (hadErrors)
        *hadErrors = errors;
    return DwString(out.data(), p - out.data());
}
