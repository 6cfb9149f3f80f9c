// The component base, entities, headers, fields and bodies.
#include <mail/mime.h>

#include "owned_items.h"

#include <string.h>

void DwMessageComponent::FromString(const DwString& text)
{
    mString = text;
    if (mParent)
        mParent->SetModified();
}

void DwMessageComponent::SetModified()
{
    for (DwMessageComponent* c = this; c && !c->mIsModified; c = c->mParent)
        c->mIsModified = true;
}

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t';
}

}  // namespace

// ---- DwField ----

DwField::DwField(const DwField& other)
    : DwMessageComponent(other), mFieldNameStr(other.mFieldNameStr),
      mFieldBodyStr(other.mFieldBodyStr), mFieldBody(NULL)
{
    if (other.mFieldBody) {
        mFieldBody = (DwFieldBody*)other.mFieldBody->Clone();
        mFieldBody->SetParent(this);
    }
}

void DwField::Parse()
{
    mIsModified = false;
    const char* s = mString.data();
    size_t n = mString.length();
    size_t colon = mString.find(':');
    size_t nameEnd = colon == DwString::npos ? n : colon;
    size_t e = nameEnd;
    while (e > 0 && strchr(" \t\r\n", s[e - 1]))
        --e;
    mFieldNameStr = mString.substr(0, e);
    size_t start = colon == DwString::npos ? n : colon + 1;
    while (start < n && IsBlank(s[start]))
        ++start;
    size_t end = start;
    while (end < n) {
        const char* lf = (const char*)memchr(s + end, '\n', n - end);
        if (!lf) {
            end = n;
            break;
        }
        end = lf - s;
        if (end + 1 < n && IsBlank(s[end + 1])) {
            ++end;
            continue;
        }
        break;
    }
    while (end > start && strchr(" \t\r\n", s[end - 1]))
        --end;
    mFieldBodyStr = mString.substr(start, end - start);
    delete mFieldBody;
    mFieldBody = DwFieldBody::NewFieldBody(mFieldNameStr, mFieldBodyStr, this);
    mFieldBody->Parse();
}

void DwField::Assemble()
{
    if (!mIsModified)
        return;
    DwString text(mFieldNameStr);
    text.append(": ");
    if (mFieldBody) {
        mFieldBody->Assemble();
        mFieldBodyStr = mFieldBody->AsString();
    }
    text.append(mFieldBodyStr);
    text.append("\r\n");
    mString = text;
    mIsModified = false;
}

void DwField::SetFieldNameStr(const DwString& name)
{
    mFieldNameStr = name;
    SetModified();
}

void DwField::SetFieldBody(DwFieldBody* body)
{
    if (body == mFieldBody)
        return;
    delete mFieldBody;
    mFieldBody = body;
    if (body)
        body->SetParent(this);
    SetModified();
}

// ---- DwHeaders ----

DwHeaders::DwHeaders(const DwHeaders& other) : DwMessageComponent(other)
{
    CloneItems(other.mFields, mFields, this);
}

void DwHeaders::Parse()
{
    mIsModified = false;
    DeleteItems(mFields);
    const char* s = mString.data();
    size_t n = mString.length();
    size_t start = 0;
    while (start < n) {
        size_t end = start;
        for (;;) {
            const char* lf = (const char*)memchr(s + end, '\n', n - end);
            if (!lf) {
                end = n;
                break;
            }
            end = lf - s + 1;
            if (end < n && IsBlank(s[end]))
                continue;
            break;
        }
        DwField* field = new DwField(mString.substr(start, end - start), this);
        field->Parse();
        mFields.push_back(field);
        start = end;
    }
}

void DwHeaders::Assemble()
{
    if (!mIsModified)
        return;
    DwString text;
    for (DwField* field : mFields) {
        field->Assemble();
        text.append(field->AsString());
    }
    mString = text;
    mIsModified = false;
}

DwField& DwHeaders::FieldAt(int index) const
{
    return ItemAt(mFields, index);
}

void DwHeaders::AddField(DwField* field)
{
    InsertItem(mFields, (int)mFields.size(), field, this);
}

void DwHeaders::AddFieldAt(int index, DwField* field)
{
    InsertItem(mFields, index, field, this);
}

DwField* DwHeaders::FindField(const char* name) const
{
    for (DwField* field : mFields)
        if (field->FieldNameStr().EqualsNoCase(name))
            return field;
    return NULL;
}

