#include <server/object_access.h>

#include <server/agent_list.h>
#include <server/client_notify.h>
#include <server/step_queue.h>
#include <server/transfer_records.h>

#include <model/batch.h>
#include <model/run_log.h>

#include <memory>
#include <string.h>
#include <string>
#include <vector>

namespace {

// The run-instance flags a mode takes; an unknown mode takes none.
std::vector<long> ModeFlags(long mode)
{
    switch (mode) {
    case kDefinitionsOnly:
        return {0};
    case kRunInstancesOnly:
        return {1};
    case kDefinitionsAndRuns:
        return {0, 1};
    default:
        return {};
    }
}

BOOL PassesMode(long mode, long runInstance)
{
    return mode == kDefinitionsAndRuns || (mode == kDefinitionsOnly && runInstance == 0) ||
           (mode == kRunInstancesOnly && runInstance == 1);
}

// Every worker works with the session database as both focus databases.
struct SessionFocus : CFocusDatabases {
    explicit SessionFocus(ClientSession* session)
        : CFocusDatabases(session->GetSessionDatabase()->GetDatabase(),
                          session->GetSessionDatabase()->GetDatabase())
    {
    }
};

// A found object as a stored-class object, or NULL for objects of other
// classes; the reference is dropped in that case.
CPPersistBase* AsStored(CNeoPersist* object)
{
    if (object == NULL)
        return NULL;
    CPPersistBase* stored = DYNAMIC_DOWNCAST(CPPersistBase, object);
    if (stored == NULL)
        object->unrefer();
    return stored;
}

CPPersistBase* FindRequired(CNeoDatabase* database, NeoClassID classID, CNeoSelect* select)
{
    CPPersistBase* object = AsStored(database->findObject(classID, select));
    if (object == NULL)
        throw kStatusNotFound;
    return object;
}

CPBatch* FindBatch(CNeoDatabase* database, NeoID id)
{
    CNeoIDSelect select(id);
    CPPersistBase* object = FindRequired(database, kClassBatch, &select);
    return static_cast<CPBatch*>(object);
}

// The records of a reply list, deleted when the reply is built.
struct TransferList {
    ~TransferList() { DeleteTransferList(list); }
    void ArchiveInto(RpcBlob* reply)
    {
        unsigned long size = 0;
        reply->data = ArchiveTransferList(list, &size);
        reply->size = size;
    }
    CObList list;
};

void ListNames(ClientSession* session, long mode, NeoClassID classID, CNeoSelect* select,
               RpcBlob* reply)
{
    std::unique_ptr<CNeoIndexIterator> objects(
        session->GetServerDatabase()->getIterator(classID, select));
    CNeoPersist* object = objects->first();
    if (object == NULL)
        throw kStatusNotFound;
    TransferList names;
    for (; object; object = objects->nextObject()) {
        CNeoRef<CNeoPersist> held(object);
        long runInstance = 0;
        CNeoString name;
        object->getValue(kTagRunInstance, kNeoLongType, &runInstance);
        object->getValue(kTagName, kNeoStringType, &name);
        if (!PassesMode(mode, runInstance))
            continue;
        CSObjectNames* record = new CSObjectNames;
        record->Set(name, object->getID());
        names.list.AddTail(record);
    }
    names.ArchiveInto(reply);
}

// Storing an object over one of another class would give that object
// fields of the wrong kind. A link's conditions are let through: they take
// a new ID when theirs is taken.
void RefuseClassConflicts(CNeoDatabase* server, CNeoDatabase* received)
{
    std::unique_ptr<CNeoIndexIterator> objects(received->getIterator(kClassPersistBase, NULL));
    for (CNeoPersist* found = objects->first(); found; found = objects->nextObject()) {
        CNeoRef<CPPersistBase> incoming(static_cast<CPPersistBase*>(found));
        if (incoming->getClassID() == kClassBatchLinkItem && incoming->GetParentID() != 0)
            continue;
        CNeoIDSelect byID(incoming->getID());
        CNeoRef<CNeoPersist> stored(server->findObject(kNeoPersistID, &byID));
        if (stored && stored->getClassID() != incoming->getClassID())
            throw kStatusInvalidData;
    }
}

}  // namespace

void ObjectAccess::DeleteObjects(ClientSession* session, long count, const long* ids)
{
    SessionFocus focus(session);
    CNeoDatabase* server = session->GetServerDatabase();
    for (long i = 0; i < count; ++i) {
        CNeoRef<CPPersistBase> object(CPPersistBase::FindByID(server, kClassPersistBase, ids[i]));
        if (!object)
            continue;
        CPBatch* batch = DYNAMIC_DOWNCAST(CPBatch, object.get());
        if (batch) {
            gClientNotify.QueueStatus(kNotifyBatchDeleted, batch->GetName(), batch->getID(),
                                      batch->GetStatus());
            // Nothing of the batch's run may outlive it: watched folders,
            // queued steps and its logon.
            batch->ArmTriggers(FALSE);
            gStepQueue.RemoveBatch(batch->getID());
            batch->LogonRunAsUser(FALSE);
        }
        object->DeleteWithChildren(server);
        server->removeObject(object.get(), TRUE);
    }
    session->RemoveLockedIds(count, ids);
}

