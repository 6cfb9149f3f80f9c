#include "services/service_manager.h"

#include <lmcons.h>
#include <stdio.h>
#include <string.h>

#include "services/registry.h"

namespace {

const DWORD kShortestPauseMs = 100;
const DWORD kLongestPauseMs = 10000;
const int kPollsWithoutProgress = 100;
const DWORD kConfigBytes = 4000;
const DWORD kDependentsBytes = 18432;
const DWORD kNameBytes = 8192;
const DWORD kEventTypesSupported = 0x1F;
const char kWindowsKey[] = "System\\CurrentControlSet\\Control\\Windows";
const char kServiceDependencies[] = "EventLog\0";

// The system's text for a code, in US English.
std::string SystemText(LONG code)
{
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, DWORD(code), MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                                  (char*)&message, 0, nullptr);
    std::string text = length && message ? message : "";
    if (message)
        LocalFree(message);
    return text;
}

std::string CurrentUserName()
{
    char name[UNLEN + 1];
    DWORD length = sizeof name;
    return GetUserNameA(name, &length) ? name : "";
}

std::string Text(const char* text) { return text ? text : ""; }

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
    UnlockDatabase();
    if (!manager_)
        return 1;
    BOOL closed = CloseServiceHandle(manager_);
    manager_ = nullptr;
    return closed ? 1 : Fail(GetLastError());
}

