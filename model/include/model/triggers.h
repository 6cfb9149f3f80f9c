// Trigger items, the children of a batch that start its runs: a schedule
// trigger owns a copy of a schedule, a directory trigger watches a folder.
// CPTrigger holds a list of objects of any class.
#ifndef MODEL_TRIGGERS_H
#define MODEL_TRIGGERS_H

#include <model/persist_base.h>

enum TriggerKind { kTriggerNone = 0, kTriggerSchedule = 1, kTriggerDirectory = 2 };

class CPTriggerItemBase : public CPPersistBase {
    DECLARE_DYNCREATE(CPTriggerItemBase)
public:
    CPTriggerItemBase();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassTriggerItemBase; }
    virtual const FieldTable& GetStoredFields() const;
    // Also takes the other copy's trigger kind, which is not stored.
    virtual void update(const CNeoPersist* other);

    long GetTriggerKind() const { return m_kind; }
    // The console's "Execute Now Trigger" queue option.
    BOOL GetExecuteNow() const { return m_executeNow; }
    void SetExecuteNow(BOOL value) { m_executeNow = value; }

    // Run-time behaviour of the server; a plain trigger item never fires.
    virtual void Rearm() {}
    virtual BOOL IsFired() { return FALSE; }
    virtual void Arm(BOOL) {}

protected:
    explicit CPTriggerItemBase(long kind);

private:
    BOOL m_executeNow;
    long m_kind;  // TriggerKind, not stored
};

class CPTriggerDirNotify : public CPTriggerItemBase {
    DECLARE_DYNCREATE(CPTriggerDirNotify)
public:
    CPTriggerDirNotify();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassTriggerDirNotify; }
    virtual const FieldTable& GetStoredFields() const;
    virtual CString GetTypeName() const;
    // The watched directory.
    virtual CString GetTypeDetails() const;

    CString GetDirectory() const { return m_directory.getText(); }
    void SetDirectory(const char* path) { m_directory.setText(path); }
    BOOL GetWatchSubtree() const { return m_watchSubtree; }
    void SetWatchSubtree(BOOL value) { m_watchSubtree = value; }
    // FILE_NOTIFY_CHANGE_* bits.
    unsigned long GetChangeFilter() const { return m_changeFilter; }
    void SetChangeFilter(unsigned long filter) { m_changeFilter = filter; }

    // Watching the directory: arming opens a change notification and keeps
    // the item in memory until it is disarmed; a directory that cannot be
    // watched leaves the item armed without a handle, so it never fires.
    virtual void Arm(BOOL arm);
    // TRUE once for each change seen since the last time it answered TRUE.
    virtual BOOL IsFired();
    virtual void Rearm();
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);
    BOOL IsArmed() const { return m_armed; }
    HANDLE GetNotification() const { return m_notification; }

private:
    ENeoBlob m_directory;
    BOOL m_watchSubtree;
    unsigned long m_changeFilter;
    // Not stored.
    BOOL m_armed;
    HANDLE m_notification;
};

class CPTriggerSchedule : public CPTriggerItemBase {
    DECLARE_DYNCREATE(CPTriggerSchedule)
public:
    CPTriggerSchedule();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassTriggerSchedule; }
    virtual const FieldTable& GetStoredFields() const;
    virtual CString GetTypeName() const;
    // Copies the trigger's schedule, with its items, under this copy.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    // Removes the trigger's schedule and its items from the database.
    virtual void DeleteWithChildren(CNeoDatabase* database);

    CString GetNote() const { return m_note.getText(); }
    void SetNote(const char* text) { m_note.setText(text); }
    // The schedule copy this trigger owns; -1 when none.
    NeoID GetScheduleID() const { return m_scheduleID; }
    void SetScheduleID(NeoID id) { m_scheduleID = id; }
    // The time the trigger last fired.
    COleDateTime GetLastFireTime() const { return m_lastFireTime; }
    void SetLastFireTime(const COleDateTime& time) { m_lastFireTime = time; }

    // TRUE when the schedule is due in the current minute; at most once a
    // minute.
    virtual BOOL IsFired();
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);
    NeoID GetFiredScheduleID() const { return m_firedScheduleID; }

private:
    ENeoBlob m_note;
    NeoID m_scheduleID;
    COleDateTime m_lastFireTime;
    NeoID m_firedScheduleID;  // not stored
};

// A holder of a list of objects of any class.
class CPTrigger : public CPPersistBase {
    DECLARE_DYNCREATE(CPTrigger)
public:
    CPTrigger();
    static CNeoPersist* Create();

    virtual NeoClassID getClassID() const { return kClassTrigger; }
    virtual const FieldTable& GetStoredFields() const;
    // Brings the listed objects from `source` into `target`: an object the
    // target already holds takes the source's fields, others are cloned.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);

    ENeoPartMgr& GetParts() { return m_parts; }
    const ENeoPartMgr& GetParts() const { return m_parts; }

private:
    ENeoPartMgr m_parts;
};

#endif
