// CZQPop: reads and deletes the messages of one POP3 mailbox.
#include "objects.h"

#include <stdlib.h>

#include <vector>

namespace {

const char kDroppedText[] = "The connection was dropped by the server";

// The message numbers of a LIST reply, walked in order.
class CMessageNumberList {
public:
    // One number per listing line: the line's leading digits.
    void Refill(const DwString& listing)
    {
        numbers_.clear();
        position_ = 0;
        std::string line;
        for (size_t i = 0; i <= listing.length(); ++i) {
            char c = i < listing.length() ? listing[i] : '\r';
            if (c == '\n')
                continue;
            if (c != '\r') {
                line += c;
                continue;
            }
            if (!line.empty())
                numbers_.push_back(atoi(line.c_str()));
            line.clear();
        }
    }
    bool First(int& number)
    {
        position_ = 0;
        return Next(number);
    }
    bool Next(int& number)
    {
        if (position_ >= numbers_.size())
            return false;
        number = numbers_[position_++];
        return true;
    }
    const std::vector<int>& Numbers() const { return numbers_; }

private:
    std::vector<int> numbers_;
    size_t position_ = 0;
};

class Pop : public atl::DispatchObject<ICZQPop, &IID_ICZQPop> {
public:
    ~Pop() override;
    STDMETHODIMP Connect(BSTR userId, BSTR password, BSTR serverName, int port,
                         int* result) override;
    STDMETHODIMP GetFirstMessage(IZQMessage* message, int* result) override;
    STDMETHODIMP GetNextMessage(IZQMessage* message, int* result) override;
    STDMETHODIMP DeleteMessage(int number, int* result) override;
    STDMETHODIMP DeleteAllMessages(int* result) override;
    STDMETHODIMP Disconnect(int* result) override;
    STDMETHODIMP put_Timeout(LONG seconds) override;
    STDMETHODIMP get_GetLastError(BSTR* text) override;
    STDMETHODIMP get_DeleteRead(LONG* flag) override;
    STDMETHODIMP put_DeleteRead(LONG flag) override;

private:
    // True when the command's status is '+'; otherwise the failure is
    // reported.
    bool Succeeded(int status, int* result);
    // GetFirstMessage and GetNextMessage: the message number to read.
    HRESULT ReadMessage(IZQMessage* message, bool first, int* result);
    void Retrieve(int number, CAttachmentMailMessage& builder, int* result);

    CPop3Client client_;
    std::string server_;
    std::string lastError_;  // of the current method
    LONG deleteRead_ = 1;
    CMessageNumberList numbers_;
};

Pop::~Pop()
{
    if (client_.IsConnected()) {
        client_.Quit();
        client_.Close();
    }
}

bool Pop::Succeeded(int status, int* result)
{
    if (status == '+')
        return true;
    std::string line(client_.StatusLine().data(), client_.StatusLine().length());
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.pop_back();
    if (status == 0)
        ReportMailFailure(client_.ErrorCode(), client_.ErrorCategory(), CMailSocket::kErrUnknown,
                          kDroppedText, result, lastError_);
    else
        ReportMailFailure(0, 0, kMailServerRefused, line, result, lastError_);
    return false;
}

STDMETHODIMP Pop::Connect(BSTR userId, BSTR password, BSTR serverName, int port, int* result)
{
    *result = kMailSuccess;
    lastError_.clear();
    server_ = atl::BstrToAnsi(serverName);
    bool loggedOn = Succeeded(client_.Connect(server_.c_str(), (unsigned short)port), result) &&
                    Succeeded(client_.User(BstrToDw(userId)), result) &&
                    Succeeded(client_.Pass(BstrToDw(password)), result);
    // A refused log-on leaves the object ready for another Connect; a
    // Connect while connected is refused and keeps the connection.
    if (!loggedOn && *result != CMailSocket::kErrBadUsage && client_.IsConnected())
        client_.Close();
    return S_OK;
}

void Pop::Retrieve(int number, CAttachmentMailMessage& builder, int* result)
{
    int status = client_.Retr(number);
    builder.FromString(DwString());
    if (!Succeeded(status, result))
        return;
    builder.FromString(client_.Body());
    builder.SetMessageNumber(number);
    if (deleteRead_) {
        // The delete's outcome stays readable through GetLastError only.
        int deleted = kMailSuccess;
        Succeeded(client_.Dele(number), &deleted);
    }
}

HRESULT Pop::ReadMessage(IZQMessage* message, bool first, int* result)
{
    *result = kMailSuccess;
    lastError_.clear();
    if (!message) {
        *result = kMailNoMessageObject;
        return S_OK;
    }
    CAttachmentMailMessage* builder = BuilderOf(message);
    if (!builder)
        return Raise(kWrongMessageObject, kWrongMessageObjectText);
    int number = 0;
    if (first) {
        if (!Succeeded(client_.List(), result))
            return S_OK;
        numbers_.Refill(client_.Body());
        if (!numbers_.First(number)) {
            *result = kMailNoMessages;
            return S_OK;
        }
    } else if (!numbers_.Next(number)) {
        *result = kMailNoMoreMessages;
        return S_OK;
    }
    Retrieve(number, *builder, result);
    return S_OK;
}

STDMETHODIMP Pop::GetFirstMessage(IZQMessage* message, int* result)
{
    return ReadMessage(message, true, result);
}

STDMETHODIMP Pop::GetNextMessage(IZQMessage* message, int* result)
{
    return ReadMessage(message, false, result);
}

STDMETHODIMP Pop::DeleteMessage(int number, int* result)
{
    *result = kMailSuccess;
    lastError_.clear();
    Succeeded(client_.Dele(number), result);
    return S_OK;
}

STDMETHODIMP Pop::DeleteAllMessages(int* result)
{
    *result = kMailSuccess;
    lastError_.clear();
    if (!Succeeded(client_.List(), result))
        return S_OK;
    numbers_.Refill(client_.Body());
    for (int number : numbers_.Numbers())
        if (!Succeeded(client_.Dele(number), result))
            break;
    return S_OK;
}

STDMETHODIMP Pop::Disconnect(int* result)
{
    *result = kMailSuccess;
    lastError_.clear();
    Succeeded(client_.Quit(), result);
    // Closed, so that Connect works again on this object.
    if (client_.IsConnected())
        client_.Close();
    return S_OK;
}

STDMETHODIMP Pop::put_Timeout(LONG seconds)
{
    client_.SetTimeout(int(seconds));
    return S_OK;
}

STDMETHODIMP Pop::get_GetLastError(BSTR* text)
{
    *text = atl::AnsiToBstr(lastError_.c_str());
    return S_OK;
}

STDMETHODIMP Pop::get_DeleteRead(LONG* flag)
{
    *flag = deleteRead_;
    return S_OK;
}

STDMETHODIMP Pop::put_DeleteRead(LONG flag)
{
    deleteRead_ = flag;
    return S_OK;
}

}  // namespace

HRESULT CreatePopObject(REFIID riid, void** object)
{
    return Pop::Create<Pop>(riid, object);
}
