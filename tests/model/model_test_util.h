// Helpers of the model tests: an in-memory database and record round trips.
#ifndef TESTS_MODEL_MODEL_TEST_UTIL_H
#define TESTS_MODEL_MODEL_TEST_UTIL_H

#include <model/object_stream.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "temp_path.h"

// An empty in-memory database with the server's index keys.
struct InMemoryDatabase {
    InMemoryDatabase()
    {
        RegisterModelKeys(kServerProgram);
        db.setLocation(&location);
        ResetImage(&db);
    }
    CNeoDatabase* operator->() { return &db; }
    CNeoDatabase* get() { return &db; }

    // Adds a new object with a fixed ID and drops the creator's reference;
    // the database keeps the object.
    template <class T>
    T* Add(T* object, NeoID id)
    {
        object->setID(id);
        db.addObject(object);
        object->unrefer();
        return object;
    }

    // The committed image's bytes, as a sender ships them.
    std::vector<BYTE> Image()
    {
        unsigned long length = 0;
        const BYTE* bytes = GetImageBytes(&db, &length);
        return std::vector<BYTE>(bytes, bytes + length);
    }
    // Opens bytes as this database's image, as a receiver does.
    void Load(const std::vector<BYTE>& image)
    {
        LoadImage(&db, image.data(), (unsigned long)image.size());
    }

    CNeoMemLocation location;
    CNeoDatabase db;
};

// The image a sender writes of a stored object with its children.
inline std::vector<BYTE> EncodedImage(CNeoDatabase* source, CPPersistBase* object)
{
    CNeoImageWriter writer;
    writer.start();
    CopyIntoImage(&writer, source, object);
    unsigned long length = 0;
    const BYTE* bytes = writer.finish(&length);
    return std::vector<BYTE>(bytes, bytes + length);
}

// A fresh database file of the test process's own, with the server's index
// keys.
class FileDatabase {
public:
    explicit FileDatabase(const std::string& name) : m_path(TempPath(name)) { Open(); }
    ~FileDatabase() { delete m_db; }
    // Closes the file and opens it again.
    void Reopen()
    {
        delete m_db;
        Open();
    }
    CNeoDatabase* operator->() { return m_db; }
    CNeoDatabase* get() { return m_db; }
    const std::string& path() const { return m_path; }

private:
    void Open()
    {
        RegisterModelKeys(kServerProgram);
        m_db = new CNeoDatabase;
        m_db->setStream(new CNeoFileStream(m_db, m_path.c_str()));
        m_db->open(0xC0000000, TRUE);
    }
    std::string m_path;
    CNeoDatabase* m_db = NULL;
};

// The IDs of the objects of a class (with subclasses) under a parent, in ID
// order.
inline std::vector<NeoID> ChildIDs(CNeoDatabase* db, NeoClassID classID, NeoID parent)
{
    CNeoFoundObjects found;
    FindChildren(db, classID, parent, TRUE, &found);
    std::vector<NeoID> ids;
    for (int i = 0; i < found.GetSize(); ++i)
        ids.push_back(found.at<CNeoPersist>(i)->getID());
    return ids;
}

// The record an object writes in a format kind; its length must be what
// getFileLength says.
inline std::vector<BYTE> Record(CNeoPersist* object, short kind)
{
    CNeoBufferStream out(NeoGetFormat(kind));
    object->writeObject(&out, 'tagx');
    EXPECT_EQ((long)out.length(), object->getFileLength(NeoGetFormat(kind)));
    return std::vector<BYTE>(out.data(), out.data() + out.length());
}

// Reads a whole record into an object.
inline void ReadRecord(CNeoPersist* object, const std::vector<BYTE>& bytes, short kind)
{
    CNeoBufferStream in(bytes.data(), (unsigned long)bytes.size(), NeoGetFormat(kind));
    object->readObject(&in, 'tagx');
    EXPECT_EQ(in.getMark(), bytes.size());
}

#endif
