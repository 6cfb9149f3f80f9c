// ZQProcess.Control through IDispatch by name: processes listed, named and
// killed, with outcomes in the retval and GetLastError.
#include <gtest/gtest.h>

#include <algorithm>

#include "automation.h"
#include "components.h"
#include "processes.h"
#include "script_runner.h"

namespace {

const int kSuccess = 0;
const int kNullArray = 1;
const int kInvalidParameter = ERROR_INVALID_PARAMETER;  // what opening a missing id gives
// Raised as run-time errors 1001 and 1002.
const HRESULT kTypeMismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1001);
const DWORD kKilledExitCode = 1;
const int kMissingProcessId = 0x7FFFFFF0;

class ProcessControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, Regsvr32(AllComponents()[0].dll, false)); }
    void SetUp() override
    {
        CoInitialize(nullptr);
        STARTUPINFOA startup = {sizeof startup};
        std::string commandLine = "\"" + ProgramBesideMe("sleeper.exe") + "\"";
        ASSERT_TRUE(CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                                   nullptr, &startup, &child_));
        control_ = new Automation(L"ZQProcess.Control");
        ASSERT_NE(nullptr, control_->get());
    }
    void TearDown() override
    {
        delete control_;
        TerminateProcess(child_.hProcess, 0);
        CloseHandle(child_.hProcess);
        CloseHandle(child_.hThread);
        CoUninitialize();
    }

    // EnumProcesses into `array`: the ids, or none when the retval is not 0.
    std::vector<LONG> Enumerate(SAFEARRAY*& array, CallResult& result)
    {
        VARIANT arg;
        V_VT(&arg) = VT_BYREF | VT_ARRAY | VT_I4;
        V_ARRAYREF(&arg) = &array;
        control_->Call(L"EnumProcesses", {arg}, result);
        std::vector<LONG> ids;
        if (result.hr != S_OK || result.Int() != kSuccess || !array)
            return ids;
        EXPECT_EQ(1, SafeArrayGetDim(array));
        LONG lower = -1, upper = -1;
        SafeArrayGetLBound(array, 1, &lower);
        SafeArrayGetUBound(array, 1, &upper);
        EXPECT_EQ(0, lower);
        for (LONG i = lower; i <= upper; ++i) {
            LONG id = 0;
            SafeArrayGetElement(array, &i, &id);
            ids.push_back(id);
        }
        return ids;
    }

    std::string LastError()
    {
        CallResult text;
        control_->Call(L"GetLastError", {}, text, DISPATCH_PROPERTYGET);
        return text.Text();
    }

    PROCESS_INFORMATION child_ = {};
    Automation* control_ = nullptr;
};

TEST_F(ProcessControl, ListsEveryProcessIntoTheCallersArrayReshaped)
{
    // A two-dimensional array with other bounds and data of its own.
    SAFEARRAYBOUND bounds[2] = {{3, 5}, {2, 1}};
    SAFEARRAY* array = SafeArrayCreate(VT_I4, 2, bounds);
    CallResult result;
    std::vector<LONG> ids = Enumerate(array, result);
    ASSERT_EQ(S_OK, result.hr);
    EXPECT_EQ(kSuccess, result.Int());
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), LONG(GetCurrentProcessId())));
    EXPECT_NE(ids.end(), std::find(ids.begin(), ids.end(), LONG(child_.dwProcessId)));
    SafeArrayDestroy(array);

    SAFEARRAY* none = nullptr;
    Enumerate(none, result);
    EXPECT_EQ(S_OK, result.hr);
    EXPECT_EQ(kNullArray, result.Int());
}

