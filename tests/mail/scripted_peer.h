// A peer on 127.0.0.1 inside the test program: it serves one connection from
// a script and records every byte it received, for what real servers will
// not do (replies split across receives, lines longer than a client's
// buffer, silence).
#ifndef TESTS_MAIL_SCRIPTED_PEER_H
#define TESTS_MAIL_SCRIPTED_PEER_H

#include <winsock2.h>

#include <string>
#include <vector>

struct PeerStep {
    enum Kind { kSend, kReadLine, kReadData, kPause };
    Kind kind;
    std::string bytes;  // kSend
    int ms;             // kPause

    static PeerStep Send(const std::string& bytes) { return {kSend, bytes, 0}; }
    // Reads through the next CR LF.
    static PeerStep ReadLine() { return {kReadLine, "", 0}; }
    // Reads message data through its end marker.
    static PeerStep ReadData() { return {kReadData, "", 0}; }
    static PeerStep Pause(int ms) { return {kPause, "", ms}; }
};

class ScriptedPeer {
public:
    explicit ScriptedPeer(const std::vector<PeerStep>& steps);
    ~ScriptedPeer();
    unsigned short Port() const { return mPort; }
    // Waits for the script's end; every byte received.
    std::string Received();

private:
    std::vector<PeerStep> mSteps;
    SOCKET mListener;
    unsigned short mPort;
    HANDLE mThread;
    std::string mReceived;

    static DWORD WINAPI Serve(void* self);
};

// A port on 127.0.0.1 where nothing listens.
unsigned short ClosedPort();

#endif
