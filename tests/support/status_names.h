// Names that test failures print instead of numbers: batch statuses, run
// phases, console notifications and service states. A value without a name
// prints as its number. Header only: each test program compiles it with the
// model build it links.
#ifndef TESTS_SUPPORT_STATUS_NAMES_H
#define TESTS_SUPPORT_STATUS_NAMES_H

#include <windows.h>

#include <model/batch.h>
#include <server/client_notify.h>

#include <ostream>
#include <string>

struct ValueName {
    long value;
    const char* name;
};

// The name of `value` in a table of names, or its number.
template <size_t N>
std::string NameIn(const ValueName (&names)[N], long value)
{
    for (const ValueName& entry : names)
        if (entry.value == value)
            return entry.name;
    return std::to_string(value);
}

inline std::string BatchStatusName(long status)
{
    static const ValueName names[] = {
        {kBatchInternalError, "InternalError"}, {kBatchStopping, "Stopping"},
        {kBatchQueued, "Queued"}, {kBatchEdited, "Edited"}, {kBatchIdle, "Idle"},
        {kBatchExecuting, "Executing"}, {kBatchPaused, "Paused"},
    };
    return NameIn(names, status);
}

inline std::string RunPhaseName(long phase)
{
    static const ValueName names[] = {
        {kPhaseLogon, "logon"}, {kPhaseArmed, "armed"}, {kPhaseStarting, "starting"},
        {kPhaseMonitoring, "monitoring"}, {kPhaseFinished, "finished"},
        {kPhaseEnding, "ending"}, {kPhaseClosing, "closing"},
    };
    return NameIn(names, phase);
}

inline std::string ServiceStateName(DWORD state)
{
    static const ValueName names[] = {
        {SERVICE_STOPPED, "SERVICE_STOPPED"},
        {SERVICE_START_PENDING, "SERVICE_START_PENDING"},
        {SERVICE_STOP_PENDING, "SERVICE_STOP_PENDING"},
        {SERVICE_RUNNING, "SERVICE_RUNNING"},
        {SERVICE_CONTINUE_PENDING, "SERVICE_CONTINUE_PENDING"},
        {SERVICE_PAUSE_PENDING, "SERVICE_PAUSE_PENDING"},
        {SERVICE_PAUSED, "SERVICE_PAUSED"},
    };
    return NameIn(names, (long)state);
}

// A console notification as the engine queues it: its code and value.
// Prints as "BatchStatus(Executing)", "RunPhase(monitoring)".
struct Notification {
    long code;
    long value;
    bool operator==(const Notification& o) const { return code == o.code && value == o.value; }
};

inline void PrintTo(const Notification& n, std::ostream* out)
{
    static const ValueName codes[] = {
        {kNotifyStatusChanged, "BatchStatus"}, {kNotifyPhaseChanged, "RunPhase"},
        {kNotifyBatchAdded, "BatchAdded"}, {kNotifyBatchDeleted, "BatchDeleted"},
        {kNotifyObjectRenamed, "ObjectRenamed"},
    };
    std::string value = n.code == kNotifyStatusChanged  ? BatchStatusName(n.value)
                        : n.code == kNotifyPhaseChanged ? RunPhaseName(n.value)
                                                        : std::to_string(n.value);
    *out << NameIn(codes, n.code) << "(" << value << ")";
}

#endif
