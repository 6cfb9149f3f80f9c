// CServiceManager: the service control manager of one machine, as used by
// ZQServices.dll.
//
// RESULTS
// - Every operation returns 1 on success and 0 on failure; GetErrorCode then
//   gives the Win32 code of the failed call, or 87 for a missing name and 6
//   when the manager is not open (Continue: 6 for a missing name too).
// - Stop waits until the service reports stopped. Each pause between status
//   queries is the service's wait hint held to 100 ms .. 10 s; the wait gives
//   up with 1053 (the service did not answer in time) after 100 queries
//   without check-point progress, or after kStopWaitLimitMs in all.
// - EnumServices keeps the list it read; GetNextService walks it.
// - Install registers the service as an event source of the Application log
//   (its binary as message file) and reports there who installed it; Remove
//   reports who removed it and deregisters the source.
//
// THREADS
// - One object is used by one thread at a time; it takes no lock.
#ifndef SERVICES_SERVICE_MANAGER_H
#define SERVICES_SERVICE_MANAGER_H

#include <windows.h>

#include <string>
#include <vector>

// One service of an enumeration.
struct ServiceStatusEntry {
    std::string name;
    std::string displayName;
    SERVICE_STATUS status = {};
};

// A service's configuration as QueryConfig reads it.
struct ServiceConfig {
    DWORD serviceType = 0;
    DWORD startType = 0;
    DWORD errorControl = 0;
    std::string binaryPath;
    std::string loadOrderGroup;
    DWORD tagId = 0;
    std::vector<std::string> dependencies;
    std::string startName;
    std::string displayName;
};

class CServiceManager {
public:
    static const DWORD kStopWaitLimitMs = 120000;

    CServiceManager() = default;
    virtual ~CServiceManager();
    CServiceManager(const CServiceManager&) = delete;
    CServiceManager& operator=(const CServiceManager&) = delete;

    // Opens the manager (closing an open one first); null names are the
    // local machine and its active database.
    virtual int Open(DWORD access, const char* database = nullptr, const char* machine = nullptr);
    // Unlocks the database and closes the manager.
    virtual int Close();
    // Starts a service with `count` arguments.
    virtual int Start(const char* service, DWORD count, const char** arguments);
    // Asks a service to stop and waits until it has stopped.
    virtual int Stop(const char* service);
    // Pause and continue requests, without waiting.
    virtual int Pause(const char* service);
    virtual int Continue(const char* service);
    // Reads the services of `type` in `state`; GetNextService then gives
    // them one by one (0 after the last).
    virtual int EnumServices(DWORD state = SERVICE_STATE_ALL, DWORD type = SERVICE_WIN32);
    virtual int GetNextService(ServiceStatusEntry& entry);
    virtual int QueryConfig(const char* service, ServiceConfig& config);
    // Null texts and SERVICE_NO_CHANGE leave a setting as it is.
    virtual int ChangeConfig(const char* service, DWORD startType, DWORD serviceType,
                             DWORD errorControl, const char* binaryPath,
                             const char* loadOrderGroup, const char* dependencies,
                             const char* account, const char* password,
                             const char* displayName);
    // The names of the services that depend on `service`.
    virtual int EnumDependents(const char* service, std::vector<std::string>& names);
    virtual int GetDisplayName(const char* service, std::string& displayName);
    virtual int GetKeyName(const char* displayName, std::string& service);
    virtual int LockDatabase();
    // 1 when no lock is held; the lock is forgotten even when unlocking fails.
    virtual int UnlockDatabase();
    // 1 only when the database is locked: its owner and the seconds held.
    virtual int QueryLockStatus(std::string& owner, DWORD& seconds);
    // Writes "NoInteractiveServices" of the manager's machine.
    virtual int SetInteractiveServices(BOOL enable);
    // A demand-start service of its own process, running as LocalSystem and
    // depending on "EventLog".
    virtual int Install(const char* service, const char* displayName, const char* binaryPath);
    virtual int Remove(const char* service);
    virtual LONG GetErrorCode() const { return errorCode_; }
    virtual SC_HANDLE GetHandle() const { return manager_; }

private:
    // Opens a service of the open manager; 0 with the error code set.
    SC_HANDLE OpenNamedService(const char* service, DWORD access,
                               LONG nullNameCode = ERROR_INVALID_PARAMETER);
    int Fail(LONG code);
    int WaitForStop(SC_HANDLE service, SERVICE_STATUS status);
    int Control(const char* service, DWORD access, DWORD control, LONG nullNameCode);
    // A name the manager maps to another (display name, key name).
    using NameLookup = BOOL(WINAPI*)(SC_HANDLE, LPCSTR, LPSTR, LPDWORD);
    int LookUpName(NameLookup lookup, const char* name, std::string& found);

    SC_HANDLE manager_ = nullptr;
    SC_LOCK lock_ = nullptr;
    std::vector<BYTE> services_;
    DWORD nextService_ = 0;
    LONG errorCode_ = 0;
    DWORD serviceCount_ = 0;
    std::string machine_;
};

#endif
