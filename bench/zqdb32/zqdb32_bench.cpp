// Database file costs at 1,000 and 100,000 objects: creating, opening, an
// indexed find, a full iteration and a commit of one changed object.
#include "bench_clock.h"

#include <zqdb32/zqdb32.h>

#include <stdio.h>
#include <string>

namespace {

const NeoClassID kRecordID = 6001;
const NeoTag kNameTag = 'name';

class CRecord : public CNeoPersistMFC {
public:
    static CNeoPersist* Create() { return new CRecord; }
    virtual NeoClassID getClassID() const { return kRecordID; }
    virtual void readObject(CNeoStream* stream, NeoTag)
    {
        fName.readObject(stream, kNameTag);
        fParent = stream->readID(kNeoParentTag);
        fNumber = stream->readLong('numb');
    }
    virtual void writeObject(CNeoStream* stream, NeoTag)
    {
        fName.writeObject(stream, kNameTag);
        stream->writeID(fParent, kNeoParentTag);
        stream->writeLong(fNumber, 'numb');
    }
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const
    {
        if (tag != kNameTag || type != kNeoStringType)
            return FALSE;
        *static_cast<CNeoString*>(value) = fName.getText();
        return TRUE;
    }
    ENeoBlob fName;
    NeoID fParent = 0;
    long fNumber = 0;
};

std::string NameOf(long i)
{
    return "record-" + std::to_string(i * 7919 % 1000003);
}

struct Figures {
    double create, open, find, iterate, commitOne;  // seconds; find and commitOne per operation
};

Figures Measure(long count)
{
    char folder[MAX_PATH];
    GetTempPathA(MAX_PATH, folder);
    std::string path = std::string(folder) + "zqdb32-bench.db";
    DeleteFileA(path.c_str());
    CNeoFileLocation location(path.c_str());
    CNeoDatabase db;
    db.setLocation(&location);
    db.open();
    Figures f;

    double start = Now();
    for (long i = 0; i < count; ++i) {
        CRecord* record = new CRecord;
        record->fName.setText(NameOf(i).c_str());
        record->fParent = i / 10;
        record->fNumber = i;
        db.addObject(record);
        record->unrefer();
    }
    db.commit();
    f.create = Now() - start;

    db.close();
    start = Now();
    db.open();
    f.open = Now() - start;

    const long finds = 20000;
    start = Now();
    for (long i = 0; i < finds; ++i) {
        CNeoStringSelect select(kNameTag, NameOf(i * 37 % count).c_str());
        CNeoPersist* found = db.findObject(kRecordID, &select);
        if (!found) {
            printf("lookup %ld failed\n", i);
            break;
        }
        found->unrefer();
    }
    f.find = (Now() - start) / finds;

    start = Now();
    long seen = 0;
    CNeoIndexIterator* it = db.getIterator(kRecordID, NULL);
    for (CNeoPersist* object = it->first(); object; object = it->nextObject()) {
        ++seen;
        object->unrefer();
    }
    delete it;
    f.iterate = Now() - start;
    if (seen != count)
        printf("iteration saw %ld of %ld objects\n", seen, count);

    const long commits = 300;
    start = Now();
    for (long i = 0; i < commits; ++i) {
        CNeoIDSelect select(1 + i * 101 % count);
        CRecord* record = static_cast<CRecord*>(db.findObject(kRecordID, &select));
        record->fNumber += 1;
        record->setDirty();
        record->unrefer();
        db.commit();
    }
    f.commitOne = (Now() - start) / commits;

    db.close();
    DeleteFileA(path.c_str());
    return f;
}

}  // namespace

int main()
{
    CNeoMetaClass meta(kRecordID, kNeoPersistID, "CRecord", CRecord::Create, 0, 0);
    meta.addKey(kNeoStringKey, kNameTag, 0, TRUE);

    Figures small = Measure(1000);
    Figures large = Measure(100000);
    printf("zqdb32 file database      1,000 objects  100,000 objects  ratio\n");
    auto line = [](const char* what, double a, double b, double scale, const char* unit) {
        printf("%-26s %10.3f %s %12.3f %s %8.2f\n", what, a * scale, unit, b * scale, unit, b / a);
    };
    line("create and commit", small.create, large.create, 1e3, "ms");
    line("open", small.open, large.open, 1e3, "ms");
    line("indexed find by name", small.find, large.find, 1e6, "us");
    line("full iteration", small.iterate, large.iterate, 1e3, "ms");
    line("commit of one object", small.commitOne, large.commitOne, 1e3, "ms");
    fflush(stdout);
    return 0;
}
