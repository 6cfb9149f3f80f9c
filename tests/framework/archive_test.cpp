// Byte-exact archive fixtures and the error paths of loading.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <functional>
#include <vector>

typedef std::vector<BYTE> Bytes;

// A serializable node that can point at another node.
class CNode : public CObject
{
    DECLARE_SERIAL(CNode)
public:
    CNode() : m_nValue(0), m_pOther(NULL) {}
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
            ar << m_nValue << m_pOther;
        else
            ar >> m_nValue >> m_pOther;
    }
    WORD m_nValue;
    CNode* m_pOther;
};
IMPLEMENT_SERIAL(CNode, CObject, 1)

// Schema 2 that still reads what older schemas stored. It asks for its
// schema after loading its child, which has a schema of its own.
class CVersioned : public CObject
{
    DECLARE_SERIAL(CVersioned)
public:
    CVersioned() : m_nLoadedSchema(0), m_pChild(NULL) {}
    ~CVersioned() { delete m_pChild; }
    void Serialize(CArchive& ar) override
    {
        if (ar.IsStoring())
        {
            ar << m_pChild;
            return;
        }
        ar >> m_pChild;
        m_nLoadedSchema = ar.GetObjectSchema();
    }
    UINT m_nLoadedSchema;
    CNode* m_pChild;
};
IMPLEMENT_SERIAL(CVersioned, CObject, VERSIONABLE_SCHEMA | 2)

static Bytes Store(const std::function<void(CArchive&)>& write)
{
    CMemFile file;
    CArchive ar(&file, CArchive::store);
    write(ar);
    ar.Close();
    Bytes bytes(file.GetLength());
    file.SeekToBegin();
    file.Read(bytes.data(), (UINT)bytes.size());
    return bytes;
}

// Loads from a copy of bytes; the archive reads through a small buffer so
// refills happen inside values.
static void Load(Bytes bytes, const std::function<void(CArchive&)>& read)
{
    CMemFile file(bytes.data(), (UINT)bytes.size());
    CArchive ar(&file, CArchive::load, 128);
    read(ar);
}

static Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes all;
    for (const Bytes& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

static Bytes Text(const char* lpsz)
{
    return Bytes(lpsz, lpsz + strlen(lpsz));
}

// Runs read over the bytes; returns the cause of the archive exception
// it threw, or CArchiveException::none.
static int ArchiveErrorOf(const Bytes& bytes, const std::function<void(CArchive&)>& read)
{
    try
    {
        Load(bytes, read);
    }
    catch (CArchiveException* e)
    {
        int cause = e->m_cause;
        e->Delete();
        return cause;
    }
    return CArchiveException::none;
}

static void ReadOneObject(CArchive& ar)
{
    delete ar.ReadObject(NULL);
}

TEST(ArchiveFormat, ValuesAreLittleEndian)
{
    Bytes bytes = Store([](CArchive& ar) {
        ar << (BYTE)0x01 << (WORD)0x0203 << (LONG)-2 << (DWORD)0x04050607 << (int)8 << (short)-1
           << 'c' << 9u << 1.0f << -2.5;
    });
    Bytes expected = { 0x01, 0x03, 0x02, 0xFE, 0xFF, 0xFF, 0xFF, 0x07, 0x06, 0x05, 0x04,
                       0x08, 0x00, 0x00, 0x00, 0xFF, 0xFF, 'c',  0x09, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x04, 0xC0 };
    EXPECT_EQ(expected, bytes);

    Load(bytes, [](CArchive& ar) {
        BYTE by; WORD w; LONG l; DWORD dw; int i; short s; char ch; unsigned u; float f; double d;
        ar >> by >> w >> l >> dw >> i >> s >> ch >> u >> f >> d;
        EXPECT_EQ(0x01, by);
        EXPECT_EQ(0x0203, w);
        EXPECT_EQ(-2, l);
        EXPECT_EQ(0x04050607u, dw);
        EXPECT_EQ(8, i);
        EXPECT_EQ(-1, s);
        EXPECT_EQ('c', ch);
        EXPECT_EQ(9u, u);
        EXPECT_EQ(1.0f, f);
        EXPECT_EQ(-2.5, d);
    });
}

TEST(ArchiveFormat, StringLengthPrefixes)
{
    struct Case
    {
        int nLength;
        Bytes prefix;
    };
    const Case cases[] = {
        { 0, { 0x00 } },
        { 254, { 0xFE } },
        { 255, { 0xFF, 0xFF, 0x00 } },
        { 0xFFFE, { 0xFF, 0xFE, 0xFF } },
        { 0xFFFF, { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00 } },
        { 0x10000, { 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x01, 0x00 } },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.nLength);
        CString str('x', c.nLength);
        if (c.nLength > 0)
            str.SetAt(c.nLength - 1, 'y');  // the last character must arrive too
        Bytes bytes = Store([&](CArchive& ar) { ar << str; });
        ASSERT_EQ(c.prefix.size() + c.nLength, bytes.size());
        EXPECT_EQ(c.prefix, Bytes(bytes.begin(), bytes.begin() + c.prefix.size()));
        Load(bytes, [&](CArchive& ar) {
            CString loaded("old");
            ar >> loaded;
            EXPECT_TRUE(loaded == str);
        });
    }
}

