// ZQEMail through IDispatch by name, against the peers that
// tests/mail/mail_peers.py starts: a message sent to the SMTP peer lands in
// a dovecot mailbox and is read back with the POP object.
#include <gtest/gtest.h>

#include <stdlib.h>

#include "automation.h"
#include "components.h"
#include "temp_path.h"

#include "ZQEMail.h"

namespace {

const wchar_t kLoopback[] = L"127.0.0.1";
const wchar_t kPassword[] = L"secret";
// Dovecot's mailboxes 3 and 4 are this program's; the SMTP peer delivers
// mail for "mailbox3@..." into mailbox 3.
const wchar_t kReader[] = L"mailbox3";
const wchar_t kScratch[] = L"mailbox4";
const char kScratchMailbox[] = "mailbox4";
const int kClosedPort = 1;

const int kSuccess = 0;
const int kBadRecipientIndex = 1;
const int kNoMessages = 10;
const int kServerRefused = 11;
const int kNoMoreMessages = 12;
const int kNoMessageObject = 13;
const int kBadAttachmentIndex = 20;
const int kUnknownEncoding = 21;
const int kSenderRefused = 550;  // the peer's answer to MAIL FROM:<refused@...>
const int kConnectionRefused = 10061;
const HRESULT kTypeMismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1001);
const size_t kAttachmentBytes = 70000;

std::string Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

int Port(const char* name) { return atoi(Env(name).c_str()); }

std::wstring Wide(const std::string& text) { return std::wstring(text.begin(), text.end()); }

std::string SeededBytes(size_t count, unsigned seed)
{
    std::string bytes(count, '\0');
    for (char& b : bytes) {
        seed = seed * 1103515245u + 12345u;
        b = char(seed >> 16);
    }
    return bytes;
}

// Late-bound calls with owned string arguments, retval as an int or text.
class Scripted {
public:
    explicit Scripted(const wchar_t* progId) : object_(progId) {}
    IDispatch* get() const { return object_.get(); }
    int Int(const wchar_t* name, std::vector<VARIANT> args = {},
            WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET)
    {
        CallResult result;
        Call(name, args, result, flags);
        EXPECT_EQ(S_OK, result.hr) << Narrow(name);
        return result.Int();
    }
    std::string Text(const wchar_t* name, std::vector<VARIANT> args = {})
    {
        CallResult result;
        Call(name, args, result, DISPATCH_METHOD | DISPATCH_PROPERTYGET);
        EXPECT_EQ(S_OK, result.hr) << Narrow(name);
        return result.Text();
    }
    void Put(const wchar_t* name, VARIANT value)
    {
        CallResult result;
        Call(name, {value}, result, DISPATCH_PROPERTYPUT);
        EXPECT_EQ(S_OK, result.hr) << Narrow(name);
    }
    void Call(const wchar_t* name, std::vector<VARIANT> args, CallResult& result, WORD flags)
    {
        object_.Call(name, args, result, flags);
        for (VARIANT& arg : args)
            if (V_VT(&arg) == VT_BSTR)
                VariantClear(&arg);
    }

private:
    static std::string Narrow(const wchar_t* name) { return std::string(name, name + wcslen(name)); }
    Automation object_;
};

VARIANT Str(const std::string& text) { return TextArg(Wide(text).c_str()); }
VARIANT Str(const wchar_t* text) { return TextArg(text); }

class MailComponent : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, Regsvr32(AllComponents()[2].dll, false)); }
    void SetUp() override
    {
        CoInitialize(nullptr);
        ASSERT_NE(0, Port("MAIL_SMTP_PORT")) << "run by tests/mail/mail_peers.py";
    }
    void TearDown() override { CoUninitialize(); }

    int Send(Scripted& mail, Scripted& message, int port)
    {
        return mail.Int(L"SendMessage",
                        {Str(kLoopback), IntArg(port), ObjectArg(message.get())});
    }
    int Connect(Scripted& pop, const wchar_t* user, const wchar_t* password = kPassword)
    {
        return pop.Int(L"Connect", {Str(user), Str(password), Str(kLoopback),
                                    IntArg(Port("MAIL_POP3_PORT"))});
    }
    std::string SmtpLog() { return ReadWholeFile(Env("MAIL_SMTP_LOG")); }
};

