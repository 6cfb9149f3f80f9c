// zqserver and zqagent, as programs, running batches on a fresh database:
// a console-like client stores and starts them and reads their run logs, and
// a recording console follows the runs through its call-back interface.
#include "batch_client.h"

#include <piped_program.h>
#include <processes.h>
#include <services.h>
#include <status_names.h>
#include <statuses.h>

#include "zqserver_copy.h"

#include <seguard/seguard.h>

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

const DWORD kStartWait = 30000;
const char kAgentService[] = "zqagent";
const char kServerService[] = "zqserver";
// A first step waits for the agent to listen (5 s after its start).
const DWORD kRunWait = 60000;

// What each program prints from Ctrl+C on, line by line.
const char* const kServerStopLines[] = {
    "Stopping Vantorel Server.",
    "Stopping client notifiy manager......stopped.",
    "Stopping agent list manager......stopped.",
    "Stopping agent update manager......stopped.",
    "Stopping generic thread queue manager......stopped.",
    "Stopping thread mediator......stopped.",
    "The Vantorel server was stopped.",
};
const char* const kAgentStopLines[] = {
    "Stopping Vantorel Agent.",
    "Stopping performance statistics manager.....stopped.",
    "Stopping agent update manager......stopped.",
    "Stopping process list manager.....stopped!",
    "Stopping completed queue manager.....stopped.",
};

std::string Lines(const char* const* lines, size_t count)
{
    std::string joined;
    for (size_t i = 0; i < count; ++i)
        joined += std::string(lines[i]) + "\n";
    return joined;
}

// The lines of a program's output that belong to its stop.
std::string StopLines(const std::string& output)
{
    std::istringstream in(output);
    std::string line, stop;
    while (std::getline(in, line))
        if (line.rfind("Stopping", 0) == 0 || line.rfind("The Vantorel", 0) == 0)
            stop += line + "\n";
    return stop;
}

// What a console hears of a run that it started itself: its own status
// change, then the run from the logon phase to the end.
const Notification kConsoleStartedRun[] = {
    {kNotifyBatchAdded, kBatchIdle},       {kNotifyStatusChanged, kBatchExecuting},
    {kNotifyPhaseChanged, kPhaseArmed},    {kNotifyStatusChanged, kBatchExecuting},
    {kNotifyPhaseChanged, kPhaseStarting}, {kNotifyPhaseChanged, kPhaseMonitoring},
    {kNotifyPhaseChanged, kPhaseFinished}, {kNotifyPhaseChanged, kPhaseClosing},
    {kNotifyPhaseChanged, kPhaseEnding},   {kNotifyPhaseChanged, kPhaseLogon},
    {kNotifyStatusChanged, kBatchIdle},
};

// The recording console's lines "batch <code> <id> <value> <name>" until the
// one that `last` starts, by batch ID.
std::map<NeoID, std::vector<Notification>> ReadBatchEvents(PipedProgram& console,
                                                            const std::string& last)
{
    std::map<NeoID, std::vector<Notification>> events;
    for (std::string line; !(line = console.WaitForLine("batch ", 5000)).empty();) {
        long code = 0, id = 0, value = 0;
        if (sscanf(line.c_str(), "batch %ld %ld %ld", &code, &id, &value) == 3)
            events[id].push_back({code, value});
        if (line.rfind(last, 0) == 0)
            break;
    }
    return events;
}

std::string ComputerName()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD length = sizeof name;
    GetComputerNameA(name, &length);
    return name;
}

