// Console notifications: batch status and run phase changes, batches added
// and deleted, and renames, queued for the consoles that registered their
// call-back endpoint, and sent to them every 125 ms by the sender thread.
//
// Lock rule: the queue and the console list are guarded by the manager's own
// lock, taken after gNeoCritical and never held across a remote call. The
// sender sends with gNeoCritical released, so a slow console delays no other
// thread. A link is shared by its session and the manager: a session closing
// while its console is being sent to drops its share, and the link goes when
// the send is over, never during it.
//
// Failures: a console whose call raises is unregistered at once and gets
// nothing more until it registers again; nothing is resent. Events wait only
// while a console is registered, at most 2001 of them.
#ifndef SERVER_CLIENT_NOTIFY_H
#define SERVER_CLIENT_NOTIFY_H

#include <server/periodic_worker.h>

#include <framework/framework.h>
#include <rpc.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

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

    // Sends the record through `binding`: 0 sent, 1 the call raised.
    long Send(RPC_BINDING_HANDLE binding) const;
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
    // Tests give consoles pipes of their own, by host text (NULL endpoint:
    // the default again).
    static void SetTestEndpoint(const char* host, const char* endpoint);
    void Unbind();
    BOOL IsBound() const { return m_bound; }
    const CString& GetHostName() const { return m_hostName; }
    RPC_BINDING_HANDLE GetBinding() const { return m_binding; }

private:
    void FreeBinding();

    CString m_hostName;
    BOOL m_bound;
    RPC_BINDING_HANDLE m_binding;
};

class ClientNotifyManager {
public:
    // At most this many events wait; later ones are dropped.
    static constexpr int kMaxQueued = 2001;
    static constexpr DWORD kSendPeriod = 125;
    // How long the stop waits for a send in progress.
    static constexpr DWORD kStopWait = 1000;

    ClientNotifyManager();
    ~ClientNotifyManager();

    // Queue an event, only while a console is registered.
    void QueueStatus(long code, const char* text, long id, long value);
    void QueueRename(long code, long classID, long id, const char* oldName, const char* newName);

    // Registers or unregisters a console's link; the manager keeps a share.
    void AddConsole(const std::shared_ptr<ConsoleLink>& link);
    void RemoveConsole(const ConsoleLink* link);
    BOOL IsRegistered(const ConsoleLink* link);
    int GetConsoleCount();

    // Starts the sender thread.
    void Start();
    // Prints its stop lines, ends the sender (waiting at most kStopWait for
    // a send in progress) and unregisters every console; queued events are
    // dropped.
    void Stop();
    // Sends every queued event to every registered console, oldest first.
    void SendQueued();

    // The queued events, oldest first (for tests, while no sender runs).
    const CObList& GetQueue() const { return m_queue; }
    // Deletes the queued events.
    void DiscardQueue();

private:
    // A new queued record, or NULL when no console listens or the queue is
    // full (the event is dropped). Called under the lock.
    ConsoleNotification* NewRecord(long kind, long code, long id);

    CRITICAL_SECTION m_lock;
    CObList m_queue;
    std::vector<std::shared_ptr<ConsoleLink>> m_consoles;
    PeriodicWorker m_sender;
};

// The server's notification queue.
extern ClientNotifyManager gClientNotify;

#endif
