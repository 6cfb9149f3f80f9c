// The classes under ZQServices.dll, called directly: registry round trips
// and deletions, event-log sources and logs by their registry effects, and
// the service manager's operations on a service it installs.
#include <gtest/gtest.h>

#include <services/registry.h>
#include <services/service_manager.h>

#include <algorithm>
#include <functional>

#include "processes.h"
#include "services.h"

namespace {

const LONG kFileNotFound = ERROR_FILE_NOT_FOUND;            // 2
const LONG kNoHandle = ERROR_INVALID_HANDLE;                 // 6
const LONG kNullArgument = ERROR_INVALID_PARAMETER;          // 87
const LONG kServiceDoesNotExist = ERROR_SERVICE_DOES_NOT_EXIST;  // 1060
const LONG kServiceNotActive = ERROR_SERVICE_NOT_ACTIVE;          // 1062
const char kApplicationKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application";
const char kLogsKey[] = "SYSTEM\\CurrentControlSet\\Services\\EventLog";

// Names of this process's own keys, sources and services.
std::string Unique(const char* stem) { return stem + std::to_string(GetCurrentProcessId()); }

std::vector<std::string> ApplicationSources()
{
    CRegistry registry;
    std::vector<std::string> sources;
    registry.Connect(HKEY_LOCAL_MACHINE);
    registry.Open(kApplicationKey, KEY_READ);
    registry.GetStringArrayValue("Sources", sources);
    return sources;
}

size_t CountOf(const std::vector<std::string>& list, const std::string& item)
{
    return size_t(std::count(list.begin(), list.end(), item));
}

bool KeyExists(HKEY root, const std::string& path)
{
    CRegistry registry;
    return registry.Connect(root) && registry.Open(path.c_str(), KEY_READ);
}

class RegistryFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        base_ = "Software\\" + Unique("VantorelRegistryTest");
        ASSERT_EQ(1, registry_.Connect(HKEY_CURRENT_USER));
        ASSERT_EQ(1, registry_.Create(base_.c_str()));
    }
    void TearDown() override
    {
        CRegistry cleaner;
        cleaner.Connect(HKEY_CURRENT_USER);
        cleaner.Open("Software");
        cleaner.DeleteKey(Unique("VantorelRegistryTest").c_str());
    }

    CRegistry registry_;
    std::string base_;
};

TEST_F(RegistryFixture, ValuesComeBackAsWritten)
{
    const std::string kText = "a text value";
    const std::string kEmpty;
    const std::vector<std::string> kStrings = {"first", "second entry", "third"};
    const std::vector<BYTE> kBytes = {0, 1, 0xFF, 0, 0x7F, 0x80};
    const DWORD kNumber = 0xDEADBEEF;
    ASSERT_EQ(1, registry_.SetValue("text", kText));
    ASSERT_EQ(1, registry_.SetValue("empty", kEmpty));
    ASSERT_EQ(1, registry_.SetValue("strings", kStrings));
    ASSERT_EQ(1, registry_.SetValue("bytes", kBytes));
    ASSERT_EQ(1, registry_.SetValue("number", kNumber));

    // A second object reads what the first wrote.
    CRegistry reader;
    ASSERT_EQ(1, reader.Connect(HKEY_CURRENT_USER));
    ASSERT_EQ(1, reader.Open(base_.c_str(), KEY_READ));
    EXPECT_EQ(5u, reader.GetNumberOfValues());
    EXPECT_EQ("HKEY_CURRENT_USER", reader.GetRootName());
    EXPECT_EQ(base_, reader.GetKeyName());
    std::string text = "stale", empty = "stale";
    std::vector<std::string> strings;
    std::vector<BYTE> bytes;
    DWORD number = 0;
    EXPECT_EQ(1, reader.GetValue("text", text));
    EXPECT_EQ(1, reader.GetValue("empty", empty));
    EXPECT_EQ(1, reader.GetValue("strings", strings));
    EXPECT_EQ(1, reader.GetValue("bytes", bytes));
    EXPECT_EQ(1, reader.GetValue("number", number));
    EXPECT_EQ(kText, text);
    EXPECT_EQ(kEmpty, empty);
    EXPECT_EQ(kStrings, strings);
    EXPECT_EQ(kBytes, bytes);
    EXPECT_EQ(kNumber, number);

    EXPECT_EQ(0, reader.GetValue("missing", text));
    EXPECT_EQ(kFileNotFound, reader.GetErrorCode());
    EXPECT_EQ("", text);
    EXPECT_EQ(0, reader.GetValue(nullptr, text));
    EXPECT_EQ(kNullArgument, reader.GetErrorCode());
    EXPECT_EQ(0, registry_.SetValue(nullptr, kNumber));
    EXPECT_EQ(kNullArgument, registry_.GetErrorCode());
}

