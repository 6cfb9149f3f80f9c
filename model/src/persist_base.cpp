#include <model/persist_base.h>

IMPLEMENT_DYNCREATE(CPPersistBase, CNeoPersistMFC)

CPPersistBase::CPPersistBase()
    : m_newObject(FALSE), m_stepType(0), m_parentID(0), m_diagramKey(-1), m_runInstance(0),
      m_counter(0)
{
}

CPPersistBase::~CPPersistBase()
{
}

CNeoPersist* CPPersistBase::Create()
{
    return new CPPersistBase;
}

const FieldTable& CPPersistBase::GetStoredFields() const
{
    static const StoredField kFields[] = {
        // Set by the console on objects it creates; a stored copy keeps its own.
        Field<kFieldBoolean, &CPPersistBase::m_newObject>(kTagNewObject).NotUpdated(),
        Field<kFieldText, &CPPersistBase::m_description>(kTagDescription).Answers(kTagDescription),
        Field<kFieldText, &CPPersistBase::m_name>(kTagName).Answers(kTagName),
        Field<kFieldText, &CPPersistBase::m_account>(kTagAccount),
        Field<kFieldText, &CPPersistBase::m_password>(kTagPassword),
        Field<kFieldRaw, &CPPersistBase::m_stepType>(),
        Field<kFieldID, &CPPersistBase::m_parentID>(kNeoParentTag).Answers(kNeoParentTag),
        Field<kFieldID, &CPPersistBase::m_diagramKey>(kTagDiagramKey).Answers(kTagDiagramKey),
        Field<kFieldRaw, &CPPersistBase::m_runInstance>().Answers(kTagRunInstance),
        Field<kFieldID, &CPPersistBase::m_counter>(),
    };
    static const FieldTable kTable(NULL, kFields);
    return kTable;
}

long CPPersistBase::getFileLength(const CNeoFormat* format) const
{
    return CNeoPersistMFC::getFileLength(format) +
           GetStoredFields().Length(this, FieldTable::KindOf(format));
}

void CPPersistBase::readObject(CNeoStream* stream, NeoTag tag)
{
    CNeoPersistMFC::readObject(stream, tag);
    GetStoredFields().Read(this, stream, tag);
}

void CPPersistBase::writeObject(CNeoStream* stream, NeoTag tag)
{
    CNeoPersistMFC::writeObject(stream, tag);
    GetStoredFields().Write(this, stream, tag);
}

BOOL CPPersistBase::getValue(NeoTag tag, NeoType type, void* value) const
{
    const StoredField* field = GetStoredFields().FindValue(tag);
    return field ? field->GetValue(this, type, value) : CNeoPersistMFC::getValue(tag, type, value);
}

BOOL CPPersistBase::setValue(NeoTag tag, NeoType type, const void* value)
{
    if (tag != kNeoParentTag)
        return CNeoPersistMFC::setValue(tag, type, value);
    unsigned long parent = 0;
    if (type == kNeoULongType)
        parent = *static_cast<const unsigned long*>(value);
    else if (!ConvertType(value, type, &parent, kNeoULongType))
        return FALSE;
    // The parent is indexed: take the object out of its database while the
    // key changes and file it again. The reference keeps it alive meanwhile.
    CNeoDatabase* database = getDatabase();
    bool refile = database && database->getTagIndex(getClassID(), kNeoParentTag) != -1;
    refer();
    if (refile)
        database->removeObject(this, TRUE);
    m_parentID = (NeoID)parent;
    if (refile)
        database->addObject(this, TRUE, NULL);
    setDirty(2);
    unrefer();
    return TRUE;
}

void CPPersistBase::SetParentID(NeoID parentID)
{
    CNeoDatabase* database = getDatabase();
    if (m_parentID == 0 || !database) {
        m_parentID = parentID;
        // A change the next commit would otherwise not write.
        if (database)
            setDirty(2);
        return;
    }
    refer();
    database->removeObject(this, TRUE);
    m_parentID = parentID;
    database->addObject(this, TRUE, NULL);
    unrefer();
}

void CPPersistBase::update(const CNeoPersist* other)
{
    CNeoPersistMFC::update(other);
    GetStoredFields().Copy(this, static_cast<const CPPersistBase*>(other));
}

void CPPersistBase::CopyChildren(const CopyTarget&, CNeoDatabase*, NeoID)
{
}

CString CPPersistBase::GetTypeName() const
{
    return CString();
}

CString CPPersistBase::GetTypeDetails() const
{
    return CString();
}

CString CPPersistBase::GetDescription() const
{
    return m_description.getText(kMaxNameLength);
}

CString CPPersistBase::GetName() const
{
    return m_name.getText(kMaxNameLength);
}

void CPPersistBase::SetDescription(const char* text)
{
    m_description.setText(text);
}

void CPPersistBase::SetName(const char* text)
{
    m_name.setText(text);
}

void CPPersistBase::DeleteWithChildren(CNeoDatabase*)
{
}

void CPPersistBase::RemoveWithChildren(CNeoDatabase* database)
{
    DeleteWithChildren(database);
    database->removeObject(this, TRUE);
}

void CPPersistBase::DeleteChildrenOfClass(CNeoDatabase* database, NeoClassID classID)
{
    CNeoFoundObjects found;
    CNeoOffspring::FindByParent(database, classID, getID(), TRUE, &found);
    for (int i = 0; i < found.GetSize(); ++i)
        found.at<CPPersistBase>(i)->RemoveWithChildren(database);
}

