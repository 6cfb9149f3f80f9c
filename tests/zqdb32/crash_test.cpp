// Kills a writer process at random moments and checks what a reopen finds.
#include "crash_workload.h"
#include "fixtures.h"

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <stdio.h>
#include <stdlib.h>

namespace {

// The crash writer program running with its output collected.
class Writer {
public:
    explicit Writer(const std::string& arguments)
    {
        InitializeCriticalSection(&fLock);
        char self[MAX_PATH];
        GetModuleFileNameA(NULL, self, MAX_PATH);
        std::string program = self;
        program = program.substr(0, program.find_last_of("\\/") + 1) + "zqdb32_crash_writer.exe";
        std::string command = "\"" + program + "\" " + arguments;

        SECURITY_ATTRIBUTES inherit = {sizeof inherit, NULL, TRUE};
        HANDLE write;
        CreatePipe(&fRead, &write, &inherit, 0);
        SetHandleInformation(fRead, HANDLE_FLAG_INHERIT, 0);
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = write;
        startup.hStdError = write;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        fStarted = CreateProcessA(NULL, &command[0], NULL, NULL, TRUE, 0, NULL, NULL, &startup,
                                  &fProcess);
        CloseHandle(write);
        fReader = CreateThread(NULL, 0, ReadOutput, this, 0, NULL);
    }

    ~Writer()
    {
        kill();
        CloseHandle(fRead);
        DeleteCriticalSection(&fLock);
    }

    bool started() const { return fStarted != FALSE; }
    bool running() { return fStarted && WaitForSingleObject(fProcess.hProcess, 0) == WAIT_TIMEOUT; }

    // Ends the process at once and collects the rest of its output.
    void kill()
    {
        if (fStarted) {
            TerminateProcess(fProcess.hProcess, 99);
            WaitForSingleObject(fProcess.hProcess, INFINITE);
            CloseHandle(fProcess.hProcess);
            CloseHandle(fProcess.hThread);
            fStarted = FALSE;
        }
        if (fReader) {
            WaitForSingleObject(fReader, INFINITE);
            CloseHandle(fReader);
            fReader = NULL;
        }
    }

    // Whole lines only: a line cut by the kill does not count.
    std::vector<std::string> lines()
    {
        EnterCriticalSection(&fLock);
        std::string output = fOutput;
        LeaveCriticalSection(&fLock);
        std::vector<std::string> result;
        for (size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1) {
            result.push_back(output.substr(at, end - at));
            if (!result.back().empty() && result.back().back() == '\r')
                result.back().pop_back();
        }
        return result;
    }

    std::string output()
    {
        EnterCriticalSection(&fLock);
        std::string output = fOutput;
        LeaveCriticalSection(&fLock);
        return output;
    }

    bool waitForLine(const std::string& line, DWORD milliseconds)
    {
        for (DWORD waited = 0; waited < milliseconds; waited += 10) {
            std::vector<std::string> all = lines();
            if (std::find(all.begin(), all.end(), line) != all.end())
                return true;
            if (!running())
                return false;
            Sleep(10);
        }
        return false;
    }

private:
    static DWORD WINAPI ReadOutput(void* self)
    {
        Writer* writer = static_cast<Writer*>(self);
        char buffer[4096];
        DWORD done;
        while (ReadFile(writer->fRead, buffer, sizeof buffer, &done, NULL) && done) {
            EnterCriticalSection(&writer->fLock);
            writer->fOutput.append(buffer, done);
            LeaveCriticalSection(&writer->fLock);
        }
        return 0;
    }

    BOOL fStarted = FALSE;
    PROCESS_INFORMATION fProcess = {};
    HANDLE fRead = NULL;
    HANDLE fReader = NULL;
    CRITICAL_SECTION fLock;
    std::string fOutput;
};

void CreateEmptyDatabase(const std::string& path)
{
    DeleteFileA(path.c_str());
    CNeoFileLocation location(path.c_str());
    CNeoDatabase db;
    db.setLocation(&location);
    db.open();
    db.close();
}

// The commit number of the last "committed N" line, or `none`.
long LastCommitted(Writer& writer, long none)
{
    long last = none;
    for (const std::string& line : writer.lines())
        if (line.compare(0, 10, "committed ") == 0)
            last = atol(line.c_str() + 10);
    return last;
}

DatabaseState OpenAndRead(const std::string& path)
{
    CNeoFileLocation location(path.c_str());
    CNeoDatabase db;
    db.setLocation(&location);
    db.open(0xC0000000, FALSE);
    return ReadState(db);
}

// A memory image whose flushes fail while fFail is set.
class CFailingFlushStream : public CMemoryStream {
public:
    explicit CFailingFlushStream(CNeoDatabase* database) : CMemoryStream(database) {}
    virtual void flush()
    {
        if (fFail)
            CNeoException::Throw(CNeoException::kIO, "memory image: flush failed");
    }
    bool fFail = false;
};

typedef FileDatabaseTest zqdb32IdsInProcess;
typedef FileDatabaseTest zqdb32TornCommit;

}  // namespace

