// The socket layer's errors and time-out, and the SMTP and POP3 clients
// against scripted peers: replies split across receives, message data
// transparency, refused arguments, and lines longer than the read buffer.
#include "scripted_peer.h"

#include <mail/mail_socket.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kLoopback[] = "127.0.0.1";
const int kNoCategory = 0;

std::string Text(const DwString& s)
{
    return std::string(s.data(), s.length());
}

// A socket whose name lookups answer from a table instead of the network.
class LookupStandIn : public CMailSocket {
protected:
    int LookupHost(const char* host, std::vector<unsigned long>& addresses) override
    {
        if (strcmp(host, "mail.loopback.test") == 0) {
            addresses.push_back(inet_addr(kLoopback));
            return 0;
        }
        return WSAHOST_NOT_FOUND;
    }
};

TEST(MailSocket, FailuresGiveCodesCategoriesAndTexts)
{
    unsigned short closed = ClosedPort();
    struct Case {
        const char* what;
        const char* host;
        bool connectFirst;
        int code;
        const char* codeText;
        int category;
        const char* categoryText;
    } cases[] = {
        {"refused", kLoopback, false, 10061, "Connection refused", 8,
         "The connection was refused by the server"},
        {"unknown host", "nowhere.invalid", false, 11001, "Host not found", 3,
         "The server was not found"},
        {"named host, refused", "mail.loopback.test", false, 10061, "Connection refused", 8,
         "The connection was refused by the server"},
        {"empty host", "", false, CMailSocket::kErrBadParameter,
         "(ZQMail) bad parameter passed to function", kNoCategory, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LookupStandIn socket;
        EXPECT_EQ(socket.Connect(c.host, closed), -1);
        EXPECT_EQ(socket.ErrorCode(), c.code);
        EXPECT_STREQ(socket.ErrorText(), c.codeText);
        EXPECT_EQ(socket.ErrorCategory(), c.category);
        EXPECT_STREQ(socket.ErrorCategoryText(), c.categoryText);
        EXPECT_FALSE(socket.IsConnected());
    }
    LookupStandIn idle;
    EXPECT_EQ(idle.Send("x", 1), 0);
    EXPECT_EQ(idle.ErrorCode(), CMailSocket::kErrBadUsage);
    EXPECT_STREQ(CMailSocket::CodeText(10067), "");
    EXPECT_STREQ(CMailSocket::CodeText(12345), "Unknown error");
}

TEST(MailSocket, SecondConnectAndTimeOut)
{
    const int kOneSecond = 1;
    ScriptedPeer silent({PeerStep::Pause(3000)});
    CMailSocket socket;
    ASSERT_EQ(socket.Connect(kLoopback, silent.Port()), 0);
    EXPECT_EQ(socket.Connect(kLoopback, silent.Port()), -1);
    EXPECT_EQ(socket.ErrorCode(), CMailSocket::kErrBadUsage);
    ASSERT_EQ(socket.SetTimeout(kOneSecond), 0);
    char buffer[16];
    DWORD start = GetTickCount();
    EXPECT_EQ(socket.Receive(buffer, sizeof buffer), 0);
    EXPECT_EQ(socket.ErrorCode(), 10060);
    EXPECT_LT(GetTickCount() - start, 2900u) << "the receive ended at its time-out";
    EXPECT_EQ(socket.Close(), 0);

    struct Clamp {
        int seconds;
        DWORD ms;
    } clamps[] = {{0, 0}, {90, 90000}, {2147482, 2147482000u}, {3000000, 0x7FFFFFFF}};
    for (const Clamp& c : clamps)
        EXPECT_EQ(CMailSocket::ReceiveTimeoutMs(c.seconds), c.ms) << c.seconds;
}

TEST(SmtpClient, MultiLineReplySplitAcrossReceives)
{
    ScriptedPeer peer({PeerStep::Send("220 ready\r\n"), PeerStep::ReadLine(),
                       PeerStep::Send("250-first"), PeerStep::Pause(100),
                       PeerStep::Send("\r\n250 se"), PeerStep::Pause(100),
                       PeerStep::Send("cond\r\n")});
    CSmtpClient client;
    ASSERT_EQ(client.Connect(kLoopback, peer.Port()), CSmtpClient::kReplyReady);
    EXPECT_EQ(client.Hello(), CSmtpClient::kReplyOk);
    EXPECT_EQ(Text(client.ReplyText()), "250-first\r\n250 second\r\n");
    EXPECT_EQ(peer.Received().compare(0, 5, "HELO "), 0);
}

TEST(SmtpClient, MessageDataIsTransparent)
{
    const std::string kFullLine(1022, 'x');
    struct Case {
        const char* what;
        std::string data;
        std::string wire;
    } cases[] = {
        {"line-start dot", "a\r\n.b\r\n", "a\r\n..b\r\n.\r\n"},
        {"no final line end", "no end", "no end\r\n.\r\n"},
        {"empty", "", ".\r\n"},
        {"bare LF and CR", "bare\nlf\r.dot\r\n", "bare\r\nlf\r\n..dot\r\n.\r\n"},
        {"dot after a chunk", kFullLine + "\r\n.y", kFullLine + "\r\n..y\r\n.\r\n"},
        {"CR LF across a chunk", kFullLine + "z\r\n.", kFullLine + "z\r\n..\r\n.\r\n"},
        {"first byte a dot", ".\r\n", "..\r\n.\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptedPeer peer({PeerStep::Send("220 ready\r\n"), PeerStep::ReadData(),
                           PeerStep::Send("250 queued\r\n")});
        CSmtpClient client;
        ASSERT_EQ(client.Connect(kLoopback, peer.Port()), CSmtpClient::kReplyReady);
        EXPECT_EQ(client.SendData(c.data.data(), c.data.length()), CSmtpClient::kReplyOk);
        EXPECT_EQ(peer.Received(), c.wire);
    }
}

