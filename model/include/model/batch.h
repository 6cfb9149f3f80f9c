// Batches, the links between their steps with the links' exit-code
// conditions, and the agents (machines) allowed to run steps.
#ifndef MODEL_BATCH_H
#define MODEL_BATCH_H

#include <model/id_array.h>

#ifdef VANTOREL_SERVER_BUILD
class CPBatchLog;
class CPProcessBase;
class CPTriggerItemBase;
#endif

const NeoTag kTagBatchValue = 0x65000003;
const NeoTag kTagDiagramData = 0x65000005;
const NeoTag kTagBatchStatus = 0x65000008;
const NeoTag kTagBatchRunNumber = 0x65000009;
const NeoTag kTagLinkSource = 0x65000300;
const NeoTag kTagLinkTarget = 0x65000301;

// Phases of a run, in the order a run passes them: 0, 1, 2, 3, 4, 6, 5.
enum RunPhase {
    kPhaseLogon = 0,
    kPhaseArmed = 1,
    kPhaseStarting = 2,
    kPhaseMonitoring = 3,
    kPhaseFinished = 4,
    kPhaseEnding = 5,
    kPhaseClosing = 6,
};

enum BatchStatus {
    kBatchInternalError = -1,
    kBatchStopping = 0,
    kBatchQueued = 1,
    kBatchEdited = 2,
    kBatchIdle = 3,
    kBatchExecuting = 4,
    kBatchPaused = 5,
};

// Operators of an exit-code condition (link conditions, retry rules and the
// batch's restart rule).
enum ExitCodeOperator {
    kLessThan = 0,
    kGreaterThan = 1,
    kEqualTo = 2,
    kNotEqualTo = 3,
    kBetween = 4,
    kNotBetween = 5,
};

// Whether `exitCode` meets the condition, all values unsigned; an unknown
// operator never holds.
bool ExitCodeMatches(long op, unsigned long value, unsigned long upperValue,
                     unsigned long exitCode);

class CPBatch : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatch)
public:
    CPBatch();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatch; }
    // update takes what the console edits; the value 0x65000003 and the run
    // state (status, saved status, phase, run number, both step lists) stay
    // as the server set them.
    virtual const FieldTable& GetStoredFields() const;

    // Copies the trigger items, the step definitions and the links (with
    // their conditions) of the batch `parentID` from `source` into `target`,
    // under this batch.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    // Deletes the trigger items, steps and links of this batch with their
    // own children; commits after the steps and after the links.
    virtual void DeleteWithChildren(CNeoDatabase* database);

    // Data the console keeps with the batch; each run log gets a copy.
    const ENeoBlob& GetDiagramData() const { return m_diagramData; }
    void SetDiagramData(const ENeoBlob& data) { m_diagramData = data; }
    long GetValue() const { return m_value; }
    void SetValue(long value) { m_value = value; }
    CString GetTerminationMessage() const { return m_terminationMessage.getText(); }
    void SetTerminationMessage(const char* text) { m_terminationMessage.setText(text); }
    CString GetSecondText() const { return m_secondText.getText(); }
    void SetSecondText(const char* text) { m_secondText.setText(text); }
    long GetTerminationExitCode() const { return m_terminationExitCode; }
    void SetTerminationExitCode(long code) { m_terminationExitCode = code; }
    long GetDurationUnit() const { return m_durationUnit; }
    void SetDurationUnit(long unit) { m_durationUnit = unit; }
    // 0 when the limit is off.
    long GetDurationLimit() const { return m_durationLimit; }
    void SetDurationLimit(long limit) { m_durationLimit = limit; }
    long GetRestartCount() const { return m_restartCount; }
    void SetRestartCount(long count) { m_restartCount = count; }
    long GetRestartOperator() const { return m_restartOperator; }
    unsigned long GetRestartValue() const { return m_restartValue; }
    unsigned long GetRestartUpperValue() const { return m_restartUpperValue; }
    void SetRestartRule(long op, unsigned long value, unsigned long upperValue);
    // The last diagram key handed out in this batch, and the number of the
    // last link made ("Link %d").
    NeoID GetDiagramKeyCounter() const { return m_diagramKeyCounter; }
    void SetDiagramKeyCounter(NeoID counter) { m_diagramKeyCounter = counter; }
    NeoID GetLinkCounter() const { return m_linkCounter; }
    void SetLinkCounter(NeoID counter) { m_linkCounter = counter; }
    NeoID GetRunNumber() const { return m_runNumber; }
    void SetRunNumber(NeoID number) { m_runNumber = number; }
    long GetPhase() const { return m_phase; }
    void SetPhaseValue(long phase) { m_phase = phase; }
    long GetStatus() const { return m_status; }
    void SetStatusValue(long status) { m_status = status; }
    // The step definitions a run starts with, and the run instances it watches.
    ENeoPartMgr& GetStartList() { return m_startList; }
    ENeoPartMgr& GetRunningList() { return m_runningList; }
    long GetSavedStatus() const { return m_savedStatus; }
    void SetSavedStatus(long status) { m_savedStatus = status; }
    // Agents the console gives to the batch's new steps.
    PersistentIdArray& GetDefaultAgents() { return m_defaultAgents; }
    NeoID GetReference() const { return m_reference; }
    void SetReference(NeoID reference) { m_reference = reference; }

