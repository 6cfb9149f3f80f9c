// The field bodies: addresses, media types, dispositions, encodings, dates,
// message ids and Received stamps.
#include <mail/mime.h>

#include "owned_items.h"

#include <stdio.h>
#include <string.h>

#include <windows.h>

namespace {

struct Token {
    DwString text;
    DwTokenType type;
    size_t start, end;
};

// The tokens of a text, comments left out.
std::vector<Token> Tokens822(const DwString& text)
{
    std::vector<Token> tokens;
    for (DwRfc822Tokenizer t(text); t.Type() != kTkNull; t.Advance())
        if (t.Type() != kTkComment)
            tokens.push_back({t.Token(), t.Type(), t.TokenStart(), t.TokenEnd()});
    return tokens;
}

bool IsSpecial(const Token& t, char c)
{
    return (t.type == kTkSpecial || t.type == kTkTspecial) && t.text.length() == 1 && t.text[0] == c;
}

DwString Join(const std::vector<Token>& tokens, size_t from, size_t to)
{
    DwString text;
    for (size_t i = from; i < to; ++i)
        text.append(tokens[i].text);
    return text;
}

DwString Trimmed(const DwString& text)
{
    size_t start = text.find_first_not_of(" \t\r\n");
    if (start == DwString::npos)
        return DwString();
    size_t last = text.length();
    while (last > start && strchr(" \t\r\n", text[last - 1]))
        --last;
    return text.substr(start, last - start);
}

// An enumeration's texts, index = value; "" for values without a text.
struct EnumTable {
    const char* const* texts;
    int count;
};

const char* const kTypeTexts[] = {"", "Unknown", "Text", "Multipart", "Message",
                                  "Application", "Image", "Audio", "Video", "Model"};
const char* const kSubtypeTexts[] = {
    "", "Unknown", "Plain", "Richtext", "Enriched", "HTML", "Mixed", "Alternative", "Digest",
    "Parallel", "Rfc822", "Partial", "External-body", "Postscript", "Octet-stream", "jpeg",
    "gif", "basic", "mpeg", "signed", "encrypted", "rfc822-headers", "report",
    "delivery-status", "related", "appledouble", "applefile"};
const char* const kCteTexts[] = {"", "", "7bit", "8bit", "binary", "quoted-printable", "base64"};
const char* const kDispTexts[] = {"", "", "inline", "attachment"};

DwString EnumToStr(const char* const* texts, int count, int value)
{
    return DwString(value >= 0 && value < count ? texts[value] : "");
}

int StrToEnum(const char* const* texts, int count, const DwString& text)
{
    if (text.empty())
        return 0;
    for (int i = 2; i < count; ++i)
        if (text.EqualsNoCase(texts[i]))
            return i;
    return 1;
}

#define ENUM_COUNT(a) ((int)(sizeof(a) / sizeof(a[0])))

// An enumeration kept beside its text: setting one sets the other.
void SetByValue(int& value, DwString& text, int v, DwString (*toText)(int))
{
    value = v;
    text = toText(v);
}

void SetByText(int& value, DwString& text, const DwString& t, int (*toValue)(const DwString&))
{
    text = t;
    value = toValue(t);
}

}  // namespace

namespace DwMime {
DwString TypeEnumToStr(int v) { return EnumToStr(kTypeTexts, ENUM_COUNT(kTypeTexts), v); }
int TypeStrToEnum(const DwString& t) { return StrToEnum(kTypeTexts, ENUM_COUNT(kTypeTexts), t); }
DwString SubtypeEnumToStr(int v) { return EnumToStr(kSubtypeTexts, ENUM_COUNT(kSubtypeTexts), v); }
int SubtypeStrToEnum(const DwString& t)
{
    return StrToEnum(kSubtypeTexts, ENUM_COUNT(kSubtypeTexts), t);
}
DwString CteEnumToStr(int v) { return EnumToStr(kCteTexts, ENUM_COUNT(kCteTexts), v); }
int CteStrToEnum(const DwString& t) { return StrToEnum(kCteTexts, ENUM_COUNT(kCteTexts), t); }
DwString DispTypeEnumToStr(int v) { return EnumToStr(kDispTexts, ENUM_COUNT(kDispTexts), v); }
int DispTypeStrToEnum(const DwString& t) { return StrToEnum(kDispTexts, ENUM_COUNT(kDispTexts), t); }
}  // namespace DwMime

