// Run logs of batch runs, link following and the log items of run
// instances.

#include <model/batch.h>
#include <model/run_log.h>
#include <model/steps.h>

namespace {
const long kMaxRunLogs = 10;

// The batch's run-log connector, referenced; created when asked for and
// missing, otherwise NULL.
CPBatchLogConnector* FindConnector(CPBatch* batch, BOOL create)
{
    CNeoDatabase* database = batch->getDatabase();
    CNeoULongSelect underBatch(kNeoParentTag, batch->getID());
    CNeoPersist* found = database->findObject(kClassBatchLogConnector, &underBatch);
    if (found || !create)
        return static_cast<CPBatchLogConnector*>(found);
    CPBatchLogConnector* connector =
        static_cast<CPBatchLogConnector*>(CPBatchLogConnector::Create());
    connector->SetName(batch->GetName());
    connector->SetParentID(batch->getID());
    database->addObject(connector, TRUE, NULL);
    return connector;
}
}  // namespace

CPBatchLog* CPBatch::FindRunLog(BOOL create)
{
    CNeoRef<CPBatchLogConnector> connector(FindConnector(this, create));
    if (!connector)
        return NULL;
    CNeoDatabase* database = getDatabase();
    CNeoAndSelect thisRun;
    thisRun.addTerm(new CNeoULongSelect(kNeoParentTag, connector->getID()));
    thisRun.addTerm(new CNeoULongSelect(kTagRunNumberKey, m_runNumber));
    CNeoPersist* found = database->findObject(kClassBatchLog, &thisRun);
    if (found || !create)
        return static_cast<CPBatchLog*>(found);
    connector->PruneLogs(database, kMaxRunLogs);
    CPBatchLog* log = static_cast<CPBatchLog*>(CPBatchLog::Create());
    log->SetName(GetName());
    log->SetParentID(connector->getID());
    log->SetRunNumber(m_runNumber);
    log->SetBatchBlob(m_diagramData);
    database->addObject(log, TRUE, NULL);
    return log;
}

CPBatchLog* CPBatch::OpenRunLog()
{
    return FindRunLog(TRUE);
}

void CPBatch::LogRunStart()
{
    CNeoRef<CPBatchLog> log(OpenRunLog());
    log->SetStartTimeNow();
    log->setDirty(2);
}

void CPBatch::LogRunEnd()
{
    // Only a run that is still open ends: the end of the last run is kept,
    // and a batch that never ran gets no log.
    CNeoRef<CPBatchLog> log(FindRunLog(FALSE));
    if (!log || log->GetEndTime().m_dt != 0)
        return;
    log->SetEndTimeNow();
    log->setDirty(2);
}

void CPBatch::AddLogItem(CPBatchLogItemBase* item)
{
    CNeoRef<CPBatchLog> log(OpenRunLog());
    item->setID(0);
    item->SetParentID(log->getID());
    getDatabase()->addObject(item, TRUE, NULL);
}

void CPBatch::FollowLinks(CPProcessBase* instance, CObArray* next)
{
    CNeoRef<CPProcessBase> definition(instance->FindDefinition());
    if (!definition)
        return;
    CNeoDatabase* database = getDatabase();
    CNeoFoundObjects links;
    CNeoLongSelect fromStep(kTagLinkSource, definition->getID());
    database->findObject(kClassBatchLink, &fromStep, TRUE, NULL, &links);
    for (int i = 0; i < links.GetSize(); ++i) {
        CPBatchLink* link = links.at<CPBatchLink>(i);
        CPPersistBase* target = FindByID(database, kClassProcessBase, link->GetTargetID());
        if (!target)
            continue;
        if (link->Evaluate(instance->GetExitCode())) {
            next->Add(target);
            link->SetCounter(link->GetCounter() + 1);
        } else {
            target->unrefer();
        }
        CNeoRef<CPBatchLogItemBase> logItem(link->FillLogItem(NULL));
        AddLogItem(logItem.get());
    }
}

void CPProcessBase::CreateLogItem()
{
    CNeoRef<CPBatch> batch(
        static_cast<CPBatch*>(FindByID(getDatabase(), kClassBatch, m_parentID)));
    if (!batch)
        return;
    CNeoRef<CPBatchLogItemBase> item(FillLogItem(NULL));
    if (!item)
        return;
    batch->AddLogItem(item.get());
    m_logItemID = item->getID();
    setDirty(2);
}

void CPProcessBase::CompleteLogItem()
{
    CNeoRef<CPProcessBase> definition(FindDefinition());
    CNeoRef<CPBatchLogItemBase> item(static_cast<CPBatchLogItemBase*>(
        FindByID(getDatabase(), kClassBatchLogItemProcess, m_logItemID)));
    if (!item)
        return;
    item->SetEndTimeNow();
    item->SetExitCode((long)m_exitCode);
    item->SetServerMessage(GetServerMessage());
    item->SetStandardError(GetStandardError());
    item->SetStandardOut(GetStandardOutput());
    if (definition)
        item->SetCounter(definition->GetDispatchCount());
    item->setDirty(2);
}
