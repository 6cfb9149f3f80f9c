// Enable40.dll: the BASIC script engine that runs server scripts.
//
// WHAT IT GUARANTEES
// - Programs import every operation by ordinal only (the DLL exports no
//   names). Every operation uses the standard calling convention and
//   returns a 32-bit result: 0 for done, otherwise one of the codes below.
// - An engine (context) is a 32-bit handle from a process-wide table. A
//   handle is never handed out twice, so a destroyed handle stays invalid
//   (kEngineBadContext) for the life of the process.
// - Call-backs come on the thread that made the engine call, from inside
//   that call. COM is initialised on that thread (apartment threaded) for
//   the engine's life; an engine is used from one thread at a time.
// - The script is compiled once into a tree (EngineCompile); running and
//   stepping execute that tree. A compile error is reported as a message of
//   kind kMessageCompileError with its line, and the call returns
//   kEngineSyntaxError. A run-time error that the script does not handle
//   (On Error) is reported as kMessageRuntimeError with its line, and the
//   run or step returns kEngineRuntimeError.
// - The yield call-back is called at loop back-edges and procedure calls,
//   at least every 10 ms of running script: returning 1 aborts the script
//   within that time, and the run or step returns kEngineAborted.
// - Stepping: the first step after a compile executes nothing and names the
//   first statement; each later step executes the statement named last
//   (EngineStepOver: with every procedure it calls) and names the next one.
//   A line below 0 says that the script has ended.
// - EngineGetVariable never writes more than the buffer size it is given,
//   NUL included.
//
// THE LANGUAGE
// Structured BASIC: ' and Rem comments; _ continues a line, : separates
// statements. Sub and Function (ByVal, ByRef: the default), Dim, ReDim
// [Preserve], Const, Erase, variables and arrays typed As Integer, Long,
// Single, Double, String, Boolean, Date, Object or Variant (the default);
// If (block and one-line), Select Case, For/Next, For Each, Do/Loop with
// While or Until, While/Wend, Exit, GoTo, Call; On Error Resume Next, On
// Error GoTo label|0 with the Err object; Print (kind 0 messages); text
// files through Open ... For Input|Output|Append As #n, Line Input #,
// Print #, EOF, FreeFile and Close; CreateObject and GetObject with
// late-bound calls (methods, properties, Set, Nothing, Is, For Each over
// collections). Plain variables pass by reference to objects, typed arrays
// as VT_BYREF|VT_ARRAY|VT_BSTR or VT_I4 (Variant arrays as VT_VARIANT).
// A call of a name that the script does not define goes to the extension
// call-back; automation failures become run-time errors.
//
// LIMITS
// - Procedure calls nest at most 1000 deep ("Out of stack space").
// - Arrays have at most 60 dimensions; strings are limited by memory.
// - At most 64 files are open per engine.
#ifndef ENABLE40_ENABLE40_H
#define ENABLE40_ENABLE40_H

#include <windows.h>
#include <oaidl.h>
#include <stddef.h>

