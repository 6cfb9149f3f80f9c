#include <model/batch.h>
#include <model/run_log.h>

#include <set>

IMPLEMENT_DYNCREATE(CPBatch, CPPersistBase)
IMPLEMENT_DYNCREATE(CPBatchLink, CPPersistBase)
IMPLEMENT_DYNCREATE(CPBatchLinkItem, CPPersistBase)
IMPLEMENT_DYNCREATE(CPAgent, CPPersistBase)

bool ExitCodeMatches(long op, unsigned long value, unsigned long upperValue,
                     unsigned long exitCode)
{
    switch (op) {
    case kLessThan:
        return exitCode < value;
    case kGreaterThan:
        return exitCode > value;
    case kEqualTo:
        return exitCode == value;
    case kNotEqualTo:
        return exitCode != value;
    case kBetween:
        return value <= exitCode && exitCode <= upperValue;
    case kNotBetween:
        return exitCode < value || exitCode > upperValue;
    default:
        return false;
    }
}

// ---------------------------------------------------------------------------
CPBatch::CPBatch()
    : m_value(0), m_terminationExitCode(-1), m_durationUnit(2), m_durationLimit(1),
      m_restartCount(0), m_restartOperator(0), m_restartValue(0), m_restartUpperValue(0),
      m_diagramKeyCounter(0), m_linkCounter(0), m_runNumber(0), m_phase(0), m_status(kBatchIdle),
      m_startList(this, kClassProcessBase), m_runningList(this, kClassProcessBase),
      m_savedStatus(kBatchIdle), m_defaultAgents(this), m_reference(0)
{
#ifdef VANTOREL_SERVER_BUILD
    m_logonToken = NULL;
    m_loggedOn = FALSE;
    m_armed = FALSE;
#endif
}

CNeoPersist* CPBatch::Create()
{
    return new CPBatch;
}

void CPBatch::SetRestartRule(long op, unsigned long value, unsigned long upperValue)
{
    m_restartOperator = op;
    m_restartValue = value;
    m_restartUpperValue = upperValue;
}

