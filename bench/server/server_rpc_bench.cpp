// ServerInterface from client threads of this process to a server process
// (rpc_test_server.exe) on the same machine.
// - StoreObjects of a 50-step batch, from one client and from eight at once:
//   stores per second beside the library's own one-object commits per
//   second on a file in the same folder, and the ratio (a store answers
//   only once it is on disk, so a commit is its floor).
// - GetObjectByID of a 50-step batch with 10, 100 and 1,000 such batches
//   stored: calls per second at each size beside Ping round trips per
//   second and GetObjectByID of one of its steps (an image of one record),
//   and the ratio of the rate at 10 batches to the rate at 1,000; beside
//   them the floors the transport sets for the same number of bytes: calls
//   per second of a routine of this process that answers with them and does
//   nothing else (what the RPC runtime alone costs), and round trips per
//   second of a bare named pipe carrying them in the fragments the RPC
//   runtime sends, between two threads of this process.
#include "bench_clock.h"
#include "bytes_anchor.h"

#include <oscalls/oscalls.h>
#include <server/server_client.h>

#include <model/persist_base.h>

#include <seguard/seguard.h>

#include "sample_batch.h"
#include "server_peer.h"
#include "temp_path.h"

#include <stdio.h>
#include <string.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace {

const int kSteps = 50;
const NeoID kIDsPerBatch = 1000;  // more than a 50-step batch has objects

// A server over a database file, bound, with a session of this thread.
class Server {
public:
    explicit Server(const std::string& path) : m_peer(path)
    {
        if (m_peer.Ready() && BindServerInterface("", m_peer.Endpoint().c_str()) == RPC_S_OK)
            m_context = OpenClientSession();
    }
    ~Server()
    {
        if (m_context)
            Guarded([&] { CloseSession(&m_context); });
        UnbindServerInterface();
    }
    bool Ready() const { return m_context != NULL; }
    ServerInterfaceContext Context() const { return m_context; }

private:
    ServerPeer m_peer;
    ServerInterfaceContext m_context = NULL;
};

// Calls per second of `count` calls; negative when one failed.
double Rate(int count, const std::function<bool()>& call)
{
    double start = Now();
    for (int i = 0; i < count; ++i)
        if (!call())
            return -1;
    return count / (Now() - start);
}

bool Store(ServerInterfaceContext context, std::vector<BYTE>& image)
{
    RpcBlob blob = {(ULONG)image.size(), image.data()};
    LONG status = -1;
    return Guarded([&] { StoreObjects(context, &blob, 0, NULL, &status); }) == 0 && status == 0;
}

// Reads an object; its image's size goes to *size when asked.
bool ReadObject(ServerInterfaceContext context, NeoClassID classID, NeoID id,
                ULONG* size = NULL)
{
    RpcBlob image = {0, NULL};
    LONG status = -1;
    DWORD fault = Guarded([&] { GetObjectByID(context, classID, id, &image, &status); });
    MIDL_user_free(image.data);
    if (size)
        *size = image.size;
    return fault == 0 && status == 0;
}

// Calls per second of SendBytes for `bytes` bytes, served by this process.
double RuntimeRoundTrips(ULONG bytes, int count)
{
    const char* endpoint = "\\pipe\\vantorel-runtime-anchor";
    if (RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", 20, (RPC_CSTR)endpoint, NULL) != RPC_S_OK ||
        RpcServerRegisterIf(ServeBytesAnchor_v1_0_s_ifspec, NULL, NULL) != RPC_S_OK ||
        RpcServerListen(1, 20, TRUE) != RPC_S_OK)
        return -1;
    double rate = -1;
    if (Os<PipeBindingCalls>().Bind("", endpoint, &BytesAnchor_Binding) == RPC_S_OK) {
        rate = Rate(count, [&] {
            RpcBlob answer = {0, NULL};
            DWORD fault = Guarded([&] { SendBytes((long)bytes, &answer); });
            MIDL_user_free(answer.data);
            return fault == 0 && answer.size == bytes;
        });
        RpcBindingFree(&BytesAnchor_Binding);
    }
    RpcMgmtStopServerListening(NULL);
    RpcServerUnregisterIf(NULL, NULL, FALSE);
    return rate;
}

