#include "services/service_manager.h"

namespace {

const DWORD kShortestPauseMs = 100;
const DWORD kLongestPauseMs = 10000;
const int kPollsWithoutProgress = 100;

}  // namespace

CServiceManager::~CServiceManager() { Close(); }

int CServiceManager::Fail(LONG code)
{
    errorCode_ = code;
    return 0;
}

int CServiceManager::Open(DWORD access, const char* database, const char* machine)
{
    if (manager_)
        Close();
    manager_ = OpenSCManagerA(machine, database, access);
    if (!manager_)
        return Fail(GetLastError());
    machine_ = machine ? machine : "";
    return 1;
}

int CServiceManager::Close()
{
    if (!manager_)
        return 1;
    BOOL closed = CloseServiceHandle(manager_);
    manager_ = nullptr;
    return closed ? 1 : Fail(GetLastError());
}

SC_HANDLE CServiceManager::OpenNamedService(const char* service, DWORD access)
{
    if (!service) {
        Fail(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!manager_) {
        Fail(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    SC_HANDLE handle = ::OpenServiceA(manager_, service, access);
    if (!handle)
        Fail(GetLastError());
    return handle;
}

int CServiceManager::Start(const char* service, DWORD count, const char** arguments)
{
    SC_HANDLE handle = OpenNamedService(service, SERVICE_START);
    if (!handle)
        return 0;
    int result = StartServiceA(handle, count, arguments) ? 1 : Fail(GetLastError());
    CloseServiceHandle(handle);
    return result;
}

int CServiceManager::Stop(const char* service)
{
    SC_HANDLE handle = OpenNamedService(service, SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!handle)
        return 0;
    SERVICE_STATUS status;
    int result = ControlService(handle, SERVICE_CONTROL_STOP, &status)
                     ? WaitForStop(handle, status)
                     : Fail(GetLastError());
    CloseServiceHandle(handle);
    return result;
}

int CServiceManager::WaitForStop(SC_HANDLE service, SERVICE_STATUS status)
{
    DWORD started = GetTickCount();
    DWORD checkPoint = status.dwCheckPoint;
    int pollsWithoutProgress = 0;
    while (status.dwCurrentState != SERVICE_STOPPED) {
        DWORD pause = status.dwWaitHint;
        if (pause < kShortestPauseMs)
            pause = kShortestPauseMs;
        if (pause > kLongestPauseMs)
            pause = kLongestPauseMs;
        if (GetTickCount() - started + pause > kStopWaitLimitMs)
            return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
        Sleep(pause);
        if (!QueryServiceStatus(service, &status))
            return Fail(GetLastError());
        if (status.dwCheckPoint > checkPoint) {
            checkPoint = status.dwCheckPoint;
            pollsWithoutProgress = 0;
        } else if (++pollsWithoutProgress >= kPollsWithoutProgress) {
            return Fail(ERROR_SERVICE_REQUEST_TIMEOUT);
        }
    }
    return 1;
}
