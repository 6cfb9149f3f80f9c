// The blocking TCP client, its error tables and the line reader.
#include <mail/mail_socket.h>

#include <stdlib.h>
#include <string.h>

namespace {

struct CodeTextRow {
    int code;
    const char* text;
};

const CodeTextRow kCodeTexts[] = {
    {0, "No error"},
    {10004, "Interrupted system call"},
    {10009, "Bad file number"},
    {10013, "Permission denied"},
    {10014, "Bad address"},
    {10022, "Invalid argument"},
    {10024, "Too many open files"},
    {10035, "Operation would block"},
    {10036, "Operation now in progress"},
    {10037, "Operation already in progress"},
    {10038, "Socket operation on nonsocket"},
    {10039, "Destination address required"},
    {10040, "Message to long"},
    {10041, "Protocol wrong type for socket"},
    {10042, "Bad protocol option"},
    {10043, "Protocol not supported"},
    {10044, "Socket type not supported"},
    {10045, "Operation not supported on socket"},
    {10046, "Protocol family not supported"},
    {10047, "Address family not supported by protocol family"},
    {10048, "Adress already in use"},
    {10049, "Cannot assign requested address"},
    {10050, "Network is down"},
    {10051, "Network is unreachable"},
    {10052, "Net dropped connection or reset"},
    {10053, "Software caused connection abort"},
    {10054, "Connection reset by peer"},
    {10055, "No buffer space available"},
    {10056, "Socket is already connected"},
    {10057, "Socket is not connected"},
    {10058, "Cannot send after socket is shutdown"},
    {10059, "Too many references, cannot splice"},
    {10060, "Connection timed out"},
    {10061, "Connection refused"},
    {10062, "Too many levels of symbolic links"},
    {10063, "File name too long"},
    {10064, "Host is down"},
    {10065, "No route to host"},
    {10066, "Directory not empty"},
    {10067, ""},
    {10068, "Too many users"},
    {10069, "Disk quota exceeded"},
    {10070, "Stale NFS file handle"},
    {10071, "Too many levels of remote in path"},
    {10091, "Network subsystem is unavailable"},
    {10092, "WINSOCK DLL version out of range"},
    {10093, "Successful WSASTARTUP not yet performed"},
    {11001, "Host not found"},
    {11002, "Nonauthoritative host not found"},
    {11003, "Nonrecoverable errors: FORMERR, REFUSED, NOTIMP"},
    {11004, "Valid name, no data record of requested type"},
    {16384, "Unknown error"},
    {16385, "(ZQMail) bad parameter passed to function"},
    {16386, "(ZQMail) bad library usage"},
    {16387, "(ZQMail) incompatible Winsock version"},
};

const char* const kCategoryTexts[] = {
    "",
    "A usable Winsock DLL could not be found",
    "The network is down",
    "The server was not found",
    "",
    "The network is unreachable",
    "The connection attempt to the server timed out",
    "The connection was dropped by the server",
    "The connection was refused by the server",
    "Cannot get required system resources",
};

// Which codes of which operation give which category.
struct CategoryRule {
    int category;
    int operation;  // 0: every operation but start-up
    int firstCode, lastCode;
};

const CategoryRule kCategoryRules[] = {
    {1, CMailSocket::kOpStartup, 10091, 10092},
    {1, CMailSocket::kOpStartup, CMailSocket::kErrBadVersion, CMailSocket::kErrBadVersion},
    {2, 0, 10050, 10050},
    {3, CMailSocket::kOpLookup, 11001, 11004},
    {5, CMailSocket::kOpConnect, 10051, 10051},
    {6, CMailSocket::kOpConnect, 10060, 10060},
    {7, CMailSocket::kOpTimeout, 10052, 10052},
    {7, CMailSocket::kOpSend, 10052, 10054},
    {7, CMailSocket::kOpReceive, 10052, 10054},
    {8, CMailSocket::kOpConnect, 10061, 10061},
    {9, CMailSocket::kOpSocket, 10024, 10024},
    {9, CMailSocket::kOpSocket, 10055, 10055},
};

const int kMaxTimeoutSeconds = 2147483;
const DWORD kLongestTimeoutMs = 0x7FFFFFFF;

// Four decimal numbers of 0 to 255 joined by dots.
bool IsDotted(const char* host, unsigned long& address)
{
    int parts = 0;
    const char* p = host;
    while (parts < 4) {
        if (*p < '0' || *p > '9')
            return false;
        int value = 0, digits = 0;
        while (*p >= '0' && *p <= '9' && digits < 4) {
            value = value * 10 + (*p++ - '0');
            ++digits;
        }
        if (value > 255 || digits > 3)
            return false;
        ++parts;
        if (parts < 4 && *p++ != '.')
            return false;
    }
    if (*p)
        return false;
    address = inet_addr(host);
    return true;
}

}  // namespace

