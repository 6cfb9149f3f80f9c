// Process steps as the agent runs them: output capture, creation flags,
// environment, command lines, constraints, logon and cancelling.
#include "agent_fixture.h"
#include "agent_test_util.h"

#include <oscalls/oscalls.h>

#include <string.h>

#include <thread>

namespace
{

const char kBanner[] =
    "\r\n---------------------- ..Snip.. -----------------------\r\n"
    "Output is to long and has been truncated by Vantorel\r\n"
    "-------------------------------------------------------\r\n";
const int kCaptureLimit = 2048;
// The banner with its NUL.
const int kBannerBytes = sizeof kBanner;
const int kLongestUncut = kCaptureLimit - kBannerBytes;

const bool kKept = false;
const bool kCut = true;
const bool kBroken = true;
const bool kHolds = false;

// Start's results.
const long kEnded = 0;
const long kKilledFromOutside = 1;

CPProcessExe* NewStep(const std::string& commands)
{
    CPProcessExe* step = static_cast<CPProcessExe*>(CPProcessExe::Create());
    step->SetName("step");
    step->SetProgramPath(ChildPath().c_str());
    step->SetArguments(commands.c_str());
    step->SetInteractive(0);
    return step;
}

bool Contains(const CString& text, const char* part)
{
    return strstr(text, part) != NULL;
}

class ProcessSteps : public AgentManagers
{
};

TEST_F(ProcessSteps, OutputIsCutWithABannerEndingAtTheLimit)
{
    struct Case {
        const char* what;
        int bytes;
        bool cut;
    } cases[] = {
        {"longest output kept whole", kLongestUncut, kKept},
        {"one byte more", kLongestUncut + 1, kCut},
        {"far more", 10000, kCut},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int before = CaptureFileCount();
        CNeoRef<CPProcessExe> step(NewStep("out " + std::to_string(c.bytes) + " err 5 exit 7"));
        step->SetCaptureOptions(kCaptureStdOut | kCaptureStdErr);
        EXPECT_EQ(kEnded, RunStep(step.get()));
        CString out = step->GetStandardOutput();
        if (c.cut) {
            EXPECT_EQ(kCaptureLimit - 1, out.GetLength());
            EXPECT_EQ(std::string(kLongestUncut, 'o') + kBanner, std::string(out));
        } else {
            EXPECT_EQ(std::string(c.bytes, 'o'), std::string(out));
        }
        EXPECT_EQ(std::string("eeeee"), std::string(step->GetStandardError()));
        EXPECT_EQ(7u, step->GetExitCode());
        EXPECT_EQ(std::string("Process step step completed successfully. Exit code: 7"),
                  std::string(step->GetServerMessage()));
        EXPECT_EQ(1, gCompletedQueue->Count());
        gCompletedQueue->Remove(step.get());
        EXPECT_EQ(before, CaptureFileCount());
    }
}

TEST_F(ProcessSteps, CaptureOptionsChooseTheStreams)
{
    CNeoRef<CPProcessExe> step(NewStep("out 3 err 4"));
    step->SetCaptureOptions(kCaptureStdErr);
    RunStep(step.get());
    EXPECT_EQ(std::string(""), std::string(step->GetStandardOutput()));
    EXPECT_EQ(std::string("eeee"), std::string(step->GetStandardError()));
    gCompletedQueue->Remove(step.get());
}

// Files whose kind decides the flags of program kind 0.
class ExecutableFiles
{
public:
    ExecutableFiles()
    {
        char folder[MAX_PATH + 1];
        GetTempPathA(MAX_PATH, folder);
        base = std::string(folder) + "agent-kind-" + std::to_string(GetCurrentProcessId());
        BYTE mz[64] = {'M', 'Z'};
        mz[60] = 8;  // the "PE" offset points at zeros
        Write("mz.exe", mz, sizeof mz);
        Write("plain.cmd", (const BYTE*)"@echo off\r\nexit 0\r\n", 18);
        BYTE eightBit[] = {'@', 'e', 'c', 'h', 'o', ' ', 0xE9, '\r', '\n'};
        Write("eight.cmd", eightBit, sizeof eightBit);
        Write("plain.txt", (const BYTE*)"text", 4);
    }
    ~ExecutableFiles()
    {
        for (const char* name : {"mz.exe", "plain.cmd", "eight.cmd", "plain.txt"})
            DeleteFileA(Path(name).c_str());
    }
    std::string Path(const char* name) const { return base + "-" + name; }

private:
    void Write(const char* name, const BYTE* bytes, DWORD count)
    {
        HANDLE file =
            CreateFileA(Path(name).c_str(), GENERIC_WRITE, 0, NULL, CREATE_ALWAYS, 0, NULL);
        DWORD written = 0;
        WriteFile(file, bytes, count, &written, NULL);
        CloseHandle(file);
    }
    std::string base;
};

TEST_F(ProcessSteps, CreationFlagsFollowTheProgramKindAndFile)
{
    const DWORD kDetached = 0x228, kSeparateVdm = 0xA20, kNewConsole = 0x230, kNormal = 0x20;
    ExecutableFiles files;
    struct Case {
        long programKind;
        std::string path;
        long executableKind;
        DWORD flags;
    } cases[] = {
        {0, ChildPath(), CPProcessExe::kPortableImage, kDetached},
        {0, files.Path("mz.exe"), CPProcessExe::kPlainMZ, kSeparateVdm},
        {0, files.Path("plain.cmd"), CPProcessExe::kSevenBitBatch, kDetached},
        {0, files.Path("eight.cmd"), CPProcessExe::kOtherFile, kNormal},
        {0, files.Path("plain.txt"), CPProcessExe::kOtherFile, kNormal},
        {0, files.Path("missing.exe"), CPProcessExe::kOtherFile, kNormal},
        {1, files.Path("plain.txt"), CPProcessExe::kOtherFile, kNewConsole},
        {2, files.Path("plain.txt"), CPProcessExe::kOtherFile, kSeparateVdm},
        {3, files.Path("plain.txt"), CPProcessExe::kOtherFile, kNewConsole},
        {9, ChildPath(), CPProcessExe::kPortableImage, kNormal},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.programKind) + " " + c.path);
        CNeoRef<CPProcessExe> step(NewStep(""));
        step->SetProgramKind(c.programKind);
        step->SetProgramPath(c.path.c_str());
        EXPECT_EQ(c.executableKind, CPProcessExe::GetExecutableKind(c.path.c_str()));
        EXPECT_EQ(c.flags, step->GetCreationFlags());
    }
}

