// The SMTP client and one message's delivery.
#include <mail/mail_socket.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

namespace {

// How one byte of message data goes out: a bare CR or LF as CR LF, a dot at
// a line start doubled.
struct DataStream {
    bool lineStart = true;   // the next byte starts a line
    bool afterCr = false;    // the last byte was a CR sent as CR LF

    // Writes the output for `c` into `out` (room for 2 bytes); its length.
    int Put(char c, char* out)
    {
        if (c == '\n' && afterCr) {
            afterCr = false;
            return 0;
        }
        afterCr = false;
        if (c == '\r' || c == '\n') {
            afterCr = c == '\r';
            lineStart = true;
            out[0] = '\r';
            out[1] = '\n';
            return 2;
        }
        int n = 0;
        if (c == '.' && lineStart)
            out[n++] = '.';
        out[n++] = c;
        lineStart = false;
        return n;
    }
};

// True when `length` bytes at `data + pos` go out unchanged: every line
// break is CR LF and no line starts with a dot.
bool GoesOutAsItIs(const char* data, size_t total, size_t pos, size_t length)
{
    for (size_t i = pos; i < pos + length; ++i) {
        char c = data[i];
        if (c == '\n' && (i == 0 || data[i - 1] != '\r'))
            return false;
        if (c == '\r' && (i + 1 >= total || data[i + 1] != '\n'))
            return false;
        if (c == '.' && (i == 0 || data[i - 1] == '\n'))
            return false;
    }
    return true;
}

}  // namespace

CSmtpClient::CSmtpClient() : mCommand(new char[kCommandSize]), mReplyCode(0) {}

CSmtpClient::~CSmtpClient()
{
    if (IsConnected())
        Close();
    delete[] mCommand;
}

int CSmtpClient::Connect(const char* host, unsigned short port)
{
    mReplyCode = 0;
    mReplyText = DwString();
    mReader.Reset();
    if (CMailSocket::Connect(host, port) != 0)
        return 0;
    return ReadReply();
}

int CSmtpClient::ReadReply()
{
    mReplyCode = 0;
    mReplyText = DwString();
    size_t lastLine = 0;
    DwString line;
    bool lineStart;
    for (;;) {
        if (!mReader.ReadLine(*this, line, lineStart))
            return 0;
        if (lineStart)
            lastLine = mReplyText.length();
        mReplyText.append(line);
        bool lineEnded = line.length() >= 2 && line[line.length() - 1] == '\n';
        if (!lineEnded)
            continue;
        const char* start = mReplyText.data() + lastLine;
        if (mReplyText.length() - lastLine > 3 && start[3] == '-')
            continue;
        mReplyCode = (int)strtol(DwString(mReplyText, lastLine, 16).c_str(), NULL, 10);
        return mReplyCode;
    }
}

int CSmtpClient::Command(const char* text, size_t length)
{
    mReplyCode = 0;
    mReplyText = DwString();
    if ((size_t)Send(text, (int)length) != length)
        return 0;
    return ReadReply();
}

int CSmtpClient::Hello()
{
    char host[kMaxArgument + 1] = "";
    gethostname(host, sizeof host);
    host[kMaxArgument] = 0;
    int n = snprintf(mCommand, kCommandSize, "HELO %s\r\n", host);
    return Command(mCommand, (size_t)n);
}

int CSmtpClient::AddressCommand(const char* verb, const DwString& address)
{
    mReplyCode = 0;
    mReplyText = DwString();
    if (RefuseUnsafeArgument(address))
        return 0;
    DwMailbox mailbox(address);
    mailbox.Parse();
    DwString path = mailbox.IsValid() ? mailbox.AddrSpec() : address;
    size_t length = path.length() < kMaxArgument ? path.length() : kMaxArgument;
    int n = snprintf(mCommand, kCommandSize, "%s:<%.*s>\r\n", verb, (int)length, path.data());
    return Command(mCommand, (size_t)n);
}

int CSmtpClient::MailFrom(const DwString& address)
{
    return AddressCommand("MAIL FROM", address);
}

int CSmtpClient::RcptTo(const DwString& address)
{
    return AddressCommand("RCPT TO", address);
}

int CSmtpClient::Data()
{
    return Command("DATA\r\n", 6);
}

int CSmtpClient::Quit()
{
    return Command("QUIT\r\n", 6);
}