class SystemRun : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_server.copied);
        ASSERT_TRUE(m_server.StartDebug());
        if (StartsAgent())
            ASSERT_TRUE(m_agent.Start());
        ASSERT_TRUE(m_client.Connect(kStartWait));
        m_agentID = m_client.LocalAgentID();
        ASSERT_NE(m_agentID, 0);
    }

    virtual bool StartsAgent() const { return true; }

    // The names and exit codes of the steps of the batch's last run, in the
    // order they started; each must have ended.
    std::string LoggedSteps(NeoID batchID)
    {
        std::string steps;
        for (const LoggedItem& item : m_client.LastRunLog(batchID)) {
            if (item.classID != kClassBatchLogItemProcess)
                continue;
            steps += item.name + " " + std::to_string(item.exitCode) + ";";
            EXPECT_TRUE(item.ended) << item.name;
        }
        return steps;
    }

    // Stores the plan, starts it and waits for its first run to end.
    NeoID Run(const BatchPlan& plan)
    {
        long status = -1;
        NeoID batchID = m_client.StoreBatch(plan, m_agentID, &status);
        EXPECT_EQ(status, kStatusDone);
        EXPECT_EQ(m_client.SetStatus(batchID, kBatchExecuting), kStatusDone);
        EXPECT_TRUE(m_client.WaitForRunEnd(batchID, 1, kBatchIdle, kRunWait)) << plan.name;
        return batchID;
    }

    // Ctrl+C for both; what each printed.
    void StopBoth(std::string& serverOutput, std::string& agentOutput)
    {
        m_client.Disconnect();
        ASSERT_TRUE(SendCtrlC());
        EXPECT_EQ(m_agent.Finish(agentOutput), 0);
        EXPECT_EQ(m_server.FinishDebug(serverOutput), 0);
    }

    ZqserverCopy m_server;
    PipedProgram m_agent{ProgramBesideMe("zqagent.exe"), "-debug"};
    BatchClient m_client;
    NeoID m_agentID = 0;
};

TEST_F(SystemRun, TheFirstStepsExitCodePicksTheBranchAndBothProgramsStopInOrder)
{
    PipedProgram console(ProgramBesideMe("recording_console.exe"), "\\pipe\\zqadmin1");
    ASSERT_TRUE(console.Start("listening"));
    LONG status = -1;
    ASSERT_EQ(Guarded([&] {
                  RegisterConsole(ServerInterface_Binding, m_client.Context(),
                                  ComputerName().c_str(), "", &status);
              }),
              0u);
    ASSERT_EQ(status, kStatusDone);
    struct Case {
        const char* batch;
        int checkExit;
        const char* branch;
    } cases[] = {
        // The first run also hands the first step to an agent that was
        // just started, which binds back to the server while it takes it.
        {"exit 3 recovers", 3, "recover"},
        {"exit 0 reports", 0, "report"},
    };
    std::vector<NeoID> batches;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.batch);
        NeoID batchID = Run(ThreeStepPlan(c.batch, c.checkExit));
        batches.push_back(batchID);
        EXPECT_EQ(LoggedSteps(batchID),
                  "check " + std::to_string(c.checkExit) + ";" + c.branch + " 0;");
        std::vector<LoggedItem> log = m_client.LastRunLog(batchID);
        std::string links;
        for (const LoggedItem& item : log)
            if (item.classID == kClassBatchLogItemLink)
                links += item.name + ";";
        EXPECT_EQ(links, "check -> report when 0;check -> recover when not 0;");
        ASSERT_FALSE(log.empty());
        EXPECT_EQ(log[0].output, "checking the disk \r\n");
    }
    // Each run as the console heard it, up to the last run's end.
    std::map<NeoID, std::vector<Notification>> events = ReadBatchEvents(
        console, "batch 1 " + std::to_string(batches.back()) + " " + std::to_string(kBatchIdle));
    for (NeoID batchID : batches)
        EXPECT_EQ(events[batchID], std::vector<Notification>(std::begin(kConsoleStartedRun),
                                                             std::end(kConsoleStartedRun)))
            << "batch " << batchID;

    std::string serverOutput, agentOutput;
    StopBoth(serverOutput, agentOutput);
    EXPECT_EQ(StopLines(serverOutput), Lines(kServerStopLines, std::size(kServerStopLines)))
        << serverOutput;
    EXPECT_EQ(StopLines(agentOutput), Lines(kAgentStopLines, std::size(kAgentStopLines)))
        << agentOutput;
}

