// Encodes a batch of 200 steps with its links, conditions and trigger items
// as an object stream, and decodes it again; prints the image size and the
// throughput of both directions, and the encoding beside the same copy made
// through an in-memory database (a clone of every object, committed).
#include <model/object_stream.h>

#include <stdio.h>

#include "bench_clock.h"
#include "sample_batch.h"

namespace {

struct Image {
    Image()
    {
        db.setLocation(&location);
        ResetImage(&db);
    }
    CNeoMemLocation location;
    CNeoDatabase db;
};

}  // namespace

int main()
{
    RegisterModelKeys(kServerProgram);
    Image server;
    NeoID batchID = BuildSampleBatch(&server.db, 200);
    server.db.commit();  // as stored in the server
    CPPersistBase* batch = CPPersistBase::FindByID(&server.db, kClassBatch, batchID);
    long objects = server.db.countObjects(kClassPersistBase);

    const int rounds = 50;
    Image sender, receiver;
    CNeoImageWriter writer;
    unsigned long length = 0;
    std::vector<BYTE> bytes;
    double start = Now();
    for (int i = 0; i < rounds; ++i) {
        writer.start();
        CopyIntoImage(&writer, &server.db, batch);
        const BYTE* image = writer.finish(&length);
        if (i == 0)
            bytes.assign(image, image + length);
    }
    double encode = (Now() - start) / rounds;

    start = Now();
    for (int i = 0; i < rounds; ++i) {
        ResetImage(&sender.db);
        CFocusDatabases focus(&server.db, &sender.db);
        CNeoRef<CPPersistBase> copy(static_cast<CPPersistBase*>(batch->clone()));
        sender.db.addObject(copy.get());
        copy->CopyChildren(&sender.db, &server.db, batchID);
        unsigned long copied = 0;
        GetImageBytes(&sender.db, &copied);
    }
    double throughDatabase = (Now() - start) / rounds;

    start = Now();
    for (int i = 0; i < rounds; ++i)
        LoadImage(&receiver.db, bytes.data(), (unsigned long)bytes.size());
    double decode = (Now() - start) / rounds;
    batch->unrefer();

    double megabytes = length / (1024.0 * 1024.0);
    printf("object stream of a batch with 200 steps: %ld objects, image %lu bytes\n", objects,
           length);
    printf("  encode: %.2f ms per batch, %.1f MB/s; anchor: through a database %.2f ms, "
           "ratio %.2f\n",
           encode * 1000, megabytes / encode, throughDatabase * 1000, throughDatabase / encode);
    printf("  decode: %.2f ms per batch, %.1f MB/s\n", decode * 1000, megabytes / decode);
    return receiver.db.countObjects(kClassPersistBase) == objects ? 0 : 1;
}
