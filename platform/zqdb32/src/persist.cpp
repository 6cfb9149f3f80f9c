// Persistent objects, the class registry, record fields, locations and
// selections.
#include <zqdb32/zqdb32.h>

#include <string.h>

// ---------------------------------------------------------------------------
CNeoPersist::CNeoPersist()
    : fID(0), fMark(0), fUseCount(1), fDirty(FALSE), fBusy(FALSE), fDatabase(NULL)
{
}

CNeoPersist::~CNeoPersist()
{
}

CNeoPersist* CNeoPersist::clone()
{
    CNeoLock lock;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(getClassID());
    if (!meta)
        CNeoException::Throw(CNeoException::kUnknownClass, "An object of an unregistered class was cloned");
    CNeoBufferStream out(NeoGetFormat(1));
    writeObject(&out, kNeoNullTag);
    CNeoPersist* copy = meta->create();
    CNeoBufferStream in(out.data(), out.length(), NeoGetFormat(1));
    try {
        copy->readObject(&in, kNeoNullTag);
    } catch (...) {
        delete copy;
        throw;
    }
    copy->fID = fID;
    return copy;
}

long CNeoPersist::getFileLength(const CNeoFormat*) const
{
    return 0;
}

void CNeoPersist::readObject(CNeoStream*, NeoTag)
{
}

void CNeoPersist::writeObject(CNeoStream*, NeoTag)
{
}

BOOL CNeoPersist::getValue(NeoTag, NeoType, void*) const
{
    return FALSE;
}

BOOL CNeoPersist::setValue(NeoTag, NeoType, const void*)
{
    return FALSE;
}

void CNeoPersist::add(CNeoDatabase*) {}
void CNeoPersist::remove(CNeoDatabase*) {}
void CNeoPersist::commit(CNeoDatabase*) {}

void CNeoPersist::update(const CNeoPersist*)
{
    setDirty(2);
}

void CNeoPersist::setID(NeoID id)
{
    if (fDatabase)
        CNeoException::Throw(CNeoException::kBadArgument,
                             "The ID of an object in a database cannot change");
    fID = id;
}

void CNeoPersist::refer()
{
    CNeoLock lock;
    if (++fUseCount == 1 && fDatabase)
        fDatabase->noteReferenced(this, TRUE);
}

void CNeoPersist::unrefer()
{
    CNeoLock lock;
    if (--fUseCount >= 1)
        return;
    if (fDatabase)
        fDatabase->noteReferenced(this, FALSE);
    else
        delete this;
}

void CNeoPersist::setDirty(short)
{
    CNeoLock lock;
    fDirty = TRUE;
    if (fDatabase) {
        fDatabase->fChanged.insert(fID);
        if (fUseCount > 0)
            fDatabase->fHeldChanged.insert(this);
        fDatabase->indexObject(fID, this);
    }
}

BOOL CNeoPersist::ConvertType(const void* source, NeoType sourceType, void* target,
                              NeoType targetType)
{
    // Signed and unsigned 32-bit values convert by their bit pattern.
    bool sourceNumber = sourceType == kNeoLongType || sourceType == kNeoULongType;
    bool targetNumber = targetType == kNeoLongType || targetType == kNeoULongType;
    if (!sourceNumber || !targetNumber)
        return FALSE;
    *static_cast<unsigned long*>(target) = *static_cast<const unsigned long*>(source);
    return TRUE;
}

void CNeoFoundObjects::releaseAll()
{
    for (int i = 0; i < GetSize(); ++i)
        static_cast<CNeoPersist*>(GetAt(i))->unrefer();
    RemoveAll();
}

IMPLEMENT_DYNAMIC(CNeoPersistMFC, CObject)

// ---------------------------------------------------------------------------
static std::map<NeoClassID, CNeoMetaClass*>& MetaClasses()
{
    static std::map<NeoClassID, CNeoMetaClass*> classes;
    return classes;
}

CNeoMetaClass::CNeoMetaClass(NeoClassID id, NeoClassID superID, const char* name,
                             NeoFactory factory, long, NeoTag)
    : fID(id), fSuperID(superID), fName(name), fFactory(factory)
{
    CNeoLock lock;
    MetaClasses()[id] = this;
}

CNeoMetaClass::~CNeoMetaClass()
{
    CNeoLock lock;
    auto found = MetaClasses().find(fID);
    if (found != MetaClasses().end() && found->second == this)
        MetaClasses().erase(found);
}

