// Steps: a process to run or a server script, as a template, a step
// definition inside a batch, or the run instance made for one run. Server,
// agent and console share these members and write identical records.
#ifndef MODEL_STEPS_H
#define MODEL_STEPS_H

#include <model/id_array.h>

#ifdef VANTOREL_AGENT_BUILD
#include <enable40/enable40.h>
#endif

const NeoTag kTagNote1 = 0x65000102;
const NeoTag kTagServerMessage = 0x65000103;
const NeoTag kTagOriginalID = 0x65000105;
const NeoTag kTagStartStep = 0x65000106;
const NeoTag kTagStepRunNumber = 0x65000107;
const NeoTag kTagProgramPath = 0x65000150;
const NeoTag kTagArguments = 0x65000151;
const NeoTag kTagEnvironment = 0x65000152;
const NeoTag kTagNote2 = 0x65000154;
const NeoTag kTagScript = 0x65000200;
const NeoTag kTagAgentID = 4;  // the one field written under this tag

// Step types (CPPersistBase::GetStepType).
enum StepType { kStepTypeExe = 1, kStepTypeScript = 3 };

// Instance modes of a step: concurrent instances, or one at a time.
enum InstanceMode { kConcurrentInstances = 0, kSingleInstance = 1 };

// Run state of a step.
enum StepRunState { kStepIdle = 0, kStepRunning = 1, kStepFinished = 2 };

// Capture option bits.
enum { kCaptureStdErr = 1, kCaptureStdOut = 2 };

// Time units of limits.
enum TimeUnit { kSeconds = 0, kMinutes = 1, kHours = 2 };

const int kConsoleBlockSize = 40;
const int kConsoleValueCount = 6;

class CPProcessBase : public CPPersistBase {
    DECLARE_DYNCREATE(CPProcessBase)
public:
    CPProcessBase();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassProcessBase; }
    // update copies every stored field except the active instances, the
    // waiting list, the agent step handle and the agent ID.
    virtual const FieldTable& GetStoredFields() const;

    // Slots that answer 0 in every build.
    virtual long ReservedSlot1() { return 0; }
    virtual long ReservedSlot2() { return 0; }
    // Ends a running step; only the agent's steps have something to end.
    virtual long Kill() { return 0; }
#ifdef VANTOREL_SERVER_BUILD
    // On a run instance: queue it for an agent. On a definition: start the
    // new instance under the step's instance rules. Returns 0.
    virtual long Start(CPProcessBase* instance);
    // Takes the result an agent returned into this run instance.
    virtual long OnAgentUpdate();
#endif
#ifdef VANTOREL_AGENT_BUILD
    // Runs the step on its own thread until it finishes, fails, is killed or
    // the agent stops; the base completes it at once.
    virtual long Start();
    virtual long OnAgentUpdate() { return 0; }
#endif
    virtual long ReservedSlot6() { return 0; }
    virtual long ReservedSlot7() { return 0; }
#ifdef VANTOREL_SERVER_BUILD
    // Asks the agent that runs this instance to cancel it.
    virtual void Stop();

    // The server's handling of definitions and run instances.
    void SetState(long state, CPProcessBase* other);
    // The definition of a run instance (a definition answers itself),
    // referenced, or NULL.
    CPProcessBase* FindDefinition();
    // The instance a single-instance definition runs now, referenced, or NULL.
    CPProcessBase* FindCurrentInstance();
    void SetCurrentInstance(CPProcessBase* instance);
    NeoID GetCurrentInstanceID() const { return m_currentInstance; }
    // Makes a fresh clone the run instance of `originalID` in run `runNumber`;
    // it receives a new ID when it is added to a database.
    void MarkRunInstance(long flag, NeoID originalID, NeoID runNumber);
    void ResetForRun();
    // Uses up one retry and tells whether the exit code asks for it.
    BOOL RetryRuleMatches();
    // Hands the instance to the least loaded allowed agent that accepts it;
    // the agent's step handle, 0 when none accepted.
    long DispatchToAgent();
    // The reachable allowed agents, least loaded first (each referenced).
    void GetCandidateAgents(CObArray* agents);
    // The instance's run-log item: created at the first dispatch, completed
    // when a result arrives.
    void CreateLogItem();
    void CompleteLogItem();

    // A definition with a current instance keeps it in memory.
    virtual BOOL isPurgeable() const;
