// A blob that the ServerInterface client stubs filled; frees its bytes.
#ifndef TESTS_SERVER_RPC_REPLY_H
#define TESTS_SERVER_RPC_REPLY_H

#include <server/server_client.h>

#include <vector>

struct Reply : RpcBlob {
    Reply() : RpcBlob{0, NULL} {}
    ~Reply() { MIDL_user_free(data); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
    std::vector<BYTE> Bytes() const { return std::vector<BYTE>(data, data + size); }
};

#endif