const FieldTable& CPBatch::GetStoredFields() const
{
    // The value 0x65000003 and the run state belong to the server: a
    // console's copy does not overwrite them.
    static const StoredField kFields[] = {
        Field<kFieldText, &CPBatch::m_diagramData>(kTagDiagramData),
        Field<kFieldLong, &CPBatch::m_value>(kTagBatchValue).NotUpdated(),
        Field<kFieldText, &CPBatch::m_terminationMessage>(),
        Field<kFieldText, &CPBatch::m_secondText>(),
        Field<kFieldLong, &CPBatch::m_terminationExitCode>(kNeoNullTag),
        Field<kFieldRaw, &CPBatch::m_durationUnit>(),
        Field<kFieldRaw, &CPBatch::m_durationLimit>(),
        Field<kFieldRaw, &CPBatch::m_restartCount>(),
        Field<kFieldRaw, &CPBatch::m_restartOperator>(),
        Field<kFieldRaw, &CPBatch::m_restartValue>(),
        Field<kFieldRaw, &CPBatch::m_restartUpperValue>(),
        Field<kFieldID, &CPBatch::m_diagramKeyCounter>(),
        Field<kFieldID, &CPBatch::m_linkCounter>(),
        Field<kFieldID, &CPBatch::m_runNumber>().Answers(kTagBatchRunNumber).NotUpdated(),
        Field<kFieldRaw, &CPBatch::m_phase>().NotUpdated(),
        Field<kFieldRaw, &CPBatch::m_status>().Answers(kTagBatchStatus).NotUpdated(),
        Field<kFieldParts, &CPBatch::m_startList>().NotUpdated(),
        Field<kFieldParts, &CPBatch::m_runningList>().NotUpdated(),
        Field<kFieldRaw, &CPBatch::m_savedStatus>().NotUpdated(),
        Field<kFieldIdList, &CPBatch::m_defaultAgents>(),
        Field<kFieldID, &CPBatch::m_reference>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatch::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID)
{
    CFocusDatabases focus(source, target.GetDatabase());
    CopyChildrenOfClass(target, source, parentID, kClassTriggerItemBase, 0);
    // Step definitions only: run instances belong to the run that made them.
    // Steps have no children of their own to copy.
    CopyChildrenOfClass(target, source, parentID, kClassProcessBase, 0);
    CopyLinks(target, source, parentID);
}

void CPBatch::CopyLinks(const CopyTarget& target, CNeoDatabase* source, NeoID parentID)
{
    CNeoFoundObjects found;
    FindChildren(source, kClassBatchLink, parentID, TRUE, &found);
    for (int i = 0; i < found.GetSize(); ++i) {
        CPBatchLink* link = found.at<CPBatchLink>(i);
        // A link that leaves nothing is not worth keeping.
        if (link->GetSourceID() <= 0)
            continue;
        CNeoRef<CPPersistBase> copy(CopyInto(target, kClassBatchLink, link));
        if (!copy)
            continue;
        if (!target.IsImage() && copy->GetParentID() != getID())
            copy->SetParentID(getID());
        copy->CopyChildren(target, source, link->getID());
    }
}

void CPBatch::DeleteWithChildren(CNeoDatabase* database)
{
    // No commit of its own: the caller commits the batch's removal together
    // with its children's, so a crash never leaves a batch half deleted.
    DeleteChildrenOfClass(database, kClassTriggerItemBase);
    DeleteChildrenOfClass(database, kClassProcessBase);
    DeleteChildrenOfClass(database, kClassBatchLink);
}

// ---------------------------------------------------------------------------
CPBatchLink::CPBatchLink()
    : m_traversalMaximum(0), m_terminationExitCode(255), m_traversalCount(0), m_sourceID(0),
      m_targetID(0), m_lastExitCode(0), m_matchedOperator(0), m_matchedValue(0),
      m_matchedUpperValue(0)
{
}

CNeoPersist* CPBatchLink::Create()
{
    return new CPBatchLink;
}

const FieldTable& CPBatchLink::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPBatchLink::m_terminationMessage>(),
        Field<kFieldID, &CPBatchLink::m_traversalMaximum>(),
        Field<kFieldID, &CPBatchLink::m_terminationExitCode>(),
        Field<kFieldID, &CPBatchLink::m_traversalCount>(),
        Field<kFieldID, &CPBatchLink::m_sourceID>().Answers(kTagLinkSource),
        Field<kFieldID, &CPBatchLink::m_targetID>().Answers(kTagLinkTarget),
        Field<kFieldRaw, &CPBatchLink::m_lastExitCode>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

void CPBatchLink::CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID)
{
    CNeoFoundObjects incoming;
    FindChildren(source, kClassBatchLinkItem, parentID, TRUE, &incoming);
    if (target.IsImage()) {
        for (int i = 0; i < incoming.GetSize(); ++i)
            target.WriteToImage(incoming.at<CPPersistBase>(i), TRUE);
        return;
    }
    CNeoDatabase* database = target.GetDatabase();
    CFocusDatabases focus(source, database);
    CNeoFoundObjects stored;
    FindChildren(database, kClassBatchLinkItem, getID(), TRUE, &stored);
    std::set<NeoID> kept;
    for (int i = 0; i < incoming.GetSize(); ++i) {
        CPPersistBase* condition = incoming.at<CPPersistBase>(i);
        CNeoIDSelect byID(condition->getID());
        CNeoRef<CNeoPersist> holder(database->findObject(kNeoPersistID, &byID));
        if (holder && holder->getClassID() == kClassBatchLinkItem &&
            static_cast<CPPersistBase*>(holder.get())->GetParentID() == getID()) {
            CPPersistBase* same = static_cast<CPPersistBase*>(holder.get());
            same->update(condition);
            kept.insert(same->getID());
            continue;
        }
        CNeoRef<CPPersistBase> copy(static_cast<CPPersistBase*>(condition->clone()));
        // The condition keeps its ID unless another object holds it there.
        if (holder)
            copy->setID(0);
        copy->SetParentID(getID());
        copy->SetNewObject(FALSE);
        database->addObject(copy.get(), TRUE, NULL);
        kept.insert(copy->getID());
    }
    for (int i = 0; i < stored.GetSize(); ++i) {
        CPPersistBase* condition = stored.at<CPPersistBase>(i);
        if (!kept.count(condition->getID()))
            database->removeObject(condition, TRUE);
    }
}

