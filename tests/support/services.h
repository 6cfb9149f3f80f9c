// Services of the test programs, through the service control manager.
#ifndef TESTS_SUPPORT_SERVICES_H
#define TESTS_SUPPORT_SERVICES_H

#include <windows.h>

// TRUE once the service reaches `state` (within 15 s).
bool WaitForServiceState(SC_HANDLE service, DWORD state);
// Stops and deletes the service of that name when it is installed (left
// over from an earlier run, or at a test's end).
void RemoveServiceIfInstalled(SC_HANDLE manager, const char* name);

#endif