void ObjectAccess::LockObjects(ClientSession* session, long count, const long* ids)
{
    SessionFocus focus(session);
    CNeoFoundObjects locked;
    for (long i = 0; i < count; ++i) {
        CNeoRef<CPPersistBase> object(
            CPPersistBase::FindByID(session->GetServerDatabase(), kClassPersistBase, ids[i]));
        if (!object)
            continue;
        if (object->isBusy()) {
            for (int j = 0; j < locked.GetSize(); ++j)
                locked.at<CNeoPersist>(j)->setUnbusy();
            throw kStatusBusy;
        }
        object->setBusy();
        locked.Add(object.release());
    }
    session->AddLockedIds(count, ids);
}

void ObjectAccess::UnlockObjects(ClientSession* session, long count, const long* ids)
{
    SessionFocus focus(session);
    for (long i = 0; i < count; ++i) {
        CNeoRef<CPPersistBase> object(
            CPPersistBase::FindByID(session->GetServerDatabase(), kClassPersistBase, ids[i]));
        if (object)
            object->setUnbusy();
    }
    session->RemoveLockedIds(count, ids);
}

void ObjectAccess::GetObjectsByClass(ClientSession* session, long mode, NeoClassID classID,
                                     RpcBlob* reply)
{
    SessionFocus focus(session);
    std::vector<long> flags = ModeFlags(mode);
    CNeoFoundObjects found;
    for (long flag : flags) {
        CNeoLongSelect select(kTagRunInstance, flag);
        session->GetServerDatabase()->findObject(classID, &select, TRUE, NULL, &found);
    }
    if (!flags.empty() && found.GetSize() == 0)
        throw kStatusNotFound;
    session->GetSessionDatabase()->SendObjects(found, reply);
}

void ObjectAccess::AddObjects(ClientSession* session, const RpcBlob* image)
{
    SessionFocus focus(session);
    SessionDatabase* received = session->GetSessionDatabase();
    received->LoadImage(image);
    std::unique_ptr<CNeoIndexIterator> objects(
        received->GetDatabase()->getIterator(kClassPersistBase, NULL));
    for (CNeoPersist* object = objects->first(); object; object = objects->nextObject()) {
        CNeoRef<CNeoPersist> held(object);
        CNeoRef<CNeoPersist> copy(object->clone());
        copy->setID(0);
        session->GetServerDatabase()->addObject(copy.get(), TRUE, NULL);
    }
}

void ObjectAccess::StoreObjects(ClientSession* session, const RpcBlob* image)
{
    SessionFocus focus(session);
    SessionDatabase* received = session->GetSessionDatabase();
    received->LoadImage(image);
    CNeoDatabase* server = session->GetServerDatabase();
    RefuseClassConflicts(server, received->GetDatabase());
    // Objects with a parent arrive through their parent's children.
    std::unique_ptr<CNeoIndexIterator> objects(received->GetDatabase()->getIterator(
        kClassPersistBase, new CNeoULongSelect(kNeoParentTag, 0)));
    for (CNeoPersist* found = objects->first(); found; found = objects->nextObject()) {
        CNeoRef<CPPersistBase> incoming(static_cast<CPPersistBase*>(found));
        CNeoRef<CPPersistBase> stored(received->FindInServer(incoming->getClassID(), incoming.get()));
        if (stored) {
            stored->update(incoming.get());
            stored->CopyChildren(server, received->GetDatabase(), incoming->getID());
            continue;
        }
        CNeoRef<CPPersistBase> copy(static_cast<CPPersistBase*>(incoming->clone()));
        // Stored now: a later save of the same object updates it.
        copy->SetNewObject(FALSE);
        server->addObject(copy.get(), TRUE, NULL);
        copy->CopyChildren(server, received->GetDatabase(), incoming->getID());
        CPBatch* batch = DYNAMIC_DOWNCAST(CPBatch, copy.get());
        if (batch)
            gClientNotify.QueueStatus(kNotifyBatchAdded, batch->GetName(), batch->getID(),
                                      batch->GetStatus());
    }
}

void ObjectAccess::GetObjectByID(ClientSession* session, NeoClassID classID, NeoID id,
                                 RpcBlob* reply)
{
    SessionFocus focus(session);
    CNeoIDSelect select(id);
    CNeoRef<CPPersistBase> stored(FindRequired(session->GetServerDatabase(), classID, &select));
    session->GetSessionDatabase()->SendObject(stored.get(), reply);
}

void ObjectAccess::GetObjectByName(ClientSession* session, NeoClassID classID, const char* name,
                                   RpcBlob* reply)
{
    SessionFocus focus(session);
    CNeoStringSelect select(kTagName, name);
    CNeoRef<CPPersistBase> stored(FindRequired(session->GetServerDatabase(), classID, &select));
    session->GetSessionDatabase()->SendObject(stored.get(), reply);
}

