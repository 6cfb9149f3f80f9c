// Results of finished steps: the agents post them as object streams, a
// worker applies them to the stored run instances once a second.
#ifndef SERVER_AGENT_UPDATES_H
#define SERVER_AGENT_UPDATES_H

#include <server/periodic_worker.h>

#include <model/object_stream.h>

#include <vector>

// One posted result: the run instance's ID and a copy of the stream.
class AgentUpdate {
public:
    AgentUpdate(long processID, const void* bytes, unsigned long length);
    virtual ~AgentUpdate() {}
    long processID;
    std::vector<BYTE> bytes;
};

class AgentUpdateManager {
public:
    // At most this many results wait.
    static constexpr int kMaxQueued = 15;

    AgentUpdateManager();
    ~AgentUpdateManager();

    // Starts the worker that applies the results to `database`; returns 1.
    BOOL Start(CNeoDatabase* database);
    // The database Apply updates (Start sets it).
    void SetDatabase(CNeoDatabase* database) { m_database = database; }
    BOOL Stop();
    // Queues a result: 0 queued, 1 refused (the queue is full).
    long Post(long processID, const void* bytes, unsigned long length);
    // Applies the queued results (in the order posted) and empties the queue.
    void Apply();
    int GetQueuedCount();

private:
    void ApplyOne(const AgentUpdate& update);
    void OpenView();

    CRITICAL_SECTION m_lock;
    std::vector<AgentUpdate*> m_queue;
    CNeoMemLocation m_location;
    CNeoDatabase m_view;
    CNeoDatabase* m_database;
    PeriodicWorker m_worker;
};

// The server's result queue.
extern AgentUpdateManager gAgentUpdates;

#endif
