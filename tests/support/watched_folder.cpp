#include "watched_folder.h"

#include "temp_path.h"

#include <windows.h>

WatchedFolder::WatchedFolder(const std::string& name) : path(TempPath(name))
{
    RemoveAll();
    CreateDirectoryA(path.c_str(), NULL);
}

WatchedFolder::~WatchedFolder()
{
    RemoveAll();
}

void WatchedFolder::RemoveAll()
{
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((path + "\\*").c_str(), &found);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                DeleteFileA((path + "\\" + found.cFileName).c_str());
        } while (FindNextFileA(search, &found));
        FindClose(search);
    }
    RemoveDirectoryA(path.c_str());
}

bool WatchedFolder::AddFile()
{
    std::string file = path + "\\file" + std::to_string(m_added) + ".txt";
    HANDLE handle = CreateFileA(file.c_str(), GENERIC_WRITE, 0, NULL, CREATE_NEW, 0, NULL);
    if (handle == INVALID_HANDLE_VALUE)
        return false;
    CloseHandle(handle);
    ++m_added;
    return true;
}
