// Tests that the server can log an account on, as TestBatchLogon and
// TestFileAccess answer the console.
#ifndef SERVER_ACCOUNT_TEST_H
#define SERVER_ACCOUNT_TEST_H

#include <oscalls/oscalls.h>

// Grants the user "SeBatchLogonRight" on this computer and logs it on for
// batch work; the token goes to *token, closed with Os<LogonCalls>().CloseToken.
BOOL LogonBatchUser(const char* domain, const char* user, const char* password, HANDLE* token);

#endif
