// AgentLink against stand-in agents (standin_agent.exe) on pipes of this
// process's own, alone and as the transport through which steps are placed.
#include "engine_fixture.h"
#include "peer_programs.h"

#include <server/agent_link.h>

#include <processes.h>

#include <memory>

namespace {

const long kAccepts = 0;
const long kFirstHandle = 700;
const long kNearLoad = 10;
const long kFarLoad = 30;
const DWORD kStartWait = 20000;

// A stand-in agent on its own pipe with a load and an answer to steps.
class StandInProgram {
public:
    StandInProgram(const std::string& name, long load, long executeStatus, long firstHandle)
        : endpoint(TestPipe(name)),
          program(ProgramBesideMe("standin_agent.exe"),
                  endpoint + " " + std::to_string(load) + " " + std::to_string(executeStatus) +
                      " " + std::to_string(firstHandle))
    {
    }
    bool Start() { return program.Start("ready", kStartWait); }
    // What it printed, all calls answered.
    std::vector<std::string> Calls() { return QuitAndCollect(program); }
    // Only its "execute" lines.
    std::vector<std::string> Executions()
    {
        std::vector<std::string> executed;
        for (const std::string& line : Calls())
            if (line.rfind("execute", 0) == 0)
                executed.push_back(line);
        return executed;
    }

