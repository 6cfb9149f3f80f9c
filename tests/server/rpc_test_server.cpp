// Serves ServerInterface over a database file until told to quit.
// Usage: rpc_test_server <database file> <endpoint>
// Standard input: "count" answers "sessions <n>"; "quit" or the end of the
// input stops the server.
#include <model/persist_base.h>
#include <server/rpc_listener.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: rpc_test_server <database file> <endpoint>\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    RegisterModelKeys(kServerProgram);
    CNeoDatabase* database = new CNeoDatabase;
    try {
        database->setStream(new CNeoFileStream(database, argv[1]));
        database->open(0xC0000000, TRUE);
    } catch (CException* e) {
        e->Delete();
        printf("failed to open %s\n", argv[1]);
        return 1;
    }
    RPC_STATUS status = StartRpcServer(database, argv[2]);
    if (status != RPC_S_OK) {
        printf("failed %ld\n", (long)status);
        return 1;
    }
    printf("ready\n");
    char line[64];
    while (fgets(line, sizeof line, stdin) && strncmp(line, "quit", 4) != 0) {
        if (strncmp(line, "count", 5) == 0)
            printf("sessions %d\n", OpenSessionCount());
    }
    StopRpcServer();
    RpcMgmtStopServerListening(NULL);
    return 0;
}
