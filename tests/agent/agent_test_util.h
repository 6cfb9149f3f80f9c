// Helpers of the agent tests: the child program that steps run, the capture
// files left in the temporary folder, and the stand-in server.
#ifndef TESTS_AGENT_AGENT_TEST_UTIL_H
#define TESTS_AGENT_AGENT_TEST_UTIL_H

#include <processes.h>

#include <windows.h>
#include <rpc.h>

#include <string>

// agent_child.exe beside the test, quoted, with its commands.
std::string ChildCommandLine(const std::string& commands);
std::string ChildPath();

// Capture files (AGT*.tmp) in the temporary folder now.
int CaptureFileCount();

// A binding to the local agent's pipe; the caller frees it.
handle_t BindAgent();

// standin_server.exe on an endpoint of its own: records the steps returned
// to it, and keeps their bytes as "<step ID>.step" in `stepFolder` when one
// is given.
class StandinServer
{
public:
    explicit StandinServer(const std::string& endpoint, const std::string& stepFolder = "");
    ~StandinServer();
    StandinServer(const StandinServer&) = delete;
    StandinServer& operator=(const StandinServer&) = delete;

    // Starts it (again) and waits (bounded) until it listens.
    bool Start();
    // Ends it at once, as a crash would.
    void Kill();
    void Send(const std::string& line);
    // Makes it refuse (or take) the steps posted from now on; false when it
    // did not confirm within `timeoutMs`.
    bool SetRefusing(bool refusing, DWORD timeoutMs = 5000);
    // The next line starting with `prefix`; empty after `timeoutMs`.
    std::string WaitForLine(const std::string& prefix, DWORD timeoutMs);
    // Lines "posted <id>" or "refused <id>" seen within `timeoutMs`, until
    // `count` of them have come.
    std::string Collect(int count, DWORD timeoutMs);

private:
    std::string m_endpoint;
    std::string m_stepFolder;
    PROCESS_INFORMATION m_process;
    HANDLE m_input;
    HANDLE m_output;
    std::string m_pending;
};

#endif
