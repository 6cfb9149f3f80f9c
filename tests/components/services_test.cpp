// ZQServices.Control through IDispatch by name: a test service started with
// arguments and stopped, the service manager's codes in the retval and
// GetLastError, and the two exceptions of a wrong argument array.
#include <gtest/gtest.h>

#include "automation.h"
#include "components.h"
#include "processes.h"
#include "script_runner.h"
#include "services.h"
#include "temp_path.h"

namespace {

const char kServiceName[] = "VantorelRecordingService";
const wchar_t kServiceNameW[] = L"VantorelRecordingService";
const wchar_t kMissingService[] = L"VantorelNoSuchService";
const int kSuccess = 0;
const int kServiceDoesNotExist = ERROR_SERVICE_DOES_NOT_EXIST;  // 1060
const int kServiceNotActive = ERROR_SERVICE_NOT_ACTIVE;          // 1062
const int kRequestTimeout = ERROR_SERVICE_REQUEST_TIMEOUT;       // 1053
// Raised as run-time errors 1001 and 1002.
const HRESULT kTypeMismatch = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1001);
const HRESULT kNotOneDimension = MAKE_HRESULT(SEVERITY_ERROR, FACILITY_CONTROL, 1002);
// The stalled stop gives up after 100 polls of at least 100 ms.
const DWORD kStalledStopLeastMs = 9000;
const DWORD kStalledStopMostMs = 14000;

// A BSTR array by reference, as a script's typed array variable passes it.
class StringArray {
public:
    StringArray(std::vector<std::wstring> strings, UINT dimensions = 1)
    {
        SAFEARRAYBOUND bounds[2] = {{ULONG(strings.size()), 0}, {1, 0}};
        array_ = SafeArrayCreate(VT_BSTR, dimensions, bounds);
        for (LONG i = 0; i < LONG(strings.size()); ++i) {
            LONG index[2] = {i, 0};
            BSTR element = SysAllocString(strings[i].c_str());
            SafeArrayPutElement(array_, index, element);
            SysFreeString(element);
        }
    }
    StringArray() = default;  // a variable whose array pointer is null
    ~StringArray() { SafeArrayDestroy(array_); }
    VARIANT ByReference()
    {
        VARIANT v;
        V_VT(&v) = VT_BYREF | VT_ARRAY | VT_BSTR;
        V_ARRAYREF(&v) = &array_;
        return v;
    }
    VARIANT ByValue()
    {
        VARIANT v;
        V_VT(&v) = VT_ARRAY | VT_BSTR;
        V_ARRAY(&v) = array_;
        return v;
    }

private:
    SAFEARRAY* array_ = nullptr;
};

class ServiceControl : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_EQ(0, Regsvr32(AllComponents()[1].dll, false)); }
    void SetUp() override
    {
        CoInitialize(nullptr);
        manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
        ASSERT_NE(nullptr, manager_);
        RemoveServiceIfInstalled(manager_, kServiceName);
        std::string binary = "\"" + ProgramBesideMe("recording_service.exe") + "\"";
        service_ = CreateServiceA(manager_, kServiceName, kServiceName, SERVICE_ALL_ACCESS,
                                  SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START,
                                  SERVICE_ERROR_NORMAL, binary.c_str(), nullptr, nullptr, nullptr,
                                  nullptr, nullptr);
        ASSERT_NE(nullptr, service_);
        control_ = new Automation(L"ZQServices.Control");
        ASSERT_NE(nullptr, control_->get());
        recorded_ = TempPath("service-arguments.txt");
        recordedW_.assign(recorded_.begin(), recorded_.end());
    }
    void TearDown() override
    {
        delete control_;
        CloseServiceHandle(service_);
        RemoveServiceIfInstalled(manager_, kServiceName);
        CloseServiceHandle(manager_);
        DeleteFileA(recorded_.c_str());
        CoUninitialize();
    }

    void Start(const wchar_t* name, VARIANT arguments, CallResult& result)
    {
        VARIANT nameArg = TextArg(name);
        control_->Call(L"StartService", {nameArg, arguments}, result);
        VariantClear(&nameArg);
    }
    void Stop(const wchar_t* name, CallResult& result)
    {
        VARIANT nameArg = TextArg(name);
        control_->Call(L"StopService", {nameArg}, result);
        VariantClear(&nameArg);
    }
    std::string LastError()
    {
        CallResult text;
        control_->Call(L"GetLastError", {}, text, DISPATCH_PROPERTYGET);
        return text.Text();
    }

    SC_HANDLE manager_ = nullptr;
    SC_HANDLE service_ = nullptr;
    Automation* control_ = nullptr;
    std::string recorded_;
    std::wstring recordedW_;
};

