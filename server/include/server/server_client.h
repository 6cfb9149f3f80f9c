// The client side of ServerInterface: the generated stubs call through one
// process-wide binding, which these routines set and free.
#ifndef SERVER_SERVER_CLIENT_H
#define SERVER_SERVER_CLIENT_H

#include <server/rpc_listener.h>
#include <server_interface.h>

// Binds the stubs to the server on a host (empty or NULL: this machine);
// replaces an earlier binding. Returns 0 or the runtime's code.
RPC_STATUS BindServerInterface(const char* host, const char* endpoint = SERVER_PIPE_ENDPOINT);
void UnbindServerInterface();

#endif
