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

long CPBatch::getFileLength(const CNeoFormat* format) const
{
    return CPPersistBase::getFileLength(format) + m_diagramData.getFileLength() +
           m_terminationMessage.getFileLength() + m_secondText.getFileLength() +
           m_startList.getFileLength() + m_runningList.getFileLength() +
           m_defaultAgents.getFileLength() + 60;
}

void CPBatch::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    m_diagramData.readObject(stream, kTagDiagramData);
    m_value = stream->readLong(kTagBatchValue);
    m_terminationMessage.readObject(stream, tag);
    m_secondText.readObject(stream, tag);
    m_terminationExitCode = stream->readLong(kNeoNullTag);
    stream->readBytes(&m_durationUnit, 4);
    stream->readBytes(&m_durationLimit, 4);
    stream->readBytes(&m_restartCount, 4);
    stream->readBytes(&m_restartOperator, 4);
    stream->readBytes(&m_restartValue, 4);
    stream->readBytes(&m_restartUpperValue, 4);
    m_diagramKeyCounter = stream->readID(tag);
    m_linkCounter = stream->readID(tag);
    m_runNumber = stream->readID(tag);
    stream->readBytes(&m_phase, 4);
    stream->readBytes(&m_status, 4);
    m_startList.readObject(stream, tag);
    m_runningList.readObject(stream, tag);
    stream->readBytes(&m_savedStatus, 4);
    m_defaultAgents.readObject(stream, tag);
    m_reference = stream->readID(tag);
}

void CPBatch::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    m_diagramData.writeObject(stream, kTagDiagramData);
    stream->writeLong(m_value, kTagBatchValue);
    m_terminationMessage.writeObject(stream, tag);
    m_secondText.writeObject(stream, tag);
    stream->writeLong(m_terminationExitCode, kNeoNullTag);
    stream->writeBytes(&m_durationUnit, 4);
    stream->writeBytes(&m_durationLimit, 4);
    stream->writeBytes(&m_restartCount, 4);
    stream->writeBytes(&m_restartOperator, 4);
    stream->writeBytes(&m_restartValue, 4);
    stream->writeBytes(&m_restartUpperValue, 4);
    stream->writeID(m_diagramKeyCounter, tag);
    stream->writeID(m_linkCounter, tag);
    stream->writeID(m_runNumber, tag);
    stream->writeBytes(&m_phase, 4);
    stream->writeBytes(&m_status, 4);
    m_startList.writeObject(stream, tag);
    m_runningList.writeObject(stream, tag);
    stream->writeBytes(&m_savedStatus, 4);
    m_defaultAgents.writeObject(stream, tag);
    stream->writeID(m_reference, tag);
}

BOOL CPBatch::getValue(NeoTag tag, NeoType type, void* value) const
{
    switch (tag) {
    case kTagBatchStatus:
        return AnswerLong((unsigned long)m_status, kNeoLongType, type, value);
    case kTagBatchRunNumber:
        return AnswerLong((unsigned long)m_runNumber, kNeoLongType, type, value);
    default:
        return CPPersistBase::getValue(tag, type, value);
    }
}

void CPBatch::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    const CPBatch* from = static_cast<const CPBatch*>(other);
    m_diagramData = from->m_diagramData;
    m_terminationMessage = from->m_terminationMessage;
    m_secondText = from->m_secondText;
    m_terminationExitCode = from->m_terminationExitCode;
    m_durationUnit = from->m_durationUnit;
    m_durationLimit = from->m_durationLimit;
    m_restartCount = from->m_restartCount;
    SetRestartRule(from->m_restartOperator, from->m_restartValue, from->m_restartUpperValue);
    m_diagramKeyCounter = from->m_diagramKeyCounter;
    m_linkCounter = from->m_linkCounter;
    m_defaultAgents.update(from->m_defaultAgents);
    m_reference = from->m_reference;
}

void CPBatch::CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID)
{
    CFocusDatabases focus(source, target);
    CopyChildrenOfClass(target, source, parentID, kClassTriggerItemBase, 0);
    // Step definitions only: run instances belong to the run that made them.
    // Steps have no children of their own to copy.
    CopyChildrenOfClass(target, source, parentID, kClassProcessBase, 0);
    CopyLinks(target, source, parentID);
}