void ObjectAccess::RenameObject(ClientSession* session, NeoID id, const char* newName)
{
    SessionFocus focus(session);
    CNeoIDSelect select(id);
    CNeoRef<CPPersistBase> stored(
        FindRequired(session->GetServerDatabase(), kClassPersistBase, &select));
    gClientNotify.QueueRename(kNotifyObjectRenamed, stored->getClassID(), stored->getID(),
                              stored->GetName(), newName);
    stored->SetName(newName);
    // Without the mark the next commit would not write the new name.
    stored->setDirty(2);
}

BOOL ObjectAccess::IsNameFree(ClientSession* session, NeoClassID classID, const char* name)
{
    SessionFocus focus(session);
    CNeoStringSelect select(kTagName, name);
    CNeoRef<CNeoPersist> found(session->GetServerDatabase()->findObject(classID, &select));
    return !found;
}

long ObjectAccess::NextDocumentNumber(ClientSession* session)
{
    SessionFocus focus(session);
    CNeoDatabase* server = session->GetServerDatabase();
    CNeoRef<CPDocCounter> counter(
        static_cast<CPDocCounter*>(server->findObject(kClassDocCounter, NULL)));
    if (!counter) {
        CNeoRef<CPDocCounter> created(new CPDocCounter);
        server->addObject(created.get(), TRUE, NULL);
        return created->Next();
    }
    return counter->Next();
}

NeoID ObjectAccess::NewObjectID(ClientSession* session)
{
    SessionFocus focus(session);
    return session->GetServerDatabase()->getUniqueID(1);
}

void ObjectAccess::ListObjectNames(ClientSession* session, long mode, NeoClassID classID,
                                   RpcBlob* reply)
{
    SessionFocus focus(session);
    ListNames(session, mode, classID, NULL, reply);
}

void ObjectAccess::ListObjectNamesByKey(ClientSession* session, long mode, NeoClassID classID,
                                        long key, RpcBlob* reply)
{
    SessionFocus focus(session);
    ListNames(session, mode, classID, new CNeoLongSelect(kTagLinkSource, key), reply);
}

void ObjectAccess::ListBatchLogs(ClientSession* session, long mode, NeoID parentID,
                                 RpcBlob* reply)
{
    SessionFocus focus(session);
    CNeoDatabase* server = session->GetServerDatabase();
    std::unique_ptr<CNeoIndexIterator> logs(
        server->getIterator(kClassBatchLog, new CNeoULongSelect(kNeoParentTag, parentID)));
    CNeoPersist* object = logs->first();
    if (object == NULL)
        throw kStatusNotFound;
    TransferList details;
    for (long visited = 1; object; object = logs->nextObject(), ++visited) {
        CNeoRef<CPBatchLog> log(static_cast<CPBatchLog*>(object));
        if (PassesMode(mode, log->GetRunInstance())) {
            CSBatchLogDetails* record = new CSBatchLogDetails;
            record->Set(log->GetName(), log->getID());
            record->SetStartTime(log->GetStartTime());
            record->SetRunNumber(log->GetRunNumber());
            details.list.AddTail(record);
        }
        // Long histories: keep the cache small while walking them.
        if (visited % 20 == 0) {
            server->purge(1000);
            server->commit(FALSE, TRUE, NULL);
        }
    }
    details.ArchiveInto(reply);
}

long ObjectAccess::GetBatchStatus(ClientSession* session, NeoID batchID)
{
    SessionFocus focus(session);
    CNeoRef<CPBatch> batch(FindBatch(session->GetServerDatabase(), batchID));
    return batch->GetStatus();
}

void ObjectAccess::SetBatchStatus(ClientSession* session, NeoID batchID, long status)
{
    SessionFocus focus(session);
    CNeoRef<CPBatch> batch(FindBatch(session->GetServerDatabase(), batchID));
    batch->SetStatus(status);
}

void ObjectAccess::GetBatchName(ClientSession* session, NeoID batchID, char* name)
{
    SessionFocus focus(session);
    CNeoRef<CPBatch> batch(FindBatch(session->GetServerDatabase(), batchID));
    lstrcpynA(name, batch->GetName(), kMaxNameLength + 1);
}

void ObjectAccess::ListUnregisteredAgents(ClientSession* session, RpcBlob* reply)
{
    std::vector<std::string> heard;
    gAgentList.SetLocked(TRUE);
    for (POSITION at = gAgentList.GetFirstPosition(); at;)
        heard.push_back(gAgentList.GetNextEntry(at)->name);
    gAgentList.SetLocked(FALSE);
    SessionFocus focus(session);
    TransferList names;
    for (const std::string& name : heard) {
        if (!IsNameFree(session, kClassAgent, name.c_str()))
            continue;
        CSObjectNames* record = new CSObjectNames;
        record->Set(name.c_str(), 0);
        names.list.AddTail(record);
    }
    names.ArchiveInto(reply);
}
