// Runs the test server program (rpc_test_server.exe) as a second process:
// it serves ServerInterface over a database file on an endpoint of this
// test process's own, and answers commands on its standard input.
#ifndef TESTS_SERVER_SERVER_PEER_H
#define TESTS_SERVER_SERVER_PEER_H

#include <windows.h>

#include <server/server_client.h>

#include "processes.h"

#include <string>

// Opens a session through the bound ServerInterface; NULL when it fails.
ServerInterfaceContext OpenClientSession();

class ServerPeer {
public:
    // Starts the server over the database file and waits (bounded) until it
    // listens; Ready() tells whether it did.
    explicit ServerPeer(const std::string& databasePath);
    // Asks the server to quit; ends it when it does not within a few seconds.
    ~ServerPeer();
    ServerPeer(const ServerPeer&) = delete;
    ServerPeer& operator=(const ServerPeer&) = delete;

    // Asks the server to quit and waits (bounded); its exit code, or
    // STILL_ACTIVE when it had to be ended.
    DWORD Stop();
    // Ends the server at once (TerminateProcess), as a crash would.
    void Kill();
    bool Ready() const { return m_ready; }
    const std::string& Endpoint() const { return m_endpoint; }
    bool Running() const;
    // Sessions the server holds open, or -1 when it does not answer.
    int SessionCount();

private:
    // The next line of the server's output that starts with `prefix`
    // (other lines are skipped); empty after `timeoutMs`.
    std::string WaitForLine(const std::string& prefix, DWORD timeoutMs);
    void Send(const std::string& line);
    // Closes the handles of the ended process.
    void Release();

    std::string m_endpoint;
    PROCESS_INFORMATION m_process;
    HANDLE m_input;
    HANDLE m_output;
    std::string m_pending;
    bool m_ready;
};

#endif
