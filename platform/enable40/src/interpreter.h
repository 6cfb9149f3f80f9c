// The interpreter: runs a compiled Program on a fiber of its own, so that a
// run can pause at any statement (stepping) and go on later, and so that
// deep recursion has a large stack whatever thread calls the engine.
#ifndef ENABLE40_INTERPRETER_H
#define ENABLE40_INTERPRETER_H

#include "program.h"

#include <enable40/enable40.h>

#include <stdio.h>

namespace script
{

// Thrown through the script's frames when the host ends a run; no On Error
// handler sees it.
struct Abort {
};

struct Frame {
    Procedure* procedure = nullptr;  // null: the script level
    Value* locals = nullptr;
    int onError = 0;                 // OnErrorStmt::Mode
    std::string errorLabel;
};

// The arguments of an automation call or an extension call, with their
// write-back to the script's variables after the call.
class OutgoingArguments
{
public:
    // exactTypes: variables pass by reference with their value's own type
    // (VT_BYREF|VT_I2, ...) instead of VT_BYREF|VT_VARIANT.
    OutgoingArguments(Interpreter& in, ExprList& args, bool exactTypes);
    ~OutgoingArguments();
    DISPPARAMS* Params() { return &m_params; }
    void WriteBack();

private:
    struct ByRef {
        Value* target;
        VType declared;
        size_t index;  // into m_storage
        VType elementType;  // arrays
        bool isArray;
    };
    std::vector<VARIANT> m_storage;    // values, in script order
    std::vector<VARIANT> m_arguments;  // what the callee sees, last first
    std::vector<ByRef> m_refs;
    DISPPARAMS m_params;
};

class Interpreter
{
public:
    Interpreter(EngineHandle handle, Program* program);
    ~Interpreter();

    EngineHandle handle;
    EngineMessageCallback onMessage = nullptr;
    EngineYieldCallback onYield = nullptr;
    EngineExtensionCallback onExtension = nullptr;

    // Runs (stepMode 0) or steps (kStepInto / kStepOver) until the next
    // pause or the end: kEngineOK, kEngineRuntimeError or kEngineAborted.
    enum StepMode { kRunMode, kStepInto, kStepOver };
    long Resume(StepMode mode, long* line);
    bool Finished() const { return m_finished; }
    // Ends a paused run, unwinding its frames.
    void Stop();
    // The value of a variable as text; false when the name is unknown.
    bool GetVariable(const std::string& name, std::string* text);

    // ---- used by the nodes
    Frame* frame;
    std::vector<Value> globals;
    int currentLine = 0;
    std::string gotoLabel;  // the label of a kGoTo flow
    // Err.
    long errNumber = 0;
    std::string errDescription, errSource;

    void AtStatement(int line)
    {
        currentLine = line;
        if (m_stepMode != kRunMode)
            StepPause(line);
    }
    // Called at loop back-edges and procedure calls.
    void BackEdge()
    {
        if (onYield || m_stopping)
            PollYield();
    }
    Value& Slot(NameExpr* name)
    {
        return name->kind == kLocalName ? frame->locals[name->slot] : globals[name->slot];
    }
    // Stores a value into a variable, as its declared type asks.
    void Store(NameExpr* name, Value value, bool isSet);
    Value Call(Procedure* procedure, ExprList& args);
    Value CallExtension(NameExpr* name);
    // An element of an array value; fails for bad indexes.
    Value& Element(ArrayData* array, ExprList& indexes);
    // The array of a variable, made unshared so that it can be changed.
    ArrayData* OwnArray(Value& slot);
    // Flow after a run-time error in a statement of this frame.
    Flow HandleError(const ScriptError& error);
    void SetErr(const ScriptError& error);
    void Print(const std::string& text);
    void Report(short kind, const std::string& text, int line, long number);

    // Automation.
    Value Invoke(IDispatch* object, const std::string& member, WORD flags, ExprList& args,
                 const Value* assigned = nullptr);
    Value InvokeDefault(IDispatch* object, WORD flags, ExprList& args,
                        const Value* assigned = nullptr);

    // Files, numbered 1 to 511.
    struct OpenFile {
        FILE* file;
        int mode;
    };
    std::map<long, OpenFile> files;
    OpenFile& File(long number);
    void CloseFiles();

    double randomSeed = 0.5;

private:
    Value InvokeId(IDispatch* object, DISPID id, const std::string& member, WORD flags,
                   ExprList& args, const Value* assigned);
    static void __stdcall FiberMain(void* self);
    void RunProgram();
    void StepPause(int line);
    void PollYield();

    Program* m_program;
    Frame m_top;
    int m_depth = 0;
    StepMode m_stepMode = kRunMode;
    int m_stepDepth = 0;
    int m_pausedLine = 0;
    long m_result = 0;
    bool m_finished = false;
    bool m_stopping = false;
    bool m_aborted = false;
    void* m_fiber = nullptr;
    void* m_host = nullptr;
    DWORD m_lastYield = 0;
};

// Text of a value for Print and for EngineGetVariable.
std::string DisplayText(const Value& v);

}  // namespace script

#endif
