#include <model/steps.h>

#include <model/run_log.h>

#include <cstring>

IMPLEMENT_DYNCREATE(CPProcessBase, CPPersistBase)
IMPLEMENT_DYNCREATE(CPProcessExe, CPProcessBase)
IMPLEMENT_DYNCREATE(CPProcessScript, CPProcessBase)

namespace {
// Fixed bytes of a step record besides its texts and lists; the interactive
// flag adds 4 in a format of kind 1.
const long kFixedBytes = 196;

// A format without a kind is written as kind 1, like a stream without one.
bool CarriesInteractiveFlag(const CNeoFormat* format)
{
    return !format || format->getKind() == 1;
}
}  // namespace

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

long CPProcessBase::getFileLength(const CNeoFormat* format) const
{
    long length = CPPersistBase::getFileLength(format) + m_note1.getFileLength() +
                  m_serverMessage.getFileLength() + m_note2.getFileLength() +
                  m_activeInstances.getFileLength() + m_waitingList.getFileLength() +
                  m_allowedAgents.getFileLength() + m_alternateAccount.getFileLength() +
                  m_alternatePassword.getFileLength() + m_standardOutput.getFileLength() +
                  m_standardError.getFileLength() + m_workingDirectory.getFileLength() +
                  kFixedBytes;
    if (CarriesInteractiveFlag(format))
        length += 4;
    return length;
}

void CPProcessBase::readObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::readObject(stream, tag);
    m_note1.readObject(stream, kTagNote1);
    m_serverMessage.readObject(stream, kTagServerMessage);
    m_note2.readObject(stream, kTagNote2);
    stream->readBytes(m_consoleBlock, sizeof m_consoleBlock);
    stream->readBytes(&m_creationTime, 8);
    stream->readBytes(&m_exitTime, 8);
    stream->readBytes(&m_kernelTime, 8);
    stream->readBytes(&m_userTime, 8);
    stream->readBytes(&m_reserved1, 4);
    stream->readBytes(&m_runCounter, 4);
    stream->readBytes(&m_reserved2, 4);
    stream->readBytes(&m_programKind, 4);
    stream->readBytes(m_consoleValues, sizeof m_consoleValues);
    stream->readBytes(&m_runState, 4);
    stream->readBytes(&m_captureOptions, 4);
    stream->readBytes(&m_retryMaximum, 4);
    stream->readBytes(&m_retryOperator, 4);
    stream->readBytes(&m_retryValue, 4);
    stream->readBytes(&m_retryUpperValue, 4);
    stream->readBytes(&m_exitCode, 4);
    stream->readBytes(&m_durationLimit, 4);
    stream->readBytes(&m_durationUnit, 4);
    stream->readBytes(&m_startMemoryLimit, 4);
    stream->readBytes(&m_startStep, 4);
    stream->readBytes(&m_instanceMode, 4);
    stream->readBytes(&m_activeInstanceLimit, 4);
    stream->readBytes(&m_replaceFlag, 4);
    m_activeInstances.readObject(stream, tag);
    m_waitingList.readObject(stream, tag);
    m_originalID = stream->readID(tag);
    m_runNumber = stream->readID(tag);
    m_allowedAgents.readObject(stream, tag);
    stream->readBytes(&m_agentStepHandle, 4);
    m_agentID = stream->readID(kTagAgentID);
    m_alternateAccount.readObject(stream, tag);
    m_alternatePassword.readObject(stream, tag);
    stream->readBytes(&m_retryCount, 4);
    m_standardOutput.readObject(stream, tag);
    m_standardError.readObject(stream, tag);
    m_logItemID = stream->readID(tag);
    m_dispatchCount = stream->readID(kNeoNullTag);
    m_workingDirectory.readObject(stream, tag);
    // Otherwise the flag keeps its value in memory.
    if (stream->getFormatKind() == 1)
        stream->readBytes(&m_interactive, 4);
}