SC_HANDLE CServiceManager::OpenNamedService(const char* service, DWORD access,
                                            LONG nullNameCode)
{
    if (!service) {
        Fail(nullNameCode);
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

int CServiceManager::Control(const char* service, DWORD access, DWORD control, LONG nullNameCode)
{
    SC_HANDLE handle = OpenNamedService(service, access, nullNameCode);
    if (!handle)
        return 0;
    SERVICE_STATUS status;
    int result = ControlService(handle, control, &status) ? 1 : Fail(GetLastError());
    CloseServiceHandle(handle);
    return result;
}

int CServiceManager::Pause(const char* service)
{
    return Control(service, SERVICE_PAUSE_CONTINUE, SERVICE_CONTROL_PAUSE,
                   ERROR_INVALID_PARAMETER);
}

int CServiceManager::Continue(const char* service)
{
    return Control(service, SERVICE_PAUSE_CONTINUE, SERVICE_CONTROL_CONTINUE,
                   ERROR_INVALID_HANDLE);
}

int CServiceManager::EnumServices(DWORD state, DWORD type)
{
    if (!manager_)
        return Fail(ERROR_INVALID_HANDLE);
    services_.assign(2 * sizeof(ENUM_SERVICE_STATUSA), 0);
    serviceCount_ = nextService_ = 0;
    for (int attempt = 0; attempt < 2; ++attempt) {
        DWORD needed = 0, returned = 0, resume = 0;
        if (EnumServicesStatusA(manager_, type, state, (ENUM_SERVICE_STATUSA*)services_.data(),
                                DWORD(services_.size()), &needed, &returned, &resume)) {
            serviceCount_ = returned;
            return 1;
        }
        DWORD error = GetLastError();
        if (error != ERROR_MORE_DATA || attempt == 1)
            return Fail(error);
        services_.assign(services_.size() + needed, 0);
    }
    return 0;
}

int CServiceManager::GetNextService(ServiceStatusEntry& entry)
{
    if (nextService_ >= serviceCount_)
        return 0;
    const ENUM_SERVICE_STATUSA& found = ((const ENUM_SERVICE_STATUSA*)services_.data())[nextService_++];
    entry.name = Text(found.lpServiceName);
    entry.displayName = Text(found.lpDisplayName);
    entry.status = found.ServiceStatus;
    return 1;
}

int CServiceManager::QueryConfig(const char* service, ServiceConfig& config)
{
    config = ServiceConfig();
    SC_HANDLE handle = OpenNamedService(service, SERVICE_QUERY_CONFIG);
    if (!handle)
        return 0;
    std::vector<BYTE> buffer(kConfigBytes);
    QUERY_SERVICE_CONFIGA* read = (QUERY_SERVICE_CONFIGA*)buffer.data();
    DWORD needed = 0;
    BOOL done = QueryServiceConfigA(handle, read, kConfigBytes, &needed);
    int result = done ? 1 : Fail(GetLastError());
    CloseServiceHandle(handle);
    if (!done)
        return result;
    config.serviceType = read->dwServiceType;
    config.startType = read->dwStartType;
    config.errorControl = read->dwErrorControl;
    config.binaryPath = Text(read->lpBinaryPathName);
    config.loadOrderGroup = Text(read->lpLoadOrderGroup);
    config.tagId = read->dwTagId;
    for (const char* d = read->lpDependencies; d && *d; d += strlen(d) + 1)
        config.dependencies.push_back(d);
    config.startName = Text(read->lpServiceStartName);
    config.displayName = Text(read->lpDisplayName);
    return 1;
}

int CServiceManager::ChangeConfig(const char* service, DWORD startType, DWORD serviceType,
                                  DWORD errorControl, const char* binaryPath,
                                  const char* loadOrderGroup, const char* dependencies,
                                  const char* account, const char* password,
                                  const char* displayName)
{
    SC_HANDLE handle = OpenNamedService(service, SERVICE_ALL_ACCESS);
    if (!handle)
        return 0;
    int result = LockDatabase();
    if (result) {
        result = ChangeServiceConfigA(handle, serviceType, startType, errorControl, binaryPath,
                                      loadOrderGroup, nullptr, dependencies, account, password,
                                      displayName)
                     ? 1
                     : Fail(GetLastError());
        UnlockDatabase();
    }
    CloseServiceHandle(handle);
    return result;
}

int CServiceManager::EnumDependents(const char* service, std::vector<std::string>& names)
{
    names.clear();
    SC_HANDLE handle = OpenNamedService(service, SERVICE_ENUMERATE_DEPENDENTS);
    if (!handle)
        return 0;
    std::vector<BYTE> buffer(kDependentsBytes);
    ENUM_SERVICE_STATUSA* dependents = (ENUM_SERVICE_STATUSA*)buffer.data();
    DWORD needed = 0, returned = 0;
    int result = EnumDependentServicesA(handle, SERVICE_STATE_ALL, dependents, kDependentsBytes,
                                        &needed, &returned)
                     ? 1
                     : Fail(GetLastError());
    CloseServiceHandle(handle);
    for (DWORD i = 0; result && i < returned; ++i)
        names.push_back(Text(dependents[i].lpServiceName));
    return result;
}

int CServiceManager::LookUpName(NameLookup lookup, const char* name, std::string& found)
{
    found.clear();
    if (!name)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!manager_)
        return Fail(ERROR_INVALID_HANDLE);
    std::vector<char> buffer(kNameBytes);
    DWORD length = kNameBytes;
    if (!lookup(manager_, name, buffer.data(), &length))
        return Fail(GetLastError());
    found = buffer.data();
    return 1;
}

int CServiceManager::GetDisplayName(const char* service, std::string& displayName)
{
    return LookUpName(GetServiceDisplayNameA, service, displayName);
}

int CServiceManager::GetKeyName(const char* displayName, std::string& service)
{
    return LookUpName(GetServiceKeyNameA, displayName, service);
}

int CServiceManager::LockDatabase()
{
    if (!manager_)
        return Fail(ERROR_INVALID_HANDLE);
    UnlockDatabase();
    lock_ = LockServiceDatabase(manager_);
    return lock_ ? 1 : Fail(GetLastError());
}

int CServiceManager::UnlockDatabase()
{
    if (!lock_)
        return 1;
    BOOL unlocked = UnlockServiceDatabase(lock_);
    lock_ = nullptr;
    return unlocked ? 1 : Fail(GetLastError());
}

int CServiceManager::QueryLockStatus(std::string& owner, DWORD& seconds)
{
    owner.clear();
    seconds = 0;
    if (!manager_)
        return Fail(ERROR_INVALID_HANDLE);
    std::vector<BYTE> buffer(kNameBytes);
    QUERY_SERVICE_LOCK_STATUSA* status = (QUERY_SERVICE_LOCK_STATUSA*)buffer.data();
    DWORD needed = 0;
    if (!QueryServiceLockStatusA(manager_, status, kNameBytes, &needed))
        return Fail(GetLastError());
    if (!status->fIsLocked)
        return 0;
    owner = Text(status->lpLockOwner);
    seconds = status->dwLockDuration;
    return 1;
}

int CServiceManager::SetInteractiveServices(BOOL enable)
{
    CRegistry registry;
    bool written = registry.Connect(HKEY_LOCAL_MACHINE, machine_.c_str()) &&
                   registry.Open(kWindowsKey, KEY_ALL_ACCESS) &&
                   registry.SetDoubleWordValue("NoInteractiveServices", enable ? 0 : 1);
    return written ? 1 : Fail(registry.GetErrorCode());
}

int CServiceManager::Install(const char* service, const char* displayName, const char* binaryPath)
{
    if (!service || !displayName || !binaryPath)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!manager_)
        return Fail(ERROR_INVALID_HANDLE);
    CEventLog log;
    bool reporting = log.CreateApplicationLog(service, binaryPath, kEventTypesSupported) &&
                     log.RegisterSource(service);
    SC_HANDLE handle = CreateServiceA(manager_, service, displayName, SERVICE_ALL_ACCESS,
                                      SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                      SERVICE_ERROR_NORMAL, binaryPath, nullptr, nullptr,
                                      kServiceDependencies, nullptr, nullptr);
    if (!handle) {
        Fail(GetLastError());
        if (reporting) {
            char text[1024];
            snprintf(text, sizeof text, "Can't create service because %s at line %d of CSvcMgr",
                     SystemText(errorCode_).c_str(), 727);
            log.ReportError(text);
        }
        return 0;
    }
    CloseServiceHandle(handle);
    if (reporting)
        log.ReportInformation(("Service successfully installed by " + CurrentUserName()).c_str());
    return 1;
}

int CServiceManager::Remove(const char* service)
{
    if (!service)
        return Fail(ERROR_INVALID_PARAMETER);
    SC_HANDLE handle = OpenNamedService(service, SERVICE_ALL_ACCESS);
    if (!handle)
        return 0;
    CEventLog log(service);
    log.ReportInformation(("Service being removed by " + CurrentUserName()).c_str());
    BOOL deleted = DeleteService(handle);
    if (!deleted)
        Fail(GetLastError());
    CloseServiceHandle(handle);
    if (!deleted) {
        log.ReportError(("Can't delete service because " + SystemText(errorCode_)).c_str());
        return 0;
    }
    log.DeregisterEventSource();
    log.DeregisterSource(service);
    return 1;
}
