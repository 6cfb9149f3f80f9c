// CControl of ZQServices: scripts start and stop the services of this
// machine.
#include <atl/atl.h>
#include <services/service_manager.h>

#include <string>
#include <vector>

#include "ZQServices.h"

namespace {

const WORD kTypeMismatch = 1001;
const WORD kNotOneDimension = 1002;

class Control : public atl::DispatchObject<ICControl, &IID_ICControl> {
public:
    STDMETHODIMP StartServiceA(BSTR name, VARIANT arguments, int* error) override;
    STDMETHODIMP StopService(BSTR name, int* error) override;
    STDMETHODIMP get_GetLastError(BSTR* text) override;

private:
    LONG lastError_ = 0;
};

// The strings of a one-dimensional BSTR array in index order; an element
// that cannot be fetched is skipped.
std::vector<std::string> ArrayStrings(SAFEARRAY* array)
{
    std::vector<std::string> strings;
    LONG lower = 0, upper = -1;
    SafeArrayGetLBound(array, 1, &lower);
    SafeArrayGetUBound(array, 1, &upper);
    for (LONG i = lower; i <= upper; ++i) {
        BSTR element = nullptr;
        if (FAILED(SafeArrayGetElement(array, &i, &element)))
            continue;
        strings.push_back(atl::BstrToAnsi(element));
        SysFreeString(element);
    }
    return strings;
}

STDMETHODIMP Control::StartServiceA(BSTR name, VARIANT arguments, int* error)
{
    lastError_ = 0;
    *error = 0;
    std::string service = atl::BstrToAnsi(name);
    if (V_VT(&arguments) != (VT_BYREF | VT_ARRAY | VT_BSTR))
        return Raise(kTypeMismatch, "Type Mismatch in Parameter. Pass a string array by reference");
    CServiceManager manager;
    if (!manager.Open(SC_MANAGER_ALL_ACCESS)) {
        lastError_ = *error = manager.GetErrorCode();
        return S_OK;
    }
    SAFEARRAY* array = V_ARRAYREF(&arguments) ? *V_ARRAYREF(&arguments) : nullptr;
    std::vector<std::string> strings;
    if (array) {
        if (SafeArrayGetDim(array) > 1)
            return Raise(kNotOneDimension, "Tokenize expects a one dimensioned array");
        strings = ArrayStrings(array);
    }
    std::vector<const char*> vector;
    for (const std::string& s : strings)
        vector.push_back(s.c_str());
    if (!manager.Start(service.c_str(), DWORD(vector.size()), vector.data()))
        lastError_ = *error = manager.GetErrorCode();
    return S_OK;
}

STDMETHODIMP Control::StopService(BSTR name, int* error)
{
    lastError_ = 0;
    *error = 0;
    std::string service = atl::BstrToAnsi(name);
    CServiceManager manager;
    if (!manager.Open(SC_MANAGER_ALL_ACCESS) || !manager.Stop(service.c_str()))
        lastError_ = *error = manager.GetErrorCode();
    return S_OK;
}

STDMETHODIMP Control::get_GetLastError(BSTR* text)
{
    atl::SystemMessageToBstr(lastError_, text);
    return S_OK;
}

const atl::ClassEntry kClasses[] = {
    {&CLSID_CControl, "ZQServices.Control.1", "ZQServices.Control", "CControl Class",
     &Control::Create<Control>},
};

}  // namespace

const atl::ModuleDescription atl::kThisModule = {kClasses, 1, &LIBID_ZQSERVICESLib};
