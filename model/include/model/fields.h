// The stored fields of a class, described once. Reading, writing, the record
// length, update and values by tag all walk the same table, so a field is
// added in one place and a length never disagrees with what is written.
//
// GUARANTEES
// - A record is the base classes' fields first, then the class's own, each
//   in table order, written with the stream operation its entry names.
// - getFileLength counts exactly the bytes that writeObject writes for the
//   same format kind (a format or stream without a kind counts as kind 1).
// - A field marked OnlyInKind1 is read, written and counted only in kind 1;
//   otherwise it keeps its value in memory.
// - update copies every field except those marked NotUpdated.
// - getValue answers the tag a field Answers: a 32-bit field as the type asked
//   (converted when it is not the field's own), a text as a CNeoString of at
//   most 255 characters (only when a string is asked for).
//
// LIMITS
// - Only stored fields belong in a table; run-time members stay out.
// - 32-bit kinds (ID, Long, ULong, Boolean) take 4-byte integral members;
//   kFieldRaw takes any plain member and writes its bytes as they are in memory.
// - Tables are built on first use and never change afterwards. The walks take
//   no lock of their own: objects are used under gNeoCritical as elsewhere.
//
// USE
// A class with stored fields of its own overrides GetStoredFields:
//     const FieldTable& CPBatchLink::GetStoredFields() const
//     {
//         static const StoredField kFields[] = {
//             Field<kFieldText, &CPBatchLink::m_terminationMessage>(),
//             Field<kFieldID, &CPBatchLink::m_sourceID>().Answers(kTagLinkSource),
//             Field<kFieldRaw, &CPBatchLink::m_lastExitCode>(),
//         };
//         static const FieldTable kTable(&CPPersistBase::GetStoredFields(), kFields);
//         return kTable;
//     }
// A new stored field is one more entry, in its place in the record.
#ifndef MODEL_FIELDS_H
#define MODEL_FIELDS_H

#include <zqdb32/zqdb32.h>

#include <stddef.h>
#include <type_traits>

class CPPersistBase;
class PersistentIdArray;

// The stream tag of a field written under the tag passed to writeObject.
const NeoTag kObjectTag = 0;

// How a field is stored.
enum FieldKind : unsigned char {
    kFieldRaw,      // the member's bytes, untagged
    kFieldID,       // the stream's object-ID operation
    kFieldLong,     // signed 32-bit operation
    kFieldULong,    // unsigned 32-bit operation
    kFieldBoolean,  // boolean operation (32 bits)
    kFieldTime,     // a COleDateTime, as its 8-byte date value
    kFieldText,     // ENeoBlob: length, then the bytes
    kFieldParts,    // ENeoPartMgr: count, then the IDs
    kFieldIdList,   // PersistentIdArray: its blob
};

// One stored field of a class.
struct StoredField {
    enum Flags : unsigned { kNotUpdated = 1, kOnlyInKind1 = 2 };

    FieldKind kind;
    void* (*locate)(CPPersistBase* object);  // the member inside an object
    unsigned long size;                      // bytes in memory of a raw field
    NeoTag tag;                              // stream tag, or kObjectTag
    unsigned flags;
    NeoTag valueTag;                         // answered by getValue; 0 for none
    NeoType valueType;                       // type of a 32-bit answer

    // The field answers getValue on `answered`; a 32-bit field as `type`.
    constexpr StoredField Answers(NeoTag answered, NeoType type = kNeoLongType) const
    {
        StoredField field = *this;
        field.valueTag = answered;
        field.valueType = type;
        return field;
    }
    // update leaves the field as it was.
    constexpr StoredField NotUpdated() const { return WithFlag(kNotUpdated); }
    // Only records of format kind 1 carry the field.
    constexpr StoredField OnlyInKind1() const { return WithFlag(kOnlyInKind1); }

