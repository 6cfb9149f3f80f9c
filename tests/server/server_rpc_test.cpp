// ServerInterface from a client process against the test server program.
#include <server/object_access.h>
#include <server/server_client.h>
#include <server/transfer_records.h>

#include <model/batch.h>
#include <model/run_log.h>
#include <model/schedule.h>
#include <model/steps.h>

#include <seguard/seguard.h>

#include <gtest/gtest.h>

#include "model_test_util.h"
#include "rpc_reply.h"
#include "sample_batch.h"
#include "server_peer.h"
#include "statuses.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <set>
#include <string>
#include <thread>

namespace {

struct NameRecord {
    std::string name;
    long id;
};

std::vector<NameRecord> Names(const Reply& reply)
{
    std::vector<NameRecord> names;
    if (reply.size == 0)
        return names;
    CObList list;
    LoadTransferList(reply.data, reply.size, list);
    for (POSITION p = list.GetHeadPosition(); p;) {
        CSObjectNames* record = static_cast<CSObjectNames*>(list.GetNext(p));
        names.push_back({(const char*)record->GetName(), record->GetID()});
    }
    DeleteTransferList(list);
    return names;
}

class ServerRpc : public ::testing::Test {
protected:
    // Writes the server's database file (filled by `seed`), starts the
    // server over it and opens a session.
    void Start(std::function<void(CNeoDatabase*)> seed = nullptr)
    {
        {
            FileDatabase database("server.db");
            if (seed) {
                seed(database.get());
                database->commit(FALSE, TRUE, NULL);
            }
            m_path = database.path();
        }
        Serve();
    }

    // Starts the server over the database file and opens a session.
    void Serve()
    {
        m_peer.reset(new ServerPeer(m_path));
        ASSERT_TRUE(m_peer->Ready());
        ASSERT_EQ(BindServerInterface("", m_peer->Endpoint().c_str()), RPC_S_OK);
        m_context = OpenClientSession();
        ASSERT_NE(m_context, nullptr);
    }

    // Kills the server, as a crash would, and starts it again over its file.
    void KillAndRestart()
    {
        m_peer->Kill();
        m_context = NULL;  // gone with the server
        Serve();
    }

    void TearDown() override
    {
        if (m_context)
            Guarded([&] { CloseSession(&m_context); });
        UnbindServerInterface();
        m_peer.reset();
    }

    // Sends a database's image to StoreObjects.
    LONG Store(InMemoryDatabase& image) { return StoreBytes(m_context, image.Image()); }

    // StoreObjects of an image's bytes; the fault code when the call failed.
    static LONG StoreBytes(ServerInterfaceContext context, std::vector<BYTE> bytes)
    {
        RpcBlob blob = {(ULONG)bytes.size(), bytes.data()};
        LONG status = -1;
        DWORD fault = Guarded([&] { StoreObjects(context, &blob, 0, NULL, &status); });
        return fault != kNothingRaised ? (LONG)fault : status;
    }

    LONG ByID(NeoClassID classID, NeoID id, Reply& reply)
    {
        LONG status = -1;
        EXPECT_EQ(Guarded([&] { GetObjectByID(m_context, classID, id, &reply, &status); }),
                  kNothingRaised);
        return status;
    }

    std::string m_path;
    std::unique_ptr<ServerPeer> m_peer;
    ServerInterfaceContext m_context = NULL;
};

// Objects of each class in an image.
std::map<NeoClassID, long> ClassCounts(InMemoryDatabase& image)
{
    std::map<NeoClassID, long> counts;
    for (NeoClassID id : {kClassBatch, kClassTriggerSchedule, kClassTriggerDirNotify,
                          kClassSchedule, kClassScheduleItem, kClassProcessExe,
                          kClassProcessScript, kClassBatchLink, kClassBatchLinkItem})
        counts[id] = image->countObjects(id);
    return counts;
}

// The server holds the sample batch with its children, stored by a client.
class ServerRpcStoredBatch : public ServerRpc {
protected:
    void SetUp() override
    {
        Start();
        m_batchID = BuildSampleBatch(m_sent.get(), 6);
        // As a console does, the client takes its objects' IDs from the
        // server: it reserves them here, so that the server hands them out
        // no more.
        const NeoID highestSent = m_sent->getUniqueID(1);
        LONG reserved = 0, status = -1;
        while (reserved < highestSent) {
            NewObjectID(m_context, &reserved, &status);
            ASSERT_EQ(status, kStatusDone);
        }
        ASSERT_EQ(Store(m_sent), kStatusDone);
    }