TEST(ArchiveFormat, CountEscape)
{
    struct Case
    {
        DWORD dwCount;
        Bytes bytes;
    };
    const Case cases[] = {
        { 0xFFFE, { 0xFE, 0xFF } },
        { 0xFFFF, { 0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00 } },
        { 0x12345678, { 0xFF, 0xFF, 0x78, 0x56, 0x34, 0x12 } },
    };
    for (const Case& c : cases)
    {
        EXPECT_EQ(c.bytes, Store([&](CArchive& ar) { ar.WriteCount(c.dwCount); }));
        Load(c.bytes, [&](CArchive& ar) { EXPECT_EQ(c.dwCount, ar.ReadCount()); });
    }
}

// Class CNode written once, then referred to by index; objects numbered
// after it: class 1, first node 2, second node 3.
static const Bytes kTwoNodesFixture = Concat({
    { 0x04, 0x00 },                                   // count
    { 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00 }, Text("CNode"),
    { 0x0A, 0x00, 0x00, 0x00 },                       // node 10, null
    { 0x01, 0x80, 0x14, 0x00, 0x02, 0x00 },           // class 1: node 20 -> node 10
    { 0x02, 0x00 },                                   // node 10 again
    { 0x00, 0x00 },                                   // null
});

TEST(ArchiveObjects, ClassRecordOnceThenBackReferences)
{
    CNode first, second;
    first.m_nValue = 10;
    second.m_nValue = 20;
    second.m_pOther = &first;
    CObArray array;
    array.Add(&first);
    array.Add(&second);
    array.Add(&first);
    array.Add(NULL);
    EXPECT_EQ(kTwoNodesFixture, Store([&](CArchive& ar) { array.Serialize(ar); }));

    Load(kTwoNodesFixture, [](CArchive& ar) {
        CObArray loaded;
        loaded.Serialize(ar);
        ASSERT_EQ(4, loaded.GetSize());
        CNode* pFirst = DYNAMIC_DOWNCAST(CNode, loaded[0]);
        CNode* pSecond = DYNAMIC_DOWNCAST(CNode, loaded[1]);
        ASSERT_TRUE(pFirst != NULL && pSecond != NULL);
        EXPECT_EQ(10, pFirst->m_nValue);
        EXPECT_EQ(20, pSecond->m_nValue);
        EXPECT_EQ(pFirst, pSecond->m_pOther);
        EXPECT_EQ(pFirst, loaded[2]);
        EXPECT_EQ(NULL, loaded[3]);
        delete pFirst;
        delete pSecond;
    });
}

TEST(ArchiveObjects, CyclicPairLoads)
{
    CNode a, b;
    a.m_pOther = &b;
    b.m_pOther = &a;
    Bytes bytes = Store([&](CArchive& ar) { ar << &a; });

    Load(bytes, [](CArchive& ar) {
        CNode* pA;
        ar >> pA;
        ASSERT_TRUE(pA->m_pOther != NULL);
        EXPECT_EQ(pA, pA->m_pOther->m_pOther);
        delete pA->m_pOther;
        delete pA;
    });
}

TEST(ArchiveObjects, LargeIndicesUseTheEscape)
{
    // Class 1 and objects 2..0x8000 fill the short tag range.
    std::vector<CNode> nodes(0x7FFF);
    CVersioned v1, v2;
    Bytes bytes = Store([&](CArchive& ar) {
        for (CNode& node : nodes)
            ar << &node;
        ar << &v1 << &v2 << &nodes.back();
    });

    Bytes newClassV1 = Concat({ { 0xFF, 0xFF, 0x02, 0x00, 0x0A, 0x00 }, Text("CVersioned") });
    Bytes tail = Concat({ newClassV1, { 0x00, 0x00 },                  // null child
                          { 0xFF, 0x7F, 0x01, 0x80, 0x00, 0x80 },   // class 0x8001
                          { 0x00, 0x00 },
                          { 0xFF, 0x7F, 0x00, 0x80, 0x00, 0x00 } }); // object 0x8000
    ASSERT_GT(bytes.size(), tail.size());
    EXPECT_EQ(tail, Bytes(bytes.end() - tail.size(), bytes.end()));

    Load(bytes, [&](CArchive& ar) {
        std::vector<CObject*> loaded;
        for (size_t i = 0; i < nodes.size() + 3; i++)
            loaded.push_back(ar.ReadObject(NULL));
        EXPECT_EQ(loaded[nodes.size() - 1], loaded.back());
        EXPECT_TRUE(loaded[nodes.size() + 1]->IsKindOf(RUNTIME_CLASS(CVersioned)));
        loaded.pop_back();
        for (CObject* pOb : loaded)
            delete pOb;
    });
}