const char* CMailSocket::CodeText(int code)
{
    for (const CodeTextRow& row : kCodeTexts)
        if (row.code == code)
            return row.text;
    return "Unknown error";
}

const char* CMailSocket::CategoryText(int category)
{
    int count = (int)(sizeof kCategoryTexts / sizeof kCategoryTexts[0]);
    return category >= 0 && category < count ? kCategoryTexts[category] : "";
}

CMailSocket::CMailSocket()
    : mInitialized(false), mConnected(false), mSocket(INVALID_SOCKET), mPort(0), mHost(NULL),
      mTimeoutSeconds(kDefaultTimeoutSeconds), mCategory(0), mCode(0)
{
    WSADATA data;
    int result = WSAStartup(MAKEWORD(1, 1), &data);
    if (result != 0)
        OnError(result, kOpStartup);
    else if (data.wVersion != MAKEWORD(1, 1)) {
        WSACleanup();
        OnError(kErrBadVersion, kOpStartup);
    } else
        mInitialized = true;
}

CMailSocket::~CMailSocket()
{
    if (mConnected)
        Close();
    free(mHost);
    if (mInitialized)
        WSACleanup();
}

void CMailSocket::ResetError()
{
    mCategory = 0;
    mCode = 0;
}

void CMailSocket::OnError(int code, int operation)
{
    mCode = code;
    for (const CategoryRule& rule : kCategoryRules) {
        bool operationMatches = rule.operation == operation ||
                                (rule.operation == 0 && operation != kOpStartup);
        if (operationMatches && code >= rule.firstCode && code <= rule.lastCode) {
            mCategory = rule.category;
            return;
        }
    }
}

bool CMailSocket::RefuseUnsafeArgument(const DwString& argument)
{
    if (argument.find_first_of("\r\n") == DwString::npos && argument.find('\0') == DwString::npos)
        return false;
    ResetError();
    OnError(kErrBadParameter, kOpSend);
    return true;
}

int CMailSocket::LookupHost(const char* host, std::vector<unsigned long>& addresses)
{
    struct hostent* entry = gethostbyname(host);
    if (!entry)
        return WSAGetLastError();
    for (char** a = entry->h_addr_list; a && *a; ++a) {
        unsigned long address;
        memcpy(&address, *a, sizeof address);
        addresses.push_back(address);
    }
    return 0;
}

DWORD CMailSocket::ReceiveTimeoutMs(int seconds)
{
    return seconds < kMaxTimeoutSeconds ? (DWORD)seconds * 1000 : kLongestTimeoutMs;
}

int CMailSocket::ApplyTimeout()
{
    DWORD ms = ReceiveTimeoutMs(mTimeoutSeconds);
    if (setsockopt(mSocket, SOL_SOCKET, SO_RCVTIMEO, (const char*)&ms, sizeof ms) != 0) {
        OnError(WSAGetLastError(), kOpTimeout);
        return -1;
    }
    return 0;
}