    // The batches ListObjectNames lists.
    std::vector<NameRecord> ListedBatches()
    {
        Reply names;
        LONG status = -1;
        ListObjectNames(m_context, kDefinitionsOnly, kClassBatch, &names, &status);
        EXPECT_EQ(status, kStatusDone);
        return Names(names);
    }

    InMemoryDatabase m_sent;
    NeoID m_batchID = 0;
};

TEST_F(ServerRpcStoredBatch, TravelsByIDWithEveryChild)
{
    Reply byID;
    ASSERT_EQ(ByID(kClassBatch, m_batchID, byID), kStatusDone);
    InMemoryDatabase received;
    received.Load(byID.Bytes());
    EXPECT_EQ(ClassCounts(received), ClassCounts(m_sent));
    EXPECT_EQ(received->countObjects(kClassPersistBase), m_sent->countObjects(kClassPersistBase));
}

TEST_F(ServerRpcStoredBatch, TravelsByNameWithEveryChild)
{
    Reply byName;
    LONG status = -1;
    GetObjectByName(m_context, kClassBatch, "Nightly load", &byName, &status);
    ASSERT_EQ(status, kStatusDone);
    InMemoryDatabase named;
    named.Load(byName.Bytes());
    EXPECT_EQ(ClassCounts(named), ClassCounts(m_sent));
}

TEST_F(ServerRpcStoredBatch, IsListedOnceAlsoAfterASecondStore)
{
    std::vector<NameRecord> listed = ListedBatches();
    ASSERT_EQ(listed.size(), 1u);
    EXPECT_EQ(listed[0].name, "Nightly load");
    EXPECT_EQ(listed[0].id, m_batchID);

    // A second save of the same batch updates it instead of adding another.
    ASSERT_EQ(Store(m_sent), kStatusDone);
    EXPECT_EQ(ListedBatches().size(), 1u);
}

TEST_F(ServerRpcStoredBatch, IsRenamed)
{
    LONG status = -1;
    RenameObject(m_context, m_batchID, "Weekly load", &status);
    ASSERT_EQ(status, kStatusDone);
    LONG nameFree = -1;
    IsNameFree(m_context, kClassBatch, "Nightly load", &nameFree, &status);
    EXPECT_EQ(nameFree, TRUE);
    IsNameFree(m_context, kClassBatch, "Weekly load", &nameFree, &status);
    EXPECT_EQ(nameFree, FALSE);
    char batchName[256] = "";
    GetBatchName(m_context, m_batchID, batchName, &status);
    EXPECT_STREQ(batchName, "Weekly load");
}

TEST_F(ServerRpcStoredBatch, IsDeletedWithItsSteps)
{
    LONG status = -1;
    LONG ids[] = {m_batchID};
    DeleteObjects(m_context, 1, ids, &status);
    ASSERT_EQ(status, kStatusDone);
    Reply gone;
    EXPECT_EQ(ByID(kClassBatch, m_batchID, gone), kStatusNotFound);
    EXPECT_EQ(gone.size, 0u);
    Reply noSteps;
    ListObjectNames(m_context, kDefinitionsAndRuns, kClassProcessBase, &noSteps, &status);
    EXPECT_EQ(status, kStatusNotFound);
}

TEST_F(ServerRpc, StepWithAParentArrivesOnlyThroughItsParent)
{
    Start();
    InMemoryDatabase sent;
    CPProcessExe* step = new CPProcessExe;
    step->SetName("orphan");
    step->SetParentID(999);
    NeoID stepID = sent.Add(step, 5000)->getID();
    ASSERT_EQ(Store(sent), kStatusDone);
    Reply reply;
    EXPECT_EQ(ByID(kClassProcessExe, stepID, reply), kStatusNotFound);
}

TEST_F(ServerRpc, MalformedImagesFailAndTheServerKeepsServing)
{
    Start([](CNeoDatabase* db) {
        CPBatch* batch = new CPBatch;
        batch->SetName("kept");
        db->addObject(batch);
        batch->unrefer();
    });
    std::vector<BYTE> garbage(300, 0xA5);
    RpcBlob bad = {(ULONG)garbage.size(), garbage.data()};
    RpcBlob missing = {64, NULL};
    RpcBlob truncated = {0, NULL};
    InMemoryDatabase real;
    BuildSampleBatch(real.get(), 2);
    std::vector<BYTE> cut = real.Image();
    cut.resize(cut.size() / 2);
    truncated = {(ULONG)cut.size(), cut.data()};
    for (RpcBlob* blob : {&bad, &missing, &truncated}) {
        LONG stored = 0, added = 0;
        EXPECT_EQ(Guarded([&] {
                      StoreObjects(m_context, blob, 0, NULL, &stored);
                      AddObjects(m_context, blob, 0, NULL, &added);
                  }),
                  kNothingRaised);
        EXPECT_EQ(stored, ERROR_INVALID_DATA);
        EXPECT_EQ(added, ERROR_INVALID_DATA);
    }
    EXPECT_TRUE(m_peer->Running());
    EXPECT_EQ(Guarded([] { Ping(); }), kNothingRaised);
    Reply names;
    LONG status = -1;
    ListObjectNames(m_context, kDefinitionsOnly, kClassBatch, &names, &status);
    ASSERT_EQ(status, kStatusDone);
    EXPECT_EQ(Names(names)[0].name, "kept");
}

// What a test can tell of a stored object from an image.
struct StoredObject {
    NeoID id;
    NeoClassID classID;
    NeoID parent;
    bool operator==(const StoredObject& o) const
    {
        return id == o.id && classID == o.classID && parent == o.parent;
    }
};

std::ostream& operator<<(std::ostream& out, const StoredObject& o)
{
    return out << "{id " << o.id << ", class " << o.classID << ", parent " << o.parent << "}";
}

// Every object of an image, in ID order.
std::vector<StoredObject> ObjectsOf(InMemoryDatabase& image)
{
    std::vector<StoredObject> objects;
    std::unique_ptr<CNeoIndexIterator> all(image->getIterator(kClassPersistBase, NULL));
    for (CNeoPersist* found = all->first(); found; found = all->nextObject()) {
        CNeoRef<CPPersistBase> object(static_cast<CPPersistBase*>(found));
        objects.push_back({object->getID(), object->getClassID(), object->GetParentID()});
    }
    return objects;
}

// A file's bytes, read beside a server that has it open.
std::vector<BYTE> FileBytes(const std::string& path)
{
    std::vector<BYTE> bytes;
    HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE)
        return bytes;
    bytes.resize(GetFileSize(file, NULL));
    DWORD read = 0;
    if (!bytes.empty())
        ReadFile(file, bytes.data(), (DWORD)bytes.size(), &read, NULL);
    bytes.resize(read);
    CloseHandle(file);
    return bytes;
}

