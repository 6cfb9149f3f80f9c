// The work behind the ServerInterface procedures: each reads or changes the
// server database for one session. Failures are thrown as unsigned long
// codes (232 nothing found, 167 already busy, 8 no memory for the reply,
// 13 an image that cannot be stored); library exceptions pass on. Callers
// hold a ThreadMediatorGuard and commit after a call that changes objects.
#ifndef SERVER_OBJECT_ACCESS_H
#define SERVER_OBJECT_ACCESS_H

#include <server/client_session.h>
#include <server_interface.h>

// Status codes the server produces itself.
const unsigned long kStatusNotFound = 232;
const unsigned long kStatusBusy = 167;
const unsigned long kStatusNoMemory = 8;
const unsigned long kStatusInvalidData = ERROR_INVALID_DATA;

class ObjectAccess {
public:
    static void DeleteObjects(ClientSession* session, long count, const long* ids);
    // Throws 167 (and releases the marks it set) when one of them is busy.
    static void LockObjects(ClientSession* session, long count, const long* ids);
    static void UnlockObjects(ClientSession* session, long count, const long* ids);
    static void GetObjectsByClass(ClientSession* session, long mode, NeoClassID classID,
                                  RpcBlob* reply);
    static void AddObjects(ClientSession* session, const RpcBlob* image);
    // Throws 13, before anything is stored, when an object of the image has
    // an ID that the server holds for an object of another class.
    static void StoreObjects(ClientSession* session, const RpcBlob* image);
    static void GetObjectByID(ClientSession* session, NeoClassID classID, NeoID id,
                              RpcBlob* reply);
    static void GetObjectByName(ClientSession* session, NeoClassID classID, const char* name,
                                RpcBlob* reply);
    static void RenameObject(ClientSession* session, NeoID id, const char* newName);
    static BOOL IsNameFree(ClientSession* session, NeoClassID classID, const char* name);
    static long NextDocumentNumber(ClientSession* session);
    static NeoID NewObjectID(ClientSession* session);
    static void ListObjectNames(ClientSession* session, long mode, NeoClassID classID,
                                RpcBlob* reply);
    static void ListObjectNamesByKey(ClientSession* session, long mode, NeoClassID classID,
                                     long key, RpcBlob* reply);
    static void ListBatchLogs(ClientSession* session, long mode, NeoID parentID, RpcBlob* reply);
    static long GetBatchStatus(ClientSession* session, NeoID batchID);
    static void SetBatchStatus(ClientSession* session, NeoID batchID, long status);
    // Copies the name into `name` (room for kMaxNameLength + 1 bytes).
    static void GetBatchName(ClientSession* session, NeoID batchID, char* name);
    static void ListUnregisteredAgents(ClientSession* session, RpcBlob* reply);
};

#endif