// ---- the factory ----

DwFieldBody* DwFieldBody::NewFieldBody(const DwString& fieldName, const DwString& text,
                                       DwMessageComponent* parent)
{
    struct Kind {
        const char* name;
        int kind;
    };
    enum { kAddressList, kMailboxList, kMailbox, kDate, kMsgId, kMediaType, kMechanism,
           kDisposition, kStamp };
    static const Kind kKinds[] = {
        {"to", kAddressList}, {"cc", kAddressList}, {"bcc", kAddressList},
        {"reply-to", kAddressList}, {"resent-bcc", kAddressList}, {"resent-cc", kAddressList},
        {"resent-reply-to", kAddressList}, {"from", kMailboxList}, {"resent-from", kMailboxList},
        {"sender", kMailbox}, {"resent-sender", kMailbox}, {"return-path", kMailbox},
        {"date", kDate}, {"resent-date", kDate}, {"message-id", kMsgId}, {"content-id", kMsgId},
        {"resent-message-id", kMsgId}, {"content-type", kMediaType},
        {"content-transfer-encoding", kMechanism}, {"content-disposition", kDisposition},
        {"received", kStamp},
    };
    for (const Kind& k : kKinds) {
        if (!fieldName.EqualsNoCase(k.name))
            continue;
        switch (k.kind) {
        case kAddressList: return new DwAddressList(text, parent);
        case kMailboxList: return new DwMailboxList(text, parent);
        case kMailbox: return new DwMailbox(text, parent);
        case kDate: return new DwDateTime(text, parent);
        case kMsgId: return new DwMsgId(text, parent);
        case kMediaType: return new DwMediaType(text, parent);
        case kMechanism: return new DwMechanism(text, parent);
        case kDisposition: return new DwDispositionType(text, parent);
        default: return new DwStamp(text, parent);
        }
    }
    return new DwText(text, parent);
}

// ---- DwMailbox ----

DwMailbox::DwMailbox(const DwString& text, DwMessageComponent* parent)
    : DwAddress(text, parent, kCidMailbox, "DwMailbox")
{
}

void DwMailbox::Parse()
{
    mIsModified = false;
    mFullName = mRoute = mLocalPart = mDomain = DwString();
    std::vector<Token> t = Tokens822(mString);
    size_t open = t.size();
    for (size_t i = 0; i < t.size(); ++i)
        if (IsSpecial(t[i], '<')) {
            open = i;
            break;
        }
    size_t from = 0, to = t.size();
    if (open < t.size()) {
        if (open > 0)
            mFullName = DwTokenString(mString, t[0].start, t[open - 1].end);
        from = open + 1;
        for (size_t i = from; i < t.size(); ++i)
            if (IsSpecial(t[i], '>')) {
                to = i;
                break;
            }
        for (size_t i = from; i < to; ++i)
            if (IsSpecial(t[i], ':')) {
                if (i > from)
                    mRoute = DwTokenString(mString, t[from].start, t[i - 1].end);
                from = i + 1;
                break;
            }
    }
    size_t at = to;
    for (size_t i = from; i < to; ++i)
        if (IsSpecial(t[i], '@')) {
            at = i;
            break;
        }
    if (at < to) {
        mLocalPart = Join(t, from, at);
        mDomain = Join(t, at + 1, to);
    }
    mIsValid = !mLocalPart.empty() && !mDomain.empty();
}

void DwMailbox::Assemble()
{
    if (!mIsModified)
        return;
    mIsModified = false;
    mIsValid = !mLocalPart.empty() && !mDomain.empty();
    DwString text;
    if (mIsValid) {
        if (!mFullName.empty()) {
            text.append(mFullName);
            text.append(" ");
        }
        text.append("<");
        if (!mRoute.empty()) {
            text.append(mRoute);
            text.append(":");
        }
        text.append(AddrSpec());
        text.append(">");
    }
    mString = text;
}

DwString DwMailbox::AddrSpec() const
{
    DwString text(mLocalPart);
    text.append("@");
    text.append(mDomain);
    return text;
}