#ifdef __cplusplus
extern "C" {
#endif

// The DLL's own build exports through enable40.def (ordinals, no names).
#ifdef ENABLE40_BUILD
#define ENABLE40_API
#else
#define ENABLE40_API __declspec(dllimport)
#endif

typedef unsigned long EngineHandle;  // 32-bit; 0 is never a valid engine

// Message kinds.
enum {
    kMessageOutput = 0,        // a printed line: text
    kMessageGeneral = 1,       // errorText
    kMessageCompileError = 2,  // errorText, line
    kMessageRuntimeError = 3   // errorText, line
};

// The record handed to the message call-back; valid during the call only.
typedef struct EngineMessage {
    EngineHandle context;   // 0
    short kind;             // 4
    short reserved1;        // 6
    long reserved2;         // 8
    const char* text;       // 12 on i686: the printed text (kind 0)
    long column;            // 16 on i686: 1-based column of an error, 0 if none
    long line;              // 20 on i686: 1-based line, 0 when none applies
    long errorNumber;       // 24 on i686: the error's number (Err.Number)
    long reserved3;         // 28 on i686
    const char* errorText;  // 32 on i686: the message text (kinds 1 to 3)
} EngineMessage;

#if !defined(_WIN64) && defined(__cplusplus)
static_assert(offsetof(EngineMessage, kind) == 4, "kind at 4");
static_assert(offsetof(EngineMessage, text) == 12, "text at 12");
static_assert(offsetof(EngineMessage, line) == 20, "line at 20");
static_assert(offsetof(EngineMessage, errorText) == 32, "errorText at 32");
#endif

typedef long(__stdcall* EngineMessageCallback)(const EngineMessage* message);
// 1 aborts the running script, 0 lets it go on.
typedef long(__stdcall* EngineYieldCallback)(EngineHandle context);
// A call of a name the script does not define: the arguments in COM order
// (last first); 0 with the result filled, or an error code, which becomes a
// run-time error.
typedef long(__stdcall* EngineExtensionCallback)(EngineHandle context, const char* name,
                                                 DISPPARAMS* arguments, VARIANT* result);

// Results.
enum {
    kEngineOK = 0,
    kEngineBadContext = (long)0x80040001,
    kEngineTooManyFiles = (long)0x80040002,
    kEngineFileNotFound = (long)0x80040003,
    kEngineBufferFull = (long)0x80040004,
    kEngineUnhandledException = (long)0x80040005,
    kEngineReadError = (long)0x80040006,
    kEngineTypeMismatch = (long)0x80040007,
    kEngineBadState = (long)0x80040008,
    kEngineSyntaxError = (long)0x80040009,
    kEngineExpectedToken = (long)0x8004000A,
    kEngineSymbolTableFull = (long)0x80040013,
    kEngineOutOfDate = (long)0x80040014,
    kEngineRuntimeError = (long)0x80040015,
    kEngineActiveScriptFailed = (long)0x80040017,
    kEngineDuplicateDeclaration = (long)0x8004800B,
    kEngineVariableNotDefined = (long)0x8004800C,
    kEngineTypeCharMismatch = (long)0x8004800D,
    kEngineUserTypeNotDefined = (long)0x8004800E,
    kEngineMemberNotFound = (long)0x8004800F,
    kEngineArgumentNotOptional = (long)0x80048010,
    kEngineWrongArgumentCount = (long)0x80048011,
    kEngineSubNotDefined = (long)0x80048012,
    // A run or step ended by the yield call-back.
    kEngineAborted = (long)0x80040016
};

// Ordinal 1: a new engine; its handle is written through context. The name,
// reserved value (0) and owner window are accepted and not used.
ENABLE40_API long __stdcall EngineCreate(const char* name, long reserved, HWND owner,
                                         EngineHandle* context);
// Ordinal 5, 10, 7: the call-backs (NULL removes one).
ENABLE40_API long __stdcall EngineSetMessageCallback(EngineHandle context,
                                                     EngineMessageCallback callback);
ENABLE40_API long __stdcall EngineSetYieldCallback(EngineHandle context,
                                                   EngineYieldCallback callback);
ENABLE40_API long __stdcall EngineSetExtensionCallback(EngineHandle context,
                                                       EngineExtensionCallback callback);
// Ordinal 11: the source text (NUL-terminated), copied; kEngineBadState
// for NULL.
ENABLE40_API long __stdcall EngineSetScript(EngineHandle context, const char* text);
// Ordinal 15: compiles the text set last; a compiled script starts afresh
// (variables empty, files closed).
ENABLE40_API long __stdcall EngineCompile(EngineHandle context);
// Ordinal 35: runs the compiled script to its end, or on from where
// stepping paused. kEngineBadState without a compiled script.
ENABLE40_API long __stdcall EngineRun(EngineHandle context);
// Ordinals 39 and 38: one statement (see above). secondResult receives 0.
ENABLE40_API long __stdcall EngineStepInto(EngineHandle context, long* secondResult, long* line);
ENABLE40_API long __stdcall EngineStepOver(EngineHandle context, long* secondResult, long* line);
// Ordinal 42: the value of a variable as text: the current procedure's
// first, then the script's. kEngineVariableNotDefined for an unknown name.
ENABLE40_API long __stdcall EngineGetVariable(EngineHandle context, const char* name, char* buffer,
                                              long size);
// Ordinal 54: ends a run or a paused script and releases the engine.
ENABLE40_API long __stdcall EngineDestroy(EngineHandle context);
// Ordinal 10002: engine options; every option is accepted and ignored.
ENABLE40_API long __stdcall EngineSetOption(EngineHandle context, long option, long value);

#ifdef __cplusplus
}
#endif

#endif
