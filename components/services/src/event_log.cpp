#include "services/registry.h"

#include <lmcons.h>

#include <algorithm>

namespace {

const char kLogsKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog";
const char kApplicationKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const char kSourcesValue[] = "Sources";
const DWORD kMaxSizeStep = 65536;
const DWORD kLargestMaxSize = 0xFFFF0000;  // the largest multiple of the step
const DWORD kAccountBytes = 4096;

// A log's "MaxSize": `size` rounded up to the step, one step for 0.
DWORD RoundedMaxSize(DWORD size)
{
    if (size > kLargestMaxSize)
        return kLargestMaxSize;
    DWORD steps = (size + kMaxSizeStep - 1) / kMaxSizeStep;
    return (steps ? steps : 1) * kMaxSizeStep;
}

std::string ApplicationSourceKey(const char* source)
{
    return std::string(kApplicationKey) + "\\" + source;
}

}  // namespace

CEventLog::CEventLog(const char* source) { RegisterSource(source); }

CEventLog::~CEventLog()
{
    DeregisterEventSource();
    Close();
}

int CEventLog::Fail(LONG code)
{
    errorCode_ = code;
    return 0;
}

void CEventLog::RecordComputer(const char* server)
{
    if (server && *server) {
        computerName_ = server;
        return;
    }
    char name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = sizeof name;
    computerName_ = ::GetComputerNameA(name, &length) ? name : "";
}

int CEventLog::CreateApplicationLog(const char* source, const char* messageFile,
                                    DWORD typesSupported)
{
    if (!source || !messageFile)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!*source || !*messageFile)
        return 0;
    CRegistry registry;
    bool written = registry.Connect(HKEY_LOCAL_MACHINE) &&
                   registry.Create(ApplicationSourceKey(source).c_str()) &&
                   registry.SetStringValue("EventMessageFile", messageFile, REG_EXPAND_SZ) &&
                   registry.SetDoubleWordValue("TypesSupported", typesSupported) &&
                   registry.Open(kApplicationKey);
    if (!written)
        return Fail(registry.GetErrorCode());
    std::vector<std::string> sources;
    registry.GetStringArrayValue(kSourcesValue, sources);  // none yet: an empty list
    if (std::find(sources.begin(), sources.end(), source) != sources.end())
        return 1;
    sources.push_back(source);
    return registry.SetStringArrayValue(kSourcesValue, sources) ? 1
                                                                 : Fail(registry.GetErrorCode());
}

int CEventLog::CreateCustomLog(const char* logName, const char* file, DWORD maxSize,
                               DWORD retention)
{
    if (!logName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!*logName)
        return 0;
    std::string path = file ? file
                            : std::string("%SystemRoot%\\System32\\config\\") + logName + ".Evt";
    std::string key = std::string(kLogsKey) + "\\" + logName;
    CRegistry registry;
    bool written = registry.Connect(HKEY_LOCAL_MACHINE) && registry.Create(key.c_str()) &&
                   registry.SetStringValue("File", path, REG_EXPAND_SZ) &&
                   registry.SetDoubleWordValue("MaxSize", RoundedMaxSize(maxSize)) &&
                   registry.SetDoubleWordValue("Retention", retention) &&
                   registry.Create((key + "\\" + logName).c_str());
    return written ? 1 : Fail(registry.GetErrorCode());
}

int CEventLog::DeleteLog(const char* logName)
{
    if (!logName)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!*logName)
        return 0;
    CRegistry registry;
    bool deleted = registry.Connect(HKEY_LOCAL_MACHINE) &&
                   registry.DeleteKey((std::string(kLogsKey) + "\\" + logName).c_str());
    return deleted ? 1 : Fail(registry.GetErrorCode());
}

int CEventLog::DeregisterSource(const char* source)
{
    if (!source)
        return Fail(ERROR_INVALID_PARAMETER);
    CRegistry registry;
    if (!registry.Connect(HKEY_LOCAL_MACHINE) ||
        !registry.DeleteKey(ApplicationSourceKey(source).c_str()))
        return Fail(registry.GetErrorCode());
    // DeleteKey left the Application key open.
    std::vector<std::string> sources;
    if (!registry.GetStringArrayValue(kSourcesValue, sources))
        return 1;
    auto listed = std::find(sources.begin(), sources.end(), source);
    if (listed == sources.end())
        return 1;
    sources.erase(listed);
    return registry.SetStringArrayValue(kSourcesValue, sources) ? 1
                                                                 : Fail(registry.GetErrorCode());
}

int CEventLog::RegisterSource(const char* source, const char* server)
{
    if (!source)
        return Fail(ERROR_INVALID_PARAMETER);
    DeregisterEventSource();
    HANDLE handle = RegisterEventSourceA(server, source);
    if (!handle)
        return Fail(GetLastError());
    source_ = handle;
    return 1;
}

int CEventLog::DeregisterEventSource()
{
    if (source_ == INVALID_HANDLE_VALUE)
        return 1;
    BOOL done = ::DeregisterEventSource(source_);
    source_ = INVALID_HANDLE_VALUE;
    return done ? 1 : Fail(GetLastError());
}