TEST_F(ServerRpc, AKilledServerKeepsEveryAcknowledgedChangeAndNoHalfStore)
{
    NeoID renamedID = 0, deletedID = 0, deletedStepID = 0, statusID = 0;
    Start([&](CNeoDatabase* db) {
        renamedID = FileUnder(db, new CPBatch, 0, "to rename");
        deletedID = FileUnder(db, new CPBatch, 0, "to delete");
        deletedStepID = FileUnder(db, new CPProcessExe, deletedID, "step of the deleted batch");
        statusID = FileUnder(db, new CPBatch, 0, "status");
        // The document counter exists: no call below takes a new ID.
        CPDocCounter* counter = new CPDocCounter;
        db->addObject(counter);
        counter->unrefer();
    });

    // A second client stores batches all the time, also while the server
    // is killed.
    const int kBackgroundBatches = 400, kBackgroundSteps = 1;
    const NeoID kStoredFirstID = 100000, kBackgroundFirstID = 200000, kIDsPerBatch = 100;
    std::vector<std::vector<BYTE>> backgroundImages;
    for (int i = 0; i < kBackgroundBatches; ++i)
        backgroundImages.push_back(SampleBatchImage(kBackgroundFirstID + i * kIDsPerBatch,
                                               ("background " + std::to_string(i)).c_str(),
                                               kBackgroundSteps));
    std::atomic<int> acknowledged(0);
    std::thread background([&] {
        ServerInterfaceContext context = OpenClientSession();
        for (int i = 0; context && i < kBackgroundBatches; ++i) {
            if (StoreBytes(context, backgroundImages[i]) != 0)
                return;
            acknowledged = i + 1;
        }
    });
    // The kill ends the second client's calls, also when an assertion fails.
    struct KillFirst {
        ~KillFirst()
        {
            if (client.joinable()) {
                peer->Kill();
                client.join();
            }
        }
        ServerPeer* peer;
        std::thread& client;
    } killFirst{m_peer.get(), background};
    for (DWORD start = GetTickCount(); acknowledged < 3 && GetTickCount() - start < 20000;)
        Sleep(1);
    ASSERT_GE(acknowledged, 3);

    NeoID storedID = 0;
    std::vector<BYTE> stored = SampleBatchImage(kStoredFirstID, "stored", 3, &storedID);
    LONG number = 0;
    struct Change {
        const char* call;
        std::function<void(LONG*)> run;
    } changes[] = {
        {"StoreObjects", [&](LONG* status) { *status = StoreBytes(m_context, stored); }},
        {"RenameObject", [&](LONG* status) { RenameObject(m_context, renamedID, "renamed", status); }},
        {"DeleteObjects", [&](LONG* status) { LONG ids[] = {deletedID}; DeleteObjects(m_context, 1, ids, status); }},
        {"SetBatchStatus", [&](LONG* status) { SetBatchStatus(m_context, statusID, kBatchQueued, status); }},
        {"NextDocumentNumber", [&](LONG* status) { NextDocumentNumber(m_context, &number, status); }},
    };
    for (Change& c : changes) {
        SCOPED_TRACE(c.call);
        LONG status = -1;
        ASSERT_EQ(Guarded([&] { c.run(&status); }), kNothingRaised);
        ASSERT_EQ(status, kStatusDone);
    }
    m_peer->Kill();
    background.join();
    const int answered = acknowledged;
    ASSERT_LT(answered, kBackgroundBatches) << "the second client was done before the kill";
    m_context = NULL;
    Serve();

    Reply storedBack;
    ASSERT_EQ(ByID(kClassBatch, storedID, storedBack), kStatusDone);
    InMemoryDatabase sent, back;
    sent.Load(stored);
    back.Load(storedBack.Bytes());
    EXPECT_EQ(ObjectsOf(back), ObjectsOf(sent));
    char name[256] = "";
    LONG status = -1, value = -1;
    GetBatchName(m_context, renamedID, name, &status);
    EXPECT_STREQ(name, "renamed");
    Reply gone;
    EXPECT_EQ(ByID(kClassBatch, deletedID, gone), kStatusNotFound);
    EXPECT_EQ(ByID(kClassProcessExe, deletedStepID, gone), kStatusNotFound);
    GetBatchStatus(m_context, statusID, &value, &status);
    EXPECT_EQ(value, kBatchQueued);
    LONG next = 0;
    NextDocumentNumber(m_context, &next, &status);
    EXPECT_EQ(next, number + 1);

    // Every answered store is there; a store cut off by the kill is there
    // whole or not at all.
    InMemoryDatabase whole;
    whole.Load(backgroundImages[0]);
    Reply names;
    ListObjectNames(m_context, kDefinitionsOnly, kClassBatch, &names, &status);
    ASSERT_EQ(status, kStatusDone);
    std::set<std::string> present;
    for (const NameRecord& record : Names(names)) {
        if (record.name.compare(0, 11, "background ") != 0)
            continue;
        present.insert(record.name);
        Reply image;
        ASSERT_EQ(ByID(kClassBatch, record.id, image), kStatusDone);
        InMemoryDatabase received;
        received.Load(image.Bytes());
        EXPECT_EQ(ClassCounts(received), ClassCounts(whole)) << record.name;
    }
    for (int i = 0; i < answered; ++i)
        EXPECT_TRUE(present.count("background " + std::to_string(i))) << "background " << i;
    EXPECT_LE(present.size(), (size_t)answered + 1);
}

