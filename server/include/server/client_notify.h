// Console notifications: batch status and run phase changes, batches added
// and deleted, and renames, queued for the consoles that registered their
// call-back endpoint.
#ifndef SERVER_CLIENT_NOTIFY_H
#define SERVER_CLIENT_NOTIFY_H

#include <framework/framework.h>
#include <rpc.h>

// Event codes.
enum NotificationCode {
    kNotifyStatusChanged = 1,
    kNotifyPhaseChanged = 2,
    kNotifyBatchAdded = 3,
    kNotifyBatchDeleted = 4,
    kNotifyObjectRenamed = 5,
};

// One event: kind 1 a batch event (code, batch name, ID, value), kind 2 an
// object event (code, class, ID, old and new name).
class ConsoleNotification : public CObject {
public:
    enum { kBatchEvent = 1, kObjectEvent = 2 };
    long kind;
    long code;
    CString text;
    CString secondText;
    long id;
    long value;
    long classID;
};

// The server's binding to one console's ConsoleInterface.
class ConsoleLink {
public:
    ConsoleLink();
    ~ConsoleLink();
    ConsoleLink(const ConsoleLink&) = delete;
    ConsoleLink& operator=(const ConsoleLink&) = delete;

    // Binds to "\pipe\zqadmin1" on `host` (as given); returns the RPC status.
    // Nothing is sent while binding.
    RPC_STATUS Bind(const char* host);
    void Unbind();
    BOOL IsBound() const { return m_bound; }
    const CString& GetHostName() const { return m_hostName; }
    RPC_BINDING_HANDLE GetBinding() const { return m_binding; }

private:
    void FreeBinding();

    CString m_hostName;
    BOOL m_bound;
    unsigned char* m_stringBinding;
    RPC_BINDING_HANDLE m_binding;
};

class ClientNotifyManager {
public:
    // At most this many events wait; later ones are dropped.
    static constexpr int kMaxQueued = 2001;

    ~ClientNotifyManager();

    // Queue an event, only while a console is registered.
    void QueueStatus(long code, const char* text, long id, long value);
    void QueueRename(long code, long classID, long id, const char* oldName, const char* newName);

    // Registers or unregisters a console's link (not owned).
    void AddConsole(ConsoleLink* link);
    void RemoveConsole(ConsoleLink* link);
    int GetConsoleCount() const { return m_consoles.GetCount(); }

    // The queued events, oldest first.
    const CObList& GetQueue() const { return m_queue; }
    // Deletes the queued events.
    void DiscardQueue();

private:
    // A new queued record, or NULL when no console listens or the queue is
    // full (the event is dropped).
    ConsoleNotification* NewRecord(long kind, long code, long id);

    CObList m_queue;
    CPtrList m_consoles;
};

// The server's notification queue.
extern ClientNotifyManager gClientNotify;

#endif
