#include "scripted_peer.h"

namespace {

const int kPeerWaitMs = 20000;

struct WinsockUser {
    WinsockUser()
    {
        WSADATA data;
        WSAStartup(MAKEWORD(2, 2), &data);
    }
};
const WinsockUser kWinsock;

SOCKET Listen(unsigned short& port)
{
    SOCKET s = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in at = {};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    bind(s, (sockaddr*)&at, sizeof at);
    listen(s, 1);
    int length = sizeof at;
    getsockname(s, (sockaddr*)&at, &length);
    port = ntohs(at.sin_port);
    return s;
}

bool EndsWith(const std::string& s, size_t from, const char* end)
{
    std::string tail = s.substr(from);
    size_t n = strlen(end);
    return tail.length() >= n && tail.compare(tail.length() - n, n, end) == 0;
}

}  // namespace

unsigned short ClosedPort()
{
    unsigned short port;
    closesocket(Listen(port));
    return port;
}

ScriptedPeer::ScriptedPeer(const std::vector<PeerStep>& steps) : mSteps(steps)
{
    mListener = Listen(mPort);
    mThread = CreateThread(NULL, 0, Serve, this, 0, NULL);
}

ScriptedPeer::~ScriptedPeer()
{
    Received();
}

std::string ScriptedPeer::Received()
{
    if (mThread) {
        WaitForSingleObject(mThread, kPeerWaitMs);
        CloseHandle(mThread);
        mThread = NULL;
        closesocket(mListener);
    }
    return mReceived;
}

DWORD WINAPI ScriptedPeer::Serve(void* self)
{
    ScriptedPeer& peer = *(ScriptedPeer*)self;
    SOCKET s = accept(peer.mListener, NULL, NULL);
    if (s == INVALID_SOCKET)
        return 0;
    BOOL noDelay = TRUE;
    setsockopt(s, IPPROTO_TCP, TCP_NODELAY, (const char*)&noDelay, sizeof noDelay);
    DWORD timeout = kPeerWaitMs;
    setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, (const char*)&timeout, sizeof timeout);
    for (const PeerStep& step : peer.mSteps) {
        if (step.kind == PeerStep::kSend) {
            send(s, step.bytes.data(), (int)step.bytes.length(), 0);
        } else if (step.kind == PeerStep::kPause) {
            Sleep(step.ms);
        } else {
            size_t from = peer.mReceived.length();
            for (;;) {
                bool done = step.kind == PeerStep::kReadLine
                                ? EndsWith(peer.mReceived, from, "\r\n")
                                : peer.mReceived.substr(from) == ".\r\n" ||
                                      EndsWith(peer.mReceived, from, "\r\n.\r\n");
                if (done)
                    break;
                char buffer[4096];
                int n = recv(s, buffer, sizeof buffer, 0);
                if (n <= 0)
                    break;
                peer.mReceived.append(buffer, n);
            }
        }
    }
    closesocket(s);
    return 0;
}
