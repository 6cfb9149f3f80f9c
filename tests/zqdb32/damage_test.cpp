// Damaged images: refused with a CNeoException that says what and where,
// never a crash.
#include "fixtures.h"

#include <algorithm>
#include <functional>
#include <random>

namespace {

// "name=number" of every CThing, in ID order.
std::string Summary(CNeoDatabase& db)
{
    std::string summary;
    CNeoIndexIterator* it = db.getIterator(kThingID, NULL);
    for (CNeoPersist* object = it->first(); object; object = it->nextObject()) {
        CThing* thing = static_cast<CThing*>(object);
        summary += thing->name() + "=" + std::to_string(thing->fNumber) + " ";
        thing->unrefer();
    }
    delete it;
    return summary;
}

// Fills a database with two commits.
void TwoCommits(CNeoDatabase& db)
{
    CThing* a = MakeThing(kThingID, "a", 0, 1, "first note");
    db.addObject(a);
    CThing* b = MakeThing(kSubThingID, "b", 0, 2);
    db.addObject(b);
    b->unrefer();
    db.commit();
    a->fNumber = 10;
    a->setDirty();
    a->unrefer();
    CThing* c = MakeThing(kThingID, "c", 0, 3, "third");
    db.addObject(c);
    c->unrefer();
    db.commit();
}

const char kFirstCommit[] = "a=1 b=2 ";
const char kSecondCommit[] = "a=10 b=2 c=3 ";

class zqdb32Damage : public FileDatabaseTest {
protected:
    zqdb32Damage()
    {
        TwoCommits(fDB);
        fCrashImage = ReadFileBytes(fPath);
        fDB.close();
        fImage = ReadFileBytes(fPath);
        fNewest = NewestSlot(fImage);
        fSecondEnd = (unsigned long)fImage.size();
        fSecondBlock = kDataStart + kBlockHeader + Get32(fImage, kDataStart + 12);
    }
    Bytes fCrashImage;  // as a crash leaves it: both commits past the checkpoint
    Bytes fImage;       // closed: the checkpoint vouches for both commits
    int fNewest;
    unsigned long fSecondEnd, fSecondBlock;
};

}  // namespace

