#include "script_runner.h"

#include <stdio.h>

#include <map>
#include <mutex>

namespace
{

std::mutex gRunnersLock;
std::map<EngineHandle, ScriptRunner*> gRunners;

ScriptRunner* RunnerOf(EngineHandle handle)
{
    std::lock_guard<std::mutex> lock(gRunnersLock);
    auto found = gRunners.find(handle);
    return found == gRunners.end() ? nullptr : found->second;
}

}  // namespace

ScriptRunner::ScriptRunner() : handle(0)
{
    EngineCreate("Server Script", 0, NULL, &handle);
    {
        std::lock_guard<std::mutex> lock(gRunnersLock);
        gRunners[handle] = this;
    }
    EngineSetMessageCallback(handle, OnMessage);
    EngineSetYieldCallback(handle, OnYield);
}

ScriptRunner::~ScriptRunner()
{
    EngineDestroy(handle);
    std::lock_guard<std::mutex> lock(gRunnersLock);
    gRunners.erase(handle);
}

long ScriptRunner::Compile(const std::string& source)
{
    long result = EngineSetScript(handle, source.c_str());
    return result ? result : EngineCompile(handle);
}

long ScriptRunner::Run()
{
    return EngineRun(handle);
}

long ScriptRunner::CompileAndRun(const std::string& source)
{
    long result = Compile(source);
    return result ? result : Run();
}

std::string ScriptRunner::Output() const
{
    std::string text;
    for (const RecordedMessage& m : messages)
        if (m.kind == kMessageOutput)
            text += (text.empty() ? "" : "|") + m.text;
    return text;
}

std::string ScriptRunner::Errors() const
{
    std::string text;
    for (const RecordedMessage& m : messages)
        if (m.kind != kMessageOutput)
            text += (text.empty() ? "" : "|") + std::to_string(m.kind) + ":" +
                    std::to_string(m.line);
    return text;
}

std::string ScriptRunner::FirstErrorText() const
{
    for (const RecordedMessage& m : messages)
        if (m.kind != kMessageOutput)
            return m.text;
    return "";
}

long __stdcall ScriptRunner::OnMessage(const EngineMessage* message)
{
    if (ScriptRunner* runner = RunnerOf(message->context)) {
        const char* text = message->kind == kMessageOutput ? message->text : message->errorText;
        runner->messages.push_back(RecordedMessage{message->kind, message->line, text ? text : ""});
    }
    return 0;
}

long __stdcall ScriptRunner::OnYield(EngineHandle context)
{
    ScriptRunner* runner = RunnerOf(context);
    if (!runner)
        return 0;
    ++runner->yields;
    return runner->abort ? 1 : 0;
}

std::string ResultName(long result)
{
    static const struct {
        long result;
        const char* name;
    } names[] = {
        {kEngineOK, "kEngineOK"},
        {kEngineBadContext, "kEngineBadContext"},
        {kEngineBadState, "kEngineBadState"},
        {kEngineSyntaxError, "kEngineSyntaxError"},
        {kEngineRuntimeError, "kEngineRuntimeError"},
        {kEngineAborted, "kEngineAborted"},
        {kEngineVariableNotDefined, "kEngineVariableNotDefined"},
    };
    for (const auto& n : names)
        if (n.result == result)
            return n.name;
    char text[32];
    snprintf(text, sizeof text, "0x%08lX", (unsigned long)result);
    return text;
}
