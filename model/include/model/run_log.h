// Run logs. Each batch has one connector; each run of the batch one log
// under it; each event of a run (the trigger that fired, a step instance, a
// link followed) one item under the log. Consoles show an item as rows of
// name and value.
#ifndef MODEL_RUN_LOG_H
#define MODEL_RUN_LOG_H

#include <model/persist_base.h>

#include <vector>

// The diagram key of the object that an item logs.
const NeoTag kTagLoggedDiagramKey = 0x65000351;

// One event of a run: its times, exit code, count and texts. Its name and
// description are those of the logged object (FillLogItem).
class CPBatchLogItemBase : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatchLogItemBase)
public:
    CPBatchLogItemBase();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLogItemBase; }
    virtual const FieldTable& GetStoredFields() const;

    // The full text behind a row whose value GetRow shortens or flattens;
    // `text` is left alone for any other row.
    virtual void GetRowText(const char* rowName, CString& text) const;
    // Row `index` as name and value; a hidden row (and one past the end)
    // comes back with both empty.
    virtual void GetRow(int index, CString& name, CString& value) const;
    virtual int GetRowCount() const;

    void SetStartTimeNow();
    void SetEndTimeNow();
    COleDateTime GetStartTime() const { return m_startTime; }
    void SetStartTime(const COleDateTime& time) { m_startTime = time; }
    // 0 while the event lasts.
    COleDateTime GetEndTime() const { return m_endTime; }
    void SetEndTime(const COleDateTime& time) { m_endTime = time; }
    NeoID GetLoggedDiagramKey() const { return m_loggedDiagramKey; }
    void SetLoggedDiagramKey(NeoID key) { m_loggedDiagramKey = key; }
    long GetExitCode() const { return m_exitCode; }
    void SetExitCode(long code) { m_exitCode = code; }
    // A link's traversal count or a step's dispatch count.
    long GetCount() const { return m_count; }
    void SetCount(long count) { m_count = count; }
    CString GetServerMessage() const { return m_serverMessage.getText(); }
    void SetServerMessage(const char* text) { m_serverMessage.setText(text); }
    CString GetStandardOut() const { return m_standardOut.getText(); }
    void SetStandardOut(const char* text) { m_standardOut.setText(text); }
    CString GetStandardError() const { return m_standardError.getText(); }
    void SetStandardError(const char* text) { m_standardError.setText(text); }

protected:
    // Rows 0 to 4, which every item shows.
    static const int kCommonRowCount = 5;
    BOOL IsHiddenRow(int index) const;

    std::vector<int> m_hiddenRows;

private:
    COleDateTime m_startTime;
    COleDateTime m_endTime;
    NeoID m_loggedDiagramKey;
    long m_exitCode;
    long m_count;
    ENeoBlob m_serverMessage;
    ENeoBlob m_standardOut;
    ENeoBlob m_standardError;
};

// One run of a batch, keyed by the batch's run number, with a copy of the
// batch's diagram data; its start and end time are those of the run.
class CPBatchLog : public CPBatchLogItemBase {
    DECLARE_DYNCREATE(CPBatchLog)
public:
    CPBatchLog();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLog; }
    virtual const FieldTable& GetStoredFields() const;

    // Copies the log's items from `source` into `target`, under this log.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    // Removes the log's items from the database.
    virtual void DeleteWithChildren(CNeoDatabase* database);

    long GetRunNumber() const { return m_runNumber; }
    void SetRunNumber(long number) { m_runNumber = number; }
    const ENeoBlob& GetBatchBlob() const { return m_batchBlob; }
    void SetBatchBlob(const ENeoBlob& diagramData) { m_batchBlob = diagramData; }

private:
    long m_runNumber;
    ENeoBlob m_batchBlob;
};

// The holder of a batch's run logs; named after the batch.
class CPBatchLogConnector : public CPPersistBase {
    DECLARE_DYNCREATE(CPBatchLogConnector)
public:
    static CNeoPersist* Create();
    virtual NeoClassID getClassID() const { return kClassBatchLogConnector; }

    // Deletes the oldest logs (with their items) until fewer than `maximum`
    // remain, making room for a new one.
    void PruneLogs(CNeoDatabase* database, long maximum);
    // Removes every log with its items, committing as it goes.
    virtual void DeleteWithChildren(CNeoDatabase* database);
};

// The log item of one step instance.
class CPBatchLogItemProcess : public CPBatchLogItemBase {
    DECLARE_DYNCREATE(CPBatchLogItemProcess)
public:
    static CNeoPersist* Create();
    virtual NeoClassID getClassID() const { return kClassBatchLogItemProcess; }

    virtual void GetRowText(const char* rowName, CString& text) const;
    virtual void GetRow(int index, CString& name, CString& value) const;
    virtual int GetRowCount() const;
};

// A log item of a batch; registered beside the other items, not under them.
class CPBatchLogItemBatch : public CPBatchLogItemBase {
    DECLARE_DYNCREATE(CPBatchLogItemBatch)
public:
    static CNeoPersist* Create();
    virtual NeoClassID getClassID() const { return kClassBatchLogItemBatch; }
};

// The log item of one link evaluation, with the condition that matched.
class CPBatchLogItemLink : public CPBatchLogItemBase {
    DECLARE_DYNCREATE(CPBatchLogItemLink)
public:
    CPBatchLogItemLink();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLogItemLink; }
    virtual const FieldTable& GetStoredFields() const;

    virtual void GetRowText(const char* rowName, CString& text) const;
    virtual void GetRow(int index, CString& name, CString& value) const;
    virtual int GetRowCount() const;

    long GetValue() const { return m_value; }
    long GetUpperValue() const { return m_upperValue; }
    long GetOperator() const { return m_operator; }
    void SetCondition(long op, long value, long upperValue);

private:
    long m_value;
    long m_upperValue;
    long m_operator;
};

// What kind of trigger item fired.
enum TriggerLogType { kTriggerLogNone = 0, kTriggerLogDirectory = 1, kTriggerLogSchedule = 2 };

// The log item of the trigger item that started a run.
class CPBatchLogItemTrigger : public CPBatchLogItemBase {
    DECLARE_DYNCREATE(CPBatchLogItemTrigger)
public:
    CPBatchLogItemTrigger();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassBatchLogItemTrigger; }
    virtual const FieldTable& GetStoredFields() const;

    // Hides the start, end and duration rows (the trigger has one moment).
    virtual void GetRow(int index, CString& name, CString& value) const;
    virtual int GetRowCount() const;

    // The type that matches a trigger item's class.
    void SetTypeFromClass(NeoClassID classID);
    long GetTriggerType() const { return m_triggerType; }
    CString GetDirectory() const { return m_directory.getText(); }
    void SetDirectory(const char* text) { m_directory.setText(text); }
    long GetChangeFilter() const { return m_changeFilter; }
    void SetChangeFilter(long filter) { m_changeFilter = filter; }
    BOOL GetWatchSubtree() const { return m_watchSubtree; }
    void SetWatchSubtree(BOOL watch) { m_watchSubtree = watch; }
    CString GetScheduleItemName() const { return m_scheduleItemName.getText(); }
    void SetScheduleItemName(const char* text) { m_scheduleItemName.setText(text); }

private:
    ENeoBlob m_directory;
    long m_triggerType;
    long m_changeFilter;
    BOOL m_watchSubtree;
    ENeoBlob m_scheduleItemName;
};

#endif