TEST_F(zqdb32Damage, DamagedFilesAreRefusedWithTheirNameAndTheDamage)
{
    ASSERT_EQ(ReadImageSlot(fImage, fNewest).end, fSecondEnd);
    ASSERT_EQ(ReadImageSlot(fImage, 1 - fNewest).end, kDataStart);
    ASSERT_EQ(ReadImageSlot(fCrashImage, NewestSlot(fCrashImage)).end, kDataStart);
    // Open, the file had grown past its log by zeros; closed, it ends there.
    ASSERT_GT(fCrashImage.size(), fImage.size());
    ASSERT_EQ(LogEnd(fCrashImage), fSecondEnd);
    ASSERT_EQ(LogEnd(fImage), fSecondEnd);
    const unsigned long newer = fNewest * kSlotSize, older = (1 - fNewest) * kSlotSize;
    const unsigned long firstPayload = kDataStart + kBlockHeader;
    // The last block's first record is current (an earlier record of the
    // same ID is never read again).
    const unsigned long lastRecord = fSecondBlock + kBlockHeader;
    const int kOpens = 0;
    const bool kCrashed = true, kClosed = false;
    struct Case {
        const char* damage;
        bool crashed;  // applied to the crash image, else to the closed one
        std::function<void(Bytes&)> apply;
        int code;              // the CNeoException expected, or kOpens
        const char* contents;  // what it opens with
    };
    auto cut = [](unsigned long size) { return [size](Bytes& b) { b.resize(size); }; };
    auto flip = [](unsigned long at) { return [at](Bytes& b) { b[at] ^= 0x5A; }; };
    const Case cases[] = {
        // Past the checkpoint a broken last block is a commit cut off while
        // it was written: the file opens with the commit before.
        {"cut inside the last block", kCrashed, cut(fSecondEnd - 1), kOpens, kFirstCommit},
        {"cut inside the last block's header", kCrashed, cut(fSecondBlock + 6), kOpens, kFirstCommit},
        {"a record in the last block", kCrashed, flip(lastRecord + 20), kOpens, kFirstCommit},
        {"the last byte of the last block", kCrashed, flip(fSecondEnd - 1), kOpens, kFirstCommit},
        {"the last block's header", kCrashed, flip(fSecondBlock + 9), kOpens, kFirstCommit},
        {"the last block's second half, in the grown file", kCrashed,
         [=](Bytes& b) { std::fill(b.begin() + (fSecondBlock + fSecondEnd) / 2, b.end(), 0); },
         kOpens, kFirstCommit},
        {"the file cut at its log's end", kCrashed, cut(fSecondEnd), kOpens, kSecondCommit},
        // A broken block followed by a later commit is damage, not a torn tail.
        {"a record in the first block, the last intact", kCrashed, flip(firstPayload + 20),
         CNeoException::kDamaged, ""},
        {"the first block's magic, the last intact", kCrashed, flip(kDataStart),
         CNeoException::kDamaged, ""},
        // What the checkpoint vouches for must be there and whole.
        {"cut inside the last block", kClosed, cut(fSecondEnd - 1), CNeoException::kTruncated, ""},
        {"cut inside the first block", kClosed, cut(firstPayload + 10), CNeoException::kTruncated, ""},
        {"cut after the header area", kClosed, cut(kDataStart), CNeoException::kTruncated, ""},
        {"cut inside a header slot", kClosed, cut(kSlotSize + 100), CNeoException::kDamaged, ""},
        {"first block's magic", kClosed, flip(kDataStart), CNeoException::kDamaged, ""},
        {"first block's length", kClosed, flip(kDataStart + 13), CNeoException::kDamaged, ""},
        {"first block's checksum", kClosed, flip(kDataStart + 17), CNeoException::kDamaged, ""},
        {"a record in the first block", kClosed, flip(firstPayload + 20), CNeoException::kDamaged, ""},
        {"a record in the last block", kClosed, flip(lastRecord + 20), CNeoException::kDamaged, ""},
        // Either slot alone still opens the last commit: the older one
        // vouches for less, and the log past it is read.
        {"newer header slot", kClosed, flip(newer + 12), kOpens, kSecondCommit},
        {"older header slot", kClosed, flip(older + kSlotCrcAt), kOpens, kSecondCommit},
        {"both header slots", kClosed, [=](Bytes& b) { b[newer + 4] ^= 1; b[older + 16] ^= 1; },
         CNeoException::kDamaged, ""},
        // Blocks that pass their checksums but do not make sense.
        {"the last block's sequence, checksum fixed", kCrashed,
         [=](Bytes& b) { Put32(b, fSecondBlock + 8, 7); FixBlockChecksums(b, fSecondEnd); },
         CNeoException::kDamaged, ""},
        {"a record's kind, checksum fixed", kCrashed,
         [=](Bytes& b) { b[lastRecord] = 7; FixBlockChecksums(b, fSecondEnd); },
         CNeoException::kDamaged, ""},
        {"a record's length, checksum fixed", kCrashed,
         [=](Bytes& b) { Put32(b, lastRecord + 9, 0x7FFFFFF0); FixBlockChecksums(b, fSecondEnd); },
         CNeoException::kDamaged, ""},
        {"a record's fields, checksum fixed", kCrashed,
         [=](Bytes& b) { Put32(b, lastRecord + 13, 0xFFFFFF); FixBlockChecksums(b, fSecondEnd); },
         CNeoException::kDamaged, ""},
        {"a record's class, checksum fixed", kCrashed,
         [=](Bytes& b) { Put32(b, lastRecord + 5, 999999); FixBlockChecksums(b, fSecondEnd); },
         CNeoException::kUnknownClass, ""},
    };
    for (const Case& c : cases) {
        const std::string what = std::string(c.damage) + (c.crashed ? " (crashed)" : " (closed)");
        Bytes image = c.crashed ? fCrashImage : fImage;
        c.apply(image);
        WriteFileBytes(fPath, image);
        try {
            fDB.open(0xC0000000, FALSE);
            EXPECT_EQ(c.code, kOpens) << what << ": opened";
            EXPECT_EQ(Summary(fDB), c.contents) << what;
        } catch (CNeoException* e) {
            CNeoException::Code code = e->getCode();
            std::string text = TextOf(e);
            EXPECT_EQ(code, c.code) << what << ": " << text;
            EXPECT_NE(text.find(fPath), std::string::npos) << what << ": " << text;
        }
        fDB.close();
    }
}

