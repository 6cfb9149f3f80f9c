// Database file costs at 1,000 and 100,000 objects: creating, opening, an
// indexed find, an AND search by (common flag, rare parent), a full
// iteration, and a commit of one changed object (the median of 300) with the
// flushes it needs, beside SQLite's commit of one changed row
// (sqlite_anchor.py, also the median).
#include "bench_anchor.h"
#include "bench_clock.h"

#include <zqdb32/zqdb32.h>

#include <algorithm>
#include <stdio.h>
#include <string>
#include <vector>

namespace {

const NeoClassID kRecordID = 6001;
const NeoTag kNameTag = 'name';
const NeoTag kFlagTag = 'flag';

class CRecord : public CNeoPersistMFC {
public:
    static CNeoPersist* Create() { return new CRecord; }
    virtual NeoClassID getClassID() const { return kRecordID; }
    virtual void readObject(CNeoStream* stream, NeoTag)
    {
        fName.readObject(stream, kNameTag);
        fParent = stream->readID(kNeoParentTag);
        fNumber = stream->readLong('numb');
        fFlag = stream->readLong(kFlagTag);
    }
    virtual void writeObject(CNeoStream* stream, NeoTag)
    {
        fName.writeObject(stream, kNameTag);
        stream->writeID(fParent, kNeoParentTag);
        stream->writeLong(fNumber, 'numb');
        stream->writeLong(fFlag, kFlagTag);
    }
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const
    {
        if (tag == kNameTag && type == kNeoStringType) {
            *static_cast<CNeoString*>(value) = fName.getText();
            return TRUE;
        }
        if (tag == kNeoParentTag)
            return ConvertType(&fParent, kNeoULongType, value, type);
        if (tag == kFlagTag)
            return ConvertType(&fFlag, kNeoLongType, value, type);
        return FALSE;
    }
    ENeoBlob fName;
    NeoID fParent = 0;
    long fNumber = 0;
    long fFlag = 0;  // the same on every record, like a run-instance flag
};

// A database file that counts its flushes.
class CCountingFileStream : public CNeoFileStream {
public:
    CCountingFileStream(CNeoDatabase* database, const char* path)
        : CNeoFileStream(database, path) {}
    virtual void flush()
    {
        ++fFlushes;
        CNeoFileStream::flush();
    }
    long fFlushes = 0;
};

std::string NameOf(long i)
{
    return "record-" + std::to_string(i * 7919 % 1000003);
}

struct Figures {
    double create, open, find, andSearch, iterate, commitOne;  // seconds; per operation where one is timed many times
    double flushesPerCommit;
};

Figures Measure(long count)
{
    // In the current folder: the anchor's file lands on the same disk.
    const char* path = "zqdb32-bench.db";
    DeleteFileA(path);
    CNeoDatabase db;
    CCountingFileStream* stream = new CCountingFileStream(&db, path);
    db.setStream(stream);
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

    const long searches = 2000;
    start = Now();
    for (long i = 0; i < searches; ++i) {
        CNeoAndSelect select;
        select.addTerm(new CNeoLongSelect(kFlagTag, 0));
        select.addTerm(new CNeoULongSelect(kNeoParentTag, (unsigned long)(i * 37 % (count / 10))));
        CNeoFoundObjects found;
        db.findObject(kRecordID, &select, TRUE, NULL, &found);
        if (found.GetSize() != 10) {
            printf("search %ld found %d records, not 10\n", i, (int)found.GetSize());
            break;
        }
    }
    f.andSearch = (Now() - start) / searches;

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

    // The median commit: a disk shared with other work makes single
    // flushes stall now and then.
    const long commits = 300;
    const long flushes = stream->fFlushes;
    std::vector<double> times;
    for (long i = 0; i < commits; ++i) {
        start = Now();
        CNeoIDSelect select(1 + i * 101 % count);
        CRecord* record = static_cast<CRecord*>(db.findObject(kRecordID, &select));
        record->fNumber += 1;
        record->setDirty();
        record->unrefer();
        db.commit();
        times.push_back(Now() - start);
    }
    std::sort(times.begin(), times.end());
    f.commitOne = times[times.size() / 2];
    f.flushesPerCommit = (double)(stream->fFlushes - flushes) / commits;

    db.close();
    DeleteFileA(path);
    return f;
}

}  // namespace

int main()
{
    CNeoMetaClass meta(kRecordID, kNeoPersistID, "CRecord", CRecord::Create, 0, 0);
    meta.addKey(kNeoStringKey, kNameTag, 0, TRUE);
    meta.addKey(kNeoULongKey, kNeoParentTag, 0, TRUE);
    meta.addKey(kNeoLongKey, kFlagTag, 0, TRUE);

    Figures small = Measure(1000);
    Figures large = Measure(100000);
    printf("zqdb32 file database        1,000 objects  100,000 objects  ratio\n");
    auto line = [](const char* what, double a, double b, double scale, const char* unit) {
        printf("%-28s %10.3f %s %12.3f %s %8.2f\n", what, a * scale, unit, b * scale, unit, b / a);
    };
    line("create and commit", small.create, large.create, 1e3, "ms");
    line("open", small.open, large.open, 1e3, "ms");
    line("indexed find by name", small.find, large.find, 1e6, "us");
    line("AND search (flag, parent)", small.andSearch, large.andSearch, 1e6, "us");
    line("full iteration", small.iterate, large.iterate, 1e3, "ms");
    line("commit of one object (median)", small.commitOne, large.commitOne, 1e3, "ms");
    printf("%-28s %10.2f    %12.2f\n", "flushes per commit", small.flushesPerCommit,
           large.flushesPerCommit);

    // One-row commits beside SQLite's (WAL, synchronous=FULL) from the same run.
    printf("\none-object commit            zqdb32       SQLite   zqdb32/SQLite\n");
    const struct {
        long objects;
        double ours;
        const char* anchor;
    } commits[] = {{1000, small.commitOne, "SQLITE_COMMIT_1000_MS"},
                   {100000, large.commitOne, "SQLITE_COMMIT_100000_MS"}};
    for (const auto& c : commits) {
        double sqlite = AnchorValue(c.anchor);
        if (sqlite > 0)
            printf("%7ld objects %14.3f ms %9.3f ms %10.2f\n", c.objects, c.ours * 1e3, sqlite,
                   c.ours * 1e3 / sqlite);
        else
            printf("%7ld objects %14.3f ms   (no SQLite anchor)\n", c.objects, c.ours * 1e3);
    }
    fflush(stdout);
    return 0;
}
