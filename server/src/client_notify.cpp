#include <server/client_notify.h>

#include <server/section_lock.h>

#include <oscalls/oscalls.h>
#include <seguard/seguard.h>

#include <console_interface.h>

#include <stdio.h>
#include <string.h>

#include <algorithm>

ClientNotifyManager gClientNotify;

namespace {

std::map<std::string, std::string>& TestEndpoints()
{
    static std::map<std::string, std::string> endpoints;
    return endpoints;
}
}  // namespace

long ConsoleNotification::Send(RPC_BINDING_HANDLE binding) const
{
    // Only the sender thread sends, so the implicit handle is its own.
    ConsoleInterface_Binding = binding;
    DWORD raised = 0;
    if (kind == kBatchEvent)
        raised = Guarded([&] { NotifyBatchEvent(code, text, id, value); });
    else if (kind == kObjectEvent)
        raised = Guarded([&] { NotifyObjectEvent(code, classID, id, text, secondText); });
    ConsoleInterface_Binding = NULL;
    return raised ? 1 : 0;
}

// ---------------------------------------------------------------------------
// ConsoleLink

ConsoleLink::ConsoleLink() : m_bound(FALSE), m_binding(NULL) {}

ConsoleLink::~ConsoleLink()
{
    FreeBinding();
}

void ConsoleLink::SetTestEndpoint(const char* host, const char* endpoint)
{
    if (endpoint)
        TestEndpoints()[host] = endpoint;
    else
        TestEndpoints().erase(host);
}

void ConsoleLink::FreeBinding()
{
    if (m_binding)
        RpcBindingFree(&m_binding);
    m_binding = NULL;
}

RPC_STATUS ConsoleLink::Bind(const char* host)
{
    if (m_bound)
        Unbind();
    auto mapped = TestEndpoints().find(host);
    const char* endpoint =
        mapped == TestEndpoints().end() ? CONSOLE_PIPE_ENDPOINT : mapped->second.c_str();
    RPC_STATUS status = Os<PipeBindingCalls>().Bind(host, endpoint, &m_binding);
    if (status != RPC_S_OK) {
        FreeBinding();
        m_bound = FALSE;
        return status;
    }
    m_bound = TRUE;
    m_hostName = host;
    return RPC_S_OK;
}

void ConsoleLink::Unbind()
{
    m_hostName.Empty();
    FreeBinding();
    m_bound = FALSE;
}

// ---------------------------------------------------------------------------
// ClientNotifyManager

ClientNotifyManager::ClientNotifyManager()
{
    InitializeCriticalSection(&m_lock);
}

ClientNotifyManager::~ClientNotifyManager()
{
    DiscardQueue();
    DeleteCriticalSection(&m_lock);
}

ConsoleNotification* ClientNotifyManager::NewRecord(long kind, long code, long id)
{
    if (m_consoles.empty() || m_queue.GetCount() >= kMaxQueued)
        return NULL;
    ConsoleNotification* record = new ConsoleNotification;
    record->kind = kind;
    record->code = code;
    record->id = id;
    record->value = 0;
    record->classID = 0;
    m_queue.AddTail(record);
    return record;
}

void ClientNotifyManager::QueueStatus(long code, const char* text, long id, long value)
{
    SectionLock lock(m_lock);
    ConsoleNotification* record = NewRecord(ConsoleNotification::kBatchEvent, code, id);
    if (!record)
        return;
    record->text = text;
    record->value = value;
}

void ClientNotifyManager::QueueRename(long code, long classID, long id, const char* oldName,
                                      const char* newName)
{
    SectionLock lock(m_lock);
    ConsoleNotification* record = NewRecord(ConsoleNotification::kObjectEvent, code, id);
    if (!record)
        return;
    record->text = oldName;
    record->secondText = newName;
    record->classID = classID;
}

void ClientNotifyManager::AddConsole(const std::shared_ptr<ConsoleLink>& link)
{
    SectionLock lock(m_lock);
    if (std::find(m_consoles.begin(), m_consoles.end(), link) == m_consoles.end())
        m_consoles.push_back(link);
}

void ClientNotifyManager::RemoveConsole(const ConsoleLink* link)
{
    SectionLock lock(m_lock);
    m_consoles.erase(std::remove_if(m_consoles.begin(), m_consoles.end(),
                                    [link](const std::shared_ptr<ConsoleLink>& registered) {
                                        return registered.get() == link;
                                    }),
                     m_consoles.end());
}

BOOL ClientNotifyManager::IsRegistered(const ConsoleLink* link)
{
    SectionLock lock(m_lock);
    for (const std::shared_ptr<ConsoleLink>& registered : m_consoles)
        if (registered.get() == link)
            return TRUE;
    return FALSE;
}

int ClientNotifyManager::GetConsoleCount()
{
    SectionLock lock(m_lock);
    return (int)m_consoles.size();
}

void ClientNotifyManager::Start()
{
    m_sender.Start(kSendPeriod, [this] { SendQueued(); });
}

void ClientNotifyManager::SendQueued()
{
    // Take the records and a share of every console, then send without any
    // lock: registration, session close and producers go on meanwhile.
    CObList records;
    std::vector<std::shared_ptr<ConsoleLink>> consoles;
    {
        SectionLock lock(m_lock);
        if (m_queue.IsEmpty())
            return;
        records.AddTail(&m_queue);
        m_queue.RemoveAll();
        consoles = m_consoles;
    }
    CNeoCriticalRelease release;
    while (!records.IsEmpty()) {
        std::unique_ptr<ConsoleNotification> record(
            static_cast<ConsoleNotification*>(records.RemoveHead()));
        for (auto console = consoles.begin(); console != consoles.end();) {
            if (record->Send((*console)->GetBinding()) == 0) {
                ++console;
                continue;
            }
            RemoveConsole(console->get());
            console = consoles.erase(console);
        }
    }
}

void ClientNotifyManager::Stop()
{
    printf("Stopping client notifiy manager......");
    fflush(stdout);
    // A console that does not answer keeps its send going: the stop gives
    // it a bounded time, and the links it uses stay alive through its shares.
    m_sender.Stop(kStopWait);
    std::vector<std::shared_ptr<ConsoleLink>> consoles;
    {
        SectionLock lock(m_lock);
        consoles.swap(m_consoles);
    }
    DiscardQueue();
    printf("stopped.\n");
    fflush(stdout);
}

void ClientNotifyManager::DiscardQueue()
{
    SectionLock lock(m_lock);
    while (!m_queue.IsEmpty())
        delete m_queue.RemoveHead();
}