void DwHeaders::RemoveField(const char* name)
{
    for (size_t i = mFields.size(); i-- > 0;)
        if (mFields[i]->FieldNameStr().EqualsNoCase(name)) {
            delete mFields[i];
            mFields.erase(mFields.begin() + i);
            SetModified();
        }
}

void DwHeaders::DeleteAllFields()
{
    if (!mFields.empty())
        SetModified();
    DeleteItems(mFields);
}

DwFieldBody& DwHeaders::FieldBody(const char* name)
{
    DwField* field = FindField(name);
    if (!field) {
        field = new DwField(DwString(), this);
        field->SetFieldNameStr(name);
        AddField(field);
    }
    if (!field->FieldBody())
        field->SetFieldBody(DwFieldBody::NewFieldBody(name, DwString(), field));
    return *field->FieldBody();
}

// ---- DwEntity ----

DwEntity::DwEntity(const DwString& text, DwMessageComponent* parent, DwClassId id,
                   const char* name)
    : DwMessageComponent(text, parent, id, name), mHeaders(new DwHeaders(DwString(), this)),
      mBody(new DwBody(DwString(), this))
{
}

DwEntity::DwEntity(const DwEntity& other)
    : DwMessageComponent(other), mHeaders((DwHeaders*)other.mHeaders->Clone()),
      mBody((DwBody*)other.mBody->Clone())
{
    mHeaders->SetParent(this);
    mBody->SetParent(this);
    // The body's parts were parsed under the copied headers.
}

DwEntity::~DwEntity()
{
    delete mHeaders;
    delete mBody;
}

void DwEntity::Parse()
{
    mIsModified = false;
    const char* s = mString.data();
    size_t n = mString.length();
    size_t headerEnd = 0, bodyStart = 0;
    if (n == 0 || s[0] == '\n' || (n >= 2 && s[0] == '\r' && s[1] == '\n')) {
        bodyStart = s[0] == '\n' ? 1 : (n >= 2 ? 2 : n);
    } else {
        // The first empty line: an LF followed by LF or by CR LF.
        headerEnd = bodyStart = n;
        for (size_t pos = 0; pos < n;) {
            const char* lf = (const char*)memchr(s + pos, '\n', n - pos);
            if (!lf)
                break;
            size_t i = lf - s;
            if (i + 1 < n && s[i + 1] == '\n') {
                headerEnd = i + 1;
                bodyStart = i + 2;
                break;
            }
            if (i + 2 < n && s[i + 1] == '\r' && s[i + 2] == '\n') {
                headerEnd = i + 1;
                bodyStart = i + 3;
                break;
            }
            pos = i + 1;
        }
    }
    mHeaders->TakeText(mString.substr(0, headerEnd));
    mHeaders->Parse();
    mBody->TakeText(mString.substr(bodyStart));
    mBody->Parse();
}

void DwEntity::Assemble()
{
    if (!mIsModified)
        return;
    mHeaders->Assemble();
    mBody->Assemble();
    DwString text(mHeaders->AsString());
    text.ReserveOnCopy(text.length() + 2 + mBody->AsString().length());
    text.append("\r\n");
    text.append(mBody->AsString());
    mString = text;
    mIsModified = false;
}

// ---- DwBody ----

DwBody::DwBody(const DwBody& other)
    : DwMessageComponent(other), mPreamble(other.mPreamble), mEpilogue(other.mEpilogue),
      mMessage(NULL)
{
    CloneItems(other.mParts, mParts, this);
    if (other.mMessage) {
        mMessage = (DwMessage*)other.mMessage->Clone();
        mMessage->SetParent(this);
    }
}

DwBody::~DwBody()
{
    DeleteItems(mParts);
    delete mMessage;
}

void DwBody::DeleteMessage()
{
    delete mMessage;
    mMessage = NULL;
}

DwMediaType* DwBody::ContentType() const
{
    DwEntity* entity = dynamic_cast<DwEntity*>(mParent);
    if (!entity || !entity->Headers().HasField("Content-Type"))
        return NULL;
    return &entity->Headers().ContentType();
}

