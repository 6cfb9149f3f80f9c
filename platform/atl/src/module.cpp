// The module, its class factory, the dispatch root and the DLL entry points.
#include "atl/atl.h"

#include <new>

namespace atl {

Module& TheModule()
{
    static Module module;
    return module;
}

void Module::Init(const ModuleDescription& description, HINSTANCE instance)
{
    description_ = &description;
    instance_ = instance;
}

void Module::Term()
{
    if (typeLib_) {
        typeLib_->Release();
        typeLib_ = nullptr;
    }
}

LONG Module::Lock() { return InterlockedIncrement(&lockCount_); }
LONG Module::Unlock() { return InterlockedDecrement(&lockCount_); }

std::string Module::Path() const
{
    char path[MAX_PATH];
    DWORD length = GetModuleFileNameA(instance_, path, MAX_PATH);
    return std::string(path, length);
}

HRESULT Module::GetClassObject(REFCLSID clsid, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    for (size_t i = 0; i < description_->classCount; ++i) {
        const ClassEntry& entry = description_->classes[i];
        if (*entry.clsid != clsid)
            continue;
        ClassFactory* factory = new (std::nothrow) ClassFactory(entry.create);
        if (!factory)
            return E_OUTOFMEMORY;
        HRESULT hr = factory->QueryInterface(riid, object);
        factory->Release();
        return hr;
    }
    return CLASS_E_CLASSNOTAVAILABLE;
}

HRESULT Module::CanUnloadNow() const { return lockCount_ == 0 ? S_OK : S_FALSE; }

std::wstring Module::WidePath() const
{
    wchar_t path[MAX_PATH];
    DWORD length = GetModuleFileNameW(instance_, path, MAX_PATH);
    return std::wstring(path, length);
}

HRESULT Module::LoadTypeLibrary()
{
    if (typeLib_)
        return S_OK;
    return LoadTypeLibEx(WidePath().c_str(), REGKIND_NONE, &typeLib_);
}

HRESULT Module::GetTypeInfo(REFGUID guid, ITypeInfo** info)
{
    HRESULT hr = LoadTypeLibrary();
    if (FAILED(hr))
        return hr;
    return typeLib_->GetTypeInfoOfGuid(guid, info);
}

ClassFactory::ClassFactory(CreateFunction create) : create_(create) { TheModule().Lock(); }

STDMETHODIMP ClassFactory::QueryInterface(REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
        *object = static_cast<IClassFactory*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP_(ULONG) ClassFactory::AddRef() { return InterlockedIncrement(&refs_); }

STDMETHODIMP_(ULONG) ClassFactory::Release()
{
    LONG left = InterlockedDecrement(&refs_);
    if (left == 0) {
        TheModule().Unlock();
        delete this;
    }
    return left;
}

STDMETHODIMP ClassFactory::CreateInstance(IUnknown* outer, REFIID riid, void** object)
{
    if (!object)
        return E_POINTER;
    *object = nullptr;
    if (outer)
        return CLASS_E_NOAGGREGATION;
    return create_(riid, object);
}

STDMETHODIMP ClassFactory::LockServer(BOOL lock)
{
    if (lock)
        TheModule().Lock();
    else
        TheModule().Unlock();
    return S_OK;
}

HRESULT RaisedHresult(WORD code) { return MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, code); }

HRESULT ObjectRoot::Raise(WORD code, const char* description, REFIID iid)
{
    raisedCode_ = code;
    raisedDescription_ = description;
    ICreateErrorInfo* create = nullptr;
    if (SUCCEEDED(CreateErrorInfo(&create))) {
        BSTR text = AnsiToBstr(description);
        create->SetDescription(text);
        create->SetGUID(iid);
        SysFreeString(text);
        IErrorInfo* error = nullptr;
        if (SUCCEEDED(create->QueryInterface(IID_IErrorInfo, (void**)&error))) {
            SetErrorInfo(0, error);
            error->Release();
        }
        create->Release();
    }
    return RaisedHresult(code);
}

HRESULT ObjectRoot::FinishInvoke(HRESULT result, EXCEPINFO* excepInfo)
{
    if (raisedCode_ == 0)
        return result;
    WORD code = raisedCode_;
    raisedCode_ = 0;
    if (excepInfo) {
        SysFreeString(excepInfo->bstrSource);
        SysFreeString(excepInfo->bstrDescription);
        SysFreeString(excepInfo->bstrHelpFile);
        ZeroMemory(excepInfo, sizeof *excepInfo);
        excepInfo->scode = RaisedHresult(code);
        excepInfo->bstrDescription = AnsiToBstr(raisedDescription_.c_str());
    }
    return DISP_E_EXCEPTION;
}

}  // namespace atl

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        atl::TheModule().Init(atl::kThisModule, instance);
        DisableThreadLibraryCalls(instance);
    } else if (reason == DLL_PROCESS_DETACH) {
        atl::TheModule().Term();
    }
    return TRUE;
}

STDAPI DllCanUnloadNow() { return atl::TheModule().CanUnloadNow(); }

STDAPI DllGetClassObject(REFCLSID clsid, REFIID riid, LPVOID* object)
{
    return atl::TheModule().GetClassObject(clsid, riid, object);
}

STDAPI DllRegisterServer() { return atl::TheModule().RegisterServer(); }

STDAPI DllUnregisterServer() { return atl::TheModule().UnregisterServer(); }
