// The agent's members of the step classes: logon, capture files, launch,
// the constraint watch and the end of a process step.
#include <model/steps.h>

#include <agent/completed_queue.h>
#include <agent/agent_service.h>
#include <agent/process_list.h>
#include <oscalls/oscalls.h>
#include <server/account_rights.h>

#include <psapi.h>
#include <string.h>

#include <algorithm>
#include <vector>

namespace
{

// Captured output kept per stream, banner included.
const DWORD kCaptureLimit = 2048;
const char kBanner[] =
    "\r\n---------------------- ..Snip.. -----------------------\r\n"
    "Output is to long and has been truncated by Vantorel\r\n"
    "-------------------------------------------------------\r\n";
// The banner with its terminating NUL.
const DWORD kBannerBytes = sizeof kBanner;

const DWORD kWatchPeriod = 250;
// How long Kill waits for a terminated process to end.
const DWORD kKillWait = 5000;
const int kMaxProgramPath = 255;
// Bytes of a file that GetExecutableKind reads.
const DWORD kHeaderBytes = 64;
const DWORD kPeOffsetAt = 60;
const DWORD kBatchProbeBytes = 150;

// Creation flags.
const DWORD kDetachedGroup = NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP | DETACHED_PROCESS;
const DWORD kSeparateVdm =
    NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP | CREATE_SEPARATE_WOW_VDM;
const DWORD kNewConsole = NORMAL_PRIORITY_CLASS | CREATE_NEW_PROCESS_GROUP | CREATE_NEW_CONSOLE;

// Program kinds of a step.
enum { kDetectKind = 0, kProgram32 = 1, kProgram16 = 2, kBatchFile = 3 };

const ULONGLONG kTicksPerSecond = 10000000;

ULONGLONG FileTimeValue(const FILETIME& time)
{
    return ((ULONGLONG)time.dwHighDateTime << 32) | time.dwLowDateTime;
}

// Seconds in a limit's unit (truncated); FALSE for an unknown unit, which
// turns the check off.
BOOL InUnit(ULONGLONG seconds, long unit, ULONGLONG* value)
{
    switch (unit) {
    case kSeconds:
        *value = seconds;
        return TRUE;
    case kMinutes:
        *value = seconds / 60;
        return TRUE;
    case kHours:
        *value = seconds / 3600;
        return TRUE;
    default:
        return FALSE;
    }
}

const char* UnitText(long unit)
{
    return unit == kSeconds ? "second(s)" : unit == kMinutes ? "minute(s)" : "hour(s)";
}

CString FormatErrorText(DWORD error)
{
    char text[512] = "";
    FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, NULL, error, 0, text,
                   sizeof text, NULL);
    CString result(text);
    result.TrimRight();
    return result;
}

BOOL IsSevenBitText(const BYTE* bytes, DWORD count)
{
    for (DWORD i = 0; i < count; ++i)
        if (bytes[i] >= 0x80)
            return FALSE;
    return TRUE;
}

void CloseIfOpen(HANDLE& handle)
{
    if (handle != NULL && handle != INVALID_HANDLE_VALUE)
        CloseHandle(handle);
    handle = NULL;
}

}  // namespace

// ---------------------------------------------------------------------------
// Shared by every step.

long CPProcessBase::Start()
{
    Complete();
    return 0;
}

long CPProcessBase::Complete()
{
    if (gCompletedQueue)
        gCompletedQueue->Add(this);
    return 1;
}

void CPProcessBase::AppendServerMessage(const char* text)
{
    CString message;
    message.Format("%s\r\n%s\r\nExit code: %d", (LPCTSTR)GetServerMessage(), text,
                   (int)GetExitCode());
    SetServerMessage(message);
}

BOOL CPProcessBase::HasStartMemory(const char* violation)
{
    unsigned long limit = (unsigned long)GetStartMemoryLimit();
    if (limit == 0)
        return TRUE;
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    GlobalMemoryStatusEx(&memory);
    ULONGLONG available = (memory.ullAvailPageFile + memory.ullAvailPhys) / 1024;
    if (available >= limit)
        return TRUE;
    CString text;
    text.Format(violation, (unsigned)limit);
    AppendServerMessage(text);
    return FALSE;
}

