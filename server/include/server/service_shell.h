// ServiceShell: the Windows-service base class of zqserver and zqagent. It
// talks to the service control manager (dispatcher, service main, control
// handler, status reports), writes event-log entries, installs and removes
// the service from the command line and runs the same code in a console
// with -debug.
#ifndef SERVER_SERVICE_SHELL_H
#define SERVER_SERVICE_SHELL_H

#include <framework/framework.h>

#include <windows.h>

// The texts and names that differ between the two services.
struct ServiceConstants {
    const char* serviceName;       // also the event source
    const char* displayName;
    const char* dependency;        // the one service this one depends on
    const char* startedText;
    const char* shuttingDownText;
    const char* stoppedText;
};

// The worker procedure: receives the shell as a service, 1 under -debug.
typedef unsigned(__stdcall* ServiceWorkerProc)(void* argument);

class ServiceShell : public CObject {
public:
    ServiceShell(const ServiceConstants& constants, ServiceWorkerProc worker,
                 DWORD controlsAccepted, DWORD waitHint);
    virtual ~ServiceShell();

    // Runs the service dispatcher; nonzero when it ran (returns after stop).
    virtual BOOL Start(const char* serviceName);
    virtual INT_PTR ShowDialog(HINSTANCE instance, LPCSTR dialogTemplate, HWND owner,
                               DLGPROC procedure, LPARAM parameter);
    virtual int ShowMessage(const char* text, const char* caption, UINT type);
    virtual void OnStop();
    virtual void ParseArguments(DWORD count, char** arguments);
    virtual void OnControl(DWORD code);
    virtual void OnShutdown();
    virtual BOOL OnInit();
    virtual void OnPause();
    virtual void OnContinue();
    virtual void SignalStop();
    virtual BOOL ReportStatus(DWORD state, DWORD exitCode, DWORD checkPoint, DWORD waitHint,
                              DWORD specificCode = 0);
    // At system shutdown, after OnShutdown and before the service reports
    // stopped: the place to make data durable. The base does nothing.
    virtual void SaveBeforeShutdown();

    // The program's command line: none runs the service, -install, -remove
    // or -debug (any case) runs that operation; the exit code (1 for other
    // arguments, after a usage text for a single unknown one).
    int RunCommandLine(int argc, char** argv);
    // Command-line operations; they print their results.
    void Install();
    void Remove();
    void RunDebug();

    // An entry in the event log (Os<EventLogCalls>), also printed under
    // -debug; LogEvent appends the last system error's text to error entries.
    void LogEvent(WORD type, const char* text, DWORD code = 0);
    void WriteEventLog(WORD type, const char* text, DWORD code = 0);
    // The calling thread's last error as "text (0xcode)", or "" when it does
    // not fit in `size` with room to spare.
    static char* GetLastErrorText(char* buffer, DWORD size);

    // The worker procedure calls this where it may pause: it waits while the
    // service is paused and returns FALSE once `stopEvent` is set.
    BOOL WaitWhilePaused(HANDLE stopEvent);
    BOOL IsPaused() const;
    BOOL IsRunning() const;
    DWORD GetCurrentState() const;
    DWORD GetLastErrorCode() const;
    BOOL IsDebugMode() const { return m_debug; }
    const ServiceConstants& GetConstants() const { return m_constants; }

    // The one shell of the process (the last constructed).
    static ServiceShell* Instance() { return s_instance; }
    static void WINAPI ServiceMain(DWORD count, LPSTR* arguments);
    static void WINAPI ControlHandler(DWORD code);
    static BOOL WINAPI ConsoleCtrlHandler(DWORD type);

protected:
    // Changes of the flags and state below happen under this lock.
    void SetState(DWORD state);
    void SetRunning(BOOL running);
    void SetPaused(BOOL paused);
    void SaveLastError(DWORD error);

    CStringArray m_arguments;
    HANDLE m_stopEvent;
    HANDLE m_workerThread;
    DWORD m_controlsAccepted;
    DWORD m_currentState;
    DWORD m_lastError;
    unsigned m_workerThreadId;
    DWORD m_waitHint;
    ServiceWorkerProc m_worker;
    SERVICE_STATUS_HANDLE m_statusHandle;
    BOOL m_running;
    BOOL m_paused;
    SERVICE_TABLE_ENTRYA m_serviceTable[2];
    char m_serviceName[257];

private:
    void RunServiceMain(DWORD count, LPSTR* arguments);
    void HandleControl(DWORD code);
    // Set while not paused; the worker waits on it.
    HANDLE m_resumeEvent;
    BOOL m_debug;
    ServiceConstants m_constants;
    mutable CRITICAL_SECTION m_lock;
    // Held while a Ctrl+C stop runs, so that -debug ends after it.
    CRITICAL_SECTION m_consoleStopLock;
    // Set by the first Ctrl+C: a second one stops nothing again.
    BOOL m_consoleStopped;

    static ServiceShell* s_instance;
};

#endif
