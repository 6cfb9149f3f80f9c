#include "services/registry.h"

#include <string.h>

namespace {

const DWORD kKeyNameChars = 2047;
const DWORD kValueNameChars = 2048;
const DWORD kStringValueBytes = 2048;
const DWORD kSubkeyNameBytes = 260;

const char* RootName(HKEY root)
{
    struct Named {
        HKEY key;
        const char* name;
    };
    static const Named kRoots[] = {
        {HKEY_CLASSES_ROOT, "HKEY_CLASSES_ROOT"},
        {HKEY_CURRENT_USER, "HKEY_CURRENT_USER"},
        {HKEY_LOCAL_MACHINE, "HKEY_LOCAL_MACHINE"},
        {HKEY_USERS, "HKEY_USERS"},
        {HKEY_PERFORMANCE_DATA, "HKEY_PERFORMANCE_DATA"},
        {HKEY_CURRENT_CONFIG, "HKEY_CURRENT_CONFIG"},
        {HKEY_DYN_DATA, "HKEY_DYN_DATA"},
    };
    for (const Named& n : kRoots)
        if (n.key == root)
            return n.name;
    return "Unknown";
}

// Deletes `name` below `parent` with every key below it: the first failing
// step's code.
LONG DeleteTree(HKEY parent, const char* name)
{
    HKEY key;
    LONG status = RegOpenKeyExA(parent, name, 0, KEY_ALL_ACCESS, &key);
    if (status != ERROR_SUCCESS)
        return status;
    char child[kSubkeyNameBytes];
    for (;;) {
        DWORD length = sizeof child;
        status = RegEnumKeyExA(key, 0, child, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status == ERROR_SUCCESS)
            status = DeleteTree(key, child);
        if (status != ERROR_SUCCESS) {
            RegCloseKey(key);
            return status;
        }
    }
    RegCloseKey(key);
    return RegDeleteKeyA(parent, name);
}

}  // namespace

CRegistry::~CRegistry() { Close(); }

int CRegistry::Fail(LONG code)
{
    errorCode_ = code;
    return 0;
}

int CRegistry::Check(LONG status)
{
    return status == ERROR_SUCCESS ? 1 : Fail(status);
}

void CRegistry::CloseKey()
{
    if (key_)
        RegCloseKey(key_);
    key_ = nullptr;
}

int CRegistry::Close()
{
    CloseKey();
    LONG status = root_ ? RegCloseKey(root_) : ERROR_SUCCESS;
    root_ = nullptr;
    className_.clear();
    computerName_.clear();
    keyName_.clear();
    rootName_.clear();
    subkeys_ = values_ = longestSubkeyName_ = longestClassName_ = 0;
    longestValueName_ = longestValueData_ = securityLength_ = 0;
    lastWrite_ = FILETIME();
    return Check(status);
}

int CRegistry::Connect(HKEY root, const char* machine)
{
    Close();
    bool remote = machine && *machine;
    if (root == HKEY_CLASSES_ROOT || root == HKEY_CURRENT_USER) {
        if (remote)
            return Fail(ERROR_INVALID_HANDLE);
        root_ = root;
    } else {
        HKEY connected = nullptr;
        LONG status = RegConnectRegistryA(remote ? machine : nullptr, root, &connected);
        if (status != ERROR_SUCCESS)
            return Fail(status);
        root_ = connected;
    }
    if (remote) {
        computerName_ = machine;
    } else {
        char name[260];
        DWORD length = sizeof name;
        computerName_ = ::GetComputerNameA(name, &length) ? name : "";
    }
    rootName_ = RootName(root);
    return 1;
}

int CRegistry::Open(const char* subkey, REGSAM access)
{
    if (!root_)
        return Fail(ERROR_INVALID_HANDLE);
    CloseKey();
    LONG status = RegOpenKeyExA(root_, subkey, 0, access, &key_);
    if (status != ERROR_SUCCESS) {
        key_ = nullptr;
        return Fail(status);
    }
    keyName_ = subkey ? subkey : "";
    return QueryInfo();
}

