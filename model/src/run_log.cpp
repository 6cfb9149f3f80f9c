#include <model/run_log.h>

#include <model/clock.h>

#include <string.h>

namespace {

// Row names that GetRowText is asked by.
const char kServerMessageRow[] = "Server message";
const char kStandardErrorRow[] = "Standard error";
const char kStandardOutRow[] = "Standard out";

// Dates show in the user's locale, as the platform formats them.
const DWORD kTimeFormatFlags = 0x400;
const LCID kTimeFormatLocale = 0x400;

// The texts of a directory trigger's change filter bits, in the order shown.
const struct {
    long bit;
    const char* text;
} kChangeConditions[] = {
    {FILE_NOTIFY_CHANGE_FILE_NAME, "Filename Change, "},
    {FILE_NOTIFY_CHANGE_DIR_NAME, "Directory Name Change, "},
    {FILE_NOTIFY_CHANGE_ATTRIBUTES, "Attribute Change, "},
    {FILE_NOTIFY_CHANGE_SIZE, "File Size Change, "},
    {FILE_NOTIFY_CHANGE_LAST_WRITE, "Modified Date Change, "},
    {FILE_NOTIFY_CHANGE_SECURITY, "Security Change "},
};

// Commits while deleting a connector's logs, so that memory stays bounded.
const int kLogsPerCommit = 20;
const long kPurgeBudget = 1000;

CString FormatTime(const COleDateTime& time)
{
    return time.Format(kTimeFormatFlags, kTimeFormatLocale);
}

CString FormatNumber(long number)
{
    CString text;
    text.Format("%d", (int)number);
    return text;
}

CString TextOr(const CString& text, const char* placeholder)
{
    return text.IsEmpty() ? CString(placeholder) : text;
}

// Output on one row: line feeds, then carriage returns, are taken out.
CString OneLine(CString text)
{
    text.Remove('\n');
    text.Remove('\r');
    return text;
}

}  // namespace

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogItemBase, CPPersistBase)

CPBatchLogItemBase::CPBatchLogItemBase()
    : m_startTime(ClockNowDate()), m_endTime(0.0), m_loggedDiagramKey(0), m_exitCode(0),
      m_count(0)
{
}

CNeoPersist* CPBatchLogItemBase::Create()
{
    return new CPBatchLogItemBase;
}

const FieldTable& CPBatchLogItemBase::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldTime, &CPBatchLogItemBase::m_startTime>(),
        Field<kFieldTime, &CPBatchLogItemBase::m_endTime>(),
        Field<kFieldID, &CPBatchLogItemBase::m_loggedDiagramKey>().Answers(kTagLoggedDiagramKey),
        Field<kFieldRaw, &CPBatchLogItemBase::m_exitCode>(),
        Field<kFieldRaw, &CPBatchLogItemBase::m_count>(),
        Field<kFieldText, &CPBatchLogItemBase::m_serverMessage>(),
        Field<kFieldText, &CPBatchLogItemBase::m_standardOut>(),
        Field<kFieldText, &CPBatchLogItemBase::m_standardError>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatchLogItemBase::SetStartTimeNow()
{
    m_startTime = ClockNowDate();
}

void CPBatchLogItemBase::SetEndTimeNow()
{
    m_endTime = ClockNowDate();
}

BOOL CPBatchLogItemBase::IsHiddenRow(int index) const
{
    for (int hidden : m_hiddenRows) {
        if (hidden == index)
            return TRUE;
    }
    return FALSE;
}

void CPBatchLogItemBase::GetRowText(const char*, CString&) const
{
}

void CPBatchLogItemBase::GetRow(int index, CString& name, CString& value) const
{
    name.Empty();
    value.Empty();
    if (IsHiddenRow(index))
        return;
    BOOL running = m_endTime.m_dt == 0;
    switch (index) {
    case 0:
        name = "Name";
        value = TextOr(GetName(), "(no name)");
        break;
    case 1:
        name = "Description";
        value = TextOr(GetDescription(), "(no description)");
        break;
    case 2:
        name = "Start time";
        value = FormatTime(m_startTime);
        break;
    case 3:
        name = "End time";
        value = running ? CString("(Batch still executing)") : FormatTime(m_endTime);
        break;
    case 4: {
        name = "Run duration";
        // Whole days stay in the hours, so a long run shows its full length.
        COleDateTimeSpan span = (running ? ClockNowDate() : m_endTime) - m_startTime;
        value.Format("hrs:%d min:%d sec:%d", (int)span.GetTotalHours(), (int)span.GetMinutes(),
                     (int)span.GetSeconds());
        break;
    }
    }
}

