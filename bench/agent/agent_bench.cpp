// zqagent -debug from a client in this process, with a stand-in server on
// \pipe\zqserver1 to which the agent returns steps.
// - AgentGetLoad with its bind, session and close: what the server's step
//   queue pays per agent on each pass, beside that pass's 250 ms period and
//   the ratio (agents one period can ask).
// - 200 one-line process steps from AgentExecuteStep until the stand-in has
//   every one: steps per second beside the completed queue's 1 s period
//   (the ratio is steps returned per period).
#include "bench_clock.h"

#include "agent_test_util.h"
#include "step_images.h"

#include <agent/agent_rpc.h>
#include <seguard/seguard.h>
#include <server/rpc_listener.h>

#include <agent_interface.h>

#include <stdio.h>

#include <string>
#include <thread>
#include <vector>

namespace {

const int kLoadCalls = 200;
const int kSteps = 200;
const double kStepQueuePeriod = 0.250;
const double kCompletedQueuePeriod = 1.0;

// One pass's cost per agent: bind, open a session, ask the load, close.
bool AskLoad()
{
    handle_t binding = BindAgent();
    AgentSessionContext session = NULL;
    RpcBlob none = {0, NULL};
    LONG status = -1, load = -1;
    DWORD code = Guarded([&] {
        AgentOpenSession(binding, &session, &none, &status);
        AgentGetLoad(binding, &session, &load);
        AgentCloseSession(binding, &session);
    });
    RpcBindingFree(&binding);
    return code == 0 && status == 0 && load >= 0;
}

}  // namespace

int main()
{
    RegisterModelKeys(kAgentProgram);
    StandinServer server(SERVER_PIPE_ENDPOINT);
    if (!server.Start()) {
        printf("the stand-in server did not start\n");
        return 1;
    }
    UseOwnConsole();
    PROCESS_INFORMATION agent = {};
    HANDLE input = NULL, output = NULL;
    std::string pending;
    if (!StartWithPipes("\"" + ProgramBesideMe("zqagent.exe") + "\" -debug", &agent, &input,
                        &output) ||
        ReadLineFrom(output, pending, kListeningLine, 20000).empty()) {
        printf("zqagent did not start\n");
        return 1;
    }

    // The agent prints a line per step: keep its pipe drained.
    std::thread drain([output] {
        char buffer[512];
        DWORD read = 0;
        while (ReadFile(output, buffer, sizeof buffer, &read, NULL) && read > 0) {
        }
    });

    double start = Now();
    for (int i = 0; i < kLoadCalls; ++i)
        if (!AskLoad()) {
            printf("AgentGetLoad failed\n");
            return 1;
        }
    double perAgent = (Now() - start) / kLoadCalls;
    printf("AgentGetLoad with bind, session and close: %.2f ms per agent; step-queue period "
           "%.0f ms; ratio %.0f agents per period\n",
           perAgent * 1000, kStepQueuePeriod * 1000, kStepQueuePeriod / perAgent);

    handle_t binding = BindAgent();
    start = Now();
    for (int i = 0; i < kSteps; ++i) {
        CNeoRef<CPProcessExe> step(static_cast<CPProcessExe*>(CPProcessExe::Create()));
        step->setID(1000 + i);
        step->SetName("one line");
        step->SetProgramPath(ChildPath().c_str());
        step->SetArguments("out 10");
        step->SetInteractive(0);
        std::vector<BYTE> image = StepImage(step.get());
        RpcBlob blob = {(unsigned long)image.size(), image.data()};
        LONG handle = 0, status = -1;
        if (Guarded([&] { AgentExecuteStep(binding, ".", &blob, &handle, &status); }) != 0 ||
            status != 0) {
            printf("AgentExecuteStep failed (%ld)\n", (long)status);
            return 1;
        }
    }
    std::string posted = server.Collect(kSteps, 120000);
    double elapsed = Now() - start;
    int returned = 0;
    for (char c : posted)
        returned += c == '\n';
    printf("%d one-line steps from AgentExecuteStep to the server: %.1f steps per second; "
           "completed-queue period %.0f ms; ratio %.1f steps per period\n",
           returned, returned / elapsed, kCompletedQueuePeriod * 1000,
           returned / elapsed * kCompletedQueuePeriod);
    RpcBindingFree(&binding);

    SendCtrlC();
    WaitForSingleObject(agent.hProcess, 20000);
    TerminateProcess(agent.hProcess, 1);
    drain.join();
    CloseHandle(agent.hProcess);
    CloseHandle(agent.hThread);
    CloseHandle(input);
    CloseHandle(output);
    return returned == kSteps ? 0 : 1;
}
