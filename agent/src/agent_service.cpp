#include <agent/agent_service.h>

#include <agent/agent_rpc.h>
#include <agent/announce.h>
#include <agent/completed_queue.h>
#include <agent/load_statistics.h>
#include <agent/process_list.h>

#include <model/persist_base.h>

#include <stdio.h>

namespace
{
const char kAnnouncementSlot[] = "zqbrowser1";
}  // namespace

const ServiceConstants AgentService::kConstants = {
    "zqagent",
    "Vantorel Agent",
    "RpcSs",
    "The Vantorel agent was started.",
    "The Vantorel agent is shutting down.",
    "The Vantorel agent was stopped.",
};

HANDLE AgentStopEvent()
{
    static HANDLE stopEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    return stopEvent;
}

AgentApp::AgentApp() : m_formats{NULL, NULL} {}

AgentApp::~AgentApp()
{
    delete m_formats[0];
    delete m_formats[1];
}

CNeoFormat* AgentApp::GetFormat(short kind)
{
    if (kind != 0 && kind != 1)
        return NULL;
    CNeoFormat*& format = m_formats[kind];
    if (!format)
        format = new CNeoFormat(kind, 1280, 1, 1, 1, 1, 16, 6, 4, 4, 4);
    format->setKind(kind);
    return format;
}

AgentService::AgentService()
    : ServiceShell(kConstants, AgentServiceMain,
                   SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_PAUSE_CONTINUE | SERVICE_ACCEPT_SHUTDOWN,
                   5000)
{
}

BOOL AgentService::OnInit()
{
    return TRUE;
}

void AgentService::OnStop()
{
    SetEvent(AgentStopEvent());
}

namespace
{

void StartManagers()
{
    gCompletedQueue->Start();
    gAnnouncer->Start(kAnnouncementSlot);
    RPC_STATUS status;
    {
        CNeoCriticalRelease release;
        status = StartAgentRpcServer();
    }
    if (status != RPC_S_OK) {
        // The agent runs on without remote procedures; say why.
        CString text;
        text.Format("The listener on %s could not start (RPC status %ld).", AGENT_PIPE_ENDPOINT,
                    (long)status);
        ServiceShell::Instance()->LogEvent(EVENTLOG_ERROR_TYPE, text);
    }
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    gStatistics->Start();
}

void StopManagers()
{
    gStatistics->Stop();
    gAnnouncer->Stop();
    gProcessList->Stop();
    gCompletedQueue->Stop();
    StopAgentRpcServer();
}

template <class Manager>
void DeleteManager(Manager*& manager)
{
    Manager* deleted = manager;
    manager = NULL;
    delete deleted;
}

}  // namespace

unsigned __stdcall AgentServiceMain(void*)
{
    HANDLE stop = AgentStopEvent();
    // A stop during the wait ends it early and stays set, so the agent
    // starts everything and stops at once, within the shell's wait hint.
    if (WaitForSingleObject(stop, AgentService::kStartDelay) == WAIT_OBJECT_0)
        SetEvent(stop);
    AgentApp* app = new AgentApp;
    gProcessList = new ProcessListManager;
    gCompletedQueue = new CompletedQueueManager;
    gAnnouncer = new AgentAnnounceManager;
    gStatistics = new PerformanceStatisticsManager;

    // The service thread is a database thread: it holds the library lock
    // except where it waits.
    CNeoThreadMFC thread(GetCurrentThread(), GetCurrentThreadId(), NULL, NULL, 0, 0);
    thread.handleSwapIn();
    {
        CNeoLock lock;
        gNeoDatabase = NULL;
        RegisterModelKeys(kAgentProgram);
        StartManagers();
        for (;;) {
            app->OnIdle(2);
            DWORD woke;
            {
                CNeoCriticalRelease release;
                woke = WaitForSingleObject(stop, AgentService::kIdlePeriod);
            }
            if (woke == WAIT_OBJECT_0)
                break;
        }
        StopManagers();
        DeleteManager(app);
        DeleteManager(gProcessList);
        DeleteManager(gCompletedQueue);
        DeleteManager(gAnnouncer);
        DeleteManager(gStatistics);
    }
    thread.handleSwapOut();
    return 0;
}