#endif
#ifdef VANTOREL_AGENT_BUILD
    // Hands the finished step to the completed-step queue; returns 1.
    virtual long Complete();
    // 1 while every constraint of the running step holds.
    virtual long CheckConstraints() { return 0; }
    // Creates the step's process (or runs its script): 1 when it started.
    virtual long Launch() { return 0; }
    // 1 once the process has ended and its results are collected.
    virtual long IsFinished() { return 0; }

    // Mode 1 logs the step's account on and impersonates it (1 also when
    // the step names no account; 0 with a server message on failure); mode
    // 0 reverts and closes the token (0 when there was none).
    BOOL LogonAndImpersonate(int mode);
    // The logged-on token, NULL when the step runs as the agent's account.
    HANDLE GetLogonToken() const { return m_logonToken; }
    void GrantBatchLogonRight(const char* domain, const char* user);
    // Server message := old message, text and the exit code, on three lines.
    void AppendServerMessage(const char* text);
    // 1 when the free memory (physical plus page file) reaches the start
    // memory limit; else 0 with the violation (a format taking the limit in
    // kilobytes) appended to the server message.
    BOOL HasStartMemory(const char* violation);
    // 1 when `seconds` of running reach the duration limit in its unit; the
    // violation is appended to the server message then.
    BOOL DurationExceeded(ULONGLONG seconds);
    // Two capture files (standard output, then standard error): FALSE with
    // nothing left open when one cannot be made.
    BOOL CreateCaptureFiles();
    // Stores at most 2048 bytes of each captured output, the last of them a
    // banner when the output was longer.
    void CollectOutput();
    // Closes the capture handles and deletes the capture files.
    void CloseCaptureFiles();
    HANDLE GetCaptureWriteHandle(int stream) const { return m_captureWrite[stream]; }

    // The server the step came from and is returned to.
    const CString& GetHostName() const { return m_hostName; }
    void SetHostName(const char* host) { m_hostName = host; }

    enum { kStdOutCapture = 0, kStdErrCapture = 1 };
