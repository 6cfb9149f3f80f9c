// CZQMessage: one message, built by a script or read from a mailbox.
#include "objects.h"

#include <framework/file.h>

#include <ctype.h>
#include <time.h>

namespace {

class Message : public atl::DispatchObject<IZQMessage, &IID_IZQMessage>,
                public IMessageBuilder {
public:
    Message()
    {
        builder_.SetAutomaticFields();
        builder_.SetDate(time(nullptr));
    }

    // One identity for IZQMessage and IMessageBuilder.
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        return DispatchObject::QueryInterface(riid, object);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return DispatchObject::AddRef(); }
    STDMETHODIMP_(ULONG) Release() override { return DispatchObject::Release(); }
    CAttachmentMailMessage* STDMETHODCALLTYPE Builder() override { return &builder_; }

    STDMETHODIMP get_MessageObject(IUnknown** object) override;
    STDMETHODIMP get_Body(BSTR* text) override;
    STDMETHODIMP put_Body(BSTR text) override;
    STDMETHODIMP get_Subject(BSTR* text) override;
    STDMETHODIMP put_Subject(BSTR text) override;
    STDMETHODIMP get_From(BSTR* text) override;
    STDMETHODIMP put_From(BSTR text) override;
    STDMETHODIMP AddAttachment(BSTR path, int* result) override;
    STDMETHODIMP AddToRecipient(BSTR address) override;
    STDMETHODIMP AddCcRecipient(BSTR address) override;
    STDMETHODIMP AddBccRecipient(BSTR address) override;
    STDMETHODIMP AddBodyFromFile(BSTR path, int* result) override;
    STDMETHODIMP get_MessageId(LONG* number) override;
    STDMETHODIMP GetToRecipient(int index, BSTR* address, int* result) override;
    STDMETHODIMP GetCcRecipient(int index, BSTR* address, int* result) override;
    STDMETHODIMP get_CcCount(LONG* count) override;
    STDMETHODIMP get_ToCount(LONG* count) override;
    STDMETHODIMP get_AttachmentCount(LONG* count) override;
    STDMETHODIMP SaveAttachmentToFile(int index, BSTR* path, int* result) override;
    STDMETHODIMP GetOriginalAttachmentName(int index, BSTR* name) override;

protected:
    void* QueryOther(REFIID riid) override
    {
        return riid == IID_IMessageBuilder ? static_cast<IMessageBuilder*>(this) : nullptr;
    }

private:
    HRESULT GetRecipient(CMailMessage::RecipientList list, int index, BSTR* address,
                         int* result);
    bool IsAttachment(int index) const
    {
        return index >= 0 && index < builder_.AttachmentCount();
    }

    CAttachmentMailMessage builder_;
};

STDMETHODIMP Message::get_MessageObject(IUnknown** object)
{
    *object = static_cast<IZQMessage*>(this);
    AddRef();
    return S_OK;
}

STDMETHODIMP Message::get_Body(BSTR* text)
{
    *text = DwToBstr(builder_.NumberOfParts() ? builder_.GetBodyPart(0).Body() : DwString());
    return S_OK;
}

STDMETHODIMP Message::put_Body(BSTR text)
{
    builder_.SetText(BstrToDw(text));
    return S_OK;
}

STDMETHODIMP Message::get_Subject(BSTR* text)
{
    *text = DwToBstr(builder_.Subject());
    return S_OK;
}

STDMETHODIMP Message::put_Subject(BSTR text)
{
    builder_.SetSubject(BstrToDw(text));
    return S_OK;
}

STDMETHODIMP Message::get_From(BSTR* text)
{
    *text = DwToBstr(builder_.From());
    return S_OK;
}

STDMETHODIMP Message::put_From(BSTR text)
{
    builder_.SetFrom(BstrToDw(text));
    return S_OK;
}

STDMETHODIMP Message::AddAttachment(BSTR path, int* result)
{
    *result = builder_.AttachFile(atl::BstrToAnsi(path).c_str(), DwMime::kTypeApplication,
                                  DwMime::kSubtypeOctetStream);
    return S_OK;
}