TEST_F(ProcessControl, WrongVariantTypesRaiseTypeMismatch)
{
    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 1);
    VARIANT byValue;
    V_VT(&byValue) = VT_ARRAY | VT_I4;
    V_ARRAY(&byValue) = array;
    BSTR text = SysAllocString(L"1");
    VARIANT cases[] = {byValue, BstrRefArg(&text), IntArg(4)};
    for (VARIANT& arg : cases) {
        CallResult result;
        control_->Call(L"EnumProcesses", {arg}, result);
        EXPECT_EQ(DISP_E_EXCEPTION, result.hr) << V_VT(&arg);
        EXPECT_EQ(kTypeMismatch, result.exceptionCode) << V_VT(&arg);
        EXPECT_EQ("Type Mismatch in Parameter. Pass a long array by reference", result.exceptionText);
    }
    LONG index = 0, untouched = 0;
    SafeArrayGetElement(array, &index, &untouched);
    EXPECT_EQ(0, untouched);
    SafeArrayDestroy(array);
    SysFreeString(text);
}

TEST_F(ProcessControl, NamesAProcessOrSaysUnknown)
{
    struct Case {
        int processId;
        const char* name;
        bool succeeds;
    } cases[] = {
        {int(child_.dwProcessId), "sleeper.exe", true},
        {kMissingProcessId, "<unknown>", false},
    };
    for (const Case& c : cases) {
        BSTR name = nullptr;
        CallResult result;
        control_->Call(L"GetProcessName", {IntArg(c.processId), BstrRefArg(&name)}, result);
        ASSERT_EQ(S_OK, result.hr);
        char text[MAX_PATH] = "";
        WideCharToMultiByte(CP_ACP, 0, name, -1, text, sizeof text, nullptr, nullptr);
        EXPECT_STREQ(c.name, text) << c.processId;
        EXPECT_EQ(c.succeeds, result.Int() == kSuccess) << c.processId << ": " << result.Int();
        EXPECT_EQ(SystemText(result.Int()), LastError());
        SysFreeString(name);
    }
}

TEST_F(ProcessControl, KillsWithExitCodeOneAndReportsAMissingId)
{
    CallResult missing;
    control_->Call(L"Kill", {IntArg(kMissingProcessId)}, missing);
    EXPECT_EQ(kInvalidParameter, missing.Int());
    EXPECT_EQ(SystemText(kInvalidParameter), LastError());

    CallResult killed;
    control_->Call(L"Kill", {IntArg(int(child_.dwProcessId))}, killed);
    EXPECT_EQ(kSuccess, killed.Int());
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child_.hProcess, 10000));
    DWORD exitCode = 0;
    GetExitCodeProcess(child_.hProcess, &exitCode);
    EXPECT_EQ(kKilledExitCode, exitCode);
    // A success leaves the stored error of the failure before it.
    EXPECT_EQ(SystemText(kInvalidParameter), LastError());
}

TEST_F(ProcessControl, BasicScriptListsNamesAndKills)
{
    ScriptRunner runner;
    std::string script =
        "Dim o As Object\n"
        "Dim ids() As Long\n"
        "ReDim ids(2)\n"
        "Dim name As String\n"
        "Set o = CreateObject(\"ZQProcess.Control\")\n"
        "Print o.EnumProcesses(ids)\n"
        "found = 0\n"
        "For i = 0 To UBound(ids)\n"
        "  If ids(i) = " + std::to_string(child_.dwProcessId) + " Then found = 1\n"
        "Next i\n"
        "Print found\n"
        "Print o.GetProcessName(" + std::to_string(child_.dwProcessId) + ", name)\n"
        "Print name\n"
        "Print o.Kill(" + std::to_string(child_.dwProcessId) + ")\n";
    runner.CompileAndRun(script);
    EXPECT_EQ("", runner.Errors()) << runner.FirstErrorText();
    EXPECT_EQ("0|1|0|sleeper.exe|0", runner.Output());
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(child_.hProcess, 10000));
}

TEST_F(ProcessControl, VbScriptSmoke)
{
    std::string output;
    EXPECT_EQ(0, RunVbScript("Set o = CreateObject(\"ZQProcess.Control\")\r\n"
                             "WScript.Echo o.Kill(2147483632)\r\n",
                             output));
    EXPECT_EQ("87\n", output);
}

}  // namespace
