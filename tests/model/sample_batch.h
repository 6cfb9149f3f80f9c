// A batch as a console draws it: a schedule trigger with its schedule, a
// directory trigger, steps in a chain, and links with exit-code conditions.
// Shared by the object-stream tests and the object-stream benchmark.
#ifndef TESTS_MODEL_SAMPLE_BATCH_H
#define TESTS_MODEL_SAMPLE_BATCH_H

#include <zqdb32/zqdb32.h>

// Adds a batch with `steps` steps and all its children to the database;
// returns the batch's ID.
NeoID BuildSampleBatch(CNeoDatabase* db, int steps);

#endif
