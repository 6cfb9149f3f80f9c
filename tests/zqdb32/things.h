// Small persistent classes for the database tests.
#ifndef TESTS_ZQDB32_THINGS_H
#define TESTS_ZQDB32_THINGS_H

#include <zqdb32/zqdb32.h>

#include <string>

const NeoClassID kThingID = 5001;      // keys: name, parent, number
const NeoClassID kSubThingID = 5002;   // registered under kThingID
const NeoClassID kOtherID = 5003;      // unrelated, under kNeoPersistID

const NeoTag kNameTag = 'name';
const NeoTag kNumberTag = 'numb';
const NeoTag kNoteTag = 'note';        // answered by getValue, not indexed

class CThing : public CNeoPersistMFC {
public:
    static CNeoPersist* Create() { return new CThing; }
    virtual NeoClassID getClassID() const { return kThingID; }
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const;
    virtual BOOL isPurgeable() const { return !fKeepInMemory; }

    std::string name() const { return (const char*)fName.getText(); }
    std::string note() const;

    ENeoBlob fName;
    ENeoBlob fNote;
    NeoID fParent = 0;
    long fNumber = 0;
    BOOL fKeepInMemory = FALSE;  // run-time state, not stored

    static long gReads;  // records read from a database
};

class CSubThing : public CThing {
public:
    static CNeoPersist* Create() { return new CSubThing; }
    virtual NeoClassID getClassID() const { return kSubThingID; }
};

class COther : public CThing {
public:
    static CNeoPersist* Create() { return new COther; }
    virtual NeoClassID getClassID() const { return kOtherID; }
};

// Registers the classes and their keys once; call before opening a database.
void RegisterThings();

// A new object of the class with the fields set (use count 1).
CThing* MakeThing(NeoClassID classID, const char* name, NeoID parent, long number,
                  const std::string& note = "");

// The object with the ID as a CThing (referenced), or NULL.
CThing* FindThing(CNeoDatabase& db, NeoID id);

// The text of a CNeoException, which the caller has thrown away.
std::string TextOf(CNeoException* e);

#endif
