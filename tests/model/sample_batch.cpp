#include "sample_batch.h"

#include <model/batch.h>
#include <model/object_stream.h>
#include <model/schedule.h>
#include <model/steps.h>
#include <model/triggers.h>

namespace {

template <class T>
NeoID Add(CNeoDatabase* db, T* object, NeoID parent, const char* name, long runInstance = 0)
{
    object->SetDescription("made for the object-stream tests and benchmark");
    return FileUnder(db, object, parent, name, runInstance);
}

NeoID AddLink(CNeoDatabase* db, NeoID batch, NeoID from, NeoID to, int number)
{
    CPBatchLink* link = new CPBatchLink;
    link->SetSourceID(from);
    link->SetTargetID(to);
    link->SetTraversalMaximum(3);
    link->SetTerminationMessage("loop limit reached");
    CString name;
    name.Format("Link %d", number);
    NeoID id = Add(db, link, batch, name);
    CPBatchLinkItem* success = new CPBatchLinkItem;
    success->SetCondition(2, 0, 0);
    Add(db, success, id, "");
    CPBatchLinkItem* range = new CPBatchLinkItem;
    range->SetCondition(4, 10, 20);
    Add(db, range, id, "");
    return id;
}

}  // namespace

NeoID BuildSampleBatch(CNeoDatabase* db, int steps)
{
    CPBatch* batch = new CPBatch;
    batch->SetAccount("DOMAIN\\batch");
    batch->SetTerminationMessage("the batch ran too long");
    NeoID batchID = Add(db, batch, 0, "Nightly load");

    CPTriggerSchedule* trigger = new CPTriggerSchedule;
    NeoID triggerID = Add(db, trigger, batchID, "Every night");
    NeoID scheduleID = Add(db, new CPSchedule, triggerID, "Nights", 1);
    trigger->SetScheduleID(scheduleID);
    for (int hour : {1, 3}) {
        CPScheduleItem* item = new CPScheduleItem;
        ScheduleEvaluator& e = item->GetEvaluator();
        e.m_type = kScheduleDaily;
        ScheduleEvaluator::SetBit(e.m_hourSet, hour);
        ScheduleEvaluator::SetBit(e.m_minuteSet, 0);
        Add(db, item, scheduleID, "night hour", 1);
    }
    CPTriggerDirNotify* watch = new CPTriggerDirNotify;
    watch->SetDirectory("C:\\incoming");
    watch->SetChangeFilter(0x11);
    Add(db, watch, batchID, "Files arrive");

    NeoID previous = triggerID;
    for (int i = 0; i < steps; ++i) {
        CString name;
        name.Format("step %d", i + 1);
        NeoID step;
        if (i % 2 == 0) {
            CPProcessExe* exe = new CPProcessExe;
            exe->SetProgramPath("C:\\tools\\load.exe");
            exe->SetArguments("/all /verbose");
            exe->SetWorkingDirectory("C:\\work");
            step = Add(db, exe, batchID, name);
        } else {
            CPProcessScript* script = new CPProcessScript;
            script->SetScript("Sub Main\n  SetExitCode 0\nEnd Sub\n");
            step = Add(db, script, batchID, name);
        }
        AddLink(db, batchID, previous, step, i + 1);
        previous = step;
    }
    return batchID;
}

std::vector<BYTE> SampleBatchImage(NeoID firstID, const char* name, int steps, NeoID* batchID)
{
    CNeoMemLocation location;
    CNeoDatabase image;
    image.setLocation(&location);
    ResetImage(&image);
    image.getUniqueID(firstID - 1);
    NeoID id = BuildSampleBatch(&image, steps);
    CNeoRef<CPPersistBase> batch(CPPersistBase::FindByID(&image, kClassBatch, id));
    batch->SetName(name);
    if (batchID)
        *batchID = id;
    unsigned long length = 0;
    const BYTE* bytes = GetImageBytes(&image, &length);
    std::vector<BYTE> copy(bytes, bytes + length);
    image.close();
    return copy;
}
