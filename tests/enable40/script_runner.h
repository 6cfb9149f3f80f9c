// A script run on Enable40.dll through its ordinals, with every message the
// engine hands back recorded.
#ifndef TESTS_ENABLE40_SCRIPT_RUNNER_H
#define TESTS_ENABLE40_SCRIPT_RUNNER_H

#include <enable40/enable40.h>

#include <string>
#include <vector>

struct RecordedMessage {
    int kind;
    long line;
    std::string text;  // the printed text (kind 0) or the error text
};

class ScriptRunner
{
public:
    ScriptRunner();
    ~ScriptRunner();
    ScriptRunner(const ScriptRunner&) = delete;
    ScriptRunner& operator=(const ScriptRunner&) = delete;

    // Sets the text and compiles it: the compile's result.
    long Compile(const std::string& source);
    long Run();
    // Compile, then Run when it compiled.
    long CompileAndRun(const std::string& source);

    // The printed lines joined by "|".
    std::string Output() const;
    // The error messages as "kind:line" joined by "|".
    std::string Errors() const;
    std::string FirstErrorText() const;

    EngineHandle handle;
    std::vector<RecordedMessage> messages;
    // Set from any thread: the next yield aborts the script.
    volatile bool abort = false;
    int yields = 0;

private:
    static long __stdcall OnMessage(const EngineMessage* message);
    static long __stdcall OnYield(EngineHandle context);
};

// Result and message kinds by name, for failure texts.
std::string ResultName(long result);

#endif
