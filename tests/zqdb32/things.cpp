#include "things.h"

long CThing::gReads = 0;

long CThing::getFileLength(const CNeoFormat*) const
{
    return fName.getFileLength() + fNote.getFileLength() + 8;
}

void CThing::readObject(CNeoStream* stream, NeoTag)
{
    fName.readObject(stream, kNameTag);
    fNote.readObject(stream, kNoteTag);
    fParent = stream->readID(kNeoParentTag);
    fNumber = stream->readLong(kNumberTag);
    ++gReads;
}

void CThing::writeObject(CNeoStream* stream, NeoTag)
{
    fName.writeObject(stream, kNameTag);
    fNote.writeObject(stream, kNoteTag);
    stream->writeID(fParent, kNeoParentTag);
    stream->writeLong(fNumber, kNumberTag);
}

BOOL CThing::getValue(NeoTag tag, NeoType type, void* value) const
{
    if ((tag == kNameTag || tag == kNoteTag) && type == kNeoStringType) {
        *static_cast<CNeoString*>(value) = (tag == kNameTag ? fName : fNote).getText();
        return TRUE;
    }
    if (tag == kNeoParentTag)
        return ConvertType(&fParent, kNeoULongType, value, type);
    if (tag == kNumberTag)
        return ConvertType(&fNumber, kNeoLongType, value, type);
    return FALSE;
}

std::string CThing::note() const
{
    const char* bytes = static_cast<const char*>(fNote.getBlob());
    return bytes ? std::string(bytes, fNote.getLength()) : std::string();
}

void RegisterThings()
{
    static bool done = false;
    if (done)
        return;
    done = true;
    CNeoMetaClass* thing = new CNeoMetaClass(kThingID, kNeoPersistID, "CThing", CThing::Create, 0, 0);
    thing->addKey(kNeoStringKey, kNameTag, 0, TRUE);
    thing->addKey(kNeoULongKey, kNeoParentTag, 0, TRUE);
    thing->addKey(kNeoLongKey, kNumberTag, 0, TRUE);
    new CNeoMetaClass(kSubThingID, kThingID, "CSubThing", CSubThing::Create, 0, 0);
    new CNeoMetaClass(kOtherID, kNeoPersistID, "COther", COther::Create, 0, 0);
}

CThing* MakeThing(NeoClassID classID, const char* name, NeoID parent, long number,
                  const std::string& note)
{
    CThing* thing = static_cast<CThing*>(CNeoMetaClass::GetMetaClass(classID)->create());
    thing->fName.setText(name);
    thing->fNote.setBlob(note.data(), (unsigned long)note.size());
    thing->fParent = parent;
    thing->fNumber = number;
    return thing;
}

CThing* FindThing(CNeoDatabase& db, NeoID id)
{
    CNeoIDSelect select(id);
    return static_cast<CThing*>(db.findObject(kNeoPersistID, &select));
}

std::string TextOf(CNeoException* e)
{
    std::string text = (const char*)e->getText();
    e->Delete();
    return text;
}
