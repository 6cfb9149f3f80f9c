// zqserver as a program: its command line, a start that cannot open the
// database, and its life as a service under the service control manager.
#include "zqserver_copy.h"

#include <model/batch.h>
#include <server/account_rights.h>

#include <gtest/gtest.h>

#include <string>

namespace {

const char kServiceName[] = "zqserver";

bool Contains(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(ZqserverCommandLine, UnknownArgumentsEndWithCode1)
{
    ZqserverCopy server;
    ASSERT_TRUE(server.copied);
    std::string output;
    EXPECT_EQ(1, server.Run("-bogus", output));
    EXPECT_EQ("Vantorel Server\nUsage: " + server.exe + " [-install|-remove|-debug]\n", output);
    EXPECT_EQ(1, server.Run("-debug -install", output));
    EXPECT_EQ("", output);
}

TEST(ZqserverCommandLine, DebugStartStopsWhenTheDatabaseCannotBeOpened)
{
    ZqserverCopy server;
    ASSERT_TRUE(server.copied);
    // A file where the database folder belongs.
    HANDLE blocker = CreateFileA(server.DatabaseFolder().c_str(), GENERIC_WRITE, 0, NULL,
                                 CREATE_ALWAYS, 0, NULL);
    ASSERT_NE(INVALID_HANDLE_VALUE, blocker);
    CloseHandle(blocker);
    std::string output;
    EXPECT_EQ(0, server.Run("-DEBUG", output));
    EXPECT_TRUE(Contains(output, "zqdata.db")) << output;
    EXPECT_FALSE(Contains(output, "The Vantorel server was started.")) << output;
}

// ---------------------------------------------------------------------------
// The service through the service control manager.

class ZqserverService : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        ASSERT_TRUE(manager != NULL);
        RemoveService();  // left over from an earlier run
        ASSERT_TRUE(server.copied);
        RegisterModelKeys(kServerProgram);
    }
    void TearDown() override
    {
        RemoveService();
        CloseServiceHandle(manager);
    }
    void RemoveService()
    {
        SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
        if (!service)
            return;
        SERVICE_STATUS status;
        if (ControlService(service, SERVICE_CONTROL_STOP, &status))
            WaitForState(service, SERVICE_STOPPED);
        DeleteService(service);
        CloseServiceHandle(service);
    }
    // TRUE once the service reaches `state` (within 15 s).
    static bool WaitForState(SC_HANDLE service, DWORD state)
    {
        SERVICE_STATUS status;
        for (int i = 0; i < 300; ++i) {
            if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
                return true;
            Sleep(50);
        }
        return false;
    }
    bool Control(SC_HANDLE service, DWORD code, DWORD state)
    {
        SERVICE_STATUS status;
        return ControlService(service, code, &status) && WaitForState(service, state);
    }

    ZqserverCopy server;
    SC_HANDLE manager = NULL;
};

// One test, since the service name is one per machine.
TEST_F(ZqserverService, InstallRunPauseStopRestartAndRemove)
{
    std::string output;
    EXPECT_EQ(0, server.Run("-remove", output));
    EXPECT_TRUE(Contains(output, "OpenService failed - ")) << output;
    ASSERT_EQ(0, server.Run("-install", output));
    EXPECT_EQ("Vantorel Server installed.\n", output);
    ASSERT_EQ(0, server.Run("-remove", output));
    EXPECT_EQ("Vantorel Server removed.\n", output);  // not running: no stopping texts
    ASSERT_EQ(0, server.Run("-install", output));
    EXPECT_EQ("Vantorel Server installed.\n", output);
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service != NULL);

    // First start: the folder, the file and this computer's agent appear.
    ASSERT_TRUE(StartServiceA(service, 0, NULL));
    ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(server.DatabaseFile().c_str()));
    EXPECT_TRUE(Control(service, SERVICE_CONTROL_PAUSE, SERVICE_PAUSED));
    EXPECT_TRUE(Control(service, SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING));
    ASSERT_TRUE(Control(service, SERVICE_CONTROL_STOP, SERVICE_STOPPED));

    char computer[256] = "";
    ASSERT_EQ((NET_API_STATUS)0, GetLocalComputerName(computer, sizeof computer));
    NeoID batchID = 0;
    {
        std::unique_ptr<CNeoDatabase> database = server.OpenDatabase();
        ASSERT_EQ(1, database->countObjects(kClassAgent));
        CNeoStringSelect byName(kTagName, computer);
        CNeoRef<CNeoPersist> agent(database->findObject(kClassAgent, &byName));
        EXPECT_TRUE(agent);
        // A batch that was running when the server ended.
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(CPBatch::Create()));
        batch->SetName("nightly");
        batch->SetStatusValue(kBatchExecuting);
        batch->SetSavedStatus(kBatchIdle);
        batch->SetPhaseValue(3);
        database->addObject(batch.get());
        batchID = batch->getID();
        database->commit();
        database->close();
    }

    // Second start, then -remove of the running service.
    ASSERT_TRUE(StartServiceA(service, 0, NULL));
    ASSERT_TRUE(WaitForState(service, SERVICE_RUNNING));
    // The running service answers ServerInterface on its pipe: a client in
    // another process is given a client number and lists this computer's
    // agent.
    std::string client = "\"" + ProgramBesideMe("rpc_test_client.exe") + "\" \\pipe\\zqserver1 ";
    EXPECT_EQ(0, RunProgram(client + "ping", output));
    EXPECT_EQ("number 12201\n", output);
    EXPECT_EQ(0, RunProgram(client + "agents", output));
    EXPECT_EQ("agent " + std::string(computer) + "\n", output);
    ASSERT_EQ(0, server.Run("-remove", output));
    EXPECT_EQ("Stopping Vantorel Server.\nVantorel Server stopped.\nVantorel Server removed.\n",
              output);
    CloseServiceHandle(service);
    EXPECT_TRUE(OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS) == NULL);

    std::unique_ptr<CNeoDatabase> database = server.OpenDatabase();
    EXPECT_EQ(1, database->countObjects(kClassAgent));
    CNeoRef<CPBatch> batch(
        static_cast<CPBatch*>(CPPersistBase::FindByID(database.get(), kClassBatch, batchID)));
    ASSERT_TRUE(batch);
    EXPECT_EQ(kBatchQueued, batch->GetStatus());
    EXPECT_EQ(kBatchQueued, batch->GetSavedStatus());
    EXPECT_EQ(0, batch->GetPhase());
    database->close();
}

}  // namespace
