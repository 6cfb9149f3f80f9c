// A batch as a console draws it: a schedule trigger with its schedule, a
// directory trigger, steps in a chain, and links with exit-code conditions.
// Shared by the object-stream tests and the object-stream benchmark.
#ifndef TESTS_MODEL_SAMPLE_BATCH_H
#define TESTS_MODEL_SAMPLE_BATCH_H

#include <model/persist_base.h>

#include <vector>

// Adds a batch with `steps` steps and all its children to the database;
// returns the batch's ID.
NeoID BuildSampleBatch(CNeoDatabase* db, int steps);

// The object stream of a sample batch with `steps` steps, renamed `name`,
// whose objects take IDs from `firstID` on; *batchID (when asked) receives
// the batch's ID.
std::vector<BYTE> SampleBatchImage(NeoID firstID, const char* name, int steps,
                                   NeoID* batchID = NULL);

// Files a new object under a parent, named, and hands the creator's
// reference to the database; returns the object's ID.
template <class T>
NeoID FileUnder(CNeoDatabase* db, T* object, NeoID parent, const char* name, long runInstance = 0)
{
    object->SetName(name);
    object->SetParentID(parent);
    object->SetRunInstance(runInstance);
    db->addObject(object);
    NeoID id = object->getID();
    object->unrefer();
    return id;
}

#endif