TEST_F(MailComponent, SentMailIsReadBackWithItsAttachment)
{
    const std::string attachment = TempPath("Attached File.bin");
    const std::string saved = TempPath("saved.bin");
    const std::string bytes = SeededBytes(kAttachmentBytes, 5);
    WriteWholeFile(attachment, bytes);
    const std::string body = "Hello,\r\n.a line starting with a dot\r\nbye\r\n";
    const std::string subject = "End to end";
    {
        Scripted message(L"ZQMail.ZQMessage");
        Scripted mail(L"ZQMail.SMTP");
        ASSERT_NE(nullptr, message.get());
        message.Put(L"From", Str("Ann <ann@x.test>"));
        message.Put(L"Subject", Str(subject));
        message.Put(L"Body", Str(body));
        for (const char* to : {"Reader <mailbox3@x.test>", "second@x.test"})
            message.Int(L"AddToRecipient", {Str(to)});
        message.Int(L"AddCcRecipient", {Str("copy@x.test")});
        message.Int(L"AddBccRecipient", {Str("hidden@x.test")});
        EXPECT_EQ(kSuccess, message.Int(L"AddAttachment", {Str(attachment)}));
        EXPECT_EQ(-1, message.Int(L"AddAttachment", {Str(TempPath("missing.bin"))}));
        EXPECT_EQ(1, message.Int(L"AttachmentCount"));
        EXPECT_EQ(-1, message.Int(L"MessageId"));

        EXPECT_EQ(kSuccess, Send(mail, message, Port("MAIL_SMTP_PORT"))) << mail.Text(L"GetLastError");
        // The text and the attachment are gone after a send; the headers stay.
        EXPECT_EQ(0, message.Int(L"AttachmentCount"));
        EXPECT_EQ("", message.Text(L"Body"));
        EXPECT_EQ(subject, message.Text(L"Subject"));
    }
    const std::string log = SmtpLog();
    const char* kEnvelope =
        "MAIL ann@x.test\nRCPT mailbox3@x.test\nRCPT second@x.test\nRCPT copy@x.test\n"
        "RCPT hidden@x.test\nDATA mailbox3\n";
    EXPECT_NE(std::string::npos, log.find(kEnvelope)) << log;

    Scripted pop(L"ZQMail.POP");
    Scripted read(L"ZQMail.ZQMessage");
    ASSERT_EQ(kSuccess, Connect(pop, kReader)) << pop.Text(L"GetLastError");
    pop.Put(L"DeleteRead", IntArg(0));
    ASSERT_EQ(kSuccess, pop.Int(L"GetFirstMessage", {ObjectArg(read.get())}));
    EXPECT_EQ(1, read.Int(L"MessageId"));
    EXPECT_EQ(subject, read.Text(L"Subject"));
    EXPECT_EQ("Ann <ann@x.test>", read.Text(L"From"));
    EXPECT_EQ(body, read.Text(L"Body"));
    EXPECT_EQ(2, read.Int(L"ToCount"));
    EXPECT_EQ(1, read.Int(L"CcCount"));
    struct Recipient {
        const wchar_t* method;
        int index;
        int code;
        const char* text;
    } recipients[] = {
        {L"GetToRecipient", 0, kSuccess, "Reader <mailbox3@x.test>"},
        {L"GetToRecipient", 1, kSuccess, "second@x.test"},
        {L"GetToRecipient", 2, kBadRecipientIndex, ""},
        {L"GetCcRecipient", 0, kSuccess, "copy@x.test"},
        {L"GetCcRecipient", -1, kBadRecipientIndex, ""},
    };
    for (const Recipient& r : recipients) {
        BSTR text = SysAllocString(L"stale");
        EXPECT_EQ(r.code, read.Int(r.method, {IntArg(r.index), BstrRefArg(&text)})) << r.index;
        EXPECT_EQ(Wide(r.text), std::wstring(text, SysStringLen(text))) << r.index;
        SysFreeString(text);
    }
    ASSERT_EQ(1, read.Int(L"AttachmentCount"));
    std::string lowerPath = attachment;
    for (char& c : lowerPath)
        c = char(tolower((unsigned char)c));
    EXPECT_EQ(lowerPath, read.Text(L"GetOriginalAttachmentName", {IntArg(0)}));
    EXPECT_EQ("", read.Text(L"GetOriginalAttachmentName", {IntArg(1)}));
    BSTR path = SysAllocString(Wide(saved).c_str());
    EXPECT_EQ(kSuccess, read.Int(L"SaveAttachmentToFile", {IntArg(0), BstrRefArg(&path)}));
    EXPECT_TRUE(ReadWholeFile(saved) == bytes) << "the saved attachment differs";
    EXPECT_EQ(kBadAttachmentIndex,
              read.Int(L"SaveAttachmentToFile", {IntArg(1), BstrRefArg(&path)}));
    SysFreeString(path);
    EXPECT_EQ(kNoMoreMessages, pop.Int(L"GetNextMessage", {ObjectArg(read.get())}));

    // Disconnect closes, so the same object connects again; with DeleteRead
    // the message read is deleted on the server.
    EXPECT_EQ(kSuccess, pop.Int(L"Disconnect"));
    ASSERT_EQ(kSuccess, Connect(pop, kReader)) << pop.Text(L"GetLastError");
    pop.Put(L"DeleteRead", IntArg(1));
    EXPECT_EQ(1, pop.Int(L"DeleteRead"));
    EXPECT_EQ(kSuccess, pop.Int(L"GetFirstMessage", {ObjectArg(read.get())}));
    EXPECT_EQ(kSuccess, pop.Int(L"Disconnect"));
    ASSERT_EQ(kSuccess, Connect(pop, kReader));
    EXPECT_EQ(kNoMessages, pop.Int(L"GetFirstMessage", {ObjectArg(read.get())}));
    EXPECT_EQ("", pop.Text(L"GetLastError"));
    EXPECT_EQ(kSuccess, pop.Int(L"Disconnect"));
    DeleteFileA(attachment.c_str());
    DeleteFileA(saved.c_str());
}

