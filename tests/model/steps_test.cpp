// Step records: defaults, round trips in both format kinds, values by tag
// and update.
#include <model/steps.h>

#include "model_test_util.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// Gives every field of a step a distinct non-default value.
void Fill(CPProcessBase* step)
{
    step->SetName("step");
    step->SetParentID(7);
    step->SetNote1("note one");
    step->SetServerMessage("message");
    step->SetNote2("note two");
    BYTE block[kConsoleBlockSize];
    for (int i = 0; i < kConsoleBlockSize; ++i)
        block[i] = (BYTE)(i + 1);
    step->SetConsoleBlock(block);
    step->SetCreationTime(0x0102030405060708ULL);
    step->SetExitTime(0x1112131415161718ULL);
    step->SetKernelTime(21);
    step->SetUserTime(22);
    step->SetReservedValue1(31);
    step->SetRunCounter(32);
    step->SetReservedValue2(33);
    step->SetProgramKind(3);
    for (int i = 0; i < kConsoleValueCount; ++i)
        step->SetConsoleValue(i, 40 + i);
    step->SetRunState(kStepFinished);
    step->SetCaptureOptions(kCaptureStdOut | kCaptureStdErr);
    step->SetRetryMaximum(5);
    step->SetRetryRule(4, 51, 52);
    step->SetExitCode(0xFFFFFFFF);
    step->SetDurationLimit(61);
    step->SetDurationUnit(kHours);
    step->SetStartMemoryLimit(62);
    step->SetStartStep(1);
    step->SetInstanceMode(kSingleInstance);
    step->SetActiveInstanceLimit(63);
    step->SetReplaceFlag(1);
    step->GetActiveInstances().addPart(71);
    CPPersistBase waiting, agent;
    waiting.setID(72);
    agent.setID(73);
    step->GetWaitingList().Append(&waiting);
    step->SetOriginalID(74);
    step->SetRunNumber(75);
    step->GetAllowedAgents().Append(&agent);
    step->SetAgentStepHandle(76);
    step->SetAgentID(77);
    step->SetAlternateAccount("DOMAIN\\runner");
    step->SetAlternatePassword("pw");
    step->SetRetryCount(78);
    step->SetStandardOutput("out");
    step->SetStandardError("err");
    step->SetLogItemID(79);
    step->SetDispatchCount(80);
    step->SetWorkingDirectory("C:\\work");
    step->SetInteractive(0);
    if (CPProcessExe* exe = dynamic_cast<CPProcessExe*>(step)) {
        exe->SetProgramPath("C:\\bin\\load.exe");
        exe->SetArguments("-all");
        exe->SetEnvironment("A=1\0B=2\0", 9);
        exe->SetWorkingSetLimit(81);
        exe->SetCpuTimeLimit(82);
        exe->SetCpuPriority(-2);
        exe->SetCpuTimeUnit(kSeconds);
    }
    if (CPProcessScript* script = dynamic_cast<CPProcessScript*>(step))
        script->SetScript("Sub Main\nEnd Sub\n");
}

struct StepClass {
    const char* name;
    CPProcessBase* (*make)();
    long stepType;
    long emptyLength;  // of a new step in a kind-1 record
};

const StepClass kStepClasses[] = {
    {"CPProcessBase", [] { return new CPProcessBase; }, 0, 40 + 8 * 4 + 3 * 4 + 196 + 4},
    {"CPProcessExe", [] { return (CPProcessBase*)new CPProcessExe; }, kStepTypeExe,
     40 + 8 * 4 + 3 * 4 + 196 + 4 + 3 * 4 + 16},
    {"CPProcessScript", [] { return (CPProcessBase*)new CPProcessScript; }, kStepTypeScript,
     40 + 8 * 4 + 3 * 4 + 196 + 4 + 4},
};

