// Memory files and in-memory databases that travel as bytes.
#include <model/object_stream.h>

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(MemoryFile, GrowsInSteps)
{
    MemoryFile file(1024);
    char byte = 'x';
    file.Write(&byte, 1);
    EXPECT_EQ(file.GetCapacity(), 1024UL);
    std::vector<char> more(1024, 'y');
    file.Write(more.data(), (unsigned long)more.size());
    EXPECT_EQ(file.GetCapacity(), 2048UL);
    EXPECT_EQ(file.GetLength(), 1025UL);
}

TEST(MemoryFile, SeekReadAndLengthRules)
{
    MemoryFile file(1024);
    file.Write("abcdef", 6);
    char buffer[8];
    EXPECT_EQ(file.Read(buffer, 4), 0UL);  // at the end
    EXPECT_EQ(file.Seek(3, 0), 3);
    EXPECT_EQ(file.Seek(0, 3), -1);
    EXPECT_EQ(file.GetPosition(), 3UL);
    EXPECT_EQ(file.Seek(-4, 1), -1);  // before the start
    EXPECT_EQ(file.Read(buffer, 8), 3UL);
    EXPECT_EQ(std::string(buffer, 3), "def");
    // Past the end, then a write: the length ends at the new bytes.
    EXPECT_EQ(file.Seek(10, 2), 16);
    file.Write("z", 1);
    EXPECT_EQ(file.GetLength(), 17UL);
    file.SetLength(5);
    EXPECT_EQ(file.GetPosition(), 5UL);
    EXPECT_EQ(file.GetLength(), 5UL);
}

TEST(MemoryFile, ClosedOrFixedFileRefusesToGrow)
{
    MemoryFile closed(1024);
    closed.Write("a", 1);
    closed.Close();
    EXPECT_EQ(closed.GetBuffer(), nullptr);
    CMemFileException* caught = NULL;
    try {
        closed.Write("a", 1);
    } catch (CMemFileException* e) {
        caught = e;
    }
    ASSERT_TRUE(caught);
    caught->Delete();

    MemoryFile fixed(0);
    EXPECT_NO_THROW(fixed.Write("", 0));
    caught = NULL;
    try {
        fixed.SetLength(1);
    } catch (CMemFileException* e) {
        caught = e;
    }
    ASSERT_TRUE(caught);
    caught->Delete();
}

// An in-memory database on an "RPC Stream" location.
struct MemoryDatabase {
    MemoryDatabase()
    {
        RegisterModelKeys(kServerProgram);
        db.setLocation(&location);
        db.reset();
        db.open(0xC0000000, TRUE);
    }
    std::vector<BYTE> Image()
    {
        db.commit();
        MemoryFile& file = static_cast<MemoryContainerStream*>(db.getStream())->GetMemoryFile();
        return std::vector<BYTE>(file.GetBuffer(), file.GetBuffer() + file.GetLength());
    }
    // Opens the bytes as this database's image, as a receiver does.
    void Load(const std::vector<BYTE>& image)
    {
        MemoryContainerStream* stream = new MemoryContainerStream(&db);
        stream->setLength((unsigned long)image.size(), TRUE);
        stream->setMark(0);
        stream->writeChunk(image.data(), (unsigned long)image.size());
        db.close();
        db.setStream(stream);
        db.open(0xC0000000, TRUE);
    }
    CNeoMemLocation location;
    CNeoDatabase db;
};

TEST(ObjectStream, ObjectsWithChildrenArriveIdentical)
{
    MemoryDatabase sender;
    CPPersistBase* parent = new CPPersistBase;
    parent->SetName("batch");
    parent->SetDescription("sent across");
    parent->setID(900);
    sender.db.addObject(parent);
    for (int i = 0; i < 3; ++i) {
        CPPersistBase* child = new CPPersistBase;
        CString name;
        name.Format("step %d", i);
        child->SetName(name);
        child->SetParentID(900);
        child->SetRunInstance(i == 2);
        sender.db.addObject(child);
        child->unrefer();
    }
    parent->unrefer();
    std::vector<BYTE> image = sender.Image();

    MemoryDatabase receiver;
    receiver.Load(image);
    CNeoIDSelect byID(900);
    CPPersistBase* back = static_cast<CPPersistBase*>(receiver.db.findObject(kClassPersistBase, &byID));
    ASSERT_TRUE(back);
    EXPECT_EQ(back->GetDescription(), "sent across");
    back->unrefer();
    CObArray children;
    FindChildren(&receiver.db, kClassPersistBase, 900, TRUE, &children);
    ASSERT_EQ(children.GetSize(), 3);
    EXPECT_EQ(static_cast<CPPersistBase*>(children[2])->GetName(), "step 2");
    EXPECT_EQ(static_cast<CPPersistBase*>(children[2])->GetRunInstance(), 1);
    ReleaseObjects(children);
    EXPECT_TRUE(receiver.location.isEqual(&sender.location));
    EXPECT_EQ(receiver.location.getName(), "RPC Stream");
}

TEST(ObjectStream, MalformedImagesFailWithAnError)
{
    MemoryDatabase sender;
    CPPersistBase* object = new CPPersistBase;
    object->SetName("x");
    sender.db.addObject(object);
    object->unrefer();
    std::vector<BYTE> image = sender.Image();

    std::vector<std::vector<BYTE>> bad = {
        std::vector<BYTE>(image.begin(), image.begin() + image.size() - 3),  // cut short
        std::vector<BYTE>(image.begin(), image.begin() + 100),               // header only
        std::vector<BYTE>(2000, 0xAB),                                        // noise
    };
    bad.push_back(image);
    bad.back()[image.size() - 2] ^= 0x40;  // a record byte changed
    for (const auto& bytes : bad) {
        MemoryDatabase receiver;
        CNeoException* caught = NULL;
        try {
            receiver.Load(bytes);
        } catch (CNeoException* e) {
            caught = e;
        }
        ASSERT_TRUE(caught) << bytes.size();
        caught->Delete();
        EXPECT_FALSE(receiver.db.isOpen());
    }
}

}  // namespace
