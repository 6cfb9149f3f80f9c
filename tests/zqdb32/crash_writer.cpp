// The writer that the crash tests kill at random moments.
//   crash_writer commits PATH SEED  commits the workload from where the file
//                                   stands, printing "open" once ready and
//                                   "committed N" after each commit
//   crash_writer ids PATH           hands out IDs without committing, prints
//                                   "id N" for each and "ready", then waits
#include "crash_workload.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

static long CommitCount(CNeoDatabase& db)
{
    CThing* counter = FindThing(db, kCounterID);
    if (!counter)
        return 0;
    long count = counter->fNumber;
    counter->unrefer();
    return count;
}

static void RunCommits(CNeoDatabase& db, unsigned long seed)
{
    CrashWorkload workload(seed);
    long done = CommitCount(db);
    DatabaseState state = workload.stateAfter(done);
    printf("open\n");
    for (long n = done + 1;; ++n) {
        workload.apply(n, state, &db);
        db.commit();
        printf("committed %ld\n", n);
    }
}

static void HandOutIDs(CNeoDatabase& db)
{
    for (int i = 0; i < 3; ++i) {
        CThing* thing = MakeThing(kThingID, "uncommitted", 0, i);
        db.addObject(thing);
        printf("id %ld\n", (long)thing->getID());
        thing->unrefer();
    }
    printf("id %ld\n", (long)(db.getUniqueID(5) + 4));
    printf("ready\n");
    Sleep(INFINITE);
}

int main(int argc, char** argv)
{
    setvbuf(stdout, NULL, _IONBF, 0);
    if (argc < 3)
        return 2;
    RegisterThings();
    CNeoFileLocation location(argv[2]);
    CNeoDatabase db;
    db.setLocation(&location);
    try {
        db.open();
        if (strcmp(argv[1], "commits") == 0 && argc == 4)
            RunCommits(db, strtoul(argv[3], NULL, 10));
        else if (strcmp(argv[1], "ids") == 0)
            HandOutIDs(db);
    } catch (CNeoException* e) {
        fprintf(stderr, "crash_writer: %s\n", TextOf(e).c_str());
        return 1;
    }
    return 2;
}
