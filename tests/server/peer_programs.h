// Peers that the link tests run as programs beside themselves: stand-in
// agents and recording consoles, each on a pipe of this process's own.
#ifndef TESTS_SERVER_PEER_PROGRAMS_H
#define TESTS_SERVER_PEER_PROGRAMS_H

#include <piped_program.h>

#include <windows.h>

#include <sstream>
#include <string>
#include <vector>

// "\pipe\vantorel-<process id>-<name>": tests in other processes never meet it.
inline std::string TestPipe(const std::string& name)
{
    return "\\pipe\\vantorel-" + std::to_string(GetCurrentProcessId()) + "-" + name;
}

// Ends a peer through its standard input and returns every line it printed
// after its start line.
inline std::vector<std::string> QuitAndCollect(PipedProgram& peer)
{
    peer.Send("quit");
    std::string output;
    peer.Finish(output);
    std::vector<std::string> lines;
    std::istringstream in(output);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

// Lines joined one per row, so that a failure prints them as a sequence.
inline std::string Rows(const std::vector<std::string>& lines)
{
    std::string rows;
    for (const std::string& line : lines)
        rows += line + "\n";
    return rows;
}

#endif
