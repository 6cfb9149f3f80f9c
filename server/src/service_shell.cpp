#include <server/service_shell.h>

#include <server/section_lock.h>

#include <oscalls/oscalls.h>

#include <process.h>
#include <stdarg.h>
#include <stdio.h>

ServiceShell* ServiceShell::s_instance = NULL;

namespace {

// Output of the command-line operations goes to a pipe in tests: flush each.
void Print(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    vprintf(format, args);
    va_end(args);
    fflush(stdout);
}

}  // namespace

ServiceShell::ServiceShell(const ServiceConstants& constants, ServiceWorkerProc worker,
                           DWORD controlsAccepted, DWORD waitHint)
    : m_stopEvent(NULL),
      m_workerThread(NULL),
      m_controlsAccepted(controlsAccepted),
      m_currentState(SERVICE_START_PENDING),
      m_lastError(0),
      m_workerThreadId(0),
      m_waitHint(waitHint),
      m_worker(worker),
      m_statusHandle(0),
      m_running(FALSE),
      m_paused(FALSE),
      m_resumeEvent(CreateEventA(NULL, TRUE, TRUE, NULL)),
      m_debug(FALSE),
      m_constants(constants),
      m_consoleStopped(FALSE)
{
    InitializeCriticalSection(&m_lock);
    InitializeCriticalSection(&m_consoleStopLock);
    lstrcpynA(m_serviceName, constants.serviceName, sizeof m_serviceName);
    m_serviceTable[0].lpServiceName = m_serviceName;
    m_serviceTable[0].lpServiceProc = ServiceMain;
    m_serviceTable[1].lpServiceName = NULL;
    m_serviceTable[1].lpServiceProc = NULL;
    m_arguments.RemoveAll();
    s_instance = this;
}

ServiceShell::~ServiceShell()
{
    if (s_instance == this)
        s_instance = NULL;
    DeleteCriticalSection(&m_lock);
    DeleteCriticalSection(&m_consoleStopLock);
    if (m_stopEvent)
        CloseHandle(m_stopEvent);
    if (m_workerThread)
        CloseHandle(m_workerThread);
    if (m_resumeEvent)
        CloseHandle(m_resumeEvent);
    m_arguments.RemoveAll();
}

// ---------------------------------------------------------------------------
// State under the shell lock.

void ServiceShell::SetState(DWORD state)
{
    SectionLock lock(m_lock);
    m_currentState = state;
}

void ServiceShell::SetRunning(BOOL running)
{
    SectionLock lock(m_lock);
    m_running = running;
}

void ServiceShell::SetPaused(BOOL paused)
{
    SectionLock lock(m_lock);
    m_paused = paused;
    if (paused)
        ResetEvent(m_resumeEvent);
    else
        SetEvent(m_resumeEvent);
}

void ServiceShell::SaveLastError(DWORD error)
{
    SectionLock lock(m_lock);
    m_lastError = error;
}

BOOL ServiceShell::IsPaused() const
{
    SectionLock lock(m_lock);
    return m_paused;
}

BOOL ServiceShell::IsRunning() const
{
    SectionLock lock(m_lock);
    return m_running;
}

DWORD ServiceShell::GetCurrentState() const
{
    SectionLock lock(m_lock);
    return m_currentState;
}

DWORD ServiceShell::GetLastErrorCode() const
{
    SectionLock lock(m_lock);
    return m_lastError;
}

BOOL ServiceShell::WaitWhilePaused(HANDLE stopEvent)
{
    HANDLE events[2] = {stopEvent, m_resumeEvent};
    return WaitForMultipleObjects(2, events, FALSE, INFINITE) == WAIT_OBJECT_0 + 1;
}

// ---------------------------------------------------------------------------
// Running as a service.

BOOL ServiceShell::Start(const char* serviceName)
{
    lstrcpynA(m_serviceName, serviceName, sizeof m_serviceName);
    m_serviceTable[0].lpServiceName = m_serviceName;
    if (StartServiceCtrlDispatcherA(m_serviceTable))
        return TRUE;
    SaveLastError(::GetLastError());
    LogEvent(EVENTLOG_ERROR_TYPE, "Unable to Initialize Vantorel");
    return FALSE;
}

void WINAPI ServiceShell::ServiceMain(DWORD count, LPSTR* arguments)
{
    if (s_instance)
        s_instance->RunServiceMain(count, arguments);
}