void DwMailbox::SetFullName(const DwString& text) { mFullName = text; SetModified(); }
void DwMailbox::SetRoute(const DwString& text) { mRoute = text; SetModified(); }
void DwMailbox::SetLocalPart(const DwString& text) { mLocalPart = text; SetModified(); }
void DwMailbox::SetDomain(const DwString& text) { mDomain = text; SetModified(); }

// ---- address pieces ----

namespace {

struct Piece {
    size_t start, end;
    bool group;
};

// Cuts a list at commas outside angle brackets and, when `groups`, outside
// groups ("name: ... ;").
std::vector<Piece> CutAddresses(const DwString& text, bool groups)
{
    enum { kNormal, kGroup, kRoute } state = kNormal;
    std::vector<Piece> pieces;
    Piece current = {0, 0, false};
    bool any = false;
    for (DwRfc822Tokenizer t(text); t.Type() != kTkNull; t.Advance()) {
        bool special = t.Type() == kTkSpecial;
        char c = special ? t.Token()[0] : 0;
        if (state == kNormal && c == ',') {
            if (any)
                pieces.push_back(current);
            any = false;
            current.group = false;
            continue;
        }
        if (!any) {
            current.start = t.TokenStart();
            any = true;
        }
        current.end = t.TokenEnd();
        if (state == kNormal && c == ':' && groups) {
            state = kGroup;
            current.group = true;
        } else if (state == kNormal && c == '<') {
            state = kRoute;
        } else if (state == kGroup && c == ';') {
            state = kNormal;
        } else if (state == kRoute && c == '>') {
            state = current.group ? kGroup : kNormal;
        } else if (state == kGroup && c == '<') {
            state = kRoute;
        }
    }
    if (any)
        pieces.push_back(current);
    return pieces;
}

// Entries joined by ", " or, folded, by "," CR LF and `indent`.
template <class T>
DwString JoinEntries(const std::vector<T*>& items, bool folding, const char* indent)
{
    DwString separator(folding ? ",\r\n" : ", ");
    if (folding)
        separator.append(indent);
    DwString text;
    for (size_t i = 0; i < items.size(); ++i) {
        items[i]->Assemble();
        if (i)
            text.append(separator);
        text.append(items[i]->AsString());
    }
    return text;
}

}  // namespace

// ---- DwMailboxList ----

DwMailboxList::DwMailboxList(const DwString& text, DwMessageComponent* parent)
    : DwFieldBody(text, parent, kCidMailboxList, "DwMailboxList")
{
}

DwMailboxList::DwMailboxList(const DwMailboxList& other) : DwFieldBody(other)
{
    CloneItems(other.mMailboxes, mMailboxes, this);
}

DwMailboxList::~DwMailboxList()
{
    DeleteItems(mMailboxes);
}

void DwMailboxList::Parse()
{
    mIsModified = false;
    DeleteItems(mMailboxes);
    for (const Piece& p : CutAddresses(mString, false)) {
        DwMailbox* mailbox = new DwMailbox(mString.substr(p.start, p.end - p.start), this);
        mailbox->Parse();
        if (mailbox->IsValid())
            mMailboxes.push_back(mailbox);
        else
            delete mailbox;
    }
}

void DwMailboxList::Assemble()
{
    if (!mIsModified)
        return;
    mString = JoinEntries(mMailboxes, mFolding, "  ");
    mIsModified = false;
}

DwMailbox& DwMailboxList::MailboxAt(int index) const { return ItemAt(mMailboxes, index); }
void DwMailboxList::AddMailbox(DwMailbox* m) { InsertItem(mMailboxes, NumMailboxes(), m, this); }
void DwMailboxList::InsertMailboxAt(int i, DwMailbox* m) { InsertItem(mMailboxes, i, m, this); }
void DwMailboxList::DeleteAll()
{
    DeleteItems(mMailboxes);
    SetModified();
}

// ---- DwGroup ----

DwGroup::DwGroup(const DwString& text, DwMessageComponent* parent)
    : DwAddress(text, parent, kCidGroup, "DwGroup"), mMailboxList(new DwMailboxList(DwString(), this))
{
}

DwGroup::DwGroup(const DwGroup& other)
    : DwAddress(other), mGroupName(other.mGroupName),
      mMailboxList((DwMailboxList*)other.mMailboxList->Clone())
{
    mMailboxList->SetParent(this);
}

DwGroup::~DwGroup()
{
    delete mMailboxList;
}

