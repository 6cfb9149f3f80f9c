// Paths of scratch files for tests. Test cases run as separate processes at
// the same time, so every path carries the process ID.
#ifndef TESTS_SUPPORT_TEMP_PATH_H
#define TESTS_SUPPORT_TEMP_PATH_H

#include <string>

// "<temp folder>vantorel-<process id>-<name>"; any file there is deleted.
std::string TempPath(const std::string& name);

#endif
