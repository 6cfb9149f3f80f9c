#include "batch_client.h"

#include <server/transfer_records.h>

#include <model/object_stream.h>
#include <model/run_log.h>
#include <model/steps.h>
#include <model/triggers.h>

#include <seguard/seguard.h>

#include <stdio.h>

#include <algorithm>
#include <memory>

namespace {

const DWORD kNothingRaised = 0;
const long kStatusDone = 0;

// A blob that the client stubs filled; frees its bytes.
struct Reply : RpcBlob {
    Reply() : RpcBlob{0, NULL} {}
    ~Reply() { MIDL_user_free(data); }
    Reply(const Reply&) = delete;
    Reply& operator=(const Reply&) = delete;
};

// An in-memory database holding an image.
class Image {
public:
    Image()
    {
        m_database.setLocation(&m_location);
        ResetImage(&m_database);
    }
    ~Image() { m_database.close(FALSE); }
    Image(const Image&) = delete;
    Image& operator=(const Image&) = delete;

    CNeoDatabase* operator->() { return &m_database; }
    CNeoDatabase* get() { return &m_database; }
    bool Load(const RpcBlob& blob)
    {
        try {
            LoadImage(&m_database, blob.data, blob.size);
            return true;
        } catch (CNeoException* e) {
            e->Delete();
            return false;
        }
    }

private:
    CNeoMemLocation m_location;
    CNeoDatabase m_database;
};

const char kCommandShell[] = "C:\\windows\\system32\\cmd.exe";

// Reads a stored object with its children into `image`; the caller holds the
// library lock, which the remote call gives up while it waits.
bool FetchInto(ServerInterfaceContext context, NeoClassID classID, NeoID id, Image& image)
{
    Reply reply;
    LONG status = -1;
    DWORD fault;
    {
        CNeoCriticalRelease release;
        fault = Guarded([&] { GetObjectByID(context, classID, id, &reply, &status); });
    }
    return fault == kNothingRaised && status == kStatusDone && image.Load(reply);
}

}  // namespace

BatchClient::BatchClient()
{
    // The images it reads and writes are a console's.
    static bool registered = (RegisterModelKeys(kConsoleProgram), true);
    (void)registered;
}

bool BatchClient::Connect(DWORD timeoutMs)
{
    if (BindServerInterface("") != RPC_S_OK)
        return false;
    m_bound = true;
    RpcBlob empty = {0, NULL};
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(100)) {
        LONG status = -1;
        if (Guarded([&] { OpenSession(&m_context, &empty, &status); }) == kNothingRaised &&
            status == kStatusDone)
            return true;
        m_context = NULL;
    }
    return false;
}

void BatchClient::Disconnect(bool serverKilled)
{
    if (m_context && serverKilled)
        RpcSsDestroyClientContext(&m_context);
    else if (m_context)
        Guarded([&] { CloseSession(&m_context); });
    m_context = NULL;
    if (m_bound)
        UnbindServerInterface();
    m_bound = false;
}

std::vector<std::pair<std::string, NeoID>> BatchClient::ListNames(NeoClassID classID)
{
    std::vector<std::pair<std::string, NeoID>> named;
    Reply names;
    LONG status = -1;
    if (Guarded([&] { ListObjectNames(m_context, 0, classID, &names, &status); }) !=
            kNothingRaised ||
        status != kStatusDone)
        return named;
    CObList list;
    LoadTransferList(names.data, names.size, list);
    for (POSITION at = list.GetHeadPosition(); at;) {
        CSObjectNames* record = static_cast<CSObjectNames*>(list.GetNext(at));
        named.push_back({(const char*)record->GetName(), record->GetID()});
    }
    DeleteTransferList(list);
    return named;
}