int CSmtpClient::SendData(const char* bytes, size_t length)
{
    mReplyCode = 0;
    mReplyText = DwString();
    DataStream stream;
    size_t pos = 0;
    while (pos < length) {
        size_t chunk = length - pos < (size_t)kCommandSize ? length - pos : (size_t)kCommandSize;
        // A chunk ending in CR would leave its LF to the next chunk.
        if (chunk > 1 && bytes[pos + chunk - 1] == '\r')
            --chunk;
        if (GoesOutAsItIs(bytes, length, pos, chunk)) {
            if ((size_t)Send(bytes + pos, (int)chunk) != chunk)
                return 0;
            stream.lineStart = bytes[pos + chunk - 1] == '\n';
            stream.afterCr = false;
            pos += chunk;
            continue;
        }
        size_t used = 0;
        size_t end = pos + chunk;
        while (pos < end && used + 2 <= (size_t)kCommandSize)
            used += (size_t)stream.Put(bytes[pos++], mCommand + used);
        if ((size_t)Send(mCommand, (int)used) != used)
            return 0;
    }
    const char* marker = stream.lineStart ? ".\r\n" : "\r\n.\r\n";
    return Command(marker, strlen(marker));
}

namespace {

const char kNotAvailable[] = "SMTP server not available";
const char kServerError[] = "SMTP server error";
const char kNotReady[] = "SMTP server not ready for data";
const char kNoTermination[] = "SMTP server didn't terminate session";

// The envelope addresses of one list: the mailboxes, and those of groups.
void CollectRecipients(DwMessage& message, const char* list, std::vector<DwString>& out)
{
    DwHeaders& headers = message.Headers();
    if (!headers.HasField(list))
        return;
    DwAddressList& addresses = (DwAddressList&)headers.FieldBody(list);
    for (int i = 0; i < addresses.NumAddresses(); ++i) {
        DwAddress& address = addresses.AddressAt(i);
        if (DwGroup* group = dynamic_cast<DwGroup*>(&address)) {
            for (int j = 0; j < group->MailboxList().NumMailboxes(); ++j)
                out.push_back(group->MailboxList().MailboxAt(j).AddrSpec());
        } else {
            address.Assemble();
            out.push_back(address.AsString());
        }
    }
}

}  // namespace

bool DeliverMessage(CSmtpClient& client, const char* host, unsigned short port,
                    CMailMessage& message, SmtpDeliveryFailure& failure)
{
    failure = SmtpDeliveryFailure();
    DwHeaders& headers = message.Message().Headers();
    DwString sender;
    if (headers.HasField("From") && headers.From().NumMailboxes() > 0) {
        DwMailbox& first = headers.From().MailboxAt(0);
        first.Assemble();
        sender = first.AsString();
    }
    std::vector<DwString> recipients;
    for (const char* list : {"To", "Cc", "Bcc"})
        CollectRecipients(message.Message(), list, recipients);
    // The data leaves the Bcc header out: those recipients stay hidden.
    message.AsString();
    DwMessage* sent = (DwMessage*)message.Message().Clone();
    sent->Headers().RemoveField("Bcc");
    sent->Assemble();
    DwString data = sent->AsString();
    delete sent;

    // False, with the failure recorded, when a step's reply is not expected.
    auto accepted = [&](int code, int expected, const char* text, int alsoAccepted = -1) {
        if (code == expected || code == alsoAccepted)
            return true;
        failure.replyCode = code;
        failure.errorCode = client.ErrorCode();
        failure.errorCategory = client.ErrorCategory();
        failure.text = code == 0 ? DwString(client.ErrorText()) : DwString(text);
        return false;
    };
    bool delivered = accepted(client.Connect(host, port), CSmtpClient::kReplyReady, kNotAvailable) &&
                     accepted(client.Hello(), CSmtpClient::kReplyOk, kServerError) &&
                     accepted(client.MailFrom(sender), CSmtpClient::kReplyOk, kServerError);
    for (size_t i = 0; delivered && i < recipients.size(); ++i)
        delivered = accepted(client.RcptTo(recipients[i]), CSmtpClient::kReplyOk, kServerError,
                             CSmtpClient::kReplyForwarded);
    delivered = delivered &&
                accepted(client.Data(), CSmtpClient::kReplyStartData, kNotReady) &&
                accepted(client.SendData(data.data(), data.length()), CSmtpClient::kReplyOk,
                         kServerError) &&
                accepted(client.Quit(), CSmtpClient::kReplyClosing, kNoTermination);
    if (client.IsConnected())
        client.Close();
    return delivered;
}
