#include <model/triggers.h>

#include <model/clock.h>
#include <model/run_log.h>
#include <model/schedule.h>

IMPLEMENT_DYNCREATE(CPTriggerItemBase, CPPersistBase)

CPTriggerItemBase::CPTriggerItemBase() : m_executeNow(FALSE), m_kind(kTriggerNone)
{
}

CPTriggerItemBase::CPTriggerItemBase(long kind) : m_executeNow(FALSE), m_kind(kind)
{
}

CNeoPersist* CPTriggerItemBase::Create()
{
    return new CPTriggerItemBase;
}

const FieldTable& CPTriggerItemBase::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldBoolean, &CPTriggerItemBase::m_executeNow>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

void CPTriggerItemBase::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    m_kind = static_cast<const CPTriggerItemBase*>(other)->m_kind;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPTriggerDirNotify, CPTriggerItemBase)

CPTriggerDirNotify::CPTriggerDirNotify()
    : CPTriggerItemBase(kTriggerDirectory), m_watchSubtree(FALSE), m_changeFilter(0),
      m_armed(FALSE), m_notification(INVALID_HANDLE_VALUE)
{
}

CNeoPersist* CPTriggerDirNotify::Create()
{
    return new CPTriggerDirNotify;
}

const FieldTable& CPTriggerDirNotify::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPTriggerDirNotify::m_directory>(),
        Field<kFieldBoolean, &CPTriggerDirNotify::m_watchSubtree>(kNeoNullTag),
        Field<kFieldULong, &CPTriggerDirNotify::m_changeFilter>(kNeoNullTag),
    };
    static const FieldTable kTable(&CPTriggerItemBase::GetStoredFields(), kFields);
    return kTable;
}

CString CPTriggerDirNotify::GetTypeName() const
{
    return "Directory Change";
}

CString CPTriggerDirNotify::GetTypeDetails() const
{
    return GetDirectory();
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPTriggerSchedule, CPTriggerItemBase)

CPTriggerSchedule::CPTriggerSchedule()
    : CPTriggerItemBase(kTriggerSchedule), m_scheduleID(-1), m_firedScheduleID(0)
{
}

CNeoPersist* CPTriggerSchedule::Create()
{
    return new CPTriggerSchedule;
}

const FieldTable& CPTriggerSchedule::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPTriggerSchedule::m_note>(),
        Field<kFieldID, &CPTriggerSchedule::m_scheduleID>(kNeoNullTag),
        Field<kFieldTime, &CPTriggerSchedule::m_lastFireTime>(),
    };
    static const FieldTable kTable(&CPTriggerItemBase::GetStoredFields(), kFields);
    return kTable;
}

CString CPTriggerSchedule::GetTypeName() const
{
    return "Schedule";
}

void CPTriggerSchedule::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID)
{
    CopyChildrenOfClass(target, source, parentID, kClassSchedule, 1);
}

void CPTriggerSchedule::DeleteWithChildren(CNeoDatabase* database)
{
    CNeoRef<CPPersistBase> schedule(FindByID(database, kClassSchedule, m_scheduleID));
    if (schedule)
        schedule->RemoveWithChildren(database);
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPTrigger, CPPersistBase)

CPTrigger::CPTrigger() : m_parts(this, kClassPersistBase)
{
}

CNeoPersist* CPTrigger::Create()
{
    return new CPTrigger;
}

const FieldTable& CPTrigger::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldParts, &CPTrigger::m_parts>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

void CPTrigger::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID)
{
    // A clone keeps its ID, so the list already names every copy it makes.
    for (long i = 0; i < m_parts.getCount(); ++i) {
        CNeoRef<CPPersistBase> part(FindByID(source, kClassPersistBase, m_parts.getPartID(i)));
        if (!part)
            continue;
        if (target.IsImage()) {
            target.WriteToImage(part.get(), FALSE);
            continue;
        }
        CNeoDatabase* database = target.GetDatabase();
        CNeoRef<CNeoPersist> stored(FindByID(database, kClassPersistBase, part->getID()));
        if (stored) {
            stored->update(part.get());
        } else {
            CNeoRef<CNeoPersist> copy(part->clone());
            database->addObject(copy.get(), TRUE, NULL);
        }
    }
}

