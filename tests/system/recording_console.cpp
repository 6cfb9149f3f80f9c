// A console as the server sees it: it serves ConsoleInterface on the endpoint
// of its first argument and prints one line for each notification, "batch
// <code> <id> <value> <name>" or "object <code> <class> <id> <old>|<new>",
// until its standard input closes or says "quit".
#include <console_interface.h>

#include <stdio.h>
#include <string.h>

namespace
{
CRITICAL_SECTION gLock;
}  // namespace

void NotifyBatchEvent(long code, const char* name, long id, long value)
{
    EnterCriticalSection(&gLock);
    printf("batch %ld %ld %ld %s\n", code, id, value, name);
    fflush(stdout);
    LeaveCriticalSection(&gLock);
}

void NotifyObjectEvent(long code, long classID, long id, const char* oldName, const char* newName)
{
    EnterCriticalSection(&gLock);
    printf("object %ld %ld %ld %s|%s\n", code, classID, id, oldName, newName);
    fflush(stdout);
    LeaveCriticalSection(&gLock);
}

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    InitializeCriticalSection(&gLock);
    if (RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", 20, (RPC_CSTR)argv[1], NULL) != RPC_S_OK ||
        RpcServerRegisterIf(ConsoleInterface_v1_0_s_ifspec, NULL, NULL) != RPC_S_OK ||
        RpcServerListen(1, 20, TRUE) != RPC_S_OK)
        return 1;
    printf("listening\n");
    fflush(stdout);
    char line[64];
    while (fgets(line, sizeof line, stdin) && strncmp(line, "quit", 4) != 0) {
    }
    RpcMgmtStopServerListening(NULL);
    return 0;
}