void CPBatch::CopyLinks(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID)
{
    CNeoFoundObjects found;
    FindChildren(source, kClassBatchLink, parentID, TRUE, &found);
    for (int i = 0; i < found.GetSize(); ++i) {
        CPBatchLink* link = found.at<CPBatchLink>(i);
        // A link that leaves nothing is not worth keeping.
        if (link->GetSourceID() <= 0)
            continue;
        CNeoRef<CPPersistBase> copy(CopyInto(target, kClassBatchLink, link));
        if (copy->GetParentID() != getID())
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

long CPBatchLink::getFileLength(const CNeoFormat* format) const
{
    return CPPersistBase::getFileLength(format) + m_terminationMessage.getFileLength() + 24;
}

void CPBatchLink::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    m_terminationMessage.readObject(stream, tag);
    m_traversalMaximum = stream->readID(tag);
    m_terminationExitCode = stream->readID(tag);
    m_traversalCount = stream->readID(tag);
    m_sourceID = stream->readID(tag);
    m_targetID = stream->readID(tag);
    stream->readBytes(&m_lastExitCode, 4);
}

void CPBatchLink::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    m_terminationMessage.writeObject(stream, tag);
    stream->writeID(m_traversalMaximum, tag);
    stream->writeID(m_terminationExitCode, tag);
    stream->writeID(m_traversalCount, tag);
    stream->writeID(m_sourceID, tag);
    stream->writeID(m_targetID, tag);
    stream->writeBytes(&m_lastExitCode, 4);
}

BOOL CPBatchLink::getValue(NeoTag tag, NeoType type, void* value) const
{
    switch (tag) {
    case kTagLinkSource:
        return AnswerLong((unsigned long)m_sourceID, kNeoLongType, type, value);
    case kTagLinkTarget:
        return AnswerLong((unsigned long)m_targetID, kNeoLongType, type, value);
    default:
        return CPPersistBase::getValue(tag, type, value);
    }
}

void CPBatchLink::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    const CPBatchLink* from = static_cast<const CPBatchLink*>(other);
    m_terminationMessage = from->m_terminationMessage;
    m_traversalMaximum = from->m_traversalMaximum;
    m_terminationExitCode = from->m_terminationExitCode;
    m_traversalCount = from->m_traversalCount;
    m_sourceID = from->m_sourceID;
    m_targetID = from->m_targetID;
    m_lastExitCode = from->m_lastExitCode;
}

void CPBatchLink::CopyChildren(CNeoDatabase* target, CNeoDatabase* source, NeoID parentID)
{
    CFocusDatabases focus(source, target);
    CNeoFoundObjects stored;
    FindChildren(target, kClassBatchLinkItem, getID(), TRUE, &stored);
    CNeoFoundObjects incoming;
    FindChildren(source, kClassBatchLinkItem, parentID, TRUE, &incoming);
    std::set<NeoID> kept;
    for (int i = 0; i < incoming.GetSize(); ++i) {
        CPPersistBase* condition = incoming.at<CPPersistBase>(i);
        CNeoIDSelect byID(condition->getID());
        CNeoRef<CNeoPersist> holder(target->findObject(kNeoPersistID, &byID));
        if (holder && holder->getClassID() == kClassBatchLinkItem &&
            static_cast<CPPersistBase*>(holder.get())->GetParentID() == getID()) {
            CPPersistBase* same = static_cast<CPPersistBase*>(holder.get());
            same->update(condition);
            same->SetParentID(getID());
            kept.insert(same->getID());
            continue;
        }
        CNeoRef<CPPersistBase> copy(static_cast<CPPersistBase*>(condition->clone()));
        // The condition keeps its ID unless another object holds it there.
        if (holder)
            copy->setID(0);
        copy->SetParentID(getID());
        copy->SetNewObject(FALSE);
        target->addObject(copy.get(), TRUE, NULL);
        kept.insert(copy->getID());
    }
    for (int i = 0; i < stored.GetSize(); ++i) {
        CPPersistBase* condition = stored.at<CPPersistBase>(i);
        if (!kept.count(condition->getID()))
            target->removeObject(condition, TRUE);
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

long CPBatchLinkItem::getFileLength(const CNeoFormat* format) const
{
    return CPPersistBase::getFileLength(format) + 12;
}

void CPBatchLinkItem::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    stream->readBytes(&m_value, 4);
    stream->readBytes(&m_upperValue, 4);
    stream->readBytes(&m_operator, 4);
}

void CPBatchLinkItem::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    stream->writeBytes(&m_value, 4);
    stream->writeBytes(&m_upperValue, 4);
    stream->writeBytes(&m_operator, 4);
}

void CPBatchLinkItem::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    const CPBatchLinkItem* from = static_cast<const CPBatchLinkItem*>(other);
    SetCondition(from->m_operator, from->m_value, from->m_upperValue);
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
