// The DLL's operations: the table of engines and the calls into them.
#include "interpreter.h"

#include <map>
#include <memory>

namespace
{

using script::Interpreter;

struct Engine {
    EngineHandle handle;
    EngineMessageCallback onMessage = nullptr;
    EngineYieldCallback onYield = nullptr;
    EngineExtensionCallback onExtension = nullptr;
    std::string source;
    bool hasSource = false;
    std::unique_ptr<script::Program> program;
    std::unique_ptr<Interpreter> interpreter;
    bool comInitialised = false;
    DWORD comThread = 0;
    bool busy = false;  // inside a run or step: no reentry

    ~Engine()
    {
        interpreter.reset();
        program.reset();
        if (comInitialised && comThread == GetCurrentThreadId())
            CoUninitialize();
    }
};

// The table of engines. Its lock guards the table only; an engine is used
// by one thread at a time.
CRITICAL_SECTION gTableLock;
std::map<EngineHandle, std::shared_ptr<Engine>>* gEngines;
EngineHandle gLastHandle;

struct TableLock {
    TableLock() { EnterCriticalSection(&gTableLock); }
    ~TableLock() { LeaveCriticalSection(&gTableLock); }
};

std::shared_ptr<Engine> Find(EngineHandle handle)
{
    TableLock lock;
    auto found = gEngines->find(handle);
    return found == gEngines->end() ? nullptr : found->second;
}

template <class Callback>
long SetCallback(EngineHandle context, Callback Engine::*member, Callback callback)
{
    std::shared_ptr<Engine> engine = Find(context);
    if (!engine)
        return kEngineBadContext;
    (*engine).*member = callback;
    return kEngineOK;
}

// Calls the step or run of a compiled engine.
long Execute(EngineHandle context, Interpreter::StepMode mode, long* line)
{
    std::shared_ptr<Engine> engine = Find(context);
    if (!engine)
        return kEngineBadContext;
    if (!engine->interpreter || engine->busy)
        return kEngineBadState;
    Interpreter& in = *engine->interpreter;
    in.onMessage = engine->onMessage;
    in.onYield = engine->onYield;
    in.onExtension = engine->onExtension;
    engine->busy = true;
    long result = in.Resume(mode, line);
    engine->busy = false;
    return result;
}

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*)
{
    if (reason == DLL_PROCESS_ATTACH) {
        InitializeCriticalSection(&gTableLock);
        gEngines = new std::map<EngineHandle, std::shared_ptr<Engine>>;
    }
    return TRUE;
}

extern "C" {

long __stdcall EngineCreate(const char*, long, HWND, EngineHandle* context)
{
    if (!context)
        return kEngineBadState;
    std::shared_ptr<Engine> engine(new Engine);
    TableLock lock;
    engine->handle = ++gLastHandle;
    (*gEngines)[engine->handle] = engine;
    *context = engine->handle;
    return kEngineOK;
}

long __stdcall EngineSetMessageCallback(EngineHandle context, EngineMessageCallback callback)
{
    return SetCallback(context, &Engine::onMessage, callback);
}

long __stdcall EngineSetYieldCallback(EngineHandle context, EngineYieldCallback callback)
{
    return SetCallback(context, &Engine::onYield, callback);
}

long __stdcall EngineSetExtensionCallback(EngineHandle context, EngineExtensionCallback callback)
{
    return SetCallback(context, &Engine::onExtension, callback);
}

long __stdcall EngineSetScript(EngineHandle context, const char* text)
{
    std::shared_ptr<Engine> engine = Find(context);
    if (!engine)
        return kEngineBadContext;
    if (!text || engine->busy)
        return kEngineBadState;
    engine->source = text;
    engine->hasSource = true;
    return kEngineOK;
}

long __stdcall EngineCompile(EngineHandle context)
{
    std::shared_ptr<Engine> engine = Find(context);
    if (!engine)
        return kEngineBadContext;
    if (!engine->hasSource || engine->busy)
        return kEngineBadState;
    engine->interpreter.reset();
    engine->program.reset();
    try {
        engine->program = script::Compile(engine->source);
    } catch (script::CompileError& error) {
        if (engine->onMessage) {
            std::string text = "Compile error: " + error.text;
            EngineMessage message = {};
            message.context = context;
            message.kind = kMessageCompileError;
            message.line = error.line;
            message.errorText = text.c_str();
            engine->onMessage(&message);
        }
        return kEngineSyntaxError;
    } catch (std::bad_alloc&) {
        return kEngineBufferFull;
    }
    if (!engine->comInitialised) {
        HRESULT hr = CoInitializeEx(NULL, COINIT_APARTMENTTHREADED);
        engine->comInitialised = hr == S_OK || hr == S_FALSE;
        engine->comThread = GetCurrentThreadId();
    }
    engine->interpreter.reset(new Interpreter(context, engine->program.get()));
    return kEngineOK;
}

long __stdcall EngineRun(EngineHandle context)
{
    return Execute(context, Interpreter::kRunMode, nullptr);
}

long __stdcall EngineStepInto(EngineHandle context, long* secondResult, long* line)
{
    if (secondResult)
        *secondResult = 0;
    return Execute(context, Interpreter::kStepInto, line);
}

long __stdcall EngineStepOver(EngineHandle context, long* secondResult, long* line)
{
    if (secondResult)
        *secondResult = 0;
    return Execute(context, Interpreter::kStepOver, line);
}

long __stdcall EngineGetVariable(EngineHandle context, const char* name, char* buffer, long size)
{
    std::shared_ptr<Engine> engine = Find(context);
    if (!engine)
        return kEngineBadContext;
    if (!name || !buffer || size <= 0)
        return kEngineBadState;
    std::string text;
    if (!engine->interpreter || !engine->interpreter->GetVariable(name, &text))
        return kEngineVariableNotDefined;
    size_t copied = text.size() < (size_t)size ? text.size() : (size_t)size - 1;
    memcpy(buffer, text.data(), copied);
    buffer[copied] = '\0';
    return kEngineOK;
}

long __stdcall EngineDestroy(EngineHandle context)
{
    std::shared_ptr<Engine> engine;
    {
        TableLock lock;
        auto found = gEngines->find(context);
        if (found == gEngines->end())
            return kEngineBadContext;
        engine = found->second;
        gEngines->erase(found);
    }
    // A paused script unwinds here; a busy one (destroyed from its own
    // call-back) is released when its call returns.
    return kEngineOK;
}

long __stdcall EngineSetOption(EngineHandle context, long, long)
{
    return Find(context) ? kEngineOK : kEngineBadContext;
}

}  // extern "C"
