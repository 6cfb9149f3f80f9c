// A stand-in for zqagent towards the server: it serves AgentInterface on the
// endpoint of its first argument, reports the load of its second argument,
// answers AgentExecuteStep with the status of its third (0: it takes the step
// and hands out handles from its fourth argument on). It prints "ready" once
// it listens, then one line per call: "open", "close", "execute <step name>"
// and "cancel <handle>", until its standard input closes or says "quit".
#include <model/object_stream.h>
#include <model/persist_base.h>
#include <model/steps.h>

#include <agent_interface.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <memory>
#include <string>

namespace
{

CRITICAL_SECTION gLock;
long gLoad = 0;
long gExecuteStatus = 0;
long gNextHandle = 1;

void Say(const std::string& line)
{
    EnterCriticalSection(&gLock);
    printf("%s\n", line.c_str());
    fflush(stdout);
    LeaveCriticalSection(&gLock);
}

// The name of the first step in an object stream; empty when there is none.
std::string StepName(const RpcBlob* blob)
{
    if (blob == NULL || blob->size == 0 || blob->data == NULL)
        return "";
    CNeoLock lock;
    CNeoMemLocation location;
    CNeoDatabase image;
    image.setLocation(&location);
    std::string name;
    try {
        ResetImage(&image);
        LoadImage(&image, blob->data, blob->size);
        CFocusDatabases focus(&image, &image);
        std::unique_ptr<CNeoIndexIterator> steps(image.getIterator(kClassProcessBase, NULL));
        CNeoRef<CPProcessBase> step(static_cast<CPProcessBase*>(steps->first()));
        if (step)
            name = (const char*)step->GetName();
    } catch (CNeoException* e) {
        e->Delete();
    }
    image.close(FALSE);
    return name;
}

}  // namespace

void __RPC_USER AgentSessionContext_rundown(AgentSessionContext context)
{
    delete static_cast<char*>(context);
}

LONG AgentOpenSession(handle_t, AgentSessionContext* context, RpcBlob*, LONG* status)
{
    *context = new char(0);
    *status = 0;
    Say("open");
    return 0;
}

LONG AgentCloseSession(handle_t, AgentSessionContext* context)
{
    delete static_cast<char*>(*context);
    *context = NULL;
    Say("close");
    return 0;
}

LONG AgentExecuteStep(handle_t, const char*, RpcBlob* step, LONG* handle, LONG* status)
{
    Say("execute " + StepName(step));
    *status = gExecuteStatus;
    *handle = gExecuteStatus == 0 ? InterlockedIncrement(&gNextHandle) - 1 : 0;
    return 0;
}

LONG AgentCancelStep(handle_t, LONG handle, LONG* status)
{
    Say("cancel " + std::to_string(handle));
    *status = 0;
    return 0;
}

LONG AgentCancelServerSteps(handle_t, const char*, LONG* status)
{
    *status = 0;
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
    *load = gLoad;
    return 0;
}

int main(int argc, char** argv)
{
    if (argc != 5)
        return 2;
    gLoad = atol(argv[2]);
    gExecuteStatus = atol(argv[3]);
    gNextHandle = atol(argv[4]);
    InitializeCriticalSection(&gLock);
    RegisterModelKeys(kAgentProgram);
    if (RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", 20, (RPC_CSTR)argv[1], NULL) != RPC_S_OK ||
        RpcServerRegisterIf(AgentInterface_v1_0_s_ifspec, NULL, NULL) != RPC_S_OK ||
        RpcServerListen(1, 20, TRUE) != RPC_S_OK)
        return 3;
    Say("ready");
    char line[64];
    while (fgets(line, sizeof line, stdin) && strncmp(line, "quit", 4) != 0) {
    }
    RpcMgmtStopServerListening(NULL);
    return 0;
}
