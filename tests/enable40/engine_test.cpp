// The engine's ordinals beyond running: handles, stepping, variables,
// aborts, threads, the extension call-back and automation objects.
#include "script_runner.h"

#include <gtest/gtest.h>

#include <string.h>

#include <atomic>
#include <thread>

namespace
{

const long kEnded = -1;
const size_t kVariableBuffer = 1024;

TEST(EngineHandles, AreNeverReusedAndDestroyedOnesAreRefused)
{
    EngineHandle first = 0, second = 0;
    ASSERT_EQ(kEngineOK, EngineCreate("Server Script", 0, NULL, &first));
    ASSERT_EQ(kEngineOK, EngineDestroy(first));
    ASSERT_EQ(kEngineOK, EngineCreate("Server Script", 0, NULL, &second));
    EXPECT_NE(first, second);
    struct Call {
        const char* what;
        long result;
    } calls[] = {
        {"set script", EngineSetScript(first, "Print 1")},
        {"compile", EngineCompile(first)},
        {"run", EngineRun(first)},
        {"option", EngineSetOption(first, 1, 1)},
        {"destroy", EngineDestroy(first)},
    };
    for (const Call& call : calls)
        EXPECT_EQ(ResultName(kEngineBadContext), ResultName(call.result)) << call.what;
    // Out of order on a live engine: a state error.
    EXPECT_EQ(ResultName(kEngineBadState), ResultName(EngineCompile(second)));
    EXPECT_EQ(ResultName(kEngineBadState), ResultName(EngineRun(second)));
    EXPECT_EQ(kEngineOK, EngineSetOption(second, 1, 1));
    EXPECT_EQ(kEngineOK, EngineDestroy(second));
}

// Stepping reports the next line to run after each step.
TEST(EngineStepping, StepIntoEntersProceduresAndStepOverRunsThemWhole)
{
    const char kSource[] =
        "Sub Greet(who)\n"           // 1
        "  Print \"hi \" & who\n"    // 2
        "  Print \"bye\"\n"          // 3
        "End Sub\n"                  // 4
        "Greet \"a\"\n"              // 5
        "Greet \"b\"\n"              // 6
        "Print \"done\"\n";          // 7
    enum Step { kInto, kOver };
    struct Expected {
        Step step;
        long line;
    } steps[] = {
        {kInto, 5},      // names the first statement, runs nothing
        {kInto, 2},      {kInto, 3}, {kInto, 6},
        {kOver, 7},      // Greet "b" runs whole
        {kOver, kEnded}, {kInto, kEnded},
    };
    ScriptRunner runner;
    ASSERT_EQ(kEngineOK, runner.Compile(kSource));
    std::string expected, recorded;
    for (const Expected& s : steps) {
        long second = -1, line = 0;
        long result = s.step == kInto ? EngineStepInto(runner.handle, &second, &line)
                                      : EngineStepOver(runner.handle, &second, &line);
        const char* name = s.step == kInto ? "into" : "over";
        expected += std::string(name) + "->" + std::to_string(s.line) + " ";
        recorded += std::string(name) + "->" + std::to_string(line) + " ";
        EXPECT_EQ(kEngineOK, result);
        EXPECT_EQ(0, second);
    }
    EXPECT_EQ(expected, recorded);
    EXPECT_EQ("hi a|bye|hi b|bye|done", runner.Output());
}

TEST(EngineStepping, ARunTimeErrorEndsTheStepWithItsMessage)
{
    ScriptRunner runner;
    ASSERT_EQ(kEngineOK, runner.Compile("x = 1\ny = x / 0\nPrint y"));
    long second = 0, line = 0;
    EXPECT_EQ(kEngineOK, EngineStepInto(runner.handle, &second, &line));
    EXPECT_EQ(1, line);
    EXPECT_EQ(kEngineOK, EngineStepInto(runner.handle, &second, &line));
    EXPECT_EQ(2, line);
    EXPECT_EQ(ResultName(kEngineRuntimeError),
              ResultName(EngineStepInto(runner.handle, &second, &line)));
    EXPECT_EQ(kEnded, line);
    EXPECT_EQ("3:2", runner.Errors());
}

TEST(EngineVariables, AreReadAsTextWithinTheBuffer)
{
    const char kGuard = '#';
    ScriptRunner runner;
    ASSERT_EQ(kEngineOK, runner.CompileAndRun("n = 42\ns = String(2000, \"v\")\nd = 1.5\nDim e\n"
                                              "Set o = Nothing"));
    struct Case {
        const char* name;
        long result;
        std::string text;
    } cases[] = {
        {"n", kEngineOK, "42"},
        {"D", kEngineOK, "1.5"},
        {"e", kEngineOK, ""},
        {"o", kEngineOK, "Nothing"},
        {"s", kEngineOK, std::string(kVariableBuffer - 1, 'v')},
        {"unknown", kEngineVariableNotDefined, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        char buffer[kVariableBuffer + 16];
        memset(buffer, kGuard, sizeof buffer);
        EXPECT_EQ(ResultName(c.result),
                  ResultName(EngineGetVariable(runner.handle, c.name, buffer, kVariableBuffer)));
        if (c.result == kEngineOK) {
            EXPECT_EQ(c.text, std::string(buffer));
        }
        for (size_t k = kVariableBuffer; k < sizeof buffer; ++k)
            ASSERT_EQ(kGuard, buffer[k]) << "written past the buffer at " << k;
    }
}

TEST(EngineVariables, ThePausedProceduresLocalsComeFirst)
{
    ScriptRunner runner;
    ASSERT_EQ(kEngineOK, runner.Compile("v = \"global\"\nSub S()\n Dim v\n v = \"local\"\n"
                                        " Print v\nEnd Sub\nS"));
    long second = 0, line = 0;
    char buffer[kVariableBuffer];
    while (line != 5 && line != kEnded)
        ASSERT_EQ(kEngineOK, EngineStepInto(runner.handle, &second, &line));
    ASSERT_EQ(5, line);
    ASSERT_EQ(kEngineOK, EngineGetVariable(runner.handle, "v", buffer, sizeof buffer));
    EXPECT_STREQ("local", buffer);
    ASSERT_EQ(kEngineOK, EngineRun(runner.handle));
    ASSERT_EQ(kEngineOK, EngineGetVariable(runner.handle, "v", buffer, sizeof buffer));
    EXPECT_STREQ("global", buffer);
}

TEST(EngineYield, AnAbortEndsARunawayLoopPromptly)
{
    const DWORD kRunFor = 200;
    // Generous: what it shows is that the abort is prompt, not a figure.
    const DWORD kPrompt = 500;
    struct Case {
        const char* what;
        const char* source;
    } cases[] = {
        {"a tight loop", "Do\n x = x + 1\nLoop"},
        {"endless recursion through a loop of calls", "Sub A()\n For i = 1 To 10 : Next\nEnd Sub\n"
                                                      "Do : A : Loop"},
        {"a GoTo loop", "top:\nGoTo top"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ScriptRunner runner;
        ASSERT_EQ(kEngineOK, runner.Compile(c.source));
        std::atomic<DWORD> abortedAt(0);
        std::thread stopper([&] {
            Sleep(kRunFor);
            abortedAt = GetTickCount();
            runner.abort = true;
        });
        long result = runner.Run();
        DWORD returnedAt = GetTickCount();
        stopper.join();
        EXPECT_EQ(ResultName(kEngineAborted), ResultName(result));
        EXPECT_LT(returnedAt - abortedAt, kPrompt);
        EXPECT_GT(runner.yields, 0);
        EXPECT_EQ("", runner.Errors());
    }
}

TEST(EngineThreads, TwoEnginesRunOnTwoThreadsApart)
{
    const int kTurns = 20000;
    std::string outputs[2];
    long results[2] = {-1, -1};
    std::thread threads[2];
    for (int t = 0; t < 2; ++t) {
        threads[t] = std::thread([&, t] {
            ScriptRunner runner;
            std::string source = "For i = 1 To " + std::to_string(kTurns) +
                                 " : s = s + " + std::to_string(t + 1) +
                                 " : Next\nPrint \"engine " + std::to_string(t) + " \" & s";
            results[t] = runner.CompileAndRun(source);
            outputs[t] = runner.Output();
        });
    }
    for (std::thread& thread : threads)
        thread.join();
    EXPECT_EQ(kEngineOK, results[0]);
    EXPECT_EQ(kEngineOK, results[1]);
    EXPECT_EQ("engine 0 " + std::to_string(kTurns), outputs[0]);
    EXPECT_EQ("engine 1 " + std::to_string(2 * kTurns), outputs[1]);
}

TEST(EngineAutomation, ScriptingDictionaryThroughLateBoundCalls)
{
    ScriptRunner runner;
    long result = runner.CompileAndRun(
        "Set d = CreateObject(\"Scripting.Dictionary\")\n"
        "d.Add \"a\", 1\nd(\"b\") = 2\nkey = \"c\"\nd.Add key, \"three\"\n"
        "Print d.Count, d.Item(\"b\"), d(key), d.Exists(\"a\"), d.Exists(\"z\")\n"
        "For Each k In d\n s = s & k\nNext\nPrint s\n"
        "Set e = d\nPrint e Is d, d Is Nothing, TypeName(d.Keys)\n"
        "On Error Resume Next\nd.Add \"a\", 9\nPrint Err.Number <> 0\nd.NoSuchMember\nPrint Err.Number\n"
        "Set d = Nothing\nPrint IsObject(d), d Is Nothing");
    EXPECT_EQ(ResultName(kEngineOK), ResultName(result)) << runner.FirstErrorText();
    EXPECT_EQ("3\t2\tthree\tTrue\tFalse|abc|True\tFalse\tVariant()|True|438|True\tTrue",
              runner.Output());
}

TEST(EngineAutomation, AnAutomationFailureIsARunTimeErrorOnItsLine)
{
    ScriptRunner runner;
    long result = runner.CompileAndRun("Set d = CreateObject(\"Scripting.Dictionary\")\n"
                                       "d.Add 1, 1\nd.Add 1, 2\n");
    EXPECT_EQ(ResultName(kEngineRuntimeError), ResultName(result));
    EXPECT_EQ("3:3", runner.Errors());
    ScriptRunner missing;
    EXPECT_EQ(ResultName(kEngineRuntimeError),
              ResultName(missing.CompileAndRun("Set x = CreateObject(\"No.Such.Class\")")));
    EXPECT_EQ("3:1", missing.Errors());
}

}  // namespace
