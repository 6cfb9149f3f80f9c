// atl: the plumbing of Vantorel's in-process automation components.
//
// WHAT A COMPONENT GETS
// - One module per DLL: its lock count (live objects plus LockServer), its
//   object map (a table of ClassEntry), its instance handle and its LIBID.
//   The component defines `atl::kThisModule`; DllMain in this library
//   initialises the module from it, so a component writes no entry point.
// - The four in-process entry points DllCanUnloadNow, DllGetClassObject,
//   DllRegisterServer and DllUnregisterServer; the component's .def file
//   exports them.
// - Registration writes, under HKEY_CLASSES_ROOT, for every class entry:
//   ProgID and version-independent ProgID (description, CLSID, CurVer) and
//   CLSID\{clsid} (description, ProgID, VersionIndependentProgID,
//   Programmable, InprocServer32 with ThreadingModel "Apartment", TypeLib);
//   then registers the type library embedded as resource TYPELIB 1.
//   Unregistration removes the same keys and the type library; the CLSID key
//   itself is never removed.
// - DispatchObject<I>: a reference-counted object with IUnknown, IDispatch
//   over the embedded type library (member names, dispids and argument
//   conversion come from the library) and ISupportErrorInfo.
//
// EXCEPTIONS RAISED TO SCRIPTS
// - A method calls Raise(code, description) and returns what it returns:
//   RaisedHresult(code), a failure HRESULT of FACILITY_CONTROL whose low
//   word is the code, with the error object for vtable callers. Callers
//   through IDispatch::Invoke get DISP_E_EXCEPTION with that HRESULT as
//   EXCEPINFO.scode and the description; scripting hosts show it as the
//   run-time error `code`.
//
// THREADS AND LOCKS
// - Components are registered Apartment-threaded: an object is used by one
//   thread at a time. The lock count is interlocked; nothing else is shared.
#ifndef ATL_ATL_H
#define ATL_ATL_H

#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>
#include <string>

namespace atl {

// Creates an object of one class and answers `riid` on it.
using CreateFunction = HRESULT (*)(REFIID riid, void** object);

struct ClassEntry {
    const CLSID* clsid;
    const char* progId;                    // e.g. "ZQProcess.Control.1"
    const char* versionIndependentProgId;  // e.g. "ZQProcess.Control"
    const char* description;               // the coclass's doc string
    CreateFunction create;
};

struct ModuleDescription {
    const ClassEntry* classes;
    size_t classCount;
    const GUID* libid;
};

// Defined by each component.
extern const ModuleDescription kThisModule;

class Module {
public:
    void Init(const ModuleDescription& description, HINSTANCE instance);
    void Term();

    LONG Lock();
    LONG Unlock();
    LONG LockCount() const { return lockCount_; }
    HINSTANCE Instance() const { return instance_; }
    const ModuleDescription& Description() const { return *description_; }
    // The DLL's full path.
    std::string Path() const;

    HRESULT GetClassObject(REFCLSID clsid, REFIID riid, void** object);
    HRESULT CanUnloadNow() const;
    HRESULT RegisterServer();
    HRESULT UnregisterServer();

    // Type information of `guid` in the embedded type library (loaded once).
    HRESULT GetTypeInfo(REFGUID guid, ITypeInfo** info);

private:
    HRESULT LoadTypeLibrary();
    std::wstring WidePath() const;

    const ModuleDescription* description_ = nullptr;
    HINSTANCE instance_ = nullptr;
    LONG lockCount_ = 0;
    ITypeLib* typeLib_ = nullptr;
};

Module& TheModule();

// Class object handing out instances through one CreateFunction.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateFunction create);
    virtual ~ClassFactory() = default;
    STDMETHODIMP QueryInterface(REFIID riid, void** object) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** object) override;
    STDMETHODIMP LockServer(BOOL lock) override;

private:
    LONG refs_ = 1;
    CreateFunction create_;
};

HRESULT RaisedHresult(WORD code);

// Shared root of the dispatch objects: reference count, module lock, the
// exception a method raised.
class ObjectRoot {
protected:
    ObjectRoot() { TheModule().Lock(); }
    virtual ~ObjectRoot() { TheModule().Unlock(); }

