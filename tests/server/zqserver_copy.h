// A copy of zqserver.exe in a scratch folder, so that its "Database" folder
// is the test's own; the tests run it with arguments or as `zqserver -debug`
// and open its database file in their own process.
#ifndef TESTS_SERVER_ZQSERVER_COPY_H
#define TESTS_SERVER_ZQSERVER_COPY_H

#include <piped_program.h>
#include <processes.h>

#include <zqdb32/zqdb32.h>

#include <memory>
#include <string>

class ZqserverCopy {
public:
    ZqserverCopy();
    // Ends a server still running (as Kill does) and deletes the copy.
    ~ZqserverCopy();
    ZqserverCopy(const ZqserverCopy&) = delete;
    ZqserverCopy& operator=(const ZqserverCopy&) = delete;

    std::string DatabaseFolder() const { return folder + "\\Database"; }
    std::string DatabaseFile() const { return DatabaseFolder() + "\\zqdata.db"; }

    // Runs the copy with `arguments`; its exit code, or -1 when it did not
    // end within `timeout` ms (it is killed then).
    int Run(const std::string& arguments, std::string& output, DWORD timeout = 30000) const;

    // Opens the copy's database file in this process, while no server runs;
    // `create` makes the folder and the file when they are missing. The
    // caller registers the model's keys first.
    std::unique_ptr<CNeoDatabase> OpenDatabase(BOOL create = FALSE);

    // Starts `zqserver -debug` and waits (bounded) until it reports its
    // start; FALSE when it did not.
    bool StartDebug();
    // Ends the running server at once, as a crash would.
    void Kill();
    // Stops the running server as Ctrl+C in its console does and waits
    // (bounded) for its end: its exit code, or -1 when it had to be killed.
    // `output` gets what the server printed while stopping.
    int StopDebug(std::string& output);
    // As StopDebug, after a Ctrl+C already given to the console.
    int FinishDebug(std::string& output);

    std::string folder;
    std::string exe;
    BOOL copied;

private:
    CNeoFileLocation m_location;
    PipedProgram m_debug;
};

#endif
