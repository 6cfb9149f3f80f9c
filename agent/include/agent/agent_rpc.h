// The AgentInterface listener on \pipe\zqagent1 and the sessions behind its
// context handle. Procedures 0-4 hold a ThreadMediatorGuard; Ping, the
// reserved procedure and GetLoad touch no database and take none.
// Statuses: 0 done, 1 a host name over 255 characters, 3 no link back to
// the server could be bound, 4 the agent is stopping, a code thrown inside a
// routine, or else the thread's last system error (never 0 for a failure).
#ifndef AGENT_AGENT_RPC_H
#define AGENT_AGENT_RPC_H

#include <agent_interface.h>

enum AgentStatus {
    kAgentStatusOK = 0,
    kAgentStatusRefused = 1,
    kAgentStatusNoServerLink = 3,
    kAgentStatusStopping = 4,
};

// Registers the interface and listens (at most 200 calls), returning at once;
// 0 or the failing call's code.
RPC_STATUS StartAgentRpcServer(const char* endpoint = AGENT_PIPE_ENDPOINT);
// Unregisters the interface without waiting for running calls.
void StopAgentRpcServer();

// The sessions open now (under a ThreadMediatorGuard of its own).
int AgentSessionCount();

#endif
