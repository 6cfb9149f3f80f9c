// A ServerInterface client that drives zqserver as a console would: it stores
// a batch of command steps, starts it, waits for the run to end and reads the
// run's log. The end-to-end tests and the demo program share it.
#ifndef TESTS_SYSTEM_BATCH_CLIENT_H
#define TESTS_SYSTEM_BATCH_CLIENT_H

#include <server/server_client.h>

#include <model/batch.h>

#include <map>
#include <string>
#include <vector>

// One step: cmd.exe /c with `commands`, or `program` with `commands` as its
// arguments; or, with a `script`, a script step.
struct PlannedStep {
    std::string name;
    std::string commands;
    std::string program;
    std::string script;
};

// A link from step `from` to step `to` (indexes into the steps; -1 is the
// batch's trigger item), followed when the exit code meets the condition
// (`op` -1: always).
struct StepLink {
    std::string name;
    int from;
    int to;
    long op;
    unsigned long value;
};

struct BatchPlan {
    std::string name;
    std::vector<PlannedStep> steps;
    std::vector<StepLink> links;
};

// What the run log says of one step or link, in the order they started.
struct LoggedItem {
    NeoClassID classID;  // kClassBatchLogItemProcess or kClassBatchLogItemLink
    std::string name;
    unsigned long exitCode;
    std::string output;
    std::string message;
    bool ended;
};

struct BatchState {
    long status = -1;
    long phase = -1;
    long runNumber = -1;
};

class BatchClient {
public:
    BatchClient();
    ~BatchClient() { Disconnect(); }
    BatchClient(const BatchClient&) = delete;
    BatchClient& operator=(const BatchClient&) = delete;

    // Binds to the server on this machine and opens a session, retrying while
    // the server starts to listen (at most `timeoutMs`).
    bool Connect(DWORD timeoutMs);
    // Closes the session. After the server was killed the session is only
    // let go on this side: a call on the dead pipe would break later calls
    // from this process to a new server on it.
    void Disconnect(bool serverKilled = false);

    // The ID of the agent stored under this computer's name, or 0.
    NeoID LocalAgentID();
    // Stores the plan as an Idle batch whose steps may run on `agentID`;
    // its ID, or 0 when the server refused it (`status` says why).
    NeoID StoreBatch(const BatchPlan& plan, NeoID agentID, long* status);
    long SetStatus(NeoID batchID, long batchStatus);
    BatchState Read(NeoID batchID);
    // Asks the batch's status every 100 ms until its run `run` has ended and
    // it is back to `status` (at most `timeoutMs`).
    bool WaitForRunEnd(NeoID batchID, long run, long status, DWORD timeoutMs);
    // The items of the batch's latest run log.
    std::vector<LoggedItem> LastRunLog(NeoID batchID);
    ServerInterfaceContext Context() const { return m_context; }
    // The names and IDs of a class's objects.
    std::vector<std::pair<std::string, NeoID>> ListNames(NeoClassID classID);

private:
    NeoID NewID();

    ServerInterfaceContext m_context = NULL;
    bool m_bound = false;
    std::map<NeoID, std::string> m_names;  // of the batches stored
};

// The sample batch: "check" exits with `checkExit`, "report" follows an exit
// code of 0, "recover" any other.
BatchPlan ThreeStepPlan(const char* name, int checkExit);

// Prints a run log as the demo shows it: the steps that ran, then the links
// that were evaluated.
void PrintRunLog(const std::vector<LoggedItem>& items);

// A program's main around `body`: its result, or 1 after printing a database
// failure that `body` did not catch.
int RunPrintingDatabaseFailures(int (*body)());

#endif