int CMailSocket::Connect(const char* host, unsigned short port)
{
    ResetError();
    if (!mInitialized || mConnected) {
        OnError(kErrBadUsage, kOpConnect);
        return -1;
    }
    if (!host || !*host) {
        OnError(kErrBadParameter, kOpConnect);
        return -1;
    }
    free(mHost);
    mHost = strdup(host);
    mPort = port;
    mSocket = socket(AF_INET, SOCK_STREAM, 0);
    if (mSocket == INVALID_SOCKET) {
        OnError(WSAGetLastError(), kOpSocket);
        return -1;
    }
    if (ApplyTimeout() != 0) {
        closesocket(mSocket);
        mSocket = INVALID_SOCKET;
        return -1;
    }
    std::vector<unsigned long> addresses;
    unsigned long dotted;
    if (IsDotted(host, dotted)) {
        addresses.push_back(dotted);
    } else if (int failure = LookupHost(host, addresses)) {
        closesocket(mSocket);
        mSocket = INVALID_SOCKET;
        OnError(failure, kOpLookup);
        return -1;
    }
    int lastError = WSAEHOSTUNREACH;
    for (unsigned long address : addresses) {
        sockaddr_in to;
        memset(&to, 0, sizeof to);
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        to.sin_addr.s_addr = address;
        if (connect(mSocket, (sockaddr*)&to, sizeof to) == 0) {
            mConnected = true;
            return 0;
        }
        lastError = WSAGetLastError();
    }
    closesocket(mSocket);
    mSocket = INVALID_SOCKET;
    OnError(lastError, kOpConnect);
    return -1;
}

int CMailSocket::Close()
{
    ResetError();
    if (!mInitialized || !mConnected) {
        OnError(kErrBadUsage, kOpClose);
        return -1;
    }
    if (closesocket(mSocket) != 0) {
        OnError(WSAGetLastError(), kOpClose);
        return -1;
    }
    mSocket = INVALID_SOCKET;
    mConnected = false;
    return 0;
}

int CMailSocket::Send(const char* bytes, int length)
{
    ResetError();
    if (!mInitialized || !mConnected) {
        OnError(kErrBadUsage, kOpSend);
        return 0;
    }
    int sent = 0;
    while (sent < length) {
        int n = send(mSocket, bytes + sent, length - sent, 0);
        if (n == SOCKET_ERROR) {
            OnError(WSAGetLastError(), kOpSend);
            return sent;
        }
        sent += n;
    }
    return sent;
}

int CMailSocket::Receive(char* buffer, int size)
{
    ResetError();
    if (!mInitialized || !mConnected) {
        OnError(kErrBadUsage, kOpReceive);
        return 0;
    }
    int n = recv(mSocket, buffer, size, 0);
    if (n == SOCKET_ERROR) {
        OnError(WSAGetLastError(), kOpReceive);
        return 0;
    }
    return n;
}

int CMailSocket::SetTimeout(int seconds)
{
    mTimeoutSeconds = seconds;
    return mConnected ? ApplyTimeout() : 0;
}

// ---- CMailLineReader ----

CMailLineReader::CMailLineReader() : mBuffer(new char[kBufferSize]), mHeld(0), mPos(0), mMidLine(false)
{
}

CMailLineReader::~CMailLineReader()
{
    delete[] mBuffer;
}

void CMailLineReader::Reset()
{
    mHeld = mPos = 0;
    mMidLine = false;
}

bool CMailLineReader::ReadLine(CMailSocket& socket, DwString& line, bool& lineStart)
{
    size_t searched = mPos;
    for (;;) {
        // A CR at the end of the held bytes pairs with an LF still to come.
        for (size_t i = searched; i + 1 < mHeld; ++i) {
            const char* cr = (const char*)memchr(mBuffer + i, '\r', mHeld - 1 - i);
            if (!cr)
                break;
            i = cr - mBuffer;
            if (mBuffer[i + 1] == '\n') {
                line.assign(mBuffer + mPos, i + 2 - mPos);
                lineStart = !mMidLine;
                mMidLine = false;
                mPos = i + 2;
                return true;
            }
        }
        if (mPos == 0 && mHeld == kBufferSize) {
            // A full buffer without a line end is one piece; a last CR stays
            // to pair with its LF.
            size_t take = mBuffer[mHeld - 1] == '\r' ? mHeld - 1 : mHeld;
            line.assign(mBuffer, take);
            lineStart = !mMidLine;
            mMidLine = true;
            mPos = take;
            return true;
        }
        memmove(mBuffer, mBuffer + mPos, mHeld - mPos);
        mHeld -= mPos;
        mPos = 0;
        searched = mHeld > 0 ? mHeld - 1 : 0;
        int n = socket.Receive(mBuffer + mHeld, (int)(kBufferSize - mHeld));
        if (n <= 0)
            return false;
        mHeld += (size_t)n;
    }
}
