#include <server/account_test.h>

BOOL LogonBatchUser(const char* domain, const char* user, const char* password, HANDLE* token)
{
    return LogonUserA(user, domain && *domain ? domain : NULL, password, LOGON32_LOGON_BATCH,
                      LOGON32_PROVIDER_DEFAULT, token);
}
