// A stand-in for zqserver towards agents: it serves ServerInterface on the
// endpoint of its first argument, prints "posted <step ID>" for each step an
// agent returns (or "refused <step ID>" while refusing), keeps the step's
// bytes as "<step ID>.step" in the folder of its second argument when one is
// given, and answers commands
// on its standard input: "refuse" (answer posts with status 1; prints
// "refusing" once in force), "accept" (prints "accepting") and "quit".
#include <server_interface.h>

#include <stdio.h>
#include <string.h>

namespace
{

const LONG kStatusRefused = 1;

CRITICAL_SECTION gLock;
volatile bool gRefusing = false;
const char* gStepFolder = NULL;
LONG gClientNumber = 12200;

void Say(const char* format, long value)
{
    EnterCriticalSection(&gLock);
    printf(format, value);
    fflush(stdout);
    LeaveCriticalSection(&gLock);
}

LONG Refuse(LONG* status)
{
    *status = kStatusRefused;
    return 0;
}

}  // namespace

void __RPC_USER ServerInterfaceContext_rundown(ServerInterfaceContext context)
{
    delete static_cast<char*>(context);
}

LONG OpenSession(ServerInterfaceContext* context, RpcBlob*, LONG* status)
{
    *context = new char(0);
    *status = 0;
    return 0;
}

LONG CloseSession(ServerInterfaceContext* context)
{
    ServerInterfaceContext_rundown(*context);
    *context = NULL;
    return 0;
}

LONG PostProcessUpdate(ServerInterfaceContext, LONG stepID, RpcBlob* step, LONG* status)
{
    if (gRefusing || step == NULL || step->size == 0) {
        Say("refused %ld\n", stepID);
        return Refuse(status);
    }
    if (gStepFolder) {
        char path[MAX_PATH];
        snprintf(path, sizeof path, "%s\\%ld.step", gStepFolder, stepID);
        if (FILE* file = fopen(path, "wb")) {
            fwrite(step->data, 1, step->size, file);
            fclose(file);
        }
    }
    Say("posted %ld\n", stepID);
    *status = 0;
    return 0;
}

LONG Ping(void)
{
    return 0;
}

LONG NextClientNumber(LONG* number, LONG* status)
{
    *number = InterlockedIncrement(&gClientNumber);
    *status = 0;
    return 0;
}

// Everything else is refused: agents do not call it.
LONG DeleteObjects(ServerInterfaceContext, LONG, LONG[], LONG* s)
{
    return Refuse(s);
}
LONG LockObjects(ServerInterfaceContext, LONG, LONG[], LONG* s)
{
    return Refuse(s);
}
LONG UnlockObjects(ServerInterfaceContext, LONG, LONG[], LONG* s)
{
    return Refuse(s);
}
LONG GetObjectsByClass(ServerInterfaceContext, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG AddObjects(ServerInterfaceContext, RpcBlob*, LONG, LONG[], LONG* s)
{
    return Refuse(s);
}
LONG StoreObjects(ServerInterfaceContext, RpcBlob*, LONG, LONG[], LONG* s)
{
    return Refuse(s);
}
LONG GetObjectByID(ServerInterfaceContext, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG GetObjectByName(ServerInterfaceContext, LONG, const char*, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG RenameObject(ServerInterfaceContext, LONG, const char*, LONG* s)
{
    return Refuse(s);
}
LONG IsNameFree(ServerInterfaceContext, LONG, const char*, LONG*, LONG* s)
{
    return Refuse(s);
}
LONG NoOp(ServerInterfaceContext, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG StopServerListening(void)
{
    return 0;
}
LONG TestBatchLogon(const char*, const char*, const char*, LONG* s)
{
    return Refuse(s);
}
LONG TestFileAccess(const char*, const char*, const char*, const char*, LONG* s)
{
    return Refuse(s);
}
LONG GetServerEnvironment(RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG Reserved19(void)
{
    return 0;
}
LONG Reserved20(void)
{
    return 0;
}
LONG Reserved21(void)
{
    return 0;
}
LONG Reserved22(void)
{
    return 0;
}
LONG Reserved23(void)
{
    return 0;
}
LONG NextDocumentNumber(ServerInterfaceContext, LONG*, LONG* s)
{
    return Refuse(s);
}
LONG NewObjectID(ServerInterfaceContext, LONG*, LONG* s)
{
    return Refuse(s);
}
LONG ListObjectNames(ServerInterfaceContext, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG ListObjectNamesByKey(ServerInterfaceContext, LONG, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG ListBatchLogs(ServerInterfaceContext, LONG, LONG, RpcBlob*, LONG* s)
{
    return Refuse(s);
}
LONG GetBatchStatus(ServerInterfaceContext, LONG, LONG*, LONG* s)
{
    return Refuse(s);
}
LONG SetBatchStatus(ServerInterfaceContext, LONG, LONG, LONG* s)
{
    return Refuse(s);
}
LONG GetBatchName(ServerInterfaceContext, LONG, char[256], LONG* s)
{
    return Refuse(s);
}
LONG RegisterConsole(handle_t, ServerInterfaceContext, const char*, const char*, LONG* s)
{
    return Refuse(s);
}
LONG ListUnregisteredAgents(ServerInterfaceContext, RpcBlob*, LONG* s)
{
    return Refuse(s);
}

int main(int argc, char** argv)
{
    if (argc != 2 && argc != 3)
        return 2;
    if (argc == 3)
        gStepFolder = argv[2];
    InitializeCriticalSection(&gLock);
    if (RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", 20, (RPC_CSTR)argv[1], NULL) != RPC_S_OK ||
        RpcServerRegisterIf(ServerInterface_v1_0_s_ifspec, NULL, NULL) != RPC_S_OK ||
        RpcServerListen(1, 20, TRUE) != RPC_S_OK)
        return 3;
    printf("ready\n");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin)) {
        if (strncmp(line, "quit", 4) == 0)
            break;
        if (strncmp(line, "refuse", 6) == 0) {
            gRefusing = true;
            Say("refusing\n", 0);
        } else if (strncmp(line, "accept", 6) == 0) {
            gRefusing = false;
            Say("accepting\n", 0);
        }
    }
    return 0;
}
