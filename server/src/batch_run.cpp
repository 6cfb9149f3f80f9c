// The server's run state machine of a batch: statuses, phases, the run-as
// logon, the triggers and the end of runs at a stop, a shut-down and a
// restart.
#include <server/client_notify.h>
#include <server/step_queue.h>

#include <model/batch.h>
#include <model/run_log.h>
#include <model/steps.h>
#include <model/triggers.h>

#include <oscalls/oscalls.h>

#include <string.h>

void CPBatch::RunTick()
{
    if (m_status != kBatchStopping && m_status != kBatchQueued && m_status != kBatchExecuting)
        return;
    CFocusDatabases focus(getDatabase(), getDatabase());
    if (m_status == kBatchStopping)
        StopRun();
    if (m_status != kBatchQueued && m_status != kBatchExecuting)
        return;
    RunPhase();
    Impersonate(FALSE);
    setDirty(2);
}

void CPBatch::RunPhase()
{
    if (m_phase != kPhaseLogon)
        Impersonate(TRUE);
    switch (m_phase) {
    case kPhaseLogon:
        if (!LogonRunAsUser(TRUE)) {
            SetPhase(kPhaseClosing);
            break;
        }
        Impersonate(TRUE);
        ArmTriggers(TRUE);
        SetPhase(kPhaseArmed);
        break;
    case kPhaseArmed:
        if (CheckTriggers()) {
            LogRunStart();
            SetStatus(kBatchExecuting);
            SetPhase(kPhaseStarting);
        }
        break;
    case kPhaseStarting:
        StartSteps();
        SetPhase(kPhaseMonitoring);
        break;
    case kPhaseMonitoring:
        MonitorSteps();
        break;
    case kPhaseFinished:
        SetPhase(kPhaseClosing);
        break;
    case kPhaseClosing:
        SetPhase(kPhaseEnding);
        break;
    case kPhaseEnding:
        // A batch that waits for its next run keeps watching: changes seen
        // during this run start the next one.
        if (m_savedStatus != kBatchQueued)
            ArmTriggers(FALSE);
        LogRunEnd();
        SetPhase(kPhaseLogon);
        SetStatus(m_savedStatus);
        // Each run logs on afresh; the token of this one is done.
        Impersonate(FALSE);
        LogonRunAsUser(FALSE);
        break;
    default:
        break;
    }
}

void CPBatch::SetStatus(long status)
{
    if (m_status == kBatchQueued && status == kBatchExecuting)
        m_savedStatus = kBatchQueued;
    else if (status == kBatchStopping)
        m_savedStatus = kBatchIdle;
    m_status = status;
    setDirty(2);
    gClientNotify.QueueStatus(kNotifyStatusChanged, GetName(), getID(), status);
}

void CPBatch::SetPhase(long phase)
{
    m_phase = phase;
    setDirty(2);
    gClientNotify.QueueStatus(kNotifyPhaseChanged, GetName(), getID(), phase);
}

BOOL CPBatch::LogonRunAsUser(BOOL logon)
{
    if (!logon) {
        m_loggedOn = FALSE;
        if (!m_logonToken)
            return FALSE;
        Os<LogonCalls>().CloseToken(m_logonToken);
        m_logonToken = NULL;
        return TRUE;
    }
    // A token left by an interrupted run is replaced.
    LogonRunAsUser(FALSE);
    m_loggedOn = TRUE;
    CString account = GetAccount();
    if (account.IsEmpty())
        return TRUE;
    CString domain, user = account;
    int slash = account.Find('\\');
    if (slash >= 0) {
        domain = account.Left(slash);
        user = account.Mid(slash + 1);
        int next = user.Find('\\');
        if (next >= 0)
            user = user.Left(next);
    }
    HANDLE token = NULL;
    if (!Os<LogonCalls>().LogonUser(user, domain, GetPassword(), LOGON32_LOGON_INTERACTIVE,
                                    LOGON32_PROVIDER_DEFAULT, &token))
        return FALSE;
    m_logonToken = token;
    return TRUE;
}

