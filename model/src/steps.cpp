#include <model/steps.h>

#include <model/run_log.h>

#include <cstring>

IMPLEMENT_DYNCREATE(CPProcessBase, CPPersistBase)
IMPLEMENT_DYNCREATE(CPProcessExe, CPProcessBase)
IMPLEMENT_DYNCREATE(CPProcessScript, CPProcessBase)

CPProcessBase::CPProcessBase()
    : m_creationTime(0), m_exitTime(0), m_kernelTime(0), m_userTime(0), m_reserved1(0),
      m_runCounter(0), m_reserved2(0), m_programKind(0), m_runState(kStepIdle),
      m_captureOptions(kCaptureStdOut), m_retryMaximum(0), m_retryOperator(0), m_retryValue(0),
      m_retryUpperValue(0), m_exitCode(0), m_durationLimit(0), m_durationUnit(kMinutes),
      m_startMemoryLimit(0), m_startStep(0), m_instanceMode(0), m_activeInstanceLimit(1),
      m_replaceFlag(0), m_activeInstances(this, kClassProcessBase), m_waitingList(this),
      m_originalID(0), m_runNumber(0), m_allowedAgents(this), m_agentStepHandle(0), m_agentID(0),
      m_retryCount(0), m_logItemID(0), m_dispatchCount(0), m_interactive(1)
#ifdef VANTOREL_SERVER_BUILD
      ,
      m_currentInstance(-1)
#endif
{
    std::memset(m_consoleBlock, 0, sizeof m_consoleBlock);
    std::memset(m_consoleValues, 0, sizeof m_consoleValues);
}

CNeoPersist* CPProcessBase::Create()
{
    return new CPProcessBase;
}

void CPProcessBase::SetConsoleBlock(const BYTE block[kConsoleBlockSize])
{
    std::memcpy(m_consoleBlock, block, sizeof m_consoleBlock);
}

void CPProcessBase::SetRetryRule(long op, unsigned long value, unsigned long upperValue)
{
    m_retryOperator = op;
    m_retryValue = value;
    m_retryUpperValue = upperValue;
}

const FieldTable& CPProcessBase::GetStoredFields() const
{
    // The active instances, the waiting list and the agent that took the
    // step are the dispatching side's: update leaves them alone.
    static const StoredField kFields[] = {
        Field<kFieldText, &CPProcessBase::m_note1>(kTagNote1),
        Field<kFieldText, &CPProcessBase::m_serverMessage>(kTagServerMessage),
        Field<kFieldText, &CPProcessBase::m_note2>(kTagNote2),
        Field<kFieldRaw, &CPProcessBase::m_consoleBlock>(),
        Field<kFieldRaw, &CPProcessBase::m_creationTime>(),
        Field<kFieldRaw, &CPProcessBase::m_exitTime>(),
        Field<kFieldRaw, &CPProcessBase::m_kernelTime>(),
        Field<kFieldRaw, &CPProcessBase::m_userTime>(),
        Field<kFieldRaw, &CPProcessBase::m_reserved1>(),
        Field<kFieldRaw, &CPProcessBase::m_runCounter>(),
        Field<kFieldRaw, &CPProcessBase::m_reserved2>(),
        Field<kFieldRaw, &CPProcessBase::m_programKind>(),
        Field<kFieldRaw, &CPProcessBase::m_consoleValues>(),
        Field<kFieldRaw, &CPProcessBase::m_runState>(),
        Field<kFieldRaw, &CPProcessBase::m_captureOptions>(),
        Field<kFieldRaw, &CPProcessBase::m_retryMaximum>(),
        Field<kFieldRaw, &CPProcessBase::m_retryOperator>(),
        Field<kFieldRaw, &CPProcessBase::m_retryValue>(),
        Field<kFieldRaw, &CPProcessBase::m_retryUpperValue>(),
        Field<kFieldRaw, &CPProcessBase::m_exitCode>(),
        Field<kFieldRaw, &CPProcessBase::m_durationLimit>(),
        Field<kFieldRaw, &CPProcessBase::m_durationUnit>(),
        Field<kFieldRaw, &CPProcessBase::m_startMemoryLimit>(),
        Field<kFieldRaw, &CPProcessBase::m_startStep>().Answers(kTagStartStep),
        Field<kFieldRaw, &CPProcessBase::m_instanceMode>(),
        Field<kFieldRaw, &CPProcessBase::m_activeInstanceLimit>(),
        Field<kFieldRaw, &CPProcessBase::m_replaceFlag>(),
        Field<kFieldParts, &CPProcessBase::m_activeInstances>().NotUpdated(),
        Field<kFieldIdList, &CPProcessBase::m_waitingList>().NotUpdated(),
        Field<kFieldID, &CPProcessBase::m_originalID>().Answers(kTagOriginalID),
        Field<kFieldID, &CPProcessBase::m_runNumber>().Answers(kTagStepRunNumber),
        Field<kFieldIdList, &CPProcessBase::m_allowedAgents>(),
        Field<kFieldRaw, &CPProcessBase::m_agentStepHandle>().NotUpdated(),
        Field<kFieldID, &CPProcessBase::m_agentID>(kTagAgentID).NotUpdated(),
        Field<kFieldText, &CPProcessBase::m_alternateAccount>(),
        Field<kFieldText, &CPProcessBase::m_alternatePassword>(),
        Field<kFieldRaw, &CPProcessBase::m_retryCount>(),
        Field<kFieldText, &CPProcessBase::m_standardOutput>(),
        Field<kFieldText, &CPProcessBase::m_standardError>(),
        Field<kFieldID, &CPProcessBase::m_logItemID>(),
        Field<kFieldID, &CPProcessBase::m_dispatchCount>(kNeoNullTag),
        Field<kFieldText, &CPProcessBase::m_workingDirectory>(),
        // A kind-0 reader keeps its own value (the default 1).
        Field<kFieldRaw, &CPProcessBase::m_interactive>().OnlyInKind1(),
    };
    static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
    return kTable;
}

