// CControl of ZQProcess: the processes of this machine for scripts.
#include <atl/atl.h>
#include <psapi.h>

#include <vector>

#include "ZQProcess.h"

namespace {

// Rejected variant types raise this to the script.
const WORD kTypeMismatch = 1001;
// EnumProcesses given a null array reference.
const int kNullArray = 1;

class Control : public atl::DispatchObject<ICControl, &IID_ICControl> {
public:
    STDMETHODIMP EnumProcesses(VARIANT* processArray, int* error) override;
    STDMETHODIMP GetProcessName(int processId, BSTR* name, int* error) override;
    STDMETHODIMP Kill(int processId, int* error) override;
    STDMETHODIMP get_GetLastError(BSTR* text) override;

private:
    bool InvokeUntyped(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                       HRESULT& hr) override;

    LONG lastError_ = 0;
};

const DISPID kEnumProcessesId = 1;

bool Control::InvokeUntyped(DISPID id, WORD flags, DISPPARAMS* params, VARIANT* result,
                            HRESULT& hr)
{
    if (id != kEnumProcessesId || !(flags & DISPATCH_METHOD))
        return false;
    if (params->cArgs != 1 || params->cNamedArgs != 0) {
        hr = DISP_E_BADPARAMCOUNT;
        return true;
    }
    int error = 0;
    hr = EnumProcesses(&params->rgvarg[0], &error);
    if (SUCCEEDED(hr) && result) {
        V_VT(result) = VT_I4;
        V_I4(result) = error;
    }
    return true;
}

// Every process id of the machine; the buffer grows until the system
// leaves room to spare. False with the last error set when the call fails.
bool AllProcessIds(std::vector<DWORD>& ids)
{
    ids.resize(512);
    for (;;) {
        DWORD bytes = 0;
        if (!::EnumProcesses(ids.data(), DWORD(ids.size() * sizeof(DWORD)), &bytes))
            return false;
        if (bytes < ids.size() * sizeof(DWORD)) {
            ids.resize(bytes / sizeof(DWORD));
            return true;
        }
        ids.resize(ids.size() * 2);
    }
}

STDMETHODIMP Control::EnumProcesses(VARIANT* processArray, int* error)
{
    if (!processArray || V_VT(processArray) != (VT_BYREF | VT_ARRAY | VT_I4))
        return Raise(kTypeMismatch, "Type Mismatch in Parameter. Pass a long array by reference");
    *error = 0;
    SAFEARRAY** array = V_ARRAYREF(processArray);
    if (!array || !*array) {
        *error = kNullArray;
        return S_OK;
    }
    std::vector<DWORD> ids;
    if (!AllProcessIds(ids)) {
        *error = ::GetLastError();
        return S_OK;
    }
    // The caller's descriptor is kept (a script's array variable owns it):
    // its data is replaced and it becomes one zero-based dimension.
    SAFEARRAY* target = *array;
    HRESULT hr = SafeArrayDestroyData(target);
    if (SUCCEEDED(hr)) {
        target->cDims = 1;
        target->cbElements = sizeof(DWORD);
        target->rgsabound[0].lLbound = 0;
        target->rgsabound[0].cElements = ULONG(ids.size());
        hr = SafeArrayAllocData(target);
    }
    if (FAILED(hr)) {
        *error = HRESULT_CODE(hr);
        return S_OK;
    }
    memcpy(target->pvData, ids.data(), ids.size() * sizeof(DWORD));
    return S_OK;
}

STDMETHODIMP Control::GetProcessName(int processId, BSTR* name, int* error)
{
    char baseName[MAX_PATH] = "<unknown>";
    SetLastError(0);
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, processId);
    DWORD status = ::GetLastError();
    if (process) {
        HMODULE first;
        DWORD needed;
        status = 0;
        if (!EnumProcessModules(process, &first, sizeof first, &needed) ||
            !GetModuleBaseNameA(process, first, baseName, MAX_PATH)) {
            status = ::GetLastError();
            lstrcpyA(baseName, "<unknown>");
        }
        CloseHandle(process);
    }
    lastError_ = status;
    *error = status;
    *name = atl::AnsiToBstr(baseName);
    return S_OK;
}

STDMETHODIMP Control::Kill(int processId, int* error)
{
    *error = 0;
    HANDLE process = OpenProcess(PROCESS_ALL_ACCESS, FALSE, processId);
    if (process && TerminateProcess(process, 1)) {
        CloseHandle(process);
        return S_OK;
    }
    DWORD status = ::GetLastError();
    if (process)
        CloseHandle(process);
    lastError_ = status;
    *error = status;
    return S_OK;
}

STDMETHODIMP Control::get_GetLastError(BSTR* text)
{
    atl::SystemMessageToBstr(lastError_, text);
    return S_OK;
}

const atl::ClassEntry kClasses[] = {
    {&CLSID_CControl, "ZQProcess.Control.1", "ZQProcess.Control", "CControl Class",
     &Control::Create<Control>},
};

}  // namespace

const atl::ModuleDescription atl::kThisModule = {kClasses, 1, &LIBID_ZQPROCESSLib};
