#include "zqserver_copy.h"

#include <temp_path.h>

ZqserverCopy::ZqserverCopy()
    : folder(TempPath("zqserver")), exe(folder + "\\zqserver.exe"),
      m_location(DatabaseFile().c_str()), m_debug(exe, "-debug")
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
    return m_debug.Start(kServerStartedLine);
}

void ZqserverCopy::Kill()
{
    m_debug.Kill();
}

int ZqserverCopy::StopDebug(std::string& output)
{
    return m_debug.Stop(output);
}

int ZqserverCopy::FinishDebug(std::string& output)
{
    return m_debug.Finish(output);
}
