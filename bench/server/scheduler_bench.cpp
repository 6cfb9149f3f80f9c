// Cost of one batch scheduler pass per stored batch: idle batches (nothing
// to do) at 1,000 and 10,000 batches, and executing batches whose ten run
// instances are all still running at their agents at 100 and 1,000 batches.
// A pass must stay linear in the number of batches: the per-batch cost at the
// larger size is printed as a ratio of the one at the smaller size.
#include "bench_clock.h"

#include <server/batch_scheduler.h>

#include <model/batch.h>
#include <model/steps.h>

#include "temp_path.h"

#include <algorithm>
#include <memory>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const int kStepsPerBatch = 10;
const int kTimedPasses = 20;

enum Kind { kIdle, kRunning };

// Files an object and drops the creator's reference; returns its ID.
NeoID Add(CNeoDatabase* db, CPPersistBase* object)
{
    db->addObject(object);
    NeoID id = object->getID();
    object->unrefer();
    return id;
}

// An idle batch, or one in its monitoring phase whose step definitions each
// have a run instance dispatched to an agent and waiting for its result.
void AddBatch(CNeoDatabase* db, long number, Kind kind)
{
    CString name;
    name.Format("batch %ld", number);
    CPBatch* batch = new CPBatch;
    batch->SetName(name);
    batch->SetStatusValue(kind == kIdle ? kBatchIdle : kBatchExecuting);
    db->addObject(batch);
    if (kind == kRunning) {
        batch->SetPhaseValue(kPhaseMonitoring);
        for (int i = 0; i < kStepsPerBatch; ++i) {
            CPProcessExe* definition = new CPProcessExe;
            name.Format("step %d", i + 1);
            definition->SetName(name);
            definition->SetProgramPath("C:\\tools\\load.exe");
            definition->SetParentID(batch->getID());
            db->addObject(definition);
            CPProcessBase* instance = static_cast<CPProcessBase*>(definition->clone());
            instance->MarkRunInstance(1, definition->getID(), batch->GetRunNumber());
            instance->SetRunState(kStepRunning);
            batch->GetRunningList().addPart(Add(db, instance));
            definition->unrefer();
        }
    }
    batch->unrefer();
}

// FALSE when a batch is no longer as it was built (an idle batch started, a
// running one left its monitoring phase or lost a run instance): the timed
// passes did not do what they were meant to.
BOOL StillAsBuilt(CNeoDatabase* db, Kind kind)
{
    std::unique_ptr<CNeoIndexIterator> batches(db->getIterator(kClassBatch, NULL));
    for (CNeoPersist* object = batches->first(); object; object = batches->nextObject()) {
        CNeoRef<CPBatch> batch(static_cast<CPBatch*>(object));
        if (kind == kIdle ? batch->GetStatus() != kBatchIdle
                          : batch->GetStatus() != kBatchExecuting ||
                                batch->GetPhase() != kPhaseMonitoring ||
                                batch->GetRunningList().getCount() != kStepsPerBatch)
            return FALSE;
    }
    return TRUE;
}

// The fastest of the timed passes over `count` batches of a kind, in
// seconds (the least disturbed by other work on the machine); negative when
// the passes went wrong.
double BestPass(long count, Kind kind)
{
    std::string path = TempPath("scheduler-bench.db");
    double best = -1;
    {
        CNeoDatabase db;
        db.setStream(new CNeoFileStream(&db, path.c_str()));
        db.open(0xC0000000, TRUE);
        for (long i = 0; i < count; ++i)
            AddBatch(&db, i + 1, kind);
        db.commit(FALSE, TRUE, NULL);
        BatchScheduler scheduler(&db);
        std::vector<double> passes;
        scheduler.Pass();  // warm-up
        for (int i = 0; i < kTimedPasses; ++i) {
            double start = Now();
            scheduler.Pass();
            passes.push_back(Now() - start);
        }
        if (StillAsBuilt(&db, kind))
            best = *std::min_element(passes.begin(), passes.end());
    }
    DeleteFileA(path.c_str());
    return best;
}

}  // namespace

int main()
{
    RegisterModelClasses();
    RegisterModelKeys(kServerProgram);
    struct Case {
        Kind kind;
        const char* name;
        long small, large;
    } cases[] = {{kIdle, "idle", 1000, 10000}, {kRunning, "running", 100, 1000}};

    printf("batch scheduler pass (fastest of %d)\n", kTimedPasses);
    printf("%8s  %-8s %14s %14s %8s\n", "batches", "kind", "us per pass", "us per batch",
           "ratio");
    int status = 0;
    for (const Case& c : cases) {
        double small = BestPass(c.small, c.kind);
        double large = BestPass(c.large, c.kind);
        if (small < 0 || large < 0) {
            printf("%-8s the passes changed the batches\n", c.name);
            status = 1;
            continue;
        }
        double smallPerBatch = small * 1e6 / c.small, largePerBatch = large * 1e6 / c.large;
        printf("%8ld  %-8s %14.1f %14.3f\n", c.small, c.name, small * 1e6, smallPerBatch);
        printf("%8ld  %-8s %14.1f %14.3f %8.2f\n", c.large, c.name, large * 1e6, largePerBatch,
               largePerBatch / smallPerBatch);
    }
    fflush(stdout);
    return status;
}
