// A scratch folder for directory triggers: created empty, and new files are
// added to it one by one; folder and files are gone afterwards. A file left
// by an earlier run would make no change, so leftovers are removed first.
#ifndef TESTS_SUPPORT_WATCHED_FOLDER_H
#define TESTS_SUPPORT_WATCHED_FOLDER_H

#include <string>
#include <vector>

class WatchedFolder {
public:
    explicit WatchedFolder(const std::string& name);
    ~WatchedFolder();
    WatchedFolder(const WatchedFolder&) = delete;
    WatchedFolder& operator=(const WatchedFolder&) = delete;

    // Creates a new file in the folder; false when it cannot.
    bool AddFile();

    const std::string path;

private:
    void RemoveAll();
    int m_added = 0;
};

#endif