STDMETHODIMP Message::AddToRecipient(BSTR address)
{
    builder_.AddTo(BstrToDw(address));
    return S_OK;
}

STDMETHODIMP Message::AddCcRecipient(BSTR address)
{
    builder_.AddCc(BstrToDw(address));
    return S_OK;
}

STDMETHODIMP Message::AddBccRecipient(BSTR address)
{
    builder_.AddBcc(BstrToDw(address));
    return S_OK;
}

STDMETHODIMP Message::AddBodyFromFile(BSTR path, int* result)
{
    *result = builder_.SetTextFromFile(atl::BstrToAnsi(path).c_str());
    return S_OK;
}

STDMETHODIMP Message::get_MessageId(LONG* number)
{
    *number = builder_.MessageNumber();
    return S_OK;
}

HRESULT Message::GetRecipient(CMailMessage::RecipientList list, int index, BSTR* address,
                              int* result)
{
    bool inList = index >= 0 && index < builder_.NumRecipients(list);
    *result = inList ? kMailSuccess : kMailBadRecipientIndex;
    *address = DwToBstr(inList ? builder_.Recipient(list, index) : DwString());
    return S_OK;
}

STDMETHODIMP Message::GetToRecipient(int index, BSTR* address, int* result)
{
    return GetRecipient(CMailMessage::kTo, index, address, result);
}

STDMETHODIMP Message::GetCcRecipient(int index, BSTR* address, int* result)
{
    return GetRecipient(CMailMessage::kCc, index, address, result);
}

STDMETHODIMP Message::get_CcCount(LONG* count)
{
    *count = builder_.NumRecipients(CMailMessage::kCc);
    return S_OK;
}

STDMETHODIMP Message::get_ToCount(LONG* count)
{
    *count = builder_.NumRecipients(CMailMessage::kTo);
    return S_OK;
}

STDMETHODIMP Message::get_AttachmentCount(LONG* count)
{
    *count = builder_.AttachmentCount();
    return S_OK;
}

STDMETHODIMP Message::SaveAttachmentToFile(int index, BSTR* path, int* result)
{
    *result = kMailSuccess;
    if (!IsAttachment(index)) {
        *result = kMailBadAttachmentIndex;
        return S_OK;
    }
    CMailBodyPart part = builder_.GetBodyPart(index + 1);
    DwString bytes;
    switch (part.TransferEncodingEnum()) {
    case DwMime::kCte7bit:
        bytes = part.Body();
        break;
    case DwMime::kCteQuotedPrintable:
        bytes = DwDecodeQuotedPrintable(part.Body());
        break;
    case DwMime::kCteBase64:
        bytes = DwDecodeBase64(part.Body());
        break;
    default:
        bytes = part.Body();
        *result = kMailUnknownEncoding;
        break;
    }
    std::string target = atl::BstrToAnsi(path ? *path : nullptr);
    CFile file;
    CFileException error;
    if (!file.Open(target.c_str(), CFile::modeCreate | CFile::modeWrite | CFile::typeBinary,
                   &error)) {
        *result = error.m_cause;
        return S_OK;
    }
    try {
        file.Write(bytes.data(), UINT(bytes.length()));
        file.Close();
    } catch (CFileException* written) {
        *result = written->m_cause;
        written->Delete();
    }
    return S_OK;
}

STDMETHODIMP Message::GetOriginalAttachmentName(int index, BSTR* name)
{
    std::string found;
    if (IsAttachment(index)) {
        CMailBodyPart part = builder_.GetBodyPart(index + 1);
        std::string lower(part.Disposition().data(), part.Disposition().length());
        for (char& c : lower)
            c = (char)tolower((unsigned char)c);
        size_t open = lower.find('"');
        size_t close = open == std::string::npos ? open : lower.find('"', open + 1);
        if (lower.find("filename") == std::string::npos)
            found.clear();
        else if (close != std::string::npos)
            found = lower.substr(open + 1, close - open - 1);
        else
            found = lower;
    }
    *name = atl::AnsiToBstr(found.c_str());
    return S_OK;
}

}  // namespace

HRESULT CreateMessageObject(REFIID riid, void** object)
{
    return Message::Create<Message>(riid, object);
}