TEST(ArchiveObjects, VersionableClassReadsOlderSchema)
{
    Bytes bytes = Concat({ { 0xFF, 0xFF, 0x01, 0x00, 0x0A, 0x00 }, Text("CVersioned"),
                           { 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00 }, Text("CNode"),
                           { 0x05, 0x00, 0x00, 0x00 } });
    Load(bytes, [](CArchive& ar) {
        CVersioned* p;
        ar >> p;
        EXPECT_EQ(1u, p->m_nLoadedSchema);
        ASSERT_TRUE(p->m_pChild != NULL);
        EXPECT_EQ(5, p->m_pChild->m_nValue);
        delete p;
    });
}

TEST(ArchiveObjects, MalformedInputThrows)
{
    struct Case
    {
        const char* name;
        Bytes bytes;
        int cause;
    };
    const Case cases[] = {
        { "unknown class", Concat({ { 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00 }, Text("CNone") }),
          CArchiveException::badClass },
        { "schema mismatch", Concat({ { 0xFF, 0xFF, 0x02, 0x00, 0x05, 0x00 }, Text("CNode") }),
          CArchiveException::badSchema },
        { "object index unknown", { 0x05, 0x00 }, CArchiveException::badIndex },
        { "class index unknown", { 0x05, 0x80 }, CArchiveException::badIndex },
        { "escaped index unknown", { 0xFF, 0x7F, 0x01, 0x00, 0x00, 0x80 },
          CArchiveException::badIndex },
        { "class used as object",
          Concat({ { 0xFF, 0xFF, 0x01, 0x00, 0x05, 0x00 }, Text("CNode"),
                   { 0x00, 0x00, 0x01, 0x00 } }),
          CArchiveException::badIndex },
        { "name length too long", { 0xFF, 0xFF, 0x01, 0x00, 0xFF, 0xFF },
          CArchiveException::badClass },
        { "class not serializable", Concat({ { 0xFF, 0xFF, 0xFF, 0xFF, 0x07, 0x00 }, Text("CObject") }),
          CArchiveException::badClass },
    };
    for (const Case& c : cases)
    {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.cause, ArchiveErrorOf(c.bytes, ReadOneObject));
    }
}

TEST(ArchiveObjects, WrongRequestedClassThrowsBadClass)
{
    CNode node;
    Bytes bytes = Store([&](CArchive& ar) { ar << &node << &node; });
    EXPECT_EQ(CArchiveException::badClass, ArchiveErrorOf(bytes, [](CArchive& ar) {
                  ar.ReadObject(RUNTIME_CLASS(CVersioned));
              }));

    // A back-reference to an object of another class is refused too.
    CObject* pFirst = NULL;
    EXPECT_EQ(CArchiveException::badClass, ArchiveErrorOf(bytes, [&](CArchive& ar) {
                  pFirst = ar.ReadObject(RUNTIME_CLASS(CNode));
                  ar.ReadObject(RUNTIME_CLASS(CVersioned));
              }));
    delete pFirst;
}

TEST(ArchiveObjects, TruncatedInputThrowsEndOfFile)
{
    for (size_t n = 0; n < kTwoNodesFixture.size(); n++)
    {
        SCOPED_TRACE(n);
        Bytes prefix(kTwoNodesFixture.begin(), kTwoNodesFixture.begin() + n);
        EXPECT_EQ(CArchiveException::endOfFile, ArchiveErrorOf(prefix, [](CArchive& ar) {
                      CObArray loaded;
                      loaded.Serialize(ar);
                  }));
    }

    // A huge string length with little data behind it fails without
    // allocating that length.
    Bytes hugeString = { 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F, 'a' };
    EXPECT_EQ(CArchiveException::endOfFile, ArchiveErrorOf(hugeString, [](CArchive& ar) {
                  CString str;
                  ar >> str;
              }));
}