// ---------------------------------------------------------------------------
CPProcessExe::CPProcessExe()
    : m_workingSetLimit(0), m_cpuTimeLimit(0), m_cpuPriority(0), m_cpuTimeUnit(kMinutes)
{
    m_stepType = kStepTypeExe;
}

CNeoPersist* CPProcessExe::Create()
{
    return new CPProcessExe;
}

const FieldTable& CPProcessExe::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPProcessExe::m_programPath>(kTagProgramPath),
        Field<kFieldText, &CPProcessExe::m_arguments>(kTagArguments),
        Field<kFieldText, &CPProcessExe::m_environment>(kTagEnvironment),
        Field<kFieldRaw, &CPProcessExe::m_workingSetLimit>(),
        Field<kFieldRaw, &CPProcessExe::m_cpuTimeLimit>(),
        Field<kFieldRaw, &CPProcessExe::m_cpuPriority>(),
        Field<kFieldRaw, &CPProcessExe::m_cpuTimeUnit>(),
    };
    static const FieldTable kTable(&CPProcessBase::GetStoredFields(), kFields);
    return kTable;
}

// ---------------------------------------------------------------------------
CPProcessScript::CPProcessScript()
{
    m_stepType = kStepTypeScript;
}

CNeoPersist* CPProcessScript::Create()
{
    return new CPProcessScript;
}

const FieldTable& CPProcessScript::GetStoredFields() const
{
    static const StoredField kFields[] = {
        Field<kFieldText, &CPProcessScript::m_script>(kTagScript),
    };
    static const FieldTable kTable(&CPProcessBase::GetStoredFields(), kFields);
    return kTable;
}

namespace {
CPBatchLogItemBase* FillStepLogItem(CPProcessBase* step, CPBatchLogItemBase* item)
{
    if (!item) {
        item = static_cast<CPBatchLogItemBase*>(CPBatchLogItemProcess::Create());
        item->SetStartTimeNow();
    }
    return step->CPPersistBase::FillLogItem(item);
}
}  // namespace

CPBatchLogItemBase* CPProcessExe::FillLogItem(CPBatchLogItemBase* item)
{
    return FillStepLogItem(this, item);
}

CPBatchLogItemBase* CPProcessScript::FillLogItem(CPBatchLogItemBase* item)
{
    return FillStepLogItem(this, item);
}