TEST(SmtpClient, EnvelopeCarriesOnlyTheAddressAndRefusesLineBreaks)
{
    ScriptedPeer peer({PeerStep::Send("220 ready\r\n"), PeerStep::ReadLine(),
                       PeerStep::Send("250 ok\r\n"), PeerStep::ReadLine(),
                       PeerStep::Send("250 ok\r\n")});
    CSmtpClient client;
    ASSERT_EQ(client.Connect(kLoopback, peer.Port()), CSmtpClient::kReplyReady);
    EXPECT_EQ(client.MailFrom("\"Ann Smith\" <ann@example.test>"), CSmtpClient::kReplyOk);
    const char* kInjections[] = {"a@b.test>\r\nRCPT TO:<evil@x.test", "a@b.test\n", "a@b\r"};
    for (const char* text : kInjections) {
        EXPECT_EQ(client.RcptTo(text), 0) << text;
        EXPECT_EQ(client.ErrorCode(), CMailSocket::kErrBadParameter);
    }
    EXPECT_EQ(client.RcptTo(DwString("a@b.test\0x", 10)), 0);
    EXPECT_EQ(client.RcptTo("Bob <bob@example.test>"), CSmtpClient::kReplyOk);
    EXPECT_EQ(peer.Received(), "MAIL FROM:<ann@example.test>\r\nRCPT TO:<bob@example.test>\r\n");
}

// Lines longer than the 8,192-byte buffer come in pieces; only a real line
// start is unstuffed or ends the data.
TEST(Pop3Client, LongLinesKeepTheirDots)
{
    const std::string kFillsBuffer(8192, 'a');
    const std::string kCrAtBufferEnd(8191, 'c');
    std::string lines = kCrAtBufferEnd + "\r\n" + kFillsBuffer + ".\r\n" + kFillsBuffer +
                        ".x\r\n..b\r\n";
    ScriptedPeer peer({PeerStep::Send("+OK ready\r\n"), PeerStep::ReadLine(),
                       PeerStep::Send("+OK message\r\n" + lines + ".\r\n")});
    CPop3Client client;
    ASSERT_EQ(client.Connect(kLoopback, peer.Port()), '+');
    ASSERT_EQ(client.Retr(7), '+');
    EXPECT_EQ(Text(client.Body()), kCrAtBufferEnd + "\r\n" + kFillsBuffer + ".\r\n" +
                                       kFillsBuffer + ".x\r\n.b\r\n");
    EXPECT_EQ(peer.Received(), "RETR 7\r\n");
}

TEST(Pop3Client, ClosedListingAndRefusedArguments)
{
    ScriptedPeer peer({PeerStep::Send("+OK ready\r\n"), PeerStep::ReadLine(),
                       PeerStep::Send("+OK 2 messages\r\n1 10\r\n")});
    CPop3Client client;
    ASSERT_EQ(client.Connect(kLoopback, peer.Port()), '+');
    EXPECT_EQ(client.User("ann\r\nDELE 1"), 0);
    EXPECT_EQ(client.ErrorCode(), CMailSocket::kErrBadParameter);
    EXPECT_EQ(client.List(), 0) << "the server closed in the middle of the listing";
    EXPECT_EQ(Text(client.Body()), "");
    EXPECT_EQ(peer.Received(), "LIST\r\n");
}

}  // namespace
