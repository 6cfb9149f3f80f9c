#include <server/account_rights.h>
#include <server/account_test.h>

BOOL LogonBatchUser(const char* domain, const char* user, const char* password, HANDLE* token)
{
    // The result does not matter: a logon without the right fails anyway.
    GrantAccountRight(NULL, user, "SeBatchLogonRight");
    return Os<LogonCalls>().LogonUser(user, domain && *domain ? domain : NULL, password,
                                      LOGON32_LOGON_BATCH, LOGON32_PROVIDER_DEFAULT, token);
}