int CEventLog::Open(const char* source, const char* server)
{
    if (!source)
        return Fail(ERROR_INVALID_PARAMETER);
    Close();
    HANDLE handle = OpenEventLogA(server, source);
    if (!handle)
        return Fail(GetLastError());
    log_ = handle;
    RecordComputer(server);
    return 1;
}

int CEventLog::OpenBackup(const char* file, const char* server)
{
    if (!file)
        return Fail(ERROR_INVALID_PARAMETER);
    Close();
    HANDLE handle = OpenBackupEventLogA(server, file);
    if (!handle)
        return Fail(GetLastError());
    log_ = handle;
    RecordComputer(server);
    return 1;
}

int CEventLog::Close()
{
    if (log_ == INVALID_HANDLE_VALUE)
        return 1;
    BOOL closed = CloseEventLog(log_);
    log_ = INVALID_HANDLE_VALUE;
    return closed ? 1 : Fail(GetLastError());
}

int CEventLog::Backup(const char* file)
{
    if (!file)
        return Fail(ERROR_INVALID_PARAMETER);
    if (log_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    return BackupEventLogA(log_, file) ? 1 : Fail(GetLastError());
}

int CEventLog::Clear(const char* backupFile)
{
    if (log_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    return ClearEventLogA(log_, backupFile) ? 1 : Fail(GetLastError());
}

int CEventLog::GetNumberOfRecords(DWORD& count)
{
    if (log_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    return GetNumberOfEventLogRecords(log_, &count) ? 1 : Fail(GetLastError());
}

int CEventLog::GetOldestRecord(DWORD& number)
{
    if (log_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    return GetOldestEventLogRecord(log_, &number) ? 1 : Fail(GetLastError());
}

int CEventLog::NotifyChange(HANDLE event, HANDLE log)
{
    if (log == INVALID_HANDLE_VALUE)
        log = log_;
    if (log == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    return NotifyChangeEventLog(log, event) ? 1 : Fail(GetLastError());
}

int CEventLog::Read(DWORD offset, void* buffer, DWORD size, DWORD flags)
{
    if (log_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    bytesRead_ = bytesNeeded_ = 0;
    return ReadEventLogA(log_, flags, offset, buffer, size, &bytesRead_, &bytesNeeded_)
               ? 1
               : Fail(GetLastError());
}

int CEventLog::Read(DWORD offset, std::vector<BYTE>& record, DWORD flags)
{
    record.clear();
    BYTE probe[sizeof(EVENTLOGRECORD)];
    if (Read(offset, probe, 0, flags))
        return 1;  // nothing to read
    if (errorCode_ != ERROR_INSUFFICIENT_BUFFER)
        return 0;
    record.resize(bytesNeeded_);
    if (!Read(offset, record.data(), DWORD(record.size()), flags)) {
        record.clear();
        return 0;
    }
    record.resize(bytesRead_);
    return 1;
}

int CEventLog::EnumerateLogs(DWORD& index, std::string& name)
{
    CRegistry registry;
    std::string className;
    bool found = registry.Connect(HKEY_LOCAL_MACHINE, computerName_.c_str()) &&
                 registry.Open(kLogsKey, KEY_READ) &&
                 registry.EnumerateKeys(index, name, className);
    if (!found)
        return Fail(registry.GetErrorCode());
    ++index;
    return 1;
}

int CEventLog::Report(WORD type, WORD category, DWORD eventId, WORD count, const char** strings,
                      DWORD dataSize, void* data, PSID user)
{
    if (source_ == INVALID_HANDLE_VALUE)
        return Fail(ERROR_INVALID_HANDLE);
    BYTE account[kAccountBytes];
    if (!user) {
        char name[UNLEN + 1], domain[kAccountBytes];
        DWORD nameLength = sizeof name, sidSize = sizeof account, domainSize = sizeof domain;
        SID_NAME_USE use;
        if (GetUserNameA(name, &nameLength) &&
            LookupAccountNameA(nullptr, name, account, &sidSize, domain, &domainSize, &use))
            user = account;
    }
    return ReportEventA(source_, type, category, eventId, user, count, dataSize, strings, data)
               ? 1
               : Fail(GetLastError());
}

int CEventLog::ReportError(const char* text)
{
    const char* strings[] = {text ? text : "CEventLog::ReportError( NULL )"};
    return Report(EVENTLOG_ERROR_TYPE, 0, 0, 1, strings);
}

int CEventLog::ReportInformation(const char* text)
{
    const char* strings[] = {text ? text : "CEventLog::ReportInformation( NULL )"};
    return Report(EVENTLOG_INFORMATION_TYPE, 0, 0, 1, strings);
}

int CEventLog::ReportFromSource(const char* source, DWORD eventId, WORD count,
                                const char** strings)
{
    if (!RegisterSource(source))
        return 0;
    int reported = Report(EVENTLOG_ERROR_TYPE, 0, eventId, count, strings);
    DeregisterEventSource();
    return reported;
}
