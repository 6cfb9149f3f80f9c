// Batches, the links between their steps with the links' exit-code
// conditions, and the agents (machines) allowed to run steps.
#ifndef MODEL_BATCH_H
#define MODEL_BATCH_H

#include <model/id_array.h>

const NeoTag kTagBatchValue = 0x65000003;
const NeoTag kTagDiagramData = 0x65000005;
const NeoTag kTagBatchStatus = 0x65000008;
const NeoTag kTagBatchRunNumber = 0x65000009;
const NeoTag kTagLinkSource = 0x65000300;
const NeoTag kTagLinkTarget = 0x65000301;

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
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const;
    // Takes what the console edits; the value 0x65000003 and the run state
    // (status, saved status, phase, run number, both step lists) stay as
    // the server set them.
    virtual void update(const CNeoPersist* other);

    // Copies the trigger items, the step definitions and the links (with
    // their conditions) of the batch `parentID` from `source` into `target`,
    // under this batch.
    virtual void CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID);
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

private:
    void CopyLinks(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID);

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
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const;
    virtual void update(const CNeoPersist* other);

    // Replaces this link's conditions in `target` by new copies of the
    // conditions of the link `parentID` in `source`.
    virtual void CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID);
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

private:
    ENeoBlob m_terminationMessage;
    NeoID m_traversalMaximum;
    NeoID m_terminationExitCode;
    NeoID m_traversalCount;
    NeoID m_sourceID;
    NeoID m_targetID;
    unsigned long m_lastExitCode;
};

// One exit-code condition of a link.
class CPBatchLinkItem : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatchLinkItem)
public:
    CPBatchLinkItem();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLinkItem; }
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual void update(const CNeoPersist* other);

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
};

#endif
