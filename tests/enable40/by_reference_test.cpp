// Arguments by reference as automation objects and the extension call-back
// see them: a small IDispatch object of the test records what arrives and
// changes it, and the script sees the change.
#include "script_runner.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace
{

const DISPID kTake = 1;

std::string Narrow(BSTR text)
{
    std::string result;
    for (UINT k = 0; text && k < SysStringLen(text); ++k)
        result += (char)text[k];
    return result;
}

// Probe.Take(arg): records the argument's type and contents, then replaces
// a string array with ("x", "y", "z"), a long array with (7, 8) and a long
// with its double.
class Probe : public IDispatch
{
public:
    std::vector<VARTYPE> types;
    std::vector<std::string> seen;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override
    {
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = this;
            return S_OK;
        }
        *out = NULL;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override
    {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override
    {
        if (_wcsicmp(names[0], L"Take") != 0)
            return DISP_E_UNKNOWNNAME;
        ids[0] = kTake;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS* params, VARIANT*,
                                     EXCEPINFO*, UINT*) override
    {
        if (id != kTake)
            return DISP_E_MEMBERNOTFOUND;
        if (params->cArgs != 1)
            return DISP_E_BADPARAMCOUNT;
        VARIANT& arg = params->rgvarg[0];
        types.push_back(arg.vt);
        if (arg.vt == (VT_BYREF | VT_ARRAY | VT_BSTR)) {
            SAFEARRAY* safe = *arg.pparray;
            BSTR* items = NULL;
            SafeArrayAccessData(safe, (void**)&items);
            std::string text;
            for (ULONG k = 0; k < safe->rgsabound[0].cElements; ++k)
                text += Narrow(items[k]) + ";";
            SafeArrayUnaccessData(safe);
            seen.push_back(text);
            SafeArrayDestroy(safe);
            SAFEARRAYBOUND bound = {3, 0};
            *arg.pparray = SafeArrayCreate(VT_BSTR, 1, &bound);
            const wchar_t* const replacement[] = {L"x", L"y", L"z"};
            for (LONG k = 0; k < 3; ++k) {
                BSTR item = SysAllocString(replacement[k]);
                SafeArrayPutElement(*arg.pparray, &k, item);
                SysFreeString(item);
            }
        } else if (arg.vt == (VT_BYREF | VT_ARRAY | VT_I4)) {
            SAFEARRAY* safe = *arg.pparray;
            seen.push_back(std::to_string(safe->rgsabound[0].cElements) + " longs");
            SafeArrayDestroy(safe);
            SAFEARRAYBOUND bound = {2, 0};
            *arg.pparray = SafeArrayCreate(VT_I4, 1, &bound);
            LONG values[] = {7, 8};
            for (LONG k = 0; k < 2; ++k)
                SafeArrayPutElement(*arg.pparray, &k, &values[k]);
        } else if (arg.vt == (VT_BYREF | VT_I4)) {
            seen.push_back(std::to_string(*arg.plVal));
            *arg.plVal *= 2;
        } else {
            seen.push_back("other");
        }
        return S_OK;
    }
};

Probe* gProbe;

// The test's extension functions: "GetProbe" answers the probe; "Echo"
// records the argument types it gets and answers their count.
std::vector<VARTYPE> gEchoTypes;

long __stdcall Extension(EngineHandle, const char* name, DISPPARAMS* args, VARIANT* result)
{
    if (_stricmp(name, "GetProbe") == 0) {
        result->vt = VT_DISPATCH;
        result->pdispVal = gProbe;
        gProbe->AddRef();
        return 0;
    }
    if (_stricmp(name, "Echo") == 0) {
        for (UINT k = args->cArgs; k-- > 0;)
            gEchoTypes.push_back(args->rgvarg[k].vt);
        result->vt = VT_I4;
        result->lVal = (LONG)args->cArgs;
        return 0;
    }
    return DISP_E_MEMBERNOTFOUND;
}

TEST(ByReference, TypedArraysTravelAsTypedSafeArraysAndComeBack)
{
    Probe probe;
    gProbe = &probe;
    ScriptRunner runner;
    EngineSetExtensionCallback(runner.handle, Extension);
    long result = runner.CompileAndRun(
        "Set p = GetProbe()\n"
        "Dim names(1) As String\nnames(0) = \"a\" : names(1) = \"b\"\n"
        "p.Take names\nPrint Join(names, \",\"), UBound(names)\n"
        "Dim ids() As Long\nReDim ids(4)\np.Take ids\nPrint ids(0) + ids(1), UBound(ids)\n"
        "Dim count As Long\ncount = 21\np.Take count\nPrint count");
    EXPECT_EQ(ResultName(kEngineOK), ResultName(result)) << runner.FirstErrorText();
    EXPECT_EQ("x,y,z\t2|15\t1|42", runner.Output());
    std::vector<VARTYPE> expectedTypes = {VT_BYREF | VT_ARRAY | VT_BSTR, VT_BYREF | VT_ARRAY | VT_I4,
                                          VT_BYREF | VT_I4};
    EXPECT_EQ(expectedTypes, probe.types);
    std::vector<std::string> expectedSeen = {"a;b;", "5 longs", "21"};
    EXPECT_EQ(expectedSeen, probe.seen);
}

TEST(ByReference, TheExtensionCallBackGetsVariablesByReferenceWithTheirOwnTypes)
{
    gEchoTypes.clear();
    ScriptRunner runner;
    EngineSetExtensionCallback(runner.handle, Extension);
    long result = runner.CompileAndRun(
        "small = CInt(-1)\nbig = 100000\ntext = \"t\"\n"
        "Print Echo(small, big, text, 5, \"lit\")\nPrint Unknown(1)");
    EXPECT_EQ(ResultName(kEngineRuntimeError), ResultName(result));
    EXPECT_EQ("5", runner.Output());
    std::vector<VARTYPE> expected = {VT_BYREF | VT_I2, VT_BYREF | VT_I4, VT_BYREF | VT_BSTR, VT_I2,
                                     VT_BSTR};
    EXPECT_EQ(expected, gEchoTypes);
    // The call-back's error code is the run-time error.
    EXPECT_EQ("3:5", runner.Errors());
}

}  // namespace
