// The low-level services of the MIME classes: base64 and quoted-printable,
// the RFC 822 and RFC 1521 tokenizers, the RFC 822 date parser, calendar
// arithmetic, the random draw behind boundaries, and the local host name
// and time zone.
//
// - Decoders never fail: bytes outside their alphabet are skipped or kept and
//   reported through the optional `hadErrors` flag.
// - Quoted-printable decoding keeps 8-bit bytes as they are.
// - Everything here is safe on any input: no read past a string's end.
#ifndef MAIL_CODECS_H
#define MAIL_CODECS_H

#include <mail/dwstring.h>

#include <time.h>
#include <winsock2.h>  // before windows.h, for the socket layer
#include <windows.h>

// Base64 with a CR LF after every 76 characters and at the end.
DwString DwEncodeBase64(const DwString& bytes);
DwString DwDecodeBase64(const DwString& text, bool* hadErrors = NULL);
// Soft line breaks joined, other line ends written as CR LF.
DwString DwDecodeQuotedPrintable(const DwString& text, bool* hadErrors = NULL);

enum DwTokenType {
    kTkError = -1,
    kTkNull = 0,
    kTkSpecial = 1,
    kTkAtom = 2,
    kTkComment = 3,
    kTkQuotedString = 4,
    kTkDomainLiteral = 5,
    kTkTspecial = 6,
    kTkToken = 7,
};

// A tokenizer over a text: the current token's text (a view into the text),
// type and place. Advance moves to the next token; at the end the type is
// kTkNull. White space (space, tab, CR, LF) separates tokens.
class DwTokenizer {
public:
    const DwString& Token() const { return mToken; }
    DwTokenType Type() const { return mType; }
    size_t TokenStart() const { return mTokenStart; }
    size_t TokenEnd() const { return mTokenStart + mToken.length(); }
    // The token without its delimiters when it is a comment, quoted string
    // or domain literal; backslash escapes stay as they are.
    DwString Stripped() const;
    void Advance();

protected:
    DwTokenizer(const DwString& text, bool mime);
    void Read();

private:
    DwString mText;
    bool mMime;
    size_t mPos;
    size_t mTokenStart;
    DwString mToken;
    DwTokenType mType;

    // Reads a delimited token ending at `close`; `nests` for comments.
    void ReadDelimited(char close, bool nests, DwTokenType type);
};

// RFC 822 header syntax: specials ( ) < > , ; : " . [ ] @.
class DwRfc822Tokenizer : public DwTokenizer {
public:
    explicit DwRfc822Tokenizer(const DwString& text) : DwTokenizer(text, false) {}
};

// RFC 1521 parameter syntax: tspecials ( ) < > , ; : " / [ ] ? = @.
class DwRfc1521Tokenizer : public DwTokenizer {
public:
    explicit DwRfc1521Tokenizer(const DwString& text) : DwTokenizer(text, true) {}
};

// The source text from the start of one token to the end of another, as it
// stands (a phrase or an address piece taken verbatim).
DwString DwTokenString(const DwString& text, size_t start, size_t end);

struct DwDateParts {
    int year, month, day, hour, minute, second;
    int zoneMinutes;  // east of UTC
    DwString zoneName;
};

// RFC 822 date-time: [day ","] day month year hh:mm[:ss] zone. Years below
// 1900 get 1900 added. False when the text is no such date.
bool DwParseDate(const DwString& text, DwDateParts& parts);

// Julian day number of a Gregorian date, and back.
long DwJulianDay(int year, int month, int day);
void DwFromJulianDay(long julianDay, int& year, int& month, int& day);
// Seconds since 1970-01-01 00:00 UTC of a broken-down UTC time.
long long DwSecondsSince1970(int year, int month, int day, int hour, int minute, int second);

// Park-Miller minimal-standard draw: seed := seed * 16807 mod (2^31 - 1).
long DwRandomDraw(long& seed);
// The next draw of one process-wide generator, seeded once from the time,
// the process and the tick count, so that values taken in the same second
// differ. Safe from any thread.
long DwProcessRandomDraw();

// The local host's official name, else the computer name, else "noname",
// cut to size - 1 bytes and NUL-terminated.
void DwLocalHostName(char* buffer, size_t size);

// The zone offset (minutes east of UTC) and zone name in force at `when`
// under the zone rules `zone` (as GetTimeZoneInformation gives them);
// `known` false means the system reports no zone rules.
void DwZoneAt(const TIME_ZONE_INFORMATION& zone, bool known, time_t when, int& offsetMinutes,
              DwString& name);
// The same for this system's zone.
void DwLocalZone(time_t when, int& offsetMinutes, DwString& name);

#endif