TEST_F(ServerRpc, ReadsLeaveTheFileAsItWas)
{
    NeoID batchID = 0;
    Start([&](CNeoDatabase* db) { batchID = BuildSampleBatch(db, 5); });
    const std::vector<BYTE> fileBefore = FileBytes(m_path);
    ASSERT_FALSE(fileBefore.empty());
    const int kReads = 1000;
    for (int i = 0; i < kReads; ++i) {
        Reply image;
        ASSERT_EQ(ByID(kClassBatch, batchID, image), kStatusDone) << "read " << i;
    }
    EXPECT_TRUE(FileBytes(m_path) == fileBefore);
}

TEST_F(ServerRpc, AStoreBackOfAReadBatchKeepsEveryObjectAndID)
{
    NeoID batchID = 0;
    Start([&](CNeoDatabase* db) { batchID = BuildSampleBatch(db, 5); });
    auto storedObjects = [&] {
        Reply all;
        LONG status = -1;
        GetObjectsByClass(m_context, kDefinitionsAndRuns, kClassPersistBase, &all, &status);
        EXPECT_EQ(status, kStatusDone);
        InMemoryDatabase image;
        image.Load(all.Bytes());
        return ObjectsOf(image);
    };
    const std::vector<StoredObject> before = storedObjects();
    Reply first;
    ASSERT_EQ(ByID(kClassBatch, batchID, first), kStatusDone);
    InMemoryDatabase read;
    read.Load(first.Bytes());
    for (int save = 1; save <= 2; ++save) {
        SCOPED_TRACE(save);
        ASSERT_EQ(StoreBytes(m_context, first.Bytes()), kStatusDone);
        EXPECT_EQ(storedObjects(), before);
        Reply again;
        ASSERT_EQ(ByID(kClassBatch, batchID, again), kStatusDone);
        InMemoryDatabase reread;
        reread.Load(again.Bytes());
        EXPECT_EQ(ObjectsOf(reread), ObjectsOf(read));
    }
}

