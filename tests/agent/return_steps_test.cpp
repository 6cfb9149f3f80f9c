// Finished steps going back to their servers: the completed-step queue, the
// links per host and a stand-in server that refuses, dies and comes back.
#include "agent_fixture.h"
#include "agent_test_util.h"
#include "step_images.h"

#include <string>

namespace {

const char kHost[] = ".";
const char kOtherHost[] = "localhost";
// A restarted server may refuse the first calls on a new binding.
const int kPassesAfterRestart = 3;

class ReturnedSteps : public AgentManagers {
protected:
    ReturnedSteps() : server(Endpoint()) {}
    static std::string Endpoint()
    {
        return "\\pipe\\zqserver-agent-" + std::to_string(GetCurrentProcessId());
    }
    void SetUp() override
    {
        AgentManagers::SetUp();
        ServerLink::SetEndpoint(Endpoint().c_str());
        ASSERT_TRUE(server.Start());
    }
    // Hands a step from `host` to the process list, as AgentExecuteStep
    // does, and waits until it is finished; the step.
    CPProcessBase* Hand(const char* host, NeoID id)
    {
        CNeoLock lock;
        EXPECT_EQ(0, gProcessList->BindServerLink(host));
        int queued = gCompletedQueue->Count();
        CNeoRef<CPProcessScript> step(NewScriptStep(id, "step"));
        step->SetHostName(host);
        EXPECT_NE(0, gProcessList->Add(step.get()));
        for (int i = 0; i < 500 && gCompletedQueue->Count() == queued; ++i) {
            CNeoCriticalRelease release;
            Sleep(10);
        }
        return step.get();  // the process list holds it
    }
    void Pass()
    {
        CNeoLock lock;
        gCompletedQueue->ReturnCompleted();
    }
    int Links()
    {
        CNeoLock lock;
        return gProcessList->ServerLinkCount();
    }

    StandinServer server;
};

TEST_F(ReturnedSteps, EveryStepArrivesOnceLatestFirstAndItsLinkGoesWithTheLast)
{
    for (NeoID id : {1, 2, 3})
        Hand(kHost, id);
    EXPECT_EQ(1, Links());
    Pass();
    EXPECT_EQ("posted 3\nposted 2\nposted 1\n", server.Collect(3, 5000));
    EXPECT_EQ(0, gCompletedQueue->Count());
    EXPECT_EQ(0, Links());
    Pass();
    EXPECT_EQ("", server.Collect(1, 1000));
}

TEST_F(ReturnedSteps, RefusedStepsStayQueuedUntilTheServerTakesThem)
{
    Hand(kHost, 7);
    ASSERT_TRUE(server.SetRefusing(true));
    Pass();
    EXPECT_EQ("refused 7\n", server.Collect(1, 5000));
    EXPECT_EQ(1, gCompletedQueue->Count());
    EXPECT_EQ(1, Links());
    ASSERT_TRUE(server.SetRefusing(false));
    Pass();
    EXPECT_EQ("posted 7\n", server.Collect(1, 5000));
    EXPECT_EQ(0, gCompletedQueue->Count());
    EXPECT_EQ(0, Links());
}

TEST_F(ReturnedSteps, AServerThatDiesAndComesBackGetsEachStepOnce)
{
    struct Case {
        const char* what;
        bool passWhileDown;
    } cases[] = {
        {"the old session dead after a restart", false},
        {"a pass while the server is down", true},
    };
    NeoID id = 10;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Hand(kHost, ++id);
        server.Kill();
        if (c.passWhileDown) {
            Pass();
            EXPECT_EQ(1, gCompletedQueue->Count());
        }
        ASSERT_TRUE(server.Start());
        // The queue's passes, a second apart, until the step is taken.
        for (int pass = 0; pass < kPassesAfterRestart && gCompletedQueue->Count() > 0; ++pass) {
            Sleep(CompletedQueueManager::kPeriod);
            Pass();
        }
        EXPECT_EQ("posted " + std::to_string(id) + "\n", server.Collect(2, 3000));
        EXPECT_EQ(0, gCompletedQueue->Count());
    }
}

TEST_F(ReturnedSteps, CancelledStepsAreNeverReturnedAndLinksArePerHost)
{
    CPProcessBase* cancelled = Hand(kHost, 21);
    Hand(kOtherHost, 22);
    Hand(kHost, 23);
    EXPECT_EQ(2, Links());
    {
        CNeoLock lock;
        gProcessList->CancelStep(cancelled);
    }
    EXPECT_EQ(2, gCompletedQueue->Count());
    EXPECT_EQ(2, Links());
    Pass();
    EXPECT_EQ("posted 23\nposted 22\n", server.Collect(3, 3000));
    EXPECT_EQ(0, Links());

    // A host's cancel drops its link also without steps.
    CNeoLock lock;
    EXPECT_EQ(0, gProcessList->BindServerLink(kHost));
    EXPECT_EQ(1, gProcessList->ServerLinkCount());
    gProcessList->CancelServerSteps(kHost);
    EXPECT_EQ(0, gProcessList->ServerLinkCount());
}

TEST_F(ReturnedSteps, AStoppedListTakesNoStepAndHandlesAreNeverReused)
{
    CNeoLock lock;
    CNeoRef<CPProcessScript> first(NewScriptStep(31, "first"));
    CNeoRef<CPProcessScript> second(NewScriptStep(32, "second"));
    long firstHandle = gProcessList->Add(first.get());
    gProcessList->CancelStep(first.get());
    long secondHandle = gProcessList->Add(second.get());
    EXPECT_NE(0, firstHandle);
    EXPECT_NE(firstHandle, secondHandle);
    EXPECT_TRUE(gProcessList->FindStep(firstHandle) == NULL);
    gProcessList->Stop();
    EXPECT_TRUE(gProcessList->IsStopping());
    EXPECT_EQ(0, gProcessList->Add(first.get()));
}

}  // namespace