BOOL CPProcessBase::DurationExceeded(ULONGLONG seconds)
{
    unsigned long limit = (unsigned long)GetDurationLimit();
    ULONGLONG used = 0;
    if (limit == 0 || !InUnit(seconds, GetDurationUnit(), &used) || used < limit)
        return FALSE;
    CString text;
    text.Format("Constraint violated! Execution duration exceeded %u %s", (unsigned)limit,
                UnitText(GetDurationUnit()));
    AppendServerMessage(text);
    return TRUE;
}

void CPProcessBase::GrantBatchLogonRight(const char*, const char* user)
{
    GrantAccountRight(NULL, user, "SeBatchLogonRight");
}

BOOL CPProcessBase::LogonAndImpersonate(int mode)
{
    LogonCalls& logon = Os<LogonCalls>();
    if (mode != 1) {
        if (!m_logonToken)
            return FALSE;
        logon.RevertToSelf();
        logon.CloseToken(m_logonToken);
        m_logonToken = NULL;
        return TRUE;
    }
    CString account = GetAccount();
    CString password = GetPassword();
    if (account.IsEmpty()) {
        account = GetAlternateAccount();
        password = GetAlternatePassword();
    }
    if (account.IsEmpty())
        return TRUE;
    CString domain, user = account;
    int slash = account.Find('\\');
    if (slash >= 0) {
        domain = account.Left(slash);
        user = account.Mid(slash + 1);
    }
    GrantBatchLogonRight(domain, user);
    HANDLE token = NULL;
    CString text;
    if (!logon.LogonUser(user, domain, password, LOGON32_LOGON_INTERACTIVE,
                         LOGON32_PROVIDER_DEFAULT, &token)) {
        text.Format(
            "Impersonation of account %s failed. The account may be invalid or password "
            "may have expired. Error: %x",
            (LPCTSTR)account, (unsigned)GetLastError());
        SetServerMessage(text);
        return FALSE;
    }
    if (!logon.CanImpersonate()) {
        // The token cannot start a process here: run as the agent's account.
        logon.CloseToken(token);
        m_runNote.Format(
            "Account %s was logged on, but this platform cannot start processes "
            "as it: the step ran as the agent's account.",
            (LPCTSTR)account);
        return TRUE;
    }
    if (!logon.Impersonate(token)) {
        text.Format(
            "Impersonation of account %s failed. The account was valid but Vantorel was "
            "unable to impersonate the account. Error: %x",
            (LPCTSTR)account, (unsigned)GetLastError());
        SetServerMessage(text);
        logon.CloseToken(token);
        return FALSE;
    }
    m_logonToken = token;
    return TRUE;
}

BOOL CPProcessBase::CreateCaptureFile(HANDLE* readEnd, HANDLE* writeEnd)
{
    char folder[MAX_PATH + 1] = "";
    char name[MAX_PATH + 1] = "";
    if (!GetTempPathA(MAX_PATH, folder) || !GetTempFileNameA(folder, "AGT", 0, name))
        return FALSE;
    m_captureFiles.Add(name);
    SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
    const DWORD share = FILE_SHARE_READ | FILE_SHARE_WRITE;
    *readEnd = CreateFileA(name, GENERIC_READ, share, &inherit, OPEN_EXISTING,
                           FILE_FLAG_NO_BUFFERING | FILE_ATTRIBUTE_TEMPORARY, NULL);
    *writeEnd = CreateFileA(name, GENERIC_WRITE, share, &inherit, OPEN_EXISTING,
                            FILE_FLAG_WRITE_THROUGH | FILE_ATTRIBUTE_TEMPORARY, NULL);
    if (*readEnd != INVALID_HANDLE_VALUE && *writeEnd != INVALID_HANDLE_VALUE)
        return TRUE;
    CloseIfOpen(*readEnd);
    CloseIfOpen(*writeEnd);
    return FALSE;
}

BOOL CPProcessBase::CreateCaptureFiles()
{
    for (int stream = kStdOutCapture; stream <= kStdErrCapture; ++stream) {
        HANDLE inheritable = NULL;
        if (!CreateCaptureFile(&inheritable, &m_captureWrite[stream]) ||
            !DuplicateHandle(GetCurrentProcess(), inheritable, GetCurrentProcess(),
                             &m_captureRead[stream], 0, FALSE,
                             DUPLICATE_CLOSE_SOURCE | DUPLICATE_SAME_ACCESS)) {
            DWORD error = GetLastError();
            m_captureRead[stream] = NULL;
            CloseCaptureFiles();
            SetLastError(error);
            return FALSE;
        }
    }
    return TRUE;
}

