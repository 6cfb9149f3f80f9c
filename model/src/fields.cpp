#include <model/fields.h>

#include <model/id_array.h>

#include <string.h>

namespace {

template <class T>
T& At(const StoredField& field, CPPersistBase* object)
{
    return *static_cast<T*>(field.locate(object));
}

template <class T>
const T& At(const StoredField& field, const CPPersistBase* object)
{
    return *static_cast<const T*>(field.locate(const_cast<CPPersistBase*>(object)));
}

// 32-bit members are long, unsigned long or BOOL: copied, not aliased.
unsigned long Word(const StoredField& field, const CPPersistBase* object)
{
    unsigned long value;
    memcpy(&value, field.locate(const_cast<CPPersistBase*>(object)), sizeof value);
    return value;
}

void SetWord(const StoredField& field, CPPersistBase* object, unsigned long value)
{
    memcpy(field.locate(object), &value, sizeof value);
}

// Calls `use` with the member of a field that reads, writes and counts
// itself (a text, a part list or an ID list); false for any other field.
template <class Object, class Use>
bool UseEmbedded(const StoredField& field, Object* object, Use use)
{
    switch (field.kind) {
    case kFieldText:
        use(At<ENeoBlob>(field, object));
        return true;
    case kFieldParts:
        use(At<ENeoPartMgr>(field, object));
        return true;
    case kFieldIdList:
        use(At<PersistentIdArray>(field, object));
        return true;
    default:
        return false;
    }
}

NeoTag StreamTag(const StoredField& field, NeoTag objectTag)
{
    return field.tag == kObjectTag ? objectTag : field.tag;
}

}  // namespace

static_assert(sizeof(unsigned long) == 4, "32-bit fields are read as unsigned long");
static_assert(sizeof(DATE) == 8, "a stored time is 8 bytes");

long StoredField::Length(const CPPersistBase* object) const
{
    long length = 0;
    if (UseEmbedded(*this, object, [&](const auto& part) { length = part.getFileLength(); }))
        return length;
    switch (kind) {
    case kFieldRaw:
        return (long)size;
    case kFieldTime:
        return sizeof(DATE);
    default:
        return 4;
    }
}

void StoredField::Read(CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const
{
    NeoTag streamTag = StreamTag(*this, objectTag);
    if (UseEmbedded(*this, object, [&](auto& part) { part.readObject(stream, streamTag); }))
        return;
    switch (kind) {
    case kFieldRaw:
        stream->readBytes(locate(object), size);
        break;
    case kFieldID:
        SetWord(*this, object, (unsigned long)stream->readID(streamTag));
        break;
    case kFieldLong:
        SetWord(*this, object, (unsigned long)stream->readLong(streamTag));
        break;
    case kFieldULong:
        SetWord(*this, object, stream->readULong(streamTag));
        break;
    case kFieldBoolean:
        SetWord(*this, object, (unsigned long)stream->readBoolean(streamTag));
        break;
    case kFieldTime: {
        DATE value = 0;
        stream->readBytes(&value, sizeof value);
        At<COleDateTime>(*this, object) = COleDateTime(value);
        break;
    }
    default:
        break;
    }
}

void StoredField::Write(const CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const
{
    NeoTag streamTag = StreamTag(*this, objectTag);
    if (UseEmbedded(*this, object, [&](const auto& part) { part.writeObject(stream, streamTag); }))
        return;
    switch (kind) {
    case kFieldRaw:
        stream->writeBytes(locate(const_cast<CPPersistBase*>(object)), size);
        break;
    case kFieldID:
        stream->writeID((NeoID)Word(*this, object), streamTag);
        break;
    case kFieldLong:
        stream->writeLong((long)Word(*this, object), streamTag);
        break;
    case kFieldULong:
        stream->writeULong(Word(*this, object), streamTag);
        break;
    case kFieldBoolean:
        stream->writeBoolean((BOOL)Word(*this, object), streamTag);
        break;
    case kFieldTime: {
        DATE value = At<COleDateTime>(*this, object).m_dt;
        stream->writeBytes(&value, sizeof value);
        break;
    }
    default:
        break;
    }
}

void StoredField::Copy(CPPersistBase* to, const CPPersistBase* from) const
{
    switch (kind) {
    case kFieldTime:
        At<COleDateTime>(*this, to) = At<COleDateTime>(*this, from);
        break;
    case kFieldText:
        At<ENeoBlob>(*this, to) = At<ENeoBlob>(*this, from);
        break;
    case kFieldParts:
        At<ENeoPartMgr>(*this, to).copyFrom(At<ENeoPartMgr>(*this, from));
        break;
    case kFieldIdList:
        At<PersistentIdArray>(*this, to).update(At<PersistentIdArray>(*this, from));
        break;
    default:
        memcpy(locate(to), locate(const_cast<CPPersistBase*>(from)), size);
        break;
    }
}

BOOL StoredField::GetValue(const CPPersistBase* object, NeoType type, void* value) const
{
    if (kind == kFieldText) {
        if (type != kNeoStringType)
            return FALSE;
        *static_cast<CNeoString*>(value) = At<ENeoBlob>(*this, object).getText(kMaxNameLength);
        return TRUE;
    }
    if (size != 4)
        return FALSE;
    unsigned long field = Word(*this, object);
    if (type == valueType) {
        *static_cast<unsigned long*>(value) = field;
        return TRUE;
    }
    return CNeoPersist::ConvertType(&field, valueType, value, type);
}

// ---------------------------------------------------------------------------
long FieldTable::Length(const CPPersistBase* object, short kind) const
{
    long length = 0;
    ForEach([&](const StoredField& field) {
        if (field.IsCarriedIn(kind))
            length += field.Length(object);
    });
    return length;
}

void FieldTable::Read(CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const
{
    short kind = stream->getFormatKind();
    ForEach([&](const StoredField& field) {
        if (field.IsCarriedIn(kind))
            field.Read(object, stream, objectTag);
    });
}

void FieldTable::Write(const CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const
{
    short kind = stream->getFormatKind();
    ForEach([&](const StoredField& field) {
        if (field.IsCarriedIn(kind))
            field.Write(object, stream, objectTag);
    });
}

void FieldTable::Copy(CPPersistBase* to, const CPPersistBase* from) const
{
    ForEach([&](const StoredField& field) {
        if (!(field.flags & StoredField::kNotUpdated))
            field.Copy(to, from);
    });
}

const StoredField* FieldTable::FindValue(NeoTag valueTag) const
{
    if (valueTag == 0)
        return NULL;
    // The base record first: the indexed tags (parent, name, run-instance
    // flag) are there, and searches ask them of every object they pass.
    if (const StoredField* found = m_base ? m_base->FindValue(valueTag) : NULL)
        return found;
    for (size_t i = 0; i < m_count; ++i) {
        if (m_fields[i].valueTag == valueTag)
            return &m_fields[i];
    }
    return NULL;
}