TEST_F(zqdb32Damage, FallingBackToTheOlderSlotKeepsWorking)
{
    fImage[fNewest * kSlotSize + 12] ^= 0x5A;
    WriteFileBytes(fPath, fImage);
    fDB.open(0xC0000000, FALSE);
    EXPECT_EQ(Summary(fDB), kSecondCommit);
    CThing* d = MakeThing(kThingID, "d", 0, 4);
    fDB.addObject(d);
    d->unrefer();
    fDB.commit();
    reopen();
    EXPECT_EQ(Summary(fDB), "a=10 b=2 c=3 d=4 ");
}

TEST(zqdb32Mutation, MutatedImagesOpenOrThrowNeverCrash)
{
    RegisterThings();
    Bytes valid;
    {
        CNeoDatabase db;
        CMemoryStream* stream = new CMemoryStream(&db);
        db.setStream(stream);
        db.open();
        TwoCommits(db);
        valid = stream->bytes();
    }
    const unsigned long end = (unsigned long)valid.size();
    const unsigned long seed = GetTickCount();
    printf("seed %lu\n", seed);
    fflush(stdout);
    std::mt19937 random(seed);
    auto below = [&](unsigned long n) { return (unsigned long)(random() % n); };
    int opened = 0, refused = 0;
    const int kTrials = 5000;
    for (int trial = 0; trial < kTrials; ++trial) {
        Bytes image = valid;
        switch (trial % 4) {
        case 0:  // flips anywhere
            for (unsigned long n = 1 + below(3); n; --n)
                image[below(end)] ^= (unsigned char)(1 + below(255));
            break;
        case 1:  // cut anywhere
            image.resize(below(end));
            break;
        case 2:  // flips inside the records, past the checksums
            for (unsigned long n = 1 + below(2); n; --n)
                image[kDataStart + kBlockHeader + below(end - kDataStart - kBlockHeader)] ^= (unsigned char)(1 + below(255));
            FixBlockChecksums(image, end);
            break;
        case 3: {  // any values in the newest header slot, checksum and all
            unsigned long slot = NewestSlot(valid) * kSlotSize;
            Put32(image, slot + 4 * (2 + below(6)), random() % 2 ? random() : below(end + 64));
            Put32(image, slot + kSlotCrcAt, Crc32(&image[slot], kSlotCrcAt));
            break;
        }
        }
        try {
            CNeoDatabase db;
            CMemoryStream* stream = new CMemoryStream(&db, image);
            db.setStream(stream);
            db.open(0xC0000000, FALSE);
            Summary(db);
            // What opens must stay a database after another commit.
            CThing* more = MakeThing(kThingID, "more", 0, 0);
            db.addObject(more);
            more->unrefer();
            db.commit();
            Bytes after = stream->bytes();
            db.close();
            CNeoDatabase again;
            again.setStream(new CMemoryStream(&again, after));
            again.open(0xC0000000, FALSE);
            EXPECT_NE(Summary(again).find("more=0"), std::string::npos) << "trial " << trial;
            ++opened;
        } catch (CNeoException* e) {
            e->Delete();
            ++refused;
        } catch (...) {
            ADD_FAILURE() << "trial " << trial << " (seed " << seed << ") threw something else";
        }
    }
    printf("%d mutated images: %d opened, %d refused (seed %lu)\n", kTrials, opened, refused, seed);
}