TEST(Steps, NewStepsHaveTheirDefaults)
{
    for (const StepClass& c : kStepClasses) {
        SCOPED_TRACE(c.name);
        std::unique_ptr<CPProcessBase> step(c.make());
        EXPECT_EQ(step->GetStepType(), c.stepType);
        EXPECT_EQ(step->GetCaptureOptions(), kCaptureStdOut);
        EXPECT_EQ(step->GetDurationUnit(), kMinutes);
        EXPECT_EQ(step->GetActiveInstanceLimit(), 1);
        EXPECT_EQ(step->GetInteractive(), 1);
        EXPECT_EQ(step->GetRunState(), kStepIdle);
        EXPECT_EQ(step->GetServerMessage(), "");
        EXPECT_EQ(step->GetWorkingDirectory(), "");
        EXPECT_EQ(step->getFileLength(NeoGetFormat(1)), c.emptyLength);
        EXPECT_EQ(step->getFileLength(NeoGetFormat(0)), c.emptyLength - 4);
    }
    CPProcessExe exe;
    EXPECT_EQ(exe.GetCpuTimeUnit(), kMinutes);
    EXPECT_EQ(exe.GetProgramPath(), "");
}

TEST(Steps, RecordsRoundTripInBothKinds)
{
    for (const StepClass& c : kStepClasses) {
        for (short kind : {0, 1}) {
            SCOPED_TRACE(testing::Message() << c.name << " kind " << kind);
            std::unique_ptr<CPProcessBase> filled(c.make());
            Fill(filled.get());
            std::vector<BYTE> bytes = Record(filled.get(), kind);
            std::unique_ptr<CPProcessBase> back(c.make());
            ReadRecord(back.get(), bytes, kind);
            // Every field landed where it came from: the copy writes the
            // same bytes again.
            EXPECT_EQ(Record(back.get(), kind), bytes);
            EXPECT_EQ(back->GetAgentID(), 77);
            EXPECT_EQ(back->GetExitCode(), 0xFFFFFFFFUL);
            EXPECT_EQ(back->GetWaitingList().GetCount(), 1);
            EXPECT_EQ(back->GetActiveInstances().getPartID(0), 71);
            // The interactive flag travels in kind 1 only; a kind-0 reader
            // keeps its own value.
            EXPECT_EQ(back->GetInteractive(), kind == 1 ? 0 : 1);

            // A new step's record makes a filled step new again.
            std::unique_ptr<CPProcessBase> fresh(c.make());
            ReadRecord(filled.get(), Record(fresh.get(), kind), kind);
            EXPECT_EQ(Record(filled.get(), kind), Record(fresh.get(), kind));
        }
    }
}

TEST(Steps, ValuesByTag)
{
    CPProcessExe step;
    step.SetOriginalID(0x80000005);
    step.SetStartStep(1);
    step.SetRunNumber(12);
    step.SetRunInstance(1);
    unsigned long value = 0;
    EXPECT_TRUE(step.getValue(kTagOriginalID, kNeoULongType, &value));
    EXPECT_EQ(value, 0x80000005UL);
    long signedValue = 0;
    EXPECT_TRUE(step.getValue(kTagStartStep, kNeoLongType, &signedValue));
    EXPECT_EQ(signedValue, 1);
    EXPECT_TRUE(step.getValue(kTagStepRunNumber, kNeoLongType, &signedValue));
    EXPECT_EQ(signedValue, 12);
    EXPECT_TRUE(step.getValue(kTagRunInstance, kNeoLongType, &signedValue));
    EXPECT_EQ(signedValue, 1);
}

TEST(Steps, UpdateKeepsTheDispatchStateOfTheReceivingCopy)
{
    CPProcessExe stored;
    stored.GetActiveInstances().addPart(90);
    CPPersistBase waiting;
    waiting.setID(91);
    stored.GetWaitingList().Append(&waiting);
    stored.SetAgentStepHandle(92);
    stored.SetAgentID(93);

    CPProcessExe other;
    Fill(&other);
    stored.update(&other);
    EXPECT_EQ(stored.GetActiveInstances().getCount(), 1);
    EXPECT_EQ(stored.GetActiveInstances().getPartID(0), 90);
    EXPECT_EQ(stored.GetAgentStepHandle(), 92);
    EXPECT_EQ(stored.GetAgentID(), 93);

    // Everything else comes from the other copy: with the four kept fields
    // given to it too, the two records are the same.
    other.GetActiveInstances().removeAll();
    other.GetActiveInstances().addPart(90);
    other.GetWaitingList().RemoveAll();
    other.GetWaitingList().Append(&waiting);
    other.SetAgentStepHandle(92);
    other.SetAgentID(93);
    EXPECT_EQ(Record(&stored, 1), Record(&other, 1));
}

}  // namespace
