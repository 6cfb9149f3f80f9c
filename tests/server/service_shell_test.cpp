#include "recording_shell.h"

#include <zqdb32/zqdb32.h>

#include <gtest/gtest.h>

#include <process.h>

const ServiceConstants kTestConstants = {
    "vtshelltest", "Shell Test", "RpcSs", "test started", "test shutting down", "test stopped",
};

namespace {

using Calls = std::vector<std::string>;

// A control code of the service's own (128 to 255).
const DWORD kUserControl = 128;

struct ControlCase {
    const char* name;
    BOOL running;
    BOOL paused;
    DWORD code;
    Calls calls;
    DWORD state;
    BOOL pausedAfter;
};

TEST(ServiceShellControl, CodesAgainstStates)
{
    const ControlCase cases[] = {
        {"pause while running", TRUE, FALSE, SERVICE_CONTROL_PAUSE,
         {"report SERVICE_PAUSE_PENDING/1", "pause", "report SERVICE_PAUSED/0"}, SERVICE_PAUSED,
         TRUE},
        {"pause while paused", TRUE, TRUE, SERVICE_CONTROL_PAUSE, {"report SERVICE_PAUSED/0"},
         SERVICE_PAUSED, TRUE},
        {"pause while not running", FALSE, FALSE, SERVICE_CONTROL_PAUSE,
         {"report SERVICE_START_PENDING/0"}, SERVICE_START_PENDING, FALSE},
        {"continue while paused", TRUE, TRUE, SERVICE_CONTROL_CONTINUE,
         {"report SERVICE_CONTINUE_PENDING/1", "continue", "report SERVICE_RUNNING/0"},
         SERVICE_RUNNING, FALSE},
        {"continue while not paused", TRUE, FALSE, SERVICE_CONTROL_CONTINUE,
         {"report SERVICE_RUNNING/0"}, SERVICE_RUNNING, FALSE},
        {"interrogate", TRUE, FALSE, SERVICE_CONTROL_INTERROGATE, {"report SERVICE_RUNNING/0"},
         SERVICE_RUNNING, FALSE},
        {"user code", TRUE, FALSE, kUserControl, {"control 128", "report SERVICE_RUNNING/0"},
         SERVICE_RUNNING, FALSE},
        {"stop", TRUE, FALSE, SERVICE_CONTROL_STOP,
         {"report SERVICE_STOP_PENDING/1", "stop", "signal"}, SERVICE_STOPPED, FALSE},
        {"stop while paused", TRUE, TRUE, SERVICE_CONTROL_STOP,
         {"report SERVICE_STOP_PENDING/1", "stop", "signal"}, SERVICE_STOPPED, TRUE},
        {"shutdown", TRUE, FALSE, SERVICE_CONTROL_SHUTDOWN,
         {"report SERVICE_STOP_PENDING/1", "shutdown", "save", "signal"}, SERVICE_STOPPED, FALSE},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        RecordingSink sink;
        RecordingShell shell;
        if (c.running)
            shell.MakeRunning(c.paused);
        ServiceShell::ControlHandler(c.code);
        EXPECT_EQ(c.calls, shell.calls);
        EXPECT_EQ(ServiceStateName(c.state), ServiceStateName(shell.GetCurrentState()));
        EXPECT_EQ(c.pausedAfter, shell.IsPaused());
    }
}

TEST(ServiceShellControl, EntriesOfStartStopAndShutdown)
{
    RecordingSink sink;
    RecordingShell shell;
    ASSERT_TRUE(shell.OnInit());
    shell.MakeRunning(FALSE);
    ServiceShell::ControlHandler(SERVICE_CONTROL_SHUTDOWN);
    ServiceShell::ControlHandler(SERVICE_CONTROL_STOP);
    ASSERT_EQ(3u, sink.entries.size());
    EXPECT_EQ("test started", sink.entries[0].text);
    EXPECT_EQ("test shutting down", sink.entries[1].text);
    EXPECT_EQ("test stopped", sink.entries[2].text);
    for (const RecordedEntry& entry : sink.entries)
        EXPECT_EQ(EVENTLOG_INFORMATION_TYPE, entry.type);
    EXPECT_FALSE(shell.IsRunning());
}

// A worker that holds the database lock while it works, as the server's
// does: pausing must leave the lock free for other threads.
struct PauseProbe {
    HANDLE stop;
    volatile LONG rounds;
};
PauseProbe gProbe;

unsigned __stdcall CountingWorker(void*)
{
    CNeoLock lock;
    for (;;) {
        {
            CNeoCriticalRelease release;
            if (!ServiceShell::Instance()->WaitWhilePaused(gProbe.stop))
                break;
        }
        InterlockedIncrement(&gProbe.rounds);
        Sleep(1);
    }
    return 0;
}

DWORD WINAPI TakeLibraryLock(void* done)
{
    CNeoLock lock;
    SetEvent(done);
    return 0;
}

TEST(ServiceShellPause, WorkerWaitsWithoutItsLocksAndResumes)
{
    RecordingSink sink;
    RecordingShell shell(CountingWorker);
    gProbe.stop = CreateEventA(NULL, TRUE, FALSE, NULL);
    gProbe.rounds = 0;
    shell.MakeRunning(FALSE);
    HANDLE worker = (HANDLE)_beginthreadex(NULL, 0, CountingWorker, NULL, 0, NULL);
    ASSERT_TRUE(worker != NULL);

    ServiceShell::ControlHandler(SERVICE_CONTROL_PAUSE);
    ASSERT_TRUE(shell.IsPaused());
    Sleep(100);
    LONG pausedAt = gProbe.rounds;
    HANDLE locked = CreateEventA(NULL, TRUE, FALSE, NULL);
    HANDLE taker = CreateThread(NULL, 0, TakeLibraryLock, locked, 0, NULL);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(locked, 5000)) << "the paused worker holds the lock";
    Sleep(100);
    EXPECT_EQ(pausedAt, gProbe.rounds);