void DwGroup::Parse()
{
    mIsModified = false;
    mGroupName = DwString();
    DwString list;
    std::vector<Token> t = Tokens822(mString);
    for (size_t i = 0; i < t.size(); ++i) {
        if (!IsSpecial(t[i], ':'))
            continue;
        if (i > 0)
            mGroupName = DwTokenString(mString, t[0].start, t[i - 1].end);
        size_t end = mString.length();
        for (size_t j = t.size(); j-- > i + 1;)
            if (IsSpecial(t[j], ';')) {
                end = t[j].start;
                break;
            }
        list = mString.substr(t[i].end, end - t[i].end);
        break;
    }
    mMailboxList->TakeText(Trimmed(list));
    mMailboxList->Parse();
    mIsValid = !mGroupName.empty();
}

void DwGroup::Assemble()
{
    if (!mIsModified)
        return;
    mIsModified = false;
    mIsValid = !mGroupName.empty();
    if (!mIsValid) {
        mString = DwString();
        return;
    }
    mMailboxList->Assemble();
    DwString text(mGroupName);
    text.append(":");
    text.append(mMailboxList->AsString());
    text.append(";");
    mString = text;
}

void DwGroup::SetGroupName(const DwString& name)
{
    mGroupName = name;
    SetModified();
}

// ---- DwAddressList ----

DwAddressList::DwAddressList(const DwString& text, DwMessageComponent* parent)
    : DwFieldBody(text, parent, kCidAddressList, "DwAddressList")
{
}

DwAddressList::DwAddressList(const DwAddressList& other) : DwFieldBody(other)
{
    CloneItems(other.mAddresses, mAddresses, this);
}

DwAddressList::~DwAddressList()
{
    DeleteItems(mAddresses);
}

void DwAddressList::Parse()
{
    mIsModified = false;
    DeleteItems(mAddresses);
    for (const Piece& p : CutAddresses(mString, true)) {
        DwString text = mString.substr(p.start, p.end - p.start);
        DwAddress* address = p.group ? (DwAddress*)new DwGroup(text, this)
                                     : (DwAddress*)new DwMailbox(text, this);
        address->Parse();
        if (address->IsValid())
            mAddresses.push_back(address);
        else
            delete address;
    }
}

void DwAddressList::Assemble()
{
    if (!mIsModified)
        return;
    mString = JoinEntries(mAddresses, mFolding, " ");
    mIsModified = false;
}

DwAddress& DwAddressList::AddressAt(int index) const { return ItemAt(mAddresses, index); }
void DwAddressList::AddAddress(DwAddress* a) { InsertItem(mAddresses, NumAddresses(), a, this); }
void DwAddressList::InsertAddressAt(int i, DwAddress* a) { InsertItem(mAddresses, i, a, this); }
void DwAddressList::DeleteAll()
{
    DeleteItems(mAddresses);
    SetModified();
}

// ---- DwParameter ----

void DwParameter::Parse()
{
    mIsModified = false;
    size_t equals = mString.find('=');
    mAttribute = Trimmed(mString.substr(0, equals));
    mValue = equals == DwString::npos ? DwString() : Trimmed(mString.substr(equals + 1));
    if (mValue.length() >= 1 && mValue[0] == '"') {
        size_t end = 1;
        while (end < mValue.length() && mValue[end] != '"')
            end += mValue[end] == '\\' ? 2 : 1;
        mValue = mValue.substr(1, (end < mValue.length() ? end : mValue.length()) - 1);
    } else if (mAttribute.EqualsNoCase("boundary") && mValue.length() > 2 && mValue[0] == '\'' &&
               mValue[mValue.length() - 1] == '\'') {
        mValue = mValue.substr(1, mValue.length() - 2);
    }
}

void DwParameter::Assemble()
{
    if (!mIsModified)
        return;
    DwString text(mAttribute);
    text.append("=\"");
    text.append(mValue);
    text.append("\"");
    mString = text;
    mIsModified = false;
}

void DwParameter::SetAttribute(const DwString& text) { mAttribute = text; SetModified(); }
void DwParameter::SetValue(const DwString& text) { mValue = text; SetModified(); }

// ---- media types and dispositions ----

DwParameterized::DwParameterized(const DwParameterized& other) : DwFieldBody(other)
{
    CloneItems(other.mParameters, mParameters, this);
}

