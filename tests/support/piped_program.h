// A helper program that a test runs on this process's console: its output
// is read through a pipe and its input written through one. Service
// programs run this way with "-debug"; a stop is Ctrl+C, as a user gives it,
// which reaches every program on the console at once.
#ifndef TESTS_SUPPORT_PIPED_PROGRAM_H
#define TESTS_SUPPORT_PIPED_PROGRAM_H

#include <windows.h>

#include <string>

class PipedProgram {
public:
    PipedProgram(const std::string& path, const std::string& arguments);
    // Ends a program still running, as Kill does.
    ~PipedProgram();
    PipedProgram(const PipedProgram&) = delete;
    PipedProgram& operator=(const PipedProgram&) = delete;

    // Starts it; with a `startLine`, waits (bounded) until it prints a line
    // starting so. FALSE when it did not start or print it.
    bool Start(const std::string& startLine = "", DWORD timeoutMs = 20000);
    // The next line starting with `prefix` (lines before it are skipped);
    // empty after `timeoutMs`.
    std::string WaitForLine(const std::string& prefix, DWORD timeoutMs);
    // Writes a line to its standard input.
    void Send(const std::string& line);
    // Ends it at once, as a crash would.
    void Kill();
    // Ctrl+C, then everything it printed until it ended: its exit code, or
    // -1 when it had to be killed.
    int Stop(std::string& output, DWORD timeoutMs = 20000);
    // As Stop, after a Ctrl+C already sent to the console.
    int Finish(std::string& output, DWORD timeoutMs = 20000);
    bool Running() const { return m_process.hProcess != NULL; }

private:
    std::string m_commandLine;
    PROCESS_INFORMATION m_process;
    HANDLE m_input;
    HANDLE m_output;
    std::string m_pending;
};

#endif
