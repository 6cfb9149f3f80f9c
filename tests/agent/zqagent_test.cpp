// zqagent as a program: its command line, AgentInterface through the client
// stubs, the order of its stop, and its life as a service.
#include "agent_test_util.h"
#include "piped_program.h"
#include "services.h"
#include "step_images.h"

#include <agent/agent_rpc.h>
#include <server/rpc_listener.h>
#include <seguard/seguard.h>

#include <agent_interface.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace
{

const char kServiceName[] = "zqagent";
const long kAlive = 1;
const LONG kNoHandle = 0;

// What -debug prints from Ctrl+C on, line by line.
const char* const kStopLines[] = {
    "Stopping Vantorel Agent.",
    "Stopping performance statistics manager.....stopped.",
    "Stopping agent update manager......stopped.",
    "Stopping process list manager.....stopped!",
    "Stopping completed queue manager.....stopped.",
};

std::string AgentPath()
{
    return ProgramBesideMe("zqagent.exe");
}

// The stop lines of an output, in the order printed.
std::vector<std::string> StopLines(const std::string& output)
{
    std::vector<std::string> lines;
    for (size_t at = 0; at < output.size();) {
        size_t end = output.find('\n', at);
        std::string line = output.substr(at, end == std::string::npos ? end : end - at);
        if (line.rfind("Stopping", 0) == 0)
            lines.push_back(line);
        at = end == std::string::npos ? output.size() : end + 1;
    }
    return lines;
}

std::string Joined(const std::vector<std::string>& lines)
{
    std::string text;
    for (const std::string& line : lines)
        text += line + " | ";
    return text;
}

// zqagent -debug in a console shared with this test.
class DebugAgent : public PipedProgram
{
public:
    DebugAgent() : PipedProgram(AgentPath(), "-debug") {}
    bool WaitUntilListening() { return !WaitForLine(kListeningLine, 20000).empty(); }
};

TEST(ZqagentCommandLine, UnknownArgumentsEndWithCode1)
{
    std::string output;
    EXPECT_EQ(1, RunProgram("\"" + AgentPath() + "\" -bogus", output));
    EXPECT_EQ("Vantorel Agent\nUsage: " + AgentPath() + " [-install|-remove|-debug]\n", output);
    EXPECT_EQ(1, RunProgram("\"" + AgentPath() + "\" -debug -install", output));
    EXPECT_EQ("", output);
}

TEST(ZqagentDebug, ServesItsInterfaceReturnsStepsAndStopsInOrder)
{
    StandinServer server(SERVER_PIPE_ENDPOINT);
    ASSERT_TRUE(server.Start());
    DebugAgent agent;
    ASSERT_TRUE(agent.Start());
    ASSERT_TRUE(agent.WaitUntilListening());
    handle_t binding = BindAgent();

    LONG alive = 0, reserved = -1;
    ASSERT_EQ(0u, Guarded([&] { AgentPing(binding, &alive, &reserved); }));
    EXPECT_EQ(kAlive, alive);
    EXPECT_EQ(0, reserved);
    AgentReservedPair pair = {-1, -1};
    EXPECT_EQ(0u, Guarded([&] { AgentReserved(binding, &pair); }));

    AgentSessionContext session = NULL;
    RpcBlob none = {0, NULL};
    LONG status = -1;
    ASSERT_EQ(0u, Guarded([&] { AgentOpenSession(binding, &session, &none, &status); }));
    EXPECT_EQ(kAgentStatusOK, status);
    EXPECT_TRUE(session != NULL);
    LONG load = -1;
    EXPECT_EQ(0u, Guarded([&] { AgentGetLoad(binding, &session, &load); }));
    EXPECT_TRUE(load >= 0 && load < 100) << load;

    RegisterModelKeys(kAgentProgram);
    CNeoRef<CPProcessScript> first(NewScriptStep(41, "first"));
    CNeoRef<CPProcessScript> second(NewScriptStep(42, "second"));
    std::vector<BYTE> firstImage = StepImage(first.get());
    std::vector<BYTE> secondImage = StepImage(second.get());
    std::vector<BYTE> emptyImage = StepImage(NULL);
    std::vector<BYTE> garbage(200, 0x5A);
    std::string longHost(256, 'h');
    struct Case {
        const char* what;
        const char* host;
        std::vector<BYTE>* image;
        LONG status;
        bool handed;
    } cases[] = {
        {"a host name over 255 characters", longHost.c_str(), &firstImage, kAgentStatusRefused,
         false},
        {"a malformed blob", ".", &garbage, ERROR_INVALID_DATA, false},
        {"an image without a step", ".", &emptyImage, kAgentStatusOK, false},
        {"a step", ".", &firstImage, kAgentStatusOK, true},
        {"a second step from the same host", ".", &secondImage, kAgentStatusOK, true},
    };
    std::vector<LONG> handles;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        RpcBlob blob = {(unsigned long)c.image->size(), c.image->data()};
        LONG handle = -1;
        status = -1;
        ASSERT_EQ(0u, Guarded([&] { AgentExecuteStep(binding, c.host, &blob, &handle, &status); }));
        EXPECT_EQ(c.status, status);
        EXPECT_EQ(c.handed, handle != kNoHandle);
        if (handle != kNoHandle)
            handles.push_back(handle);
    }
    ASSERT_EQ(2u, handles.size());
    EXPECT_NE(handles[0], handles[1]);
    // Each step comes back once.
    std::string posted = server.Collect(2, 10000);
    EXPECT_TRUE(posted == "posted 41\nposted 42\n" || posted == "posted 42\nposted 41\n") << posted;
    EXPECT_EQ("", server.Collect(1, 2500));

    // Without a server to return to, a step is not taken.
    server.Kill();
    LONG handle = -1;
    RpcBlob blob = {(unsigned long)firstImage.size(), firstImage.data()};
    ASSERT_EQ(0u,
              Guarded([&] { AgentExecuteStep(binding, "elsewhere", &blob, &handle, &status); }));
    EXPECT_EQ(kAgentStatusNoServerLink, status);
    EXPECT_EQ(kNoHandle, handle);
    EXPECT_EQ(0u, Guarded([&] { AgentCancelStep(binding, handles[0], &status); }));
    EXPECT_EQ(kAgentStatusOK, status);
    EXPECT_EQ(0u, Guarded([&] { AgentCancelServerSteps(binding, ".", &status); }));
    EXPECT_EQ(kAgentStatusOK, status);

    EXPECT_EQ(0u, Guarded([&] { AgentCloseSession(binding, &session); }));
    EXPECT_TRUE(session == NULL);
    RpcBindingFree(&binding);

    std::string output;
    EXPECT_EQ(0, agent.Stop(output));
    std::vector<std::string> expected(std::begin(kStopLines), std::end(kStopLines));
    EXPECT_EQ(Joined(expected), Joined(StopLines(output))) << output;
}

