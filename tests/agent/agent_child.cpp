// The process that agent tests run as a step. Its arguments are commands,
// done in order: "out N" and "err N" write N bytes to standard output or
// error, "sleep MS" waits, "touch KB" uses that much memory, "created 0"
// writes the creation time of its process (a FILETIME as a decimal number of
// 100 ns units) to standard output, "exit CODE" ends with that code.
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

int main(int argc, char** argv)
{
    std::vector<char> memory;
    for (int i = 1; i + 1 < argc; i += 2) {
        const char* command = argv[i];
        long value = atol(argv[i + 1]);
        if (strcmp(command, "out") == 0 || strcmp(command, "err") == 0) {
            std::vector<char> bytes(value, strcmp(command, "out") == 0 ? 'o' : 'e');
            fwrite(bytes.data(), 1, bytes.size(), strcmp(command, "out") == 0 ? stdout : stderr);
            fflush(NULL);
        } else if (strcmp(command, "sleep") == 0) {
            Sleep(value);
        } else if (strcmp(command, "touch") == 0) {
            memory.assign((size_t)value * 1024, 'm');
        } else if (strcmp(command, "created") == 0) {
            FILETIME created, exited, kernel, user;
            GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
            printf("%llu\n", ((unsigned long long)created.dwHighDateTime << 32) |
                                 created.dwLowDateTime);
            fflush(stdout);
        } else if (strcmp(command, "exit") == 0) {
            return (int)value;
        }
    }
    return 0;
}
