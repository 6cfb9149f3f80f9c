// A list of object IDs kept inside a persistent object as one blob field.
#ifndef MODEL_ID_ARRAY_H
#define MODEL_ID_ARRAY_H

#include <model/persist_base.h>

// The blob is what is stored and sent: the IDs as an archived CDWordArray.
// The working array is rebuilt from the blob before each use, so every copy
// of the owner sees the list as last stored.
class PersistentIdArray {
public:
    explicit PersistentIdArray(CPPersistBase* owner);
    PersistentIdArray(const PersistentIdArray&) = delete;
    PersistentIdArray& operator=(const PersistentIdArray&) = delete;

    // Rebuilds the working array from the blob (empty blob: empty list).
    void Load();
    // Archives the working array into the blob.
    void Store();

    void Append(const CNeoPersist* object);
    // Takes the first ID out of the list and returns that step from the
    // owner's database, referenced; NULL when the list is empty or the step
    // is gone.
    CPPersistBase* PopFirst();
    void RemoveAll();
    // The object of a class with the ID at `index` of the working array as
    // last loaded (no reload), referenced, or NULL.
    CPPersistBase* FindObjectAt(int index, CNeoDatabase* database, NeoClassID classID) const;
    int GetCount();

    const ENeoBlob& GetBlob() const { return m_blob; }

    // The owner's record operations.
    void update(const PersistentIdArray& other) { m_blob = other.m_blob; }
    long getFileLength() const { return m_blob.getFileLength(); }
    void readObject(CNeoStream* stream, NeoTag tag) { m_blob.readObject(stream, tag); }
    void writeObject(CNeoStream* stream, NeoTag tag) const { m_blob.writeObject(stream, tag); }

private:
    CPPersistBase* m_owner;
    ENeoBlob m_blob;
    CDWordArray m_ids;
};

#endif