int CRegistry::Create(const char* subkey, const char* className, DWORD options, REGSAM access,
                      SECURITY_ATTRIBUTES* security, DWORD* disposition)
{
    if (!subkey)
        return Fail(ERROR_INVALID_PARAMETER);
    if (!root_)
        return Fail(ERROR_INVALID_HANDLE);
    CloseKey();
    DWORD created = 0;
    LONG status = RegCreateKeyExA(root_, subkey, 0, const_cast<char*>(className ? className : ""),
                                  options, access, security, &key_, &created);
    if (status != ERROR_SUCCESS) {
        key_ = nullptr;
        return Fail(status);
    }
    if (disposition)
        *disposition = created;
    keyName_ = subkey;
    return 1;
}

int CRegistry::DeleteKey(const char* name)
{
    if (!name)
        return Fail(ERROR_INVALID_PARAMETER);
    std::string path = name;
    size_t split = path.rfind('\\');
    if (split != std::string::npos) {
        std::string previous = keyName_;
        if (!Open(path.substr(0, split).c_str(), KEY_ALL_ACCESS)) {
            keyName_ = previous;
            return 0;
        }
        path = path.substr(split + 1);
    }
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(DeleteTree(key_, path.c_str()));
}

int CRegistry::DeleteValue(const char* name)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegDeleteValueA(key_, name));
}

int CRegistry::EnumerateKeys(DWORD index, std::string& name, std::string& className)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    char keyName[kKeyNameChars + 1], keyClass[kKeyNameChars + 1];
    DWORD nameLength = sizeof keyName, classLength = sizeof keyClass;
    FILETIME written;
    LONG status = RegEnumKeyExA(key_, index, keyName, &nameLength, nullptr, keyClass,
                                &classLength, &written);
    if (status != ERROR_SUCCESS)
        return Fail(status);
    name.assign(keyName, nameLength);
    className.assign(keyClass, classLength);
    return 1;
}

int CRegistry::EnumerateValues(DWORD index, std::string& name, DWORD& type, BYTE* data,
                               DWORD& size)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    char valueName[kValueNameChars + 1];
    DWORD nameLength = sizeof valueName;
    LONG status = RegEnumValueA(key_, index, valueName, &nameLength, nullptr, &type, data, &size);
    if (status != ERROR_SUCCESS)
        return Fail(status);
    name.assign(valueName, nameLength);
    return 1;
}

int CRegistry::Flush()
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegFlushKey(key_));
}

int CRegistry::QueryInfo()
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    char keyClass[kKeyNameChars + 1] = "";
    DWORD classLength = sizeof keyClass;
    LONG status = RegQueryInfoKeyA(key_, keyClass, &classLength, nullptr, &subkeys_,
                                   &longestSubkeyName_, &longestClassName_, &values_,
                                   &longestValueName_, &longestValueData_, &securityLength_,
                                   &lastWrite_);
    if (status != ERROR_SUCCESS)
        return Fail(status);
    className_.assign(keyClass, classLength);
    return 1;
}

int CRegistry::QueryValue(const char* name, DWORD& type, BYTE* data, DWORD& size)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegQueryValueExA(key_, name, nullptr, &type, data, &size));
}

int CRegistry::ReadValue(const char* name, DWORD& type, std::vector<BYTE>& bytes)
{
    DWORD size = 0;
    if (!QueryValue(name, type, nullptr, size))
        return 0;
    bytes.assign(size, 0);
    if (!QueryValue(name, type, bytes.data(), size))
        return 0;
    bytes.resize(size);
    return 1;
}

int CRegistry::GetStringValue(const char* name, std::string& text)
{
    text.clear();
    char buffer[kStringValueBytes + 1] = "";
    DWORD type = REG_SZ, size = kStringValueBytes;
    if (!QueryValue(name, type, (BYTE*)buffer, size))
        return 0;
    buffer[size < kStringValueBytes ? size : kStringValueBytes] = '\0';
    text = buffer;
    return 1;
}

int CRegistry::GetDoubleWordValue(const char* name, DWORD& value)
{
    DWORD type = REG_DWORD, size = sizeof value;
    return QueryValue(name, type, (BYTE*)&value, size);
}

