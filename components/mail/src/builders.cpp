// The message builders.
#include <mail/builders.h>

#include <stdio.h>
#include <sys/stat.h>

namespace {

const char kMailer[] = "Vantorel Mailer 1.0";

// A header text that cannot start a new header line.
DwString HeaderText(const DwString& text)
{
    if (text.find_first_of("\r\n") == DwString::npos && text.find('\0') == DwString::npos)
        return text;
    DwString clean(text.data(), text.length());
    for (size_t i = 0; i < clean.length(); ++i)
        if (clean[i] == '\r' || clean[i] == '\n' || clean[i] == '\0')
            clean.replace(i, 1, " ", 1);
    return clean;
}

const char* ListName(CMailMessage::RecipientList list)
{
    static const char* const kNames[] = {"To", "Cc", "Bcc"};
    return kNames[list];
}

}  // namespace

int ReadFileBytes(const char* path, DwString& bytes)
{
    bytes = DwString();
    struct stat info;
    if (!path || stat(path, &info) != 0)
        return -1;
    FILE* file = fopen(path, "rb");
    if (!file)
        return -1;
    bytes.reserve((size_t)info.st_size);
    char chunk[65536];
    size_t got;
    while (info.st_size > 0 && (got = fread(chunk, 1, sizeof chunk, file)) > 0)
        bytes.append(chunk, got);
    fclose(file);
    return 0;
}

// ---- CMailBodyPart ----

CMailBodyPart::CMailBodyPart() : mType("Text"), mSubtype("Plain"), mEncoding("7bit") {}

CMailBodyPart CMailBodyPart::Empty()
{
    CMailBodyPart part;
    part.mType = part.mSubtype = part.mEncoding = DwString();
    return part;
}

// ---- CMailMessage ----

CMailMessage::CMailMessage() : mMessage(new DwMessage()) {}

CMailMessage::~CMailMessage()
{
    delete mMessage;
}

void CMailMessage::SetAutomaticFields()
{
    DwHeaders& headers = mMessage->Headers();
    headers.MimeVersion().FromString("1.0");
    headers.MessageId().CreateDefault();
    headers.XMailer().FromString(kMailer);
}

const DwString& CMailMessage::From()
{
    DwField* field = mMessage->Headers().FindField("From");
    if (!field || !field->FieldBody())
        return mEmpty;
    field->FieldBody()->Assemble();
    return field->FieldBody()->AsString();
}

const DwString& CMailMessage::Subject()
{
    DwField* field = mMessage->Headers().FindField("Subject");
    return field && field->FieldBody() ? field->FieldBody()->AsString() : mEmpty;
}

void CMailMessage::SetFrom(const DwString& text)
{
    DwMailboxList& from = mMessage->Headers().From();
    from.FromString(HeaderText(text));
    from.Parse();
}

void CMailMessage::SetSubject(const DwString& text)
{
    mMessage->Headers().Subject().FromString(HeaderText(text));
}

void CMailMessage::AddRecipient(RecipientList list, const DwString& text)
{
    DwMailbox* mailbox = new DwMailbox(HeaderText(text));
    mailbox->Parse();
    List(list, true)->AddAddress(mailbox);
}

DwAddressList* CMailMessage::List(RecipientList list, bool create)
{
    DwHeaders& headers = mMessage->Headers();
    if (!create && !headers.HasField(ListName(list)))
        return NULL;
    return (DwAddressList*)&headers.FieldBody(ListName(list));
}

int CMailMessage::NumRecipients(RecipientList list)
{
    DwAddressList* addresses = List(list, false);
    return addresses ? addresses->NumAddresses() : 0;
}

DwString CMailMessage::Recipient(RecipientList list, int index)
{
    DwAddressList* addresses = List(list, false);
    if (!addresses)
        throw DwBoundsException();
    DwAddress& address = addresses->AddressAt(index);
    address.Assemble();
    return address.AsString();
}

void CMailMessage::SetDate(time_t when)
{
    mMessage->Headers().Date().FromLocalTime(when);
}

const DwString& CMailMessage::AsString()
{
    mMessage->Assemble();
    return mMessage->AsString();
}

void CMailMessage::FromString(const DwString& text)
{
    mMessage->FromString(text);
    mMessage->Parse();
}

