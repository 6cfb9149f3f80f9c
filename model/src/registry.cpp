// The metaclasses of the stored classes and the index keys of each program.
#include <model/batch.h>
#include <model/object_stream.h>
#include <model/schedule.h>
#include <model/triggers.h>
#include <model/steps.h>
#include <model/run_log.h>

void RegisterModelClasses()
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    // Metaclasses live for the whole program.
    new CNeoMetaClass(kClassPersistBase, kNeoPersistID, "CPPersistBase", CPPersistBase::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassDocCounter, kNeoPersistID, "CPDocCounter", CPDocCounter::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassMemLocation, kNeoContainerLocationID, "CNeoMemLocation",
                      CNeoMemLocation::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassSchedule, kClassPersistBase, "CPSchedule", CPSchedule::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassScheduleItem, kClassPersistBase, "CPScheduleItem",
                      CPScheduleItem::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassTriggerItemBase, kClassPersistBase, "CPTriggerItemBase",
                      CPTriggerItemBase::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassTrigger, kClassPersistBase, "CPTrigger", CPTrigger::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassTriggerDirNotify, kClassTriggerItemBase, "CPTriggerDirNotify",
                      CPTriggerDirNotify::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassTriggerSchedule, kClassTriggerItemBase, "CPTriggerSchedule",
                      CPTriggerSchedule::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatch, kClassPersistBase, "CPBatch", CPBatch::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassProcessBase, kClassPersistBase, "CPProcessBase", CPProcessBase::Create,
                      0, kNeoNullTag);
    new CNeoMetaClass(kClassProcessScript, kClassProcessBase, "CPProcessScript",
                      CPProcessScript::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassProcessExe, kClassProcessBase, "CPProcessExe", CPProcessExe::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassBatchLink, kClassPersistBase, "CPBatchLink", CPBatchLink::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassBatchLinkItem, kClassPersistBase, "CPBatchLinkItem",
                      CPBatchLinkItem::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassAgent, kClassPersistBase, "CPAgent", CPAgent::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatchLogItemBase, kClassPersistBase, "CPBatchLogItemBase",
                      CPBatchLogItemBase::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatchLog, kClassBatchLogItemBase, "CPBatchLog", CPBatchLog::Create, 0,
                      kNeoNullTag);
    new CNeoMetaClass(kClassBatchLogItemProcess, kClassBatchLogItemBase, "CPBatchLogItemProcess",
                      CPBatchLogItemProcess::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatchLogItemTrigger, kClassBatchLogItemBase, "CPBatchLogItemTrigger",
                      CPBatchLogItemTrigger::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatchLogItemLink, kClassBatchLogItemBase, "CPBatchLogItemLink",
                      CPBatchLogItemLink::Create, 0, kNeoNullTag);
    new CNeoMetaClass(kClassBatchLogConnector, kClassPersistBase, "CPBatchLogConnector",
                      CPBatchLogConnector::Create, 0, kNeoNullTag);
    // Registered beside the other items, so item searches do not find it.
    new CNeoMetaClass(kClassBatchLogItemBatch, kClassPersistBase, "CPBatchLogItemBatch",
                      CPBatchLogItemBatch::Create, 0, kNeoNullTag);
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