void ServiceShell::RunServiceMain(DWORD count, LPSTR* arguments)
{
    {
        SectionLock lock(m_lock);
        m_statusHandle = RegisterServiceCtrlHandlerA(m_serviceName, ControlHandler);
    }
    if (!m_statusHandle) {
        SaveLastError(::GetLastError());
        LogEvent(EVENTLOG_ERROR_TYPE, NULL);
        SignalStop();
        return;
    }
    BOOL started = FALSE;
    if (ReportStatus(SERVICE_START_PENDING, 0, 1, m_waitHint)) {
        HANDLE stopEvent = CreateEventA(NULL, TRUE, FALSE, NULL);
        {
            SectionLock lock(m_lock);
            m_stopEvent = stopEvent;
        }
        if (!stopEvent) {
            // Reported as stopped below, so the manager does not wait on a
            // start that will never finish.
            SaveLastError(::GetLastError());
            LogEvent(EVENTLOG_ERROR_TYPE, NULL);
            SignalStop();
        } else if (ReportStatus(SERVICE_START_PENDING, 0, 2, m_waitHint)) {
            ParseArguments(count, arguments);
            started = ReportStatus(SERVICE_START_PENDING, 0, 3, m_waitHint) && OnInit();
        }
    }
    if (started) {
        unsigned threadId = 0;
        HANDLE thread = (HANDLE)_beginthreadex(NULL, 0, m_worker, this, 0, &threadId);
        if (!thread) {
            SaveLastError(::GetLastError());
            LogEvent(EVENTLOG_ERROR_TYPE, NULL);
            SignalStop();
        } else {
            {
                SectionLock lock(m_lock);
                m_workerThread = thread;
                m_workerThreadId = threadId;
                m_running = TRUE;
            }
            if (ReportStatus(SERVICE_RUNNING, 0, 0, 0)) {
                SetState(SERVICE_RUNNING);
                WaitForSingleObject(m_stopEvent, INFINITE);
            }
            // The worker closes what it opened once it sees the stop; give it
            // the wait hint to do so before the process may end.
            WaitForSingleObject(thread, m_waitHint);
            SectionLock lock(m_lock);
            CloseHandle(m_workerThread);
            m_workerThread = NULL;
        }
    }
    if (m_statusHandle)
        ReportStatus(SERVICE_STOPPED, GetLastErrorCode(), 0, 0);
}

void WINAPI ServiceShell::ControlHandler(DWORD code)
{
    if (s_instance)
        s_instance->HandleControl(code);
}

void ServiceShell::HandleControl(DWORD code)
{
    switch (code) {
    case SERVICE_CONTROL_STOP:
        ReportStatus(SERVICE_STOP_PENDING, 0, 1, m_waitHint);
        SetRunning(FALSE);
        SetState(SERVICE_STOPPED);
        OnStop();
        SignalStop();
        return;
    case SERVICE_CONTROL_SHUTDOWN:
        ReportStatus(SERVICE_STOP_PENDING, 0, 1, m_waitHint);
        SetRunning(FALSE);
        SetState(SERVICE_STOPPED);
        OnShutdown();
        SaveBeforeShutdown();
        SignalStop();
        return;
    case SERVICE_CONTROL_PAUSE:
        // The worker waits in WaitWhilePaused; it is never suspended, since
        // it may hold locks that other threads need.
        if (IsRunning() && !IsPaused()) {
            if (!ReportStatus(SERVICE_PAUSE_PENDING, 0, 1, m_waitHint))
                return;
            SetPaused(TRUE);
            OnPause();
            SetState(SERVICE_PAUSED);
        }
        break;
    case SERVICE_CONTROL_CONTINUE:
        if (IsRunning() && IsPaused()) {
            if (!ReportStatus(SERVICE_CONTINUE_PENDING, 0, 1, m_waitHint))
                return;
            SetPaused(FALSE);
            OnContinue();
            SetState(SERVICE_RUNNING);
        }
        break;
    case SERVICE_CONTROL_INTERROGATE:
        break;
    default:
        OnControl(code);
        break;
    }
    ReportStatus(GetCurrentState(), 0, 0, 0);
}

