// Account rights, token privileges and this computer's name, shared by both
// services. Every platform call goes through Os<AccountCalls>().
#ifndef SERVER_ACCOUNT_RIGHTS_H
#define SERVER_ACCOUNT_RIGHTS_H

#include <oscalls/oscalls.h>

// Grants `account` (looked up on this computer) the right `right`, on the
// domain controller when `domain` is a non-empty text. 0 on success, 13 on
// any failure.
DWORD GrantAccountRight(const char* domain, const char* account, const char* right);
// Adds (or removes) one right; returns the status.
NTSTATUS SetAccountRight(LSA_HANDLE policy, PSID sid, const wchar_t* right, BOOL add);
// Opens the policy of `system` (NULL: this computer).
NTSTATUS OpenLsaPolicy(const wchar_t* system, ACCESS_MASK access, LSA_HANDLE* policy);
// The SID of an account, allocated with HeapAlloc on the process heap (the
// caller frees it with HeapFree); 1 on success, 0 on failure.
BOOL GetAccountSid(const char* system, const char* account, PSID* sid);
// Zero-fills length + 1 wide characters of `target` and converts `text`.
void AnsiToWide(wchar_t* target, const char* text, int length);
// 1 when the token lists the privilege, enabled or not.
BOOL TokenHasPrivilege(HANDLE token, const char* system, const char* privilege);
// This computer's name; 0 or the failure status (buffer untouched then).
NET_API_STATUS GetLocalComputerName(char* buffer, DWORD length);

#endif
