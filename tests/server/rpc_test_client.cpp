// A ServerInterface client as the agent uses it.
// Usage: rpc_test_client <endpoint> ping | hold | agents
//   ping: Ping and NextClientNumber, prints "number <n>".
//   hold: opens a session, prints "open" and waits until it is killed.
//   agents: prints "agent <name>" for each stored agent.
#include <server/server_client.h>
#include <server/transfer_records.h>

#include <seguard/seguard.h>

#include <stdio.h>
#include <string.h>

int main(int argc, char** argv)
{
    if (argc != 3) {
        fprintf(stderr, "usage: rpc_test_client <endpoint> ping|hold\n");
        return 2;
    }
    setvbuf(stdout, NULL, _IONBF, 0);
    if (BindServerInterface("", argv[1]) != RPC_S_OK)
        return 1;
    LONG number = 0, status = 0;
    ServerInterfaceContext context = NULL;
    RpcBlob empty = {0, NULL};
    bool hold = strcmp(argv[2], "hold") == 0;
    bool agents = strcmp(argv[2], "agents") == 0;
    RpcBlob names = {0, NULL};
    DWORD fault = Guarded([&] {
        Ping();
        if (hold || agents)
            OpenSession(&context, &empty, &status);
        if (agents) {
            ListObjectNames(context, 0, 40, &names, &status);
            CloseSession(&context);
        } else if (!hold) {
            NextClientNumber(&number, &status);
        }
    });
    if (fault != 0) {
        printf("failed %lu\n", fault);
        return 1;
    }
    if (agents) {
        CObList list;
        LoadTransferList(names.data, names.size, list);
        for (POSITION at = list.GetHeadPosition(); at;)
            printf("agent %s\n", (const char*)static_cast<CSObjectNames*>(list.GetNext(at))->GetName());
        DeleteTransferList(list);
        MIDL_user_free(names.data);
        return status;
    }
    if (!hold) {
        printf("number %ld\n", (long)number);
        return 0;
    }
    printf("open\n");
    Sleep(60000);
    return 0;
}
