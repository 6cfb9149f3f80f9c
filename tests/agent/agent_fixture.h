// The agent's managers in this test process, as AgentServiceMain creates
// them, and a way to run a step as the agent's step threads do.
#ifndef TESTS_AGENT_AGENT_FIXTURE_H
#define TESTS_AGENT_AGENT_FIXTURE_H

#include <agent/agent_service.h>
#include <agent/completed_queue.h>
#include <agent/process_list.h>

#include <temp_path.h>

#include <gtest/gtest.h>

#include <string>

class AgentManagers : public ::testing::Test
{
protected:
    void SetUp() override
    {
        // Capture files go to a folder of this test's own, so that tests
        // running side by side do not see each other's.
        tempFolder = TempPath("agent-temp");
        CreateDirectoryA(tempFolder.c_str(), NULL);
        SetEnvironmentVariableA("TMP", (tempFolder + "\\").c_str());
        SetEnvironmentVariableA("TEMP", (tempFolder + "\\").c_str());
        RegisterModelKeys(kAgentProgram);
        gProcessList = new ProcessListManager;
        gCompletedQueue = new CompletedQueueManager;
    }
    void TearDown() override
    {
        CNeoLock lock;
        delete gProcessList;
        gProcessList = NULL;
        delete gCompletedQueue;
        gCompletedQueue = NULL;
        RemoveDirectoryA(tempFolder.c_str());
    }
    // Runs the step's Start on this thread holding the library lock, as its
    // database thread does; Start's result.
    static long RunStep(CPProcessBase* step)
    {
        CNeoLock lock;
        return step->Start();
    }

    std::string tempFolder;
};

#endif
