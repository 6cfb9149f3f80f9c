// Script steps: the agent's members of CPProcessScript, which run a step's
// script on Enable40.dll (loaded on first use, called by ordinal only), and
// the map from engine handles to steps.
#include <model/steps.h>

#include <agent/script_engine_map.h>

#include <map>

namespace
{

// The engine's operations by ordinal.
struct EngineLibrary {
    typedef long(__stdcall* Create)(const char*, long, HWND, EngineHandle*);
    typedef long(__stdcall* SetMessage)(EngineHandle, EngineMessageCallback);
    typedef long(__stdcall* SetYield)(EngineHandle, EngineYieldCallback);
    typedef long(__stdcall* SetExtension)(EngineHandle, EngineExtensionCallback);
    typedef long(__stdcall* SetScript)(EngineHandle, const char*);
    typedef long(__stdcall* OfEngine)(EngineHandle);

    Create create = nullptr;             // 1
    SetMessage setMessage = nullptr;     // 5
    SetExtension setExtension = nullptr; // 7
    SetYield setYield = nullptr;         // 10
    SetScript setScript = nullptr;       // 11
    OfEngine compile = nullptr;          // 15
    OfEngine run = nullptr;              // 35
    OfEngine destroy = nullptr;          // 54

    EngineLibrary()
    {
        HMODULE dll = LoadLibraryA("Enable40.dll");
        if (!dll)
            return;
        create = (Create)Ordinal(dll, 1);
        setMessage = (SetMessage)Ordinal(dll, 5);
        setExtension = (SetExtension)Ordinal(dll, 7);
        setYield = (SetYield)Ordinal(dll, 10);
        setScript = (SetScript)Ordinal(dll, 11);
        compile = (OfEngine)Ordinal(dll, 15);
        run = (OfEngine)Ordinal(dll, 35);
        destroy = (OfEngine)Ordinal(dll, 54);
    }
    bool Loaded() const
    {
        return create && setMessage && setExtension && setYield && setScript && compile && run &&
               destroy;
    }
    static FARPROC Ordinal(HMODULE dll, WORD ordinal)
    {
        return GetProcAddress(dll, MAKEINTRESOURCEA(ordinal));
    }
};

const EngineLibrary& Engine()
{
    static EngineLibrary library;
    return library;
}

struct MapLock {
    MapLock()
    {
        static bool ready = Setup();
        (void)ready;
        EnterCriticalSection(&Section());
    }
    ~MapLock() { LeaveCriticalSection(&Section()); }
    static CRITICAL_SECTION& Section()
    {
        static CRITICAL_SECTION section;
        return section;
    }
    static bool Setup()
    {
        InitializeCriticalSection(&Section());
        return true;
    }
};

std::map<EngineHandle, CPProcessScript*>& Steps()
{
    static std::map<EngineHandle, CPProcessScript*> steps;
    return steps;
}

// The 16- or 32-bit integer of an argument, by value or by reference.
bool IntegerArgument(const VARIANT& argument, long* value)
{
    switch (argument.vt) {
    case VT_I2:
        *value = argument.iVal;
        return true;
    case VT_I4:
        *value = argument.lVal;
        return true;
    case VT_BYREF | VT_I2:
        *value = *argument.piVal;
        return true;
    case VT_BYREF | VT_I4:
        *value = *argument.plVal;
        return true;
    default:
        return false;
    }
}

double SecondsSince(const LARGE_INTEGER& start)
{
    LARGE_INTEGER now, frequency;
    QueryPerformanceCounter(&now);
    QueryPerformanceFrequency(&frequency);
    return (double)(now.QuadPart - start.QuadPart) / (double)frequency.QuadPart;
}

}  // namespace

// ---------------------------------------------------------------------------

void ScriptEngineMap::Add(EngineHandle engine, CPProcessScript* step)
{
    MapLock lock;
    Steps()[engine] = step;
}

void ScriptEngineMap::Remove(EngineHandle engine)
{
    MapLock lock;
    Steps().erase(engine);
}

CPProcessScript* ScriptEngineMap::Find(EngineHandle engine)
{
    MapLock lock;
    auto found = Steps().find(engine);
    return found == Steps().end() ? NULL : found->second;
}

// ---------------------------------------------------------------------------