namespace {

// A delimiter line "--boundary" found in a body text.
struct Delimiter {
    size_t lineStart;  // where the line break before it begins
    size_t lineEnd;    // after the LF that ends the delimiter line
    bool closing;
};

// The next delimiter at or after `from`: "--" boundary at the start of the
// text or of a line, followed by "--" or by white space to the line's end.
bool FindDelimiter(const DwString& text, const DwString& boundary, size_t from, Delimiter& found)
{
    const char* s = text.data();
    size_t n = text.length(), b = boundary.length();
    size_t pos = from;
    while (pos < n) {
        size_t at;
        if (pos == 0) {
            at = 0;
        } else {
            const char* lf = (const char*)memchr(s + pos - 1, '\n', n - pos + 1);
            if (!lf)
                return false;
            at = lf - s + 1;
        }
        pos = at + 1;
        if (at + 2 + b > n || s[at] != '-' || s[at + 1] != '-' ||
            memcmp(s + at + 2, boundary.data(), b) != 0)
            continue;
        size_t after = at + 2 + b;
        bool closing = after + 1 < n && s[after] == '-' && s[after + 1] == '-';
        size_t i = closing ? after + 2 : after;
        while (i < n && IsBlank(s[i]))
            ++i;
        if (!closing && i < n && s[i] != '\r' && s[i] != '\n')
            continue;
        const char* lf = (const char*)memchr(s + i, '\n', n - i);
        found.lineEnd = lf ? (size_t)(lf - s) + 1 : n;
        found.lineStart = at;
        if (at >= 1 && s[at - 1] == '\n')
            found.lineStart = at >= 2 && s[at - 2] == '\r' ? at - 2 : at - 1;
        found.closing = closing;
        return true;
    }
    return false;
}

}  // namespace

void DwBody::Parse()
{
    mIsModified = false;
    DeleteItems(mParts);
    DeleteMessage();
    mPreamble = mEpilogue = DwString();
    DwMediaType* type = ContentType();
    if (!type)
        return;
    if (type->Type() == DwMime::kTypeMessage) {
        mMessage = new DwMessage(mString, this);
        mMessage->Parse();
        return;
    }
    if (type->Type() != DwMime::kTypeMultipart)
        return;
    DwString boundary = type->Boundary();
    if (boundary.empty())
        return;
    Delimiter d;
    if (!FindDelimiter(mString, boundary, 0, d)) {
        mPreamble = mString;
        return;
    }
    mPreamble = mString.substr(0, d.lineStart);
    while (!d.closing) {
        size_t partStart = d.lineEnd;
        Delimiter next;
        bool more = FindDelimiter(mString, boundary, partStart, next);
        size_t partEnd = more ? next.lineStart : mString.length();
        if (partEnd < partStart)
            partEnd = partStart;
        DwBodyPart* part = new DwBodyPart(mString.substr(partStart, partEnd - partStart), this);
        part->Parse();
        mParts.push_back(part);
        if (!more)
            return;
        d = next;
    }
    mEpilogue = mString.substr(d.lineEnd);
}

void DwBody::Assemble()
{
    if (!mIsModified)
        return;
    mIsModified = false;
    if (mMessage) {
        mMessage->Assemble();
        mString = mMessage->AsString();
        return;
    }
    if (mParts.empty())
        return;
    DwMediaType* type = ContentType();
    DwString boundary = type ? type->Boundary() : DwString();
    size_t total = mPreamble.length() + mEpilogue.length() + 8 + boundary.length();
    for (DwBodyPart* part : mParts) {
        part->Assemble();
        total += part->AsString().length() + 6 + boundary.length();
    }
    DwString text(mPreamble);
    text.ReserveOnCopy(total);
    for (DwBodyPart* part : mParts) {
        text.append("\r\n--");
        text.append(boundary);
        text.append("\r\n");
        text.append(part->AsString());
    }
    text.append("\r\n--");
    text.append(boundary);
    text.append("--\r\n");
    text.append(mEpilogue);
    mString = text;
}

DwBodyPart& DwBody::BodyPartAt(int index) const
{
    return ItemAt(mParts, index);
}

void DwBody::AddBodyPart(DwBodyPart* part)
{
    InsertItem(mParts, (int)mParts.size(), part, this);
}

void DwBody::InsertBodyPartAt(int index, DwBodyPart* part)
{
    InsertItem(mParts, index, part, this);
}

void DwBody::DeleteBodyParts()
{
    // The text held the parts too: without them the body is empty.
    if (!mParts.empty())
        mString = DwString();
    DeleteItems(mParts);
    SetModified();
}

void DwBody::SetPreamble(const DwString& text)
{
    mPreamble = text;
    SetModified();
}

void DwBody::SetEpilogue(const DwString& text)
{
    mEpilogue = text;
    SetModified();
}