TEST_F(ServerRpc, AnImageOverAnObjectOfAnotherClassIsRefusedWhole)
{
    NeoID stepID = 0;
    Start([&](CNeoDatabase* db) {
        NeoID holder = FileUnder(db, new CPBatch, 0, "holder");
        stepID = FileUnder(db, new CPProcessExe, holder, "stored step");
    });
    const NeoID kNewBatchID = 50000;
    struct Case {
        const char* image;
        std::function<CPPersistBase*()> intruder;
        NeoID parent;
    } cases[] = {
        {"a batch with the step's ID", [] { return new CPBatch; }, 0},
        {"a script step with the step's ID under a new batch",
         [] { return new CPProcessScript; }, kNewBatchID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.image);
        InMemoryDatabase image;
        CPBatch* fresh = new CPBatch;
        fresh->SetName("fresh");
        image.Add(fresh, kNewBatchID);
        CPPersistBase* intruder = c.intruder();
        intruder->SetName("intruder");
        intruder->SetParentID(c.parent);
        image.Add(intruder, stepID);
        EXPECT_EQ(Store(image), ERROR_INVALID_DATA);

        LONG nameFree = 0, status = -1;
        IsNameFree(m_context, kClassBatch, "fresh", &nameFree, &status);
        EXPECT_EQ(nameFree, TRUE);
        Reply kept;
        ASSERT_EQ(ByID(kClassProcessExe, stepID, kept), kStatusDone);
        InMemoryDatabase received;
        received.Load(kept.Bytes());
        CNeoRef<CPPersistBase> step(CPPersistBase::FindByID(received.get(), kClassProcessExe, stepID));
        ASSERT_TRUE(step);
        EXPECT_EQ(step->GetName(), "stored step");
    }
}

// Definitions and run instances of process steps, schedules that exist
// only as run instances, and no agents.
void SeedModes(CNeoDatabase* db)
{
    auto add = [db](CPPersistBase* object, const char* name, long runInstance) {
        object->SetName(name);
        object->SetRunInstance(runInstance);
        db->addObject(object);
        object->unrefer();
    };
    add(new CPProcessExe, "copy files", 0);
    add(new CPProcessExe, "send mail", 0);
    add(new CPProcessExe, "copy files", 1);
    add(new CPSchedule, "nights", 1);
}

// A listing mode the server does not know: it takes no objects.
const long kUnknownMode = kDefinitionsAndRuns + 1;

TEST_F(ServerRpc, ModeFilterOfClassReadsAndNameLists)
{
    Start(SeedModes);
    struct Case {
        NeoClassID classID;
        long mode;
        LONG objectsStatus;  // GetObjectsByClass
        long objects;
        LONG namesStatus;    // ListObjectNames
    } cases[] = {
        {kClassProcessExe, kDefinitionsOnly, kStatusDone, 2, kStatusDone},
        {kClassProcessExe, kRunInstancesOnly, kStatusDone, 1, kStatusDone},
        {kClassProcessExe, kDefinitionsAndRuns, kStatusDone, 3, kStatusDone},
        {kClassProcessExe, kUnknownMode, kStatusDone, 0, kStatusDone},
        {kClassProcessBase, kDefinitionsAndRuns, kStatusDone, 3, kStatusDone},  // subclasses count
        {kClassSchedule, kDefinitionsOnly, kStatusNotFound, 0, kStatusDone},
        {kClassSchedule, kDefinitionsAndRuns, kStatusDone, 1, kStatusDone},
        {kClassAgent, kDefinitionsAndRuns, kStatusNotFound, 0, kStatusNotFound},
        {kClassAgent, kUnknownMode, kStatusDone, 0, kStatusNotFound},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "class " << c.classID << " mode " << c.mode);
        Reply objects;
        LONG status = -1;
        GetObjectsByClass(m_context, c.mode, c.classID, &objects, &status);
        ASSERT_EQ(status, c.objectsStatus);
        if (status == kStatusDone) {
            InMemoryDatabase image;
            image.Load(objects.Bytes());
            EXPECT_EQ(image->countObjects(kClassPersistBase), c.objects);
        } else {
            EXPECT_EQ(objects.size, 0u);
        }
        Reply names;
        ListObjectNames(m_context, c.mode, c.classID, &names, &status);
        ASSERT_EQ(status, c.namesStatus);
        if (status == kStatusDone) {
            EXPECT_EQ((long)Names(names).size(), c.objects);
        }
    }
}