TEST_F(RegistryFixture, DeletingAThreeLevelPathRemovesEverythingBelowIt)
{
    for (const char* path : {"\\one\\two\\three\\a", "\\one\\two\\three\\b\\deep", "\\one\\two\\kept"}) {
        CRegistry creator;
        creator.Connect(HKEY_CURRENT_USER);
        ASSERT_EQ(1, creator.Create((base_ + path).c_str()));
        ASSERT_EQ(1, creator.SetValue("v", DWORD(1)));
    }
    ASSERT_EQ(1, registry_.DeleteKey((base_ + "\\one\\two\\three").c_str()));
    // The parent became the object's key.
    EXPECT_EQ(base_ + "\\one\\two", registry_.GetKeyName());
    EXPECT_FALSE(KeyExists(HKEY_CURRENT_USER, base_ + "\\one\\two\\three"));
    EXPECT_TRUE(KeyExists(HKEY_CURRENT_USER, base_ + "\\one\\two\\kept"));

    // A missing parent keeps the key name the object had.
    EXPECT_EQ(0, registry_.DeleteKey((base_ + "\\none\\x").c_str()));
    EXPECT_EQ(kFileNotFound, registry_.GetErrorCode());
    EXPECT_EQ(base_ + "\\one\\two", registry_.GetKeyName());
}

TEST(Registry, RootsAndHandlesThatAreNotThere)
{
    CRegistry registry;
    EXPECT_EQ(0, registry.Open("Software"));
    EXPECT_EQ(kNoHandle, registry.GetErrorCode());
    EXPECT_EQ(0, registry.SetValue("x", DWORD(1)));
    EXPECT_EQ(kNoHandle, registry.GetErrorCode());
    for (HKEY localOnly : {HKEY_CURRENT_USER, HKEY_CLASSES_ROOT}) {
        EXPECT_EQ(0, registry.Connect(localOnly, "OTHERMACHINE"));
        EXPECT_EQ(kNoHandle, registry.GetErrorCode());
    }
    ASSERT_EQ(1, registry.Connect(HKEY_LOCAL_MACHINE));
    EXPECT_EQ("HKEY_LOCAL_MACHINE", registry.GetRootName());
    EXPECT_NE("", registry.GetComputerName());
    EXPECT_EQ(0, registry.Open("Software\\VantorelNoSuchKey"));
    EXPECT_EQ(kFileNotFound, registry.GetErrorCode());
}

TEST(EventLog, ApplicationSourcesAreListedOnceAndRemoved)
{
    const std::string source = Unique("VantorelSource");
    const std::string key = std::string(kApplicationKey) + "\\" + source;
    const char kMessageFile[] = "%SystemRoot%\\vantorel-messages.dll";
    const DWORD kTypes = 7;
    CEventLog log;
    ASSERT_EQ(1, log.CreateApplicationLog(source.c_str(), kMessageFile, kTypes));
    ASSERT_EQ(1, log.CreateApplicationLog(source.c_str(), kMessageFile, kTypes));
    EXPECT_EQ(1u, CountOf(ApplicationSources(), source));

    CRegistry registry;
    ASSERT_EQ(1, registry.Connect(HKEY_LOCAL_MACHINE));
    ASSERT_EQ(1, registry.Open(key.c_str(), KEY_READ));
    char file[MAX_PATH] = "";
    DWORD type = 0, size = sizeof file, types = 0;
    ASSERT_EQ(1, registry.QueryValue("EventMessageFile", type, (BYTE*)file, size));
    EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
    EXPECT_STREQ(kMessageFile, file);
    EXPECT_EQ(1, registry.GetDoubleWordValue("TypesSupported", types));
    EXPECT_EQ(kTypes, types);
    registry.Close();

    // Reports go to a registered source only.
    EXPECT_EQ(0, log.ReportInformation("before registration"));
    EXPECT_EQ(kNoHandle, log.GetErrorCode());
    ASSERT_EQ(1, log.RegisterSource(source.c_str()));
    EXPECT_EQ(1, log.ReportInformation("registered"));
    EXPECT_EQ(1, log.ReportError(nullptr));

    ASSERT_EQ(1, log.DeregisterSource(source.c_str()));
    EXPECT_EQ(0u, CountOf(ApplicationSources(), source));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));

    struct Refused {
        const char* source;
        const char* file;
        LONG code;
    } refused[] = {{nullptr, kMessageFile, kNullArgument}, {source.c_str(), nullptr, kNullArgument}};
    for (const Refused& r : refused) {
        EXPECT_EQ(0, log.CreateApplicationLog(r.source, r.file, kTypes));
        EXPECT_EQ(r.code, log.GetErrorCode());
    }
    EXPECT_EQ(0, log.CreateApplicationLog("", kMessageFile, kTypes));
}

