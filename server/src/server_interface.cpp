// The ServerInterface routines and their listener. Every routine returns 0
// and reports through its status: 0, a code a worker threw, the system error
// of a failed read or write of the database, 13 (ERROR_INVALID_DATA) for
// data the library refused, or the thread's last system error for any other
// failure. A routine that changes stored objects answers 0 only once the
// change is committed to disk.
#include <server/account_test.h>
#include <server/agent_updates.h>
#include <server/object_access.h>
#include <server/remote_call.h>
#include <server/rpc_listener.h>
#include <server/thread_mediator.h>

#include <seguard/seguard.h>

#include <server_interface.h>

#include <stdio.h>
#include <string.h>

namespace {

CNeoDatabase* gServerDatabase;

// Refused: a text too long for where it goes, a console that cannot be
// bound, a full result queue.
const long kStatusRefused = 1;
// A console's host text goes into a 260-byte network address.
const size_t kMaxHostText = 259;
const LONG kFirstClientNumber = 12201;
const LONG kLastClientNumber = 12400;
volatile LONG gClientNumber = kFirstClientNumber - 1;

BOOL TextFits(const char* text, size_t limit)
{
    return text != NULL && strnlen(text, limit + 1) <= limit;
}

enum CallKind { kReads, kChanges };

// Runs a body that uses a database, holding a ThreadMediatorGuard. After a
// body that changes stored objects the server database is committed under
// the same guard, also when the body failed part way, so that memory and
// disk agree; the body's failure comes first in the status.
template <class Body>
long DatabaseCall(Body body, CallKind kind = kReads)
{
    if (kind == kReads)
        return MediatedCall(body);
    return MediatedCall(body, [] { gServerDatabase->commit(FALSE, TRUE, NULL); });
}

template <class Body>
long SessionCall(ServerInterfaceContext context, Body body, CallKind kind = kReads)
{
    ClientSession* session = static_cast<ClientSession*>(context);
    return DatabaseCall([&] { body(session); }, kind);
}

// A session call that changes stored objects: its 0 means on disk.
template <class Body>
long ChangeCall(ServerInterfaceContext context, Body body)
{
    return SessionCall(context, body, kChanges);
}

// A session call that answers with a blob; a failed call's blob is empty.
template <class Body>
long ReplyCall(ServerInterfaceContext context, RpcBlob* reply, Body body)
{
    reply->size = 0;
    reply->data = NULL;
    long status = SessionCall(context, body);
    if (status != 0) {
        MIDL_user_free(reply->data);
        reply->size = 0;
        reply->data = NULL;
    }
    return status;
}

unsigned ContextText(ServerInterfaceContext context)
{
    return (unsigned)(UINT_PTR)context;
}

void DeleteSession(ServerInterfaceContext context)
{
    DatabaseCall([&] { ClientSessionList::Delete(static_cast<ClientSession*>(context)); });
}

}  // namespace

RPC_STATUS StartRpcServer(CNeoDatabase* serverDatabase, const char* endpoint)
{
    gServerDatabase = serverDatabase;
    RPC_STATUS status = RpcServerUseProtseqEpA((RPC_CSTR) "ncacn_np", 20, (RPC_CSTR)endpoint, NULL);
    if (status != RPC_S_OK)
        return status;
    status = RpcServerRegisterIf(ServerInterface_v1_0_s_ifspec, NULL, NULL);
    if (status != RPC_S_OK)
        return status;
    printf("Named pipe RPC channel open, listening for incoming connections...\n\n");
    fflush(stdout);
    return RpcServerListen(1, 20, TRUE);
}

void StopRpcServer()
{
    // The endpoint map needs the server's bindings: without them the call
    // reads through a null vector.
    RPC_BINDING_VECTOR* bindings = NULL;
    if (RpcServerInqBindings(&bindings) == RPC_S_OK) {
        RpcEpUnregister(ServerInterface_v1_0_s_ifspec, bindings, NULL);
        RpcBindingVectorFree(&bindings);
    }
    RpcServerUnregisterIf(NULL, NULL, FALSE);
}

int OpenSessionCount()
{
    int count = 0;
    DatabaseCall([&] { count = ClientSessionList::Count(); });
    return count;
}

// A client that vanished without closing its session.
void ServerInterfaceRundown(ServerInterfaceContext context)
{
    DeleteSession(context);
}

void __RPC_USER ServerInterfaceContext_rundown(ServerInterfaceContext context)
{
    ServerInterfaceRundown(context);
}

LONG OpenSession(ServerInterfaceContext* context, RpcBlob*, LONG* status)
{
    *context = NULL;
    *status = DatabaseCall([&] {
        *context = ClientSessionList::Create(gServerDatabase);
        printf("Incoming connection received. Context handle: 0x%x\n", ContextText(*context));
        fflush(stdout);
    });
    return 0;
}