CNeoMetaClass* CNeoMetaClass::GetMetaClass(NeoClassID id)
{
    CNeoLock lock;
    auto found = MetaClasses().find(id);
    return found == MetaClasses().end() ? NULL : found->second;
}

std::vector<CNeoMetaClass*> CNeoMetaClass::GetAll()
{
    CNeoLock lock;
    std::vector<CNeoMetaClass*> all;
    for (const auto& meta : MetaClasses())
        all.push_back(meta.second);
    return all;
}

void CNeoMetaClass::addKey(long valueType, NeoTag tag, long, BOOL)
{
    CNeoLock lock;
    for (const Key& key : fKeys)
        if (key.tag == tag)
            return;
    fKeys.push_back(Key{valueType, tag});
}

CNeoPersist* CNeoMetaClass::create() const
{
    if (!fFactory)
        CNeoException::Throw(CNeoException::kUnknownClass,
                             "The class " + fName + " cannot create objects");
    return fFactory();
}

BOOL CNeoMetaClass::isKindOf(NeoClassID id) const
{
    // Walk the super IDs; the last one need not be registered (the library's
    // own base classes are not). A guard stops a registry that loops.
    const CNeoMetaClass* meta = this;
    for (int depth = 0; meta && depth < 64; ++depth) {
        if (meta->fID == id || meta->fSuperID == id)
            return TRUE;
        if (meta->fSuperID == meta->fID)
            break;
        meta = GetMetaClass(meta->fSuperID);
    }
    return FALSE;
}

// ---------------------------------------------------------------------------
ENeoBlob::ENeoBlob()
{
}

ENeoBlob::ENeoBlob(const ENeoBlob& other) : fBytes(other.fBytes)
{
}

ENeoBlob& ENeoBlob::operator=(const ENeoBlob& other)
{
    fBytes = other.fBytes;
    return *this;
}

void ENeoBlob::setBlob(const void* bytes, unsigned long length)
{
    const unsigned char* begin = static_cast<const unsigned char*>(bytes);
    fBytes.assign(begin, begin + (bytes ? length : 0));
}

CString ENeoBlob::getText(int maxLength) const
{
    size_t length = fBytes.size();
    if (maxLength >= 0 && length > (size_t)maxLength)
        length = (size_t)maxLength;
    // A text ends at its first zero byte, if it has one.
    const char* text = fBytes.empty() ? "" : reinterpret_cast<const char*>(&fBytes[0]);
    size_t end = 0;
    while (end < length && text[end])
        ++end;
    return CString(text, (int)end);
}

void ENeoBlob::setText(const char* text)
{
    setBlob(text, text ? (unsigned long)strlen(text) : 0);
}

void ENeoBlob::readObject(CNeoStream* stream, NeoTag tag)
{
    unsigned long length = stream->readULong(tag);
    std::vector<unsigned char> bytes;
    // Read in pieces so that an impossible length fails at the stream's end
    // instead of allocating gigabytes first.
    while (bytes.size() < length) {
        size_t piece = length - bytes.size();
        if (piece > 65536)
            piece = 65536;
        size_t at = bytes.size();
        bytes.resize(at + piece);
        stream->readChunk(&bytes[at], (unsigned long)piece);
    }
    fBytes.swap(bytes);
}

void ENeoBlob::writeObject(CNeoStream* stream, NeoTag tag) const
{
    stream->writeULong((unsigned long)fBytes.size(), tag);
    if (!fBytes.empty())
        stream->writeChunk(&fBytes[0], (unsigned long)fBytes.size());
}

// ---------------------------------------------------------------------------
ENeoPartMgr::ENeoPartMgr(CNeoPersist* owner, NeoClassID partClass)
    : fOwner(owner), fPartClass(partClass)
{
}

NeoID ENeoPartMgr::getPartID(long index) const
{
    return index >= 0 && index < getCount() ? fIDs[index] : 0;
}

BOOL ENeoPartMgr::contains(NeoID id) const
{
    for (NeoID part : fIDs)
        if (part == id)
            return TRUE;
    return FALSE;
}

CNeoPersist* ENeoPartMgr::getPart(long index) const
{
    NeoID id = getPartID(index);
    CNeoDatabase* database = fOwner->getDatabase();
    if (!id || !database)
        return NULL;
    CNeoIDSelect select(id);
    return database->findObject(fPartClass, &select);
}

