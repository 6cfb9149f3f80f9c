// Script steps handed to a running zqagent through AgentExecuteStep come
// back to their server with their output, exit code and messages.
#include "agent_test_util.h"
#include "step_images.h"

#include <agent/agent_rpc.h>
#include <server/rpc_listener.h>
#include <seguard/seguard.h>

#include <agent_interface.h>
#include <statuses.h>
#include <temp_path.h>

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <memory>

namespace
{

const NeoID kPrintingStep = 51;
const NeoID kRunawayStep = 52;
const unsigned long kTerminationCode = 255;

// The step a stand-in server kept, read back from its bytes.
struct ReturnedStep {
    bool found = false;
    std::string output;
    unsigned long exitCode = 0;
    std::string message;
};

ReturnedStep ReadReturnedStep(const std::string& path)
{
    ReturnedStep result;
    std::ifstream file(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    if (bytes.empty())
        return result;
    CNeoLock lock;
    CNeoMemLocation location;
    CNeoDatabase image;
    image.fSetting = 2;
    image.setLocation(&location);
    LoadImage(&image, bytes.data(), (unsigned long)bytes.size());
    {
        CFocusDatabases focus(&image, &image);
        std::unique_ptr<CNeoIndexIterator> steps(image.getIterator(kClassProcessBase, NULL));
        if (auto* step = static_cast<CPProcessBase*>(steps->first())) {
            result.found = true;
            result.output = (LPCTSTR)step->GetStandardOutput();
            result.exitCode = step->GetExitCode();
            result.message = (LPCTSTR)step->GetServerMessage();
            step->unrefer();
        }
    }
    image.close(FALSE);
    return result;
}

CPProcessScript* NewStep(NeoID id, const char* script, long durationSeconds)
{
    CPProcessScript* step = NewScriptStep(id, "script");
    step->SetScript(script);
    step->SetExitCode(kTerminationCode);
    step->SetDurationLimit(durationSeconds);
    step->SetDurationUnit(kSeconds);
    return step;
}

TEST(ZqagentScripts, ScriptStepsReturnWithOutputExitCodeAndDurationText)
{
    std::string folder = TempPath("returned");
    CreateDirectoryA(folder.c_str(), NULL);
    StandinServer server(SERVER_PIPE_ENDPOINT, folder);
    ASSERT_TRUE(server.Start());
    PROCESS_INFORMATION agent = {};
    HANDLE input = NULL, output = NULL;
    ASSERT_TRUE(StartWithPipes("\"" + ProgramBesideMe("zqagent.exe") + "\" -debug", &agent, &input,
                               &output));
    std::string pending;
    ASSERT_FALSE(ReadLineFrom(output, pending, kListeningLine, 20000).empty());

    handle_t binding = BindAgent();
    RegisterModelKeys(kAgentProgram);
    CNeoRef<CPProcessScript> printing(NewStep(
        kPrintingStep, "Print \"hello\"\nPrint GetExitCode()\nSetExitCode 42", 0));
    CNeoRef<CPProcessScript> runaway(NewStep(kRunawayStep, "Do\n n = n + 1\nLoop", 1));
    for (CPProcessScript* step : {printing.get(), runaway.get()}) {
        std::vector<BYTE> image = StepImage(step);
        RpcBlob blob = {(unsigned long)image.size(), image.data()};
        LONG handle = 0, status = -1;
        ASSERT_EQ(kNothingRaised,
                  Guarded([&] { AgentExecuteStep(binding, ".", &blob, &handle, &status); }));
        EXPECT_EQ(kAgentStatusOK, status);
        EXPECT_NE(0, handle);
    }
    std::string posted = server.Collect(2, 20000);
    EXPECT_NE(std::string::npos, posted.find("posted 51")) << posted;
    EXPECT_NE(std::string::npos, posted.find("posted 52")) << posted;

    ReturnedStep first = ReadReturnedStep(folder + "\\51.step");
    ASSERT_TRUE(first.found);
    EXPECT_EQ("hello\r\n0\r\n", first.output);
    EXPECT_EQ(42u, first.exitCode);
    ReturnedStep second = ReadReturnedStep(folder + "\\52.step");
    ASSERT_TRUE(second.found);
    EXPECT_EQ(kTerminationCode, second.exitCode);
    EXPECT_NE(std::string::npos,
              second.message.find("Constraint violated! Execution duration exceeded 1 second(s)"))
        << second.message;

    RpcBindingFree(&binding);
    TerminateProcess(agent.hProcess, 0);
    std::string ignored;
    FinishProgram(agent, input, output, ignored, 5000);
    DeleteFileA((folder + "\\51.step").c_str());
    DeleteFileA((folder + "\\52.step").c_str());
    RemoveDirectoryA(folder.c_str());
}

}  // namespace