TEST(EventLog, CustomLogsHoldTheirSizeInWholeSteps)
{
    const std::string name = Unique("VantorelLog");
    const std::string key = std::string(kLogsKey) + "\\" + name;
    const DWORD kStep = 65536;
    struct Case {
        DWORD given;
        DWORD written;
    } cases[] = {
        {0, kStep},          {1, kStep},
        {kStep, kStep},      {kStep + 1, 2 * kStep},
        {3 * kStep - 1, 3 * kStep}, {0xFFFFFFFF, 0xFFFF0000},
    };
    const DWORD kRetention = 604800;
    CEventLog log;
    for (const Case& c : cases) {
        ASSERT_EQ(1, log.CreateCustomLog(name.c_str(), nullptr, c.given, kRetention)) << c.given;
        CRegistry registry;
        ASSERT_EQ(1, registry.Connect(HKEY_LOCAL_MACHINE));
        ASSERT_EQ(1, registry.Open(key.c_str(), KEY_READ));
        DWORD maxSize = 0, retention = 0;
        EXPECT_EQ(1, registry.GetDoubleWordValue("MaxSize", maxSize));
        EXPECT_EQ(c.written, maxSize) << c.given;
        EXPECT_EQ(1, registry.GetDoubleWordValue("Retention", retention));
        EXPECT_EQ(kRetention, retention);
        char file[MAX_PATH] = "";
        DWORD type = 0, size = sizeof file;
        EXPECT_EQ(1, registry.QueryValue("File", type, (BYTE*)file, size));
        EXPECT_EQ(DWORD(REG_EXPAND_SZ), type);
        EXPECT_EQ("%SystemRoot%\\System32\\config\\" + name + ".Evt", std::string(file));
        EXPECT_EQ('\0', file[size - 1]) << "stored with its terminating NUL";
    }
    EXPECT_TRUE(KeyExists(HKEY_LOCAL_MACHINE, key + "\\" + name));

    DWORD index = 0;
    std::string logName;
    bool listed = false;
    while (log.EnumerateLogs(index, logName))
        listed = listed || logName == name;
    EXPECT_TRUE(listed);

    ASSERT_EQ(1, log.DeleteLog(name.c_str()));
    EXPECT_FALSE(KeyExists(HKEY_LOCAL_MACHINE, key));
    EXPECT_EQ(0, log.DeleteLog(""));
}

class ServiceManagerFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        service_ = Unique("VantorelManaged");
        binary_ = "\"" + ProgramBesideMe("recording_service.exe") + "\"";
        ASSERT_EQ(1, manager_.Open(SC_MANAGER_ALL_ACCESS));
        RemoveServiceIfInstalled(manager_.GetHandle(), service_.c_str());
    }
    void TearDown() override
    {
        RemoveServiceIfInstalled(manager_.GetHandle(), service_.c_str());
        CEventLog().DeregisterSource(service_.c_str());
    }

    CServiceManager manager_;
    std::string service_;
    std::string binary_;
};

TEST_F(ServiceManagerFixture, InstallsConfiguresListsAndRemoves)
{
    const std::string display = service_ + " display";
    ASSERT_EQ(1, manager_.Install(service_.c_str(), display.c_str(), binary_.c_str()));
    EXPECT_EQ(1u, CountOf(ApplicationSources(), service_));
    CRegistry registry;
    registry.Connect(HKEY_LOCAL_MACHINE);
    ASSERT_EQ(1, registry.Open((std::string(kApplicationKey) + "\\" + service_).c_str(), KEY_READ));
    std::string messageFile;
    EXPECT_EQ(1, registry.GetStringValue("EventMessageFile", messageFile));
    EXPECT_EQ(binary_, messageFile);
    registry.Close();

    ServiceConfig config;
    ASSERT_EQ(1, manager_.QueryConfig(service_.c_str(), config));
    EXPECT_EQ(DWORD(SERVICE_WIN32_OWN_PROCESS), config.serviceType);
    EXPECT_EQ(DWORD(SERVICE_DEMAND_START), config.startType);
    EXPECT_EQ(binary_, config.binaryPath);
    EXPECT_EQ(display, config.displayName);

    const std::string renamed = service_ + " renamed";
    ASSERT_EQ(1, manager_.ChangeConfig(service_.c_str(), SERVICE_DISABLED, SERVICE_NO_CHANGE,
                                       SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr,
                                       nullptr, renamed.c_str()));
    ASSERT_EQ(1, manager_.QueryConfig(service_.c_str(), config));
    EXPECT_EQ(DWORD(SERVICE_DISABLED), config.startType);
    std::string name;
    EXPECT_EQ(1, manager_.GetDisplayName(service_.c_str(), name));
    EXPECT_EQ(renamed, name);
    EXPECT_EQ(1, manager_.GetKeyName(renamed.c_str(), name));
    EXPECT_EQ(service_, name);

    // More services than the first buffer's two entries.
    ASSERT_EQ(1, manager_.EnumServices(SERVICE_STATE_ALL, SERVICE_WIN32));
    ServiceStatusEntry entry;
    int count = 0;
    bool found = false;
    while (manager_.GetNextService(entry)) {
        ++count;
        if (entry.name == service_) {
            found = true;
            EXPECT_EQ(renamed, entry.displayName);
            EXPECT_EQ(DWORD(SERVICE_STOPPED), entry.status.dwCurrentState);
        }
    }
    EXPECT_GT(count, 2);
    EXPECT_TRUE(found);

    ASSERT_EQ(1, manager_.Remove(service_.c_str()));
    EXPECT_EQ(0u, CountOf(ApplicationSources(), service_));
    EXPECT_EQ(0, manager_.QueryConfig(service_.c_str(), config));
    EXPECT_EQ(kServiceDoesNotExist, manager_.GetErrorCode());
    EXPECT_EQ("", config.binaryPath);
}

