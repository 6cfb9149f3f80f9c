// The deterministic sequence of commits that the crash writer makes and the
// crash test replays to know what each commit holds.
#ifndef TESTS_ZQDB32_CRASH_WORKLOAD_H
#define TESTS_ZQDB32_CRASH_WORKLOAD_H

#include "things.h"

#include <map>
#include <string>

struct ThingState {
    NeoClassID classID;
    std::string name;
    NeoID parent;
    long number;
    long noteVersion;  // the note is MakeNote(ID, noteVersion); -1: a note it never had
    bool operator==(const ThingState& o) const
    {
        return classID == o.classID && name == o.name && parent == o.parent &&
               number == o.number && noteVersion == o.noteVersion;
    }
};
typedef std::map<NeoID, ThingState> DatabaseState;

// Object 1 counts the commits: its number is the number of the last commit.
const NeoID kCounterID = 1;

class CrashWorkload {
public:
    explicit CrashWorkload(unsigned long seed) : fSeed(seed) {}
    // Applies commit `number` (1, 2, ...) to the state and, when given, to
    // the database (without committing). Commits must come in order.
    void apply(long number, DatabaseState& state, CNeoDatabase* db);
    // The state after the commits up to `number`, from an empty database.
    DatabaseState stateAfter(long number);

private:
    unsigned long fSeed;
};

// The note of an object at a version: large, so that many kills land inside
// a commit, and starting with the version so that a reader can check it.
std::string MakeNote(NeoID id, long version);

// Every CThing (with subclasses) in the database.
DatabaseState ReadState(CNeoDatabase& db);

#endif