TEST_F(ProcessSteps, EnvironmentIsSortedWithoutRegardToCase)
{
    struct Case {
        std::string block;
        bool inherits;
        std::string sorted;
    } cases[] = {
        {std::string("b=2\0A=1\0c=3\0\0", 13), false, std::string("A=1\0b=2\0c=3\0\0", 13)},
        {std::string("Z=1\0\0", 5), false, std::string("Z=1\0\0", 5)},
        {std::string("\0\0", 2), true, ""},
        {"", true, ""},
    };
    for (const Case& c : cases) {
        CNeoRef<CPProcessExe> step(NewStep(""));
        step->SetEnvironment(c.block.data(), (unsigned long)c.block.size());
        const void* block = step->BuildEnvironmentBlock();
        EXPECT_EQ(c.inherits, block == NULL);
        if (block) {
            EXPECT_EQ(c.sorted, std::string((const char*)block, c.sorted.size()));
        }
    }
}

TEST_F(ProcessSteps, CommandLinesQuoteThePathAndFlattenArguments)
{
    struct Case {
        const char* path;
        const char* arguments;
        const char* commandLine;
    } cases[] = {
        {"C:\\my tools\\run.exe", "", "\"C:\\my tools\\run.exe\" "},
        {"run.exe", "-a 1", "\"run.exe\" -a 1"},
        {"run.exe", "first\r\nsecond", "\"run.exe\" first second"},
        {"run.exe", "a\tb\t", "\"run.exe\" ab"},
    };
    for (const Case& c : cases) {
        CNeoRef<CPProcessExe> step(NewStep(c.arguments));
        step->SetProgramPath(c.path);
        EXPECT_EQ(std::string(c.commandLine), std::string(step->BuildCommandLine()));
    }
}

