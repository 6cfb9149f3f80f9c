#include <agent/agent_rpc.h>

#include <agent/agent_service.h>
#include <agent/completed_queue.h>
#include <agent/load_statistics.h>
#include <agent/process_list.h>

#include <model/object_stream.h>
#include <model/steps.h>
#include <server/remote_call.h>

#include <seguard/seguard.h>

#include <agent_interface.h>

#include <stdio.h>
#include <string.h>

#include <set>

namespace
{

const size_t kMaxHostName = 255;
const unsigned kMaxCalls = 200;

BOOL gRegistered = FALSE;

// An in-memory database on a memory location: a session's, or the one in
// which a call unpacks a step.
class AgentSessionDatabase
{
public:
    AgentSessionDatabase()
    {
        m_database.fSetting = 2;
        m_database.setLocation(&m_location);
        ResetImage(&m_database);
    }
    ~AgentSessionDatabase() { m_database.close(FALSE); }
    AgentSessionDatabase(const AgentSessionDatabase&) = delete;
    AgentSessionDatabase& operator=(const AgentSessionDatabase&) = delete;

    void LoadStream(const RpcBlob* blob)
    {
        if (blob == NULL || (blob->size > 0 && blob->data == NULL))
            CNeoException::Throw(CNeoException::kBadArgument, "step blob without bytes");
        LoadImage(&m_database, blob->data, blob->size);
    }
    // The first step of the image, referenced, or NULL.
    CPProcessBase* FetchStep()
    {
        CFocusDatabases focus(&m_database, &m_database);
        std::unique_ptr<CNeoIndexIterator> steps(m_database.getIterator(kClassProcessBase, NULL));
        return static_cast<CPProcessBase*>(steps->first());
    }

private:
    CNeoMemLocation m_location;
    CNeoDatabase m_database;
};

class AgentSession
{
public:
    AgentSessionDatabase database;
};

// The open sessions; used only under a ThreadMediatorGuard.
std::set<AgentSession*> gSessions;

// Runs a body under a ThreadMediatorGuard and answers its status.
template <class Body>
long GuardedCall(Body body)
{
    return MediatedCall(body);
}

// The managers live from start-up to the end of the stop; a call that
// arrives around the stop is answered as stopping.
void RequireManagers()
{
    if (gProcessList == NULL || gCompletedQueue == NULL || gProcessList->IsStopping())
        throw(long) kAgentStatusStopping;
}

void DeleteSession(AgentSessionContext context)
{
    GuardedCall([&] {
        AgentSession* session = static_cast<AgentSession*>(context);
        if (gSessions.erase(session))
            delete session;
    });
}

// Unpacks the step of the blob and hands a free clone of it to the process
// list; the step's handle, 0 when the blob holds no step.
long ExecuteStep(const char* host, RpcBlob* blob)
{
    RequireManagers();
    long bound = gProcessList->BindServerLink(host);
    if (bound != 0)
        throw(long) kAgentStatusNoServerLink;
    AgentSessionDatabase unpacked;
    unpacked.LoadStream(blob);
    CNeoRef<CPProcessBase> step(unpacked.FetchStep());
    if (!step)
        return 0;
    CNeoRef<CPProcessBase> clone(static_cast<CPProcessBase*>(step->clone()));
    clone->SetHostName(host);
    printf("Executing process %s from host %s.\n", (LPCTSTR)clone->GetName(), host);
    fflush(stdout);
    return gProcessList->Add(clone.get());
}

}  // namespace

RPC_STATUS StartAgentRpcServer(const char* endpoint)
{
    RPC_STATUS status = RpcServerRegisterIf(AgentInterface_v1_0_s_ifspec, NULL, NULL);
    if (status != RPC_S_OK)
        return status;
    gRegistered = TRUE;
    status = RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", kMaxCalls, (RPC_CSTR)endpoint, NULL);
    if (status != RPC_S_OK)
        return status;
    printf("Named pipe RPC channel open, listening for incoming connections...\n\n");
    fflush(stdout);
    return RpcServerListen(1, kMaxCalls, TRUE);
}

void StopAgentRpcServer()
{
    if (!gRegistered)
        return;
    RpcServerUnregisterIf(NULL, NULL, FALSE);
    gRegistered = FALSE;
}

int AgentSessionCount()
{
    int count = 0;
    GuardedCall([&] { count = (int)gSessions.size(); });
    return count;
}

void __RPC_USER AgentSessionContext_rundown(AgentSessionContext context)
{
    DeleteSession(context);
}

LONG AgentOpenSession(handle_t, AgentSessionContext* context, RpcBlob*, LONG* status)
{
    *context = NULL;
    *status = GuardedCall([&] {
        AgentSession* session = new AgentSession;
        gSessions.insert(session);
        *context = session;
    });
    return 0;
}

LONG AgentCloseSession(handle_t, AgentSessionContext* context)
{
    DeleteSession(*context);
    *context = NULL;
    return 0;
}

LONG AgentExecuteStep(handle_t, const char* host, RpcBlob* step, LONG* handle, LONG* status)
{
    *handle = 0;
    if (gProcessList == NULL || gProcessList->IsStopping()) {
        *status = kAgentStatusStopping;
        return 0;
    }
    if (host == NULL || strnlen(host, kMaxHostName + 1) > kMaxHostName) {
        *status = kAgentStatusRefused;
        return 0;
    }
    *status = GuardedCall([&] { *handle = ExecuteStep(host, step); });
    return 0;
}

LONG AgentCancelStep(handle_t, LONG handle, LONG* status)
{
    *status = GuardedCall([&] {
        RequireManagers();
        CFocusDatabases focus(gNeoDatabase, gNeoTargetDatabase);
        // A step waiting in the completed queue leaves it and is never
        // returned; a running one is killed.
        if (CPProcessBase* step = gProcessList->FindStep(handle))
            gProcessList->CancelStep(step);
    });
    return 0;
}

LONG AgentCancelServerSteps(handle_t, const char* host, LONG* status)
{
    if (host == NULL || strnlen(host, kMaxHostName + 1) > kMaxHostName) {
        *status = kAgentStatusRefused;
        return 0;
    }
    *status = GuardedCall([&] {
        RequireManagers();
        gProcessList->CancelServerSteps(host);
    });
    return 0;
}

LONG AgentPing(handle_t, LONG* alive, LONG* reserved)
{
    *alive = 1;
    *reserved = 0;
    return 0;
}

LONG AgentReserved(handle_t, AgentReservedPair* reserved)
{
    reserved->first = 0;
    reserved->second = 0;
    return 0;
}

LONG AgentGetLoad(handle_t, AgentSessionContext*, LONG* load)
{
    *load = gStatistics ? gStatistics->GetLoad() : 0;
    return 0;
}