TEST_F(MailComponent, FailuresKeepTheMessageAndReportTheirCodes)
{
    Scripted message(L"ZQMail.ZQMessage");
    Scripted mail(L"ZQMail.SMTP");
    EXPECT_EQ("", mail.Text(L"GetLastError"));
    message.Put(L"From", Str("refused@x.test"));
    message.Put(L"Body", Str("kept"));
    message.Int(L"AddToRecipient", {Str("never@x.test")});
    struct SendCase {
        const char* what;
        int port;
        int code;
        const char* text;
    } sends[] = {
        {"sender refused", Port("MAIL_SMTP_PORT"), kSenderRefused, "SMTP server error"},
        {"no server", kClosedPort, kConnectionRefused, "Connection refused"},
    };
    for (const SendCase& s : sends) {
        EXPECT_EQ(s.code, Send(mail, message, s.port)) << s.what;
        EXPECT_EQ(s.text, mail.Text(L"GetLastError")) << s.what;
        EXPECT_EQ("kept", message.Text(L"Body")) << s.what;
    }
    EXPECT_EQ(std::string::npos, SmtpLog().find("never@"));

    // Anything but a message object of this component is refused: by the
    // type library's conversion through IDispatch, by the object through
    // the vtable.
    Automation dictionary(L"Scripting.Dictionary");
    ASSERT_NE(nullptr, dictionary.get());
    CallResult foreign;
    mail.Call(L"SendMessage", {Str(kLoopback), IntArg(kClosedPort), ObjectArg(dictionary.get())},
              foreign, DISPATCH_METHOD);
    EXPECT_TRUE(FAILED(foreign.hr));
    IZQMail* typed = nullptr;
    ASSERT_EQ(S_OK, mail.get()->QueryInterface(IID_IZQMail, (void**)&typed));
    BSTR server = SysAllocString(kLoopback);
    int result = -99999;
    EXPECT_EQ(kTypeMismatch,
              typed->SendMessageA(server, kClosedPort, (IZQMessage*)dictionary.get(), &result));
    EXPECT_EQ(kSuccess, result);
    SysFreeString(server);
    typed->Release();
    IErrorInfo* error = nullptr;
    ASSERT_EQ(S_OK, GetErrorInfo(0, &error));
    BSTR description = nullptr;
    error->GetDescription(&description);
    EXPECT_EQ(L"Type Mismatch in Parameter. Pass a ZQMail.ZQMessage object",
              std::wstring(description));
    SysFreeString(description);
    error->Release();

    Scripted pop(L"ZQMail.POP");
    EXPECT_EQ(kServerRefused, Connect(pop, kScratch, L"wrong"));
    EXPECT_EQ(0u, pop.Text(L"GetLastError").find("-ERR")) << pop.Text(L"GetLastError");
    ASSERT_EQ(kSuccess, Connect(pop, kScratch)) << pop.Text(L"GetLastError");
    EXPECT_EQ("", pop.Text(L"GetLastError"));
    EXPECT_EQ(kNoMessageObject, pop.Int(L"GetFirstMessage", {ObjectArg(nullptr)}));
    EXPECT_EQ(kNoMessageObject, pop.Int(L"GetNextMessage", {ObjectArg(nullptr)}));
    EXPECT_EQ(kSuccess, pop.Int(L"DeleteAllMessages"));
    EXPECT_EQ(kServerRefused, pop.Int(L"DeleteMessage", {IntArg(99)}));
    EXPECT_EQ(kSuccess, pop.Int(L"Disconnect"));
}

