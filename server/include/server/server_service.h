// ServerService: the zqserver service. Start-up checks the logon account's
// privileges and opens the server database; the worker loop runs the
// database's idle chores until the stop.
#ifndef SERVER_SERVER_SERVICE_H
#define SERVER_SERVER_SERVICE_H

#include <server/server_app.h>
#include <server/service_shell.h>

// Set at the end of the server's stop (and at system shutdown): the worker
// loop watches it, and then closes the database. Manual-reset.
HANDLE ServerStopEvent();

class ServerService : public ServiceShell {
public:
    explicit ServerService(ServerApp& app);

    virtual BOOL OnInit();
    virtual void OnStop();
    // At system shutdown: commits the database and ends the worker.
    virtual void SaveBeforeShutdown();

    // 1 when the process token lists "SeTcbPrivilege" and
    // "SeAssignPrimaryTokenPrivilege"; else 0 with an error entry.
    BOOL CheckPrivileges();

    static unsigned __stdcall WorkerLoop(void* argument);
    // The remote-procedure listener's database thread: serves
    // ServerInterface until the stop sequence ends it.
    static UINT RpcListenerThread(void* data);

    static const ServiceConstants kConstants;
    // Period of the idle chores.
    static const DWORD kIdlePeriod = 2000;

private:
    unsigned RunWorker();
    void Commit();
    void StopListenerThread();

    ServerApp& m_app;
    CNeoThreadMFC* m_listener;
};

#endif
