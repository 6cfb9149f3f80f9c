// The demo: zqserver and zqagent, run from the folder of this program, on a
// fresh database. A batch of three command steps is stored and started; the
// first step's exit code picks which of the two others runs. The run log is
// printed, then both programs are stopped as a user stops them (Ctrl+C) and
// what they printed while stopping is shown.
#include "batch_client.h"

#include <piped_program.h>
#include <processes.h>

#include <stdio.h>

namespace {
const DWORD kStartWait = 30000;
const DWORD kRunWait = 120000;
const int kCheckExitCode = 3;

// After the Ctrl+C that stops both.
void ShowStop(const char* program, PipedProgram& debug)
{
    std::string output;
    int code = debug.Finish(output);
    printf("--- %s ended with exit code %d; it printed:\n%s\n", program, code, output.c_str());
}
}  // namespace

int RunDemo();

int main()
{
    return RunPrintingDatabaseFailures(RunDemo);
}

int RunDemo()
{
    setvbuf(stdout, NULL, _IONBF, 0);
    PipedProgram server(ProgramBesideMe("zqserver.exe"), "-debug");
    PipedProgram agent(ProgramBesideMe("zqagent.exe"), "-debug");
    if (!server.Start(kServerStartedLine, kStartWait)) {
        printf("zqserver did not start\n");
        return 1;
    }
    printf("zqserver runs on \\pipe\\zqserver1\n");
    if (!agent.Start()) {
        printf("zqagent did not start\n");
        return 1;
    }
    int result = 1;
    {
        BatchClient client;
        long status = -1;
        NeoID agentID = 0, batchID = 0;
        if (!client.Connect(kStartWait) || (agentID = client.LocalAgentID()) == 0) {
            printf("no session with zqserver, or no agent stored\n");
        } else if ((batchID = client.StoreBatch(ThreeStepPlan("demo", kCheckExitCode), agentID,
                                                &status)) == 0) {
            printf("the batch was not stored (status %ld)\n", status);
        } else if ((status = client.SetStatus(batchID, kBatchExecuting)) != 0) {
            printf("the batch was not started (status %ld)\n", status);
        } else {
            printf("stored batch \"demo\" (ID %ld) and set it Executing; zqagent takes its "
                   "steps once it listens\n",
                   (long)batchID);
            if (client.WaitForRunEnd(batchID, 1, kBatchIdle, kRunWait)) {
                printf("run 1 of \"demo\" ended; its log:\n");
                std::vector<LoggedItem> log = client.LastRunLog(batchID);
                PrintRunLog(log);
                for (const LoggedItem& item : log)
                    if (item.name == "report" || item.name == "recover")
                        printf("exit code %d of \"check\" took the link to \"%s\"\n",
                               kCheckExitCode, item.name.c_str());
                result = 0;
            } else {
                printf("the run did not end within %lu s\n", kRunWait / 1000);
            }
        }
    }
    printf("stopping both with Ctrl+C\n");
    SendCtrlC();
    ShowStop("zqagent", agent);
    ShowStop("zqserver", server);
    return result;
}