long CPProcessScript::Start()
{
    SetRunState(kStepRunning);
    if (!CheckStartMemory() || !LogonAndImpersonate(1)) {
        Complete();
        return 0;
    }
    CreateCaptureFiles();
    // Only a script that ran to its end decides the exit code; any other
    // end keeps the one that goes with the step's termination message.
    if (Run())
        SetExitCode((unsigned long)m_exitCodeValue);
    CollectOutput();
    CloseCaptureFiles();
    LogonAndImpersonate(0);
    Complete();
    return 1;
}

long CPProcessScript::Kill()
{
    InterlockedExchange(&m_killed, 1);
    return 0;
}

BOOL CPProcessScript::CheckStartMemory()
{
    return HasStartMemory(
        "Constraint violated, server script didn't start!\r\nAvailable memory is less than %u "
        "kilobytes");
}

long CPProcessScript::CheckConstraints()
{
    return DurationExceeded((ULONGLONG)SecondsSince(m_started)) ? 0 : 1;
}

long CPProcessScript::Run()
{
    AppendServerMessage("");
    InterlockedExchange(&m_killed, 0);
    m_engine = 0;
    const EngineLibrary& engine = Engine();
    if (!engine.Loaded()) {
        AppendServerMessage("The script engine Enable40.dll could not be loaded.");
        return 0;
    }
    if (engine.create(NULL, 0, NULL, &m_engine) != kEngineOK) {
        m_engine = 0;
        return 0;
    }
    ScriptEngineMap::Add(m_engine, this);
    CString script = GetScript();
    bool ran = engine.setMessage(m_engine, OutputCallback) == kEngineOK &&
               engine.setYield(m_engine, YieldCallback) == kEngineOK &&
               engine.setExtension(m_engine, ExtensionCallback) == kEngineOK &&
               !script.IsEmpty() && engine.setScript(m_engine, script) == kEngineOK &&
               engine.compile(m_engine) == kEngineOK;
    if (ran) {
        QueryPerformanceCounter(&m_started);
        ran = engine.run(m_engine) == kEngineOK;
    }
    ScriptEngineMap::Remove(m_engine);
    engine.destroy(m_engine);
    m_engine = 0;
    return ran ? 1 : 0;
}

void CPProcessScript::OnOutput(const EngineMessage* record)
{
    switch (record->kind) {
    case kMessageOutput: {
        HANDLE output = GetCaptureWriteHandle(kStdOutCapture);
        if (!output || !record->text)
            return;
        CString line = CString(record->text) + "\r\n";
        DWORD written = 0;
        WriteFile(output, (LPCTSTR)line, (DWORD)line.GetLength(), &written, NULL);
        return;
    }
    case kMessageGeneral:
    case kMessageCompileError:
    case kMessageRuntimeError: {
        CString text;
        text.Format("\r\n%s", record->errorText ? record->errorText : "");
        AppendServerMessage(text);
        return;
    }
    default:
        return;
    }
}

long CPProcessScript::OnYield()
{
    if (!CheckConstraints() || m_killed)
        return 1;
    if (CNeoThreadMFC* thread = CNeoThreadMFC::FThread())
        thread->sleep(0);
    return 0;
}

long __stdcall CPProcessScript::OutputCallback(const EngineMessage* record)
{
    if (CPProcessScript* step = ScriptEngineMap::Find(record->context))
        step->OnOutput(record);
    return 0;
}

long __stdcall CPProcessScript::YieldCallback(EngineHandle engine)
{
    CPProcessScript* step = ScriptEngineMap::Find(engine);
    return step ? step->OnYield() : 0;
}

long __stdcall CPProcessScript::ExtensionCallback(EngineHandle engine, const char* name,
                                                  DISPPARAMS* arguments, VARIANT* result)
{
    CPProcessScript* step = ScriptEngineMap::Find(engine);
    if (!step)
        return 1;
    UINT count = arguments ? arguments->cArgs : 0;
    if (_stricmp(name, "GetExitCode") == 0) {
        if (count != 0)
            return DISP_E_BADPARAMCOUNT;
        VariantClear(result);
        result->vt = VT_I4;
        result->lVal = step->m_exitCodeValue;
        return 0;
    }
    if (_stricmp(name, "SetExitCode") == 0) {
        if (count != 1)
            return DISP_E_BADPARAMCOUNT;
        long value = 0;
        if (!IntegerArgument(arguments->rgvarg[0], &value))
            return TYPE_E_UNDEFINEDTYPE;
        step->m_exitCodeValue = value;
        return 0;
    }
    return 0;
}
