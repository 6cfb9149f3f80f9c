#include <model/clock.h>
#include <model/schedule.h>

static_assert(sizeof(long) == 4, "schedule records hold 4-byte numbers");

IMPLEMENT_DYNCREATE(CPScheduleItem, CPPersistBase)

CPScheduleItem::CPScheduleItem() : m_firstStamp(0), m_secondStamp(0)
{
    m_evaluator.SetOwner(this);
}

CNeoPersist* CPScheduleItem::Create()
{
    CPScheduleItem* item = new CPScheduleItem;
    item->StampTime(0);
    return item;
}

void CPScheduleItem::StampTime(int which)
{
    if (which == 0)
        m_firstStamp = (long)ClockNow();
    else if (which == 1)
        m_secondStamp = (long)ClockNow();
}

const FieldTable& CPScheduleItem::GetStoredFields() const
{
    // The evaluator's fields in stored order, which puts the validity rule
    // before the run counter and the time stamps before the last value.
    constexpr auto kEvaluator = &CPScheduleItem::m_evaluator;
    static const StoredField kFields[] = {
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_minuteSet>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_minuteMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_hourSet>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_hourMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_daySet>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_dayMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_daySubMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_weekSet>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_weekMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_monthSet>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_monthMode>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_onceTime>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_start>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_end>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_including>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_type>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_afterType>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_validity>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_runCounter>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_periodUnit>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_periodCount>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_runLimit>(),
        Field<kFieldRaw, &CPScheduleItem::m_firstStamp>(),
        Field<kFieldRaw, &CPScheduleItem::m_secondStamp>(),
        Field<kFieldRaw, kEvaluator, &ScheduleEvaluator::m_afterRunLimit>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPSchedule, CPPersistBase)

CPSchedule::CPSchedule() : m_dueItemID(0)
{
    m_stepType = 5;
}

CNeoPersist* CPSchedule::Create()
{
    return new CPSchedule;
}

void CPSchedule::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID)
{
    CopyChildrenOfClass(target, source, parentID, kClassScheduleItem, 1);
}

CString CPSchedule::GetTypeName() const
{
    return "Schedule";
}

CString CPSchedule::GetTypeDetails() const
{
    return GetName();
}

void CPSchedule::DeleteWithChildren(CNeoDatabase* database)
{
    DeleteItems(database);
}

void CPSchedule::DeleteItems(CNeoDatabase* database)
{
    DeleteChildrenOfClass(database, kClassScheduleItem);
}

BOOL CPSchedule::IsDue()
{
    CNeoDatabase* database = getDatabase();
    if (!database)
        return FALSE;
    CNeoFoundObjects items;
    CNeoOffspring::FindByParent(database, kClassScheduleItem, getID(), FALSE, &items);
    // Any due excluding item vetoes the minute; the including items are then
    // not asked, so their run counters stay as they are.
    bool excluded = false;
    for (int i = 0; i < items.GetSize() && !excluded; ++i) {
        ScheduleEvaluator& evaluator = items.at<CPScheduleItem>(i)->GetEvaluator();
        excluded = !evaluator.m_including && evaluator.IsDueNow();
    }
    for (int i = 0; i < items.GetSize() && !excluded; ++i) {
        CPScheduleItem* item = items.at<CPScheduleItem>(i);
        if (item->GetEvaluator().m_including && item->GetEvaluator().IsDueNow()) {
            m_dueItemID = item->getID();
            return TRUE;
        }
    }
    return FALSE;
}
