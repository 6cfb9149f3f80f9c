// The metaclasses of the stored classes and the index keys of each program.
#include <model/batch.h>
#include <model/object_stream.h>
#include <model/schedule.h>
#include <model/triggers.h>
#include <model/steps.h>
#include <model/run_log.h>

namespace {

// Every stored class: its ID, the ID of the class it is registered under, its
// name and its factory, in the order of registration.
const struct {
    NeoClassID id;
    NeoClassID superID;
    const char* name;
    NeoFactory factory;
} kModelClasses[] = {
    {kClassPersistBase, kNeoPersistID, "CPPersistBase", CPPersistBase::Create},
    {kClassDocCounter, kNeoPersistID, "CPDocCounter", CPDocCounter::Create},
    {kClassMemLocation, kNeoContainerLocationID, "CNeoMemLocation", CNeoMemLocation::Create},
    {kClassSchedule, kClassPersistBase, "CPSchedule", CPSchedule::Create},
    {kClassScheduleItem, kClassPersistBase, "CPScheduleItem", CPScheduleItem::Create},
    {kClassTriggerItemBase, kClassPersistBase, "CPTriggerItemBase", CPTriggerItemBase::Create},
    {kClassTrigger, kClassPersistBase, "CPTrigger", CPTrigger::Create},
    {kClassTriggerDirNotify, kClassTriggerItemBase, "CPTriggerDirNotify",
     CPTriggerDirNotify::Create},
    {kClassTriggerSchedule, kClassTriggerItemBase, "CPTriggerSchedule", CPTriggerSchedule::Create},
    {kClassBatch, kClassPersistBase, "CPBatch", CPBatch::Create},
    {kClassProcessBase, kClassPersistBase, "CPProcessBase", CPProcessBase::Create},
    {kClassProcessScript, kClassProcessBase, "CPProcessScript", CPProcessScript::Create},
    {kClassProcessExe, kClassProcessBase, "CPProcessExe", CPProcessExe::Create},
    {kClassBatchLink, kClassPersistBase, "CPBatchLink", CPBatchLink::Create},
    {kClassBatchLinkItem, kClassPersistBase, "CPBatchLinkItem", CPBatchLinkItem::Create},
    {kClassAgent, kClassPersistBase, "CPAgent", CPAgent::Create},
    {kClassBatchLogItemBase, kClassPersistBase, "CPBatchLogItemBase", CPBatchLogItemBase::Create},
    {kClassBatchLog, kClassBatchLogItemBase, "CPBatchLog", CPBatchLog::Create},
    {kClassBatchLogItemProcess, kClassBatchLogItemBase, "CPBatchLogItemProcess",
     CPBatchLogItemProcess::Create},
    {kClassBatchLogItemTrigger, kClassBatchLogItemBase, "CPBatchLogItemTrigger",
     CPBatchLogItemTrigger::Create},
    {kClassBatchLogItemLink, kClassBatchLogItemBase, "CPBatchLogItemLink",
     CPBatchLogItemLink::Create},
    {kClassBatchLogConnector, kClassPersistBase, "CPBatchLogConnector",
     CPBatchLogConnector::Create},
    // Registered beside the other items, so item searches do not find it.
    {kClassBatchLogItemBatch, kClassPersistBase, "CPBatchLogItemBatch",
     CPBatchLogItemBatch::Create},
};

}  // namespace

void RegisterModelClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Metaclasses live for the whole program.
    for (const auto& c : kModelClasses)
        new CNeoMetaClass(c.id, c.superID, c.name, c.factory, 0, kNeoNullTag);
}

void RegisterModelKeys(ModelProgram program)
{
    RegisterModelClasses();
    CNeoMetaClass* base = CNeoMetaClass::GetMetaClass(kClassPersistBase);
    base->addKey(kNeoLongKey, kTagRunInstance, 0, TRUE);
    base->addKey(kNeoStringKey, kTagName, 0, TRUE);
    if (program == kConsoleProgram) {
        base->addKey(kNeoLongKey, kTagConsoleKey, 0, TRUE);
        return;
    }
    base->addKey(kNeoULongKey, kNeoParentTag, 0, TRUE);
    if (program == kServerProgram) {
        CNeoMetaClass* log = CNeoMetaClass::GetMetaClass(kClassBatchLog);
        if (log)
            log->addKey(kNeoULongKey, kTagRunNumberKey, 0, FALSE);
    }
}