void ENeoPartMgr::addPart(NeoID id)
{
    fIDs.push_back(id);
}

BOOL ENeoPartMgr::removePart(NeoID id)
{
    for (size_t i = 0; i < fIDs.size(); ++i)
        if (fIDs[i] == id) {
            fIDs.erase(fIDs.begin() + i);
            return TRUE;
        }
    return FALSE;
}

void ENeoPartMgr::readObject(CNeoStream* stream, NeoTag tag)
{
    unsigned long count = stream->readULong(tag);
    std::vector<NeoID> ids;
    for (unsigned long i = 0; i < count; ++i)  // a bad count fails at the stream's end
        ids.push_back(stream->readID(tag));
    fIDs.swap(ids);
}

void ENeoPartMgr::writeObject(CNeoStream* stream, NeoTag tag) const
{
    stream->writeULong((unsigned long)fIDs.size(), tag);
    for (NeoID id : fIDs)
        stream->writeID(id, tag);
}

// ---------------------------------------------------------------------------
BOOL CNeoContainerLocation::isEqual(const CNeoContainerLocation* other) const
{
    return other && other->getClassID() == getClassID() && other->getName() == getName();
}

CNeoFileLocation::CNeoFileLocation(const char* path) : fPath(path)
{
}

CNeoContainerStream* CNeoFileLocation::createStream(CNeoDatabase* database)
{
    return new CNeoFileStream(database, fPath);
}

void CNeoFileLocation::removeFile()
{
    if (!DeleteFileA(fPath))
        CNeoException::Failure(GetLastError(), "File delete failed!");
}

// ---------------------------------------------------------------------------
// Numbers are index keys as their four bytes; strings as their characters.
static std::string NumberKey(unsigned long value)
{
    return std::string(reinterpret_cast<const char*>(&value), 4);
}

BOOL CNeoLongSelect::matches(const CNeoPersist* object) const
{
    long value = 0;
    return object->getValue(fTag, kNeoLongType, &value) && value == fValue;
}

void CNeoLongSelect::getKeys(std::vector<Key>& keys) const
{
    keys.push_back(Key{fTag, kNeoLongKey, NumberKey((unsigned long)fValue)});
}

BOOL CNeoULongSelect::matches(const CNeoPersist* object) const
{
    unsigned long value = 0;
    return object->getValue(fTag, kNeoULongType, &value) && value == fValue;
}

void CNeoULongSelect::getKeys(std::vector<Key>& keys) const
{
    keys.push_back(Key{fTag, kNeoULongKey, NumberKey(fValue)});
}

BOOL CNeoStringSelect::matches(const CNeoPersist* object) const
{
    CNeoString value;
    return object->getValue(fTag, kNeoStringType, &value) && value == fValue;
}

void CNeoStringSelect::getKeys(std::vector<Key>& keys) const
{
    keys.push_back(Key{fTag, kNeoStringKey, (const char*)fValue});
}

BOOL CNeoClassSelect::matches(const CNeoPersist* object) const
{
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(object->getClassID());
    return meta && meta->isKindOf(fClassID);
}

CNeoAndSelect::~CNeoAndSelect()
{
    for (CNeoSelect* term : fTerms)
        delete term;
}

void CNeoAndSelect::addTerm(CNeoSelect* term, long)
{
    fTerms.push_back(term);
}

BOOL CNeoAndSelect::matches(const CNeoPersist* object) const
{
    for (CNeoSelect* term : fTerms)
        if (!term->matches(object))
            return FALSE;
    return TRUE;
}

void CNeoAndSelect::getKeys(std::vector<Key>& keys) const
{
    for (CNeoSelect* term : fTerms)
        term->getKeys(keys);
}

BOOL CNeoAndSelect::getSingleID(NeoID& id) const
{
    for (CNeoSelect* term : fTerms)
        if (term->getSingleID(id))
            return TRUE;
    return FALSE;
}

// ---------------------------------------------------------------------------
CNeoAppMFC* gNeoApp = NULL;

CNeoAppMFC::CNeoAppMFC(const char* name) : CWinApp(name)
{
    gNeoApp = this;
}

CNeoAppMFC::~CNeoAppMFC()
{
    if (gNeoApp == this)
        gNeoApp = NULL;
}

CNeoFormat* CNeoAppMFC::GetFormat(short kind)
{
    return NeoLibraryFormat(kind);
}