int CRegistry::GetBinaryValue(const char* name, std::vector<BYTE>& bytes)
{
    if (!QueryInfo())
        return 0;
    std::vector<BYTE> data(longestValueData_);
    DWORD type = REG_BINARY, size = DWORD(data.size());
    if (!QueryValue(name, type, data.data(), size))
        return 0;
    bytes.assign(data.begin(), data.begin() + size);
    return 1;
}

int CRegistry::GetStringArrayValue(const char* name, std::vector<std::string>& strings)
{
    strings.clear();
    DWORD type = REG_MULTI_SZ;
    std::vector<BYTE> bytes;
    if (!ReadValue(name, type, bytes))
        return 0;
    bytes.push_back(0);  // a list stored without its final NUL still ends
    bytes.push_back(0);
    for (const char* s = (const char*)bytes.data(); *s; s += strlen(s) + 1)
        strings.push_back(s);
    return 1;
}

int CRegistry::GetSecurity(SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR descriptor,
                           DWORD& size)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegGetKeySecurity(key_, which, descriptor, &size));
}

int CRegistry::SetSecurity(SECURITY_INFORMATION which, PSECURITY_DESCRIPTOR descriptor)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegSetKeySecurity(key_, which, descriptor));
}

int CRegistry::Load(const char* subkey, const char* file)
{
    if (!root_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegLoadKeyA(root_, subkey, file));
}

int CRegistry::UnLoad(const char* subkey)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegUnLoadKeyA(key_, subkey));
}

int CRegistry::Replace(const char* subkey, const char* newFile, const char* oldFile)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegReplaceKeyA(key_, subkey, newFile, oldFile));
}

int CRegistry::Restore(const char* file, DWORD flags)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegRestoreKeyA(key_, file, flags));
}

int CRegistry::Save(const char* file, SECURITY_ATTRIBUTES* security)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegSaveKeyA(key_, file, security));
}

int CRegistry::NotifyChange(HANDLE event, DWORD filter, BOOL subtree, BOOL async)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegNotifyChangeKeyValue(key_, subtree, filter, event, async));
}

int CRegistry::SetValue(const char* name, DWORD type, const BYTE* data, DWORD size)
{
    if (!key_)
        return Fail(ERROR_INVALID_HANDLE);
    return Check(RegSetValueExA(key_, name, 0, type, data, size));
}

int CRegistry::SetStringValue(const char* name, const std::string& text, DWORD type)
{
    return SetValue(name, type, (const BYTE*)text.c_str(), DWORD(text.size() + 1));
}

int CRegistry::SetDoubleWordValue(const char* name, DWORD value)
{
    return SetValue(name, REG_DWORD, (const BYTE*)&value, sizeof value);
}

int CRegistry::SetBinaryValue(const char* name, const std::vector<BYTE>& bytes)
{
    return SetValue(name, REG_BINARY, bytes.data(), DWORD(bytes.size()));
}

int CRegistry::SetStringArrayValue(const char* name, const std::vector<std::string>& strings)
{
    std::string joined;
    for (const std::string& s : strings)
        joined.append(s.c_str(), s.size() + 1);
    joined.push_back('\0');
    return SetValue(name, REG_MULTI_SZ, (const BYTE*)joined.data(), DWORD(joined.size()));
}

int CRegistry::GetValue(const char* name, std::vector<std::string>& strings)
{
    return name ? GetStringArrayValue(name, strings) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::GetValue(const char* name, std::string& text)
{
    return name ? GetStringValue(name, text) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::GetValue(const char* name, DWORD& value)
{
    return name ? GetDoubleWordValue(name, value) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::GetValue(const char* name, std::vector<BYTE>& bytes)
{
    return name ? GetBinaryValue(name, bytes) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::SetValue(const char* name, const std::string& text)
{
    return name ? SetStringValue(name, text) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::SetValue(const char* name, const std::vector<std::string>& strings)
{
    return name ? SetStringArrayValue(name, strings) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::SetValue(const char* name, DWORD value)
{
    return name ? SetDoubleWordValue(name, value) : Fail(ERROR_INVALID_PARAMETER);
}

int CRegistry::SetValue(const char* name, const std::vector<BYTE>& bytes)
{
    return name ? SetBinaryValue(name, bytes) : Fail(ERROR_INVALID_PARAMETER);
}
