// Clients of the automation components in tests: registration through
// regsvr32, late-bound calls by name, and the registry as `reg` shows it.
#ifndef TESTS_COMPONENTS_AUTOMATION_H
#define TESTS_COMPONENTS_AUTOMATION_H

#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

// regsvr32 /s [/u] on the DLL: its exit code.
int Regsvr32(const std::string& dll, bool unregister);
// What `reg query <key> /s` prints, or "" when the key is missing.
std::string RegQuery(const std::string& key);

// One late-bound call's outcome.
struct CallResult {
    HRESULT hr = E_FAIL;
    VARIANT value;        // the [out,retval]
    HRESULT exceptionCode = 0;  // EXCEPINFO.scode
    std::string exceptionText;
    CallResult() { VariantInit(&value); }
    ~CallResult() { VariantClear(&value); }
    CallResult(const CallResult&) = delete;
    int Int() const { return V_VT(&value) == VT_I4 || V_VT(&value) == VT_INT ? V_I4(&value) : -99999; }
    std::string Text() const;
};

// An object created by ProgID, called by member name through IDispatch.
class Automation {
public:
    explicit Automation(const wchar_t* progId);
    ~Automation();
    IDispatch* get() const { return object_; }
    // Calls `name` with the arguments in their declared order; flags as
    // IDispatch::Invoke takes them.
    void Call(const wchar_t* name, std::vector<VARIANT> args, CallResult& result,
              WORD flags = DISPATCH_METHOD);

private:
    IDispatch* object_ = nullptr;
};

VARIANT IntArg(int value);
// A by-reference argument that the callee writes.
VARIANT RefArg(VARIANT* target);
VARIANT BstrRefArg(BSTR* target);
VARIANT TextArg(const wchar_t* text);  // owned by the caller: VariantClear it
VARIANT ObjectArg(IDispatch* object);  // no reference added

// A whole file's bytes, "<missing>" when it cannot be opened.
std::string ReadWholeFile(const std::string& path);
void WriteWholeFile(const std::string& path, const std::string& bytes);

// Runs a VBScript text with `cscript //nologo`: its exit code and output.
int RunVbScript(const char* text, std::string& output);

// The system's message text of a code, as GetLastError properties give it.
std::string SystemText(DWORD code);

#endif