TEST(ZqagentDebug, AStopInTheFirstFiveSecondsStartsAndStopsEverything)
{
    DebugAgent agent;
    ASSERT_TRUE(agent.Start());
    // The agent prints nothing before it listens: give a loaded machine time
    // to start the program and install its Ctrl+C handler, well within the
    // five seconds.
    Sleep(2500);
    // A stop that hangs is ended after 20 s and answers -1.
    std::string output;
    EXPECT_EQ(0, agent.Stop(output));
    std::vector<std::string> expected(std::begin(kStopLines), std::end(kStopLines));
    EXPECT_EQ(Joined(expected), Joined(StopLines(output))) << output;
}

// ---------------------------------------------------------------------------
// The service through the service control manager.

TEST(ZqagentService, InstallStartAnswerStopAndRemove)
{
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    ASSERT_TRUE(manager != NULL);
    RemoveServiceIfInstalled(manager, kServiceName);  // left over from an earlier run
    std::string agent = "\"" + AgentPath() + "\" ";
    std::string output;
    ASSERT_EQ(0, RunProgram(agent + "-install", output));
    EXPECT_EQ("Vantorel Agent installed.\n", output);
    SC_HANDLE service = OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS);
    ASSERT_TRUE(service != NULL);
    ASSERT_TRUE(StartServiceA(service, 0, NULL));
    ASSERT_TRUE(WaitForServiceState(service, SERVICE_RUNNING));
    // Reachable once its five seconds have passed.
    handle_t binding = BindAgent();
    LONG alive = 0, reserved = 0;
    DWORD code = 1;
    for (int i = 0; i < 150 && code != 0; ++i) {
        code = Guarded([&] { AgentPing(binding, &alive, &reserved); });
        if (code != 0)
            Sleep(100);
    }
    EXPECT_EQ(0u, code);
    EXPECT_EQ(kAlive, alive);
    RpcBindingFree(&binding);
    SERVICE_STATUS status;
    ASSERT_TRUE(ControlService(service, SERVICE_CONTROL_STOP, &status));
    EXPECT_TRUE(WaitForServiceState(service, SERVICE_STOPPED));
    CloseServiceHandle(service);
    ASSERT_EQ(0, RunProgram(agent + "-remove", output));
    EXPECT_EQ("Vantorel Agent removed.\n", output);
    EXPECT_TRUE(OpenServiceA(manager, kServiceName, SERVICE_ALL_ACCESS) == NULL);
    CloseServiceHandle(manager);
}

}  // namespace
