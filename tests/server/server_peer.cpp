#include "server_peer.h"

#include <stdio.h>

std::string ProgramBesideMe(const char* name)
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(NULL, path, sizeof path);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of("\\/") + 1) + name;
}

BOOL StartWithPipes(const std::string& commandLine, PROCESS_INFORMATION* process, HANDLE* input,
                    HANDLE* output)
{
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE childIn, childOut;
    if (!CreatePipe(&childIn, input, &inherit, 0))
        return FALSE;
    if (!CreatePipe(output, &childOut, &inherit, 0)) {
        CloseHandle(childIn);
        CloseHandle(*input);
        return FALSE;
    }
    SetHandleInformation(*input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(*output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childOut;
    std::string line = commandLine;
    BOOL started = CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                  process);
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        CloseHandle(*input);
        CloseHandle(*output);
    }
    return started;
}

std::string ReadLineFrom(HANDLE output, std::string& pending, const std::string& prefix,
                         DWORD timeoutMs)
{
    DWORD start = GetTickCount();
    for (;;) {
        size_t end;
        while ((end = pending.find('\n')) != std::string::npos) {
            std::string line = pending.substr(0, end);
            pending.erase(0, end + 1);
            if (!line.empty() && line.back() == '\r')
                line.pop_back();
            if (line.compare(0, prefix.size(), prefix) == 0)
                return line;
        }
        if (GetTickCount() - start > timeoutMs)
            return std::string();
        DWORD available = 0;
        if (!PeekNamedPipe(output, NULL, 0, NULL, &available, NULL))
            return std::string();
        if (available == 0) {
            Sleep(10);
            continue;
        }
        char buffer[512];
        DWORD read = 0;
        if (!ReadFile(output, buffer, available < sizeof buffer ? available : sizeof buffer, &read,
                      NULL))
            return std::string();
        pending.append(buffer, read);
    }
}

ServerPeer::ServerPeer(const std::string& databasePath)
    : m_process(), m_input(NULL), m_output(NULL), m_ready(false)
{
    char endpoint[64];
    sprintf(endpoint, "\\pipe\\zqserver-test-%lu", GetCurrentProcessId());
    m_endpoint = endpoint;
    std::string commandLine = "\"" + ProgramBesideMe("rpc_test_server.exe") + "\" \"" +
                              databasePath + "\" " + m_endpoint;
    if (!StartWithPipes(commandLine, &m_process, &m_input, &m_output))
        return;
    m_ready = !WaitForLine("ready", 20000).empty();
}

ServerPeer::~ServerPeer()
{
    Stop();
}

DWORD ServerPeer::Stop()
{
    if (m_process.hProcess == NULL)
        return STILL_ACTIVE;
    Send("quit");
    DWORD code = STILL_ACTIVE;
    if (WaitForSingleObject(m_process.hProcess, 10000) == WAIT_OBJECT_0)
        GetExitCodeProcess(m_process.hProcess, &code);
    else
        TerminateProcess(m_process.hProcess, 1);
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
    CloseHandle(m_input);
    CloseHandle(m_output);
    m_process = PROCESS_INFORMATION();
    return code;
}

bool ServerPeer::Running() const
{
    return m_process.hProcess && WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT;
}

int ServerPeer::SessionCount()
{
    Send("count");
    std::string line = WaitForLine("sessions ", 10000);
    return line.empty() ? -1 : atoi(line.c_str() + 9);
}

std::string ServerPeer::WaitForLine(const std::string& prefix, DWORD timeoutMs)
{
    return ReadLineFrom(m_output, m_pending, prefix, timeoutMs);
}

void ServerPeer::Send(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(m_input, text.data(), (DWORD)text.size(), &written, NULL);
}
