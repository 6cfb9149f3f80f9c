// The POP3 client.
#include <mail/mail_socket.h>

#include <stdio.h>
#include <string.h>

CPop3Client::CPop3Client() : mCommand(new char[kCommandSize]), mStatus(0) {}

CPop3Client::~CPop3Client()
{
    if (IsConnected())
        Close();
    delete[] mCommand;
}

void CPop3Client::ReadStatus()
{
    DwString line;
    bool lineStart;
    mStatusLine = DwString();
    // A status line longer than the buffer is read whole.
    do {
        if (!mReader.ReadLine(*this, line, lineStart)) {
            mStatus = 0;
            return;
        }
        mStatusLine.append(line);
    } while (line.length() < 2 || line[line.length() - 1] != '\n');
    mStatus = (signed char)mStatusLine[0];
}

void CPop3Client::ReadMultiLine()
{
    mBody = DwString();
    DwString line;
    bool lineStart;
    for (;;) {
        if (!mReader.ReadLine(*this, line, lineStart)) {
            mStatus = 0;
            mBody = DwString();
            return;
        }
        if (lineStart && line.length() >= 3 && line[0] == '.' && line[1] == '\r' && line[2] == '\n')
            return;
        if (lineStart && line.length() >= 1 && line[0] == '.')
            mBody.append(line.data() + 1, line.length() - 1);
        else
            mBody.append(line);
    }
}

int CPop3Client::Command(const char* text, size_t length, bool multiLine)
{
    mStatus = 0;
    mStatusLine = DwString();
    mBody = DwString();
    if (text && (size_t)Send(text, (int)length) != length)
        return 0;
    ReadStatus();
    if (multiLine && mStatus == '+')
        ReadMultiLine();
    return mStatus;
}

int CPop3Client::Connect(const char* host, unsigned short port)
{
    mStatus = 0;
    mStatusLine = DwString();
    mBody = DwString();
    mReader.Reset();
    if (CMailSocket::Connect(host, port) != 0)
        return 0;
    return Command(NULL, 0, false);
}

int CPop3Client::ArgumentCommand(const char* verb, const DwString& argument)
{
    mStatus = 0;
    mStatusLine = DwString();
    mBody = DwString();
    if (RefuseUnsafeArgument(argument))
        return 0;
    size_t length = argument.length() < kMaxArgument ? argument.length() : kMaxArgument;
    int n = snprintf(mCommand, kCommandSize, "%s %.*s\r\n", verb, (int)length, argument.data());
    return Command(mCommand, (size_t)n, false);
}

int CPop3Client::User(const DwString& name)
{
    return ArgumentCommand("USER", name);
}

int CPop3Client::Pass(const DwString& password)
{
    return ArgumentCommand("PASS", password);
}

int CPop3Client::List()
{
    return Command("LIST\r\n", 6, true);
}

int CPop3Client::Retr(int number)
{
    int n = snprintf(mCommand, kCommandSize, "RETR %d\r\n", number);
    return Command(mCommand, (size_t)n, true);
}

int CPop3Client::Dele(int number)
{
    int n = snprintf(mCommand, kCommandSize, "DELE %d\r\n", number);
    return Command(mCommand, (size_t)n, false);
}

int CPop3Client::Quit()
{
    return Command("QUIT\r\n", 6, false);
}