LONG CloseSession(ServerInterfaceContext* context)
{
    printf("Disconnecting context handle: 0x%x\n", ContextText(*context));
    fflush(stdout);
    DeleteSession(*context);
    *context = NULL;
    return 0;
}

LONG DeleteObjects(ServerInterfaceContext context, LONG count, LONG ids[], LONG* status)
{
    *status = ChangeCall(context, [&](ClientSession* session) {
        ObjectAccess::DeleteObjects(session, count, ids);
    });
    return 0;
}

LONG LockObjects(ServerInterfaceContext context, LONG count, LONG ids[], LONG* status)
{
    *status = SessionCall(context, [&](ClientSession* session) {
        ObjectAccess::LockObjects(session, count, ids);
    });
    return 0;
}

LONG UnlockObjects(ServerInterfaceContext context, LONG count, LONG ids[], LONG* status)
{
    *status = SessionCall(context, [&](ClientSession* session) {
        ObjectAccess::UnlockObjects(session, count, ids);
    });
    return 0;
}

LONG GetObjectsByClass(ServerInterfaceContext context, LONG mode, LONG classID, RpcBlob* image,
                       LONG* status)
{
    *status = ReplyCall(context, image, [&](ClientSession* session) {
        ObjectAccess::GetObjectsByClass(session, mode, classID, image);
    });
    return 0;
}

LONG AddObjects(ServerInterfaceContext context, RpcBlob* image, LONG, LONG[], LONG* status)
{
    *status = ChangeCall(context, [&](ClientSession* session) {
        ObjectAccess::AddObjects(session, image);
    });
    return 0;
}

LONG StoreObjects(ServerInterfaceContext context, RpcBlob* image, LONG, LONG[], LONG* status)
{
    *status = ChangeCall(context, [&](ClientSession* session) {
        ObjectAccess::StoreObjects(session, image);
    });
    return 0;
}

LONG GetObjectByID(ServerInterfaceContext context, LONG classID, LONG id, RpcBlob* image,
                   LONG* status)
{
    *status = ReplyCall(context, image, [&](ClientSession* session) {
        ObjectAccess::GetObjectByID(session, classID, id, image);
    });
    return 0;
}

LONG GetObjectByName(ServerInterfaceContext context, LONG classID, const char* name,
                     RpcBlob* image, LONG* status)
{
    *status = ReplyCall(context, image, [&](ClientSession* session) {
        if (!TextFits(name, kMaxNameLength))
            throw (unsigned long)kStatusRefused;
        ObjectAccess::GetObjectByName(session, classID, name, image);
    });
    return 0;
}

LONG RenameObject(ServerInterfaceContext context, LONG id, const char* newName, LONG* status)
{
    *status = ChangeCall(context, [&](ClientSession* session) {
        if (!TextFits(newName, kMaxNameLength))
            throw (unsigned long)kStatusRefused;
        ObjectAccess::RenameObject(session, id, newName);
    });
    return 0;
}

LONG IsNameFree(ServerInterfaceContext context, LONG classID, const char* name, LONG* nameFree,
                LONG* status)
{
    *nameFree = 0;
    *status = SessionCall(context, [&](ClientSession* session) {
        if (!TextFits(name, kMaxNameLength))
            throw (unsigned long)kStatusRefused;
        *nameFree = ObjectAccess::IsNameFree(session, classID, name) ? 1 : 0;
    });
    return 0;
}

LONG NoOp(ServerInterfaceContext context, LONG, LONG, RpcBlob*, LONG* status)
{
    *status = SessionCall(context, [&](ClientSession* session) { session->GetSessionDatabase(); });
    return 0;
}

LONG PostProcessUpdate(ServerInterfaceContext, LONG processID, RpcBlob* result, LONG* status)
{
    // Queued as it came; the result worker applies it to the database.
    *status = result ? gAgentUpdates.Post(processID, result->data, result->size) : kStatusRefused;
    return 0;
}

LONG Ping(void)
{
    return 0;
}

LONG StopServerListening(void)
{
    // Only the service's own stop sequence ends the listener.
    return ERROR_ACCESS_DENIED;
}

LONG TestBatchLogon(const char* domain, const char* user, const char* password, LONG* status)
{
    SetLastError(0);
    HANDLE token = NULL;
    if (!LogonBatchUser(domain, user, password, &token)) {
        *status = LastErrorStatus();
        return 0;
    }
    Os<LogonCalls>().CloseToken(token);
    *status = 0;
    return 0;
}

