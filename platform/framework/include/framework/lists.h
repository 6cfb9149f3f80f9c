// Doubly linked lists of object pointers, plain pointers and strings,
// iterated with POSITION values.
#pragma once

#include <new>
#include <framework/blocks.h>
#include <framework/cstring.h>
#include <framework/object.h>

// Shared implementation of the list classes below. Nodes are allocated
// nBlockSize at a time and recycled through a free list.
template<class TYPE, class ARG_TYPE>
class CNodeList : public CObject
{
protected:
    struct CNode
    {
        CNode* pNext;
        CNode* pPrev;
        TYPE data;
    };

public:
    explicit CNodeList(int nBlockSize = 10)
        : m_pNodeHead(NULL), m_pNodeTail(NULL), m_nCount(0), m_pNodeFree(NULL),
          m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
    {
    }
    ~CNodeList() { RemoveAll(); }

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }

    TYPE& GetHead() { return m_pNodeHead->data; }
    TYPE GetHead() const { return m_pNodeHead->data; }
    TYPE& GetTail() { return m_pNodeTail->data; }
    TYPE GetTail() const { return m_pNodeTail->data; }

    TYPE RemoveHead()
    {
        CNode* pNode = m_pNodeHead;
        TYPE value = pNode->data;
        RemoveAt((POSITION)pNode);
        return value;
    }

    TYPE RemoveTail()
    {
        CNode* pNode = m_pNodeTail;
        TYPE value = pNode->data;
        RemoveAt((POSITION)pNode);
        return value;
    }

    POSITION AddHead(ARG_TYPE newElement) { return InsertBefore(NULL, newElement); }
    POSITION AddTail(ARG_TYPE newElement) { return InsertAfter(NULL, newElement); }

    void AddHead(const CNodeList* pNewList)
    {
        for (CNode* pNode = pNewList->m_pNodeTail; pNode != NULL; pNode = pNode->pPrev)
            AddHead(pNode->data);
    }

    void AddTail(const CNodeList* pNewList)
    {
        for (CNode* pNode = pNewList->m_pNodeHead; pNode != NULL; pNode = pNode->pNext)
            AddTail(pNode->data);
    }

    void RemoveAll()
    {
        for (CNode* pNode = m_pNodeHead; pNode != NULL; pNode = pNode->pNext)
            pNode->data.~TYPE();
        m_pNodeHead = m_pNodeTail = m_pNodeFree = NULL;
        m_nCount = 0;
        m_blocks.FreeAll();
    }

    POSITION GetHeadPosition() const { return (POSITION)m_pNodeHead; }
    POSITION GetTailPosition() const { return (POSITION)m_pNodeTail; }

    TYPE& GetNext(POSITION& rPosition)
    {
        CNode* pNode = (CNode*)rPosition;
        rPosition = (POSITION)pNode->pNext;
        return pNode->data;
    }
    TYPE GetNext(POSITION& rPosition) const
    {
        return const_cast<CNodeList*>(this)->GetNext(rPosition);
    }

    TYPE& GetPrev(POSITION& rPosition)
    {
        CNode* pNode = (CNode*)rPosition;
        rPosition = (POSITION)pNode->pPrev;
        return pNode->data;
    }
    TYPE GetPrev(POSITION& rPosition) const
    {
        return const_cast<CNodeList*>(this)->GetPrev(rPosition);
    }

    TYPE& GetAt(POSITION position) { return ((CNode*)position)->data; }
    TYPE GetAt(POSITION position) const { return ((CNode*)position)->data; }
    void SetAt(POSITION pos, ARG_TYPE newElement) { ((CNode*)pos)->data = newElement; }

    void RemoveAt(POSITION position)
    {
        CNode* pNode = (CNode*)position;
        (pNode->pPrev != NULL ? pNode->pPrev->pNext : m_pNodeHead) = pNode->pNext;
        (pNode->pNext != NULL ? pNode->pNext->pPrev : m_pNodeTail) = pNode->pPrev;
        FreeNode(pNode);
    }

    // A NULL position inserts at the head.
    POSITION InsertBefore(POSITION position, ARG_TYPE newElement)
    {
        CNode* pNext = position != NULL ? (CNode*)position : m_pNodeHead;
        CNode* pNode = NewNode(pNext != NULL ? pNext->pPrev : NULL, pNext, newElement);
        return (POSITION)pNode;
    }

    // A NULL position inserts at the tail.
    POSITION InsertAfter(POSITION position, ARG_TYPE newElement)
    {
        CNode* pPrev = position != NULL ? (CNode*)position : m_pNodeTail;
        CNode* pNode = NewNode(pPrev, pPrev != NULL ? pPrev->pNext : NULL, newElement);
        return (POSITION)pNode;
    }

    // Searches after startAfter (from the head when NULL).
    POSITION Find(ARG_TYPE searchValue, POSITION startAfter = NULL) const
    {
        CNode* pNode = startAfter != NULL ? ((CNode*)startAfter)->pNext : m_pNodeHead;
        for (; pNode != NULL; pNode = pNode->pNext)
        {
            if (pNode->data == searchValue)
                return (POSITION)pNode;
        }
        return NULL;
    }

    POSITION FindIndex(int nIndex) const
    {
        if (nIndex < 0 || nIndex >= m_nCount)
            return NULL;
        CNode* pNode = m_pNodeHead;
        while (nIndex-- > 0)
            pNode = pNode->pNext;
        return (POSITION)pNode;
    }

private:
    // Links a new node between pPrev and pNext.
    CNode* NewNode(CNode* pPrev, CNode* pNext, ARG_TYPE value)
    {
        if (m_pNodeFree == NULL)
        {
            CNode* pBlock = (CNode*)m_blocks.NewBlock(m_nBlockSize, sizeof(CNode));
            for (int i = m_nBlockSize - 1; i >= 0; i--)
            {
                pBlock[i].pNext = m_pNodeFree;
                m_pNodeFree = &pBlock[i];
            }
        }
        CNode* pNode = m_pNodeFree;
        new (&pNode->data) TYPE(value);
        m_pNodeFree = pNode->pNext;
        pNode->pPrev = pPrev;
        pNode->pNext = pNext;
        (pPrev != NULL ? pPrev->pNext : m_pNodeHead) = pNode;
        (pNext != NULL ? pNext->pPrev : m_pNodeTail) = pNode;
        m_nCount++;
        return pNode;
    }

    void FreeNode(CNode* pNode)
    {
        pNode->data.~TYPE();
        pNode->pNext = m_pNodeFree;
        m_pNodeFree = pNode;
        if (--m_nCount == 0)
            RemoveAll();
    }

    CNode* m_pNodeHead;
    CNode* m_pNodeTail;
    int m_nCount;
    CNode* m_pNodeFree;
    CBlockChain m_blocks;
    int m_nBlockSize;
};

class CObList : public CNodeList<CObject*, CObject*>
{
    DECLARE_SERIAL(CObList)
public:
    explicit CObList(int nBlockSize = 10) : CNodeList(nBlockSize) {}
    // Stores a count, then each element as an object reference; loading
    // appends the objects to the list.
    void Serialize(CArchive& ar) override;
};

class CPtrList : public CNodeList<void*, void*>
{
    DECLARE_DYNAMIC(CPtrList)
public:
    explicit CPtrList(int nBlockSize = 10) : CNodeList(nBlockSize) {}
};

class CStringList : public CNodeList<CString, LPCTSTR>
{
    DECLARE_DYNAMIC(CStringList)
public:
    explicit CStringList(int nBlockSize = 10) : CNodeList(nBlockSize) {}
};