// The server takes at most 15 results a second: the agent keeps the one
// refused and returns it a pass later.
TEST_F(SystemRun, SixteenStepsFinishingTogetherAllArrive)
{
    const int kSteps = 16;
    BatchPlan plan = {"sixteen at once", {}, {}};
    std::set<std::string> expected;
    for (int i = 0; i < kSteps; ++i) {
        std::string name = "step" + std::to_string(i + 1);
        plan.steps.push_back({name, "echo " + name});
        plan.links.push_back({"start -> " + name, -1, i, -1, 0});
        expected.insert(name + " 0");
    }
    NeoID batchID = Run(plan);
    std::set<std::string> logged;
    std::istringstream steps(LoggedSteps(batchID));
    for (std::string step; std::getline(steps, step, ';');)
        logged.insert(step);
    EXPECT_EQ(logged, expected);
}

// A script step runs on the agent's script engine like a process step runs:
// its printed lines are its output, and its exit code picks the link.
TEST_F(SystemRun, AScriptStepsExitCodePicksTheLinkLikeAProcessStep)
{
    BatchPlan plan = {"scripted",
                      {{"greet", "", "", "Print \"hello from the script\"\nSetExitCode 5"},
                       {"after", "echo after the script"}},
                      {{"start -> greet", -1, 0, -1, 0}, {"greet -> after when 5", 0, 1, kEqualTo, 5}}};
    NeoID batchID = Run(plan);
    EXPECT_EQ(LoggedSteps(batchID), "greet 5;after 0;");
    std::vector<LoggedItem> log = m_client.LastRunLog(batchID);
    ASSERT_FALSE(log.empty());
    EXPECT_NE(log[0].output.find("hello from the script"), std::string::npos) << log[0].output;
}

// A stopped agent service is started through the service control manager
// of its machine when the server cannot reach it, and then takes the step.
class SystemRunWithAgentService : public SystemRun {
protected:
    bool StartsAgent() const override { return false; }
};

TEST_F(SystemRunWithAgentService, TheServerStartsTheStoppedServiceAndItTakesTheStep)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager != NULL);
    RemoveServiceIfInstalled(manager, kAgentService);
    std::string output;
    ASSERT_EQ(RunProgram("\"" + ProgramBesideMe("zqagent.exe") + "\" -install", output), 0);
    NeoID batchID = Run(ThreeStepPlan("agent started on demand", 0));
    EXPECT_EQ(LoggedSteps(batchID), "check 0;report 0;");
    RemoveServiceIfInstalled(manager, kAgentService);
    CloseServiceHandle(manager);
}