BOOL ServiceShell::ReportStatus(DWORD state, DWORD exitCode, DWORD checkPoint, DWORD waitHint,
                                DWORD specificCode)
{
    SERVICE_STATUS status;
    status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
    status.dwCurrentState = state;
    status.dwControlsAccepted = state == SERVICE_START_PENDING ? 0 : m_controlsAccepted;
    status.dwWin32ExitCode = specificCode ? ERROR_SERVICE_SPECIFIC_ERROR : exitCode;
    status.dwServiceSpecificExitCode = specificCode;
    status.dwCheckPoint = checkPoint;
    status.dwWaitHint = waitHint;
    BOOL result = SetServiceStatus(m_statusHandle, &status);
    if (!result) {
        SaveLastError(::GetLastError());
        LogEvent(EVENTLOG_ERROR_TYPE, "Unable to set Vantorel service status.");
        SignalStop();
    }
    return result;
}

void ServiceShell::SignalStop()
{
    HANDLE stopEvent;
    {
        SectionLock lock(m_lock);
        m_running = FALSE;
        m_currentState = SERVICE_STOPPED;
        stopEvent = m_stopEvent;
    }
    if (stopEvent)
        SetEvent(stopEvent);
}

// ---------------------------------------------------------------------------
// Base bodies.

BOOL ServiceShell::OnInit()
{
    LogEvent(EVENTLOG_INFORMATION_TYPE, m_constants.startedText);
    return TRUE;
}

void ServiceShell::OnStop()
{
    LogEvent(EVENTLOG_INFORMATION_TYPE, m_constants.stoppedText);
}

void ServiceShell::OnShutdown()
{
    LogEvent(EVENTLOG_INFORMATION_TYPE, m_constants.shuttingDownText);
}

void ServiceShell::SaveBeforeShutdown() {}
void ServiceShell::OnPause() {}
void ServiceShell::OnContinue() {}
void ServiceShell::OnControl(DWORD) {}

void ServiceShell::ParseArguments(DWORD count, char** arguments)
{
    for (DWORD i = 0; i < count; ++i)
        m_arguments.Add(arguments[i]);
    for (DWORD i = 1; i < count; ++i) {
        const char* argument = arguments[i];
        if ((argument[0] == '-' || argument[0] == '/') &&
            (argument[1] == 'i' || argument[1] == 'I')) {
            char text[64];
            DWORD pid = GetCurrentProcessId();
            wsprintfA(text, "pid %#lx %ld", pid, pid);
            ShowMessage(text, m_serviceName, MB_OK);
        }
    }
}

INT_PTR ServiceShell::ShowDialog(HINSTANCE instance, LPCSTR dialogTemplate, HWND owner,
                                 DLGPROC procedure, LPARAM parameter)
{
    HDESK previous = GetThreadDesktop(GetCurrentThreadId());
    HDESK input = OpenInputDesktop(0, FALSE, DESKTOP_CREATEWINDOW);
    if (input)
        SetThreadDesktop(input);
    INT_PTR result = DialogBoxParamA(instance, dialogTemplate, owner, procedure, parameter);
    if (input) {
        SetThreadDesktop(previous);
        CloseDesktop(input);
    }
    return result;
}

int ServiceShell::ShowMessage(const char* text, const char* caption, UINT type)
{
    return MessageBoxA(NULL, text, caption, type | MB_SERVICE_NOTIFICATION);
}

// ---------------------------------------------------------------------------
// Event log.

void ServiceShell::LogEvent(WORD type, const char* text, DWORD code)
{
    if (type != EVENTLOG_ERROR_TYPE) {
        WriteEventLog(type, text, code);
        return;
    }
    char errorText[256];
    GetLastErrorText(errorText, sizeof errorText);
    if (!text) {
        WriteEventLog(type, errorText, code);
        return;
    }
    CString entry;
    entry.Format("%s\n%s", text, errorText);
    WriteEventLog(type, entry, code);
}

void ServiceShell::WriteEventLog(WORD type, const char* text, DWORD)
{
    // The system log may keep nothing: a console shows every entry.
    if (m_debug)
        Print("%s\n", text);
    Os<EventLogCalls>().Report(m_serviceName, type, text);
}

char* ServiceShell::GetLastErrorText(char* buffer, DWORD size)
{
    DWORD error = ::GetLastError();
    char* text = NULL;
    DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_ARGUMENT_ARRAY,
        NULL, error, LANG_NEUTRAL, (LPSTR)&text, 0, NULL);
    if (!length || size < length + 14) {
        buffer[0] = '\0';
    } else {
        if (length >= 2)
            text[length - 2] = '\0';  // the line end
        _snprintf(buffer, size, "%s (0x%x)", text, (unsigned)error);
        buffer[size - 1] = '\0';
    }
    if (text)
        LocalFree(text);
    return buffer;
}