int CPBatchLogItemBase::GetRowCount() const
{
    return kCommonRowCount;
}

// ---------------------------------------------------------------------------
CPBatchLogItemBase* CPPersistBase::FillLogItem(CPBatchLogItemBase* item)
{
    if (!item)
        return NULL;
    item->SetLoggedDiagramKey(m_diagramKey);
    item->m_name = m_name;
    item->m_description = m_description;
    return item;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLog, CPBatchLogItemBase)

CPBatchLog::CPBatchLog() : m_runNumber(0)
{
}

CNeoPersist* CPBatchLog::Create()
{
    return new CPBatchLog;
}

const FieldTable& CPBatchLog::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldRaw, &CPBatchLog::m_runNumber>().Answers(kTagRunNumberKey, kNeoULongType),
        Field<kFieldText, &CPBatchLog::m_batchBlob>(),
    };
    static const FieldTable kTable(&CPBatchLogItemBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatchLog::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID)
{
    CopyChildrenOfClass(target, source, getID(), kClassBatchLogItemBase, 0);
}

void CPBatchLog::DeleteWithChildren(CNeoDatabase* database)
{
    DeleteChildrenOfClass(database, kClassBatchLogItemBase);
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogConnector, CPPersistBase)

CNeoPersist* CPBatchLogConnector::Create()
{
    return new CPBatchLogConnector;
}

void CPBatchLogConnector::PruneLogs(CNeoDatabase* database, long maximum)
{
    // The oldest logs come first.
    CNeoFoundObjects logs;
    FindChildren(database, kClassBatchLog, getID(), TRUE, &logs);
    long count = logs.GetSize();
    for (int i = 0; i < logs.GetSize() && count >= maximum; ++i, --count)
        logs.at<CPPersistBase>(i)->RemoveWithChildren(database);
}

void CPBatchLogConnector::DeleteWithChildren(CNeoDatabase* database)
{
    CNeoFoundObjects logs;
    FindChildren(database, kClassBatchLog, getID(), TRUE, &logs);
    for (int i = 0; i < logs.GetSize(); ++i) {
        logs.at<CPPersistBase>(i)->RemoveWithChildren(database);
        if (i % kLogsPerCommit == 0) {
            database->purge(kPurgeBudget);
            database->commit();
        }
    }
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogItemProcess, CPBatchLogItemBase)

CNeoPersist* CPBatchLogItemProcess::Create()
{
    return new CPBatchLogItemProcess;
}

void CPBatchLogItemProcess::GetRowText(const char* rowName, CString& text) const
{
    if (strcmp(rowName, kServerMessageRow) == 0)
        text = GetServerMessage();
    else if (strcmp(rowName, kStandardErrorRow) == 0)
        text = GetStandardError();
    else if (strcmp(rowName, kStandardOutRow) == 0)
        text = GetStandardOut();
}

void CPBatchLogItemProcess::GetRow(int index, CString& name, CString& value) const
{
    CPBatchLogItemBase::GetRow(index, name, value);
    if (index < kCommonRowCount || IsHiddenRow(index))
        return;
    switch (index) {
    case 5:
        name = kServerMessageRow;
        value = TextOr(GetServerMessage(), "(no message)");
        break;
    case 6:
        name = "Exit code";
        value = FormatNumber(GetExitCode());
        break;
    case 7:
        name = kStandardErrorRow;
        value = TextOr(OneLine(GetStandardError()), "(no standard error)");
        break;
    case 8:
        name = kStandardOutRow;
        value = TextOr(OneLine(GetStandardOut()), "(no standard out)");
        break;
    }
}

int CPBatchLogItemProcess::GetRowCount() const
{
    return kCommonRowCount + 4;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogItemBatch, CPBatchLogItemBase)

CNeoPersist* CPBatchLogItemBatch::Create()
{
    return new CPBatchLogItemBatch;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogItemLink, CPBatchLogItemBase)

CPBatchLogItemLink::CPBatchLogItemLink() : m_value(0), m_upperValue(0), m_operator(0)
{
}

CNeoPersist* CPBatchLogItemLink::Create()
{
    return new CPBatchLogItemLink;
}

