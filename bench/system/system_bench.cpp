// zqserver and zqagent -debug, run from the folder of this program on a fresh
// database, running batches that a console-like client in this process
// stores and starts:
// - start latency: from SetBatchStatus Executing to the creation of the
//   first step's process (the step prints its own creation time), the median
//   of a few runs, beside one scheduler tick + one step-queue pass + a bare
//   process start timed here (cmd.exe /c exit from CreateProcess to its end).
//   A console's start takes three ticks (logon, triggers, start steps)
//   before the step is queued, which the anchor leaves out.
// - throughput: 1,000 one-line steps in 20 chains of 50 (so that at most 20
//   run at once) through the one agent, in steps per second, beside the
//   ceiling of the server's result worker: at most 15 results wait for its
//   1 s apply pass. The agent itself runs every step it accepts at once, on
//   a thread of its own; it has no slot limit.
// - chain: one chain of 50 steps, in seconds per step, beside the sum of the
//   periods a step passes through (step queue, agent return, apply, tick).
#include "bench_clock.h"

#include "batch_client.h"

#include <piped_program.h>
#include <processes.h>

#include <server/agent_updates.h>

#include <stdio.h>
#include <stdlib.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace {

const DWORD kStartWait = 30000;
const DWORD kRunWait = 900000;
const int kLatencyRuns = 5;
const int kProcessStarts = 10;
const int kWideChains = 20;
const int kChainLength = 50;

const double kTickPeriod = 0.250;
const double kQueuePass = 0.250;
const double kAgentReturn = 1.0;
const double kApplyPass = 1.0;
const double kFileTimeUnits = 1e7;  // FILETIME counts 100 ns

// The drain looks for a line that no program prints, so it drops them all.
const char kNoSuchLine[] = "\x01";

double Median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// `chains` chains of `length` one-line steps, each started by the trigger;
// a step follows the one before it when that one exits with 0.
BatchPlan ChainsPlan(const char* name, int chains, int length)
{
    BatchPlan plan = {name, {}, {}};
    for (int chain = 0; chain < chains; ++chain)
        for (int i = 0; i < length; ++i) {
            int step = (int)plan.steps.size();
            std::string stepName = "chain " + std::to_string(chain + 1) + " step " +
                                   std::to_string(i + 1);
            plan.steps.push_back({stepName, "echo " + stepName});
            if (i == 0)
                plan.links.push_back({"to " + stepName, -1, step, -1, 0});
            else
                plan.links.push_back({"to " + stepName, step - 1, step, kEqualTo, 0});
        }
    return plan;
}

// One step that prints the creation time of its own process.
BatchPlan StampPlan()
{
    return {"stamp",
            {{"stamp", "created 0", ProgramBesideMe("agent_child.exe")}},
            {{"start -> stamp", -1, 0, -1, 0}}};
}

unsigned long long FileTimeNow()
{
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime;
}

