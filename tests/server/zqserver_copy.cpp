#include "zqserver_copy.h"

#include <temp_path.h>

ZqserverCopy::ZqserverCopy()
    : folder(TempPath("zqserver")), exe(folder + "\\zqserver.exe"),
      m_location(DatabaseFile().c_str()), m_process(), m_input(NULL), m_output(NULL)
{
    CreateDirectoryA(folder.c_str(), NULL);
    copied = CopyFileA(ProgramBesideMe("zqserver.exe").c_str(), exe.c_str(), FALSE);
}

ZqserverCopy::~ZqserverCopy()
{
    Kill();
    DeleteFileA(DatabaseFile().c_str());
    RemoveDirectoryA(DatabaseFolder().c_str());
    DeleteFileA(DatabaseFolder().c_str());
    DeleteFileA(exe.c_str());
    RemoveDirectoryA(folder.c_str());
}

int ZqserverCopy::Run(const std::string& arguments, std::string& output, DWORD timeout) const
{
    return RunProgram("\"" + exe + "\"" + (arguments.empty() ? "" : " " + arguments), output,
                      timeout);
}

std::unique_ptr<CNeoDatabase> ZqserverCopy::OpenDatabase(BOOL create)
{
    if (create)
        CreateDirectoryA(DatabaseFolder().c_str(), NULL);
    std::unique_ptr<CNeoDatabase> database(new CNeoDatabase);
    database->setLocation(&m_location);
    database->open(0xC0000000, create);
    return database;
}

bool ZqserverCopy::StartDebug()
{
    // The console lets StopDebug end the server as a user does.
    UseOwnConsole();
    m_pending.clear();
    if (!StartWithPipes("\"" + exe + "\" -debug", &m_process, &m_input, &m_output))
        return false;
    return !ReadLineFrom(m_output, m_pending, "The Vantorel server was started.", 20000).empty();
}

void ZqserverCopy::Kill()
{
    if (!m_process.hProcess)
        return;
    TerminateProcess(m_process.hProcess, 99);
    std::string ignored;
    FinishProgram(m_process, m_input, m_output, ignored, 5000);
}

int ZqserverCopy::StopDebug(std::string& output)
{
    if (!m_process.hProcess)
        return -1;
    output = m_pending;
    if (!SendCtrlC()) {
        Kill();
        return -1;
    }
    return FinishProgram(m_process, m_input, m_output, output, 20000);
}