#ifdef VANTOREL_SERVER_BUILD
    // The server's run of the batch: one tick of its run state machine.
    void RunTick();
    // Store a status or phase and tell the consoles.
    void SetStatus(long status);
    void SetPhase(long phase);
    // Logs the run-as account on (TRUE) or closes its token (FALSE).
    BOOL LogonRunAsUser(BOOL logon);
    void Impersonate(BOOL on);
    void ArmTriggers(BOOL arm);
    BOOL IsArmed() const { return m_armed; }
    HANDLE GetLogonToken() const { return m_logonToken; }
    // Ends the run at a console's stop, at server shut-down, and sets the
    // batch up again at start-up.
    void StopRun();
    void ShutDownRun();
    void ResetAfterRestart();

    // Asks the trigger items; TRUE when a run starts.
    BOOL CheckTriggers();
    void PrepareRun(CPTriggerItemBase* item, ENeoPartMgr& startList);
    void CollectStartSteps(CPTriggerItemBase* item, ENeoPartMgr& startList);
    void StartSteps();
    void MonitorSteps();

    // Run logs: the current run's log (referenced; created on first use),
    // its start and end, and its items.
    CPBatchLog* OpenRunLog();
    void LogRunStart();
    void LogRunEnd();
    void AddLogItem(CPBatchLogItemBase* item);
    // Appends (referenced) the targets of the links that the finished
    // instance's exit code lets through, logging every evaluation.
    void FollowLinks(CPProcessBase* instance, CObArray* next);

    // Run-time state must not be lost to the cache.
    virtual BOOL isPurgeable() const;
#endif

private:
    void CopyLinks(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
#ifdef VANTOREL_SERVER_BUILD
    void RunPhase();
    // Asks the agents to cancel the instances the run watches.
    void StopRunningInstances();
    // Removes the run instances of earlier runs.
    void ForgetRunInstances();
    CPProcessBase* NewRunInstance(CPProcessBase* definition);
    void StartNextConcurrent(CPProcessBase* definition, CNeoFoundObjects& newInstances);
    void StartNextSingle(CPProcessBase* definition, CNeoFoundObjects& newInstances);
    void StartNextWaiting(CPProcessBase* finished, CNeoFoundObjects& newInstances);
    void CancelReplacedInstance(CPProcessBase* replaced, CNeoFoundObjects& newInstances);
    void RetryStep(CPProcessBase* instance);
    CPBatchLog* FindRunLog(BOOL create);

    HANDLE m_logonToken;
    BOOL m_loggedOn;
    BOOL m_armed;
    CNeoFoundObjects m_triggerItems;
#endif

    ENeoBlob m_diagramData;
    long m_value;
    ENeoBlob m_terminationMessage;
    ENeoBlob m_secondText;
    long m_terminationExitCode;
    long m_durationUnit;
    long m_durationLimit;
    long m_restartCount;
    long m_restartOperator;
    unsigned long m_restartValue;
    unsigned long m_restartUpperValue;
    NeoID m_diagramKeyCounter;
    NeoID m_linkCounter;
    NeoID m_runNumber;
    long m_phase;
    long m_status;
    ENeoPartMgr m_startList;
    ENeoPartMgr m_runningList;
    long m_savedStatus;
    PersistentIdArray m_defaultAgents;
    NeoID m_reference;
};

