#include "recording_shell.h"

#include <model/batch.h>
#include <server/server_service.h>

#include <gtest/gtest.h>

namespace {

// At system shutdown the stop sequence does not run; the server still
// commits what it holds and ends its worker.
TEST(ServerShutdown, CommitsTheDatabaseAndEndsTheWorker)
{
    RecordingSink sink;
    ServerApp app;
    ServerService service(app);
    CString path = ServerApp::DatabasePath() + "\\zqdata.db";  // beside this program
    DeleteFileA(path);
    ResetEvent(ServerStopEvent());
    ASSERT_TRUE(app.InitInstance()) << (LPCTSTR)app.GetStartError();
    {
        CNeoLock lock;
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(CPBatch::Create()));
        batch->SetName("uncommitted");
        app.GetDatabase()->addObject(batch.get());
    }

    ServiceShell::ControlHandler(SERVICE_CONTROL_SHUTDOWN);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(ServerStopEvent(), 0));
    bool shuttingDown = false;
    for (const RecordedEntry& entry : sink.entries)
        shuttingDown |= entry.text == "The Vantorel server is shutting down.";
    EXPECT_TRUE(shuttingDown);
    app.CloseDatabase();

    CNeoFileLocation location(path);
    CNeoDatabase database;
    database.setLocation(&location);
    database.open(0xC0000000, FALSE);
    EXPECT_EQ(1, database.countObjects(kClassBatch));
    database.close();
    DeleteFileA(path);
}

}  // namespace
