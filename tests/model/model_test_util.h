// Helpers of the model tests: an in-memory database and record round trips.
#ifndef TESTS_MODEL_MODEL_TEST_UTIL_H
#define TESTS_MODEL_MODEL_TEST_UTIL_H

#include <model/object_stream.h>

#include <gtest/gtest.h>

#include <vector>

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

    CNeoMemLocation location;
    CNeoDatabase db;
};

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
