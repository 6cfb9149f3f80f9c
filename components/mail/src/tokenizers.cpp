// The RFC 822 and RFC 1521 tokenizers and the RFC 822 date parser.
#include <mail/codecs.h>

#include <stdlib.h>
#include <string.h>

namespace {

const char kSpecials822[] = "()<>,;:\".[]@";
const char kTspecials1521[] = "()<>,;:\"/[]?=@";

bool IsWhite(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool IsControl(char c)
{
    return (unsigned char)c < 32 || c == 127;
}

}  // namespace

DwTokenizer::DwTokenizer(const DwString& text, bool mime)
    : mText(text), mMime(mime), mPos(0), mTokenStart(0), mType(kTkNull)
{
    Read();
}

void DwTokenizer::Advance()
{
    Read();
}

void DwTokenizer::Read()
{
    const char* s = mText.data();
    size_t n = mText.length();
    while (mPos < n && IsWhite(s[mPos]))
        ++mPos;
    mTokenStart = mPos;
    if (mPos >= n) {
        mToken = DwString();
        mType = kTkNull;
        return;
    }
    char c = s[mPos];
    if (c == '(') {
        ReadDelimited(')', true, kTkComment);
    } else if (c == '"') {
        ReadDelimited('"', false, kTkQuotedString);
    } else if (c == '[' && !mMime) {
        ReadDelimited(']', false, kTkDomainLiteral);
    } else if (strchr(mMime ? kTspecials1521 : kSpecials822, c)) {
        ++mPos;
        mType = mMime ? kTkTspecial : kTkSpecial;
    } else if (IsControl(c)) {
        ++mPos;
        mType = kTkError;
    } else {
        const char* specials = mMime ? kTspecials1521 : kSpecials822;
        while (mPos < n && !IsWhite(s[mPos]) && !IsControl(s[mPos]) && !strchr(specials, s[mPos]))
            ++mPos;
        mType = mMime ? kTkToken : kTkAtom;
    }
    mToken = DwString(mText, mTokenStart, mPos - mTokenStart);
}

void DwTokenizer::ReadDelimited(char close, bool nests, DwTokenType type)
{
    const char* s = mText.data();
    size_t n = mText.length();
    int depth = 1;
    for (size_t i = mPos + 1; i < n; ++i) {
        char c = s[i];
        if (c == '\\') {
            ++i;
        } else if (nests && c == '(') {
            ++depth;
        } else if (c == close && --depth == 0) {
            mPos = i + 1;
            mType = type;
            return;
        }
    }
    mPos = n;
    mType = kTkError;
}

DwString DwTokenizer::Stripped() const
{
    if (mType != kTkComment && mType != kTkQuotedString && mType != kTkDomainLiteral)
        return mToken;
    static const char opens[] = "(\"[";
    static const char closes[] = ")\"]";
    const char* open = strchr(opens, mToken.length() ? mToken[0] : 0);
    size_t start = open && *open ? 1 : 0;
    size_t end = mToken.length();
    if (open && *open && end > start && mToken[end - 1] == closes[open - opens])
        --end;
    return mToken.substr(start, end - start);
}

DwString DwTokenString(const DwString& text, size_t start, size_t end)
{
    if (end <= start)
        return DwString();
    return text.substr(start, end - start);
}

namespace {

const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                               "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

struct NamedZone {
    const char* name;
    int minutes;
};
// Single military letters other than Z carry no reliable sign: read as UTC.
const NamedZone kZones[] = {
    {"UT", 0},      {"GMT", 0},     {"Z", 0},       {"EST", -300}, {"EDT", -240},
    {"CST", -360},  {"CDT", -300},  {"MST", -420},  {"MDT", -360}, {"PST", -480},
    {"PDT", -420},
};

bool ReadNumber(const DwString& token, int& value, size_t maxDigits)
{
    if (token.empty() || token.length() > maxDigits)
        return false;
    value = 0;
    for (size_t i = 0; i < token.length(); ++i) {
        if (token[i] < '0' || token[i] > '9')
            return false;
        value = value * 10 + (token[i] - '0');
    }
    return true;
}

// The tokens of a date without comments; the comment after the last token
// is kept apart (a zone's name after a numeric zone).
struct DateTokens {
    enum { kMax = 16 };
    DwString text[kMax];
    DwTokenType type[kMax];
    int count = 0;
    DwString trailingComment;
};

}  // namespace

bool DwParseDate(const DwString& text, DwDateParts& parts)
{
    DateTokens t;
    for (DwRfc822Tokenizer tok(text); tok.Type() != kTkNull; tok.Advance()) {
        if (tok.Type() == kTkError)
            return false;
        if (tok.Type() == kTkComment) {
            if (t.trailingComment.empty())
                t.trailingComment = tok.Stripped();
            continue;
        }
        if (t.count == DateTokens::kMax)
            return false;
        t.trailingComment = DwString();
        t.text[t.count] = tok.Token();
        t.type[t.count++] = tok.Type();
    }
    int i = 0;
    if (t.count > 1 && t.type[0] == kTkAtom && t.text[1] == ",")
        i = 2;
    int month = 0;
    if (i + 5 > t.count || !ReadNumber(t.text[i], parts.day, 2))
        return false;
    for (int m = 0; m < 12; ++m)
        if (t.text[i + 1].EqualsNoCase(kMonths[m]))
            month = m + 1;
    if (!month || !ReadNumber(t.text[i + 2], parts.year, 4))
        return false;
    parts.month = month;
    if (parts.year < 1900)
        parts.year += 1900;
    i += 3;
    if (!ReadNumber(t.text[i], parts.hour, 2) || t.text[i + 1] != ":" ||
        !ReadNumber(t.text[i + 2], parts.minute, 2))
        return false;
    i += 3;
    parts.second = 0;
    if (i + 1 < t.count && t.text[i] == ":") {
        if (!ReadNumber(t.text[i + 1], parts.second, 2))
            return false;
        i += 2;
    }
    if (parts.day < 1 || parts.day > 31 || parts.hour > 23 || parts.minute > 59 ||
        parts.second > 60)
        return false;
    parts.zoneMinutes = 0;
    parts.zoneName = DwString();
    if (i < t.count) {
        const DwString& zone = t.text[i];
        int hhmm;
        if (zone.length() == 5 && (zone[0] == '+' || zone[0] == '-') &&
            ReadNumber(zone.substr(1), hhmm, 4)) {
            parts.zoneMinutes = (hhmm / 100 * 60 + hhmm % 100) * (zone[0] == '-' ? -1 : 1);
            parts.zoneName = t.trailingComment;
        } else {
            bool known = zone.length() == 1 && zone[0] != 'j' && zone[0] != 'J';
            for (const NamedZone& z : kZones)
                if (zone.EqualsNoCase(z.name)) {
                    parts.zoneMinutes = z.minutes;
                    known = true;
                }
            if (!known)
                return false;
            parts.zoneName = zone;
        }
        ++i;
    }
    return i == t.count;
}