TEST(zqdb32Crash, KilledWriterLeavesTheLastOrTheNextCommit)
{
    RegisterThings();
    const std::string path = TempPath("crash.db");
    const std::string compacted = path + ".new";
    CreateEmptyDatabase(path);
    const unsigned long seed = GetTickCount();
    printf("seed %lu\n", seed);
    CrashWorkload workload(seed);
    std::mt19937 random(seed);

    long verified = 0;  // the commit the file holds, as last checked
    DatabaseState verifiedState;
    // The file after the last trial: torn bytes that a trial leaves past the
    // whole blocks stay for the next writer to overwrite.
    Bytes before;
    int trials = 0, interrupted = 0;
    const DWORD start = GetTickCount();
    while (trials < 400 && GetTickCount() - start < 70000) {
        ++trials;
        Writer writer("commits \"" + path + "\" " + std::to_string(seed));
        ASSERT_TRUE(writer.waitForLine("open", 30000)) << writer.output();
        Sleep(random() % 50);
        ASSERT_TRUE(writer.running()) << "the writer stopped by itself:\n" << writer.output();
        writer.kill();
        long last = LastCommitted(writer, verified);

        // A kill inside a commit leaves new bytes past the whole blocks (the
        // file grows by zeros, which are not new), a half-made compacted
        // file, or a commit it did not report.
        Bytes image = ReadFileBytes(path);
        const unsigned long logEnd = LogEnd(image);
        bool tornNow = false;
        for (size_t at = logEnd; at < image.size() && !tornNow; ++at)
            tornNow = image[at] != 0 && (at >= before.size() || image[at] != before[at]);
        bool insideCommit =
            tornNow || GetFileAttributesA(compacted.c_str()) != INVALID_FILE_ATTRIBUTES;
        before.swap(image);

        DatabaseState found;
        try {
            found = OpenAndRead(path);
        } catch (CNeoException* e) {
            FAIL() << "trial " << trials << ": " << TextOf(e);
        }
        DatabaseState expected = verifiedState;
        for (long n = verified + 1; n <= last; ++n)
            workload.apply(n, expected, NULL);
        if (found == expected) {
            verified = last;
        } else {
            workload.apply(last + 1, expected, NULL);
            ASSERT_TRUE(found == expected)
                << "trial " << trials << ": the file holds neither commit " << last << " nor "
                << last + 1;
            verified = last + 1;
            insideCommit = true;
        }
        verifiedState.swap(expected);
        interrupted += insideCommit;

        DeleteFileA(compacted.c_str());
    }
    printf("%d trials, %d kills inside a commit, %ld commits, %lu objects\n", trials,
           interrupted, verified, (unsigned long)verifiedState.size());
    EXPECT_GE(interrupted * 5, trials) << "too few kills landed inside a commit";
    EXPECT_GT(verified, 0);
    DeleteFileA(path.c_str());
}

TEST(zqdb32Ids, IDsHandedOutBeforeAKillAreNeverReused)
{
    RegisterThings();
    const std::string path = TempPath("ids.db");
    CreateEmptyDatabase(path);
    NeoID handedOut = 0;
    for (int run = 0; run < 2; ++run) {
        Writer writer("ids \"" + path + "\"");
        ASSERT_TRUE(writer.waitForLine("ready", 30000)) << writer.output();
        writer.kill();
        for (const std::string& line : writer.lines())
            if (line.compare(0, 3, "id ") == 0) {
                NeoID id = atol(line.c_str() + 3);
                EXPECT_GT(id, handedOut) << "run " << run << " reused an ID";
                handedOut = std::max(handedOut, id);
            }
    }
    CNeoFileLocation location(path.c_str());
    CNeoDatabase db;
    db.setLocation(&location);
    db.open();
    EXPECT_EQ(db.countObjects(kThingID), 0);
    EXPECT_GT(db.getUniqueID(), handedOut);
    CThing* thing = MakeThing(kThingID, "after", 0, 0);
    db.addObject(thing);
    EXPECT_GT(thing->getID(), handedOut);
    thing->unrefer();
    db.close();
    DeleteFileA(path.c_str());
}

