#include "agent_test_util.h"

#include <agent/agent_rpc.h>

std::string ChildPath()
{
    return ProgramBesideMe("agent_child.exe");
}

std::string ChildCommandLine(const std::string& commands)
{
    return "\"" + ChildPath() + "\" " + commands;
}

handle_t BindAgent()
{
    RPC_CSTR text = NULL;
    handle_t binding = NULL;
    RpcStringBindingComposeA(NULL, (RPC_CSTR) "ncacn_np", NULL, (RPC_CSTR)AGENT_PIPE_ENDPOINT, NULL,
                             &text);
    RpcBindingFromStringBindingA(text, &binding);
    RpcStringFreeA(&text);
    return binding;
}

int CaptureFileCount()
{
    char folder[MAX_PATH + 1] = "";
    GetTempPathA(MAX_PATH, folder);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((std::string(folder) + "AGT*.tmp").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE)
        return 0;
    int count = 0;
    do {
        ++count;
    } while (FindNextFileA(search, &found));
    FindClose(search);
    return count;
}

StandinServer::StandinServer(const std::string& endpoint, const std::string& stepFolder)
    : m_endpoint(endpoint), m_stepFolder(stepFolder), m_process(), m_input(NULL), m_output(NULL)
{
}

StandinServer::~StandinServer()
{
    Kill();
}

bool StandinServer::Start()
{
    Kill();
    m_pending.clear();
    std::string commandLine = "\"" + ProgramBesideMe("standin_server.exe") + "\" " + m_endpoint;
    if (!m_stepFolder.empty())
        commandLine += " \"" + m_stepFolder + "\"";
    if (!StartWithPipes(commandLine, &m_process, &m_input, &m_output))
        return false;
    return !WaitForLine("ready", 20000).empty();
}

void StandinServer::Kill()
{
    if (!m_process.hProcess)
        return;
    TerminateProcess(m_process.hProcess, 1);
    std::string ignored;
    FinishProgram(m_process, m_input, m_output, ignored, 5000);
    m_process = PROCESS_INFORMATION();
}

void StandinServer::Send(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(m_input, text.data(), (DWORD)text.size(), &written, NULL);
}

bool StandinServer::SetRefusing(bool refusing, DWORD timeoutMs)
{
    Send(refusing ? "refuse" : "accept");
    return !WaitForLine(refusing ? "refusing" : "accepting", timeoutMs).empty();
}

std::string StandinServer::WaitForLine(const std::string& prefix, DWORD timeoutMs)
{
    return ReadLineFrom(m_output, m_pending, prefix, timeoutMs);
}

std::string StandinServer::Collect(int count, DWORD timeoutMs)
{
    std::string lines;
    DWORD end = GetTickCount() + timeoutMs;
    for (int seen = 0; seen < count;) {
        DWORD now = GetTickCount();
        if ((LONG)(end - now) <= 0)
            break;
        std::string line = ReadLineFrom(m_output, m_pending, "", end - now);
        if (line.empty())
            break;
        if (line.rfind("posted ", 0) == 0 || line.rfind("refused ", 0) == 0) {
            lines += line + "\n";
            ++seen;
        }
    }
    return lines;
}