void CPProcessBase::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPPersistBase::writeObject(stream, tag);
    m_note1.writeObject(stream, kTagNote1);
    m_serverMessage.writeObject(stream, kTagServerMessage);
    m_note2.writeObject(stream, kTagNote2);
    stream->writeBytes(m_consoleBlock, sizeof m_consoleBlock);
    stream->writeBytes(&m_creationTime, 8);
    stream->writeBytes(&m_exitTime, 8);
    stream->writeBytes(&m_kernelTime, 8);
    stream->writeBytes(&m_userTime, 8);
    stream->writeBytes(&m_reserved1, 4);
    stream->writeBytes(&m_runCounter, 4);
    stream->writeBytes(&m_reserved2, 4);
    stream->writeBytes(&m_programKind, 4);
    stream->writeBytes(m_consoleValues, sizeof m_consoleValues);
    stream->writeBytes(&m_runState, 4);
    stream->writeBytes(&m_captureOptions, 4);
    stream->writeBytes(&m_retryMaximum, 4);
    stream->writeBytes(&m_retryOperator, 4);
    stream->writeBytes(&m_retryValue, 4);
    stream->writeBytes(&m_retryUpperValue, 4);
    stream->writeBytes(&m_exitCode, 4);
    stream->writeBytes(&m_durationLimit, 4);
    stream->writeBytes(&m_durationUnit, 4);
    stream->writeBytes(&m_startMemoryLimit, 4);
    stream->writeBytes(&m_startStep, 4);
    stream->writeBytes(&m_instanceMode, 4);
    stream->writeBytes(&m_activeInstanceLimit, 4);
    stream->writeBytes(&m_replaceFlag, 4);
    m_activeInstances.writeObject(stream, tag);
    m_waitingList.writeObject(stream, tag);
    stream->writeID(m_originalID, tag);
    stream->writeID(m_runNumber, tag);
    m_allowedAgents.writeObject(stream, tag);
    stream->writeBytes(&m_agentStepHandle, 4);
    stream->writeID(m_agentID, kTagAgentID);
    m_alternateAccount.writeObject(stream, tag);
    m_alternatePassword.writeObject(stream, tag);
    stream->writeBytes(&m_retryCount, 4);
    m_standardOutput.writeObject(stream, tag);
    m_standardError.writeObject(stream, tag);
    stream->writeID(m_logItemID, tag);
    stream->writeID(m_dispatchCount, kNeoNullTag);
    m_workingDirectory.writeObject(stream, tag);
    if (stream->getFormatKind() == 1)
        stream->writeBytes(&m_interactive, 4);
}

BOOL CPProcessBase::getValue(NeoTag tag, NeoType type, void* value) const
{
    switch (tag) {
    case kTagOriginalID:
        return AnswerLong((unsigned long)m_originalID, kNeoLongType, type, value);
    case kTagStartStep:
        return AnswerLong((unsigned long)m_startStep, kNeoLongType, type, value);
    case kTagStepRunNumber:
        return AnswerLong((unsigned long)m_runNumber, kNeoLongType, type, value);
    default:
        return CPPersistBase::getValue(tag, type, value);
    }
}

