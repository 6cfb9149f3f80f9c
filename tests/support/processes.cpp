#include "processes.h"

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
    // Said here, so that every test whose program did not start shows why.
    auto cannot = [&](const char* what, DWORD error) {
        fprintf(stderr, "%s %s: system error %lu\n", what, commandLine.c_str(),
                (unsigned long)error);
        return FALSE;
    };
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    HANDLE childIn, childOut;
    if (!CreatePipe(&childIn, input, &inherit, 0))
        return cannot("no pipe for", GetLastError());
    if (!CreatePipe(output, &childOut, &inherit, 0)) {
        DWORD error = GetLastError();
        CloseHandle(childIn);
        CloseHandle(*input);
        return cannot("no pipe for", error);
    }
    SetHandleInformation(*input, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(*output, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = childIn;
    startup.hStdOutput = childOut;
    startup.hStdError = childOut;
    // Under a heavy load Wine now and then fails a start with 1359 (the new
    // process ended before its start-up was done). Such a start is tried
    // once more, and the test says so.
    BOOL started = FALSE;
    DWORD error = 0;
    for (int attempt = 1;; ++attempt) {
        std::string line = commandLine;
        started = CreateProcessA(NULL, &line[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                 process);
        error = GetLastError();
        if (started || error != ERROR_INTERNAL_ERROR || attempt == 2)
            break;
        fprintf(stderr, "starting %s again: the first start failed with system error %lu\n",
                commandLine.c_str(), (unsigned long)error);
        Sleep(100);
    }
    CloseHandle(childIn);
    CloseHandle(childOut);
    if (!started) {
        CloseHandle(*input);
        CloseHandle(*output);
        return cannot("cannot start", error);
    }
    return TRUE;
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

int RunProgram(const std::string& commandLine, std::string& output, DWORD timeoutMs)
{
    PROCESS_INFORMATION process;
    HANDLE input, pipe;
    output.clear();
    if (!StartWithPipes(commandLine, &process, &input, &pipe))
        return -2;
    return FinishProgram(process, input, pipe, output, timeoutMs);
}

int FinishProgram(PROCESS_INFORMATION& process, HANDLE input, HANDLE pipe, std::string& output,
                  DWORD timeoutMs)
{
    // Read while it runs, so that a full pipe never stalls it.
    DWORD start = GetTickCount();
    bool ended = false;
    for (;;) {
        DWORD available = 0;
        if (PeekNamedPipe(pipe, NULL, 0, NULL, &available, NULL) && available) {
            char buffer[4096];
            DWORD read = 0;
            if (ReadFile(pipe, buffer, available < sizeof buffer ? available : sizeof buffer, &read,
                         NULL))
                output.append(buffer, read);
            continue;
        }
        if (ended)
            break;
        ended = WaitForSingleObject(process.hProcess, 10) == WAIT_OBJECT_0;
        if (!ended && GetTickCount() - start > timeoutMs)
            break;
    }
    int result = -1;
    DWORD code;
    if (ended && GetExitCodeProcess(process.hProcess, &code)) {
        result = (int)code;
    } else {
        TerminateProcess(process.hProcess, 99);
        WaitForSingleObject(process.hProcess, 5000);
    }
    for (size_t at; (at = output.find("\r\n")) != std::string::npos;)
        output.erase(at, 1);
    CloseHandle(input);
    CloseHandle(pipe);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    process = PROCESS_INFORMATION();
    return result;
}

namespace {
BOOL WINAPI PassCtrlC(DWORD type)
{
    return type == CTRL_C_EVENT;
}
}  // namespace

void UseOwnConsole()
{
    static bool done = false;
    if (done)
        return;
    // Group 0 of a shared console (as a test runner's may be) reaches
    // programs this process did not start.
    FreeConsole();
    AllocConsole();
    // A handler, not the ignore flag: started programs would inherit that.
    SetConsoleCtrlHandler(PassCtrlC, TRUE);
    done = true;
}

BOOL SendCtrlC()
{
    // Only group 0 carries Ctrl+C: a new process group ignores it.
    return GenerateConsoleCtrlEvent(CTRL_C_EVENT, 0);
}
