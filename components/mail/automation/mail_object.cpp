// ZQMail: sends a CZQMessage over SMTP, one connection per message.
#include "objects.h"

namespace {

const char kNoMessageText[] = "No message object was given";

class Mail : public atl::DispatchObject<IZQMail, &IID_IZQMail> {
public:
    STDMETHODIMP SendMessageA(BSTR serverName, int port, IZQMessage* message,
                              int* result) override;
    STDMETHODIMP get_GetLastError(BSTR* text) override;
    STDMETHODIMP put_Timeout(short seconds) override;

private:
    CSmtpClient client_;
    std::string server_;
    std::string lastError_;  // of the last send that failed
};

STDMETHODIMP Mail::SendMessageA(BSTR serverName, int port, IZQMessage* message, int* result)
{
    *result = kMailSuccess;
    server_ = atl::BstrToAnsi(serverName);
    if (!message) {
        ReportMailFailure(0, 0, kMailNoMessageObject, kNoMessageText, result, lastError_);
        return S_OK;
    }
    CAttachmentMailMessage* builder = BuilderOf(message);
    if (!builder)
        return Raise(kWrongMessageObject, kWrongMessageObjectText);
    SmtpDeliveryFailure failure;
    if (!DeliverMessage(client_, server_.c_str(), (unsigned short)port, *builder, failure)) {
        // The message keeps its text and attachments for another attempt.
        ReportMailFailure(failure.errorCode, failure.errorCategory, failure.replyCode,
                          std::string(failure.text.data(), failure.text.length()), result,
                          lastError_);
        return S_OK;
    }
    builder->DeleteBodyParts();
    return S_OK;
}

STDMETHODIMP Mail::get_GetLastError(BSTR* text)
{
    *text = atl::AnsiToBstr(lastError_.c_str());
    return S_OK;
}

STDMETHODIMP Mail::put_Timeout(short seconds)
{
    client_.SetTimeout(seconds);
    return S_OK;
}

}  // namespace

HRESULT CreateMailObject(REFIID riid, void** object)
{
    return Mail::Create<Mail>(riid, object);
}
