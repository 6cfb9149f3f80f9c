// Allocates fixed-size slots in blocks, for list nodes and map entries.
#pragma once

#include <cstddef>
#include <cstdlib>
#include <framework/exceptions.h>

class CBlockChain
{
public:
    CBlockChain() : m_pFirst(NULL) {}
    ~CBlockChain() { FreeAll(); }

    // Returns raw memory for nSlots slots of nSlotSize bytes each.
    void* NewBlock(size_t nSlots, size_t nSlotSize)
    {
        Header* p = static_cast<Header*>(std::malloc(sizeof(Header) + nSlots * nSlotSize));
        if (p == NULL)
            AfxThrowMemoryException();
        p->pNext = m_pFirst;
        m_pFirst = p;
        return p + 1;
    }

    void FreeAll()
    {
        while (m_pFirst != NULL)
        {
            Header* pNext = m_pFirst->pNext;
            std::free(m_pFirst);
            m_pFirst = pNext;
        }
    }

private:
    // Union keeps the slots that follow the header aligned for doubles.
    union Header
    {
        Header* pNext;
        double align;
    };
    Header* m_pFirst;

    CBlockChain(const CBlockChain&) = delete;
    CBlockChain& operator=(const CBlockChain&) = delete;
};