void CPBatch::Impersonate(BOOL on)
{
    // Without a token, or with one no thread can act as, the run goes on as
    // the service's own account.
    LogonCalls& logon = Os<LogonCalls>();
    if (!m_logonToken || !logon.CanImpersonate())
        return;
    if (on)
        logon.Impersonate(m_logonToken);
    else
        logon.RevertToSelf();
}

void CPBatch::ArmTriggers(BOOL arm)
{
    CNeoFoundObjects items;
    FindChildren(getDatabase(), kClassTriggerItemBase, getID(), TRUE, &items);
    for (int i = 0; i < items.GetSize(); ++i)
        items.at<CPTriggerItemBase>(i)->Arm(arm);
    m_armed = arm;
}

void CPBatch::StopRun()
{
    Impersonate(TRUE);
    ArmTriggers(FALSE);
    SetPhase(kPhaseLogon);
    SetStatus(kBatchIdle);
    LogRunEnd();
    gStepQueue.RemoveBatch(getID());
    StopRunningInstances();
    m_runningList.removeAll();
    m_startList.removeAll();
    Impersonate(FALSE);
    LogonRunAsUser(FALSE);
}

void CPBatch::StopRunningInstances()
{
    for (long i = 0; i < m_runningList.getCount(); ++i) {
        CNeoRef<CPProcessBase> instance(static_cast<CPProcessBase*>(m_runningList.getPart(i)));
        if (instance)
            instance->Stop();
    }
}

void CPBatch::ShutDownRun()
{
    CFocusDatabases focus(getDatabase(), getDatabase());
    StopRunningInstances();
    LogRunEnd();
    ArmTriggers(FALSE);
    LogonRunAsUser(FALSE);
    m_savedStatus = m_status;
    m_phase = kPhaseLogon;
    setDirty(2);
}

void CPBatch::ResetAfterRestart()
{
    m_armed = FALSE;
    m_loggedOn = FALSE;
    m_triggerItems.releaseAll();
    m_logonToken = NULL;
    m_phase = kPhaseLogon;
    if (m_status == kBatchExecuting)
        m_status = kBatchQueued;
    m_savedStatus = m_status;
    // A run that the end of the last server process interrupted ends now.
    CFocusDatabases focus(getDatabase(), getDatabase());
    LogRunEnd();
    setDirty(2);
}

BOOL CPBatch::CheckTriggers()
{
    m_triggerItems.releaseAll();
    FindChildren(getDatabase(), kClassTriggerItemBase, getID(), TRUE, &m_triggerItems);
    if (m_triggerItems.GetSize() == 0) {
        // No trigger item: an empty run, with only its start and end time.
        ++m_runNumber;
        LogRunStart();
        SetPhase(kPhaseFinished);
        setDirty(2);
        return FALSE;
    }
    BOOL started = FALSE;
    if (m_status == kBatchExecuting) {
        // Started by a console: every trigger item contributes its steps.
        m_startList.removeAll();
        for (int i = 0; i < m_triggerItems.GetSize(); ++i)
            PrepareRun(m_triggerItems.at<CPTriggerItemBase>(i), m_startList);
        started = TRUE;
    } else {
        for (int i = 0; i < m_triggerItems.GetSize() && !started; ++i) {
            CPTriggerItemBase* item = m_triggerItems.at<CPTriggerItemBase>(i);
            if (!item->IsFired())
                continue;
            m_startList.removeAll();
            PrepareRun(item, m_startList);
            CNeoRef<CPBatchLogItemBase> logItem(item->FillLogItem(NULL));
            if (logItem) {
                static_cast<CPBatchLogItemTrigger*>(logItem.get())
                    ->SetTypeFromClass(item->getClassID());
                AddLogItem(logItem.get());
            }
            started = TRUE;
        }
    }
    m_triggerItems.releaseAll();
    return started;
}

BOOL CPBatch::isPurgeable() const
{
    return !m_armed && !m_loggedOn && !m_logonToken;
}
