// The clients against real peers that tests/mail/mail_peers.py starts: an
// SMTP peer that records envelopes and data, and dovecot serving POP3. The
// same run writes built messages that Python's email package judges.
#include <mail/mail_socket.h>

#include <gtest/gtest.h>

#include <stdio.h>
#include <stdlib.h>

#include <string>
#include <vector>

namespace {

const char kLoopback[] = "127.0.0.1";
const char kPassword[] = "secret";

std::string Text(const DwString& s)
{
    return std::string(s.data(), s.length());
}

std::string Env(const char* name)
{
    const char* value = getenv(name);
    return value ? value : "";
}

unsigned short PortOf(const char* name)
{
    return (unsigned short)atoi(Env(name).c_str());
}

std::string ReadAll(const std::string& path)
{
    DwString bytes;
    ReadFileBytes(path.c_str(), bytes);
    return Text(bytes);
}

void WriteAll(const std::string& path, const std::string& bytes)
{
    FILE* f = fopen(path.c_str(), "wb");
    ASSERT_TRUE(f != NULL) << path;
    fwrite(bytes.data(), 1, bytes.length(), f);
    fclose(f);
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0, end;
    while ((end = text.find('\n', start)) != std::string::npos) {
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Every line end as CR LF: how message data travels.
std::string WithCrLf(const std::string& text)
{
    std::string out;
    for (size_t i = 0; i < text.length(); ++i) {
        char c = text[i];
        if (c == '\r' || c == '\n') {
            out += "\r\n";
            if (c == '\r' && i + 1 < text.length() && text[i + 1] == '\n')
                ++i;
        } else {
            out += c;
        }
    }
    return out;
}

// Fixed-seed bytes for attachments.
std::string SeededBytes(size_t count, long seed)
{
    std::string bytes(count, '\0');
    for (char& b : bytes)
        b = (char)DwRandomDraw(seed);
    return bytes;
}

TEST(SmtpPeer, DeliversEnvelopeInOrderAndDataIntact)
{
    const std::string kAttachment = Env("MAIL_BUILT") + "\\smtp-attachment.bin";
    WriteAll(kAttachment, SeededBytes(5000, 7));
    CAttachmentMailMessage message;
    message.SetAutomaticFields();
    message.SetDate(time(NULL));
    message.SetFrom("\"Ann Smith\" <ann@x.test>");
    message.SetSubject("Envelope order");
    message.AddTo("Bob <first@x.test>");
    message.AddTo("second@x.test");
    message.AddCc("Carol <third@x.test>");
    message.AddBcc("hidden@x.test");
    message.SetText("Hello\r\n.leading dot\r\n..two dots\r\nbare\nline feed\r\n.\r\nafter a dot line");
    ASSERT_EQ(message.AttachFile(kAttachment.c_str(), DwMime::kTypeApplication,
                                 DwMime::kSubtypeOctetStream), 0);
    std::string assembled = Text(message.AsString());

    CSmtpClient client;
    SmtpDeliveryFailure failure;
    ASSERT_TRUE(DeliverMessage(client, kLoopback, PortOf("MAIL_SMTP_PORT"), message, failure))
        << Text(failure.text) << " " << failure.replyCode << " " << Text(client.ReplyText());
    std::vector<std::string> log = Lines(ReadAll(Env("MAIL_SMTP_LOG")));
    std::vector<std::string> expected = {"MAIL ann@x.test", "RCPT first@x.test",
                                         "RCPT second@x.test", "RCPT third@x.test",
                                         "RCPT hidden@x.test", "DATA first"};
    std::vector<std::string> mine;
    for (const std::string& line : log)
        if (line.find("first") != std::string::npos || line.find("ann@") != std::string::npos ||
            line.find("second") != std::string::npos || line.find("third") != std::string::npos ||
            line.find("hidden") != std::string::npos)
            mine.push_back(line);
    EXPECT_EQ(mine, expected);

    std::string data = ReadAll(Env("MAIL_SMTP_DATA") + "\\first.eml");
    size_t bcc = assembled.find("Bcc: hidden@x.test\r\n");
    ASSERT_NE(bcc, std::string::npos);
    std::string withoutBcc = assembled.substr(0, bcc) + assembled.substr(bcc + 20);
    EXPECT_EQ(data, WithCrLf(withoutBcc)) << "dots unstuffed by the peer give the text back";
    EXPECT_EQ(data.find("hidden@"), std::string::npos);
}

TEST(SmtpPeer, RefusedSenderSendsNoRecipient)
{
    CMailMessage message;
    message.SetFrom("refused@x.test");
    message.AddTo("never@x.test");
    CSmtpClient client;
    SmtpDeliveryFailure failure;
    EXPECT_FALSE(DeliverMessage(client, kLoopback, PortOf("MAIL_SMTP_PORT"), message, failure));
    EXPECT_EQ(failure.replyCode, 550);
    EXPECT_EQ(Text(failure.text), "SMTP server error");
    EXPECT_EQ(Text(client.ReplyText()), "550 sender refused\r\n");
    std::string log = ReadAll(Env("MAIL_SMTP_LOG"));
    EXPECT_NE(log.find("MAIL refused@x.test\n"), std::string::npos);
    EXPECT_EQ(log.find("never@"), std::string::npos);
}

// The driver's mailboxes "mailbox1" ... (users of the same names) take
// messages as a mail store keeps them (LF line ends).
const char kReader[] = "mailbox1";
const char kGuarded[] = "mailbox2";

void FillMailbox(const std::string& user, const std::vector<std::string>& messages)
{
    ASSERT_GE(atoi(Env("MAIL_POP3_MAILBOXES").c_str()), 2);
    std::string root = Env("MAIL_POP3_MAIL") + "\\" + user;
    for (size_t i = 0; i < messages.size(); ++i)
        WriteAll(root + "\\new\\" + std::to_string(1000 + i) + ".test", messages[i]);
}

int LogIn(CPop3Client& client, const std::string& user, const char* password = kPassword)
{
    if (client.Connect(kLoopback, PortOf("MAIL_POP3_PORT")) != '+' || client.User(user.c_str()) != '+')
        return 0;
    return client.Pass(password);
}

TEST(Pop3Peer, ListsRetrievesAndDeletes)
{
    const std::vector<std::string> kMessages = {
        "From: ann@x.test\nSubject: one\n\nfirst\n.stuffed line\n..two\n",
        "Subject: two\n\nsecond\n",
        "Subject: three\n\nthird\n",
    };
    FillMailbox(kReader, kMessages);
    CPop3Client client;
    ASSERT_EQ(LogIn(client, kReader), '+') << Text(client.StatusLine());
    ASSERT_EQ(client.List(), '+');
    std::vector<std::string> listing = Lines(Text(client.Body()));
    ASSERT_EQ(listing.size(), 3u) << Text(client.Body());
    for (size_t i = 0; i < listing.size(); ++i)
        EXPECT_EQ(listing[i].compare(0, 2, std::to_string(i + 1) + " "), 0) << listing[i];

    ASSERT_EQ(client.Retr(1), '+');
    EXPECT_EQ(Text(client.Body()), WithCrLf(kMessages[0])) << "dot stuffing removed";
    CAttachmentMailMessage read;
    read.FromString(client.Body());
    EXPECT_EQ(Text(read.Subject()), "one");
    EXPECT_EQ(client.Retr(9), '-');
    EXPECT_EQ(Text(client.Body()), "");
    EXPECT_EQ(Text(client.StatusLine()).compare(0, 4, "-ERR"), 0);
    EXPECT_EQ(client.Dele(2), '+');
    EXPECT_EQ(client.Quit(), '+');
    client.Close();

    CPop3Client again;
    ASSERT_EQ(LogIn(again, kReader), '+');
    ASSERT_EQ(again.List(), '+');
    EXPECT_EQ(Lines(Text(again.Body())).size(), 2u);
    EXPECT_EQ(again.Quit(), '+');
}

TEST(Pop3Peer, WrongPasswordIsRefused)
{
    FillMailbox(kGuarded, {"Subject: x\n\nx\n"});
    CPop3Client client;
    EXPECT_EQ(LogIn(client, kGuarded, "wrong"), '-');
    EXPECT_EQ(Text(client.StatusLine()).compare(0, 4, "-ERR"), 0) << Text(client.StatusLine());
}

// Built messages for Python's email package: each beside a manifest.
TEST(BuilderOutput, WritesMessagesForPythonToJudge)
{
    const std::string folder = Env("MAIL_BUILT");
    ASSERT_FALSE(folder.empty());
    // The manifest names files by their Linux paths ("Z:\x\y" is /x/y).
    auto linuxPath = [](std::string path) {
        path = path.substr(2);
        for (char& c : path)
            if (c == '\\')
                c = '/';
        return path;
    };
    struct Built {
        const char* name;
        const char* text;
        std::vector<size_t> attachmentSizes;
    } built[] = {
        {"text-and-attachments", "Hello,\r\nthe files are attached.\r\n", {0, 1, 57, 100000}},
        {"text-only", "Just text\r\n", {}},
        {"attachment-first", "", {3000}},
    };
    long seed = 99;
    for (const Built& b : built) {
        CAttachmentMailMessage message;
        message.SetAutomaticFields();
        message.SetDate(time(NULL));
        message.SetFrom("Ann <ann@x.test>");
        message.SetSubject((std::string("Built: ") + b.name).c_str());
        message.AddTo("bob@x.test");
        message.AddCc("Carol <carol@x.test>");
        std::string manifest = std::string("subject\tBuilt: ") + b.name +
                               "\nto\tbob@x.test\ncc\tCarol <carol@x.test>\n";
        int n = 0;
        for (size_t size : b.attachmentSizes) {
            std::string path = folder + "\\" + b.name + "-" + std::to_string(n++) + ".bin";
            WriteAll(path, SeededBytes(size, seed += 17));
            ASSERT_EQ(message.AttachFile(path.c_str(), DwMime::kTypeApplication,
                                         DwMime::kSubtypeOctetStream), 0);
            manifest += "attachment\t" + linuxPath(path) + "\n";
        }
        if (*b.text)
            message.SetText(b.text);
        std::string text = b.text;
        for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
            text.replace(at, 2, "\\r\\n");
        manifest += "text\t" + text + "\n";
        WriteAll(folder + "\\" + b.name + ".eml", Text(message.AsString()));
        WriteAll(folder + "\\" + b.name + ".manifest", manifest);
    }
}

}  // namespace