    bool IsCarriedIn(short kind) const { return !(flags & kOnlyInKind1) || kind == 1; }
    long Length(const CPPersistBase* object) const;
    void Read(CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const;
    void Write(const CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const;
    void Copy(CPPersistBase* to, const CPPersistBase* from) const;
    BOOL GetValue(const CPPersistBase* object, NeoType type, void* value) const;

private:
    constexpr StoredField WithFlag(unsigned flag) const
    {
        StoredField field = *this;
        field.flags |= flag;
        return field;
    }
};

// The fields of a class after those of its base class (`base`, or NULL).
class FieldTable {
public:
    template <size_t N>
    FieldTable(const FieldTable* base, const StoredField (&fields)[N])
        : m_base(base), m_fields(fields), m_count(N)
    {
    }

    // Kind of a format; NULL counts as kind 1.
    static short KindOf(const CNeoFormat* format) { return format ? format->getKind() : 1; }

    long Length(const CPPersistBase* object, short kind) const;
    void Read(CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const;
    void Write(const CPPersistBase* object, CNeoStream* stream, NeoTag objectTag) const;
    void Copy(CPPersistBase* to, const CPPersistBase* from) const;
    // The field that answers a value tag, or NULL.
    const StoredField* FindValue(NeoTag valueTag) const;

    // Every field, base classes' first (for walks that need each one).
    template <class Visit>
    void ForEach(Visit visit) const
    {
        if (m_base)
            m_base->ForEach(visit);
        for (size_t i = 0; i < m_count; ++i)
            visit(m_fields[i]);
    }

private:
    const FieldTable* m_base;
    const StoredField* m_fields;
    size_t m_count;
};

// ---------------------------------------------------------------------------
// Building entries (Field below). Each names its member by a path of member
// pointers: the first of a class derived from CPPersistBase, any further ones
// into the member found so far (a field of an embedded record).
namespace fields_detail {

template <class T>
struct MemberPointer;
template <class C, class M>
struct MemberPointer<M C::*> {
    typedef C Owner;
    typedef M Type;
};

template <class T>
T& Follow(T& value)
{
    return value;
}
template <class T, class P, class... Rest>
auto& Follow(T& value, P member, Rest... rest)
{
    return Follow(value.*member, rest...);
}

// The member at the end of a path, and where it lies inside an object.
template <auto First, auto... Rest>
struct MemberPath {
    typedef typename MemberPointer<decltype(First)>::Owner Owner;
    typedef typename std::remove_reference<decltype(
        Follow(std::declval<Owner&>(), First, Rest...))>::type Type;
    static void* Locate(CPPersistBase* object)
    {
        return &Follow(*static_cast<Owner*>(object), First, Rest...);
    }
};

// Whether a member of type T can be stored as a field of that kind.
template <FieldKind Kind, class T>
constexpr bool Fits()
{
    switch (Kind) {
    case kFieldRaw:
        return std::is_trivially_copyable<T>::value;
    case kFieldTime:
        return std::is_same<T, COleDateTime>::value;
    case kFieldText:
        return std::is_same<T, ENeoBlob>::value;
    case kFieldParts:
        return std::is_same<T, ENeoPartMgr>::value;
    case kFieldIdList:
        return std::is_same<T, PersistentIdArray>::value;
    default:
        return std::is_integral<T>::value && sizeof(T) == 4;
    }
}

}  // namespace fields_detail

// The entry of the member at the end of `Path`, stored as `Kind` under `tag`
// (kObjectTag: the tag passed to writeObject). Raw fields and times are
// untagged.
template <FieldKind Kind, auto... Path>
constexpr StoredField Field(NeoTag tag = kObjectTag)
{
    typedef fields_detail::MemberPath<Path...> Member;
    typedef typename Member::Type Type;
    static_assert(fields_detail::Fits<Kind, Type>(), "the member does not fit the field kind");
    return StoredField{Kind, &Member::Locate, sizeof(Type), tag, 0, 0, 0};
}

#endif
