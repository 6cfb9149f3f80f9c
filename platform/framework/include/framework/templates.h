// Collection templates: CArray (growable array) and CMap (hash table).
#pragma once

#include <new>
#include <utility>
#include <vector>
#include <framework/blocks.h>
#include <framework/cstring.h>
#include <framework/object.h>

template<class TYPE, class ARG_TYPE>
class CArray : public CObject
{
public:
    CArray() : m_nGrowBy(-1) {}

    int GetSize() const { return (int)m_data.size(); }
    int GetUpperBound() const { return GetSize() - 1; }

    // nGrowBy -1 keeps the current step; 0 or less picks a step from the size.
    void SetSize(int nNewSize, int nGrowBy = -1)
    {
        if (nGrowBy >= 0)
            m_nGrowBy = nGrowBy;
        Reserve(nNewSize);
        m_data.resize(nNewSize);
    }

    void FreeExtra() { m_data.shrink_to_fit(); }
    void RemoveAll() { m_data.clear(); m_data.shrink_to_fit(); }

    TYPE GetAt(int nIndex) const { return m_data[nIndex]; }
    void SetAt(int nIndex, ARG_TYPE newElement) { m_data[nIndex] = newElement; }
    TYPE& ElementAt(int nIndex) { return m_data[nIndex]; }
    TYPE operator[](int nIndex) const { return m_data[nIndex]; }
    TYPE& operator[](int nIndex) { return m_data[nIndex]; }

    const TYPE* GetData() const { return m_data.data(); }
    TYPE* GetData() { return m_data.data(); }

    void SetAtGrow(int nIndex, ARG_TYPE newElement)
    {
        if (nIndex >= GetSize())
            SetSize(nIndex + 1);
        m_data[nIndex] = newElement;
    }

    int Add(ARG_TYPE newElement)
    {
        int nIndex = GetSize();
        SetAtGrow(nIndex, newElement);
        return nIndex;
    }

    // Returns the index of the first appended element.
    int Append(const CArray& src)
    {
        int nOldSize = GetSize();
        Reserve(nOldSize + src.GetSize());
        m_data.insert(m_data.end(), src.m_data.begin(), src.m_data.end());
        return nOldSize;
    }

    void Copy(const CArray& src)
    {
        if (this != &src)
            m_data = src.m_data;
    }

    void InsertAt(int nIndex, ARG_TYPE newElement, int nCount = 1)
    {
        TYPE value(newElement);
        if (nIndex >= GetSize())
        {
            SetSize(nIndex + nCount);
            for (int i = nIndex; i < nIndex + nCount; i++)
                m_data[i] = value;
            return;
        }
        Reserve(GetSize() + nCount);
        m_data.insert(m_data.begin() + nIndex, nCount, value);
    }

    void InsertAt(int nStartIndex, CArray* pNewArray)
    {
        if (nStartIndex > GetSize())
            SetSize(nStartIndex);
        Reserve(GetSize() + pNewArray->GetSize());
        std::vector<TYPE> copy(pNewArray->m_data);
        m_data.insert(m_data.begin() + nStartIndex, copy.begin(), copy.end());
    }

    void RemoveAt(int nIndex, int nCount = 1)
    {
        m_data.erase(m_data.begin() + nIndex, m_data.begin() + nIndex + nCount);
    }

private:
    // Grows the allocation in steps of m_nGrowBy elements.
    void Reserve(int nSize)
    {
        if (nSize <= (int)m_data.capacity())
            return;
        int nGrowBy = m_nGrowBy;
        if (nGrowBy <= 0)
        {
            nGrowBy = GetSize() / 8;
            nGrowBy = nGrowBy < 4 ? 4 : (nGrowBy > 1024 ? 1024 : nGrowBy);
        }
        int nCapacity = (int)m_data.capacity();
        m_data.reserve(nSize < nCapacity + nGrowBy ? nCapacity + nGrowBy : nSize);
    }

    std::vector<TYPE> m_data;
    int m_nGrowBy;
};

// Hash of a map key: integer and pointer keys use their value shifted right
// by four; strings use h = h * 33 + c.
template<class ARG_KEY>
inline UINT HashKey(ARG_KEY key)
{
    return (DWORD)(DWORD_PTR)key >> 4;
}

template<>
inline UINT HashKey<LPCTSTR>(LPCTSTR key)
{
    UINT nHash = 0;
    while (*key)
        nHash = (nHash << 5) + nHash + (BYTE)*key++;
    return nHash;
}

template<>
inline UINT HashKey<const CString&>(const CString& key)
{
    return HashKey<LPCTSTR>(key);
}

template<class TYPE, class ARG_TYPE>
inline BOOL CompareElements(const TYPE* pElement1, const ARG_TYPE* pElement2)
{
    return *pElement1 == *pElement2;
}

template<class KEY, class ARG_KEY, class VALUE, class ARG_VALUE>
class CMap : public CObject
{
protected:
    struct CAssoc
    {
        CAssoc* pNext;
        UINT nHashValue;
        KEY key;
        VALUE value;
    };

public:
    explicit CMap(int nBlockSize = 10)
        : m_pHashTable(NULL), m_nHashTableSize(17), m_nCount(0), m_pFreeList(NULL),
          m_nBlockSize(nBlockSize > 0 ? nBlockSize : 10)
    {
    }
    ~CMap() { RemoveAll(); }