DwParameterized::~DwParameterized()
{
    DeleteItems(mParameters);
}

DwParameter& DwParameterized::ParameterAt(int index) const { return ItemAt(mParameters, index); }

void DwParameterized::AddParameter(DwParameter* parameter)
{
    InsertItem(mParameters, NumParameters(), parameter, this);
}

const DwParameter* DwParameterized::FindParameter(const char* attribute) const
{
    for (DwParameter* p : mParameters)
        if (p->Attribute().EqualsNoCase(attribute))
            return p;
    return NULL;
}

void DwParameterized::DeleteParameters()
{
    DeleteItems(mParameters);
}

void DwParameterized::ParseTokens(DwString& type, DwString* subtype)
{
    DeleteParameters();
    std::vector<Token> t;
    for (DwRfc1521Tokenizer tok(mString); tok.Type() != kTkNull; tok.Advance())
        if (tok.Type() != kTkComment)
            t.push_back({tok.Token(), tok.Type(), tok.TokenStart(), tok.TokenEnd()});
    size_t i = 0;
    type = i < t.size() && t[i].type == kTkToken ? t[i++].text : DwString();
    if (subtype) {
        *subtype = DwString();
        if (i + 1 < t.size() && IsSpecial(t[i], '/') && t[i + 1].type == kTkToken) {
            *subtype = t[i + 1].text;
            i += 2;
        }
    }
    // Each ';' starts a parameter that runs to the next ';' outside quotes.
    while (i < t.size()) {
        if (!IsSpecial(t[i], ';')) {
            ++i;
            continue;
        }
        size_t first = ++i;
        while (i < t.size() && !IsSpecial(t[i], ';'))
            ++i;
        if (first + 2 <= i && t[first].type == kTkToken && IsSpecial(t[first + 1], '=')) {
            DwParameter* p = new DwParameter(
                DwTokenString(mString, t[first].start, t[i - 1].end), this);
            p->Parse();
            mParameters.push_back(p);
        }
    }
}

void DwParameterized::AssembleWith(const DwString& head)
{
    DwString text(head);
    for (DwParameter* p : mParameters) {
        p->Assemble();
        text.append(mFolding ? ";\r\n  " : "; ");
        text.append(p->AsString());
    }
    mString = text;
    mIsModified = false;
}

void DwMediaType::Parse()
{
    mIsModified = false;
    ParseTokens(mTypeStr, &mSubtypeStr);
    mType = DwMime::TypeStrToEnum(mTypeStr);
    mSubtype = DwMime::SubtypeStrToEnum(mSubtypeStr);
    mBoundary = DwString();
}

void DwMediaType::Assemble()
{
    if (!mIsModified)
        return;
    DwString head(mTypeStr);
    head.append("/");
    head.append(mSubtypeStr);
    AssembleWith(head);
}

void DwMediaType::SetType(int type)
{
    SetByValue(mType, mTypeStr, type, DwMime::TypeEnumToStr);
    SetModified();
}

void DwMediaType::SetTypeStr(const DwString& text)
{
    SetByText(mType, mTypeStr, text, DwMime::TypeStrToEnum);
    SetModified();
}

void DwMediaType::SetSubtype(int subtype)
{
    SetByValue(mSubtype, mSubtypeStr, subtype, DwMime::SubtypeEnumToStr);
    SetModified();
}

void DwMediaType::SetSubtypeStr(const DwString& text)
{
    SetByText(mSubtype, mSubtypeStr, text, DwMime::SubtypeStrToEnum);
    SetModified();
}

const DwString& DwMediaType::Boundary()
{
    const DwParameter* p = FindParameter("boundary");
    mBoundary = p ? p->Value() : DwString();
    return mBoundary;
}

void DwMediaType::SetBoundary(const DwString& boundary)
{
    DwParameter* p = (DwParameter*)FindParameter("boundary");
    if (!p) {
        p = new DwParameter();
        p->SetAttribute("boundary");
        AddParameter(p);
    }
    p->SetValue(boundary);
    mBoundary = boundary;
}

