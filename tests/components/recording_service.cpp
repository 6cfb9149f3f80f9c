// A service for the service tests. Its first start argument is a file into
// which it writes all of its start arguments joined by "|"; with the
// argument "stall" it answers a stop request with a pending status whose
// check point never advances, and stops only 15 s later.
#include <windows.h>

#include <string>

namespace {

const char kStall[] = "stall";
const DWORD kStallMs = 15000;

SERVICE_STATUS_HANDLE gStatusHandle;
HANDLE gStopRequested;
bool gStall;

void Report(DWORD state, DWORD waitHint = 0)
{
    SERVICE_STATUS status = {SERVICE_WIN32_OWN_PROCESS, state,
                             state == SERVICE_RUNNING ? DWORD(SERVICE_ACCEPT_STOP) : 0, 0, 0, 0,
                             waitHint};
    SetServiceStatus(gStatusHandle, &status);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*)
{
    if (control == SERVICE_CONTROL_STOP) {
        Report(SERVICE_STOP_PENDING);
        SetEvent(gStopRequested);
    }
    return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, char** argv)
{
    gStatusHandle = RegisterServiceCtrlHandlerExA(argv[0], Handler, nullptr);
    gStopRequested = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::string joined;
    for (DWORD i = 1; i < argc; ++i) {
        joined += (i > 1 ? "|" : "") + std::string(argv[i]);
        gStall = gStall || std::string(argv[i]) == kStall;
    }
    if (argc > 1) {
        HANDLE file = CreateFileA(argv[1], GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        DWORD written;
        WriteFile(file, joined.data(), DWORD(joined.size()), &written, nullptr);
        CloseHandle(file);
    }
    Report(SERVICE_RUNNING);
    WaitForSingleObject(gStopRequested, INFINITE);
    if (gStall)
        Sleep(kStallMs);
    Report(SERVICE_STOPPED);
}

}  // namespace

int main()
{
    SERVICE_TABLE_ENTRYA table[] = {{const_cast<char*>(""), ServiceMain}, {nullptr, nullptr}};
    return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
