// Round trips per second of Ping and of GetObjectByID for a batch of 50
// steps, from this process to a server process on the same machine.
#include <server/server_client.h>

#include <model/persist_base.h>

#include <seguard/seguard.h>

#include "sample_batch.h"
#include "server_peer.h"

#include <stdio.h>

#include <functional>

namespace {

double Seconds(LARGE_INTEGER from, LARGE_INTEGER to)
{
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    return double(to.QuadPart - from.QuadPart) / double(frequency.QuadPart);
}

// Runs the call `count` times and prints the rate; FALSE when a call failed.
bool Measure(const char* what, int count, const std::function<bool()>& call)
{
    LARGE_INTEGER start, end;
    QueryPerformanceCounter(&start);
    for (int i = 0; i < count; ++i)
        if (!call()) {
            printf("%s: call %d failed\n", what, i);
            return false;
        }
    QueryPerformanceCounter(&end);
    double seconds = Seconds(start, end);
    printf("%-36s %6d calls %8.3f s %10.0f round trips/s\n", what, count, seconds, count / seconds);
    return true;
}

}  // namespace

int main()
{
    setvbuf(stdout, NULL, _IONBF, 0);
    char folder[MAX_PATH];
    GetTempPathA(sizeof folder, folder);
    char path[MAX_PATH];
    sprintf(path, "%svantorel-%lu-rpc-bench.db", folder, GetCurrentProcessId());
    DeleteFileA(path);
    RegisterModelKeys(kServerProgram);
    NeoID batchID;
    {
        CNeoDatabase database;
        database.setStream(new CNeoFileStream(&database, path));
        database.open(0xC0000000, TRUE);
        batchID = BuildSampleBatch(&database, 50);
        database.commit(FALSE, TRUE, NULL);
    }
    int result = 1;
    {
        ServerPeer server(path);
        if (!server.Ready() || BindServerInterface("", server.Endpoint().c_str()) != RPC_S_OK) {
            printf("the server did not start\n");
        } else {
            ServerInterfaceContext context = NULL;
            RpcBlob empty = {0, NULL};
            LONG status = -1;
            bool ok = Guarded([&] { OpenSession(&context, &empty, &status); }) == 0 &&
                      status == 0 &&
                      Measure("Ping", 5000, [] { return Guarded([] { Ping(); }) == 0; }) &&
                      Measure("GetObjectByID (batch of 50 steps)", 300, [&] {
                          RpcBlob image = {0, NULL};
                          LONG status = -1;
                          DWORD fault = Guarded([&] {
                              GetObjectByID(context, kClassBatch, batchID, &image, &status);
                          });
                          MIDL_user_free(image.data);
                          return fault == 0 && status == 0;
                      });
            if (context)
                Guarded([&] { CloseSession(&context); });
            UnbindServerInterface();
            result = ok ? 0 : 1;
        }
    }
    DeleteFileA(path);
    return result;
}
