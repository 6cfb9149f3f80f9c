// Console notifications sent through real console links to a recording
// console (recording_console.exe) on a pipe of this process's own.
#include "peer_programs.h"

#include <server/client_notify.h>
#include <server/client_session.h>

#include <model/batch.h>

#include <processes.h>
#include <statuses.h>

#include "model_test_util.h"

#include <gtest/gtest.h>

#include <memory>
#include <thread>

namespace {

const DWORD kStartWait = 20000;
const long kBatchID = 4100;
const long kRenamedID = 4200;
const long kRenamedClass = kClassBatch;
// Status changes far past the queue's limit, within one pass.
const int kFlood = 2500;
// How long a console may stay silent while records are still coming.
const DWORD kQuietWait = 10000;

// Host texts that the test maps to pipes of its own.
const char kRecorderHost[] = "recorder";
const char kDeadHost[] = "dead-console";

class RecordingConsole {
public:
    explicit RecordingConsole(const std::string& name)
        : endpoint(TestPipe(name)), program(ProgramBesideMe("recording_console.exe"), endpoint)
    {
    }
    bool Start() { return program.Start("listening", kStartWait); }
    std::vector<std::string> Heard() { return QuitAndCollect(program); }

    std::string endpoint;
    PipedProgram program;
};

// Maps the console hosts of a test to its pipes, and forgets them after it.
class ConsoleNotifyTest : public ::testing::Test {
protected:
    ConsoleNotifyTest() : m_recorder("recorder")
    {
        ConsoleLink::SetTestEndpoint(kRecorderHost, m_recorder.endpoint.c_str());
        ConsoleLink::SetTestEndpoint(kDeadHost, TestPipe("nobody").c_str());
    }
    ~ConsoleNotifyTest() override
    {
        ConsoleLink::SetTestEndpoint(kRecorderHost, NULL);
        ConsoleLink::SetTestEndpoint(kDeadHost, NULL);
    }

    static std::shared_ptr<ConsoleLink> BoundLink(const char* host)
    {
        std::shared_ptr<ConsoleLink> link = std::make_shared<ConsoleLink>();
        EXPECT_EQ(link->Bind(host), RPC_S_OK);
        return link;
    }

    RecordingConsole m_recorder;
};

TEST_F(ConsoleNotifyTest, UnreachableConsoleIsDroppedAndTheNextHearsEveryRecordInOrder)
{
    ASSERT_TRUE(m_recorder.Start());
    ClientNotifyManager manager;
    std::shared_ptr<ConsoleLink> dead = BoundLink(kDeadHost);
    std::shared_ptr<ConsoleLink> recorder = BoundLink(kRecorderHost);
    manager.AddConsole(dead);
    manager.AddConsole(recorder);

    manager.QueueStatus(kNotifyStatusChanged, "nightly", kBatchID, kBatchExecuting);
    manager.QueueStatus(kNotifyPhaseChanged, "nightly", kBatchID, kPhaseStarting);
    manager.QueueRename(kNotifyObjectRenamed, kRenamedClass, kRenamedID, "nightly", "weekly");
    manager.QueueStatus(kNotifyBatchDeleted, "weekly", kBatchID, kBatchIdle);
    manager.SendQueued();

    EXPECT_FALSE(manager.IsRegistered(dead.get()));
    EXPECT_TRUE(manager.IsRegistered(recorder.get()));
    // Nothing waits once it has been sent, and nothing is sent twice.
    EXPECT_EQ(manager.GetQueue().GetCount(), 0);
    manager.SendQueued();
    const std::string kHeard =
        "batch 1 4100 4 nightly\n"
        "batch 2 4100 2 nightly\n"
        "object 5 " + std::to_string(kRenamedClass) + " 4200 nightly|weekly\n"
        "batch 4 4100 3 weekly\n";
    EXPECT_EQ(Rows(m_recorder.Heard()), kHeard);
}

TEST_F(ConsoleNotifyTest, OnePassSendsAtMostTheQueuesLimit)
{
    ASSERT_TRUE(m_recorder.Start());
    ClientNotifyManager manager;
    manager.AddConsole(BoundLink(kRecorderHost));
    for (int i = 0; i < kFlood; ++i)
        manager.QueueStatus(kNotifyStatusChanged, "flood", i, kBatchExecuting);
    // The console's output is read while the pass sends: a full pipe would
    // hold the console, and the pass with it.
    std::thread pass([&] { manager.SendQueued(); });
    std::vector<std::string> heard;
    for (std::string line; heard.size() < (size_t)ClientNotifyManager::kMaxQueued &&
                           !(line = m_recorder.program.WaitForLine("batch ", kQuietWait)).empty();)
        heard.push_back(line);
    pass.join();
    for (const std::string& late : m_recorder.Heard())
        heard.push_back(late);
    ASSERT_EQ(heard.size(), (size_t)ClientNotifyManager::kMaxQueued);
    // The first ones are kept, the late ones dropped.
    EXPECT_EQ(heard.front(), "batch 1 0 4 flood");
    EXPECT_EQ(heard.back(), "batch 1 2000 4 flood");
}

TEST_F(ConsoleNotifyTest, ConsoleDroppedAfterAFailedSendRegistersAgainOnItsSession)
{
    InMemoryDatabase db;
    ClientSession session(db.get());
    // Registered before its console listens: the first record fails.
    ASSERT_TRUE(session.RegisterConsole(kRecorderHost));
    EXPECT_TRUE(session.RegisterConsole(kRecorderHost));  // stays as it is
    EXPECT_EQ(gClientNotify.GetConsoleCount(), 1);
    gClientNotify.QueueStatus(kNotifyStatusChanged, "lost", kBatchID, kBatchExecuting);
    gClientNotify.SendQueued();
    EXPECT_EQ(gClientNotify.GetConsoleCount(), 0);

    ASSERT_TRUE(m_recorder.Start());
    EXPECT_TRUE(session.RegisterConsole(kRecorderHost));
    EXPECT_EQ(gClientNotify.GetConsoleCount(), 1);
    gClientNotify.QueueStatus(kNotifyStatusChanged, "heard", kBatchID, kBatchIdle);
    gClientNotify.SendQueued();
    EXPECT_EQ(gClientNotify.GetConsoleCount(), 1);
    EXPECT_EQ(Rows(m_recorder.Heard()), "batch 1 4100 3 heard\n");
}

}  // namespace
