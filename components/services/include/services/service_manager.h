// CServiceManager: the service control manager of one machine, as used by
// ZQServices.dll.
//
// RESULTS
// - Every operation returns 1 on success and 0 on failure; GetErrorCode then
//   gives the Win32 code of the failed call, or 87 for a missing name and 6
//   when the manager is not open.
// - Stop waits until the service reports stopped. Each pause between status
//   queries is the service's wait hint held to 100 ms .. 10 s; the wait gives
//   up with 1053 (the service did not answer in time) after 100 queries
//   without check-point progress, or after kStopWaitLimitMs in all.
//
// THREADS
// - One object is used by one thread at a time; it takes no lock.
#ifndef SERVICES_SERVICE_MANAGER_H
#define SERVICES_SERVICE_MANAGER_H

#include <windows.h>

#include <string>

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
    virtual int Close();
    // Starts a service with `count` arguments.
    virtual int Start(const char* service, DWORD count, const char** arguments);
    // Asks a service to stop and waits until it has stopped.
    virtual int Stop(const char* service);
    virtual LONG GetErrorCode() const { return errorCode_; }
    virtual SC_HANDLE GetHandle() const { return manager_; }

private:
    // Opens a service of the open manager; 0 with the error code set.
    SC_HANDLE OpenNamedService(const char* service, DWORD access);
    int Fail(LONG code);
    int WaitForStop(SC_HANDLE service, SERVICE_STATUS status);

    SC_HANDLE manager_ = nullptr;
    LONG errorCode_ = 0;
    std::string machine_;
};

#endif
