#include <model/id_array.h>

namespace {
const UINT kGrowBy = 1024;
const int kArchiveBuffer = 4096;
}  // namespace

PersistentIdArray::PersistentIdArray(CPPersistBase* owner) : m_owner(owner)
{
}

void PersistentIdArray::Load()
{
    if (m_blob.isEmpty()) {
        // Nothing stored yet: the list is empty, whatever was loaded before.
        m_ids.RemoveAll();
        return;
    }
    CMemFile file(kGrowBy);
    file.Write(m_blob.getBlob(), (UINT)m_blob.getLength());
    file.SeekToBegin();
    CArchive archive(&file, CArchive::load, kArchiveBuffer);
    m_ids.Serialize(archive);
    archive.Close();
}

void PersistentIdArray::Store()
{
    CMemFile file(kGrowBy);
    CArchive archive(&file, CArchive::store, kArchiveBuffer);
    m_ids.Serialize(archive);
    archive.Close();
    UINT length = (UINT)file.GetLength();
    BYTE* bytes = file.Detach();
    m_blob.setBlob(bytes, length);
    free(bytes);
}

void PersistentIdArray::Append(const CNeoPersist* object)
{
    Load();
    m_ids.Add((DWORD)object->getID());
    Store();
}

CPPersistBase* PersistentIdArray::PopFirst()
{
    Load();
    if (m_ids.GetSize() == 0)
        return NULL;
    NeoID id = (NeoID)m_ids[0];
    m_ids.RemoveAt(0);
    Store();
    CNeoDatabase* database = m_owner->getDatabase();
    return database ? CPPersistBase::FindByID(database, kClassProcessBase, id) : NULL;
}

void PersistentIdArray::RemoveAll()
{
    m_ids.RemoveAll();
    Store();
}

CPPersistBase* PersistentIdArray::FindObjectAt(int index, CNeoDatabase* database,
                                               NeoClassID classID) const
{
    if (index < 0 || index >= m_ids.GetSize() || !database)
        return NULL;
    return CPPersistBase::FindByID(database, classID, (NeoID)m_ids[index]);
}

int PersistentIdArray::GetCount()
{
    Load();
    return m_ids.GetSize();
}