LONG TestFileAccess(const char* domain, const char* user, const char* password, const char* file,
                    LONG* status)
{
    SetLastError(0);
    // OpenFile keeps the path in a fixed buffer.
    if (!TextFits(file, OFS_MAXPATHNAME - 1)) {
        *status = kStatusRefused;
        return 0;
    }
    LogonCalls& logon = Os<LogonCalls>();
    HANDLE token = NULL;
    if (!LogonBatchUser(domain, user, password, &token)) {
        *status = LastErrorStatus();
        return 0;
    }
    // With a token no thread can act as, the file is tried as the service's
    // own account.
    BOOL impersonating = logon.CanImpersonate();
    if (impersonating && !logon.Impersonate(token)) {
        *status = LastErrorStatus();
        logon.CloseToken(token);
        return 0;
    }
    OFSTRUCT details;
    *status = OpenFile(file, &details, OF_EXIST) == HFILE_ERROR ? LastErrorStatus() : 0;
    if (impersonating)
        logon.RevertToSelf();
    logon.CloseToken(token);
    return 0;
}

LONG GetServerEnvironment(RpcBlob* environment, LONG* status)
{
    environment->size = 0;
    environment->data = NULL;
    SetLastError(0);
    char* block = GetEnvironmentStringsA();
    if (block == NULL) {
        *status = LastErrorStatus();
        return 0;
    }
    // The block ends with two NUL bytes in a row.
    size_t length = 0;
    while (block[length] != 0 || block[length + 1] != 0)
        ++length;
    length += 2;
    BYTE* copy = static_cast<BYTE*>(MIDL_user_allocate(length));
    if (copy == NULL) {
        *status = kStatusNoMemory;
    } else {
        memcpy(copy, block, length);
        environment->size = (ULONG)length;
        environment->data = copy;
        *status = 0;
    }
    FreeEnvironmentStringsA(block);
    return 0;
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

LONG NextDocumentNumber(ServerInterfaceContext context, LONG* number, LONG* status)
{
    *number = 0;
    *status = ChangeCall(context, [&](ClientSession* session) {
        *number = ObjectAccess::NextDocumentNumber(session);
    });
    return 0;
}

LONG NewObjectID(ServerInterfaceContext context, LONG* id, LONG* status)
{
    *id = 0;
    *status = SessionCall(context, [&](ClientSession* session) {
        *id = ObjectAccess::NewObjectID(session);
    });
    return 0;
}

LONG ListObjectNames(ServerInterfaceContext context, LONG mode, LONG classID, RpcBlob* list,
                     LONG* status)
{
    *status = ReplyCall(context, list, [&](ClientSession* session) {
        ObjectAccess::ListObjectNames(session, mode, classID, list);
    });
    return 0;
}

LONG ListObjectNamesByKey(ServerInterfaceContext context, LONG mode, LONG classID, LONG key,
                          RpcBlob* list, LONG* status)
{
    *status = ReplyCall(context, list, [&](ClientSession* session) {
        ObjectAccess::ListObjectNamesByKey(session, mode, classID, key, list);
    });
    return 0;
}

LONG ListBatchLogs(ServerInterfaceContext context, LONG mode, LONG parentID, RpcBlob* list,
                   LONG* status)
{
    *status = ReplyCall(context, list, [&](ClientSession* session) {
        ObjectAccess::ListBatchLogs(session, mode, parentID, list);
    });
    return 0;
}

LONG GetBatchStatus(ServerInterfaceContext context, LONG batchID, LONG* batchStatus, LONG* status)
{
    *batchStatus = 0;
    *status = SessionCall(context, [&](ClientSession* session) {
        *batchStatus = ObjectAccess::GetBatchStatus(session, batchID);
    });
    return 0;
}

LONG SetBatchStatus(ServerInterfaceContext context, LONG batchID, LONG batchStatus, LONG* status)
{
    *status = ChangeCall(context, [&](ClientSession* session) {
        ObjectAccess::SetBatchStatus(session, batchID, batchStatus);
    });
    return 0;
}

LONG GetBatchName(ServerInterfaceContext context, LONG batchID, char name[256], LONG* status)
{
    name[0] = 0;
    *status = SessionCall(context, [&](ClientSession* session) {
        ObjectAccess::GetBatchName(session, batchID, name);
    });
    return 0;
}

LONG RegisterConsole(handle_t, ServerInterfaceContext context, const char* host, const char*,
                     LONG* status)
{
    // Under the guard only so that the session cannot close meanwhile.
    *status = SessionCall(context, [&](ClientSession* session) {
        if (!TextFits(host, kMaxHostText) || !session->RegisterConsole(host))
            throw (unsigned long)kStatusRefused;
    });
    return 0;
}

LONG ListUnregisteredAgents(ServerInterfaceContext context, RpcBlob* list, LONG* status)
{
    *status = ReplyCall(context, list, [&](ClientSession* session) {
        ObjectAccess::ListUnregisteredAgents(session, list);
    });
    return 0;
}

LONG NextClientNumber(LONG* number, LONG* status)
{
    // Wrap and increment in one step: concurrent callers never share a number.
    LONG current, next;
    do {
        current = gClientNumber;
        next = current >= kLastClientNumber ? kFirstClientNumber : current + 1;
    } while (InterlockedCompareExchange(&gClientNumber, next, current) != current);
    *number = next;
    *status = 0;
    return 0;
}
