#include "temp_path.h"

#include <windows.h>

std::string TempPath(const std::string& name)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "vantorel-" +
                       std::to_string((unsigned long)GetCurrentProcessId()) + "-" + name;
    DeleteFileA(path.c_str());
    return path;
}