// Round trips per second of a bare message-mode named pipe: a 16-byte
// request, and an answer of `bytes` in fragments of at most the size the RPC
// runtime uses on pipes, each a 16-byte header and a body, read in two.
double PipeRoundTrips(ULONG bytes, int count)
{
    const ULONG kFragment = 5840;
    const ULONG kHeader = 16;
    const ULONG kBody = kFragment - kHeader;
    const char* name = "\\\\.\\pipe\\vantorel-transport-anchor";
    HANDLE server = CreateNamedPipeA(name, PIPE_ACCESS_DUPLEX,
                                     PIPE_TYPE_MESSAGE | PIPE_READMODE_MESSAGE | PIPE_WAIT, 1,
                                     kFragment, kFragment, 0, NULL);
    if (server == INVALID_HANDLE_VALUE)
        return -1;
    std::thread answerer([&] {
        std::vector<char> buffer(kFragment);
        DWORD done = 0;
        ConnectNamedPipe(server, NULL);
        while (ReadFile(server, buffer.data(), kHeader, &done, NULL))
            for (ULONG sent = 0; sent < bytes; sent += kBody)
                WriteFile(server, buffer.data(), kHeader + std::min(kBody, bytes - sent), &done,
                          NULL);
    });
    HANDLE client = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, NULL, OPEN_EXISTING, 0, NULL);
    double rate = -1;
    if (client != INVALID_HANDLE_VALUE) {
        DWORD mode = PIPE_READMODE_MESSAGE;
        SetNamedPipeHandleState(client, &mode, NULL, NULL);
        std::vector<char> buffer(kFragment);
        rate = Rate(count, [&] {
            DWORD done = 0;
            if (!WriteFile(client, buffer.data(), kHeader, &done, NULL))
                return false;
            for (ULONG read = 0; read < bytes; read += kBody) {
                DWORD body = std::min(kBody, bytes - read);
                // The header's read leaves the rest of the message waiting.
                ReadFile(client, buffer.data(), kHeader, &done, NULL);
                if (!ReadFile(client, buffer.data(), body, &done, NULL) || done != body)
                    return false;
            }
            return true;
        });
        CloseHandle(client);
    }
    answerer.join();
    CloseHandle(server);
    return rate;
}

// Commits per second of one changed object on a database file.
double OneObjectCommits(int count)
{
    std::string path = TempPath("commit-anchor.db");
    double rate = -1;
    {
        CNeoDatabase db;
        db.setStream(new CNeoFileStream(&db, path.c_str()));
        db.open(0xC0000000, TRUE);
        CNeoRef<CPDocCounter> counter(new CPDocCounter);
        db.addObject(counter.get());
        db.commit();
        rate = Rate(count, [&] {
            counter->Next();
            db.commit();
            return true;
        });
    }
    DeleteFileA(path.c_str());
    return rate;
}

// Stores per second of `clients` clients at once, each saving its own
// 50-step batch `perClient` times.
double Stores(int clients, int perClient)
{
    std::string path = TempPath("store-bench.db");
    double rate = -1;
    {
        Server server(path);
        if (!server.Ready())
            return -1;
        std::vector<std::vector<BYTE>> images;
        for (int c = 0; c < clients; ++c)
            images.push_back(SampleBatchImage(1 + c * kIDsPerBatch, "stored", kSteps));
        std::atomic<int> failed(0);
        std::vector<std::thread> threads;
        double start = Now();
        for (int c = 0; c < clients; ++c)
            threads.emplace_back([&, c] {
                ServerInterfaceContext context = OpenClientSession();
                for (int i = 0; i < perClient; ++i)
                    if (!context || !Store(context, images[c])) {
                        ++failed;
                        return;
                    }
                Guarded([&] { CloseSession(&context); });
            });
        for (std::thread& thread : threads)
            thread.join();
        if (failed == 0)
            rate = clients * perClient / (Now() - start);
    }
    DeleteFileA(path.c_str());
    return rate;
}

struct ReadFigures {
    double reads;
    double pings;
    double stepReads;
    ULONG imageSize;
};