void DwMediaType::CreateBoundary(unsigned level)
{
    const size_t kLength = 39;
    char text[kLength + 1];
    int n = level ? snprintf(text, sizeof text, "Boundary-%u=_", level % 1000)
                  : snprintf(text, sizeof text, "Boundary-=_");
    for (size_t i = (size_t)n; i < kLength; ++i) {
        long draw = DwProcessRandomDraw() % 52;
        text[i] = (char)(draw < 26 ? 'A' + draw : 'a' + draw - 26);
    }
    text[kLength] = 0;
    SetBoundary(text);
}

void DwDispositionType::Parse()
{
    mIsModified = false;
    ParseTokens(mTypeStr, NULL);
    mType = DwMime::DispTypeStrToEnum(mTypeStr);
}

void DwDispositionType::Assemble()
{
    if (mIsModified)
        AssembleWith(mTypeStr);
}

void DwDispositionType::SetDispositionType(int type)
{
    SetByValue(mType, mTypeStr, type, DwMime::DispTypeEnumToStr);
    SetModified();
}

void DwDispositionType::SetDispositionTypeStr(const DwString& text)
{
    SetByText(mType, mTypeStr, text, DwMime::DispTypeStrToEnum);
    SetModified();
}

void DwMechanism::FromEnum(int encoding)
{
    mCte = encoding;
    mString = DwMime::CteEnumToStr(encoding);
    SetModified();
}

// ---- DwDateTime ----

namespace {

const char* const kDayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                   "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

void SetEpoch(DwDateParts& parts)
{
    parts.year = 1970;
    parts.month = parts.day = 1;
    parts.hour = parts.minute = parts.second = parts.zoneMinutes = 0;
    parts.zoneName = DwString();
}

}  // namespace

DwDateTime::DwDateTime(const DwString& text, DwMessageComponent* parent)
    : DwFieldBody(text, parent, kCidDateTime, "DwDateTime")
{
    SetEpoch(mParts);
}

void DwDateTime::Parse()
{
    mIsModified = false;
    if (!DwParseDate(mString, mParts))
        SetEpoch(mParts);
}

void DwDateTime::Assemble()
{
    if (!mIsModified)
        return;
    const DwDateParts& p = mParts;
    int weekday = (int)((DwJulianDay(p.year, p.month, p.day) + 1) % 7);
    int offset = p.zoneMinutes < 0 ? -p.zoneMinutes : p.zoneMinutes;
    char text[128];
    snprintf(text, sizeof text, "%s, %d %s %4d %02d:%02d:%02d %c%02d%02d", kDayNames[weekday],
             p.day, kMonthNames[(p.month + 11) % 12], p.year, p.hour, p.minute, p.second,
             p.zoneMinutes < 0 ? '-' : '+', offset / 60 % 24, offset % 60);
    mString = text;
    if (!p.zoneName.empty()) {
        mString.append(" (");
        mString.append(p.zoneName);
        mString.append(")");
    }
    mIsModified = false;
}

void DwDateTime::FromTime(time_t when, int zoneMinutes, const DwString& zoneName)
{
    long long local = (long long)when + zoneMinutes * 60LL;
    long long days = local >= 0 ? local / 86400 : (local - 86399) / 86400;
    long seconds = (long)(local - days * 86400);
    DwFromJulianDay((long)(days + 2440588), mParts.year, mParts.month, mParts.day);
    mParts.hour = seconds / 3600;
    mParts.minute = seconds / 60 % 60;
    mParts.second = seconds % 60;
    mParts.zoneMinutes = zoneMinutes;
    mParts.zoneName = zoneName;
    SetModified();
}

void DwDateTime::FromCalendarTime(time_t when)
{
    FromTime(when, 0, "UTC");
}

void DwDateTime::FromLocalTime(time_t when)
{
    int offset;
    DwString name;
    DwLocalZone(when, offset, name);
    FromTime(when, offset, name);
}

// ---- DwMsgId ----

void DwMsgId::Parse()
{
    mIsModified = false;
    std::vector<Token> t = Tokens822(mString);
    size_t from = 0, to = t.size();
    for (size_t i = 0; i < t.size(); ++i)
        if (IsSpecial(t[i], '<')) {
            from = i + 1;
            break;
        }
    for (size_t i = from; i < t.size(); ++i)
        if (IsSpecial(t[i], '>')) {
            to = i;
            break;
        }
    size_t at = to;
    for (size_t i = from; i < to; ++i)
        if (IsSpecial(t[i], '@')) {
            at = i;
            break;
        }
    mLocalPart = Join(t, from, at);
    mDomain = at < to ? Join(t, at + 1, to) : DwString();
}