NeoID BatchClient::LocalAgentID()
{
    char name[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD length = sizeof name;
    GetComputerNameA(name, &length);
    for (const auto& named : ListNames(kClassAgent))
        if (lstrcmpiA(named.first.c_str(), name) == 0)
            return named.second;
    return 0;
}

NeoID BatchClient::NewID()
{
    LONG id = 0, status = -1;
    if (Guarded([&] { NewObjectID(m_context, &id, &status); }) != kNothingRaised ||
        status != kStatusDone)
        return 0;
    return id;
}

NeoID BatchClient::StoreBatch(const BatchPlan& plan, NeoID agentID, long* status)
{
    *status = -1;
    CNeoLock lock;
    Image image;
    CFocusDatabases focus(image.get(), image.get());
    // Every object gets its ID from the server, so that it is new there.
    auto file = [&](CPPersistBase* object, NeoID parent, const std::string& name) {
        CNeoRef<CPPersistBase> created(object);
        object->setID(NewID());
        object->SetParentID(parent);
        object->SetName(name.c_str());
        image->addObject(object, TRUE, NULL);
        return object->getID();
    };
    CPBatch* batch = static_cast<CPBatch*>(CPBatch::Create());
    batch->SetStatusValue(kBatchIdle);
    batch->SetSavedStatus(kBatchIdle);
    NeoID batchID = file(batch, 0, plan.name);
    NeoID triggerID = file(static_cast<CPPersistBase*>(CPTriggerSchedule::Create()), batchID,
                           "start");
    CPAgent allowed;
    allowed.setID(agentID);
    std::vector<NeoID> stepIDs;
    for (const PlannedStep& planned : plan.steps) {
        CPProcessBase* step;
        if (!planned.script.empty()) {
            CPProcessScript* script = static_cast<CPProcessScript*>(CPProcessScript::Create());
            script->SetScript(planned.script.c_str());
            step = script;
        } else {
            CPProcessExe* exe = static_cast<CPProcessExe*>(CPProcessExe::Create());
            bool shell = planned.program.empty();
            exe->SetProgramPath(shell ? kCommandShell : planned.program.c_str());
            exe->SetArguments(((shell ? "/c " : "") + planned.commands).c_str());
            step = exe;
        }
        step->GetAllowedAgents().Append(&allowed);
        stepIDs.push_back(file(step, batchID, planned.name));
    }
    for (const StepLink& planned : plan.links) {
        CPBatchLink* link = static_cast<CPBatchLink*>(CPBatchLink::Create());
        link->SetSourceID(planned.from < 0 ? triggerID : stepIDs.at(planned.from));
        link->SetTargetID(stepIDs.at(planned.to));
        NeoID linkID = file(link, batchID, planned.name);
        if (planned.op >= 0) {
            CPBatchLinkItem* condition = static_cast<CPBatchLinkItem*>(CPBatchLinkItem::Create());
            condition->SetCondition(planned.op, planned.value, 0);
            file(condition, linkID, "");
        }
    }
    unsigned long length = 0;
    const BYTE* bytes = GetImageBytes(image.get(), &length);
    RpcBlob blob = {length, const_cast<BYTE*>(bytes)};
    LONG stored = -1;
    DWORD fault;
    {
        CNeoCriticalRelease release;
        fault = Guarded([&] { StoreObjects(m_context, &blob, 0, NULL, &stored); });
    }
    *status = fault != kNothingRaised ? (long)fault : stored;
    if (*status != kStatusDone)
        return 0;
    m_names[batchID] = plan.name;
    return batchID;
}

long BatchClient::SetStatus(NeoID batchID, long batchStatus)
{
    LONG status = -1;
    DWORD fault = Guarded([&] { SetBatchStatus(m_context, batchID, batchStatus, &status); });
    return fault != kNothingRaised ? (long)fault : status;
}

BatchState BatchClient::Read(NeoID batchID)
{
    BatchState state;
    CNeoLock lock;
    Image image;
    if (!FetchInto(m_context, kClassBatch, batchID, image))
        return state;
    CNeoRef<CPBatch> batch(
        static_cast<CPBatch*>(CPPersistBase::FindByID(image.get(), kClassBatch, batchID)));
    if (batch)
        state = {batch->GetStatus(), batch->GetPhase(), (long)batch->GetRunNumber()};
    return state;
}

bool BatchClient::WaitForRunEnd(NeoID batchID, long run, long status, DWORD timeoutMs)
{
    // The status alone is cheap to ask; the batch with all its steps is read
    // only once the status is back, for its run number.
    for (DWORD start = GetTickCount(); GetTickCount() - start < timeoutMs; Sleep(100)) {
        LONG batchStatus = -1, called = -1;
        if (Guarded([&] { GetBatchStatus(m_context, batchID, &batchStatus, &called); }) ==
                kNothingRaised &&
            called == kStatusDone && batchStatus == status && Read(batchID).runNumber >= run)
            return true;
    }
    return false;
}

std::vector<LoggedItem> BatchClient::LastRunLog(NeoID batchID)
{
    std::vector<LoggedItem> items;
    // The logs hang under the batch's log holder, which bears its name.
    NeoID holderID = 0;
    for (const auto& named : ListNames(kClassBatchLogConnector))
        if (named.first == m_names[batchID])
            holderID = named.second;
    Reply logs;
    LONG status = -1;
    if (Guarded([&] { ListBatchLogs(m_context, 2, holderID, &logs, &status); }) !=
            kNothingRaised ||
        status != kStatusDone)
        return items;
    NeoID logID = 0;
    long latest = -1;
    {
        CObList list;
        LoadTransferList(logs.data, logs.size, list);
        for (POSITION at = list.GetHeadPosition(); at;) {
            CSBatchLogDetails* record = static_cast<CSBatchLogDetails*>(list.GetNext(at));
            if ((long)record->GetRunNumber() > latest) {
                latest = (long)record->GetRunNumber();
                logID = record->GetID();
            }
        }
        DeleteTransferList(list);
    }
    CNeoLock lock;
    Image image;
    if (!FetchInto(m_context, kClassBatchLog, logID, image))
        return items;
    CFocusDatabases focus(image.get(), image.get());
    std::vector<std::pair<double, LoggedItem>> started;
    for (NeoClassID classID : {kClassBatchLogItemProcess, kClassBatchLogItemLink}) {
        std::unique_ptr<CNeoIndexIterator> found(image->getIterator(classID, NULL));
        for (CNeoPersist* object = found->first(); object; object = found->nextObject()) {
            CNeoRef<CPBatchLogItemBase> item(static_cast<CPBatchLogItemBase*>(object));
            if (item->getClassID() != classID)
                continue;
            LoggedItem logged = {classID,
                                 (const char*)item->GetName(),
                                 (unsigned long)item->GetExitCode(),
                                 (const char*)item->GetStandardOut(),
                                 (const char*)item->GetServerMessage(),
                                 item->GetEndTime().m_dt != 0};
            started.push_back({item->GetStartTime().m_dt, logged});
        }
    }
    std::stable_sort(started.begin(), started.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (auto& entry : started)
        items.push_back(entry.second);
    return items;
}

BatchPlan ThreeStepPlan(const char* name, int checkExit)
{
    char check[64];
    sprintf(check, "echo checking the disk & exit %d", checkExit);
    return {name,
            {{"check", check},
             {"report", "echo all is well"},
             {"recover", "echo recovering after the check"}},
            {{"start -> check", -1, 0, -1, 0},
             {"check -> report when 0", 0, 1, kEqualTo, 0},
             {"check -> recover when not 0", 0, 2, kNotEqualTo, 0}}};
}

void PrintRunLog(const std::vector<LoggedItem>& items)
{
    for (const LoggedItem& item : items) {
        if (item.classID != kClassBatchLogItemProcess)
            continue;
        std::string output = item.output;
        while (!output.empty() && (output.back() == '\n' || output.back() == '\r'))
            output.pop_back();
        printf("  step %-8s exit code %lu, output \"%s\"\n           server: %s\n",
               item.name.c_str(), item.exitCode, output.c_str(), item.message.c_str());
    }
    for (const LoggedItem& item : items)
        if (item.classID == kClassBatchLogItemLink)
            printf("  link \"%s\" evaluated on exit code %lu\n", item.name.c_str(),
                   item.exitCode);
}

int RunPrintingDatabaseFailures(int (*body)())
{
    try {
        return body();
    } catch (CNeoException* e) {
        printf("database failure %d: %s\n", (int)e->getCode(), (const char*)e->getText());
        e->Delete();
        return 1;
    }
}