// Both services, started and stopped through the service control manager
// again and again, keep every edit that a client stored in between.
TEST_F(SystemRunWithAgentService, ServiceStartsAndStopsKeepEveryStoredEdit)
{
    const int kCycles = 20;
    std::string output;
    m_client.Disconnect();
    ASSERT_EQ(m_server.StopDebug(output), 0);
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager != NULL);
    RemoveServiceIfInstalled(manager, kAgentService);
    RemoveServiceIfInstalled(manager, kServerService);
    ASSERT_EQ(m_server.Run("-install", output), 0);
    ASSERT_EQ(RunProgram("\"" + ProgramBesideMe("zqagent.exe") + "\" -install", output), 0);
    SC_HANDLE server = OpenServiceA(manager, kServerService, SERVICE_ALL_ACCESS);
    SC_HANDLE agent = OpenServiceA(manager, kAgentService, SERVICE_ALL_ACCESS);
    ASSERT_TRUE(server && agent);
    for (int cycle = 1; cycle <= kCycles; ++cycle) {
        SCOPED_TRACE("cycle " + std::to_string(cycle));
        SERVICE_STATUS state;
        ASSERT_TRUE(StartServiceA(server, 0, NULL) && WaitForServiceState(server, SERVICE_RUNNING));
        ASSERT_TRUE(StartServiceA(agent, 0, NULL) && WaitForServiceState(agent, SERVICE_RUNNING));
        ASSERT_TRUE(m_client.Connect(kStartWait));
        long status = -1;
        m_client.StoreBatch(ThreeStepPlan(("edit " + std::to_string(cycle)).c_str(), 0),
                            m_agentID, &status);
        EXPECT_EQ(status, kStatusDone);
        m_client.Disconnect();
        ASSERT_TRUE(ControlService(agent, SERVICE_CONTROL_STOP, &state) &&
                    WaitForServiceState(agent, SERVICE_STOPPED));
        ASSERT_TRUE(ControlService(server, SERVICE_CONTROL_STOP, &state) &&
                    WaitForServiceState(server, SERVICE_STOPPED));
    }
    CloseServiceHandle(server);
    CloseServiceHandle(agent);
    RemoveServiceIfInstalled(manager, kAgentService);
    RemoveServiceIfInstalled(manager, kServerService);
    CloseServiceHandle(manager);
    ASSERT_TRUE(m_server.StartDebug());
    ASSERT_TRUE(m_client.Connect(kStartWait));
    std::set<std::string> stored;
    for (const auto& named : m_client.ListNames(kClassBatch))
        stored.insert(named.first);
    for (int cycle = 1; cycle <= kCycles; ++cycle)
        EXPECT_EQ(stored.count("edit " + std::to_string(cycle)), 1u) << "edit " << cycle;
}

TEST_F(SystemRun, AServerKilledAndRestartedTwiceGetsEachStepThatFinishedMeanwhileOnce)
{
    const unsigned long kExitCode = 7;
    const DWORD kStepMs = 3000;
    const int kRestarts = 2;
    for (int round = 1; round <= kRestarts; ++round) {
        SCOPED_TRACE("restart " + std::to_string(round));
        const std::string step = "slow " + std::to_string(round);
        BatchPlan plan = {"outlives the server " + std::to_string(round),
                          {{step, "sleep " + std::to_string(kStepMs) + " exit 7",
                            ProgramBesideMe("agent_child.exe")}},
                          {{"start -> " + step, -1, 0, -1, 0}}};
        long status = -1;
        NeoID batchID = m_client.StoreBatch(plan, m_agentID, &status);
        ASSERT_EQ(status, kStatusDone);
        ASSERT_EQ(m_client.SetStatus(batchID, kBatchExecuting), kStatusDone);
        ASSERT_FALSE(m_agent.WaitForLine("Executing process " + step, kRunWait).empty());
        m_server.Kill();
        m_client.Disconnect(true);
        // The step ends while no server listens, and the agent's returns
        // fail for a few passes; it keeps the step.
        Sleep(kStepMs + 3000);
        ASSERT_TRUE(m_server.StartDebug());
        ASSERT_FALSE(
            m_agent.WaitForLine("Returning completed process " + step, kRunWait).empty());
        ASSERT_TRUE(m_client.Connect(kStartWait));
        bool logged = false;
        for (DWORD start = GetTickCount(); !logged && GetTickCount() - start < kRunWait;
             Sleep(200)) {
            for (const LoggedItem& item : m_client.LastRunLog(batchID))
                logged |= item.name == step && item.ended && item.exitCode == kExitCode;
        }
        ASSERT_TRUE(logged) << "the finished step never reached the restarted server";
        // A run that a console started comes back queued.
        EXPECT_EQ(m_client.Read(batchID).status, kBatchQueued);
    }
    std::string serverOutput, agentOutput;
    StopBoth(serverOutput, agentOutput);
    const std::string lastStep = "Updating process slow " + std::to_string(kRestarts);
    size_t updates = 0;
    for (size_t at = 0; (at = serverOutput.find(lastStep, at)) != std::string::npos; ++at)
        ++updates;
    EXPECT_EQ(updates, 1u) << serverOutput;
}

}  // namespace
