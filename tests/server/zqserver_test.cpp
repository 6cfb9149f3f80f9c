// zqserver as a program: its command line, a start that cannot open the
// database, and its life as a service under the service control manager.
#include "services.h"
#include "zqserver_copy.h"

#include <model/batch.h>
#include <server/account_rights.h>

#include <gtest/gtest.h>

#include <cstdlib>
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
    EXPECT_EQ(EXIT_FAILURE, server.Run("-bogus", output));
    EXPECT_EQ("Vantorel Server\nUsage: " + server.exe + " [-install|-remove|-debug]\n", output);
    EXPECT_EQ(EXIT_FAILURE, server.Run("-debug -install", output));
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
    EXPECT_EQ(EXIT_SUCCESS, server.Run("-DEBUG", output));
    EXPECT_TRUE(Contains(output, "zqdata.db")) << output;
    EXPECT_FALSE(Contains(output, kServerStartedLine)) << output;
}

// ---------------------------------------------------------------------------
// The service through the service control manager.

class ZqserverService : public ::testing::Test {
protected:
    void SetUp() override
    {
        manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
        ASSERT_TRUE(manager != NULL);
        RemoveServiceIfInstalled(manager, kServiceName);  // left over from an earlier run
        ASSERT_TRUE(server.copied);
        RegisterModelKeys(kServerProgram);
        ASSERT_EQ((NET_API_STATUS)NERR_Success, GetLocalComputerName(computer, sizeof computer));
    }
    void TearDown() override
    {
        if (service)
            CloseServiceHandle(service);
        RemoveServiceIfInstalled(manager, kServiceName);
        CloseServiceHandle(manager);
    }
    bool Control(DWORD code, DWORD state)
    {
        SERVICE_STATUS status;
        return ControlService(service, code, &status) && WaitForServiceState(service, state);
    }

    // Installs the service with -install and opens it.
    void Install()
    {
        std::string output;
        ASSERT_EQ(EXIT_SUCCESS, server.Run("-install", output));
        EXPECT_EQ("Vantorel Server installed.\n", output);
        service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
        ASSERT_TRUE(service != NULL);
    }
    // Starts the installed service and waits until it runs.
    void Start()
    {
        ASSERT_TRUE(StartServiceA(service, 0, NULL));
        ASSERT_TRUE(WaitForServiceState(service, SERVICE_RUNNING));
    }
    // Installs the service, starts it and stops it again: its database
    // holds this computer's agent.
    void FirstStartAndStop()
    {
        ASSERT_NO_FATAL_FAILURE(Install());
        ASSERT_NO_FATAL_FAILURE(Start());
        ASSERT_TRUE(Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED));
    }

    ZqserverCopy server;
    SC_HANDLE manager = NULL;
    SC_HANDLE service = NULL;
    char computer[256] = "";
};

TEST_F(ZqserverService, InstallAndRemoveSayWhatTheyDid)
{
    std::string output;
    EXPECT_EQ(EXIT_SUCCESS, server.Run("-remove", output));
    EXPECT_TRUE(Contains(output, "OpenService failed - ")) << output;
    ASSERT_EQ(EXIT_SUCCESS, server.Run("-install", output));
    EXPECT_EQ("Vantorel Server installed.\n", output);
    ASSERT_EQ(EXIT_SUCCESS, server.Run("-remove", output));
    EXPECT_EQ("Vantorel Server removed.\n", output);  // not running: no stopping texts
}

TEST_F(ZqserverService, PausesContinuesAndStopsOnControls)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(Start());
    EXPECT_TRUE(Control(SERVICE_CONTROL_PAUSE, SERVICE_PAUSED));
    EXPECT_TRUE(Control(SERVICE_CONTROL_CONTINUE, SERVICE_RUNNING));
    EXPECT_TRUE(Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED));
}

TEST_F(ZqserverService, FirstStartCreatesTheDatabaseWithThisComputersAgent)
{
    ASSERT_NO_FATAL_FAILURE(FirstStartAndStop());
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(server.DatabaseFile().c_str()));
    std::unique_ptr<CNeoDatabase> database = server.OpenDatabase();
    ASSERT_EQ(1, database->countObjects(kClassAgent));
    CNeoStringSelect byName(kTagName, computer);
    CNeoRef<CNeoPersist> agent(database->findObject(kClassAgent, &byName));
    EXPECT_TRUE(agent);
    database->close();
}

TEST_F(ZqserverService, NextStartQueuesABatchThatWasRunningWhenTheServerEnded)
{
    ASSERT_NO_FATAL_FAILURE(FirstStartAndStop());
    NeoID batchID = 0;
    {
        std::unique_ptr<CNeoDatabase> database = server.OpenDatabase();
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(CPBatch::Create()));
        batch->SetName("nightly");
        batch->SetStatusValue(kBatchExecuting);
        batch->SetSavedStatus(kBatchIdle);
        batch->SetPhaseValue(kPhaseMonitoring);
        database->addObject(batch.get());
        batchID = batch->getID();
        database->commit();
        database->close();
    }
    ASSERT_NO_FATAL_FAILURE(Start());
    ASSERT_TRUE(Control(SERVICE_CONTROL_STOP, SERVICE_STOPPED));

    std::unique_ptr<CNeoDatabase> database = server.OpenDatabase();
    EXPECT_EQ(1, database->countObjects(kClassAgent));
    CNeoRef<CPBatch> batch(
        static_cast<CPBatch*>(CPPersistBase::FindByID(database.get(), kClassBatch, batchID)));
    ASSERT_TRUE(batch);
    EXPECT_EQ(kBatchQueued, batch->GetStatus());
    EXPECT_EQ(kBatchQueued, batch->GetSavedStatus());
    EXPECT_EQ(kPhaseLogon, batch->GetPhase());
    database->close();
}

// A client in another process is given a client number and lists this
// computer's agent.
TEST_F(ZqserverService, RunningServiceAnswersClientsOnItsPipe)
{
    ASSERT_NO_FATAL_FAILURE(FirstStartAndStop());
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string client = "\"" + ProgramBesideMe("rpc_test_client.exe") + "\" \\pipe\\zqserver1 ";
    std::string output;
    EXPECT_EQ(EXIT_SUCCESS, RunProgram(client + "ping", output));
    EXPECT_EQ("number 12201\n", output);
    EXPECT_EQ(EXIT_SUCCESS, RunProgram(client + "agents", output));
    EXPECT_EQ("agent " + std::string(computer) + "\n", output);
}

TEST_F(ZqserverService, RemoveStopsARunningServiceFirst)
{
    ASSERT_NO_FATAL_FAILURE(Install());
    ASSERT_NO_FATAL_FAILURE(Start());
    std::string output;
    ASSERT_EQ(EXIT_SUCCESS, server.Run("-remove", output));
    EXPECT_EQ("Stopping Vantorel Server.\nVantorel Server stopped.\nVantorel Server removed.\n",
              output);
    CloseServiceHandle(service);
    service = NULL;
    EXPECT_TRUE(OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS) == NULL);
}

}  // namespace
