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

// Only the date-time value is stored, as 8 raw bytes.
static_assert(sizeof(DATE) == 8, "a stored time is 8 bytes");

void WriteTime(CNeoStream* stream, const COleDateTime& time)
{
    DATE value = time.m_dt;
    stream->writeBytes(&value, sizeof value);
}

COleDateTime ReadTime(CNeoStream* stream)
{
    DATE value = 0;
    stream->readBytes(&value, sizeof value);
    return COleDateTime(value);
}

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

long CPBatchLogItemBase::getFileLength(const CNeoFormat* format) const
{
    return CPPersistBase::getFileLength(format) + m_serverMessage.getFileLength() +
           m_standardOut.getFileLength() + m_standardError.getFileLength() + 28;
}

void CPBatchLogItemBase::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    m_startTime = ReadTime(stream);
    m_endTime = ReadTime(stream);
    m_loggedDiagramKey = stream->readID(tag);
    stream->readBytes(&m_exitCode, 4);
    stream->readBytes(&m_count, 4);
    m_serverMessage.readObject(stream, tag);
    m_standardOut.readObject(stream, tag);
    m_standardError.readObject(stream, tag);
}

void CPBatchLogItemBase::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    WriteTime(stream, m_startTime);
    WriteTime(stream, m_endTime);
    stream->writeID(m_loggedDiagramKey, tag);
    stream->writeBytes(&m_exitCode, 4);
    stream->writeBytes(&m_count, 4);
    m_serverMessage.writeObject(stream, tag);
    m_standardOut.writeObject(stream, tag);
    m_standardError.writeObject(stream, tag);
}

BOOL CPBatchLogItemBase::getValue(NeoTag tag, NeoType type, void* value) const
{
    if (tag == kTagLoggedDiagramKey)
        return AnswerLong((unsigned long)m_loggedDiagramKey, kNeoLongType, type, value);
    return CPPersistBase::getValue(tag, type, value);
}

void CPBatchLogItemBase::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    const CPBatchLogItemBase* from = static_cast<const CPBatchLogItemBase*>(other);
    m_startTime = from->m_startTime;
    m_endTime = from->m_endTime;
    m_loggedDiagramKey = from->m_loggedDiagramKey;
    m_exitCode = from->m_exitCode;
    m_count = from->m_count;
    m_serverMessage = from->m_serverMessage;
    m_standardOut = from->m_standardOut;
    m_standardError = from->m_standardError;
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

long CPBatchLog::getFileLength(const CNeoFormat* format) const
{
    return CPBatchLogItemBase::getFileLength(format) + m_batchBlob.getFileLength() + 4;
}

void CPBatchLog::readObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::readObject(stream, tag);
    stream->readBytes(&m_runNumber, 4);
    m_batchBlob.readObject(stream, tag);
}

void CPBatchLog::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::writeObject(stream, tag);
    stream->writeBytes(&m_runNumber, 4);
    m_batchBlob.writeObject(stream, tag);
}

BOOL CPBatchLog::getValue(NeoTag tag, NeoType type, void* value) const
{
    if (tag == kTagRunNumberKey)
        return AnswerLong((unsigned long)m_runNumber, kNeoULongType, type, value);
    return CPBatchLogItemBase::getValue(tag, type, value);
}

void CPBatchLog::update(const CNeoPersist* other)
{
    CPBatchLogItemBase::update(other);
    const CPBatchLog* from = static_cast<const CPBatchLog*>(other);
    m_runNumber = from->m_runNumber;
    m_batchBlob = from->m_batchBlob;
}

void CPBatchLog::CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID)
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

long CPBatchLogItemLink::getFileLength(const CNeoFormat* format) const
{
    return CPBatchLogItemBase::getFileLength(format) + 12;
}

void CPBatchLogItemLink::readObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::readObject(stream, tag);
    stream->readBytes(&m_value, 4);
    stream->readBytes(&m_upperValue, 4);
    stream->readBytes(&m_operator, 4);
}

void CPBatchLogItemLink::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::writeObject(stream, tag);
    stream->writeBytes(&m_value, 4);
    stream->writeBytes(&m_upperValue, 4);
    stream->writeBytes(&m_operator, 4);
}

void CPBatchLogItemLink::update(const CNeoPersist* other)
{
    CPBatchLogItemBase::update(other);
    const CPBatchLogItemLink* from = static_cast<const CPBatchLogItemLink*>(other);
    m_value = from->m_value;
    m_upperValue = from->m_upperValue;
    m_operator = from->m_operator;
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

long CPBatchLogItemTrigger::getFileLength(const CNeoFormat* format) const
{
    return CPBatchLogItemBase::getFileLength(format) + m_directory.getFileLength() +
           m_scheduleItemName.getFileLength() + 12;
}

void CPBatchLogItemTrigger::readObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::readObject(stream, tag);
    m_directory.readObject(stream, tag);
    stream->readBytes(&m_triggerType, 4);
    stream->readBytes(&m_changeFilter, 4);
    stream->readBytes(&m_watchSubtree, 4);
    m_scheduleItemName.readObject(stream, tag);
}

void CPBatchLogItemTrigger::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPBatchLogItemBase::writeObject(stream, tag);
    m_directory.writeObject(stream, tag);
    stream->writeBytes(&m_triggerType, 4);
    stream->writeBytes(&m_changeFilter, 4);
    stream->writeBytes(&m_watchSubtree, 4);
    m_scheduleItemName.writeObject(stream, tag);
}

void CPBatchLogItemTrigger::update(const CNeoPersist* other)
{
    CPBatchLogItemBase::update(other);
    const CPBatchLogItemTrigger* from = static_cast<const CPBatchLogItemTrigger*>(other);
    m_directory = from->m_directory;
    m_triggerType = from->m_triggerType;
    m_changeFilter = from->m_changeFilter;
    m_watchSubtree = from->m_watchSubtree;
    m_scheduleItemName = from->m_scheduleItemName;
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
