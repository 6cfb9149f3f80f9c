#include "server_peer.h"

#include <seguard/seguard.h>

#include <stdio.h>

ServerInterfaceContext OpenClientSession()
{
    ServerInterfaceContext context = NULL;
    RpcBlob empty = {0, NULL};
    LONG status = -1;
    if (Guarded([&] { OpenSession(&context, &empty, &status); }) != 0 || status != 0)
        return NULL;
    return context;
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
    Release();
    return code;
}

void ServerPeer::Kill()
{
    if (m_process.hProcess == NULL)
        return;
    TerminateProcess(m_process.hProcess, 1);
    WaitForSingleObject(m_process.hProcess, 10000);
    Release();
}

void ServerPeer::Release()
{
    CloseHandle(m_process.hProcess);
    CloseHandle(m_process.hThread);
    CloseHandle(m_input);
    CloseHandle(m_output);
    m_process = PROCESS_INFORMATION();
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
