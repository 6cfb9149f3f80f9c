#include <server/server_client.h>

#include <oscalls/oscalls.h>

RPC_STATUS BindServerInterface(const char* host, const char* endpoint)
{
    UnbindServerInterface();
    return Os<PipeBindingCalls>().Bind(host, endpoint, &ServerInterface_Binding);
}

void UnbindServerInterface()
{
    if (ServerInterface_Binding != NULL)
        RpcBindingFree(&ServerInterface_Binding);
}
