// The blocking TCP client under the SMTP and POP3 clients, and the two
// clients.
//
// - Each object starts Windows Sockets 1.1 for itself and releases it when
//   destroyed; one object is used by one thread; every call blocks.
// - Every Winsock failure leaves an error code with its text and, chosen by
//   the operation that failed, an error category with its text; Connect,
//   Close, Send and Receive reset them first. A failed start-up makes every
//   later operation fail with kErrBadUsage.
// - Receives wait at most the receive time-out (90 s at creation; 0 waits
//   without limit); connects and sends use the system's own limits.
// - Lines are read through an 8,192-byte buffer. A longer line arrives in
//   pieces; only a piece that starts a line counts as a line start, so dot
//   unstuffing and end markers never apply to the rest of a long line.
// - Addresses, user names and passwords holding CR, LF or NUL are refused
//   (kErrBadParameter) before anything is sent; message data goes out with
//   every line ended by CR LF and every line-start dot doubled.
#ifndef MAIL_MAIL_SOCKET_H
#define MAIL_MAIL_SOCKET_H

#include <mail/builders.h>
#include <mail/dwstring.h>

#include <winsock2.h>

#include <vector>

class CMailSocket {
public:
    enum InternalCode {
        kErrUnknown = 16384,
        kErrBadParameter = 16385,
        kErrBadUsage = 16386,
        kErrBadVersion = 16387,
    };
    enum Operation {
        kOpStartup = 1, kOpLookup = 2, kOpSocket = 3, kOpTimeout = 4, kOpConnect = 5,
        kOpSend = 6, kOpReceive = 7, kOpClose = 9,
    };
    enum { kDefaultTimeoutSeconds = 90 };

    CMailSocket();
    virtual ~CMailSocket();
    CMailSocket(const CMailSocket&) = delete;
    CMailSocket& operator=(const CMailSocket&) = delete;

    // 0, or -1 with the error state set.
    virtual int Connect(const char* host, unsigned short port);
    int Close();
    // The number of bytes sent: all of them unless a send failed.
    int Send(const char* bytes, int length);
    // One receive: the bytes received, 0 when the peer closed or it failed.
    int Receive(char* buffer, int size);
    // Seconds; applied at once when connected. 0 or -1.
    int SetTimeout(int seconds);

    bool IsConnected() const { return mConnected; }
    int ErrorCategory() const { return mCategory; }
    const char* ErrorCategoryText() const { return CategoryText(mCategory); }
    int ErrorCode() const { return mCode; }
    const char* ErrorText() const { return CodeText(mCode); }

    static const char* CodeText(int code);
    static const char* CategoryText(int category);
    // The receive time-out given to the socket: seconds x 1000, or
    // 2,147,483,647 ms from 2,147,483 seconds on; 0 waits without limit.
    static DWORD ReceiveTimeoutMs(int seconds);

protected:
    // Records the code and its text, and the category the operation gives it.
    virtual void OnError(int code, int operation);
    // Looks a host name up: 0 and its IPv4 addresses (network order) in the
    // order returned, or the Winsock error.
    virtual int LookupHost(const char* host, std::vector<unsigned long>& addresses);
    void ResetError();
    // True, with kErrBadParameter recorded, when a command argument holds CR,
    // LF or NUL and could end its line early.
    bool RefuseUnsafeArgument(const DwString& argument);

private:
    bool mInitialized;
    bool mConnected;
    SOCKET mSocket;
    unsigned short mPort;
    char* mHost;
    int mTimeoutSeconds;
    int mCategory;
    int mCode;

    int ApplyTimeout();
};

// Lines from a socket through an 8,192-byte buffer.
class CMailLineReader {
public:
    enum { kBufferSize = 8192 };
    CMailLineReader();
    ~CMailLineReader();
    CMailLineReader(const CMailLineReader&) = delete;
    CMailLineReader& operator=(const CMailLineReader&) = delete;
    // Forgets what is held (a new connection).
    void Reset();
    // The next line through its CR LF; a line longer than the buffer comes in
    // pieces, and `lineStart` tells whether the piece begins a line. False
    // when the peer closed or the receive failed.
    bool ReadLine(CMailSocket& socket, DwString& line, bool& lineStart);

private:
    char* mBuffer;
    size_t mHeld;
    size_t mPos;
    bool mMidLine;
};

class CSmtpClient : public CMailSocket {
public:
    enum { kCommandSize = 1024, kMaxArgument = 992 };
    // The reply codes each step expects.
    enum { kReplyReady = 220, kReplyOk = 250, kReplyForwarded = 251, kReplyStartData = 354,
           kReplyClosing = 221 };

    CSmtpClient();
    ~CSmtpClient() override;
    // Each returns the reply code: 0 when the command could not be sent whole
    // or no reply could be read (the socket layer holds the error).
    int Connect(const char* host, unsigned short port) override;
    int Hello();
    // Sends local-part@domain of an address given as a mailbox text (a text
    // that is no mailbox goes as given).
    int MailFrom(const DwString& address);
    int RcptTo(const DwString& address);
    int Data();
    int SendData(const char* bytes, size_t length);
    int Quit();

    int ReplyCode() const { return mReplyCode; }
    // Every line of the last reply, each with its CR LF.
    const DwString& ReplyText() const { return mReplyText; }

private:
    char* mCommand;
    CMailLineReader mReader;
    int mReplyCode;
    DwString mReplyText;

    int Command(const char* text, size_t length);
    int AddressCommand(const char* verb, const DwString& address);
    int ReadReply();
};

// What ended a delivery: the unexpected reply code (0 for a socket-layer
// failure, whose code and category follow) and the failure text.
struct SmtpDeliveryFailure {
    int replyCode = 0;
    int errorCode = 0;
    int errorCategory = 0;
    DwString text;
};

// One delivery: greeting, HELO, MAIL FROM with the first From mailbox, RCPT
// TO for every To, then Cc, then Bcc address (a group's members one by one;
// 251 counts as accepted), DATA, the message without its Bcc header, QUIT,
// then close. True when delivered; otherwise the first failure ends it.
bool DeliverMessage(CSmtpClient& client, const char* host, unsigned short port,
                    CMailMessage& message, SmtpDeliveryFailure& failure);

class CPop3Client : public CMailSocket {
public:
    enum { kCommandSize = 1024, kMaxArgument = 992 };

    CPop3Client();
    ~CPop3Client() override;
    // Each returns the status: '+' or '-', or 0 when the command could not be
    // sent whole or no status line (or no complete listing) could be read.
    int Connect(const char* host, unsigned short port) override;
    int User(const DwString& name);
    int Pass(const DwString& password);
    int List();
    int Retr(int number);
    int Dele(int number);
    int Quit();

    int Status() const { return mStatus; }
    const DwString& StatusLine() const { return mStatusLine; }
    // The data lines of the last listing or message, dot stuffing removed.
    const DwString& Body() const { return mBody; }

private:
    char* mCommand;
    CMailLineReader mReader;
    int mStatus;
    DwString mStatusLine;
    DwString mBody;

    int Command(const char* text, size_t length, bool multiLine);
    int ArgumentCommand(const char* verb, const DwString& argument);
    void ReadStatus();
    void ReadMultiLine();
};

#endif