TEST_F(ServerRpc, StatusCodesOfRefusalsAndAnswersOfIdleManagers)
{
    Start(SeedModes);
    const std::string longName(300, 'n');
    const std::string longFile(200, 'f');
    const NeoID kMissingID = 777;
    Reply reply;
    LONG status = -1, value = -1;
    struct Case {
        const char* call;
        std::function<void()> run;
        LONG expected;
    } cases[] = {
        {"GetObjectByID missing", [&] { GetObjectByID(m_context, kClassBatch, kMissingID, &reply, &status); }, kStatusNotFound},
        {"GetObjectByName missing", [&] { GetObjectByName(m_context, kClassBatch, "none", &reply, &status); }, kStatusNotFound},
        {"GetObjectByName too long", [&] { GetObjectByName(m_context, kClassBatch, longName.c_str(), &reply, &status); }, kStatusRefused},
        {"RenameObject missing", [&] { RenameObject(m_context, kMissingID, "x", &status); }, kStatusNotFound},
        {"RenameObject too long", [&] { RenameObject(m_context, 1, longName.c_str(), &status); }, kStatusRefused},
        {"IsNameFree too long", [&] { IsNameFree(m_context, kClassBatch, longName.c_str(), &value, &status); }, kStatusRefused},
        {"GetBatchStatus missing", [&] { GetBatchStatus(m_context, kMissingID, &value, &status); }, kStatusNotFound},
        {"SetBatchStatus missing", [&] { SetBatchStatus(m_context, kMissingID, kBatchExecuting, &status); }, kStatusNotFound},
        {"GetBatchName missing", [&] { char name[256]; GetBatchName(m_context, kMissingID, name, &status); }, kStatusNotFound},
        {"ListBatchLogs missing", [&] { ListBatchLogs(m_context, kDefinitionsAndRuns, kMissingID, &reply, &status); }, kStatusNotFound},
        {"TestFileAccess file too long", [&] { TestFileAccess("", "user", "pw", longFile.c_str(), &status); }, kStatusRefused},
        {"PostProcessUpdate queued", [&] { RpcBlob step = {0, NULL}; PostProcessUpdate(m_context, 5, &step, &status); }, kStatusDone},
        {"RegisterConsole host too long", [&] { RegisterConsole(ServerInterface_Binding, m_context, longName.c_str(), "x", &status); }, kStatusRefused},
        {"RegisterConsole (bound, nothing sent yet)", [&] { RegisterConsole(ServerInterface_Binding, m_context, "host", "x", &status); }, kStatusDone},
        {"RegisterConsole again", [&] { RegisterConsole(ServerInterface_Binding, m_context, "other", "x", &status); }, kStatusDone},
        {"NoOp", [&] { RpcBlob none = {0, NULL}; NoOp(m_context, 1, 2, &none, &status); }, kStatusDone},
        {"ListUnregisteredAgents", [&] { ListUnregisteredAgents(m_context, &reply, &status); }, kStatusDone},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.call);
        status = -1;
        MIDL_user_free(reply.data);
        reply.data = NULL;
        reply.size = 0;
        ASSERT_EQ(Guarded([&] { c.run(); }), kNothingRaised);
        EXPECT_EQ(status, c.expected);
    }
    // The last call's empty agent list: a zero count and no records.
    EXPECT_EQ(reply.Bytes(), (std::vector<BYTE>{0, 0}));
}

TEST_F(ServerRpc, ResultQueueOfAServerThatAppliesNoneTakesFifteen)
{
    Start();
    for (int posted = 1; posted <= 16; ++posted) {
        RpcBlob step = {0, NULL};
        LONG status = -1;
        ASSERT_EQ(Guarded([&] { PostProcessUpdate(m_context, 5, &step, &status); }),
                  kNothingRaised);
        EXPECT_EQ(status, posted <= 15 ? kStatusDone : kStatusRefused) << "result " << posted;
    }
}

