// The ServerInterface listener on \pipe\zqserver1.
#ifndef SERVER_RPC_LISTENER_H
#define SERVER_RPC_LISTENER_H

#include <rpc.h>

class CNeoDatabase;

#define SERVER_PIPE_ENDPOINT "\\pipe\\zqserver1"

// Serves ServerInterface over the server database on a named-pipe endpoint
// and returns at once (calls run on the runtime's threads); 0 or the failing
// call's code.
RPC_STATUS StartRpcServer(CNeoDatabase* serverDatabase,
                          const char* endpoint = SERVER_PIPE_ENDPOINT);
// Unregisters the interface without waiting for running calls.
void StopRpcServer();

// The sessions open now (for diagnostics).
int OpenSessionCount();

#endif