const FieldTable& CPBatchLogItemLink::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldRaw, &CPBatchLogItemLink::m_value>(),
        Field<kFieldRaw, &CPBatchLogItemLink::m_upperValue>(),
        Field<kFieldRaw, &CPBatchLogItemLink::m_operator>(),
    };
    static const FieldTable kTable(&CPBatchLogItemBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatchLogItemLink::SetCondition(long op, long value, long upperValue)
{
    m_operator = op;
    m_value = value;
    m_upperValue = upperValue;
}

void CPBatchLogItemLink::GetRowText(const char* rowName, CString& text) const
{
    if (strcmp(rowName, kServerMessageRow) == 0)
        text = GetServerMessage();
}

void CPBatchLogItemLink::GetRow(int index, CString& name, CString& value) const
{
    CPBatchLogItemBase::GetRow(index, name, value);
    if (index < kCommonRowCount || IsHiddenRow(index))
        return;
    switch (index) {
    case 5:
        name = "Recursion count";
        value = FormatNumber(GetCount());
        break;
    case 6:
        name = kServerMessageRow;
        value = TextOr(GetServerMessage(), "(no message)");
        break;
    case 7:
        name = "Exit code";
        value = FormatNumber(GetExitCode());
        break;
    case 8:
        name = "Link rule";
        // The operators of a link condition.
        switch (m_operator) {
        case 0: value.Format("less than %d", (int)m_value); break;
        case 1: value.Format("greater than %d", (int)m_value); break;
        case 2: value.Format("equal to %d", (int)m_value); break;
        case 3: value.Format("not equal to %d", (int)m_value); break;
        case 4: value.Format("between %d and %d", (int)m_value, (int)m_upperValue); break;
        case 5: value.Format("not between %d and %d", (int)m_value, (int)m_upperValue); break;
        default: value = "!!Error, Logic Range not found."; break;
        }
        break;
    }
}

int CPBatchLogItemLink::GetRowCount() const
{
    return kCommonRowCount + 4;
}

// ---------------------------------------------------------------------------
IMPLEMENT_DYNCREATE(CPBatchLogItemTrigger, CPBatchLogItemBase)

CPBatchLogItemTrigger::CPBatchLogItemTrigger()
    : m_triggerType(kTriggerLogNone), m_changeFilter(0), m_watchSubtree(FALSE)
{
    // A trigger fires at one moment: its "Triggered time" row stands in for
    // the start, end and duration rows.
    m_hiddenRows = {2, 3, 4};
}

CNeoPersist* CPBatchLogItemTrigger::Create()
{
    return new CPBatchLogItemTrigger;
}

const FieldTable& CPBatchLogItemTrigger::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPBatchLogItemTrigger::m_directory>(),
        Field<kFieldRaw, &CPBatchLogItemTrigger::m_triggerType>(),
        Field<kFieldRaw, &CPBatchLogItemTrigger::m_changeFilter>(),
        Field<kFieldRaw, &CPBatchLogItemTrigger::m_watchSubtree>(),
        Field<kFieldText, &CPBatchLogItemTrigger::m_scheduleItemName>(),
    };
    static const FieldTable kTable(&CPBatchLogItemBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatchLogItemTrigger::SetTypeFromClass(NeoClassID classID)
{
    switch (classID) {
    case kClassTriggerDirNotify: m_triggerType = kTriggerLogDirectory; break;
    case kClassTriggerSchedule: m_triggerType = kTriggerLogSchedule; break;
    default: m_triggerType = kTriggerLogNone; break;
    }
}

void CPBatchLogItemTrigger::GetRow(int index, CString& name, CString& value) const
{
    CPBatchLogItemBase::GetRow(index, name, value);
    if (index < kCommonRowCount || IsHiddenRow(index))
        return;
    switch (index) {
    case 5:
        name = "Trigger type";
        if (m_triggerType == kTriggerLogDirectory)
            value = "Directory Change Notification";
        else if (m_triggerType == kTriggerLogSchedule)
            value = "Schedule";
        return;
    case 6:
        name = "Triggered time";
        value = FormatTime(GetStartTime());
        return;
    }
    if (m_triggerType == kTriggerLogSchedule && index == 7) {
        name = "Schedule item name";
        value = GetScheduleItemName();
    } else if (m_triggerType == kTriggerLogDirectory) {
        switch (index) {
        case 7:
            name = "Monitored directory";
            value = m_directory.getText(kMaxNameLength);
            break;
        case 8:
            name = "Monitor subdirectories";
            value = m_watchSubtree ? "Yes" : "No";
            break;
        case 9:
            name = "Conditions";
            for (const auto& condition : kChangeConditions) {
                if (m_changeFilter & condition.bit)
                    value += condition.text;
            }
            break;
        }
    }
}

int CPBatchLogItemTrigger::GetRowCount() const
{
    switch (m_triggerType) {
    case kTriggerLogDirectory: return kCommonRowCount + 2 + 3;
    case kTriggerLogSchedule: return kCommonRowCount + 2 + 1;
    default: return kCommonRowCount + 2;
    }
}