#endif

    CString GetNote1() const { return m_note1.getText(); }
    void SetNote1(const char* text) { m_note1.setText(text); }
    CString GetServerMessage() const { return m_serverMessage.getText(); }
    void SetServerMessage(const char* text) { m_serverMessage.setText(text); }
    CString GetNote2() const { return m_note2.getText(); }
    void SetNote2(const char* text) { m_note2.setText(text); }
    const BYTE* GetConsoleBlock() const { return m_consoleBlock; }
    void SetConsoleBlock(const BYTE block[kConsoleBlockSize]);

    // Process times: 100 ns counts (file times, or durations).
    ULONGLONG GetCreationTime() const { return m_creationTime; }
    void SetCreationTime(ULONGLONG time) { m_creationTime = time; }
    ULONGLONG GetExitTime() const { return m_exitTime; }
    void SetExitTime(ULONGLONG time) { m_exitTime = time; }
    ULONGLONG GetKernelTime() const { return m_kernelTime; }
    void SetKernelTime(ULONGLONG time) { m_kernelTime = time; }
    ULONGLONG GetUserTime() const { return m_userTime; }
    void SetUserTime(ULONGLONG time) { m_userTime = time; }

    long GetReservedValue1() const { return m_reserved1; }
    void SetReservedValue1(long value) { m_reserved1 = value; }
    long GetRunCounter() const { return m_runCounter; }
    void SetRunCounter(long value) { m_runCounter = value; }
    long GetReservedValue2() const { return m_reserved2; }
    void SetReservedValue2(long value) { m_reserved2 = value; }
    // 0 detect from the file, 1 32-bit program, 2 16-bit program, 3 batch file.
    long GetProgramKind() const { return m_programKind; }
    void SetProgramKind(long kind) { m_programKind = kind; }
    long GetConsoleValue(int index) const { return m_consoleValues[index]; }
    void SetConsoleValue(int index, long value) { m_consoleValues[index] = value; }

    long GetRunState() const { return m_runState; }
    void SetRunState(long state) { m_runState = state; }
    long GetCaptureOptions() const { return m_captureOptions; }
    void SetCaptureOptions(long options) { m_captureOptions = options; }

    // Retry rule: a finished instance whose exit code meets the condition is
    // run again, at most the retry maximum times per run.
    long GetRetryMaximum() const { return m_retryMaximum; }
    void SetRetryMaximum(long maximum) { m_retryMaximum = maximum; }
    long GetRetryOperator() const { return m_retryOperator; }
    unsigned long GetRetryValue() const { return m_retryValue; }
    unsigned long GetRetryUpperValue() const { return m_retryUpperValue; }
    void SetRetryRule(long op, unsigned long value, unsigned long upperValue);
    long GetRetryCount() const { return m_retryCount; }
    void SetRetryCount(long count) { m_retryCount = count; }

    unsigned long GetExitCode() const { return m_exitCode; }
    void SetExitCode(unsigned long code) { m_exitCode = code; }
    long GetDurationLimit() const { return m_durationLimit; }
    void SetDurationLimit(long limit) { m_durationLimit = limit; }
    long GetDurationUnit() const { return m_durationUnit; }
    void SetDurationUnit(long unit) { m_durationUnit = unit; }
    // Kilobytes of free memory needed before the start; 0 = none.
    long GetStartMemoryLimit() const { return m_startMemoryLimit; }
    void SetStartMemoryLimit(long kilobytes) { m_startMemoryLimit = kilobytes; }
    long GetStartStep() const { return m_startStep; }
    void SetStartStep(long flag) { m_startStep = flag; }

    // Instance mode 0: concurrent instances up to the limit (0 = none);
    // mode 1: one at a time, a new one replacing the running one when the
    // replace flag is set.
    long GetInstanceMode() const { return m_instanceMode; }
    void SetInstanceMode(long mode) { m_instanceMode = mode; }
    long GetActiveInstanceLimit() const { return m_activeInstanceLimit; }
    void SetActiveInstanceLimit(long limit) { m_activeInstanceLimit = limit; }
    long GetReplaceFlag() const { return m_replaceFlag; }
    void SetReplaceFlag(long flag) { m_replaceFlag = flag; }
    ENeoPartMgr& GetActiveInstances() { return m_activeInstances; }
    PersistentIdArray& GetWaitingList() { return m_waitingList; }

    NeoID GetOriginalID() const { return m_originalID; }
    void SetOriginalID(NeoID id) { m_originalID = id; }
    NeoID GetRunNumber() const { return m_runNumber; }
    void SetRunNumber(NeoID number) { m_runNumber = number; }
    PersistentIdArray& GetAllowedAgents() { return m_allowedAgents; }
    long GetAgentStepHandle() const { return m_agentStepHandle; }
    void SetAgentStepHandle(long handle) { m_agentStepHandle = handle; }
    NeoID GetAgentID() const { return m_agentID; }
    void SetAgentID(NeoID id) { m_agentID = id; }

    // The batch's run-as account, used when the step has none of its own.
    CString GetAlternateAccount() const { return m_alternateAccount.getText(); }
    void SetAlternateAccount(const char* text) { m_alternateAccount.setText(text); }
    CString GetAlternatePassword() const { return m_alternatePassword.getText(); }
    void SetAlternatePassword(const char* text) { m_alternatePassword.setText(text); }

    CString GetStandardOutput() const { return m_standardOutput.getText(); }
    void SetStandardOutput(const char* text) { m_standardOutput.setText(text); }
    CString GetStandardError() const { return m_standardError.getText(); }
    void SetStandardError(const char* text) { m_standardError.setText(text); }
    NeoID GetLogItemID() const { return m_logItemID; }
    void SetLogItemID(NeoID id) { m_logItemID = id; }
    NeoID GetDispatchCount() const { return m_dispatchCount; }
    void SetDispatchCount(NeoID count) { m_dispatchCount = count; }
    CString GetWorkingDirectory() const { return m_workingDirectory.getText(); }
    void SetWorkingDirectory(const char* text) { m_workingDirectory.setText(text); }
    // Non-zero: run on the interactive desktop with a shown window. Only
    // records of format kind 1 carry it.
    long GetInteractive() const { return m_interactive; }
    void SetInteractive(long flag) { m_interactive = flag; }

