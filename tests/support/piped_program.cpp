#include "piped_program.h"

#include "processes.h"

PipedProgram::PipedProgram(const std::string& path, const std::string& arguments)
    : m_commandLine("\"" + path + "\"" + (arguments.empty() ? "" : " " + arguments)),
      m_process(), m_input(NULL), m_output(NULL)
{
}

PipedProgram::~PipedProgram()
{
    Kill();
}

bool PipedProgram::Start(const std::string& startLine, DWORD timeoutMs)
{
    Kill();
    UseOwnConsole();
    m_pending.clear();
    if (!StartWithPipes(m_commandLine, &m_process, &m_input, &m_output))
        return false;
    return startLine.empty() || !WaitForLine(startLine, timeoutMs).empty();
}

std::string PipedProgram::WaitForLine(const std::string& prefix, DWORD timeoutMs)
{
    return ReadLineFrom(m_output, m_pending, prefix, timeoutMs);
}

void PipedProgram::Send(const std::string& line)
{
    std::string text = line + "\n";
    DWORD written = 0;
    WriteFile(m_input, text.data(), (DWORD)text.size(), &written, NULL);
}

void PipedProgram::Kill()
{
    if (!m_process.hProcess)
        return;
    TerminateProcess(m_process.hProcess, 99);
    std::string ignored;
    FinishProgram(m_process, m_input, m_output, ignored, 5000);
    m_process = PROCESS_INFORMATION();
}

int PipedProgram::Stop(std::string& output, DWORD timeoutMs)
{
    if (!m_process.hProcess)
        return -1;
    if (!SendCtrlC()) {
        Kill();
        return -1;
    }
    return Finish(output, timeoutMs);
}

int PipedProgram::Finish(std::string& output, DWORD timeoutMs)
{
    if (!m_process.hProcess)
        return -1;
    output = m_pending;
    int code = FinishProgram(m_process, m_input, m_output, output, timeoutMs);
    m_process = PROCESS_INFORMATION();
    return code;
}
