// Script steps as the agent runs them: output capture, the exit code the
// script leaves, messages, the extension functions, the duration limit and
// Kill.
#include "agent_fixture.h"

#include <agent/script_engine_map.h>

#include <gtest/gtest.h>

#include <string.h>

#include <thread>

namespace
{

// The exit code that goes with a step's termination message.
const unsigned long kTerminationCode = 255;
const unsigned long kMinusOne = 0xFFFFFFFFUL;
const long kStarted = 1;

CPProcessScript* NewScriptStep(const std::string& script)
{
    CPProcessScript* step = static_cast<CPProcessScript*>(CPProcessScript::Create());
    step->SetName("script");
    step->SetScript(script.c_str());
    step->SetExitCode(kTerminationCode);
    return step;
}

bool Contains(const CString& text, const char* part)
{
    return strstr(text, part) != NULL;
}

class ScriptSteps : public AgentManagers
{
};

TEST_F(ScriptSteps, OutputExitCodeAndMessagesFollowTheScript)
{
    struct Case {
        const char* what;
        const char* script;
        std::string output;
        unsigned long exitCode;
        const char* message;  // a part of the server message; "" for none
    } cases[] = {
        {"two printed lines and no exit code set", "Print \"one\"\nPrint \"two\"",
         "one\r\ntwo\r\n", 0, ""},
        {"a 16-bit -1", "SetExitCode CInt(-1)", "", kMinusOne, ""},
        {"a typed variable by reference", "Dim code As Long\ncode = 7\nSetExitCode code", "", 7, ""},
        {"read, then set", "SetExitCode GetExitCode() + 3\nPrint GetExitCode", "3\r\n", 3, ""},
        {"a string refused: a run-time error", "SetExitCode 4\nPrint \"x\"\nSetExitCode \"text\"",
         "x\r\n", kTerminationCode, "Run-time error"},
        {"GetExitCode with an argument", "x = GetExitCode(1)", "", kTerminationCode,
         "Wrong number of arguments"},
        {"a compile error", "If Then", "", kTerminationCode, "Compile error"},
        {"no script text", "", "", kTerminationCode, "Exit code: 255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CNeoRef<CPProcessScript> step(NewScriptStep(c.script));
        EXPECT_EQ(kStarted, RunStep(step.get()));
        EXPECT_EQ(c.output, std::string(step->GetStandardOutput()));
        EXPECT_EQ(c.exitCode, step->GetExitCode());
        EXPECT_TRUE(Contains(step->GetServerMessage(), c.message)) << step->GetServerMessage();
        EXPECT_EQ(kStepRunning, step->GetRunState());
        EXPECT_EQ(1, gCompletedQueue->Count());
        gCompletedQueue->Remove(step.get());
    }
}

TEST_F(ScriptSteps, ExtensionFunctionsCheckTheirArguments)
{
    CNeoRef<CPProcessScript> step(NewScriptStep(""));
    const EngineHandle kEngine = 0x7001;
    const EngineHandle kUnknownEngine = 0x7002;
    const long kOK = 0;
    const long kUnknownStep = 1;
    ScriptEngineMap::Add(kEngine, step.get());
    step->SetExitCodeValue(5);
    SHORT small = -2;
    LONG big = 70000;
    BSTR text = SysAllocString(L"9");
    struct Case {
        const char* what;
        EngineHandle engine;
        const char* name;
        std::vector<VARIANT> args;  // last first, as the engine hands them
        long status;
        long valueAfter;
    };
    auto i2 = [](SHORT v) { VARIANT x; VariantInit(&x); x.vt = VT_I2; x.iVal = v; return x; };
    auto i4 = [](LONG v) { VARIANT x; VariantInit(&x); x.vt = VT_I4; x.lVal = v; return x; };
    auto ref = [](VARTYPE vt, void* p) { VARIANT x; VariantInit(&x); x.vt = VT_BYREF | vt; x.byref = p; return x; };
    VARIANT textArg;
    VariantInit(&textArg);
    textArg.vt = VT_BSTR;
    textArg.bstrVal = text;
    Case cases[] = {
        {"a 16-bit -1", kEngine, "SetExitCode", {i2(-1)}, kOK, -1},
        {"a 32-bit value", kEngine, "setexitcode", {i4(123456)}, kOK, 123456},
        {"a 16-bit value by reference", kEngine, "SetExitCode", {ref(VT_I2, &small)}, kOK, -2},
        {"a 32-bit value by reference", kEngine, "SetExitCode", {ref(VT_I4, &big)}, kOK, 70000},
        {"a string", kEngine, "SetExitCode", {textArg}, (long)TYPE_E_UNDEFINEDTYPE, 70000},
        {"two arguments", kEngine, "SetExitCode", {i4(1), i4(2)}, (long)DISP_E_BADPARAMCOUNT, 70000},
        {"none", kEngine, "SetExitCode", {}, (long)DISP_E_BADPARAMCOUNT, 70000},
        {"GetExitCode with an argument", kEngine, "GetExitCode", {i4(1)},
         (long)DISP_E_BADPARAMCOUNT, 70000},
        {"another name", kEngine, "Other", {i4(1)}, kOK, 70000},
        {"an engine without a step", kUnknownEngine, "SetExitCode", {i4(3)}, kUnknownStep, 70000},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        DISPPARAMS params = {c.args.empty() ? NULL : c.args.data(), NULL, (UINT)c.args.size(), 0};
        VARIANT result;
        VariantInit(&result);
        EXPECT_EQ(c.status, CPProcessScript::ExtensionCallback(c.engine, c.name, &params, &result));
        EXPECT_EQ(c.valueAfter, step->GetExitCodeValue());
        EXPECT_EQ(VT_EMPTY, result.vt);
    }
    VARIANT result;
    VariantInit(&result);
    DISPPARAMS none = {NULL, NULL, 0, 0};
    EXPECT_EQ(kOK, CPProcessScript::ExtensionCallback(kEngine, "GETEXITCODE", &none, &result));
    EXPECT_EQ(VT_I4, result.vt);
    EXPECT_EQ(70000, result.lVal);
    ScriptEngineMap::Remove(kEngine);
    EXPECT_TRUE(ScriptEngineMap::Find(kEngine) == NULL);
    SysFreeString(text);
}

TEST_F(ScriptSteps, ARunawayScriptEndsAtItsDurationOrItsKill)
{
    const char kRunaway[] = "Print \"started\"\nDo\n n = n + 1\nLoop";
    const DWORD kKillAfter = 300;
    struct Case {
        const char* what;
        long durationLimit;  // seconds; 0 = none
        bool kill;
        const char* message;
    } cases[] = {
        {"a 1 second duration limit", 1, false,
         "Constraint violated! Execution duration exceeded 1 second(s)"},
        {"Kill from another thread", 0, true, "Exit code: 255"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CNeoRef<CPProcessScript> step(NewScriptStep(kRunaway));
        step->SetDurationLimit(c.durationLimit);
        step->SetDurationUnit(kSeconds);
        std::thread killer;
        if (c.kill)
            killer = std::thread([&] {
                Sleep(kKillAfter);
                step->Kill();
            });
        DWORD started = GetTickCount();
        EXPECT_EQ(kStarted, RunStep(step.get()));
        DWORD took = GetTickCount() - started;
        if (killer.joinable())
            killer.join();
        if (c.durationLimit) {
            EXPECT_GE(took, 1000u);
        }
        EXPECT_EQ(kTerminationCode, step->GetExitCode());
        EXPECT_EQ(std::string("started\r\n"), std::string(step->GetStandardOutput()));
        EXPECT_TRUE(Contains(step->GetServerMessage(), c.message)) << step->GetServerMessage();
        gCompletedQueue->Remove(step.get());
    }
}

}  // namespace