TEST_F(ServiceControl, StartsWithItsArgumentsAndStops)
{
    EXPECT_EQ(SystemText(kSuccess), LastError());
    StringArray arguments({recordedW_, L"alpha", L"two words"});
    CallResult started;
    Start(kServiceNameW, arguments.ByReference(), started);
    ASSERT_EQ(S_OK, started.hr);
    EXPECT_EQ(kSuccess, started.Int());
    ASSERT_TRUE(WaitForServiceState(service_, SERVICE_RUNNING));
    EXPECT_EQ(recorded_ + "|alpha|two words", ReadWholeFile(recorded_));

    CallResult stopped;
    Stop(kServiceNameW, stopped);
    EXPECT_EQ(kSuccess, stopped.Int());
    SERVICE_STATUS status;
    ASSERT_TRUE(QueryServiceStatus(service_, &status));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), status.dwCurrentState);

    // A null array starts the service with no arguments.
    StringArray none;
    Start(kServiceNameW, none.ByReference(), started);
    EXPECT_EQ(kSuccess, started.Int());
    EXPECT_TRUE(WaitForServiceState(service_, SERVICE_RUNNING));
}

TEST_F(ServiceControl, ServiceManagerCodesGoToRetvalAndLastError)
{
    StringArray empty(std::vector<std::wstring>{});
    struct Case {
        const char* what;
        bool start;
        const wchar_t* name;
        int code;
    } cases[] = {
        {"start unknown", true, kMissingService, kServiceDoesNotExist},
        {"stop unknown", false, kMissingService, kServiceDoesNotExist},
        {"stop stopped", false, kServiceNameW, kServiceNotActive},
    };
    for (const Case& c : cases) {
        CallResult result;
        if (c.start)
            Start(c.name, empty.ByReference(), result);
        else
            Stop(c.name, result);
        EXPECT_EQ(S_OK, result.hr) << c.what;
        EXPECT_EQ(c.code, result.Int()) << c.what;
        EXPECT_EQ(SystemText(c.code), LastError()) << c.what;
    }
}

TEST_F(ServiceControl, WrongArgumentArraysRaiseBeforeTheServiceStarts)
{
    StringArray flat({recordedW_});
    StringArray square({recordedW_}, 2);
    VARIANT text = TextArg(L"x");
    struct Case {
        const char* what;
        VARIANT argument;
        HRESULT code;
        const char* description;
    } cases[] = {
        {"array by value", flat.ByValue(), kTypeMismatch,
         "Type Mismatch in Parameter. Pass a string array by reference"},
        {"single string", text, kTypeMismatch,
         "Type Mismatch in Parameter. Pass a string array by reference"},
        {"two dimensions", square.ByReference(), kNotOneDimension,
         "Tokenize expects a one dimensioned array"},
    };
    for (const Case& c : cases) {
        CallResult result;
        Start(kServiceNameW, c.argument, result);
        EXPECT_EQ(DISP_E_EXCEPTION, result.hr) << c.what;
        EXPECT_EQ(c.code, result.exceptionCode) << c.what;
        EXPECT_EQ(c.description, result.exceptionText) << c.what;
    }
    VariantClear(&text);
    SERVICE_STATUS status;
    ASSERT_TRUE(QueryServiceStatus(service_, &status));
    EXPECT_EQ(DWORD(SERVICE_STOPPED), status.dwCurrentState);
}

TEST_F(ServiceControl, AStalledStopGivesUpWithTimeoutInBoundedTime)
{
    StringArray arguments({recordedW_, L"stall"});
    CallResult started;
    Start(kServiceNameW, arguments.ByReference(), started);
    ASSERT_EQ(kSuccess, started.Int());
    ASSERT_TRUE(WaitForServiceState(service_, SERVICE_RUNNING));
    DWORD before = GetTickCount();
    CallResult stopped;
    Stop(kServiceNameW, stopped);
    DWORD elapsed = GetTickCount() - before;
    EXPECT_EQ(kRequestTimeout, stopped.Int());
    EXPECT_EQ(SystemText(kRequestTimeout), LastError());
    EXPECT_GE(elapsed, kStalledStopLeastMs);
    EXPECT_LE(elapsed, kStalledStopMostMs);
    EXPECT_TRUE(WaitForServiceState(service_, SERVICE_STOPPED));
}

TEST_F(ServiceControl, BasicScriptStartsWithArgumentsAndStops)
{
    ScriptRunner runner;
    runner.CompileAndRun(
        "Dim args(1) As String\n"
        "args(0) = \"" + recorded_ + "\"\n"
        "args(1) = \"basic\"\n"
        "Set o = CreateObject(\"ZQServices.Control\")\n"
        "Print o.StartService(\"" + kServiceName + "\", args)\n"
        "Print o.StopService(\"" + kServiceName + "\")\n"
        "Print o.StopService(\"" + kServiceName + "\")\n");
    EXPECT_EQ("", runner.Errors()) << runner.FirstErrorText();
    EXPECT_EQ("0|0|1062", runner.Output());
    EXPECT_EQ(recorded_ + "|basic", ReadWholeFile(recorded_));
}

TEST_F(ServiceControl, VbScriptSmoke)
{
    std::string output;
    EXPECT_EQ(0, RunVbScript("Set o = CreateObject(\"ZQServices.Control\")\r\n"
                             "WScript.Echo o.StopService(\"VantorelNoSuchService\")\r\n"
                             "On Error Resume Next\r\n"
                             "o.StartService \"VantorelNoSuchService\", Array(\"a\")\r\n"
                             "WScript.Echo Err.Number\r\n",
                             output));
    EXPECT_EQ("1060\n1001\n", output);
}

}  // namespace
