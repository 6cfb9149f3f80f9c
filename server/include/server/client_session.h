// One session per ServerInterface client. A client never touches the server
// database: objects it sends arrive in the session's own in-memory database,
// and objects it reads are written as an image straight from the server's.
#ifndef SERVER_CLIENT_SESSION_H
#define SERVER_CLIENT_SESSION_H

#include <server/client_notify.h>

#include <model/object_stream.h>

#include <rpc_blob.h>

#include <vector>

// The session's in-memory database, which holds the image a call received,
// and the writer of the images a call sends.
class SessionDatabase {
public:
    explicit SessionDatabase(CNeoDatabase* server);
    ~SessionDatabase();
    SessionDatabase(const SessionDatabase&) = delete;
    SessionDatabase& operator=(const SessionDatabase&) = delete;

    // Opens the blob's bytes as the image; throws CNeoException when they
    // are not one.
    void LoadImage(const RpcBlob* blob);
    // Writes a stored object with its children into a reply blob (allocated
    // with MIDL_user_allocate) as an image, without going through the
    // session's database; throws 8 when the blob cannot be allocated.
    void SendObject(CPPersistBase* object, RpcBlob* blob);
    // The same for objects, each as stored and without children.
    void SendObjects(const CObArray& objects, RpcBlob* blob);
    // The stored counterpart of an object of the image (same ID), referenced,
    // or NULL; an object the client has just created has none.
    CPPersistBase* FindInServer(NeoClassID classID, const CPPersistBase* object);

    CNeoDatabase* GetDatabase() { return &m_database; }
    CNeoDatabase* GetServerDatabase() { return m_server; }

private:
    CNeoDatabase* m_server;
    CNeoMemLocation m_location;
    CNeoDatabase m_database;
    CNeoImageWriter m_writer;
};

class ClientSession {
public:
    explicit ClientSession(CNeoDatabase* server);
    // Unregisters the session's console.
    ~ClientSession();
    ClientSession(const ClientSession&) = delete;
    ClientSession& operator=(const ClientSession&) = delete;

    // Created on first use.
    SessionDatabase* GetSessionDatabase();
    CNeoDatabase* GetServerDatabase() { return m_server; }

    // The IDs this client has locked; duplicates are kept, removal takes out
    // every entry equal to each ID.
    void AddLockedIds(long count, const long* ids);
    void RemoveLockedIds(long count, const long* ids);
    const std::vector<long>& GetLockedIds() const { return m_lockedIds; }

    // Binds the console on `host` and registers it with the notification
    // sender; FALSE when it cannot be bound. A console that is registered
    // already stays as it is; one dropped after a failed send is bound and
    // registered again.
    BOOL RegisterConsole(const char* host);

private:
    CNeoDatabase* m_server;
    std::shared_ptr<ConsoleLink> m_console;
    std::vector<long> m_lockedIds;
    SessionDatabase* m_database;
};

// The process's sessions. Used only under a ThreadMediatorGuard.
class ClientSessionList {
public:
    static ClientSession* Create(CNeoDatabase* server);
    // Takes the session out of the list and deletes it.
    static void Delete(ClientSession* session);
    static int Count();
};

#endif
