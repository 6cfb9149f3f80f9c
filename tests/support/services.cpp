#include "services.h"

bool WaitForServiceState(SC_HANDLE service, DWORD state)
{
    SERVICE_STATUS status;
    for (int i = 0; i < 300; ++i) {
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state)
            return true;
        Sleep(50);
    }
    return false;
}

void RemoveServiceIfInstalled(SC_HANDLE manager, const char* name)
{
    SC_HANDLE service = OpenServiceA(manager, name, SERVICE_ALL_ACCESS);
    if (!service)
        return;
    SERVICE_STATUS status;
    if (ControlService(service, SERVICE_CONTROL_STOP, &status))
        WaitForServiceState(service, SERVICE_STOPPED);
    DeleteService(service);
    CloseServiceHandle(service);
}
