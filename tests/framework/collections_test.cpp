// Arrays, lists and maps.
#include <framework/framework.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

template<class ARRAY>
static std::vector<DWORD> Items(const ARRAY& array)
{
    std::vector<DWORD> items;
    for (int i = 0; i < array.GetSize(); i++)
        items.push_back(array[i]);
    return items;
}

TEST(Arrays, InsertRemoveAndGrow)
{
    CDWordArray a;
    EXPECT_EQ(-1, a.GetUpperBound());
    EXPECT_EQ(0, a.Add(1));
    EXPECT_EQ(1, a.Add(4));
    a.InsertAt(1, 2, 2);                      // 1 2 2 4
    a.SetAt(2, 3);                            // 1 2 3 4
    EXPECT_EQ((std::vector<DWORD>{ 1, 2, 3, 4 }), Items(a));
    a.RemoveAt(0, 2);
    EXPECT_EQ((std::vector<DWORD>{ 3, 4 }), Items(a));
    a.SetAtGrow(4, 9);                        // gap filled with zeros
    EXPECT_EQ((std::vector<DWORD>{ 3, 4, 0, 0, 9 }), Items(a));
    a.InsertAt(7, 5);                         // past the end also grows
    EXPECT_EQ(8, a.GetSize());
    EXPECT_EQ(5u, a[7]);
    a.ElementAt(0) = 7;
    a[1] = 8;
    EXPECT_EQ(7u, a.GetData()[0]);
    EXPECT_EQ(8u, a.GetAt(1));

    CDWordArray b;
    b.Add(100);
    EXPECT_EQ(8, a.Append(b));
    EXPECT_EQ(100u, a[8]);
    a.InsertAt(0, &b);
    EXPECT_EQ(100u, a[0]);
    EXPECT_EQ(7u, a[1]);
    b.Copy(a);
    EXPECT_EQ(Items(a), Items(b));

    a.SetSize(2, 16);
    EXPECT_EQ((std::vector<DWORD>{ 100, 7 }), Items(a));
    a.RemoveAll();
    EXPECT_EQ(0, a.GetSize());
}

TEST(Arrays, StringAndObjectArrays)
{
    CStringArray strings;
    strings.Add("one");
    strings.Add(CString("two"));
    strings.InsertAt(0, "zero");
    strings.RemoveAt(1);
    ASSERT_EQ(2, strings.GetSize());
    EXPECT_STREQ("zero", strings[0]);
    EXPECT_STREQ("two", strings[1]);

    CObArray objects;
    CObArray inner;
    objects.Add(&inner);
    EXPECT_EQ(&inner, objects[0]);
    EXPECT_TRUE(objects.IsKindOf(RUNTIME_CLASS(CObArray)));
    EXPECT_TRUE(objects.IsSerializable());
    CPtrArray pointers;
    EXPECT_FALSE(pointers.IsSerializable());
}

TEST(Arrays, SerializeRoundTrip)
{
    CMemFile file;
    {
        CDWordArray dwords;
        dwords.Add(0x11223344);
        CByteArray bytes;
        bytes.Add(7);
        CStringArray strings;
        strings.Add("a");
        strings.Add("bc");
        CArchive ar(&file, CArchive::store);
        dwords.Serialize(ar);
        bytes.Serialize(ar);
        strings.Serialize(ar);
    }
    EXPECT_EQ(2u + 4 + 2 + 1 + 2 + 2 + 3, file.GetLength());

    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    CDWordArray dwords;
    dwords.Add(5);  // loading replaces the contents
    CByteArray bytes;
    CStringArray strings;
    dwords.Serialize(ar);
    bytes.Serialize(ar);
    strings.Serialize(ar);
    ASSERT_EQ(1, dwords.GetSize());
    EXPECT_EQ(0x11223344u, dwords[0]);
    ASSERT_EQ(1, bytes.GetSize());
    EXPECT_EQ(7, bytes[0]);
    ASSERT_EQ(2, strings.GetSize());
    EXPECT_STREQ("bc", strings[1]);
}

TEST(CArrayTemplate, HoldsClassValues)
{
    CArray<std::string, const std::string&> a;
    a.SetSize(0, 3);
    for (int i = 0; i < 10; i++)
        a.Add(std::string(i + 1, 'x'));
    a.InsertAt(5, "mid", 2);
    a.RemoveAt(0, 3);
    ASSERT_EQ(9, a.GetSize());
    EXPECT_EQ("xxxx", a[0]);
    EXPECT_EQ("mid", a[2]);
    EXPECT_EQ("mid", a[3]);
    EXPECT_EQ(std::string(10, 'x'), a[8]);
    a.FreeExtra();
    EXPECT_EQ(9, a.GetSize());
}

template<class LIST>
static std::string Joined(const LIST& list)
{
    std::string all;
    for (POSITION pos = list.GetHeadPosition(); pos != NULL;)
        all += list.GetNext(pos);
    return all;
}

TEST(Lists, PositionOperations)
{
    CStringList list(2);  // small blocks: nodes come from several blocks
    list.AddTail("c");
    list.AddHead("a");
    POSITION posC = list.GetTailPosition();
    POSITION posB = list.InsertBefore(posC, "b");
    list.InsertAfter(posC, "d");
    list.AddTail("e");
    EXPECT_EQ("abcde", Joined(list));
    EXPECT_EQ(5, list.GetCount());

    EXPECT_EQ(posB, list.Find("b"));
    EXPECT_EQ(NULL, list.Find("b", posB));
    EXPECT_EQ(posC, list.FindIndex(2));
    EXPECT_EQ(NULL, list.FindIndex(5));

    list.SetAt(posB, "B");
    list.RemoveAt(posC);
    EXPECT_STREQ("a", list.RemoveHead());
    EXPECT_STREQ("e", list.RemoveTail());
    EXPECT_EQ("Bd", Joined(list));
    EXPECT_STREQ("B", list.GetHead());
    EXPECT_STREQ("d", list.GetTail());

    std::string backwards;
    for (POSITION pos = list.GetTailPosition(); pos != NULL;)
        backwards += list.GetPrev(pos);
    EXPECT_EQ("dB", backwards);

    list.RemoveAll();
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(NULL, list.GetHeadPosition());
    list.AddTail("again");
    EXPECT_EQ("again", Joined(list));
}