// A link from a step or trigger item to a step; its children are its
// conditions.
class CPBatchLink : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatchLink)
public:
    CPBatchLink();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLink; }
    virtual const FieldTable& GetStoredFields() const;

    // Makes this link's conditions in `target` those of the link `parentID`
    // in `source`: conditions already under this link are updated in place,
    // the others are added under their own ID (a new one when another object
    // holds it), and conditions the source link no longer has are removed.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    virtual void DeleteWithChildren(CNeoDatabase* database) { DeleteItems(database); }
    // Removes this link's conditions from the database.
    void DeleteItems(CNeoDatabase* database);

    CString GetTerminationMessage() const { return m_terminationMessage.getText(); }
    void SetTerminationMessage(const char* text) { m_terminationMessage.setText(text); }
    // Times the link may be followed in one run; 0 = no limit.
    long GetTraversalMaximum() const { return m_traversalMaximum; }
    void SetTraversalMaximum(long maximum) { m_traversalMaximum = maximum; }
    long GetTerminationExitCode() const { return m_terminationExitCode; }
    void SetTerminationExitCode(long code) { m_terminationExitCode = code; }
    long GetTraversalCount() const { return m_traversalCount; }
    void SetTraversalCount(long count) { m_traversalCount = count; }
    NeoID GetSourceID() const { return m_sourceID; }
    void SetSourceID(NeoID id) { m_sourceID = id; }
    NeoID GetTargetID() const { return m_targetID; }
    void SetTargetID(NeoID id) { m_targetID = id; }
    unsigned long GetLastExitCode() const { return m_lastExitCode; }
    void SetLastExitCode(unsigned long code) { m_lastExitCode = code; }

    // Counts an evaluation of the link for a finished step's exit code;
    // TRUE when the link is followed: within its traversal maximum and one
    // of its conditions holds (the last that holds is remembered).
    BOOL Evaluate(unsigned long exitCode);
    // Starts the link's counts afresh for a run.
    void ResetForRun();
    void ResetCounters();
    // The log item of the last evaluation.
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);
    long GetMatchedOperator() const { return m_matchedOperator; }
    unsigned long GetMatchedValue() const { return m_matchedValue; }
    unsigned long GetMatchedUpperValue() const { return m_matchedUpperValue; }

private:
    ENeoBlob m_terminationMessage;
    NeoID m_traversalMaximum;
    NeoID m_terminationExitCode;
    NeoID m_traversalCount;
    NeoID m_sourceID;
    NeoID m_targetID;
    unsigned long m_lastExitCode;
    // Not stored: the condition that matched last.
    long m_matchedOperator;
    unsigned long m_matchedValue;
    unsigned long m_matchedUpperValue;
};

// One exit-code condition of a link.
class CPBatchLinkItem : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatchLinkItem)
public:
    CPBatchLinkItem();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLinkItem; }
    virtual const FieldTable& GetStoredFields() const;

    bool Matches(unsigned long exitCode) const;

    long GetOperator() const { return m_operator; }
    unsigned long GetValue() const { return m_value; }
    unsigned long GetUpperValue() const { return m_upperValue; }
    void SetCondition(long op, unsigned long value, unsigned long upperValue);

private:
    unsigned long m_value;
    unsigned long m_upperValue;
    long m_operator;
};

// A machine allowed to run steps, named by its computer name.
class CPAgent : public CPPersistBase {
    DECLARE_DYNCREATE(CPAgent)
public:
    static CNeoPersist* Create();
    virtual NeoClassID getClassID() const { return kClassAgent; }

#ifdef VANTOREL_SERVER_BUILD
    // The agent's load as (agent ID, load); FALSE with (0, -1) when the
    // agent cannot be reached, even after starting its service.
    BOOL QueryLoad(long pair[2]);
    BOOL StartAgentService();
    // Hands a clone of the step to the agent: the agent's step handle, or 0
    // when the agent cannot be reached or refuses the step.
    long CreateProcess(CPProcessBase* step);
    // Asks the agent to cancel a step it runs.
    void StopProcess(long handle);
#endif
};

#endif