private:
    ENeoBlob m_note1;
    ENeoBlob m_serverMessage;
    ENeoBlob m_note2;
    BYTE m_consoleBlock[kConsoleBlockSize];
    ULONGLONG m_creationTime;
    ULONGLONG m_exitTime;
    ULONGLONG m_kernelTime;
    ULONGLONG m_userTime;
    long m_reserved1;
    long m_runCounter;
    long m_reserved2;
    long m_programKind;
    long m_consoleValues[kConsoleValueCount];
    long m_runState;
    long m_captureOptions;
    long m_retryMaximum;
    long m_retryOperator;
    unsigned long m_retryValue;
    unsigned long m_retryUpperValue;
    unsigned long m_exitCode;
    long m_durationLimit;
    long m_durationUnit;
    long m_startMemoryLimit;
    long m_startStep;
    long m_instanceMode;
    long m_activeInstanceLimit;
    long m_replaceFlag;
    ENeoPartMgr m_activeInstances;
    PersistentIdArray m_waitingList;
    NeoID m_originalID;
    NeoID m_runNumber;
    PersistentIdArray m_allowedAgents;
    long m_agentStepHandle;
    NeoID m_agentID;
    ENeoBlob m_alternateAccount;
    ENeoBlob m_alternatePassword;
    long m_retryCount;
    ENeoBlob m_standardOutput;
    ENeoBlob m_standardError;
    NeoID m_logItemID;
    NeoID m_dispatchCount;
    ENeoBlob m_workingDirectory;
    long m_interactive;
#ifdef VANTOREL_SERVER_BUILD
    NeoID m_currentInstance;  // not stored; -1 when none
#endif
#ifdef VANTOREL_AGENT_BUILD
    BOOL CreateCaptureFile(HANDLE* readEnd, HANDLE* writeEnd);
    // The captured text of a stream; FALSE when nothing was captured.
    BOOL ReadCapture(int stream, CString& text);

protected:
    // A note that the step ran as the agent's account, kept in the message
    // that reports the end of the process.
    CString m_runNote;

private:
    // Run time only: live while the step runs on this agent.
    HANDLE m_logonToken = NULL;
    HANDLE m_captureRead[2] = {NULL, NULL};
    HANDLE m_captureWrite[2] = {NULL, NULL};
    CStringArray m_captureFiles;
    CString m_hostName;
#endif
};

// A process to run.
class CPProcessExe : public CPProcessBase {
    DECLARE_DYNCREATE(CPProcessExe)
public:
    CPProcessExe();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassProcessExe; }
    virtual const FieldTable& GetStoredFields() const;
    // A new step log item, started now.
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);
#ifdef VANTOREL_AGENT_BUILD
    // Ends the process now (with the step's exit code) and deletes its
    // capture files; wakes the run loop. Returns 0.
    virtual long Kill();
    virtual long Start();
    virtual long CheckConstraints();
    virtual long Launch();
    virtual long IsFinished();

    // 1 when the free memory (physical plus page file) reaches the start
    // memory limit; 0 with a server message.
    BOOL CheckStartMemory();
    // "path" arguments, CR LF pairs as blanks and TABs removed.
    CString BuildCommandLine() const;
    // The sorted environment block stored back into the step, or NULL to
    // inherit the agent's.
    const void* BuildEnvironmentBlock();
    DWORD GetCreationFlags() const;
    // Executable kinds of GetExecutableKind.
    enum { kOtherFile = 0, kSevenBitBatch = 1, kPortableImage = 0x4550, kPlainMZ = 0x5A4D };
    static long GetExecutableKind(const char* path);