    // Records the exception for Invoke and the error object for vtable
    // callers; returns the HRESULT the method gives back.
    HRESULT Raise(WORD code, const char* description, REFIID iid);
    // After a call through Invoke: turns a raised exception into EXCEPINFO.
    HRESULT FinishInvoke(HRESULT result, EXCEPINFO* excepInfo);

    LONG refs_ = 0;

private:
    WORD raisedCode_ = 0;
    std::string raisedDescription_;
};

template <class Interface, const IID* InterfaceId>
class DispatchObject : public Interface, public ISupportErrorInfo, protected ObjectRoot {
public:
    ~DispatchObject() override
    {
        if (typeInfo_)
            typeInfo_->Release();
    }

    STDMETHODIMP QueryInterface(REFIID riid, void** object) override
    {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        if (riid == IID_IUnknown || riid == IID_IDispatch || riid == *InterfaceId)
            *object = static_cast<Interface*>(this);
        else if (riid == IID_ISupportErrorInfo)
            *object = static_cast<ISupportErrorInfo*>(this);
        else
            *object = QueryOther(riid);
        if (!*object)
            return E_NOINTERFACE;
        AddRef();
        return S_OK;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return InterlockedIncrement(&refs_); }
    STDMETHODIMP_(ULONG) Release() override
    {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0)
            delete this;
        return left;
    }

    STDMETHODIMP GetTypeInfoCount(UINT* count) override
    {
        if (!count)
            return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override
    {
        if (!info)
            return E_POINTER;
        *info = nullptr;
        if (index != 0)
            return DISP_E_BADINDEX;
        return TheModule().GetTypeInfo(*InterfaceId, info);
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID,
                               DISPID* ids) override
    {
        ITypeInfo* info = nullptr;
        HRESULT hr = InterfaceInfo(&info);
        return FAILED(hr) ? hr : DispGetIDsOfNames(info, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                        VARIANT* result, EXCEPINFO* excepInfo, UINT* argError) override
    {
        HRESULT hr = S_OK;
        if (InvokeUntyped(id, flags, params, result, hr))
            return FinishInvoke(hr, excepInfo);
        ITypeInfo* info = nullptr;
        hr = InterfaceInfo(&info);
        if (FAILED(hr))
            return hr;
        hr = DispInvoke(static_cast<Interface*>(this), info, id, flags, params, result,
                        excepInfo, argError);
        return FinishInvoke(hr, excepInfo);
    }

    STDMETHODIMP InterfaceSupportsErrorInfo(REFIID riid) override
    {
        return riid == *InterfaceId ? S_OK : S_FALSE;
    }

    template <class Derived>
    static HRESULT Create(REFIID riid, void** object)
    {
        Derived* created = new (std::nothrow) Derived;
        if (!created)
            return E_OUTOFMEMORY;
        created->AddRef();
        HRESULT hr = created->QueryInterface(riid, object);
        created->Release();
        return hr;
    }

protected:
    // Further interfaces of a derived class (no reference added).
    virtual void* QueryOther(REFIID) { return nullptr; }
    // A member that takes a VARIANT* and must see the caller's argument as it
    // was passed (the type library's conversion would hand it an empty one):
    // the derived class calls it itself, sets `hr` and answers true.
    virtual bool InvokeUntyped(DISPID, WORD, DISPPARAMS*, VARIANT*, HRESULT&) { return false; }
    HRESULT Raise(WORD code, const char* description)
    {
        return ObjectRoot::Raise(code, description, *InterfaceId);
    }

private:
    // The interface's type information, looked up once per object: every
    // late-bound call needs it.
    HRESULT InterfaceInfo(ITypeInfo** info)
    {
        HRESULT hr = S_OK;
        if (!typeInfo_)
            hr = TheModule().GetTypeInfo(*InterfaceId, &typeInfo_);
        *info = typeInfo_;
        return hr;
    }
    ITypeInfo* typeInfo_ = nullptr;
};

// Strings across the automation boundary, in the system ANSI code page.
// A failed allocation gives a null BSTR.
BSTR AnsiToBstr(const char* text);
std::string BstrToAnsi(BSTR text);
// The system's message text of `code` (user's default language) as a new
// BSTR in *text; an empty string when the system has none.
void SystemMessageToBstr(DWORD code, BSTR* text);

}  // namespace atl

#endif
