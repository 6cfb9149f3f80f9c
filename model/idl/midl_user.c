/* The memory routines of the generated stubs: blobs that a server returns
   are allocated here and freed by the runtime. */
#include <rpc.h>
#include <stdlib.h>

void* __RPC_USER MIDL_user_allocate(size_t size)
{
    return malloc(size);
}

void __RPC_USER MIDL_user_free(void* block)
{
    free(block);
}