void CPProcessBase::update(const CNeoPersist* other)
{
    CPPersistBase::update(other);
    const CPProcessBase* from = static_cast<const CPProcessBase*>(other);
    m_note1 = from->m_note1;
    m_serverMessage = from->m_serverMessage;
    m_note2 = from->m_note2;
    SetConsoleBlock(from->m_consoleBlock);
    m_creationTime = from->m_creationTime;
    m_exitTime = from->m_exitTime;
    m_kernelTime = from->m_kernelTime;
    m_userTime = from->m_userTime;
    m_reserved1 = from->m_reserved1;
    m_runCounter = from->m_runCounter;
    m_reserved2 = from->m_reserved2;
    m_programKind = from->m_programKind;
    std::memcpy(m_consoleValues, from->m_consoleValues, sizeof m_consoleValues);
    m_runState = from->m_runState;
    m_captureOptions = from->m_captureOptions;
    m_retryMaximum = from->m_retryMaximum;
    SetRetryRule(from->m_retryOperator, from->m_retryValue, from->m_retryUpperValue);
    m_exitCode = from->m_exitCode;
    m_durationLimit = from->m_durationLimit;
    m_durationUnit = from->m_durationUnit;
    m_startMemoryLimit = from->m_startMemoryLimit;
    m_startStep = from->m_startStep;
    m_instanceMode = from->m_instanceMode;
    m_activeInstanceLimit = from->m_activeInstanceLimit;
    m_replaceFlag = from->m_replaceFlag;
    m_originalID = from->m_originalID;
    m_runNumber = from->m_runNumber;
    m_allowedAgents.update(from->m_allowedAgents);
    m_alternateAccount = from->m_alternateAccount;
    m_alternatePassword = from->m_alternatePassword;
    m_retryCount = from->m_retryCount;
    m_standardOutput = from->m_standardOutput;
    m_standardError = from->m_standardError;
    m_logItemID = from->m_logItemID;
    m_dispatchCount = from->m_dispatchCount;
    m_workingDirectory = from->m_workingDirectory;
    m_interactive = from->m_interactive;
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

long CPProcessExe::getFileLength(const CNeoFormat* format) const
{
    return CPProcessBase::getFileLength(format) + m_programPath.getFileLength() +
           m_arguments.getFileLength() + m_environment.getFileLength() + 16;
}

void CPProcessExe::readObject(CNeoStream* stream, NeoTag tag)
{
    CPProcessBase::readObject(stream, tag);
    m_programPath.readObject(stream, kTagProgramPath);
    m_arguments.readObject(stream, kTagArguments);
    m_environment.readObject(stream, kTagEnvironment);
    stream->readBytes(&m_workingSetLimit, 4);
    stream->readBytes(&m_cpuTimeLimit, 4);
    stream->readBytes(&m_cpuPriority, 4);
    stream->readBytes(&m_cpuTimeUnit, 4);
}

void CPProcessExe::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPProcessBase::writeObject(stream, tag);
    m_programPath.writeObject(stream, kTagProgramPath);
    m_arguments.writeObject(stream, kTagArguments);
    m_environment.writeObject(stream, kTagEnvironment);
    stream->writeBytes(&m_workingSetLimit, 4);
    stream->writeBytes(&m_cpuTimeLimit, 4);
    stream->writeBytes(&m_cpuPriority, 4);
    stream->writeBytes(&m_cpuTimeUnit, 4);
}

void CPProcessExe::update(const CNeoPersist* other)
{
    CPProcessBase::update(other);
    const CPProcessExe* from = static_cast<const CPProcessExe*>(other);
    m_programPath = from->m_programPath;
    m_arguments = from->m_arguments;
    m_environment = from->m_environment;
    m_workingSetLimit = from->m_workingSetLimit;
    m_cpuTimeLimit = from->m_cpuTimeLimit;
    m_cpuPriority = from->m_cpuPriority;
    m_cpuTimeUnit = from->m_cpuTimeUnit;
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

long CPProcessScript::getFileLength(const CNeoFormat* format) const
{
    return CPProcessBase::getFileLength(format) + m_script.getFileLength();
}

void CPProcessScript::readObject(CNeoStream* stream, NeoTag tag)
{
    CPProcessBase::readObject(stream, tag);
    m_script.readObject(stream, kTagScript);
}

void CPProcessScript::writeObject(CNeoStream* stream, NeoTag tag)
{
    CPProcessBase::writeObject(stream, tag);
    m_script.writeObject(stream, kTagScript);
}

void CPProcessScript::update(const CNeoPersist* other)
{
    CPProcessBase::update(other);
    m_script = static_cast<const CPProcessScript*>(other)->m_script;
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