TEST_F(ServerRpc, StopServerListeningIsRefusedToClients)
{
    Start();
    LONG stopped = -1;
    ASSERT_EQ(Guarded([&] { stopped = StopServerListening(); }), kNothingRaised);
    EXPECT_EQ(stopped, ERROR_ACCESS_DENIED);
    EXPECT_EQ(Guarded([] { Ping(); }), kNothingRaised);
}

TEST_F(ServerRpc, LocksAreHeldUntilUnlocked)
{
    NeoID a = 0, b = 0;
    Start([&](CNeoDatabase* db) {
        for (NeoID* id : {&a, &b}) {
            CPProcessExe* step = new CPProcessExe;
            db->addObject(step);
            *id = step->getID();
            step->unrefer();
        }
    });
    LONG status = -1;
    LONG both[] = {a, b}, first[] = {a}, second[] = {b}, secondThenFirst[] = {b, a};
    LockObjects(m_context, 2, both, &status);
    EXPECT_EQ(status, kStatusDone);
    LockObjects(m_context, 1, first, &status);
    EXPECT_EQ(status, kStatusBusy);
    UnlockObjects(m_context, 2, both, &status);
    EXPECT_EQ(status, kStatusDone);
    LockObjects(m_context, 1, first, &status);
    EXPECT_EQ(status, kStatusDone);
    // b is locked first, then a is found busy: b is released again.
    LockObjects(m_context, 2, secondThenFirst, &status);
    EXPECT_EQ(status, kStatusBusy);
    LockObjects(m_context, 1, second, &status);
    EXPECT_EQ(status, kStatusDone);
}

TEST_F(ServerRpc, BatchStatusKeepsTheStatusARunReturnsTo)
{
    NeoID batchID = 0;
    Start([&](CNeoDatabase* db) {
        CPBatch* batch = new CPBatch;
        batch->SetName("status");
        batch->SetStatusValue(kBatchQueued);
        batch->SetSavedStatus(kBatchQueued);
        db->addObject(batch);
        batchID = batch->getID();
        batch->unrefer();
    });
    auto savedStatus = [&]() {
        Reply image;
        EXPECT_EQ(ByID(kClassBatch, batchID, image), kStatusDone);
        InMemoryDatabase received;
        received.Load(image.Bytes());
        CNeoRef<CPPersistBase> batch(CPPersistBase::FindByID(received.get(), kClassBatch, batchID));
        return static_cast<CPBatch*>(batch.get())->GetSavedStatus();
    };
    LONG status = -1, value = -1;
    SetBatchStatus(m_context, batchID, kBatchExecuting, &status);
    ASSERT_EQ(status, kStatusDone);
    GetBatchStatus(m_context, batchID, &value, &status);
    EXPECT_EQ(value, kBatchExecuting);
    EXPECT_EQ(savedStatus(), kBatchQueued);
    SetBatchStatus(m_context, batchID, kBatchStopping, &status);
    EXPECT_EQ(savedStatus(), kBatchIdle);
    SetBatchStatus(m_context, batchID, kBatchPaused, &status);
    EXPECT_EQ(savedStatus(), kBatchIdle);
}

TEST_F(ServerRpc, DocumentNumbersAndObjectIDsAreNew)
{
    Start();
    LONG first = 0, second = 0, status = -1;
    NextDocumentNumber(m_context, &first, &status);
    ASSERT_EQ(status, kStatusDone);
    NextDocumentNumber(m_context, &second, &status);
    EXPECT_EQ(second, first + 1);
    LONG id1 = 0, id2 = 0;
    NewObjectID(m_context, &id1, &status);
    NewObjectID(m_context, &id2, &status);
    EXPECT_GT(id1, 0);
    EXPECT_NE(id1, id2);
}

TEST_F(ServerRpc, RunLogsAreListedWithStartTimeAndRunNumber)
{
    const NeoID connector = 4242;
    Start([&](CNeoDatabase* db) {
        for (int i = 1; i <= 45; ++i) {
            CPBatchLog* log = new CPBatchLog;
            log->SetName("run");
            log->SetParentID(connector);
            log->SetRunNumber(i);
            log->SetStartTime(COleDateTime(2024, 1, 1 + i % 28, 10, 0, 0));
            db->addObject(log);
            log->unrefer();
        }
    });
    Reply reply;
    LONG status = -1;
    ListBatchLogs(m_context, kDefinitionsAndRuns, connector, &reply, &status);
    ASSERT_EQ(status, kStatusDone);
    CObList list;
    LoadTransferList(reply.data, reply.size, list);
    ASSERT_EQ(list.GetCount(), 45);
    CSBatchLogDetails* last = static_cast<CSBatchLogDetails*>(list.GetTail());
    EXPECT_EQ(last->GetRunNumber(), 45);
    EXPECT_EQ(last->GetStartTime(), COleDateTime(2024, 1, 1 + 45 % 28, 10, 0, 0));
    DeleteTransferList(list);
}