void DwMsgId::Assemble()
{
    if (!mIsModified)
        return;
    DwString text("<");
    text.append(mLocalPart);
    text.append("@");
    text.append(mDomain);
    text.append(">");
    mString = text;
    mIsModified = false;
}

void DwMsgId::CreateDefault()
{
    const size_t kMaxBeforeClose = 78;
    char host[256];
    DwLocalHostName(host, sizeof host);
    char id[400];
    snprintf(id, sizeof id, "<%08lX.%05lu.%08lX@%s", (unsigned long)time(NULL),
             (unsigned long)(GetCurrentThreadId() % 100000), (unsigned long)DwProcessRandomDraw(),
             host);
    id[kMaxBeforeClose] = 0;
    strcat(id, ">");
    mString = id;
    Parse();
    SetModified();
}

// ---- DwStamp ----

namespace {

const char* const kClauseWords[] = {"from", "by", "via", "with", "id", "for"};
const size_t kFoldWidth = 76;

// Words joined by single spaces, with CR LF and a space before a word that
// would make the line reach the fold width.
DwString FoldWords(const DwString& text)
{
    DwString folded;
    size_t lineLength = 0;
    size_t i = 0, n = text.length();
    while (i < n) {
        while (i < n && strchr(" \t\r\n", text[i]))
            ++i;
        size_t start = i;
        while (i < n && !strchr(" \t\r\n", text[i]))
            ++i;
        if (i == start)
            break;
        size_t word = i - start;
        if (lineLength > 0 && lineLength + 1 + word >= kFoldWidth) {
            folded.append("\r\n ");
            lineLength = 1;
        } else if (lineLength > 0) {
            folded.append(" ");
            ++lineLength;
        }
        folded.append(text.data() + start, word);
        lineLength += word;
    }
    return folded;
}

}  // namespace

DwStamp::DwStamp(const DwString& text, DwMessageComponent* parent)
    : DwFieldBody(text, parent, kCidStamp, "DwStamp"), mDate(new DwDateTime(DwString(), this))
{
}

DwStamp::DwStamp(const DwStamp& other) : DwFieldBody(other), mDate((DwDateTime*)other.mDate->Clone())
{
    for (int i = 0; i < kClauses; ++i)
        mClauses[i] = other.mClauses[i];
    mDate->SetParent(this);
}

DwStamp::~DwStamp()
{
    delete mDate;
}

void DwStamp::Parse()
{
    mIsModified = false;
    for (DwString& clause : mClauses)
        clause = DwString();
    std::vector<Token> t = Tokens822(mString);
    size_t semicolon = t.size();
    for (size_t i = t.size(); i-- > 0;)
        if (IsSpecial(t[i], ';')) {
            semicolon = i;
            break;
        }
    mDate->TakeText(semicolon < t.size() ? Trimmed(mString.substr(t[semicolon].end)) : DwString());
    mDate->Parse();
    int clause = -1;
    size_t clauseStart = 0;
    for (size_t i = 0; i <= semicolon; ++i) {
        int keyword = -1;
        if (i < semicolon && t[i].type == kTkAtom)
            for (int k = 0; k < kClauses; ++k)
                if (t[i].text.EqualsNoCase(kClauseWords[k]))
                    keyword = k;
        if (keyword < 0 && i < semicolon)
            continue;
        if (clause >= 0 && i > clauseStart)
            mClauses[clause] = DwTokenString(mString, t[clauseStart].start, t[i - 1].end);
        clause = keyword;
        clauseStart = i + 1;
    }
}

void DwStamp::Assemble()
{
    if (!mIsModified)
        return;
    DwString text;
    for (int k = 0; k < kClauses; ++k) {
        if (mClauses[k].empty())
            continue;
        if (!text.empty())
            text.append(" ");
        text.append(kClauseWords[k]);
        text.append(" ");
        text.append(mClauses[k]);
    }
    mDate->Assemble();
    text.append("; ");
    text.append(mDate->AsString());
    mString = FoldWords(text);
    mIsModified = false;
}

void DwStamp::SetClauseText(Clause clause, const DwString& text)
{
    mClauses[clause] = text;
    SetModified();
}
