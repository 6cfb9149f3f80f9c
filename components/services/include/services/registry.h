// CRegistry and CEventLog: the registry and the event log of one machine, as
// ZQServices.dll uses them.
//
// RESULTS
// - Every operation returns 1 on success and 0 on failure; GetErrorCode then
//   gives the Win32 code of the failed call or an own code: 87 a required
//   argument is null, 6 no open handle where one is needed.
// - A few failures carry no code (an empty name where one is needed): the
//   error code is left as it was.
//
// CRegistry
// - Connect picks a root key of this or another machine (HKEY_CLASSES_ROOT
//   and HKEY_CURRENT_USER only locally: a machine name gives 6); Open and
//   Create then work on one key below it. Close closes both and forgets
//   everything.
// - DeleteKey removes a key with everything below it. A path "a\b\c" opens
//   "a\b" as the object's key and removes "c" below it.
// - Typed values: strings (REG_SZ), string lists (REG_MULTI_SZ), double words
//   and bytes. The GetValue/SetValue overloads refuse a null name (87); the
//   typed operations take it as the key's default value.
//
// CEventLog
// - Event sources and custom logs are registry keys below
//   HKLM\SYSTEM\CurrentControlSet\Services\EventLog; the "Sources" list of
//   the Application log holds every registered source once.
// - A custom log's "MaxSize" is a multiple of 64 KiB: the given size rounded
//   up, 65,536 for 0.
// - Report needs a source registered with RegisterSource (else 6).
//
// THREADS
// - One object is used by one thread at a time; neither class takes a lock.
#ifndef SERVICES_REGISTRY_H
#define SERVICES_REGISTRY_H

#include <windows.h>

#include <string>
#include <vector>

class CRegistry {
public:
    CRegistry() = default;
    virtual ~CRegistry();
    CRegistry(const CRegistry&) = delete;
    CRegistry& operator=(const CRegistry&) = delete;

    virtual int Close();
    // A predefined root key of `machine` (null or empty: this machine).
    virtual int Connect(HKEY root, const char* machine = nullptr);
    virtual int Create(const char* subkey, const char* className = nullptr,
                       DWORD options = REG_OPTION_NON_VOLATILE, REGSAM access = KEY_ALL_ACCESS,
                       SECURITY_ATTRIBUTES* security = nullptr, DWORD* disposition = nullptr);
    virtual int DeleteKey(const char* name);
    virtual int DeleteValue(const char* name);
    virtual int EnumerateKeys(DWORD index, std::string& name, std::string& className);
    // `size` in: the room at `data`; out: the bytes of the value.
    virtual int EnumerateValues(DWORD index, std::string& name, DWORD& type, BYTE* data,
                                DWORD& size);
    virtual int Flush();
    virtual int GetBinaryValue(const char* name, std::vector<BYTE>& bytes);
    virtual const std::string& GetClassName() const { return className_; }
    virtual const std::string& GetComputerName() const { return computerName_; }
    virtual int GetDoubleWordValue(const char* name, DWORD& value);
    virtual LONG GetErrorCode() const { return errorCode_; }
    virtual const std::string& GetKeyName() const { return keyName_; }
    virtual DWORD GetNumberOfSubkeys() const { return subkeys_; }
    virtual DWORD GetNumberOfValues() const { return values_; }
    virtual const std::string& GetRootName() const { return rootName_; }
    virtual int GetSecurity(SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR descriptor,
                            DWORD& size);
    virtual int GetStringValue(const char* name, std::string& text);
    virtual int GetStringArrayValue(const char* name, std::vector<std::string>& strings);
    virtual int GetValue(const char* name, std::vector<std::string>& strings);
    virtual int GetValue(const char* name, std::string& text);
    virtual int GetValue(const char* name, DWORD& value);
    virtual int GetValue(const char* name, std::vector<BYTE>& bytes);
    virtual int Load(const char* subkey, const char* file);
    virtual int NotifyChange(HANDLE event, DWORD filter = REG_NOTIFY_CHANGE_LAST_SET,
                             BOOL subtree = TRUE, BOOL async = TRUE);
    virtual int Open(const char* subkey, REGSAM access = KEY_ALL_ACCESS);
    virtual int QueryInfo();
    virtual int QueryValue(const char* name, DWORD& type, BYTE* data, DWORD& size);
    virtual int Replace(const char* subkey, const char* newFile, const char* oldFile);
    virtual int Restore(const char* file, DWORD flags = 0);
    virtual int Save(const char* file, SECURITY_ATTRIBUTES* security = nullptr);
    virtual int SetBinaryValue(const char* name, const std::vector<BYTE>& bytes);
    virtual int SetDoubleWordValue(const char* name, DWORD value);
    virtual int SetSecurity(SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR descriptor);
    virtual int SetStringValue(const char* name, const std::string& text,
                               DWORD type = REG_SZ);
    virtual int SetStringArrayValue(const char* name, const std::vector<std::string>& strings);
    virtual int SetValue(const char* name, DWORD type, const BYTE* data, DWORD size);
    virtual int SetValue(const char* name, const std::string& text);
    virtual int SetValue(const char* name, const std::vector<std::string>& strings);
    virtual int SetValue(const char* name, DWORD value);
    virtual int SetValue(const char* name, const std::vector<BYTE>& bytes);
    virtual int UnLoad(const char* subkey);

private:
    int Fail(LONG code);
    // 1, or 0 with the code recorded, from a registry call's status.
    int Check(LONG status);
    void CloseKey();
    // The value's bytes, sized by a first query.
    int ReadValue(const char* name, DWORD& type, std::vector<BYTE>& bytes);