void CPBatchLink::DeleteItems(CNeoDatabase* database)
{
    DeleteChildrenOfClass(database, kClassBatchLinkItem);
}

// ---------------------------------------------------------------------------
CPBatchLinkItem::CPBatchLinkItem() : m_value(0), m_upperValue(0), m_operator(kLessThan)
{
}

CNeoPersist* CPBatchLinkItem::Create()
{
    return new CPBatchLinkItem;
}

void CPBatchLinkItem::SetCondition(long op, unsigned long value, unsigned long upperValue)
{
    m_operator = op;
    m_value = value;
    m_upperValue = upperValue;
}

const FieldTable& CPBatchLinkItem::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldRaw, &CPBatchLinkItem::m_value>(),
        Field<kFieldRaw, &CPBatchLinkItem::m_upperValue>(),
        Field<kFieldRaw, &CPBatchLinkItem::m_operator>(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

BOOL CPBatchLink::Evaluate(unsigned long exitCode)
{
    m_lastExitCode = exitCode;
    ++m_traversalCount;
    setDirty(2);
    if (m_traversalMaximum != 0 && m_traversalCount > m_traversalMaximum)
        return FALSE;
    CNeoFoundObjects conditions;
    FindChildren(getDatabase(), kClassBatchLinkItem, getID(), TRUE, &conditions);
    BOOL matched = FALSE;
    for (int i = 0; i < conditions.GetSize(); ++i) {
        CPBatchLinkItem* condition = conditions.at<CPBatchLinkItem>(i);
        if (!condition->Matches(exitCode))
            continue;
        matched = TRUE;
        m_matchedOperator = condition->GetOperator();
        m_matchedValue = condition->GetValue();
        m_matchedUpperValue = condition->GetUpperValue();
    }
    return matched;
}

void CPBatchLink::ResetCounters()
{
    m_traversalCount = 0;
    m_lastExitCode = 0;
}

void CPBatchLink::ResetForRun()
{
    m_counter = 0;
    ResetCounters();
    setDirty(2);
}

CPBatchLogItemBase* CPBatchLink::FillLogItem(CPBatchLogItemBase* item)
{
    CPBatchLogItemLink* logItem = item ? static_cast<CPBatchLogItemLink*>(item)
                                       : static_cast<CPBatchLogItemLink*>(CPBatchLogItemLink::Create());
    CPPersistBase::FillLogItem(logItem);
    logItem->SetStartTimeNow();
    logItem->SetEndTimeNow();
    logItem->SetExitCode((long)m_lastExitCode);
    logItem->SetCount(m_traversalCount);
    logItem->SetCounter(m_traversalCount);
    if (m_traversalMaximum != 0 && m_traversalCount > m_traversalMaximum)
        logItem->SetServerMessage(m_terminationMessage.getText());
    logItem->SetCondition(m_matchedOperator, (long)m_matchedValue, (long)m_matchedUpperValue);
    return logItem;
}

bool CPBatchLinkItem::Matches(unsigned long exitCode) const
{
    return ExitCodeMatches(m_operator, m_value, m_upperValue, exitCode);
}

// ---------------------------------------------------------------------------
CNeoPersist* CPAgent::Create()
{
    return new CPAgent;
}
