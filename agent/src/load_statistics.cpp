#include <agent/load_statistics.h>

#include <server/section_lock.h>

#include <pdh.h>

#include <stdio.h>

PerformanceStatisticsManager* gStatistics = NULL;

LONG PerformanceSample::GetWeightedLoad() const
{
    return (LONG)(processorLoad * 0.66) + (LONG)(memoryLoad * 0.33);
}

PerformanceStatisticsManager::PerformanceStatisticsManager()
    : m_query(NULL), m_counter(NULL), m_counterReady(FALSE)
{
    InitializeCriticalSection(&m_lock);
    if (PdhOpenQueryA(NULL, 0, &m_query) != ERROR_SUCCESS)
        return;
    if (PdhAddCounterA(m_query, "\\Process(_Total)\\% User Time", 0, &m_counter) != ERROR_SUCCESS) {
        PdhCloseQuery(m_query);
        return;
    }
    m_counterReady = TRUE;
}

PerformanceStatisticsManager::~PerformanceStatisticsManager()
{
    Stop();
    if (m_counterReady) {
        PdhRemoveCounter(m_counter);
        PdhCloseQuery(m_query);
    }
    DeleteCriticalSection(&m_lock);
}

void PerformanceStatisticsManager::Start()
{
    if (!m_thread.IsRunning())
        m_thread.Start(ThreadProc, this);
}

DWORD WINAPI PerformanceStatisticsManager::ThreadProc(void* data)
{
    PerformanceStatisticsManager* self = static_cast<PerformanceStatisticsManager*>(data);
    do {
        self->AddSample(self->Collect());
    } while (!self->m_thread.WaitForStop(kPeriod));
    return 0;
}

void PerformanceStatisticsManager::Stop()
{
    if (!m_thread.IsRunning())
        return;
    printf("Stopping performance statistics manager.....");
    fflush(stdout);
    m_thread.Stop(kStopWait);
    {
        SectionLock lock(m_lock);
        m_samples.clear();
    }
    printf("stopped.\n");
    fflush(stdout);
}

PerformanceSample PerformanceStatisticsManager::Collect()
{
    PerformanceSample sample = {0, 0};
    // The extended call: the plain one caps its sizes, so sums of them wrap.
    MEMORYSTATUSEX memory = {};
    memory.dwLength = sizeof memory;
    if (GlobalMemoryStatusEx(&memory))
        sample.memoryLoad = (LONG)memory.dwMemoryLoad;
    PDH_FMT_COUNTERVALUE value;
    if (m_counterReady && PdhCollectQueryData(m_query) == ERROR_SUCCESS &&
        PdhGetFormattedCounterValue(m_counter, PDH_FMT_LONG, NULL, &value) == ERROR_SUCCESS)
        sample.processorLoad = value.longValue;
    return sample;
}

void PerformanceStatisticsManager::AddSample(const PerformanceSample& sample)
{
    SectionLock lock(m_lock);
    if ((int)m_samples.size() >= kMaxSamples)
        m_samples.pop_back();
    m_samples.push_front(sample);
}

int PerformanceStatisticsManager::SampleCount()
{
    SectionLock lock(m_lock);
    return (int)m_samples.size();
}

LONG PerformanceStatisticsManager::GetLoad()
{
    SectionLock lock(m_lock);
    if (m_samples.empty())
        return 0;
    LONG sum = 0;
    for (const PerformanceSample& sample : m_samples)
        sum += sample.GetWeightedLoad();
    return sum / (LONG)m_samples.size();
}
