#include <server/client_session.h>
#include <server/thread_mediator.h>

#include <algorithm>
#include <list>

SessionDatabase::SessionDatabase(CNeoDatabase* server) : m_server(server)
{
    CFocusDatabases focus(&m_database, &m_database);
    m_database.setLocation(&m_location);
    ResetImage(&m_database);
}

SessionDatabase::~SessionDatabase()
{
    ThreadMediatorGuard guard;
    m_database.close(FALSE);
}

void SessionDatabase::LoadImage(const RpcBlob* blob)
{
    if (blob->size > 0 && blob->data == NULL)
        CNeoException::Throw(CNeoException::kBadArgument, "image without bytes");
    ::LoadImage(&m_database, blob->data, blob->size);
}

namespace {

void FillBlob(const BYTE* bytes, unsigned long length, RpcBlob* blob)
{
    BYTE* copy = static_cast<BYTE*>(MIDL_user_allocate(length ? length : 1));
    if (copy == NULL)
        throw 8UL;
    memcpy(copy, bytes, length);
    blob->size = length;
    blob->data = copy;
}

}  // namespace

void SessionDatabase::SendObject(CPPersistBase* object, RpcBlob* blob)
{
    m_writer.start();
    CopyIntoImage(&m_writer, m_server, object);
    unsigned long length = 0;
    const BYTE* bytes = m_writer.finish(&length);
    FillBlob(bytes, length, blob);
}

void SessionDatabase::SendObjects(const CObArray& objects, RpcBlob* blob)
{
    m_writer.start();
    for (int i = 0; i < objects.GetSize(); ++i)
        m_writer.add(static_cast<CNeoPersist*>(objects.GetAt(i)));
    unsigned long length = 0;
    const BYTE* bytes = m_writer.finish(&length);
    FillBlob(bytes, length, blob);
}

CPPersistBase* SessionDatabase::FindInServer(NeoClassID classID, const CPPersistBase* object)
{
    return CPPersistBase::FindSameInDatabase(m_server, classID, object);
}

ClientSession::ClientSession(CNeoDatabase* server) : m_server(server), m_database(NULL)
{
}

ClientSession::~ClientSession()
{
    if (m_console)
        gClientNotify.RemoveConsole(m_console.get());
    delete m_database;
}

BOOL ClientSession::RegisterConsole(const char* host)
{
    if (m_console && gClientNotify.IsRegistered(m_console.get()))
        return TRUE;
    // A new link each time: a dropped one may still be in a send.
    std::shared_ptr<ConsoleLink> link = std::make_shared<ConsoleLink>();
    if (link->Bind(host) != RPC_S_OK)
        return FALSE;
    m_console = link;
    gClientNotify.AddConsole(link);
    return TRUE;
}

SessionDatabase* ClientSession::GetSessionDatabase()
{
    if (m_database == NULL)
        m_database = new SessionDatabase(m_server);
    return m_database;
}

void ClientSession::AddLockedIds(long count, const long* ids)
{
    m_lockedIds.insert(m_lockedIds.end(), ids, ids + count);
}

void ClientSession::RemoveLockedIds(long count, const long* ids)
{
    for (long i = 0; i < count; ++i)
        m_lockedIds.erase(std::remove(m_lockedIds.begin(), m_lockedIds.end(), ids[i]),
                          m_lockedIds.end());
}

namespace {
std::list<ClientSession*> gSessions;
}  // namespace

ClientSession* ClientSessionList::Create(CNeoDatabase* server)
{
    ClientSession* session = new ClientSession(server);
    gSessions.push_back(session);
    return session;
}

void ClientSessionList::Delete(ClientSession* session)
{
    gSessions.remove(session);
    delete session;
}

int ClientSessionList::Count()
{
    return (int)gSessions.size();
}