    std::string endpoint;
    PipedProgram program;
};

// A step as CPAgent::CreateProcess hands it over: a free object.
CNeoRef<CPProcessBase> FreeStep(const char* name)
{
    CPProcessExe* step = new CPProcessExe;
    step->SetName(name);
    return CNeoRef<CPProcessBase>(step);
}

TEST(AgentLinkAlone, BindFailuresLeaveTheLinkUnboundWithoutRaising)
{
    struct Case {
        const char* what;
        std::string host;
        std::string endpoint;
    } cases[] = {
        {"nothing listens", "alpha", TestPipe("nobody")},
        {"host name too long", std::string(AgentLink::kMaxHostName + 1, 'h'), TestPipe("nobody")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AgentLink link;
        RPC_STATUS status = RPC_S_OK;
        EXPECT_NO_THROW(status = link.Bind(c.host.c_str(), c.endpoint.c_str()));
        EXPECT_NE(status, RPC_S_OK);
        EXPECT_FALSE(link.IsBound());
        EXPECT_EQ(link.GetHostName(), "");
    }
}

TEST(AgentLinkAlone, BindingAgainClosesTheFirstSession)
{
    StandInProgram agent("twice", kNearLoad, kAccepts, kFirstHandle);
    ASSERT_TRUE(agent.Start());
    {
        AgentLink link;
        ASSERT_EQ(link.Bind("alpha", agent.endpoint.c_str()), RPC_S_OK);
        ASSERT_EQ(link.Bind("beta", agent.endpoint.c_str()), RPC_S_OK);
        EXPECT_TRUE(link.IsBound());
        EXPECT_EQ(link.GetHostName(), "beta");
        EXPECT_EQ(link.GetLoad(), kNearLoad);
    }
    EXPECT_EQ(Rows(agent.Calls()), "open\nclose\nopen\nclose\n");
}

TEST(AgentLinkAlone, ExecuteStepAnswersTheHandleOrThrowsTheAgentsStatus)
{
    InMemoryDatabase keys;  // the server's index keys, for the step's image
    struct Case {
        long status;
        const char* calls;
    } cases[] = {
        {kAccepts, "open\nexecute nightly copy\ncancel 700\nclose\n"},
        {kAgentCannotCallBack, "open\nexecute nightly copy\nclose\n"},
        {kAgentStopping, "open\nexecute nightly copy\nclose\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "agent status " << c.status);
        StandInProgram agent("execute", kNearLoad, c.status, kFirstHandle);
        ASSERT_TRUE(agent.Start());
        {
            CNeoLock lock;  // callers encode the step under the lock
            AgentLink link;
            ASSERT_EQ(link.Bind("alpha", agent.endpoint.c_str()), RPC_S_OK);
            CNeoRef<CPProcessBase> step = FreeStep("nightly copy");
            long thrown = kAccepts;
            long handle = 0;
            try {
                handle = link.ExecuteStep(step.get());
            } catch (long status) {
                thrown = status;
            }
            EXPECT_EQ(thrown, c.status);
            if (c.status == kAccepts) {
                EXPECT_EQ(handle, kFirstHandle);
                EXPECT_EQ(link.CancelStep(handle), kStatusDone);
            }
            // The step goes back out of the link's private image.
            EXPECT_EQ(step->getDatabase(), nullptr);
        }
        EXPECT_EQ(Rows(agent.Calls()), c.calls);
    }
}

// The server's own agent link, with each host's pipe given by the test. No
// host has a service that could be started here.
class MappedAgentLinks : public AgentLinkTransport {
public:
    std::map<std::string, std::string> endpoints;
    virtual BOOL StartAgentService(const char*) { return FALSE; }

protected:
    virtual std::string EndpointOf(const char* host)
    {
        auto mapped = endpoints.find(host);
        return mapped == endpoints.end() ? TestPipe("nobody") : mapped->second;
    }
};

// Agents "near", "far" and "silent" (no agent listens there), reached
// through real agent links; each run places one step allowed on all three.
class LinkedAgentChoice : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        SetAgentTransport(&m_links);
        m_links.endpoints["silent"] = TestPipe("silent");
        for (const char* host : {"near", "far", "silent"})
            m_agentIDs[host] = AddAgent(host);
    }

    // Starts a new Queued batch whose step may run on the three agents, runs
    // one pass of the step queue and returns the step's run instance.
    CNeoRef<CPProcessBase> PlaceStep(const char* batchName)
    {
        NeoID batch = AddBatch(batchName, kBatchQueued);
        NeoID trigger = AddScheduleTrigger(batch, 9, 0);
        NeoID step = AddStep(batch, "placed");
        {
            CNeoRef<CPProcessBase> definition(Step(step));
            definition->GetAllowedAgents().RemoveAll();
            for (const char* host : {"near", "far", "silent"})
                definition->GetAllowedAgents().Append(
                    Find<CPPersistBase>(kClassAgent, m_agentIDs[host]).get());
        }
        AddLink(batch, trigger, step, {});
        Tick(3);
        DispatchQueued();
        CNeoFoundObjects steps;
        FindChildren(db(), kClassProcessBase, batch, TRUE, &steps);
        for (int i = 0; i < steps.GetSize(); ++i)
            if (steps.at<CPProcessBase>(i)->GetRunInstance() == 1)
                return Step(steps.at<CPProcessBase>(i)->getID());
        return CNeoRef<CPProcessBase>();
    }

    MappedAgentLinks m_links;
    std::map<std::string, NeoID> m_agentIDs;
};

TEST_F(LinkedAgentChoice, LeastLoadedAgentIsTriedFirstAndARefusalMovesToTheNext)
{
    const long kNearHandle = 100, kFarHandle = 200;
    struct Case {
        const char* what;
        long nearStatus;
        const char* nearExecutions;
        const char* farExecutions;
        const char* placedOn;
        long handle;
    } cases[] = {
        {"near takes it", kAccepts, "execute placed\n", "", "near", kNearHandle},
        {"near cannot call back", kAgentCannotCallBack, "execute placed\n", "execute placed\n",
         "far", kFarHandle},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        StandInProgram nearAgent("near", kNearLoad, c.nearStatus, kNearHandle);
        StandInProgram farAgent("far", kFarLoad, kAccepts, kFarHandle);
        ASSERT_TRUE(nearAgent.Start());
        ASSERT_TRUE(farAgent.Start());
        m_links.endpoints["near"] = nearAgent.endpoint;
        m_links.endpoints["far"] = farAgent.endpoint;

        CNeoRef<CPProcessBase> instance = PlaceStep(c.what);
        ASSERT_TRUE(instance);
        EXPECT_EQ(instance->GetAgentStepHandle(), c.handle);
        EXPECT_EQ(instance->GetAgentID(), m_agentIDs[c.placedOn]);
        EXPECT_EQ(instance->GetRunState(), kStepRunning);
        EXPECT_EQ(Rows(nearAgent.Executions()), c.nearExecutions);
        EXPECT_EQ(Rows(farAgent.Executions()), c.farExecutions);
    }
}

}  // namespace