TEST(Lists, ObListSerializesObjectReferences)
{
    CObList list;
    CObArray shared;
    list.AddTail(&shared);
    list.AddTail(&shared);
    list.AddTail((CObject*)NULL);

    CMemFile file;
    {
        CArchive ar(&file, CArchive::store);
        list.Serialize(ar);
    }
    file.SeekToBegin();
    CArchive ar(&file, CArchive::load);
    CObList loaded;
    CObArray existing;
    loaded.AddTail(&existing);  // loading appends
    loaded.Serialize(ar);
    ASSERT_EQ(4, loaded.GetCount());
    POSITION pos = loaded.GetHeadPosition();
    EXPECT_EQ(&existing, loaded.GetNext(pos));
    CObject* pFirst = loaded.GetNext(pos);
    EXPECT_TRUE(pFirst->IsKindOf(RUNTIME_CLASS(CObArray)));
    EXPECT_EQ(pFirst, loaded.GetNext(pos));
    EXPECT_EQ(NULL, loaded.GetNext(pos));
    delete pFirst;
}

// Keys in iteration order, which shows the bucket each key went to.
template<class MAP, class KEY, class VALUE>
static std::vector<KEY> KeysInOrder(const MAP& map)
{
    std::vector<KEY> keys;
    for (POSITION pos = map.GetStartPosition(); pos != NULL;)
    {
        KEY key;
        VALUE value;
        map.GetNextAssoc(pos, key, value);
        keys.push_back(key);
    }
    return keys;
}

TEST(Maps, WordKeysHashByValueShiftedRightFour)
{
    CMapWordToPtr map;
    EXPECT_EQ(17u, map.GetHashTableSize());
    // Hashes 2, 1, 16, 0 (0x110 >> 4 = 17 wraps to bucket 0); 0x12 shares bucket 1.
    const WORD keys[] = { 0x20, 0x10, 0x100, 0x110, 0x12 };
    for (WORD key : keys)
        map.SetAt(key, (void*)(DWORD_PTR)(key + 1));
    EXPECT_EQ((std::vector<WORD>{ 0x110, 0x12, 0x10, 0x20, 0x100 }),
              (KeysInOrder<CMapWordToPtr, WORD, void*>(map)));

    void* pValue = NULL;
    EXPECT_TRUE(map.Lookup(0x12, pValue));
    EXPECT_EQ((void*)0x13, pValue);
    EXPECT_FALSE(map.Lookup(0x13, pValue));
    EXPECT_TRUE(map.RemoveKey(0x12));
    EXPECT_FALSE(map.RemoveKey(0x12));
    EXPECT_EQ(4, map.GetCount());
    map[0x10] = (void*)5;
    EXPECT_TRUE(map.Lookup(0x10, pValue));
    EXPECT_EQ((void*)5, pValue);
}

TEST(Maps, StringHashAndInitHashTable)
{
    CMapStringToString map;
    map.InitHashTable(7);
    EXPECT_EQ(7u, map.GetHashTableSize());
    // "a" = 97 -> 6, "b" = 98 -> 0, "ab" = 97 * 33 + 98 = 3299 -> 2.
    map.SetAt("a", "1");
    map.SetAt("b", "2");
    map.SetAt("ab", "3");
    EXPECT_EQ((std::vector<CString>{ "b", "ab", "a" }),
              (KeysInOrder<CMapStringToString, CString, CString>(map)));

    map.InitHashTable(31);  // ignored once entries exist
    EXPECT_EQ(7u, map.GetHashTableSize());

    CString value;
    EXPECT_TRUE(map.Lookup("ab", value));
    EXPECT_STREQ("3", value);
    map["ab"] = "changed";
    EXPECT_TRUE(map.Lookup(CString("ab"), value));
    EXPECT_STREQ("changed", value);
    map.RemoveAll();
    EXPECT_EQ(0, map.GetCount());
    EXPECT_EQ(NULL, map.GetStartPosition());
}

TEST(Maps, PointerKeysAndManyEntries)
{
    CMapPtrToPtr map(3);
    std::vector<int> cells(200);
    for (int i = 0; i < 200; i++)
        map[&cells[i]] = (void*)(DWORD_PTR)i;
    EXPECT_EQ(200, map.GetCount());
    for (int i = 0; i < 200; i += 2)
        EXPECT_TRUE(map.RemoveKey(&cells[i]));
    EXPECT_EQ(100, map.GetCount());
    void* pValue;
    EXPECT_FALSE(map.Lookup(&cells[10], pValue));
    ASSERT_TRUE(map.Lookup(&cells[11], pValue));
    EXPECT_EQ((void*)11, pValue);
    EXPECT_EQ(100u, (KeysInOrder<CMapPtrToPtr, void*, void*>(map).size()));
}

TEST(Maps, TemplateWithCStringKeys)
{
    CMap<CString, const CString&, int, int> map;
    map[CString("x")] = 1;
    map.SetAt(CString("y"), 2);
    int n = 0;
    EXPECT_TRUE(map.Lookup(CString("y"), n));
    EXPECT_EQ(2, n);
    EXPECT_EQ(HashKey<LPCTSTR>("x"), HashKey<const CString&>(CString("x")));
}
