// The application object of zqserver: it opens the server database beside
// the executable and prepares it for a new start.
#ifndef SERVER_SERVER_APP_H
#define SERVER_SERVER_APP_H

#include <server/batch_scheduler.h>

#include <zqdb32/zqdb32.h>

// The server's database.
class ServerDatabase : public CNeoDatabase {
public:
    virtual ~ServerDatabase();
};

class ServerApp : public CNeoAppMFC {
public:
    ServerApp();
    virtual ~ServerApp();

    // Opens (or creates) "Database\zqdata.db" beside the executable, adds
    // this computer's agent when missing and turns interrupted runs back
    // into queued batches. FALSE when the database cannot be opened; then
    // GetStartError() names the file and the reason.
    virtual BOOL InitInstance();
    // Formats of kinds 0 and 1, made on first use and kept.
    virtual CNeoFormat* GetFormat(short kind);

    ServerDatabase* GetDatabase() const { return m_database; }
    const CString& GetStartError() const { return m_startError; }
    // The database path InitInstance uses: "<exe folder>Database\zqdata.db".
    static CString DatabasePath();

    // Writes the changes; FALSE with `error` set when the commit failed.
    // Nothing to do while the database is not open.
    BOOL CommitDatabase(CString& error);
    void CloseDatabase();

    void EnsureLocalAgent();
    void ResetBatchesAfterRestart();

    // The scheduler thread that runs the batches; stopping it shuts down
    // every batch's run and commits.
    void StartBatchScheduler();
    void StopBatchScheduler();

private:
    BOOL OpenDatabase(const CString& path);

    ServerDatabase* m_database;
    CNeoFileLocation* m_location;
    CNeoFormat* m_formats[2];
    CString m_startError;
    BatchScheduler m_scheduler;
};

#endif
