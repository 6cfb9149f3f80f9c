// Runs batches inside the test process: the server engine on an in-memory
// database, a clock the test sets, a stand-in for the agents and a
// registered console whose notifications the test reads.
#ifndef TESTS_ENGINE_ENGINE_FIXTURE_H
#define TESTS_ENGINE_ENGINE_FIXTURE_H

#include <server/agent_transport.h>
#include <server/agent_updates.h>
#include <server/batch_scheduler.h>
#include <server/client_notify.h>
#include <server/step_queue.h>

#include <model/batch.h>
#include <model/run_log.h>
#include <model/steps.h>
#include <model/triggers.h>

#include "model_test_util.h"
#include "status_names.h"
#include "statuses.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

// Agents answered in the test process. Every host is reachable with load 0
// unless the test says otherwise; accepted steps are held until the test
// finishes or the server cancels them.
class StandInAgent : public AgentTransport {
public:
    struct Host {
        bool reachable = true;
        bool startable = false;  // its service starts when asked
        long load = 0;
        long refusal = 0;        // non-zero: the status it refuses steps with
        // Runs once while the agent takes a step, as other threads may
        // while the server waits for the agent.
        std::function<void()> whileTaking;
    };
    struct HeldStep {
        long handle;
        std::string host;
        CPProcessBase* step;  // the clone the agent received
    };

    ~StandInAgent();
    virtual std::unique_ptr<AgentConnection> Bind(const char* host);
    virtual BOOL StartAgentService(const char* host);

    std::map<std::string, Host> hosts;
    std::vector<HeldStep> held;
    std::vector<std::string> offeredTo;  // hosts asked to take a step, in order
    std::vector<long> cancelled;         // handles
    int serviceStarts = 0;

    // Returns the held step of a run instance as a finished result; the
    // server's result queue takes it. Returns the queue's answer.
    long Finish(NeoID instanceID, unsigned long exitCode, const char* output = "");
    std::vector<NeoID> HeldIDs() const;

private:
    friend class StandInConnection;
    long m_nextHandle = 100;
};

// A condition of a link: operator, value, upper value.
struct Condition {
    long op;
    unsigned long value;
    unsigned long upper;
};

class EngineTest : public ::testing::Test {
protected:
    EngineTest();
    void SetUp() override;
    void TearDown() override;

    // Building batches; each returns the new object's ID.
    NeoID AddBatch(const char* name, long status);
    // A process step of the batch that agent "alpha" may run.
    NeoID AddStep(NeoID batch, const char* name);
    NeoID AddLink(NeoID batch, NeoID from, NeoID to, std::vector<Condition> conditions,
                  long traversalMaximum = 0);
    // A trigger due every day at hour:minute.
    NeoID AddScheduleTrigger(NeoID batch, int hour, int minute);
    NeoID AddDirectoryTrigger(NeoID batch, const std::string& folder);
    NeoID AddAgent(const char* host);

    template <class T>
    CNeoRef<T> Find(NeoClassID classID, NeoID id)
    {
        return CNeoRef<T>(static_cast<T*>(CPPersistBase::FindByID(db(), classID, id)));
    }
    CNeoRef<CPBatch> Batch(NeoID id) { return Find<CPBatch>(kClassBatch, id); }
    CNeoRef<CPProcessBase> Step(NeoID id) { return Find<CPProcessBase>(kClassProcessBase, id); }

    // Running: scheduler passes, a pass of the step queue, results.
    void Tick(int passes = 1);
    void DispatchQueued();
    void Finish(NeoID instanceID, unsigned long exitCode);
    // Finishes every step the agents hold with the exit code.
    void FinishAll(unsigned long exitCode);
    // The local time the server reads.
    void SetTime(int year, int month, int day, int hour, int minute, int second);

    // Observing: notifications, taken out of the queue.
    std::vector<Notification> TakeNotifications();
    // The batch's run logs, oldest first, and a log's items of a class.
    std::vector<CPBatchLog*> RunLogs(NeoID batch, CNeoFoundObjects& found);
    std::vector<CPBatchLogItemBase*> LogItems(CPBatchLog* log, NeoClassID classID,
                                              CNeoFoundObjects& found);
    // Run instances of the batch still stored.
    int StoredInstances(NeoID batch);

    CNeoDatabase* db() { return m_db.get(); }

    InMemoryDatabase m_db;
    StandInAgent m_agents;
    std::shared_ptr<ConsoleLink> m_console = std::make_shared<ConsoleLink>();
    BatchScheduler m_scheduler;
    NeoID m_agentID = 0;
};

#endif