TEST_F(ServerRpc, EnvironmentBlockEndsWithTwoNulBytes)
{
    SetEnvironmentVariableA("VANTOREL_ENVIRONMENT_PROBE", "present");
    Start();
    Reply environment;
    LONG status = -1;
    GetServerEnvironment(&environment, &status);
    ASSERT_EQ(status, kStatusDone);
    ASSERT_GE(environment.size, 2u);
    EXPECT_EQ(environment.data[environment.size - 1], 0);
    EXPECT_EQ(environment.data[environment.size - 2], 0);
    std::string block(reinterpret_cast<char*>(environment.data), environment.size);
    EXPECT_NE(block.find(std::string("VANTOREL_ENVIRONMENT_PROBE=present\0", 35)),
              std::string::npos);
}

TEST_F(ServerRpc, ClientNumbersWrapAfter12400AndNeverRepeatAcrossCallers)
{
    Start();
    std::vector<LONG> numbers;
    for (int i = 0; i < 201; ++i) {
        LONG number = 0, status = -1;
        NextClientNumber(&number, &status);
        ASSERT_EQ(status, kStatusDone);
        numbers.push_back(number);
    }
    EXPECT_EQ(numbers.front(), 12201);
    EXPECT_EQ(numbers[199], 12400);
    EXPECT_EQ(numbers[200], 12201);

    // 199 more from four callers at once: with the 201 above, one full cycle.
    std::set<LONG> seen;
    std::mutex lock;
    std::vector<std::thread> callers;
    for (int t = 0; t < 4; ++t)
        callers.emplace_back([&, t] {
            for (int i = 0; i < (t == 3 ? 49 : 50); ++i) {
                LONG number = 0, status = -1;
                if (Guarded([&] { NextClientNumber(&number, &status); }) != kNothingRaised)
                    return;
                std::lock_guard<std::mutex> hold(lock);
                seen.insert(number);
            }
        });
    for (std::thread& caller : callers)
        caller.join();
    EXPECT_EQ(seen.size(), 199u);
    EXPECT_EQ(*seen.begin(), 12202);
    EXPECT_EQ(*seen.rbegin(), 12400);
}

TEST_F(ServerRpc, SessionOfAKilledClientIsRunDown)
{
    Start();
    ASSERT_EQ(m_peer->SessionCount(), 1);
    PROCESS_INFORMATION client;
    HANDLE input, output;
    ASSERT_TRUE(StartWithPipes("\"" + ProgramBesideMe("rpc_test_client.exe") + "\" " +
                                   m_peer->Endpoint() + " hold",
                               &client, &input, &output));
    std::string pending;
    EXPECT_EQ(ReadLineFrom(output, pending, "open", 20000), "open");
    EXPECT_EQ(m_peer->SessionCount(), 2);
    TerminateProcess(client.hProcess, 1);
    WaitForSingleObject(client.hProcess, 10000);
    int sessions = -1;
    for (DWORD start = GetTickCount(); GetTickCount() - start < 15000; Sleep(50))
        if ((sessions = m_peer->SessionCount()) == 1)
            break;
    EXPECT_EQ(sessions, 1);
    CloseHandle(client.hProcess);
    CloseHandle(client.hThread);
    CloseHandle(input);
    CloseHandle(output);
}

TEST_F(ServerRpc, ListenerStopsCleanly)
{
    Start();
    ASSERT_EQ(Guarded([&] { CloseSession(&m_context); }), kNothingRaised);
    EXPECT_EQ(m_peer->Stop(), (DWORD)EXIT_SUCCESS);
}

TEST_F(ServerRpc, ClosedSessionLeavesTheList)
{
    Start();
    ASSERT_EQ(m_peer->SessionCount(), 1);
    ASSERT_EQ(Guarded([&] { CloseSession(&m_context); }), kNothingRaised);
    EXPECT_EQ(m_context, nullptr);
    EXPECT_EQ(m_peer->SessionCount(), 0);
}

}  // namespace