BOOL CPProcessBase::ReadCapture(int stream, CString& text)
{
    HANDLE reader = m_captureRead[stream];
    DWORD size = GetFileSize(reader, NULL);
    if (size == INVALID_FILE_SIZE || size == 0)
        return FALSE;
    if (size > kCaptureLimit - kBannerBytes) {
        // The banner with its NUL ends exactly at the limit.
        DWORD written = 0;
        SetFilePointer(m_captureWrite[stream], kCaptureLimit - kBannerBytes, NULL, FILE_BEGIN);
        WriteFile(m_captureWrite[stream], kBanner, kBannerBytes, &written, NULL);
    }
    // Unbuffered reads need a sector-aligned buffer: a page is.
    char* buffer = (char*)VirtualAlloc(NULL, kCaptureLimit + 1, MEM_COMMIT, PAGE_READWRITE);
    if (!buffer)
        return FALSE;
    DWORD read = 0;
    SetFilePointer(reader, 0, NULL, FILE_BEGIN);
    BOOL done = ReadFile(reader, buffer, kCaptureLimit, &read, NULL);
    if (done)
        text = CString(buffer);  // up to the first NUL
    VirtualFree(buffer, 0, MEM_RELEASE);
    return done;
}

void CPProcessBase::CollectOutput()
{
    struct Capture {
        int stream;
        long option;
        void (CPProcessBase::*store)(const char*);
    } captures[] = {
        {kStdOutCapture, kCaptureStdOut, &CPProcessBase::SetStandardOutput},
        {kStdErrCapture, kCaptureStdErr, &CPProcessBase::SetStandardError},
    };
    for (const Capture& capture : captures) {
        CString text;
        if ((GetCaptureOptions() & capture.option) && m_captureRead[capture.stream] &&
            ReadCapture(capture.stream, text))
            (this->*capture.store)(text);
    }
}

void CPProcessBase::CloseCaptureFiles()
{
    for (int stream = kStdOutCapture; stream <= kStdErrCapture; ++stream) {
        CloseIfOpen(m_captureRead[stream]);
        CloseIfOpen(m_captureWrite[stream]);
    }
    for (int i = 0; i < m_captureFiles.GetSize(); ++i)
        DeleteFileA(m_captureFiles[i]);
    m_captureFiles.RemoveAll();
}

// ---------------------------------------------------------------------------
// Process steps.

long CPProcessExe::Start()
{
    if (GetRunState() == kStepFinished) {
        Complete();
        return 0;
    }
    SetRunState(kStepRunning);
    if (!LogonAndImpersonate(1)) {
        Complete();
        return 0;
    }
    if (!CheckStartMemory() || !Launch()) {
        LogonAndImpersonate(0);
        Complete();
        return 0;
    }
    m_watchEvent = CreateEventA(NULL, FALSE, FALSE, NULL);
    long result = 0;
    for (;;) {
        if (gProcessList && gProcessList->IsStopping())
            break;
        if (!CheckConstraints()) {
            Kill();
            Complete();
            break;
        }
        if (IsFinished()) {
            Complete();
            break;
        }
        if (CNeoThreadMFC* thread = CNeoThreadMFC::FThread())
            thread->yield();
        DWORD woke;
        {
            CNeoCriticalRelease release;
            woke = WaitForSingleObject(m_watchEvent, kWatchPeriod);
        }
        if (woke == WAIT_OBJECT_0) {
            result = 1;  // killed from outside: not returned
            break;
        }
    }
    LogonAndImpersonate(0);
    CloseIfOpen(m_watchEvent);
    return result;
}

BOOL CPProcessExe::CheckStartMemory()
{
    return HasStartMemory(
        "Constraint violated, process didn't start!\r\nAvailable memory is less than %u "
        "kilobytes");
}

CString CPProcessExe::BuildCommandLine() const
{
    CString commandLine = "\"" + GetProgramPath() + "\" " + GetArguments();
    commandLine.Replace("\r\n", " ");
    commandLine.Replace("\t", "");
    return commandLine;
}

