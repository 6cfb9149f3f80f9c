// Helper programs that tests start as a second process.
#ifndef TESTS_SUPPORT_PROCESSES_H
#define TESTS_SUPPORT_PROCESSES_H

#include <windows.h>

#include <string>

// What zqserver -debug prints once it has started, and what zqagent -debug
// prints once it listens on its pipe: runners of the programs wait for them.
const char kServerStartedLine[] = "The Vantorel server was started.";
const char kListeningLine[] = "Named pipe RPC channel open";

// A program that sits beside the running one.
std::string ProgramBesideMe(const char* name);

// Starts a program with arguments, its output into a pipe that the caller
// reads from *output; returns FALSE when it cannot be started.
BOOL StartWithPipes(const std::string& commandLine, PROCESS_INFORMATION* process, HANDLE* input,
                    HANDLE* output);
// Reads the next line that starts with `prefix` from a pipe; `pending`
// keeps what was read past it. Empty after `timeoutMs`.
std::string ReadLineFrom(HANDLE output, std::string& pending, const std::string& prefix,
                         DWORD timeoutMs);

// Runs a program to its end and collects its output (CR LF read as LF);
// its exit code, -1 when it did not end within `timeoutMs` (it is ended
// then), -2 when it could not start.
int RunProgram(const std::string& commandLine, std::string& output, DWORD timeoutMs = 30000);
// The end of RunProgram for a program that StartWithPipes started: collects
// its output until it ends and closes its handles and pipes.
int FinishProgram(PROCESS_INFORMATION& process, HANDLE input, HANDLE pipe, std::string& output,
                  DWORD timeoutMs);

// Gives this process a console of its own (once), which the console
// programs it starts from then on share; Ctrl+C on it passes this process by.
void UseOwnConsole();
// Ctrl+C, as a user presses it, for the programs on that console.
BOOL SendCtrlC();

#endif
