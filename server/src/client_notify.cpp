#include <server/client_notify.h>

#include <string.h>

ClientNotifyManager gClientNotify;

namespace {
const char* const kConsoleEndpoint = "\\pipe\\zqadmin1";
const char* const kConsoleProtocol = "ncacn_np";
}  // namespace

ConsoleLink::ConsoleLink() : m_bound(FALSE), m_stringBinding(NULL), m_binding(NULL) {}

ConsoleLink::~ConsoleLink()
{
    FreeBinding();
}

void ConsoleLink::FreeBinding()
{
    if (m_stringBinding)
        RpcStringFreeA(&m_stringBinding);
    if (m_binding)
        RpcBindingFree(&m_binding);
    m_stringBinding = NULL;
    m_binding = NULL;
}

RPC_STATUS ConsoleLink::Bind(const char* host)
{
    if (m_bound)
        Unbind();
    RPC_STATUS status = RpcStringBindingComposeA(
        NULL, (unsigned char*)kConsoleProtocol, (unsigned char*)host,
        (unsigned char*)kConsoleEndpoint, NULL, &m_stringBinding);
    if (status == RPC_S_OK)
        status = RpcBindingFromStringBindingA(m_stringBinding, &m_binding);
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

ClientNotifyManager::~ClientNotifyManager()
{
    DiscardQueue();
}

BOOL ClientNotifyManager::CanQueue() const
{
    return !m_consoles.IsEmpty() && m_queue.GetCount() < kMaxQueued;
}

void ClientNotifyManager::QueueStatus(long code, const char* text, long id, long value)
{
    if (!CanQueue())
        return;
    ConsoleNotification* record = new ConsoleNotification;
    record->kind = ConsoleNotification::kBatchEvent;
    record->code = code;
    record->text = text;
    record->id = id;
    record->value = value;
    record->classID = 0;
    m_queue.AddTail(record);
}

void ClientNotifyManager::QueueRename(long code, long classID, long id, const char* oldName,
                                      const char* newName)
{
    if (!CanQueue())
        return;
    ConsoleNotification* record = new ConsoleNotification;
    record->kind = ConsoleNotification::kObjectEvent;
    record->code = code;
    record->text = oldName;
    record->secondText = newName;
    record->id = id;
    record->value = 0;
    record->classID = classID;
    m_queue.AddTail(record);
}

void ClientNotifyManager::AddConsole(ConsoleLink* link)
{
    m_consoles.AddTail(link);
}

void ClientNotifyManager::RemoveConsole(ConsoleLink* link)
{
    POSITION at = m_consoles.Find(link);
    if (at)
        m_consoles.RemoveAt(at);
}

void ClientNotifyManager::DiscardQueue()
{
    while (!m_queue.IsEmpty())
        delete m_queue.RemoveHead();
}