// GetObjectByID of one 50-step batch among `batches` stored ones.
ReadFigures Reads(int batches, int count)
{
    std::string path = TempPath("read-bench.db");
    ReadFigures figures = {-1, -1, -1, 0};
    NeoID middle = 0;
    NeoID step = 0;
    {
        CNeoDatabase db;
        db.setStream(new CNeoFileStream(&db, path.c_str()));
        db.open(0xC0000000, TRUE);
        for (int i = 0; i < batches; ++i) {
            NeoID id = BuildSampleBatch(&db, kSteps);
            if (i == batches / 2)
                middle = id;
            if (i % 50 == 49)
                db.commit();
        }
        db.commit();
        CNeoFoundObjects steps;
        FindChildren(&db, kClassProcessBase, middle, TRUE, &steps);
        if (steps.GetSize() > 0)
            step = steps.at<CNeoPersist>(0)->getID();
    }
    {
        Server server(path);
        if (server.Ready()) {
            ReadObject(server.Context(), kClassBatch, middle, &figures.imageSize);  // warm-up
            figures.reads =
                Rate(count, [&] { return ReadObject(server.Context(), kClassBatch, middle); });
            figures.pings = Rate(count * 10, [] { return Guarded([] { Ping(); }) == 0; });
            figures.stepReads = Rate(
                count * 5, [&] { return ReadObject(server.Context(), kClassProcessBase, step); });
        }
    }
    DeleteFileA(path.c_str());
    return figures;
}

}  // namespace

// BytesAnchor's routine: `size` zero bytes.
long ServeSendBytes(long size, RpcBlob* bytes)
{
    bytes->data = (unsigned char*)MIDL_user_allocate(size);
    bytes->size = bytes->data ? size : 0;
    if (bytes->data)
        memset(bytes->data, 0, size);
    return 0;
}

int main()
{
    setvbuf(stdout, NULL, _IONBF, 0);
    RegisterModelKeys(kServerProgram);
    int result = 0;

    double commits = OneObjectCommits(200);
    printf("StoreObjects of a %d-step batch (answered once on disk)\n", kSteps);
    printf("  anchor: one-object commit of the library  %10.1f /s\n", commits);
    struct { int clients, perClient; } storeCases[] = {{1, 60}, {8, 10}};
    for (const auto& c : storeCases) {
        double stores = Stores(c.clients, c.perClient);
        if (stores < 0 || commits < 0) {
            printf("  %d client(s): a store failed\n", c.clients);
            result = 1;
            continue;
        }
        printf("  %d client(s)                              %10.1f stores/s  %6.2f commits per store\n",
               c.clients, stores, commits / stores);
    }

    printf("GetObjectByID of a %d-step batch\n", kSteps);
    const int sizes[] = {10, 100, 1000};
    double first = 0, last = 0;
    ULONG imageSize = 0;
    for (int batches : sizes) {
        ReadFigures figures = Reads(batches, 100);
        if (figures.reads < 0 || figures.pings < 0 || figures.stepReads < 0) {
            printf("  %5d batches: a call failed\n", batches);
            result = 1;
            continue;
        }
        printf("  %5d batches stored  %8.1f calls/s   anchors: Ping %8.1f /s  ratio %5.1f;"
               "  one step %8.1f /s  ratio %5.1f\n",
               batches, figures.reads, figures.pings, figures.pings / figures.reads,
               figures.stepReads, figures.stepReads / figures.reads);
        if (batches == sizes[0])
            first = figures.reads;
        last = figures.reads;
        imageSize = figures.imageSize;
    }
    if (first > 0 && last > 0)
        printf("  rate at %d batches / rate at %d batches: %.2f\n", sizes[0], sizes[2], first / last);
    struct {
        const char* what;
        double (*roundTrips)(ULONG bytes, int count);
    } floors[] = {{"answered by a routine that does nothing else", RuntimeRoundTrips},
                  {"through a bare named pipe", PipeRoundTrips}};
    for (const auto& floor : floors) {
        double rate = imageSize > 0 ? floor.roundTrips(imageSize, 500) : -1;
        if (rate < 0 || last <= 0) {
            printf("  anchor: its bytes %s: failed\n", floor.what);
            result = 1;
            continue;
        }
        printf("  anchor: its %lu bytes %s  %8.1f calls/s;  ratio to the rate at %d batches %5.2f\n",
               (unsigned long)imageSize, floor.what, rate, sizes[2], last / rate);
    }
    return result;
}
