#include <model/clock.h>
#include <model/schedule.h>

#include <string.h>

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

void CPScheduleItem::GetRecordFields(RecordField (&fields)[kRecordFields])
{
    ScheduleEvaluator& e = m_evaluator;
    const RecordField record[kRecordFields] = {
        {e.m_minuteSet, sizeof e.m_minuteSet}, {&e.m_minuteMode, 4},
        {e.m_hourSet, sizeof e.m_hourSet},     {&e.m_hourMode, 4},
        {e.m_daySet, sizeof e.m_daySet},       {&e.m_dayMode, 4},
        {&e.m_daySubMode, 4},                  {e.m_weekSet, sizeof e.m_weekSet},
        {&e.m_weekMode, 4},                    {e.m_monthSet, sizeof e.m_monthSet},
        {&e.m_monthMode, 4},                   {&e.m_onceTime, 4},
        {&e.m_start, 4},                       {&e.m_end, 4},
        {&e.m_including, 1},                   {&e.m_type, 4},
        {&e.m_afterType, 4},                   {&e.m_validity, 4},
        {&e.m_runCounter, 4},                  {&e.m_periodUnit, 4},
        {&e.m_periodCount, 4},                 {&e.m_runLimit, 4},
        {&m_firstStamp, 4},                    {&m_secondStamp, 4},
        {&e.m_afterRunLimit, 4},
    };
    memcpy(fields, record, sizeof record);
}

long CPScheduleItem::getFileLength(const CNeoFormat* format) const
{
    return CPPersistBase::getFileLength(format) + kRecordBytes;
}

void CPScheduleItem::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    RecordField fields[kRecordFields];
    GetRecordFields(fields);
    for (const RecordField& field : fields)
        stream->readBytes(field.at, field.size);
}

void CPScheduleItem::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    RecordField fields[kRecordFields];
    GetRecordFields(fields);
    for (const RecordField& field : fields)
        stream->writeBytes(field.at, field.size);
}

void CPScheduleItem::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    RecordField fields[kRecordFields];
    RecordField from[kRecordFields];
    GetRecordFields(fields);
    const_cast<CPScheduleItem*>(static_cast<const CPScheduleItem*>(other))->GetRecordFields(from);
    for (int i = 0; i < kRecordFields; ++i)
        memcpy(fields[i].at, from[i].at, fields[i].size);
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

void CPSchedule::CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID)
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