TEST_F(MailComponent, AnAttachmentOfAnotherEncodingIsSavedAsItCame)
{
    const std::string kRaw = "raw \xE9 bytes\nsecond line\n";
    const std::string stored =
        "From: ann@x.test\nSubject: eight bit\nMIME-Version: 1.0\n"
        "Content-Type: multipart/mixed; boundary=\"b\"\n\n"
        "--b\nContent-Type: text/plain\n\ntext\n"
        "--b\nContent-Type: application/octet-stream\nContent-Transfer-Encoding: 8bit\n"
        "Content-Disposition: attachment; filename=\"Raw.BIN\"\n\n" + kRaw + "--b--\n";
    WriteWholeFile(Env("MAIL_POP3_MAIL") + "\\" + kScratchMailbox + "\\new\\8bit.test", stored);
    Scripted pop(L"ZQMail.POP");
    Scripted read(L"ZQMail.ZQMessage");
    ASSERT_EQ(kSuccess, Connect(pop, kScratch)) << pop.Text(L"GetLastError");
    ASSERT_EQ(kSuccess, pop.Int(L"GetFirstMessage", {ObjectArg(read.get())}));
    EXPECT_EQ("raw.bin", read.Text(L"GetOriginalAttachmentName", {IntArg(0)}));
    const std::string saved = TempPath("raw.bin");
    BSTR path = SysAllocString(Wide(saved).c_str());
    EXPECT_EQ(kUnknownEncoding, read.Int(L"SaveAttachmentToFile", {IntArg(0), BstrRefArg(&path)}));
    SysFreeString(path);
    // The mail store's LF comes back as CR LF, as POP3 carries lines; the
    // line break before the boundary belongs to the boundary.
    EXPECT_EQ("raw \xE9 bytes\r\nsecond line", ReadWholeFile(saved));
    EXPECT_EQ(kSuccess, pop.Int(L"Disconnect"));
    DeleteFileA(saved.c_str());
}

TEST_F(MailComponent, VbScriptSmoke)
{
    std::string output;
    EXPECT_EQ(0, RunVbScript("Set m = CreateObject(\"ZQMail.ZQMessage\")\r\n"
                             "m.Subject = \"smoke\"\r\n"
                             "m.AddToRecipient \"a@x.test\"\r\n"
                             "WScript.Echo m.Subject & \" \" & m.ToCount\r\n"
                             "Set s = CreateObject(\"ZQMail.SMTP\")\r\n"
                             "WScript.Echo s.SendMessage(\"127.0.0.1\", 1, m)\r\n"
                             "WScript.Echo s.GetLastError\r\n",
                             output));
    EXPECT_EQ("smoke 1\n10061\nConnection refused\n", output);
}

}  // namespace