// ---------------------------------------------------------------------------
// Trigger items at run time.

void CPTriggerDirNotify::Arm(BOOL arm)
{
    if (arm) {
        if (m_armed)
            return;
        m_notification = FindFirstChangeNotificationA(GetDirectory(), m_watchSubtree,
                                                      m_changeFilter);
        // The handle must survive between ticks, so the item stays in memory.
        refer();
        m_armed = TRUE;
        return;
    }
    if (!m_armed)
        return;
    if (m_notification != INVALID_HANDLE_VALUE)
        FindCloseChangeNotification(m_notification);
    m_notification = INVALID_HANDLE_VALUE;
    m_armed = FALSE;
    unrefer();
}

BOOL CPTriggerDirNotify::IsFired()
{
    if (!m_armed)
        Arm(TRUE);
    if (m_notification == INVALID_HANDLE_VALUE)
        return FALSE;
    if (WaitForSingleObject(m_notification, 0) != WAIT_OBJECT_0)
        return FALSE;
    Rearm();
    return TRUE;
}

void CPTriggerDirNotify::Rearm()
{
    FindNextChangeNotification(m_notification);
}

CPBatchLogItemBase* CPTriggerDirNotify::FillLogItem(CPBatchLogItemBase* item)
{
    CPBatchLogItemTrigger* logItem =
        item ? static_cast<CPBatchLogItemTrigger*>(item)
             : static_cast<CPBatchLogItemTrigger*>(CPBatchLogItemTrigger::Create());
    logItem->SetDirectory(GetDirectory());
    logItem->SetWatchSubtree(m_watchSubtree);
    logItem->SetChangeFilter((long)m_changeFilter);
    return CPPersistBase::FillLogItem(logItem);
}

namespace {
COleDateTime ToMinute(const COleDateTime& time)
{
    return COleDateTime(time.GetYear(), time.GetMonth(), time.GetDay(), time.GetHour(),
                        time.GetMinute(), 0);
}
}  // namespace

BOOL CPTriggerSchedule::IsFired()
{
    setDirty(2);
    COleDateTime now = ClockNowDate();
    COleDateTime minute = ToMinute(now);
    if (m_lastFireTime.m_dt != 0)
        m_lastFireTime = ToMinute(m_lastFireTime);
    if (m_lastFireTime == minute)
        return FALSE;
    CNeoRef<CPSchedule> schedule(
        static_cast<CPSchedule*>(FindByID(getDatabase(), kClassSchedule, m_scheduleID)));
    if (!schedule) {
        m_firedScheduleID = 0;
        return FALSE;
    }
    if (!schedule->IsDue())
        return FALSE;
    m_lastFireTime = now;
    m_firedScheduleID = schedule->getID();
    return TRUE;
}

CPBatchLogItemBase* CPTriggerSchedule::FillLogItem(CPBatchLogItemBase* item)
{
    CPBatchLogItemTrigger* logItem =
        item ? static_cast<CPBatchLogItemTrigger*>(item)
             : static_cast<CPBatchLogItemTrigger*>(CPBatchLogItemTrigger::Create());
    CNeoRef<CPSchedule> schedule(
        static_cast<CPSchedule*>(FindByID(getDatabase(), kClassSchedule, m_firedScheduleID)));
    if (schedule) {
        CNeoRef<CPPersistBase> dueItem(
            FindByID(getDatabase(), kClassScheduleItem, schedule->GetDueItemID()));
        if (dueItem)
            logItem->SetScheduleItemName(dueItem->GetName());
    }
    logItem->SetStartTimeNow();
    return CPPersistBase::FillLogItem(logItem);
}
