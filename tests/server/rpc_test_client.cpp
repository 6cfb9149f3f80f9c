// A ServerInterface client as the agent uses it.
// Usage: rpc_test_client <endpoint> ping | hold
//   ping: Ping and NextClientNumber, prints "number <n>".
//   hold: opens a session, prints "open" and waits until it is killed.
#include <server/server_client.h>

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
    DWORD fault = Guarded([&] {
        Ping();
        if (hold)
            OpenSession(&context, &empty, &status);
        else
            NextClientNumber(&number, &status);
    });
    if (fault != 0) {
        printf("failed %lu\n", fault);
        return 1;
    }
    if (!hold) {
        printf("number %ld\n", (long)number);
        return 0;
    }
    printf("open\n");
    Sleep(60000);
    return 0;
}
