#include "automation.h"

#include "processes.h"
#include "temp_path.h"

std::string CallResult::Text() const
{
    if (V_VT(&value) != VT_BSTR || !V_BSTR(&value))
        return "<no text>";
    char text[4096];
    int count = WideCharToMultiByte(CP_ACP, 0, V_BSTR(&value), -1, text, sizeof text, nullptr,
                                    nullptr);
    return std::string(text, count > 0 ? count - 1 : 0);
}

int Regsvr32(const std::string& dll, bool unregister)
{
    std::string output;
    return RunProgram(std::string("regsvr32 /s ") + (unregister ? "/u " : "") + "\"" + dll + "\"",
                      output);
}

std::string RegQuery(const std::string& key)
{
    std::string output;
    int rc = RunProgram("reg query \"" + key + "\" /s", output);
    return rc == 0 ? output : std::string();
}

Automation::Automation(const wchar_t* progId)
{
    CLSID clsid;
    if (SUCCEEDED(CLSIDFromProgID(progId, &clsid)))
        CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, (void**)&object_);
}

Automation::~Automation()
{
    if (object_)
        object_->Release();
}

void Automation::Call(const wchar_t* name, std::vector<VARIANT> args, CallResult& result,
                      WORD flags)
{
    VariantClear(&result.value);
    result.exceptionCode = 0;
    result.exceptionText.clear();
    if (!object_) {
        result.hr = E_NOINTERFACE;
        return;
    }
    DISPID id;
    LPOLESTR names[] = {const_cast<LPOLESTR>(name)};
    result.hr = object_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(result.hr))
        return;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params = {reversed.data(), nullptr, UINT(reversed.size()), 0};
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    EXCEPINFO exception = {};
    UINT argError = 0;
    result.hr = object_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                (flags & DISPATCH_PROPERTYPUT) ? nullptr : &result.value,
                                &exception, &argError);
    if (result.hr == DISP_E_EXCEPTION) {
        result.exceptionCode = exception.scode;
        if (exception.bstrDescription) {
            char text[1024];
            WideCharToMultiByte(CP_ACP, 0, exception.bstrDescription, -1, text, sizeof text,
                                nullptr, nullptr);
            result.exceptionText = text;
        }
        SysFreeString(exception.bstrDescription);
        SysFreeString(exception.bstrSource);
        SysFreeString(exception.bstrHelpFile);
    }
}

VARIANT IntArg(int value)
{
    VARIANT v;
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}

VARIANT RefArg(VARIANT* target)
{
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_VARIANT;
    V_VARIANTREF(&v) = target;
    return v;
}

VARIANT BstrRefArg(BSTR* target)
{
    VARIANT v;
    V_VT(&v) = VT_BYREF | VT_BSTR;
    V_BSTRREF(&v) = target;
    return v;
}

VARIANT TextArg(const wchar_t* text)
{
    VARIANT v;
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(text);
    return v;
}

VARIANT ObjectArg(IDispatch* object)
{
    VARIANT v;
    V_VT(&v) = VT_DISPATCH;
    V_DISPATCH(&v) = object;
    return v;
}

std::string ReadWholeFile(const std::string& path)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return "<missing>";
    std::string bytes;
    char chunk[65536];
    DWORD got = 0;
    while (ReadFile(file, chunk, sizeof chunk, &got, nullptr) && got)
        bytes.append(chunk, got);
    CloseHandle(file);
    return bytes;
}

void WriteWholeFile(const std::string& path, const std::string& bytes)
{
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), DWORD(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

std::string SystemText(DWORD code)
{
    char* message = nullptr;
    DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM,
                                  nullptr, code, LANG_USER_DEFAULT, (char*)&message, 0, nullptr);
    std::string text = length && message ? message : "";
    if (message)
        LocalFree(message);
    return text;
}

int RunVbScript(const char* text, std::string& output)
{
    std::string path = TempPath("script.vbs");
    HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    DWORD written;
    WriteFile(file, text, lstrlenA(text), &written, nullptr);
    CloseHandle(file);
    int rc = RunProgram("cscript //nologo \"" + path + "\"", output);
    DeleteFileA(path.c_str());
    return rc;
}