TEST_F(ProcessSteps, BrokenConstraintsKillTheProcessAndLeaveNoCaptureFiles)
{
    struct Case {
        const char* what;
        void (*limit)(CPProcessExe* step);
        const char* message;
    } cases[] = {
        {"duration",
         [](CPProcessExe* step) {
             step->SetDurationLimit(1);
             step->SetDurationUnit(kSeconds);
         },
         "Constraint violated! Execution duration exceeded 1 second(s)\r\nExit code: 3"},
        {"working set", [](CPProcessExe* step) { step->SetWorkingSetLimit(1); },
         "Constraint violated! Memory used exceeds 1 kilobytes(working set)."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        int before = CaptureFileCount();
        CNeoRef<CPProcessExe> step(NewStep("out 10 sleep 20000"));
        step->SetExitCode(3);
        c.limit(step.get());
        DWORD started = GetTickCount();
        EXPECT_EQ(kEnded, RunStep(step.get()));
        EXPECT_LT(GetTickCount() - started, 10000u);
        EXPECT_TRUE(Contains(step->GetServerMessage(), c.message)) << step->GetServerMessage();
        EXPECT_EQ(1, gCompletedQueue->Count());
        gCompletedQueue->Remove(step.get());
        EXPECT_EQ(before, CaptureFileCount());
    }
}

// CPU times a test chooses, beside the real creation time.
class ChosenCpuTimes : public Win32ProcessTimeCalls
{
public:
    ChosenCpuTimes(ULONGLONG userSeconds, ULONGLONG kernelSeconds)
        : m_user(userSeconds * 10000000), m_kernel(kernelSeconds * 10000000)
    {
    }
    virtual BOOL GetProcessTimes(HANDLE process, DWORD id, FILETIME* creation, FILETIME* exit,
                                 FILETIME* kernel, FILETIME* user)
    {
        if (!Win32ProcessTimeCalls::GetProcessTimes(process, id, creation, exit, kernel, user))
            return FALSE;
        *kernel = {(DWORD)m_kernel, (DWORD)(m_kernel >> 32)};
        *user = {(DWORD)m_user, (DWORD)(m_user >> 32)};
        return TRUE;
    }

private:
    ULONGLONG m_user;
    ULONGLONG m_kernel;
};

TEST_F(ProcessSteps, CpuLimitCountsUserAndKernelTimeTogether)
{
    struct Case {
        ULONGLONG user, kernel;
        long limit, unit;
        bool broken;
    } cases[] = {
        {30, 30, 1, kMinutes, kBroken},
        {29, 30, 1, kMinutes, kHolds},
        {0, 60, 1, kMinutes, kBroken},
        {5, 4, 10, kSeconds, kHolds},
        {3599, 1, 1, kHours, kBroken},
        {3599, 1, 1, 7, kHolds},  // an unknown unit turns the check off
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.user) + " + " + std::to_string(c.kernel));
        ChosenCpuTimes times(c.user, c.kernel);
        ScopedStandIn<ProcessTimeCalls> installed(times);
        CNeoRef<CPProcessExe> step(NewStep("sleep 300"));
        step->SetCpuTimeLimit(c.limit);
        step->SetCpuTimeUnit(c.unit);
        RunStep(step.get());
        EXPECT_EQ(c.broken, Contains(step->GetServerMessage(), "CPU time exceeded"))
            << step->GetServerMessage();
        gCompletedQueue->Remove(step.get());
    }
}

// Logons that fail where a test chooses, recording the names they were given.
class ChosenLogon : public Win32LogonCalls
{
public:
    ChosenLogon(bool logonWorks, bool canImpersonate, bool impersonationWorks)
        : m_logonWorks(logonWorks),
          m_canImpersonate(canImpersonate),
          m_impersonationWorks(impersonationWorks)
    {
    }
    virtual BOOL LogonUser(const char* user, const char* domain, const char*, DWORD, DWORD,
                           HANDLE* token)
    {
        names = std::string(domain) + "|" + user;
        SetLastError(ERROR_LOGON_FAILURE);
        *token = m_logonWorks ? CreateEventA(NULL, FALSE, FALSE, NULL) : NULL;
        return m_logonWorks;
    }
    virtual BOOL CloseToken(HANDLE token) { return CloseHandle(token); }
    virtual BOOL CanImpersonate() { return m_canImpersonate; }
    virtual BOOL Impersonate(HANDLE)
    {
        SetLastError(ERROR_ACCESS_DENIED);
        return m_impersonationWorks;
    }
    virtual BOOL RevertToSelf() { return TRUE; }
    std::string names;

private:
    bool m_logonWorks, m_canImpersonate, m_impersonationWorks;
};