// ---------------------------------------------------------------------------
// Command line.

void ServiceShell::Install()
{
    char path[512];
    char errorText[256];
    if (!GetModuleFileNameA(NULL, path, sizeof path)) {
        Print("Unable to install %s - %s\n", m_constants.displayName,
              GetLastErrorText(errorText, sizeof errorText));
        return;
    }
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        Print("OpenSCManager failed - %s\n", GetLastErrorText(errorText, sizeof errorText));
        return;
    }
    // One name, double-NUL terminated.
    char dependencies[258] = {0};
    lstrcpynA(dependencies, m_constants.dependency, 256);
    SC_HANDLE service = CreateServiceA(
        manager, m_constants.serviceName, m_constants.displayName, SERVICE_ALL_ACCESS,
        SERVICE_WIN32_OWN_PROCESS | SERVICE_INTERACTIVE_PROCESS, SERVICE_AUTO_START,
        SERVICE_ERROR_NORMAL, path, NULL, NULL, dependencies, NULL, NULL);
    if (service) {
        Print("%s installed.\n", m_constants.displayName);
        CloseServiceHandle(service);
    } else {
        Print("CreateService failed - %s\n", GetLastErrorText(errorText, sizeof errorText));
    }
    CloseServiceHandle(manager);
}

void ServiceShell::Remove()
{
    char errorText[256];
    SC_HANDLE manager = OpenSCManagerA(NULL, NULL, SC_MANAGER_ALL_ACCESS);
    if (!manager) {
        Print("OpenSCManager failed - %s\n", GetLastErrorText(errorText, sizeof errorText));
        return;
    }
    SC_HANDLE service = OpenServiceA(manager, m_constants.serviceName, SERVICE_ALL_ACCESS);
    if (!service) {
        Print("OpenService failed - %s\n", GetLastErrorText(errorText, sizeof errorText));
        CloseServiceHandle(manager);
        return;
    }
    SERVICE_STATUS status;
    if (ControlService(service, SERVICE_CONTROL_STOP, &status)) {
        Print("Stopping %s.", m_constants.displayName);
        Sleep(1000);
        while (QueryServiceStatus(service, &status) &&
               status.dwCurrentState == SERVICE_STOP_PENDING) {
            Print(".");
            Sleep(1000);
        }
        if (status.dwCurrentState == SERVICE_STOPPED)
            Print("\n%s stopped.\n", m_constants.displayName);
        else
            Print("\n%s failed to stop.\n", m_constants.displayName);
    }
    if (DeleteService(service))
        Print("%s removed.\n", m_constants.displayName);
    else
        Print("DeleteService failed - %s\n", GetLastErrorText(errorText, sizeof errorText));
    CloseServiceHandle(service);
    CloseServiceHandle(manager);
}

int ServiceShell::RunCommandLine(int argc, char** argv)
{
    if (argc == 1) {
        Start(m_constants.serviceName);
        return 0;
    }
    if (argc > 2)
        return 1;
    const char* option = argv[1];
    if (_stricmp(option, "-install") == 0) {
        Install();
    } else if (_stricmp(option, "-remove") == 0) {
        Remove();
    } else if (_stricmp(option, "-debug") == 0) {
        RunDebug();
    } else {
        Print("%s\nUsage: %s [-install|-remove|-debug]\n", m_constants.displayName, argv[0]);
        return 1;
    }
    return 0;
}

void ServiceShell::RunDebug()
{
    m_debug = TRUE;
    SetConsoleCtrlHandler(ConsoleCtrlHandler, TRUE);
    if (!OnInit())
        return;
    m_worker((void*)1);
    // A Ctrl+C stop may still be writing its entries: let it finish before
    // the program ends.
    EnterCriticalSection(&m_consoleStopLock);
    LeaveCriticalSection(&m_consoleStopLock);
}

BOOL WINAPI ServiceShell::ConsoleCtrlHandler(DWORD type)
{
    if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT)
        return FALSE;
    if (s_instance) {
        EnterCriticalSection(&s_instance->m_consoleStopLock);
        if (!s_instance->m_consoleStopped) {
            s_instance->m_consoleStopped = TRUE;
            Print("Stopping %s.\n", s_instance->m_constants.displayName);
            s_instance->OnStop();
        }
        LeaveCriticalSection(&s_instance->m_consoleStopLock);
    }
    return TRUE;
}
