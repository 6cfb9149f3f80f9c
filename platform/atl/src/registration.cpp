// Registration of the module's classes and type library under
// HKEY_CLASSES_ROOT, from the object map.
#include "atl/atl.h"

namespace atl {
namespace {

std::string GuidText(const GUID& guid)
{
    wchar_t wide[40];
    StringFromGUID2(guid, wide, 40);
    char text[40];
    WideCharToMultiByte(CP_ACP, 0, wide, -1, text, sizeof text, nullptr, nullptr);
    return text;
}

// Creates HKCR\<path> with its default value (none when `value` is null)
// and one named value (none when `name` is null).
LONG WriteKey(const std::string& path, const char* value, const char* name = nullptr,
              const char* named = nullptr)
{
    HKEY key;
    LONG status = RegCreateKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr);
    if (status != ERROR_SUCCESS)
        return status;
    if (value)
        status = RegSetValueExA(key, nullptr, 0, REG_SZ, (const BYTE*)value, lstrlenA(value) + 1);
    if (status == ERROR_SUCCESS && name)
        status = RegSetValueExA(key, name, 0, REG_SZ, (const BYTE*)named, lstrlenA(named) + 1);
    RegCloseKey(key);
    return status;
}

// Deletes HKCR\<path> with everything below it; a missing key is no error.
LONG DeleteTree(const std::string& path)
{
    HKEY key;
    LONG status = RegOpenKeyExA(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_ALL_ACCESS, &key);
    if (status == ERROR_FILE_NOT_FOUND)
        return ERROR_SUCCESS;
    if (status != ERROR_SUCCESS)
        return status;
    char child[MAX_PATH];
    DWORD length = sizeof child;
    while (status == ERROR_SUCCESS &&
           RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr) ==
               ERROR_SUCCESS) {
        status = DeleteTree(path + "\\" + child);
        length = sizeof child;
    }
    RegCloseKey(key);
    return status == ERROR_SUCCESS ? RegDeleteKeyA(HKEY_CLASSES_ROOT, path.c_str()) : status;
}

LONG RegisterClass(const ClassEntry& entry, const std::string& modulePath,
                   const std::string& libid)
{
    std::string clsid = GuidText(*entry.clsid);
    std::string classKey = "CLSID\\" + clsid;
    const std::string independent = entry.versionIndependentProgId;
    const std::string versioned = entry.progId;
    LONG steps[] = {
        WriteKey(versioned, entry.description),
        WriteKey(versioned + "\\CLSID", clsid.c_str()),
        WriteKey(independent, entry.description),
        WriteKey(independent + "\\CLSID", clsid.c_str()),
        WriteKey(independent + "\\CurVer", entry.progId),
        WriteKey(classKey, entry.description),
        WriteKey(classKey + "\\ProgID", entry.progId),
        WriteKey(classKey + "\\VersionIndependentProgID", entry.versionIndependentProgId),
        WriteKey(classKey + "\\Programmable", nullptr),
        WriteKey(classKey + "\\InprocServer32", modulePath.c_str(), "ThreadingModel",
                 "Apartment"),
        WriteKey(classKey + "\\TypeLib", libid.c_str()),
    };
    for (LONG status : steps)
        if (status != ERROR_SUCCESS)
            return status;
    return ERROR_SUCCESS;
}

}  // namespace

HRESULT Module::RegisterServer()
{
    std::string path = Path();
    std::string libid = GuidText(*description_->libid);
    for (size_t i = 0; i < description_->classCount; ++i) {
        LONG status = RegisterClass(description_->classes[i], path, libid);
        if (status != ERROR_SUCCESS)
            return HRESULT_FROM_WIN32(status);
    }
    ITypeLib* registered = nullptr;
    HRESULT hr = LoadTypeLibEx(WidePath().c_str(), REGKIND_REGISTER, &registered);
    if (SUCCEEDED(hr))
        registered->Release();
    return hr;
}

HRESULT Module::UnregisterServer()
{
    for (size_t i = 0; i < description_->classCount; ++i) {
        const ClassEntry& entry = description_->classes[i];
        DeleteTree(entry.progId);
        DeleteTree(entry.versionIndependentProgId);
        DeleteTree("CLSID\\" + GuidText(*entry.clsid));
    }
    TLIBATTR* attributes = nullptr;
    HRESULT hr = LoadTypeLibrary();
    if (SUCCEEDED(hr))
        hr = typeLib_->GetLibAttr(&attributes);
    if (FAILED(hr))
        return hr;
    hr = UnRegisterTypeLib(attributes->guid, attributes->wMajorVerNum, attributes->wMinorVerNum,
                           attributes->lcid, attributes->syskind);
    typeLib_->ReleaseTLibAttr(attributes);
    // A library that was not registered is already where unregistration
    // leads.
    return hr == TYPE_E_REGISTRYACCESS ? S_OK : hr;
}

}  // namespace atl