TEST_F(ServiceManagerFixture, FailuresGiveTheirCodes)
{
    ASSERT_EQ(1, manager_.Install(service_.c_str(), service_.c_str(), binary_.c_str()));
    const char* service = service_.c_str();
    const char* binary = binary_.c_str();
    const char kMissing[] = "VantorelNoSuchService";
    std::string name = "stale";  // emptied even by a failing call
    struct Case {
        const char* what;
        std::function<int(CServiceManager&)> call;
        LONG code;
    } cases[] = {
        {"start missing", [&](CServiceManager& m) { return m.Start(kMissing, 0, nullptr); },
         kServiceDoesNotExist},
        {"stop stopped", [&](CServiceManager& m) { return m.Stop(service); }, kServiceNotActive},
        {"pause stopped", [&](CServiceManager& m) { return m.Pause(service); }, kServiceNotActive},
        {"continue stopped", [&](CServiceManager& m) { return m.Continue(service); },
         kServiceNotActive},
        {"remove missing", [&](CServiceManager& m) { return m.Remove(kMissing); },
         kServiceDoesNotExist},
        {"display name of missing",
         [&](CServiceManager& m) { return m.GetDisplayName(kMissing, name); },
         kServiceDoesNotExist},
        {"install twice", [&](CServiceManager& m) { return m.Install(service, service, binary); },
         ERROR_SERVICE_EXISTS},
        {"install without name", [&](CServiceManager& m) { return m.Install(nullptr, "x", "x"); },
         kNullArgument},
        {"pause without name", [&](CServiceManager& m) { return m.Pause(nullptr); },
         kNullArgument},
        {"continue without name", [&](CServiceManager& m) { return m.Continue(nullptr); },
         kNoHandle},
    };
    for (const Case& c : cases) {
        CServiceManager opened, closed;
        ASSERT_EQ(1, opened.Open(SC_MANAGER_ALL_ACCESS));
        EXPECT_EQ(0, c.call(opened)) << c.what;
        EXPECT_EQ(c.code, opened.GetErrorCode()) << c.what;
        // Without an open manager only a missing name comes first.
        EXPECT_EQ(0, c.call(closed)) << c.what;
        EXPECT_TRUE(closed.GetErrorCode() == kNoHandle || closed.GetErrorCode() == kNullArgument)
            << c.what << ": " << closed.GetErrorCode();
    }
    EXPECT_EQ("", name);
}

TEST_F(ServiceManagerFixture, InteractiveServicesFlagIsStoredInverted)
{
    const char kKey[] = "System\\CurrentControlSet\\Control\\Windows";
    const char kValue[] = "NoInteractiveServices";
    CRegistry registry;
    ASSERT_EQ(1, registry.Connect(HKEY_LOCAL_MACHINE));
    ASSERT_EQ(1, registry.Open(kKey));
    DWORD original = 0;
    bool hadValue = registry.GetDoubleWordValue(kValue, original);
    struct Case {
        BOOL enable;
        DWORD stored;
    } cases[] = {{FALSE, 1}, {TRUE, 0}};
    for (const Case& c : cases) {
        ASSERT_EQ(1, manager_.SetInteractiveServices(c.enable));
        DWORD stored = 99;
        EXPECT_EQ(1, registry.GetDoubleWordValue(kValue, stored));
        EXPECT_EQ(c.stored, stored) << c.enable;
    }
    if (hadValue)
        registry.SetDoubleWordValue(kValue, original);
    else
        registry.DeleteValue(kValue);
}

}  // namespace