    int GetCount() const { return m_nCount; }
    BOOL IsEmpty() const { return m_nCount == 0; }
    UINT GetHashTableSize() const { return m_nHashTableSize; }

    BOOL Lookup(ARG_KEY key, VALUE& rValue) const
    {
        UINT nHash;
        CAssoc* pAssoc = GetAssocAt(key, nHash);
        if (pAssoc == NULL)
            return FALSE;
        rValue = pAssoc->value;
        return TRUE;
    }

    VALUE& operator[](ARG_KEY key)
    {
        UINT nHash;
        CAssoc* pAssoc = GetAssocAt(key, nHash);
        if (pAssoc == NULL)
        {
            if (m_pHashTable == NULL)
                InitHashTable(m_nHashTableSize);
            pAssoc = NewAssoc(key);
            pAssoc->nHashValue = nHash;
            pAssoc->pNext = m_pHashTable[nHash];
            m_pHashTable[nHash] = pAssoc;
        }
        return pAssoc->value;
    }

    void SetAt(ARG_KEY key, ARG_VALUE newValue) { (*this)[key] = newValue; }

    BOOL RemoveKey(ARG_KEY key)
    {
        if (m_pHashTable == NULL)
            return FALSE;
        CAssoc** ppPrev = &m_pHashTable[HashKey<ARG_KEY>(key) % m_nHashTableSize];
        for (CAssoc* pAssoc = *ppPrev; pAssoc != NULL; pAssoc = pAssoc->pNext)
        {
            if (CompareElements(&pAssoc->key, &key))
            {
                *ppPrev = pAssoc->pNext;
                FreeAssoc(pAssoc);
                return TRUE;
            }
            ppPrev = &pAssoc->pNext;
        }
        return FALSE;
    }

    void RemoveAll()
    {
        if (m_pHashTable != NULL)
        {
            for (UINT i = 0; i < m_nHashTableSize; i++)
            {
                for (CAssoc* pAssoc = m_pHashTable[i]; pAssoc != NULL; pAssoc = pAssoc->pNext)
                {
                    pAssoc->key.~KEY();
                    pAssoc->value.~VALUE();
                }
            }
            delete[] m_pHashTable;
            m_pHashTable = NULL;
        }
        m_nCount = 0;
        m_pFreeList = NULL;
        m_blocks.FreeAll();
    }

    // Iteration visits the buckets in order, newest entry first in each.
    POSITION GetStartPosition() const
    {
        return (POSITION)FirstAssocFrom(0);
    }

    void GetNextAssoc(POSITION& rNextPosition, KEY& rKey, VALUE& rValue) const
    {
        CAssoc* pAssoc = (CAssoc*)rNextPosition;
        rKey = pAssoc->key;
        rValue = pAssoc->value;
        CAssoc* pNext = pAssoc->pNext;
        if (pNext == NULL)
            pNext = FirstAssocFrom(pAssoc->nHashValue + 1);
        rNextPosition = (POSITION)pNext;
    }

    // Sets the number of buckets; only allowed while the map is empty.
    void InitHashTable(UINT nHashSize, BOOL bAllocNow = TRUE)
    {
        if (m_nCount != 0 || nHashSize == 0)
            return;
        delete[] m_pHashTable;
        m_pHashTable = NULL;
        if (bAllocNow)
            m_pHashTable = new CAssoc*[nHashSize]();
        m_nHashTableSize = nHashSize;
    }

protected:
    CAssoc* GetAssocAt(ARG_KEY key, UINT& nHash) const
    {
        nHash = HashKey<ARG_KEY>(key) % m_nHashTableSize;
        if (m_pHashTable == NULL)
            return NULL;
        for (CAssoc* pAssoc = m_pHashTable[nHash]; pAssoc != NULL; pAssoc = pAssoc->pNext)
        {
            if (CompareElements(&pAssoc->key, &key))
                return pAssoc;
        }
        return NULL;
    }

    CAssoc* FirstAssocFrom(UINT nBucket) const
    {
        if (m_pHashTable == NULL)
            return NULL;
        for (; nBucket < m_nHashTableSize; nBucket++)
        {
            if (m_pHashTable[nBucket] != NULL)
                return m_pHashTable[nBucket];
        }
        return NULL;
    }

    CAssoc* NewAssoc(ARG_KEY key)
    {
        if (m_pFreeList == NULL)
        {
            CAssoc* pBlock = (CAssoc*)m_blocks.NewBlock(m_nBlockSize, sizeof(CAssoc));
            for (int i = m_nBlockSize - 1; i >= 0; i--)
            {
                pBlock[i].pNext = m_pFreeList;
                m_pFreeList = &pBlock[i];
            }
        }
        CAssoc* pAssoc = m_pFreeList;
        m_pFreeList = pAssoc->pNext;
        new (&pAssoc->key) KEY(key);
        new (&pAssoc->value) VALUE();
        m_nCount++;
        return pAssoc;
    }

    void FreeAssoc(CAssoc* pAssoc)
    {
        pAssoc->key.~KEY();
        pAssoc->value.~VALUE();
        pAssoc->pNext = m_pFreeList;
        m_pFreeList = pAssoc;
        if (--m_nCount == 0)
            RemoveAll();
    }

    CAssoc** m_pHashTable;
    UINT m_nHashTableSize;
    int m_nCount;
    CAssoc* m_pFreeList;
    CBlockChain m_blocks;
    int m_nBlockSize;
};
