#include <server/server_client.h>

RPC_STATUS BindServerInterface(const char* host, const char* endpoint)
{
    UnbindServerInterface();
    RPC_CSTR text = NULL;
    RPC_STATUS status = RpcStringBindingComposeA(NULL, (RPC_CSTR) "ncacn_np", (RPC_CSTR)host,
                                                 (RPC_CSTR)endpoint, NULL, &text);
    if (status != RPC_S_OK)
        return status;
    status = RpcBindingFromStringBindingA(text, &ServerInterface_Binding);
    RpcStringFreeA(&text);
    return status;
}

void UnbindServerInterface()
{
    if (ServerInterface_Binding != NULL)
        RpcBindingFree(&ServerInterface_Binding);
}