TEST(zqdb32Ids, AReservationThatFailedHandsOutNoID)
{
    RegisterThings();
    CNeoDatabase db;
    CFailingFlushStream* stream = new CFailingFlushStream(&db);
    db.setStream(stream);
    db.open();
    NeoID first = db.getUniqueID();
    stream->fFail = true;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            db.getUniqueID(2000);
            ADD_FAILURE() << "attempt " << attempt << " handed out IDs that no disk holds reserved";
        } catch (CNeoException* e) {
            e->Delete();
        }
    }
    stream->fFail = false;
    EXPECT_GT(db.getUniqueID(2000), first);
}

TEST_F(zqdb32IdsInProcess, UniqueIDsNeverRepeat)
{
    std::set<NeoID> seen;
    auto take = [&](NeoID first, long count) {
        for (NeoID id = first; id < first + count; ++id)
            EXPECT_TRUE(seen.insert(id).second) << "ID " << id << " handed out twice";
    };
    for (long i = 0; i < 1500; ++i)  // crosses reserved ranges
        take(fDB.getUniqueID(i % 3 + 1), i % 3 + 1);
    NeoID first = add(MakeThing(kThingID, "committed", 0, 0));
    take(first, 1);
    fDB.commit();
    take(add(MakeThing(kThingID, "lost", 0, 0)), 1);
    take(fDB.getUniqueID(10), 10);
    reopen();  // the last object and IDs were never committed
    NeoID highest = *seen.rbegin();
    EXPECT_GT(fDB.getUniqueID(), highest);
    // An object added with its own ID moves the next IDs above it.
    CThing* own = MakeThing(kThingID, "own", 0, 0);
    own->setID(highest + 5000);
    add(own);
    EXPECT_GT(fDB.getUniqueID(), highest + 5000);
}

// The last commit cut off in the ways a crash can leave it: the file opens
// with the commit before, and the next commit goes where the torn one was.
TEST_F(zqdb32TornCommit, ATornLastBlockGivesTheCommitBefore)
{
    const long kBefore = 3, kTorn = 4, kCounterAfter = 99;
    CrashWorkload workload(12345);
    DatabaseState state;
    for (long n = 1; n <= kTorn; ++n) {
        workload.apply(n, state, &fDB);
        fDB.commit();
    }
    const Bytes image = ReadFileBytes(fPath);  // as a crash leaves it, before close
    fDB.close();
    const std::vector<LogBlock> blocks = WholeBlocks(image);
    ASSERT_FALSE(blocks.empty());
    const LogBlock last = blocks.back();
    ASSERT_EQ(last.end, LogEnd(image));
    ASSERT_LE(ReadImageSlot(image, NewestSlot(image)).end, last.start)
        << "the last block is past the checkpoint";
    const unsigned long body = last.start + kBlockHeader;

    struct Case {
        const char* tear;
        std::function<void(Bytes&)> apply;
    };
    const Case cases[] = {
        {"half written", [=](Bytes& b) { b.resize(last.start + (last.end - last.start) / 2); }},
        {"half written into the grown file",
         [=](Bytes& b) { std::fill(b.begin() + (last.start + last.end) / 2, b.end(), 0); }},
        {"commit record only, the file not grown", [=](Bytes& b) { b.resize(body); }},
        {"commit record, body never written",
         [=](Bytes& b) { std::fill(b.begin() + body, b.end(), 0); }},
        {"commit record with a wrong body",
         [=](Bytes& b) {
             for (unsigned long at = body; at < last.end; at += 512)
                 b[at] ^= 0x5A;
         }},
        {"body without its commit record",
         [=](Bytes& b) { std::fill(b.begin() + last.start, b.begin() + body, 0); }},
    };
    const DatabaseState expectedBefore = workload.stateAfter(kBefore);
    DatabaseState expectedAfter = expectedBefore;
    expectedAfter[kCounterID].number = kCounterAfter;
    for (const Case& c : cases) {
        Bytes torn = image;
        c.apply(torn);
        WriteFileBytes(fPath, torn);
        try {
            fDB.open(0xC0000000, FALSE);
            EXPECT_TRUE(ReadState(fDB) == expectedBefore) << c.tear;
            // A commit much shorter than the torn one: its leftovers stay
            // behind the new block.
            CThing* counter = FindThing(fDB, kCounterID);
            counter->fNumber = kCounterAfter;
            counter->setDirty();
            counter->unrefer();
            fDB.commit();
            reopen();
            EXPECT_TRUE(ReadState(fDB) == expectedAfter) << c.tear << ", committed again";
        } catch (CNeoException* e) {
            ADD_FAILURE() << c.tear << ": " << TextOf(e);
        }
        fDB.close();
    }
}
