// A service shell that records its status reports and calls instead of
// talking to the service control manager, and an event log that records
// entries.
#ifndef TESTS_SERVER_RECORDING_SHELL_H
#define TESTS_SERVER_RECORDING_SHELL_H

#include <server/service_shell.h>

#include <oscalls/oscalls.h>

#include "status_names.h"

#include <string>
#include <vector>

struct RecordedEntry {
    WORD type;
    std::string text;
};

class RecordingSink : public EventLogCalls {
public:
    virtual void Report(const char*, WORD type, const char* text)
    {
        entries.push_back({type, text});
    }
    std::vector<RecordedEntry> entries;

private:
    ScopedStandIn<EventLogCalls> m_installed{*this};
};

extern const ServiceConstants kTestConstants;

class RecordingShell : public ServiceShell {
public:
    explicit RecordingShell(ServiceWorkerProc worker = NULL)
        : ServiceShell(kTestConstants, worker, 7, 5000)
    {
    }
    virtual BOOL ReportStatus(DWORD state, DWORD, DWORD checkPoint, DWORD, DWORD)
    {
        calls.push_back("report " + ServiceStateName(state) + "/" + std::to_string(checkPoint));
        return TRUE;
    }
    virtual BOOL OnInit()
    {
        calls.push_back("init");
        return initResult && ServiceShell::OnInit();
    }
    virtual void OnStop()
    {
        calls.push_back("stop");
        ServiceShell::OnStop();
    }
    virtual void OnShutdown()
    {
        calls.push_back("shutdown");
        ServiceShell::OnShutdown();
    }
    virtual void SaveBeforeShutdown() { calls.push_back("save"); }
    virtual void OnPause() { calls.push_back("pause"); }
    virtual void OnContinue() { calls.push_back("continue"); }
    virtual void OnControl(DWORD code) { calls.push_back("control " + std::to_string(code)); }
    virtual void SignalStop()
    {
        calls.push_back("signal");
        ServiceShell::SignalStop();
    }
    // Puts the shell where a started service is.
    void MakeRunning(BOOL paused)
    {
        SetRunning(TRUE);
        SetPaused(paused);
        SetState(paused ? SERVICE_PAUSED : SERVICE_RUNNING);
    }

    const CStringArray& Arguments() const { return m_arguments; }

    BOOL initResult = TRUE;
    std::vector<std::string> calls;
};

#endif