void CMailMessage::DeleteBodyParts()
{
    mMessage->Body().DeleteBodyParts();
}

// ---- CMultipartMailMessage ----

void CMultipartMailMessage::SetAutomaticFields()
{
    CMailMessage::SetAutomaticFields();
    DwMediaType& type = mMessage->Headers().ContentType();
    type.SetType(DwMime::kTypeMultipart);
    type.SetSubtype(DwMime::kSubtypeMixed);
    type.CreateBoundary(0);
}

int CMultipartMailMessage::NumberOfParts() const
{
    return mMessage->Body().NumBodyParts();
}

CMailBodyPart CMultipartMailMessage::GetBodyPart(int index) const
{
    if (index < 0 || index >= NumberOfParts())
        return CMailBodyPart::Empty();
    DwBodyPart& source = mMessage->Body().BodyPartAt(index);
    source.Assemble();
    DwHeaders& headers = source.Headers();
    CMailBodyPart part;
    if (headers.HasField("Content-Type")) {
        part.SetType(headers.ContentType().TypeStr());
        part.SetSubtype(headers.ContentType().SubtypeStr());
    }
    if (headers.HasField("Content-Transfer-Encoding"))
        part.SetTransferEncoding(headers.ContentTransferEncoding().AsString());
    if (headers.HasField("Content-Description"))
        part.SetDescription(headers.ContentDescription().AsString());
    if (headers.HasField("Content-Disposition"))
        part.SetDisposition(headers.ContentDisposition().AsString());
    part.SetBody(source.Body().AsString());
    return part;
}

namespace {

void Fill(DwBodyPart& target, const CMailBodyPart& part)
{
    DwHeaders& headers = target.Headers();
    if (!part.Type().empty() && !part.Subtype().empty()) {
        headers.ContentType().SetTypeStr(HeaderText(part.Type()));
        headers.ContentType().SetSubtypeStr(HeaderText(part.Subtype()));
    }
    if (!part.TransferEncoding().empty()) {
        DwMechanism& encoding = headers.ContentTransferEncoding();
        encoding.FromString(HeaderText(part.TransferEncoding()));
        encoding.Parse();
    }
    if (!part.Description().empty())
        headers.ContentDescription().FromString(HeaderText(part.Description()));
    if (!part.Disposition().empty()) {
        DwDispositionType& disposition = headers.ContentDisposition();
        disposition.FromString(HeaderText(part.Disposition()));
        disposition.Parse();
    }
    target.Body().FromString(part.Body());
}

}  // namespace

void CMultipartMailMessage::SetBodyPart(int index, const CMailBodyPart& part)
{
    if (index < 0)
        return;
    DwBody& body = mMessage->Body();
    while (body.NumBodyParts() <= index)
        body.AddBodyPart(new DwBodyPart());
    Fill(body.BodyPartAt(index), part);
}

void CMultipartMailMessage::AddBodyPart(const CMailBodyPart& part)
{
    DwBodyPart* target = new DwBodyPart();
    mMessage->Body().AddBodyPart(target);
    Fill(*target, part);
}

// ---- CAttachmentMailMessage ----

void CAttachmentMailMessage::SetText(const DwString& text)
{
    CMailBodyPart part;
    part.SetBody(text);
    SetBodyPart(0, part);
}

int CAttachmentMailMessage::SetTextFromFile(const char* path)
{
    DwString bytes;
    if (ReadFileBytes(path, bytes) != 0)
        return -1;
    SetText(bytes);
    return 0;
}

int CAttachmentMailMessage::AttachFile(const char* path, int type, int subtype)
{
    DwString bytes;
    if (ReadFileBytes(path, bytes) != 0)
        return -1;
    CMailBodyPart part;
    part.SetType(type);
    part.SetSubtype(subtype);
    part.SetTransferEncoding(DwMime::kCteBase64);
    DwString disposition("attachment; filename=\"");
    disposition.append(path);
    disposition.append("\"");
    part.SetDisposition(disposition);
    part.SetBody(DwEncodeBase64(bytes));
    if (NumberOfParts() == 0)
        SetBodyPart(1, part);
    else
        AddBodyPart(part);
    return 0;
}

int CAttachmentMailMessage::AttachmentCount() const
{
    int count = NumberOfParts() - 1;
    return count < 0 ? 0 : count;
}