    HKEY key_ = nullptr;
    HKEY root_ = nullptr;
    LONG errorCode_ = 0;
    std::string className_;
    std::string computerName_;
    std::string keyName_;
    std::string rootName_;
    DWORD subkeys_ = 0;
    DWORD values_ = 0;
    DWORD longestSubkeyName_ = 0;
    DWORD longestClassName_ = 0;
    DWORD longestValueName_ = 0;
    DWORD longestValueData_ = 0;
    DWORD securityLength_ = 0;
    FILETIME lastWrite_ = {};
};

class CEventLog {
public:
    CEventLog() = default;
    // Registers `source` for reporting at once.
    explicit CEventLog(const char* source);
    virtual ~CEventLog();
    CEventLog(const CEventLog&) = delete;
    CEventLog& operator=(const CEventLog&) = delete;

    virtual int Backup(const char* file);
    // Clears the open log, saving it to `backupFile` first when not null.
    virtual int Clear(const char* backupFile = nullptr);
    virtual int Close();
    // Registers `source` below the Application log with its message file.
    virtual int CreateApplicationLog(const char* source, const char* messageFile,
                                     DWORD typesSupported);
    // A log of its own; `file` null: %SystemRoot%\System32\config\<log>.Evt.
    virtual int CreateCustomLog(const char* logName, const char* file = nullptr,
                                DWORD maxSize = 0, DWORD retention = 0);
    virtual int DeleteLog(const char* logName);
    // Removes `source` from the Application log's registry.
    virtual int DeregisterSource(const char* source);
    // Gives up the source that RegisterSource opened.
    virtual int DeregisterEventSource();
    virtual LONG GetErrorCode() const { return errorCode_; }
    virtual HANDLE GetHandle() const { return log_; }
    // The name of log `index` of the recorded computer; advances `index`.
    virtual int EnumerateLogs(DWORD& index, std::string& name);
    virtual int GetNumberOfRecords(DWORD& count);
    virtual int GetOldestRecord(DWORD& number);
    // `log` INVALID_HANDLE_VALUE: the object's open log.
    virtual int NotifyChange(HANDLE event, HANDLE log = INVALID_HANDLE_VALUE);
    virtual int OpenBackup(const char* file, const char* server = nullptr);
    virtual int Open(const char* source, const char* server = nullptr);
    virtual int Read(DWORD offset, void* buffer, DWORD size, DWORD flags);
    // One record, in a buffer of the size it needs.
    virtual int Read(DWORD offset, std::vector<BYTE>& record, DWORD flags);
    virtual int RegisterSource(const char* source, const char* server = nullptr);
    virtual int ReportFromSource(const char* source, DWORD eventId, WORD count,
                                 const char** strings);
    virtual int Report(WORD type, WORD category, DWORD eventId, WORD count, const char** strings,
                       DWORD dataSize = 0, void* data = nullptr, PSID user = nullptr);
    virtual int ReportError(const char* text);
    virtual int ReportInformation(const char* text);

    DWORD BytesRead() const { return bytesRead_; }
    DWORD MinimumBytesNeeded() const { return bytesNeeded_; }

private:
    int Fail(LONG code);
    // Records the server's name, else this computer's.
    void RecordComputer(const char* server);

    HANDLE log_ = INVALID_HANDLE_VALUE;
    HANDLE source_ = INVALID_HANDLE_VALUE;
    LONG errorCode_ = 0;
    DWORD bytesRead_ = 0;
    DWORD bytesNeeded_ = 0;
    std::string computerName_;
};

#endif
