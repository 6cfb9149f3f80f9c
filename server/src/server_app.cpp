#include <server/server_app.h>

#include <server/account_rights.h>

#include <model/batch.h>

#include <direct.h>
#include <errno.h>
#include <string.h>

namespace {
// The library takes paths as length-prefixed strings.
const int kMaxDatabasePath = 255;
}  // namespace

ServerDatabase::~ServerDatabase() {}

ServerApp::ServerApp() : m_database(NULL), m_location(NULL), m_formats{NULL, NULL} {}

ServerApp::~ServerApp()
{
    delete m_formats[0];
    delete m_formats[1];
    delete m_database;
    delete m_location;
}

CNeoFormat* ServerApp::GetFormat(short kind)
{
    if (kind != 0 && kind != 1)
        return NULL;
    if (!m_formats[kind])
        m_formats[kind] = new CNeoFormat(kind, 1280, 1, 1, 1, 1, 16, 6, 4, 4, 4);
    m_formats[kind]->setKind(kind);
    return m_formats[kind];
}

CString ServerApp::DatabasePath()
{
    char path[MAX_PATH];
    GetModuleFileNameA(NULL, path, sizeof path);
    char* name = strrchr(path, '\\');
    if (name)
        name[1] = '\0';
    return CString(path) + "Database";
}

BOOL ServerApp::InitInstance()
{
    gNeoApp = this;
    CString folder = DatabasePath();
    if (_mkdir(folder) != 0 && errno != EEXIST) {
        m_startError.Format("The database folder %s cannot be created: %s", (LPCTSTR)folder,
                            strerror(errno));
        return FALSE;
    }
    CString path = folder + "\\zqdata.db";
    if (path.GetLength() > kMaxDatabasePath) {
        m_startError.Format("The database file %s cannot be opened: the path is longer than %d "
                            "characters",
                            (LPCTSTR)path, kMaxDatabasePath);
        return FALSE;
    }
    RegisterModelKeys(kServerProgram);
    CNeoLock lock;
    if (!OpenDatabase(path))
        return FALSE;
    EnsureLocalAgent();
    ResetBatchesAfterRestart();
    return TRUE;
}

BOOL ServerApp::OpenDatabase(const CString& path)
{
    delete m_database;
    delete m_location;
    m_location = new CNeoFileLocation(path);
    m_database = new ServerDatabase;
    m_database->fSetting = 2;
    gNeoDatabase = m_database;
    gNeoTargetDatabase = m_database;
    m_database->setLocation(m_location);
    try {
        if (!m_database->existsOnDisk())
            m_database->create();
        m_database->open(0xC0000000, TRUE);
    } catch (CNeoException* e) {
        m_startError.Format("The database file %s cannot be opened: %s", (LPCTSTR)path,
                            (LPCTSTR)e->getText());
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

void ServerApp::EnsureLocalAgent()
{
    char name[256] = "";
    GetLocalComputerName(name, sizeof name);
    CNeoStringSelect byName(kTagName, name);
    CNeoRef<CNeoPersist> existing(m_database->findObject(kClassAgent, &byName));
    if (existing)
        return;
    CNeoRef<CPAgent> agent(static_cast<CPAgent*>(CPAgent::Create()));
    agent->SetName(name);
    m_database->addObject(agent.get());
    agent->setDirty();
}

void ServerApp::ResetBatchesAfterRestart()
{
    // A run that the last stop interrupted starts again from the logon phase.
    ForEachBatch(m_database, [](CPBatch* batch) { batch->ResetAfterRestart(); });
}

void ServerApp::StartBatchScheduler()
{
    m_scheduler.Start(m_database);
}

void ServerApp::StopBatchScheduler()
{
    m_scheduler.Stop();
}

BOOL ServerApp::CommitDatabase(CString& error)
{
    CNeoLock lock;
    if (!m_database || !m_database->isOpen())
        return TRUE;
    try {
        m_database->commit(FALSE, TRUE, NULL);
    } catch (CNeoException* e) {
        error.Format("The database file %s could not be saved: %s",
                     (LPCTSTR)m_location->getName(), (LPCTSTR)e->getText());
        e->Delete();
        return FALSE;
    }
    return TRUE;
}

void ServerApp::CloseDatabase()
{
    CNeoLock lock;
    if (m_database && m_database->isOpen())
        m_database->close(FALSE);
}
