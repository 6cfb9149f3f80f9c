// Holds a critical section for the lifetime of the scope.
#ifndef SERVER_SECTION_LOCK_H
#define SERVER_SECTION_LOCK_H

#include <windows.h>

class SectionLock {
public:
    explicit SectionLock(CRITICAL_SECTION& section) : m_section(section)
    {
        EnterCriticalSection(&m_section);
    }
    ~SectionLock() { LeaveCriticalSection(&m_section); }
    SectionLock(const SectionLock&) = delete;
    SectionLock& operator=(const SectionLock&) = delete;

private:
    CRITICAL_SECTION& m_section;
};

#endif
