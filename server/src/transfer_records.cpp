#include <server/transfer_records.h>

IMPLEMENT_SERIAL(CSObjectNames, CObject, 1)
IMPLEMENT_SERIAL(CSBatchLogDetails, CSObjectNames, 1)

CSObjectNames::CSObjectNames() : m_id(0)
{
}

void CSObjectNames::Set(const char* name, long id)
{
    m_name = name;
    m_id = id;
}

void CSObjectNames::Serialize(CArchive& ar)
{
    if (ar.IsStoring())
        ar << m_name << (LONG)m_id;
    else
        ar >> m_name >> m_id;
}

CSBatchLogDetails::CSBatchLogDetails() : m_runNumber(0)
{
}

void CSBatchLogDetails::Serialize(CArchive& ar)
{
    CSObjectNames::Serialize(ar);
    if (ar.IsStoring())
        ar << m_startTime << (LONG)m_runNumber;
    else
        ar >> m_startTime >> m_runNumber;
}

BYTE* ArchiveTransferList(CObList& list, unsigned long* size)
{
    CMemFile file(1024);
    {
        CArchive ar(&file, CArchive::store, 4096);
        list.Serialize(ar);
        ar.Close();
    }
    *size = file.GetLength();
    return file.Detach();
}

void LoadTransferList(const void* bytes, unsigned long size, CObList& list)
{
    CMemFile file(static_cast<BYTE*>(const_cast<void*>(bytes)), size);
    CArchive ar(&file, CArchive::load, 4096);
    list.Serialize(ar);
    ar.Close();
}

void DeleteTransferList(CObList& list)
{
    while (!list.IsEmpty())
        delete list.RemoveHead();
}