    ServiceShell::ControlHandler(SERVICE_CONTROL_CONTINUE);
    EXPECT_FALSE(shell.IsPaused());
    for (int i = 0; i < 500 && gProbe.rounds == pausedAt; ++i)
        Sleep(10);
    EXPECT_GT(gProbe.rounds, pausedAt);

    // A stop reaches a paused worker too.
    ServiceShell::ControlHandler(SERVICE_CONTROL_PAUSE);
    SetEvent(gProbe.stop);
    EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(worker, 5000));
    WaitForSingleObject(taker, 5000);
    CloseHandle(taker);
    CloseHandle(locked);
    CloseHandle(worker);
    CloseHandle(gProbe.stop);
}

LONG gWorkerArgument;
unsigned __stdcall RecordArgumentWorker(void* argument)
{
    gWorkerArgument = (LONG)(INT_PTR)argument;
    return 0;
}

TEST(ServiceShellDebug, RunsWorkerOnlyAfterInit)
{
    RecordingSink sink;
    for (BOOL initResult : {FALSE, TRUE}) {
        SCOPED_TRACE(initResult);
        RecordingShell shell(RecordArgumentWorker);
        shell.initResult = initResult;
        gWorkerArgument = 0;
        shell.RunDebug();
        EXPECT_TRUE(shell.IsDebugMode());
        EXPECT_EQ(initResult ? 1 : 0, gWorkerArgument);
    }
}

TEST(ServiceShellEventLog, ErrorEntriesCarryTheSystemErrorText)
{
    RecordingSink sink;
    RecordingShell shell;
    SetLastError(ERROR_ACCESS_DENIED);
    shell.LogEvent(EVENTLOG_ERROR_TYPE, "Something failed");
    SetLastError(ERROR_ACCESS_DENIED);
    shell.LogEvent(EVENTLOG_ERROR_TYPE, NULL);
    SetLastError(ERROR_ACCESS_DENIED);
    shell.LogEvent(EVENTLOG_WARNING_TYPE, "plain");
    ASSERT_EQ(3u, sink.entries.size());

    char errorText[256];
    SetLastError(ERROR_ACCESS_DENIED);
    ServiceShell::GetLastErrorText(errorText, sizeof errorText);
    std::string text = errorText;
    ASSERT_GT(text.size(), 6u);
    EXPECT_EQ(" (0x5)", text.substr(text.size() - 6));
    EXPECT_EQ(std::string::npos, text.find('\n'));
    EXPECT_EQ("Something failed\n" + text, sink.entries[0].text);
    EXPECT_EQ(text, sink.entries[1].text);
    EXPECT_EQ("plain", sink.entries[2].text);
    EXPECT_EQ(EVENTLOG_WARNING_TYPE, sink.entries[2].type);
}

TEST(ServiceShellEventLog, ErrorTextTooLongForTheBufferIsEmpty)
{
    char small[20];
    strcpy(small, "old");
    SetLastError(ERROR_ACCESS_DENIED);  // "Access denied.\r\n" + 14 > 20
    EXPECT_STREQ("", ServiceShell::GetLastErrorText(small, sizeof small));
    SetLastError(0x7FFFFFFF);  // no text
    char buffer[256];
    EXPECT_STREQ("", ServiceShell::GetLastErrorText(buffer, sizeof buffer));
}

TEST(ServiceShellArguments, KeepsEveryArgument)
{
    RecordingShell shell;
    char first[] = "vtshelltest", second[] = "-x", third[] = "value";
    char* arguments[] = {first, second, third};
    shell.ParseArguments(3, arguments);
    ASSERT_EQ(3, shell.Arguments().GetSize());
    EXPECT_STREQ("vtshelltest", shell.Arguments()[0]);
    EXPECT_STREQ("value", shell.Arguments()[2]);
}

}  // namespace