int CPPersistBase::GetDebugText(CFile* file) const
{
    CString text;
    text.Format("Name:\t\t%s\nID:\t\t%d\nOriginal ID:%d\nParentID:\t%d\nMark:\t\t%d\nStep Type:\t%d\n",
                (const char*)GetName(), (int)getID(), (int)getID(), (int)m_parentID,
                (int)getMark(), (int)m_stepType);
    file->Write((const char*)text, text.GetLength());
    return 1;
}

CPPersistBase* CPPersistBase::FindByID(CNeoDatabase* database, NeoClassID classID, NeoID id)
{
    // An object in no database (a free copy) finds nothing.
    if (!database)
        return NULL;
    CNeoIDSelect select(id);
    return static_cast<CPPersistBase*>(database->findObject(classID, &select));
}

CPPersistBase* CPPersistBase::FindSameInDatabase(CNeoDatabase* database, NeoClassID classID,
                                                 const CPPersistBase* object)
{
    return object->m_newObject ? NULL : FindByID(database, classID, object->getID());
}

CPPersistBase* CPPersistBase::CopyInto(const CopyTarget& target, NeoClassID classID,
                                       const CPPersistBase* object)
{
    if (target.IsImage()) {
        CPPersistBase* same = const_cast<CPPersistBase*>(object);
        if (!target.WriteToImage(same, TRUE))
            return NULL;
        same->refer();
        return same;
    }
    // An object the console has just created may already be stored (a second
    // save): it is updated then, never added twice.
    CNeoDatabase* database = target.GetDatabase();
    CPPersistBase* stored = object->m_newObject ? FindByID(database, classID, object->getID())
                                                : FindSameInDatabase(database, classID, object);
    CNeoRef<CPPersistBase> copy(
        stored ? stored : static_cast<CPPersistBase*>(const_cast<CPPersistBase*>(object)->clone()));
    if (stored) {
        copy->update(object);
        copy->SetParentID(getID());
    } else {
        database->addObject(copy.get(), TRUE, NULL);
        if (object->m_newObject)
            copy->SetParentID(getID());
    }
    // Once filed under its receiver the copy is no longer new.
    copy->m_newObject = FALSE;
    return copy.release();
}

void CPPersistBase::CopyChildrenOfClass(const CopyTarget& target, CNeoDatabase* source,
                                        NeoID parentID, NeoClassID classID, long flagValue)
{
    CFocusDatabases focus(source, target.GetDatabase());
    CNeoAndSelect select;
    select.addTerm(new CNeoLongSelect(kTagRunInstance, flagValue));
    select.addTerm(new CNeoULongSelect(kNeoParentTag, (unsigned long)parentID));
    CNeoFoundObjects found;
    source->findObject(classID, &select, TRUE, NULL, &found);
    for (int i = 0; i < found.GetSize(); ++i) {
        CPPersistBase* object = found.at<CPPersistBase>(i);
        if (object->m_parentID <= 0)
            continue;
        CNeoRef<CPPersistBase> copy(CopyInto(target, classID, object));
        if (copy)
            copy->CopyChildren(target, source, object->getID());
    }
}

BOOL CopyTarget::WriteToImage(CPPersistBase* object, BOOL filed) const
{
    if (m_image->holds(object->getID()))
        return FALSE;
    // The record is written with the flag a filed copy has; the stored
    // object keeps its own (all of this under the library lock).
    CNeoLock lock;
    const BOOL wasNew = object->IsNewObject();
    if (filed)
        object->SetNewObject(FALSE);
    try {
        m_image->add(object);
    } catch (...) {
        object->SetNewObject(wasNew);
        throw;
    }
    object->SetNewObject(wasNew);
    return TRUE;
}

// ---------------------------------------------------------------------------
void FindChildren(CNeoDatabase* database, NeoClassID classID, NeoID parentID, BOOL deep,
                  CObArray* found, long)
{
    if (!database)
        database = gNeoDatabase;
    CNeoULongSelect select(kNeoParentTag, (unsigned long)parentID);
    database->findObject(classID, &select, deep, NULL, found);
}


CFocusDatabases::CFocusDatabases(CNeoDatabase* source, CNeoDatabase* target)
    : m_source(gNeoDatabase), m_target(gNeoTargetDatabase)
{
    gNeoDatabase = source;
    gNeoTargetDatabase = target;
}

CFocusDatabases::~CFocusDatabases()
{
    gNeoDatabase = m_source;
    gNeoTargetDatabase = m_target;
}

// ---------------------------------------------------------------------------
CPDocCounter::CPDocCounter() : m_value(0)
{
}

CNeoPersist* CPDocCounter::Create()
{
    return new CPDocCounter;
}

long CPDocCounter::getFileLength(const CNeoFormat* format) const
{
    return CNeoPersist::getFileLength(format) + 4;
}

void CPDocCounter::readObject(CNeoStream* stream, NeoTag tag)
{
    CNeoPersist::readObject(stream, tag);
    m_value = stream->readID(tag);
}

void CPDocCounter::writeObject(CNeoStream* stream, NeoTag tag)
{
    CNeoPersist::writeObject(stream, tag);
    stream->writeID(m_value, tag);
}

void CPDocCounter::update(const CNeoPersist* other)
{
    CNeoPersist::update(other);
    m_value = static_cast<const CPDocCounter*>(other)->m_value;
}

long CPDocCounter::Next()
{
    setDirty(2);
    return ++m_value;
}