// The median time of CreateProcess of cmd.exe /c exit until it has ended.
double BareProcessStart()
{
    std::vector<double> times;
    for (int i = 0; i < kProcessStarts; ++i) {
        char commandLine[] = "cmd.exe /c exit";
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION process;
        double start = Now();
        if (!CreateProcessA(NULL, commandLine, NULL, NULL, FALSE, DETACHED_PROCESS, NULL, NULL,
                            &startup, &process))
            return -1;
        WaitForSingleObject(process.hProcess, INFINITE);
        times.push_back(Now() - start);
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    return Median(times);
}

// Starts run `run` of the batch and waits for its end: its seconds from
// SetBatchStatus on, or -1 when it did not end with `steps` steps logged.
double TimedRun(BatchClient& client, NeoID batchID, long run, size_t steps)
{
    double start = Now();
    if (client.SetStatus(batchID, kBatchExecuting) != 0 ||
        !client.WaitForRunEnd(batchID, run, kBatchIdle, kRunWait))
        return -1;
    double elapsed = Now() - start;
    size_t ended = 0;
    for (const LoggedItem& item : client.LastRunLog(batchID))
        ended += item.classID == kClassBatchLogItemProcess && item.ended;
    return ended == steps ? elapsed : -1;
}

// Seconds from SetBatchStatus Executing to the creation of the stamp step's
// process in run `run`, or -1.
double StartLatency(BatchClient& client, NeoID batchID, long run)
{
    unsigned long long asked = FileTimeNow();
    if (TimedRun(client, batchID, run, 1) < 0)
        return -1;
    for (const LoggedItem& item : client.LastRunLog(batchID))
        if (item.classID == kClassBatchLogItemProcess)
            return (double)(long long)(strtoull(item.output.c_str(), NULL, 10) - asked) /
                   kFileTimeUnits;
    return -1;
}

// Stores the three batches and prints the three figures; false when one
// could not be measured.
bool Measure(BatchClient& client)
{
    NeoID agentID = client.LocalAgentID();
    long status = -1;
    BatchPlan wide = ChainsPlan("wide", kWideChains, kChainLength);
    BatchPlan chain = ChainsPlan("chain", 1, kChainLength);
    NeoID stampID = client.StoreBatch(StampPlan(), agentID, &status);
    NeoID wideID = client.StoreBatch(wide, agentID, &status);
    NeoID chainID = client.StoreBatch(chain, agentID, &status);
    if (agentID == 0 || !stampID || !wideID || !chainID) {
        printf("the batches were not stored (status %ld)\n", status);
        return false;
    }

    std::vector<double> latencies;
    for (long run = 1; run <= kLatencyRuns; ++run) {
        double latency = StartLatency(client, stampID, run);
        if (latency < 0) {
            printf("run %ld of the stamp step failed\n", run);
            return false;
        }
        latencies.push_back(latency);
    }
    double latency = Median(latencies);
    double processStart = BareProcessStart();
    double startAnchor = kTickPeriod + kQueuePass + processStart;
    printf("SetBatchStatus Executing to the first step's process creation: %.0f ms (median of "
           "%d); anchor %.0f ms tick + %.0f ms queue pass + %.0f ms bare process start = %.0f "
           "ms; ratio %.2f\n",
           latency * 1000, kLatencyRuns, kTickPeriod * 1000, kQueuePass * 1000,
           processStart * 1000, startAnchor * 1000, latency / startAnchor);

    double elapsed = TimedRun(client, wideID, 1, wide.steps.size());
    if (elapsed < 0) {
        printf("the run of %zu steps failed\n", wide.steps.size());
        return false;
    }
    double perSecond = wide.steps.size() / elapsed;
    double ceiling = AgentUpdateManager::kMaxQueued / kApplyPass;
    printf("%zu one-line steps, at most %d at once, through one agent: %.1f steps per second; "
           "anchor %d results per %.0f s apply pass = %.1f per second; ratio %.2f\n",
           wide.steps.size(), kWideChains, perSecond, AgentUpdateManager::kMaxQueued,
           kApplyPass, ceiling, perSecond / ceiling);

    elapsed = TimedRun(client, chainID, 1, chain.steps.size());
    if (elapsed < 0) {
        printf("the run of the %d-step chain failed\n", kChainLength);
        return false;
    }
    double perStep = elapsed / kChainLength;
    double periods = kQueuePass + kAgentReturn + kApplyPass + kTickPeriod;
    printf("%d-step chain: %.2f s per step; anchor %.0f ms queue + %.0f ms agent return + %.0f "
           "ms apply + %.0f ms tick = %.2f s; ratio %.2f\n",
           kChainLength, perStep, kQueuePass * 1000, kAgentReturn * 1000, kApplyPass * 1000,
           kTickPeriod * 1000, periods, perStep / periods);
    return true;
}

int RunBench()
{
    DeleteFileA(ProgramBesideMe("Database\\zqdata.db").c_str());
    PipedProgram server(ProgramBesideMe("zqserver.exe"), "-debug");
    PipedProgram agent(ProgramBesideMe("zqagent.exe"), "-debug");
    if (!server.Start(kServerStartedLine, kStartWait) ||
        !agent.Start(kListeningLine, kStartWait)) {
        printf("zqserver or zqagent did not start\n");
        return 1;
    }
    // Both print a line per step: a full pipe would stall them.
    std::atomic<bool> measured(false);
    std::thread drain([&] {
        while (!measured) {
            server.WaitForLine(kNoSuchLine, 50);
            agent.WaitForLine(kNoSuchLine, 50);
        }
    });
    bool done = false;
    {
        BatchClient client;
        if (client.Connect(kStartWait))
            done = Measure(client);
        else
            printf("no session with zqserver\n");
    }
    measured = true;
    drain.join();
    SendCtrlC();
    std::string output;
    agent.Finish(output);
    server.Finish(output);
    return done ? 0 : 1;
}

}  // namespace

int main()
{
    setvbuf(stdout, NULL, _IONBF, 0);
    return RunPrintingDatabaseFailures(RunBench);
}