private:
    // Fills the process times into the step; FALSE when they cannot be read.
    BOOL ReadProcessTimes();

    HANDLE m_process = NULL;
    HANDLE m_thread = NULL;
    DWORD m_processId = 0;
    // Cleared when closed, so a late Kill signals nothing.
    HANDLE m_watchEvent = NULL;

public:
#endif

    CString GetProgramPath() const { return m_programPath.getText(); }
    void SetProgramPath(const char* text) { m_programPath.setText(text); }
    CString GetArguments() const { return m_arguments.getText(); }
    void SetArguments(const char* text) { m_arguments.setText(text); }
    // name=value strings, each ended by a zero byte, the block by one more.
    const ENeoBlob& GetEnvironment() const { return m_environment; }
    void SetEnvironment(const void* block, unsigned long length) { m_environment.setBlob(block, length); }
    // Kilobytes, 0 = none.
    long GetWorkingSetLimit() const { return m_workingSetLimit; }
    void SetWorkingSetLimit(long kilobytes) { m_workingSetLimit = kilobytes; }
    long GetCpuTimeLimit() const { return m_cpuTimeLimit; }
    void SetCpuTimeLimit(long limit) { m_cpuTimeLimit = limit; }
    // A thread-priority level: 15, 2, 1, 0, -1 or -2.
    long GetCpuPriority() const { return m_cpuPriority; }
    void SetCpuPriority(long priority) { m_cpuPriority = priority; }
    long GetCpuTimeUnit() const { return m_cpuTimeUnit; }
    void SetCpuTimeUnit(long unit) { m_cpuTimeUnit = unit; }

private:
    ENeoBlob m_programPath;
    ENeoBlob m_arguments;
    ENeoBlob m_environment;
    long m_workingSetLimit;
    long m_cpuTimeLimit;
    long m_cpuPriority;
    long m_cpuTimeUnit;
};

// A server script.
class CPProcessScript : public CPProcessBase {
    DECLARE_DYNCREATE(CPProcessScript)
public:
    CPProcessScript();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassProcessScript; }
    virtual const FieldTable& GetStoredFields() const;
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);

#ifdef VANTOREL_AGENT_BUILD
    // Runs the script on the script engine under the step's account, with
    // its output captured, and completes the step. A script that ran to its
    // end leaves the exit code it set (0 when it set none); any other end
    // keeps the step's own exit code, the one of its termination message.
    virtual long Start();
    // Sets the kill flag: the script is aborted at its next yield. Returns 0.
    virtual long Kill();
    // The duration limit, measured on a monotonic clock from the script's
    // start: 0 with a server message once it is reached.
    virtual long CheckConstraints();
    // 1 when the free memory reaches the start memory limit; 0 with a
    // server message.
    BOOL CheckStartMemory();
    // One engine from create to destroy: 1 when the script ran to its end.
    long Run();
    void OnOutput(const EngineMessage* record);
    // 1 tells the engine to abort.
    long OnYield();
    // The engine's call-backs; each finds its step through ScriptEngineMap.
    static long __stdcall OutputCallback(const EngineMessage* record);
    static long __stdcall YieldCallback(EngineHandle engine);
    // "GetExitCode" and "SetExitCode" for the script.
    static long __stdcall ExtensionCallback(EngineHandle engine, const char* name,
                                            DISPPARAMS* arguments, VARIANT* result);
    // The exit code the script reads and sets while it runs.
    long GetExitCodeValue() const { return m_exitCodeValue; }
    void SetExitCodeValue(long value) { m_exitCodeValue = value; }
#endif

    CString GetScript() const { return m_script.getText(); }
    void SetScript(const char* text) { m_script.setText(text); }

private:
    ENeoBlob m_script;
#ifdef VANTOREL_AGENT_BUILD
    // Run time only.
    long m_exitCodeValue = 0;
    EngineHandle m_engine = 0;
    volatile LONG m_killed = 0;
    LARGE_INTEGER m_started = {};
#endif
};

#endif
