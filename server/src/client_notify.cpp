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

ConsoleNotification* ClientNotifyManager::NewRecord(long kind, long code, long id)
{
    if (m_consoles.IsEmpty() || m_queue.GetCount() >= kMaxQueued)
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
    ConsoleNotification* record = NewRecord(ConsoleNotification::kBatchEvent, code, id);
    if (!record)
        return;
    record->text = text;
    record->value = value;
}

void ClientNotifyManager::QueueRename(long code, long classID, long id, const char* oldName,
                                      const char* newName)
{
    ConsoleNotification* record = NewRecord(ConsoleNotification::kObjectEvent, code, id);
    if (!record)
        return;
    record->text = oldName;
    record->secondText = newName;
    record->classID = classID;
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
