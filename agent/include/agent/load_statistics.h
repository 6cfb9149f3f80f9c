// PerformanceStatisticsManager: samples the processor and memory load once a
// second, keeps the last 60 samples (the last minute) and answers the
// agent's load as their mean; servers prefer the least loaded agent.
//
// Lock rule: the statistics lock guards the sample list only; Stop waits
// (bounded) for the sampling thread before it takes the lock.
#ifndef AGENT_LOAD_STATISTICS_H
#define AGENT_LOAD_STATISTICS_H

#include <server/manager_thread.h>

#include <deque>

struct PerformanceSample {
    LONG processorLoad;  // percent
    LONG memoryLoad;     // percent

    // trunc(processor x 0.66) + trunc(memory x 0.33).
    LONG GetWeightedLoad() const;
};

class PerformanceStatisticsManager
{
public:
    // Sets up the processor counter; without it every processor load is 0.
    PerformanceStatisticsManager();
    ~PerformanceStatisticsManager();
    PerformanceStatisticsManager(const PerformanceStatisticsManager&) = delete;
    PerformanceStatisticsManager& operator=(const PerformanceStatisticsManager&) = delete;

    // Starts the sampling thread: one sample at once, then one a second.
    void Start();
    // Ends the sampling thread (bounded wait) and drops the samples.
    void Stop();

    // The integer mean of the held samples' weighted loads; 0 before the
    // first sample.
    LONG GetLoad();
    // Keeps a sample, dropping the oldest when kMaxSamples are held.
    void AddSample(const PerformanceSample& sample);
    int SampleCount();
    // A sample of the machine now.
    PerformanceSample Collect();

    static constexpr int kMaxSamples = 60;
    static constexpr DWORD kPeriod = 1000;
    static constexpr DWORD kStopWait = 2000;

private:
    static DWORD WINAPI ThreadProc(void* self);

    // The processor counter's query and counter handles.
    HANDLE m_query;
    HANDLE m_counter;
    BOOL m_counterReady;
    ManagerThread m_thread;
    std::deque<PerformanceSample> m_samples;  // newest first
    CRITICAL_SECTION m_lock;
};

// The agent's one PerformanceStatisticsManager while it runs (NULL before and after).
extern PerformanceStatisticsManager* gStatistics;

#endif
