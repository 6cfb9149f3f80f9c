// Every stored class, filled through its own field table with values that
// differ from the defaults: its record length is what it writes in both
// format kinds, a fresh object reads the record back whole, and update
// copies exactly the fields that are not marked NotUpdated.
#include <model/batch.h>
#include <model/id_array.h>

#include "model_test_util.h"

#include <gtest/gtest.h>

#include <memory>
#include <string.h>

namespace {

const short kFormatKinds[] = {0, 1};

// A value for the field at `index` that no constructor gives.
void FillField(const StoredField& field, CPPersistBase* object, int index)
{
    void* member = field.locate(object);
    unsigned long word = 0x5A000000UL + (unsigned long)index;
    CString text;
    text.Format("field %d", index);
    switch (field.kind) {
    case kFieldRaw:
        memset(member, 0xA0 + index, field.size);
        break;
    case kFieldTime:
        *static_cast<COleDateTime*>(member) = COleDateTime(40000.5 + index);
        break;
    case kFieldText:
        static_cast<ENeoBlob*>(member)->setText(text);
        break;
    case kFieldParts:
        static_cast<ENeoPartMgr*>(member)->addPart(1000 + index);
        break;
    case kFieldIdList: {
        CPAgent agent;
        agent.setID(2000 + index);
        static_cast<PersistentIdArray*>(member)->Append(&agent);
        break;
    }
    default:
        memcpy(member, &word, sizeof word);
        break;
    }
}

// The bytes one field writes.
std::vector<BYTE> FieldBytes(const StoredField& field, const CPPersistBase* object)
{
    CNeoBufferStream out(NeoGetFormat(1));
    field.Write(object, &out, 'tagx');
    return std::vector<BYTE>(out.data(), out.data() + out.length());
}

std::unique_ptr<CPPersistBase> Make(const CNeoMetaClass* meta)
{
    return std::unique_ptr<CPPersistBase>(static_cast<CPPersistBase*>(meta->create()));
}

TEST(StoredFields, EveryClassWritesWhatItCountsReadsItBackAndUpdates)
{
    RegisterModelClasses();
    int classes = 0;
    for (const CNeoMetaClass* meta : CNeoMetaClass::GetAll()) {
        if (!meta->isKindOf(kClassPersistBase))
            continue;
        ++classes;
        SCOPED_TRACE(meta->getName());
        std::unique_ptr<CPPersistBase> filled = Make(meta);
        int index = 0;
        filled->GetStoredFields().ForEach(
            [&](const StoredField& field) { FillField(field, filled.get(), index++); });

        for (short kind : kFormatKinds) {
            SCOPED_TRACE(testing::Message() << "kind " << kind);
            std::vector<BYTE> bytes = Record(filled.get(), kind);
            std::unique_ptr<CPPersistBase> back = Make(meta);
            ReadRecord(back.get(), bytes, kind);
            EXPECT_EQ(Record(back.get(), kind), bytes);
        }

        std::unique_ptr<CPPersistBase> fresh = Make(meta);
        std::unique_ptr<CPPersistBase> updated = Make(meta);
        updated->update(filled.get());
        index = 0;
        filled->GetStoredFields().ForEach([&](const StoredField& field) {
            SCOPED_TRACE(testing::Message() << "field " << index++);
            const CPPersistBase* expected =
                field.flags & StoredField::kNotUpdated ? fresh.get() : filled.get();
            EXPECT_EQ(FieldBytes(field, updated.get()), FieldBytes(field, expected));
        });
    }
    // Every class derived from the base, the base included.
    EXPECT_EQ(classes, 21);
}

}  // namespace