const void* CPProcessExe::BuildEnvironmentBlock()
{
    const ENeoBlob& stored = GetEnvironment();
    unsigned long length = stored.getLength();
    if (length <= 2)
        return NULL;
    const char* bytes = static_cast<const char*>(stored.getBlob());
    std::vector<std::string> strings;
    for (unsigned long at = 0; at < length;) {
        size_t size = strnlen(bytes + at, length - at);
        if (size > 0)
            strings.push_back(std::string(bytes + at, size));
        at += (unsigned long)size + 1;
    }
    std::sort(strings.begin(), strings.end(), [](const std::string& a, const std::string& b) {
        return _stricmp(a.c_str(), b.c_str()) < 0;
    });
    std::vector<char> block(length, '\0');
    size_t at = 0;
    for (const std::string& text : strings) {
        memcpy(&block[at], text.c_str(), text.size());
        at += text.size() + 1;
    }
    SetEnvironment(block.data(), length);
    return GetEnvironment().getBlob();
}

long CPProcessExe::GetExecutableKind(const char* path)
{
    CString name = CString(path).Left(kMaxProgramPath);
    HANDLE file = CreateFileA(name, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL,
                              OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return kOtherFile;
    long kind = kOtherFile;
    BYTE header[kBatchProbeBytes] = {};
    DWORD read = 0;
    if (ReadFile(file, header, kHeaderBytes, &read, NULL) && read >= 2 && header[0] == 'M' &&
        header[1] == 'Z') {
        DWORD offset = 0;
        memcpy(&offset, header + kPeOffsetAt, sizeof offset);
        BYTE signature[4] = {};
        kind = kPlainMZ;
        if (SetFilePointer(file, offset, NULL, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
            ReadFile(file, signature, sizeof signature, &read, NULL) && read == 4 &&
            memcmp(signature, "PE\0\0", 4) == 0)
            kind = kPortableImage;
    } else if (read > 0) {
        memset(header, 0, sizeof header);
        SetFilePointer(file, 0, NULL, FILE_BEGIN);
        ReadFile(file, header, kBatchProbeBytes, &read, NULL);
        CString extension = name.Right(4);
        extension.MakeLower();
        if ((extension == ".bat" || extension == ".cmd") &&
            IsSevenBitText(header, kBatchProbeBytes))
            kind = kSevenBitBatch;
    }
    CloseHandle(file);
    return kind;
}

DWORD CPProcessExe::GetCreationFlags() const
{
    switch (GetProgramKind()) {
    case kDetectKind:
        switch (GetExecutableKind(GetProgramPath())) {
        case kPortableImage:
        case kSevenBitBatch:
            return kDetachedGroup;
        case kPlainMZ:
            return kSeparateVdm;
        default:
            return NORMAL_PRIORITY_CLASS;
        }
    case kProgram32:
    case kBatchFile:
        return kNewConsole;
    case kProgram16:
        return kSeparateVdm;
    default:
        return NORMAL_PRIORITY_CLASS;
    }
}

long CPProcessExe::Launch()
{
    const void* environment = BuildEnvironmentBlock();
    CString commandLine = BuildCommandLine();
    CString directory = GetWorkingDirectory();
    directory.TrimLeft();
    directory.TrimRight();
    DWORD flags = GetCreationFlags();
    BOOL created = CreateCaptureFiles();
    if (created) {
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
        startup.hStdOutput = GetCaptureWriteHandle(kStdOutCapture);
        startup.hStdError = GetCaptureWriteHandle(kStdErrCapture);
        char desktop[] = "winsta0\\default";
        if (GetInteractive()) {
            startup.lpDesktop = desktop;
            startup.wShowWindow = SW_SHOWNORMAL;
        } else {
            startup.wShowWindow = SW_HIDE;
        }
        std::vector<char> line((LPCTSTR)commandLine,
                               (LPCTSTR)commandLine + commandLine.GetLength() + 1);
        const char* folder = directory.IsEmpty() ? NULL : (LPCTSTR)directory;
        PROCESS_INFORMATION process = {};
        if (GetLogonToken())
            created = CreateProcessAsUserA(GetLogonToken(), NULL, line.data(), NULL, NULL, TRUE,
                                           flags, (void*)environment, folder, &startup, &process);
        else
            created = CreateProcessA(NULL, line.data(), NULL, NULL, TRUE, flags, (void*)environment,
                                     folder, &startup, &process);
        if (created) {
            m_process = process.hProcess;
            m_thread = process.hThread;
            m_processId = process.dwProcessId;
            return 1;
        }
    }
    DWORD error = GetLastError();
    CString text;
    text.Format("Unable to execute process step '%s'.\r\nError: %x, %s\r\nCommand Line: %s",
                (LPCTSTR)GetName(), (unsigned)error, (LPCTSTR)FormatErrorText(error),
                (LPCTSTR)commandLine);
    SetServerMessage(text);
    CloseCaptureFiles();
    return 0;
}

BOOL CPProcessExe::ReadProcessTimes()
{
    FILETIME creation, exit, kernel, user;
    if (!Os<ProcessTimeCalls>().GetProcessTimes(m_process, m_processId, &creation, &exit, &kernel,
                                                &user))
        return FALSE;
    SetCreationTime(FileTimeValue(creation));
    SetExitTime(FileTimeValue(exit));
    SetKernelTime(FileTimeValue(kernel));
    SetUserTime(FileTimeValue(user));
    return TRUE;
}

long CPProcessExe::CheckConstraints()
{
    ReadProcessTimes();
    CString text;
    unsigned long workingSetLimit = (unsigned long)GetWorkingSetLimit();
    if (workingSetLimit != 0) {
        PROCESS_MEMORY_COUNTERS counters = {};
        counters.cb = sizeof counters;
        if (GetProcessMemoryInfo(m_process, &counters, sizeof counters)) {
            unsigned long workingSet = (unsigned long)(counters.WorkingSetSize / 1024);
            if (workingSet > workingSetLimit) {
                text.Format(
                    "Constraint violated! Memory used exceeds %u kilobytes(working set)."
                    "\r\nProcess working set was %u kilobytes.",
                    (unsigned)workingSetLimit, (unsigned)workingSet);
                AppendServerMessage(text);
                return 0;
            }
        }
    }
    ULONGLONG used = 0;
    unsigned long cpuLimit = (unsigned long)GetCpuTimeLimit();
    // User and kernel time are added before the conversion, so that halves of
    // a unit count.
    if (cpuLimit != 0 &&
        InUnit((GetUserTime() + GetKernelTime()) / kTicksPerSecond, GetCpuTimeUnit(), &used) &&
        used >= cpuLimit) {
        text.Format("Constraint violated! CPU time exceeded %u %s", (unsigned)cpuLimit,
                    UnitText(GetCpuTimeUnit()));
        AppendServerMessage(text);
        return 0;
    }
    if (GetCreationTime() != 0) {
        // Creation time is UTC: compare it with UTC now.
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULONGLONG nowValue = FileTimeValue(now);
        ULONGLONG elapsed = nowValue > GetCreationTime() ? nowValue - GetCreationTime() : 0;
        if (DurationExceeded(elapsed / kTicksPerSecond))
            return 0;
    }
    return 1;
}

long CPProcessExe::IsFinished()
{
    if (WaitForSingleObject(m_process, 0) != WAIT_OBJECT_0)
        return 0;
    DWORD code = 0;
    GetExitCodeProcess(m_process, &code);
    ReadProcessTimes();
    CString text;
    text.Format("Process step %s completed successfully. Exit code: %d", (LPCTSTR)GetName(),
                (int)code);
    if (!m_runNote.IsEmpty())
        text += "\r\n" + m_runNote;
    SetServerMessage(text);
    SetExitCode(code);
    CollectOutput();
    CloseCaptureFiles();
    CloseIfOpen(m_process);
    CloseIfOpen(m_thread);
    return 1;
}

long CPProcessExe::Kill()
{
    if (m_watchEvent)
        SetEvent(m_watchEvent);
    if (m_process) {
        // The process must be gone before its capture files can be deleted.
        TerminateProcess(m_process, GetExitCode());
        WaitForSingleObject(m_process, kKillWait);
        CloseIfOpen(m_process);
        CloseIfOpen(m_thread);
    }
    CloseCaptureFiles();
    return 0;
}
