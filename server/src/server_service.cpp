#include <server/server_service.h>

#include <server/account_rights.h>
#include <server/agent_list.h>
#include <server/agent_updates.h>
#include <server/client_notify.h>
#include <server/rpc_listener.h>
#include <server/step_queue.h>
#include <server/thread_mediator.h>

const ServiceConstants ServerService::kConstants = {
    "zqserver",
    "Vantorel Server",
    "zqagent",
    "The Vantorel server was started.",
    "The Vantorel server is shutting down.",
    "The Vantorel server was stopped.",
};

HANDLE ServerStopEvent()
{
    static HANDLE stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    return stopEvent;
}

namespace {
// Where agents announce themselves to this machine.
const char* const kAnnouncementSlot = "\\\\.\\mailslot\\remote\\zqbrowser1";

// Ends the listener thread at the start of the stop sequence. The worker
// loop closes the database once it sees ServerStopEvent, so that event is
// set only after the rest of the sequence has run.
HANDLE ListenerStopEvent()
{
    static HANDLE stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
    return stopEvent;
}
}  // namespace

ServerService::ServerService(ServerApp& app)
    : ServiceShell(kConstants, WorkerLoop,
                   SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN,
                   5000),
      m_app(app), m_listener(NULL)
{
}

BOOL ServerService::CheckPrivileges()
{
    AccountCalls& accounts = Os<AccountCalls>();
    const char* failure = NULL;
    HANDLE token = NULL;
    if (!accounts.OpenProcessToken(TOKEN_QUERY | TOKEN_ADJUST_PRIVILEGES, &token)) {
        failure = "The internal function: OpenProcessToken failed because the Service Logon "
                  "Account has insufficient privileges";
    } else {
        if (!TokenHasPrivilege(token, "", "SeTcbPrivilege"))
            failure = "The Service Logon Account has insufficient user rights. Requires \"Act "
                      "as part of the sperating system\"";
        else if (!TokenHasPrivilege(token, "", "SeAssignPrimaryTokenPrivilege"))
            failure = "The Service Logon Account has insufficient user rights. Requires "
                      "\"Replace a process level token\"";
        accounts.CloseToken(token);
    }
    if (!failure)
        return TRUE;
    if (const char* reason = accounts.WhyNoServicePrivileges()) {
        // No service holds them on this platform: note what is missing and go on.
        CString note;
        note.Format("%s: privilege check passed without: %s", reason, failure);
        WriteEventLog(EVENTLOG_INFORMATION_TYPE, note);
        return TRUE;
    }
    WriteEventLog(EVENTLOG_ERROR_TYPE, failure);
    return FALSE;
}

BOOL ServerService::OnInit()
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    if (!CheckPrivileges())
        return FALSE;
    ResetEvent(ServerStopEvent());
    ResetEvent(ListenerStopEvent());
    if (!m_app.InitInstance()) {
        WriteEventLog(EVENTLOG_ERROR_TYPE, m_app.GetStartError());
        return FALSE;
    }
    gStepQueue.Start(m_app.GetDatabase());
    CString error;
    if (!m_app.CommitDatabase(error)) {
        WriteEventLog(EVENTLOG_ERROR_TYPE, error);
        gStepQueue.Stop();
        return FALSE;
    }
    m_app.StartBatchScheduler();
    // Without the slot no agent is listed as heard; the server runs on.
    gAgentList.Start(kAnnouncementSlot);
    gClientNotify.Start();
    gAgentUpdates.Start(m_app.GetDatabase());
    m_listener = new CNeoThreadMFC(NULL, 0, RpcListenerThread, this, 0, 0);
    return ServiceShell::OnInit();
}

UINT ServerService::RpcListenerThread(void* data)
{
    ServerService* service = static_cast<ServerService*>(data);
    gNeoDatabase = gNeoTargetDatabase = service->m_app.GetDatabase();
    RPC_STATUS status = StartRpcServer(service->m_app.GetDatabase());
    if (status != RPC_S_OK) {
        // The server runs on without remote procedures; say why.
        CString text;
        text.Format("The listener on %s could not start (RPC status %ld).", SERVER_PIPE_ENDPOINT,
                    (long)status);
        service->WriteEventLog(EVENTLOG_ERROR_TYPE, text);
    }
    while (WaitForSingleObject(ListenerStopEvent(), 0) != WAIT_OBJECT_0)
        CNeoThreadMFC::FThread()->sleep(50);
    return 0;
}

void ServerService::StopListenerThread()
{
    if (!m_listener)
        return;
    StopRpcServer();
    SetEvent(ListenerStopEvent());
    {
        CNeoCriticalRelease release;
        WaitForSingleObject(m_listener->getHandle(), 5000);
    }
    delete m_listener;
    m_listener = NULL;
}

void ServerService::Commit()
{
    CString error;
    if (!m_app.CommitDatabase(error))
        WriteEventLog(EVENTLOG_ERROR_TYPE, error);
}

void ServerService::OnStop()
{
    {
        // The stop sequence runs as a database thread holding the library lock.
        ThreadMediatorGuard guard;
        StopListenerThread();
        m_app.StopBatchScheduler();
        gClientNotify.Stop();
        gAgentList.Stop();
        gAgentUpdates.Stop();
        gStepQueue.Stop();
        Commit();
        ThreadMediator::Stop();
    }
    SetEvent(ServerStopEvent());
    ServiceShell::OnStop();
}

void ServerService::SaveBeforeShutdown()
{
    Commit();
    SetEvent(ServerStopEvent());
}

unsigned __stdcall ServerService::WorkerLoop(void*)
{
    return static_cast<ServerService*>(Instance())->RunWorker();
}

unsigned ServerService::RunWorker()
{
    HANDLE stop = ServerStopEvent();
    // The worker is a database thread: it holds the library lock except
    // where it waits.
    CNeoThreadMFC thread(GetCurrentThread(), GetCurrentThreadId(), NULL, NULL, 0, 0);
    thread.handleSwapIn();
    {
        CNeoLock lock;
        for (;;) {
            {
                CNeoCriticalRelease release;
                if (!WaitWhilePaused(stop))
                    break;
            }
            m_app.OnIdle(2);
            DWORD woke;
            {
                CNeoCriticalRelease release;
                woke = WaitForSingleObject(stop, kIdlePeriod);
            }
            if (woke == WAIT_OBJECT_0)
                break;
        }
        m_app.CloseDatabase();
    }
    thread.handleSwapOut();
    return 0;
}