TEST_F(ProcessSteps, LogonFailuresAreReportedAndTheAgentsAccountIsSaid)
{
    struct Case {
        const char* account;
        ChosenLogon logon;
        const char* names;
        const char* message;
    } cases[] = {
        {"NIGHT\\batch", ChosenLogon(false, true, true), "NIGHT|batch",
         "Impersonation of account NIGHT\\batch failed. The account may be invalid or password "
         "may have expired. Error: 52e"},
        {"batch", ChosenLogon(true, true, false), "|batch",
         "Impersonation of account batch failed. The account was valid but Vantorel was unable "
         "to impersonate the account. Error: 5"},
        {"batch", ChosenLogon(true, false, false), "|batch",
         "Process step step completed successfully. Exit code: 0\r\nAccount batch was logged on, "
         "but this platform cannot start processes as it: the step ran as the agent's account."},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.message);
        ScopedStandIn<LogonCalls> installed(c.logon);
        CNeoRef<CPProcessExe> step(NewStep(""));
        step->SetAlternateAccount(c.account);
        RunStep(step.get());
        EXPECT_EQ(std::string(c.names), c.logon.names);
        EXPECT_EQ(std::string(c.message), std::string(step->GetServerMessage()));
        gCompletedQueue->Remove(step.get());
    }
}

TEST_F(ProcessSteps, StepsThatCannotStartAreCompletedWithTheReason)
{
    int before = CaptureFileCount();
    CNeoRef<CPProcessExe> missing(NewStep(""));
    missing->SetProgramPath("C:\\no such folder\\none.exe");
    EXPECT_EQ(kEnded, RunStep(missing.get()));
    EXPECT_TRUE(Contains(missing->GetServerMessage(),
                         "Unable to execute process step 'step'.\r\n"
                         "Error: 2, "))
        << missing->GetServerMessage();
    EXPECT_EQ(before, CaptureFileCount());

    CNeoRef<CPProcessExe> greedy(NewStep(""));
    greedy->SetStartMemoryLimit(0x7FFFFFFF);
    RunStep(greedy.get());
    EXPECT_EQ(std::string("\r\nConstraint violated, process didn't start!\r\nAvailable memory is "
                          "less than 2147483647 kilobytes\r\nExit code: 0"),
              std::string(greedy->GetServerMessage()));

    CNeoRef<CPProcessScript> script(static_cast<CPProcessScript*>(CPProcessScript::Create()));
    script->SetName("report");
    script->SetScript("Print 1");
    script->SetStartMemoryLimit(0x7FFFFFFF);
    EXPECT_EQ(kEnded, RunStep(script.get()));
    EXPECT_EQ(std::string("\r\nConstraint violated, server script didn't start!\r\nAvailable memory "
                          "is less than 2147483647 kilobytes\r\nExit code: 0"),
              std::string(script->GetServerMessage()));
    EXPECT_EQ(3, gCompletedQueue->Count());
    for (CPProcessBase* step : {(CPProcessBase*)missing.get(), (CPProcessBase*)greedy.get(),
                                (CPProcessBase*)script.get()})
        gCompletedQueue->Remove(step);
}

TEST_F(ProcessSteps, ACancelWhileRunningEndsTheStepUnreturnedAndALateOneDoesNothing)
{
    int before = CaptureFileCount();
    CNeoRef<CPProcessExe> step(NewStep("sleep 20000"));
    long result = -1;
    std::thread runner([&] { result = RunStep(step.get()); });
    Sleep(1000);
    {
        CNeoLock lock;
        step->Kill();
    }
    runner.join();
    EXPECT_EQ(kKilledFromOutside, result);
    EXPECT_EQ(0, gCompletedQueue->Count());
    EXPECT_EQ(before, CaptureFileCount());

    CNeoRef<CPProcessExe> finished(NewStep("exit 4"));
    EXPECT_EQ(kEnded, RunStep(finished.get()));
    {
        CNeoLock lock;
        finished->Kill();
    }
    EXPECT_EQ(4u, finished->GetExitCode());
    EXPECT_EQ(1, gCompletedQueue->Count());
    gCompletedQueue->Remove(finished.get());
}

}  // namespace
