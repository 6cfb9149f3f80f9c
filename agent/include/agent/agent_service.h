// zqagent's spine: the service object, the application object and the
// worker procedure that starts the agent's managers, idles until the stop and
// then stops them. Every wait of the stop is bounded, so the whole stop ends
// within the shell's wait hint: running steps are killed and the leaving
// record is sent before the process ends.
#ifndef AGENT_AGENT_SERVICE_H
#define AGENT_AGENT_SERVICE_H

#include <server/service_shell.h>

#include <zqdb32/zqdb32.h>

// The agent's application object. It owns no database file: the agent keeps
// objects only in in-memory databases.
class AgentApp : public CNeoAppMFC
{
public:
    AgentApp();
    virtual ~AgentApp();
    // Formats of kinds 0 and 1, made on first use and kept.
    virtual CNeoFormat* GetFormat(short kind);

private:
    CNeoFormat* m_formats[2];
};

class AgentService : public ServiceShell
{
public:
    AgentService();
    // Writes nothing: the agent starts on its worker thread.
    virtual BOOL OnInit();
    // Only sets the agent's stop event.
    virtual void OnStop();

    static const ServiceConstants kConstants;
    // The wait before the agent starts its managers.
    static constexpr DWORD kStartDelay = 5000;
    // Period of the library's idle chores.
    static constexpr DWORD kIdlePeriod = 2000;
};

// Set by AgentService::OnStop; auto-reset, one waiter (AgentServiceMain).
HANDLE AgentStopEvent();

// The worker procedure: start-up, idle, stop. Returns 0.
unsigned __stdcall AgentServiceMain(void* argument);

#endif
