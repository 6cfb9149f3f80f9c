// zqdb32: the object database of Vantorel.
//
// WHAT A DATABASE FILE GUARANTEES
// - Commits are atomic and durable, at one flush (FlushFileBuffers) each. A
//   commit appends the changed objects as one block that carries its own
//   checksummed commit record (offset, sequence number, length, checksum of
//   the body) and flushes. Two checksummed header slots hold checkpoints:
//   how far the log is known to reach. They are written when the file is
//   created or compacted, when IDs are reserved, at close(), and every
//   256 KB of log (then inside a commit's own flush). A file grows by whole
//   steps of 256 KB of zeros, written with the commit that needs them, so
//   that most commits write inside the file; open finds the end of the log
//   from the blocks themselves, and close() cuts the file back to it.
//   Whenever the process or the machine dies, reopening gives exactly the
//   last commit whose flush completed, or the one that was being written if
//   all of it reached the disk; never a mix, and never a file that will not
//   open: a last block cut off while it was written is dropped, and the next
//   commit overwrites it. Files that end with their log open as before.
// - A damaged file (bad header slots, a file shorter than its checkpoint, a
//   block before the checkpoint that fails its checksum, a broken block with
//   a valid later commit after it, impossible lengths or unknown classes) is
//   refused by open() with a CNeoException that names the file and the
//   damage. Past the last checkpoint, damage to the last block, or a cut
//   through it, cannot be told from a commit cut off: the file opens with
//   the commits before it.
// - An object ID, once handed out by addObject or getUniqueID, is never handed
//   out again, also after a crash that lost the commit: IDs are reserved in
//   ranges, and a range is written to disk (a checkpoint with its own flush)
//   before its first ID is used.
// - Busy marks live in memory only.
// - In-memory databases use the same image format; their bytes can be sent
//   and opened elsewhere, and malformed bytes fail with a CNeoException (an
//   image in memory has no torn last commit: every block must be whole).
//
// LIMITS AND COSTS
// - One database in one process opens a file at a time: the file is opened
//   without write sharing, so a second open, from this process or another,
//   fails with a CNeoException (kIO) saying that the file is already open.
// - A file holds at most 4 GB (32-bit offsets); a commit that would pass it
//   fails. open() reads the whole file into memory once and keeps every
//   object of it in memory, so in a 32-bit process a file of a few hundred
//   MB is the practical limit.
// - An object's record is written whole into its commit's block and read
//   whole; records are not limited below the file's size, but a commit
//   builds its block in memory.
// - CNeoString, string keys and string selections hold at most 255
//   characters: longer texts (kept in an ENeoBlob) are indexed and compared
//   by their first 255.
// - Compaction: when the bytes of replaced and removed records pass those of
//   the current records by more than 64 KB, a commit rewrites the whole
//   file (a new file beside it, flushed, then renamed over the old one).
// - A search goes through the index of its most selective key (of an AND
//   selection, the term whose key has the fewest index entries), reading
//   only the objects under that key; a selection with no indexed key reads
//   every object of the class.
// - purge() walks every object held in memory; an object it drops is read
//   again from the file, one read each, when it is next used.
//
// OBJECTS IN MEMORY
// - While an object is referenced (use count above 0), findObject returns that
//   same in-memory object.
// - purge() drops only objects that are unreferenced, committed, not busy and
//   whose isPurgeable() allows it, so run-time state kept on an object and
//   unsaved changes are never lost to the cache.
//
// LOCKING (see gNeoCritical below)
#ifndef ZQDB32_ZQDB32_H
#define ZQDB32_ZQDB32_H

#include <framework/framework.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

typedef long NeoID;             // 32-bit object ID; 0 = not yet stored
typedef long NeoClassID;        // 32-bit class ID
typedef unsigned long NeoTag;   // 32-bit field tag
typedef unsigned long NeoType;  // type code of getValue / setValue

const NeoTag kNeoNullTag = 'null';
const NeoTag kNeoParentTag = 'ppar';

// Type codes of getValue / setValue.
const NeoType kNeoLongType = 0x6c6f6e67;    // 'long': signed 32-bit
const NeoType kNeoULongType = 0x756c7e67;   // unsigned 32-bit
const NeoType kNeoStringType = 0x70737472;  // 'pstr': a CNeoString

// Value types of index keys (CNeoMetaClass::addKey).
enum { kNeoStringKey = -6, kNeoLongKey = -7, kNeoULongKey = -8 };

// Class IDs known to the library itself.
const NeoClassID kNeoPersistID = 1;
const NeoClassID kNeoContainerLocationID = -39;

class CNeoDatabase;
class CNeoPersist;
class CNeoStream;

// ---------------------------------------------------------------------------
// Errors: every failure of the library is thrown as a CNeoException pointer
// (delete it with Delete()).
class CNeoException : public CException {
public:
    enum Code {
        kIO = 1,        // the operating system refused a read or write (osError)
        kDamaged,       // the image is not a valid database
        kTruncated,     // the image ends before its last commit
        kUnknownClass,  // a class ID without a registered metaclass
        kDuplicateID,   // addObject with an ID that the database already holds
        kNotOpen,       // an operation on a closed database
        kEndOfStream,   // a read past the end of a stream
        kBadArgument    // a call the library cannot carry out (named in the text)
    };
    CNeoException(Code code, const CString& text, DWORD osError = 0);
    virtual BOOL GetErrorMessage(LPTSTR buffer, UINT maxLength, PUINT helpContext = NULL);
    Code getCode() const { return fCode; }
    DWORD getOSError() const { return fOSError; }
    const CString& getText() const { return fText; }

    // Throws a CNeoException carrying a system error code and a text.
    [[noreturn]] static void Failure(DWORD osError, const char* text);
    [[noreturn]] static void Throw(Code code, const CString& text, DWORD osError = 0);

private:
    Code fCode;
    CString fText;
    DWORD fOSError;
};

// ---------------------------------------------------------------------------
// LOCK MODEL
// gNeoCritical is the one recursive lock around every database call, from
// any thread; the library's public operations take it themselves.
// - A database thread (CNeoThreadMFC) holds it while it runs and releases it
//   completely (all recursion levels) only where it sleeps or yields.
// - A remote-procedure routine that uses a database holds it for its whole
//   duration (the servers' ThreadMediatorGuard).
// - An outgoing remote call made while holding it must be wrapped in a
//   CNeoCriticalRelease: the peer may call back into this process, and that
//   call needs the lock. Code that releases it must check again what it read
//   before the release.
// - Lock order: gNeoCritical before any manager's own lock; no manager lock
//   is held across an outgoing call.
//
// gNeoCritical is constant-initialised and sets itself up on first use, so
// objects that register themselves during static initialisation can use it
// whatever the order of initialisation; it is never torn down.
class CNeoCritical {
public:
    constexpr CNeoCritical() : fSection{}, fState(0), fOwner(0), fDepth(0) {}
    void enter();
    void leave();
    BOOL isHeldByMe() const;
    // Leaves every recursion level held by the calling thread; returns how
    // many there were (0 when it did not hold the lock).
    int releaseAll();
    // Enters the lock again as often as releaseAll() left it.
    void reacquire(int depth);

private:
    void setUp();

    CRITICAL_SECTION fSection;
    LONG fState;  // 0 new, 1 being set up, 2 ready (changed with interlocked calls)
    DWORD fOwner;
    int fDepth;
};
extern CNeoCritical gNeoCritical;

// Holds gNeoCritical for the lifetime of the scope.
class CNeoLock {
public:
    CNeoLock() { gNeoCritical.enter(); }
    ~CNeoLock() { gNeoCritical.leave(); }
    CNeoLock(const CNeoLock&) = delete;
    CNeoLock& operator=(const CNeoLock&) = delete;
};

// The focus databases: the source and the target of a copy between databases.
// Code that changes them restores them afterwards.
extern CNeoDatabase* gNeoDatabase;
extern CNeoDatabase* gNeoTargetDatabase;

// Releases gNeoCritical completely for the lifetime of the scope (around an
// outgoing remote call or a wait) and takes it back afterwards, restoring the
// focus databases, which other threads may have changed meanwhile.
class CNeoCriticalRelease {
public:
    CNeoCriticalRelease();
    ~CNeoCriticalRelease();
    CNeoCriticalRelease(const CNeoCriticalRelease&) = delete;
    CNeoCriticalRelease& operator=(const CNeoCriticalRelease&) = delete;

private:
    int fDepth;
    CNeoDatabase* fDatabase;
    CNeoDatabase* fTarget;
};

// ---------------------------------------------------------------------------
// A database thread. Either it starts a new thread that runs `routine(data)`
// while holding gNeoCritical, or (routine NULL) it stands for an existing
// thread that borrows it, as remote-procedure threads do.
typedef UINT (*NeoThreadProc)(void* data);

class CNeoThreadMFC {
public:
    CNeoThreadMFC(HANDLE thread, DWORD threadID, NeoThreadProc routine, void* data,
                  long reserved1, long reserved2);
    virtual ~CNeoThreadMFC();

    // The database thread object of the calling thread, or NULL.
    static CNeoThreadMFC* FThread();

    // Makes this object the calling thread's database thread, and undoes it.
    void handleSwapIn();
    void handleSwapOut();
    // Re-initialises a pooled object for another borrowing thread.
    void RecycleInit(HANDLE thread, DWORD threadID, long reserved);

    // Sleeps with gNeoCritical released; yield() lets other threads run.
    void sleep(DWORD milliseconds);
    void yield();

    // The OS thread handle of a started thread (NULL for a borrowed one).
    HANDLE getHandle() const { return fOwnsHandle ? fThread : NULL; }
    DWORD getThreadID() const { return fThreadID; }

private:
    static DWORD WINAPI Start(void* self);

    HANDLE fThread;
    DWORD fThreadID;
    BOOL fOwnsHandle;
    NeoThreadProc fRoutine;
    void* fData;
    CNeoThreadMFC* fPrevious;  // the thread object that handleSwapIn replaced
};

// ---------------------------------------------------------------------------
// Formats: a format's kind decides which fields a record carries (kind 1
// carries fields that kind 0 does not). Databases and object streams are
// written in kind 1 unless told otherwise.
class CNeoFormat {
public:
    CNeoFormat(short kind, long version, short p1, short p2, short p3, short p4, short p5,
               short p6, short p7, short p8, short p9);
    short getKind() const { return fKind; }
    void setKind(short kind) { fKind = kind; }

private:
    short fKind;
};

// A fixed string of at most 255 characters, carried by value.
class CNeoString {
public:
    CNeoString(const char* text = "");
    CNeoString& operator=(const char* text);
    operator const char*() const { return fText; }
    int getLength() const;
    bool operator==(const CNeoString& other) const;

private:
    char fText[256];
};

// ---------------------------------------------------------------------------
// Streams: typed reads and writes at the stream's mark. Each operation takes
// the field's tag; records are positional, so the tag is not stored.
class CNeoStream {
public:
    CNeoStream();
    virtual ~CNeoStream();

    // Raw transfer at the mark; the mark advances. Reading past the end
    // throws CNeoException kEndOfStream.
    virtual void readChunk(void* buffer, unsigned long count) = 0;
    virtual void writeChunk(const void* buffer, unsigned long count) = 0;

    unsigned long getMark() const { return fMark; }
    void setMark(unsigned long mark) { fMark = mark; }
    CNeoFormat* getFormat() const { return fFormat; }
    void setFormat(CNeoFormat* format) { fFormat = format; }
    short getFormatKind() const;

    void readBytes(void* buffer, unsigned long count, NeoTag tag = kNeoNullTag);
    void writeBytes(const void* buffer, unsigned long count, NeoTag tag = kNeoNullTag);
    NeoID readID(NeoTag tag);
    void writeID(NeoID id, NeoTag tag);
    BOOL readBoolean(NeoTag tag);
    void writeBoolean(BOOL value, NeoTag tag);
    long readLong(NeoTag tag);
    void writeLong(long value, NeoTag tag);
    unsigned long readULong(NeoTag tag);
    void writeULong(unsigned long value, NeoTag tag);
    char readChar(NeoTag tag);
    void writeChar(char value, NeoTag tag);

protected:
    unsigned long fMark;
    CNeoFormat* fFormat;
};

// A stream over bytes in memory: it grows as it is written, or reads a fixed
// range that it does not own. Used to write records and to clone objects.
class CNeoBufferStream : public CNeoStream {
public:
    explicit CNeoBufferStream(CNeoFormat* format);
    CNeoBufferStream(const void* data, unsigned long length, CNeoFormat* format);
    virtual void readChunk(void* buffer, unsigned long count);
    virtual void writeChunk(const void* buffer, unsigned long count);
    const unsigned char* data() const;
    unsigned long length() const;

private:
    std::vector<unsigned char> fOwned;
    const unsigned char* fData;  // the fixed range being read, or NULL
    unsigned long fLength;
};

// The stream that holds a database's whole image: a file, or memory.
class CNeoContainerStream : public CNeoStream {
public:
    explicit CNeoContainerStream(CNeoDatabase* database);
    virtual ~CNeoContainerStream();

    virtual unsigned long getLength() = 0;
    // Records the length; with resize the storage is cut or grown to it.
    virtual void setLength(unsigned long length, BOOL resize) = 0;
    virtual void refreshLength() {}
    virtual BOOL isOpen() { return TRUE; }
    // Makes what was written durable (a file flushes to disk).
    virtual void flush() {}
    virtual void close() {}
    // Replaces the whole image at once (compaction). A file writes a new file
    // beside it and renames it over the old one, so a crash keeps one of the
    // two whole; the default rewrites the storage in place.
    virtual void replaceImage(const void* bytes, unsigned long length);
    // Identifies the kind of stream to the library.
    virtual unsigned long identify() { return 0x55000000; }

    CNeoDatabase* getDatabase() const { return fDatabase; }

protected:
    CNeoDatabase* fDatabase;
};

// A database file on disk.
class CNeoFileStream : public CNeoContainerStream {
public:
    CNeoFileStream(CNeoDatabase* database, const char* path);
    virtual ~CNeoFileStream();
    // Opens the file (creating it when asked); throws kIO on failure.
    void open(BOOL create);
    virtual void readChunk(void* buffer, unsigned long count);
    virtual void writeChunk(const void* buffer, unsigned long count);
    virtual unsigned long getLength();
    virtual void setLength(unsigned long length, BOOL resize);
    virtual BOOL isOpen() { return fFile != INVALID_HANDLE_VALUE; }
    virtual void flush();
    virtual void close();
    virtual void replaceImage(const void* bytes, unsigned long length);
    const CString& getPath() const { return fPath; }

private:
    [[noreturn]] void fail(const char* what);
    BOOL seekToMark();
    CString fPath;
    HANDLE fFile;
};

// ---------------------------------------------------------------------------
// Class registry. One metaclass per persistent class, registered at program
// start; a class's members are its objects and those of every class whose
// chain of super IDs leads to it.
typedef CNeoPersist* (*NeoFactory)();

class CNeoMetaClass {
public:
    CNeoMetaClass(NeoClassID id, NeoClassID superID, const char* name, NeoFactory factory,
                  long reserved, NeoTag tag);
    ~CNeoMetaClass();
    static CNeoMetaClass* GetMetaClass(NeoClassID id);
    static std::vector<CNeoMetaClass*> GetAll();

    // Adds an index on a tag for this class and its subclasses; valueType is
    // kNeoStringKey, kNeoLongKey or kNeoULongKey. Databases opened afterwards
    // keep the index.
    void addKey(long valueType, NeoTag tag, long reserved, BOOL flag);

    NeoClassID getID() const { return fID; }
    NeoClassID getSuperID() const { return fSuperID; }
    const char* getName() const { return fName; }
    CNeoPersist* create() const;
    // True when `id` is this class or one of its ancestors.
    BOOL isKindOf(NeoClassID id) const;

    struct Key {
        long valueType;
        NeoTag tag;
    };
    const std::vector<Key>& getKeys() const { return fKeys; }

private:
    NeoClassID fID;
    NeoClassID fSuperID;
    CString fName;
    NeoFactory fFactory;
    std::vector<Key> fKeys;
};

// ---------------------------------------------------------------------------
// Fields kept inside a record.

// A block of bytes with its length; texts are stored without terminator.
class ENeoBlob {
public:
    ENeoBlob();
    ENeoBlob(const ENeoBlob& other);
    ENeoBlob& operator=(const ENeoBlob& other);

    const void* getBlob() const { return fBytes.empty() ? NULL : &fBytes[0]; }
    unsigned long getLength() const { return (unsigned long)fBytes.size(); }
    BOOL isEmpty() const { return fBytes.empty(); }
    void setBlob(const void* bytes, unsigned long length);
    void empty() { fBytes.clear(); }

    // The text of the blob, at most maxLength characters (-1: all of it).
    CString getText(int maxLength = -1) const;
    void setText(const char* text);

    void readObject(CNeoStream* stream, NeoTag tag);
    void writeObject(CNeoStream* stream, NeoTag tag) const;
    long getFileLength() const { return 4 + (long)fBytes.size(); }

private:
    std::vector<unsigned char> fBytes;
};

// A list of the IDs of objects of one class (with subclasses), kept in the
// owner's record; the parts themselves are looked up in the owner's database.
class ENeoPartMgr {
public:
    ENeoPartMgr(CNeoPersist* owner, NeoClassID partClass);

    long getCount() const { return (long)fIDs.size(); }
    NeoID getPartID(long index) const;
    BOOL contains(NeoID id) const;
    // The part at index as a referenced object (unrefer it), or NULL when the
    // index is out of range or the object no longer exists.
    CNeoPersist* getPart(long index) const;
    void addPart(NeoID id);
    // Removes the first entry with the ID; FALSE when there was none.
    BOOL removePart(NeoID id);
    void removeAll() { fIDs.clear(); }
    void copyFrom(const ENeoPartMgr& other) { fIDs = other.fIDs; }

    void readObject(CNeoStream* stream, NeoTag tag);
    void writeObject(CNeoStream* stream, NeoTag tag) const;
    long getFileLength() const { return 4 + 4 * (long)fIDs.size(); }

private:
    CNeoPersist* fOwner;
    NeoClassID fPartClass;
    std::vector<NeoID> fIDs;
};

// ---------------------------------------------------------------------------
// Persistent objects.
//
// A new object has use count 1 (its creator's reference). refer() adds a
// reference, unrefer() drops one; an object that is in no database is
// deleted when its count drops below 1, one in a database stays in the
// database's cache. Objects returned by findObject, iterators and part lists
// are referenced for the caller, who unrefers them when done.
class CNeoPersist : public CObject {
public:
    CNeoPersist();
    virtual ~CNeoPersist();

    // A new free object of the same class with every stored field and the ID.
    virtual CNeoPersist* clone();
    virtual NeoClassID getClassID() const { return kNeoPersistID; }
    CNeoDatabase* getDatabase() const { return fDatabase; }

    // The stored record. The library's own part of a record is empty.
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);

    // Values by tag: TRUE when the object answers the tag; `value` points to
    // a long, an unsigned long or a CNeoString as the type code says.
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const;
    virtual BOOL setValue(NeoTag tag, NeoType type, const void* value);

    // Hooks the database calls when the object is added, removed and before
    // it is written by a commit.
    virtual void add(CNeoDatabase* database);
    virtual void remove(CNeoDatabase* database);
    virtual void commit(CNeoDatabase* database);
    // Takes the stored fields of another copy of the same object and marks
    // this one changed.
    virtual void update(const CNeoPersist* other);
    // FALSE keeps the object in memory while unreferenced (run-time state).
    virtual BOOL isPurgeable() const { return TRUE; }

    NeoID getID() const { return fID; }
    void setID(NeoID id);
    long getMark() const { return fMark; }

    void refer();
    void unrefer();
    short getUseCount() const { return fUseCount; }

    // Marks the object changed, so that the next commit writes it.
    void setDirty(short how = 2);
    BOOL isDirty() const { return fDirty; }

    void setBusy() { fBusy = TRUE; }
    void setUnbusy() { fBusy = FALSE; }
    BOOL isBusy() const { return fBusy; }

    // Converts a 32-bit value between type codes; FALSE for an unknown pair.
    static BOOL ConvertType(const void* source, NeoType sourceType, void* target,
                            NeoType targetType);

private:
    friend class CNeoDatabase;
    NeoID fID;
    long fMark;
    short fUseCount;
    BOOL fDirty;
    BOOL fBusy;
    CNeoDatabase* fDatabase;
};

// Holds one reference to a persistent object and lets it go when the scope
// ends, also when an exception passes.
template <class T>
class CNeoRef {
public:
    explicit CNeoRef(T* object = NULL) : fObject(object) {}
    ~CNeoRef()
    {
        if (fObject)
            fObject->unrefer();
    }
    CNeoRef(const CNeoRef&) = delete;
    CNeoRef& operator=(const CNeoRef&) = delete;
    T* get() const { return fObject; }
    T* operator->() const { return fObject; }
    explicit operator bool() const { return fObject != NULL; }
    // Hands the reference over to the caller.
    T* release()
    {
        T* object = fObject;
        fObject = NULL;
        return object;
    }

private:
    T* fObject;
};

// The objects a search appended (each referenced once); they are let go
// together when the list ends.
class CNeoFoundObjects : public CObArray {
public:
    CNeoFoundObjects() {}
    ~CNeoFoundObjects() { releaseAll(); }
    CNeoFoundObjects(const CNeoFoundObjects&) = delete;
    CNeoFoundObjects& operator=(const CNeoFoundObjects&) = delete;
    // Lets every object go and empties the list.
    void releaseAll();
    template <class T>
    T* at(int index) const
    {
        return static_cast<T*>(GetAt(index));
    }
};

// The base of the application's persistent classes, with run-time class
// information of the framework.
class CNeoPersistMFC : public CNeoPersist {
    DECLARE_DYNAMIC(CNeoPersistMFC)
};

// The storage location of a database (a file or memory). Locations are
// persistent objects of class -39 so that they can be stored like others.
class CNeoContainerLocation : public CNeoPersistMFC {
public:
    virtual NeoClassID getClassID() const { return kNeoContainerLocationID; }
    // A new stream over the location for the database.
    virtual CNeoContainerStream* createStream(CNeoDatabase* database) = 0;
    virtual BOOL isEqual(const CNeoContainerLocation* other) const;
    virtual CString getName() const = 0;
    virtual void removeFile() = 0;
};

// A database file at a path.
class CNeoFileLocation : public CNeoContainerLocation {
public:
    explicit CNeoFileLocation(const char* path);
    virtual CNeoContainerStream* createStream(CNeoDatabase* database);
    virtual CString getName() const { return fPath; }
    virtual void removeFile();

private:
    CString fPath;
};

// ---------------------------------------------------------------------------
// Selections: which objects a search returns.
class CNeoSelect {
public:
    virtual ~CNeoSelect() {}
    virtual BOOL matches(const CNeoPersist* object) const = 0;
    // A tag and key value that every match carries, so that an index on the
    // tag can answer the selection.
    struct Key {
        NeoTag tag;
        long keyType;  // kNeoStringKey, kNeoLongKey or kNeoULongKey
        std::string value;
    };
    // Appends every key the selection can be answered by (none by default).
    virtual void getKeys(std::vector<Key>& keys) const {}
    // The one ID this selection can match, when it names one.
    virtual BOOL getSingleID(NeoID& id) const { return FALSE; }
};

class CNeoIDSelect : public CNeoSelect {
public:
    explicit CNeoIDSelect(NeoID id) : fID(id) {}
    virtual BOOL matches(const CNeoPersist* object) const { return object->getID() == fID; }
    virtual BOOL getSingleID(NeoID& id) const { id = fID; return TRUE; }
private:
    NeoID fID;
};

class CNeoLongSelect : public CNeoSelect {
public:
    CNeoLongSelect(NeoTag tag, long value) : fTag(tag), fValue(value) {}
    virtual BOOL matches(const CNeoPersist* object) const;
    virtual void getKeys(std::vector<Key>& keys) const;
private:
    NeoTag fTag;
    long fValue;
};

class CNeoULongSelect : public CNeoSelect {
public:
    CNeoULongSelect(NeoTag tag, unsigned long value) : fTag(tag), fValue(value) {}
    virtual BOOL matches(const CNeoPersist* object) const;
    virtual void getKeys(std::vector<Key>& keys) const;
private:
    NeoTag fTag;
    unsigned long fValue;
};

class CNeoStringSelect : public CNeoSelect {
public:
    CNeoStringSelect(NeoTag tag, const char* value) : fTag(tag), fValue(value) {}
    virtual BOOL matches(const CNeoPersist* object) const;
    virtual void getKeys(std::vector<Key>& keys) const;
private:
    NeoTag fTag;
    CNeoString fValue;
};

// Objects of a class and its subclasses.
class CNeoClassSelect : public CNeoSelect {
public:
    explicit CNeoClassSelect(NeoClassID classID) : fClassID(classID) {}
    virtual BOOL matches(const CNeoPersist* object) const;
private:
    NeoClassID fClassID;
};

// Objects that every term matches. The selection owns the terms added to it.
class CNeoAndSelect : public CNeoSelect {
public:
    CNeoAndSelect() {}
    virtual ~CNeoAndSelect();
    void addTerm(CNeoSelect* term, long reserved = -1);
    virtual BOOL matches(const CNeoPersist* object) const;
    virtual void getKeys(std::vector<Key>& keys) const;
    virtual BOOL getSingleID(NeoID& id) const;
private:
    std::vector<CNeoSelect*> fTerms;
};

// ---------------------------------------------------------------------------
// Walks the objects of a class (with subclasses) that a selection matches, in
// ID order. Objects added or removed meanwhile are seen or skipped as the
// walk reaches them. The iterator owns its selection.
class CNeoIndexIterator {
public:
    CNeoIndexIterator(CNeoDatabase* database, NeoClassID classID, CNeoSelect* select = NULL);
    ~CNeoIndexIterator();
    // Each returns a referenced object (unrefer it) or NULL at the end.
    CNeoPersist* first();
    CNeoPersist* currentObject();
    CNeoPersist* nextObject();

private:
    CNeoDatabase* fDatabase;
    NeoClassID fClassID;
    CNeoSelect* fSelect;
    NeoID fCurrent;  // 0 before the first object
};

// Children by parent ID ('ppar').
class CNeoOffspring {
public:
    static void FindByParent(CNeoDatabase* database, NeoClassID classID, NeoID parentID,
                             BOOL deep, CObArray* found, long reserved = -1);
};

// ---------------------------------------------------------------------------
// The database.
class CNeoDatabase {
public:
    CNeoDatabase();
    virtual ~CNeoDatabase();

    // The library's 16-bit setting that applications give before opening.
    short fSetting;

    // Where the image lives. The location is not owned; the stream is.
    void setLocation(CNeoContainerLocation* location) { fLocation = location; }
    CNeoContainerLocation* getLocation() const { return fLocation; }
    void setStream(CNeoContainerStream* stream);
    CNeoContainerStream* getStream() const { return fStream; }
    // Gives the database a fresh empty stream from its location (closing it).
    void reset();

    // For a file location: whether the file exists, and creating it empty.
    BOOL existsOnDisk();
    void create();

    // Reads the image; an empty image with create set starts an empty
    // database. Throws CNeoException when the image is damaged.
    void open(unsigned long access = 0xC0000000, BOOL create = TRUE);
    // Forgets every object (uncommitted changes are lost); objects that are
    // still referenced become free objects.
    void close(BOOL reserved = FALSE);
    BOOL isOpen() const { return fOpen; }

    // The format of new images (kind 1 unless set before open).
    void setFormatKind(short kind) { fNewKind = kind; }
    CNeoFormat* getFormat() const { return fFormat; }

    void addObject(CNeoPersist* object, BOOL deep = TRUE, void* reserved = NULL);
    void removeObject(CNeoPersist* object, BOOL deep = TRUE);
    // Without `found`: the first match in ID order, referenced, or NULL.
    // With `found`: every match is appended, each referenced once, and the
    // first of them is returned (no further reference), or NULL.
    CNeoPersist* findObject(NeoClassID classID, CNeoSelect* select, BOOL deep = TRUE,
                            void* reserved = NULL, CObArray* found = NULL, long reserved2 = -1);
    // A new iterator (delete it); it owns the selection.
    CNeoIndexIterator* getIterator(NeoClassID classID, CNeoSelect* select, BOOL reserved = FALSE,
                                   BOOL deep = TRUE, long reserved2 = -1);
    // Writes every changed, added and removed object as one atomic commit.
    void commit(BOOL reserved = FALSE, BOOL flag = TRUE, void* transaction = NULL);
    // Reserves `count` new IDs and returns the first.
    NeoID getUniqueID(long count = 1);
    // The index on a tag for a class (declared on it or an ancestor), or -1.
    long getTagIndex(NeoClassID classID, NeoTag tag) const;
    // TRUE while there are changes that no commit has written yet.
    BOOL isDirty() const;
    // Drops up to `amount` objects from memory (see the top of this file).
    void purge(long amount);

    // Number of objects of the class (with subclasses).
    long countObjects(NeoClassID classID) const;
    // Objects currently held in memory.
    long cachedCount() const { return (long)fCache.size(); }

private:
    friend class CNeoPersist;
    friend class CNeoIndexIterator;
    struct Entry;
    struct Index;

    void requireOpen() const;
    void forgetAll();
    void loadImage();
    void startEmpty();
    // The object, from the cache or read from its record (`record`: the
    // record's bytes when the caller has them).
    CNeoPersist* load(NeoID id, const unsigned char* record = NULL);
    CNeoPersist* cached(NeoID id) const;
    BOOL classMatches(NeoClassID objectClass, NeoClassID query) const;
    void collect(NeoClassID classID, CNeoSelect* select, NeoID after, std::vector<NeoID>& ids,
                 BOOL firstOnly);
    void indexObject(NeoID id, CNeoPersist* object);
    void unindexObject(NeoID id);
    std::vector<Index*> indexesFor(NeoClassID classID) const;
    void writeCheckpoint(unsigned long end);
    void reserveIDs(NeoID upTo);
    void compact();
    // Copies each record's stored bytes to its offset in `payload`.
    void readRecordsInto(std::vector<std::pair<Entry*, unsigned long>> records,
                         std::vector<unsigned char>& payload);
    void noteReferenced(CNeoPersist* object, BOOL referenced);
    CString describe() const;

    CNeoContainerLocation* fLocation;
    CNeoContainerStream* fStream;
    CNeoFormat* fFormat;
    short fNewKind;
    BOOL fOpen;

    std::unordered_map<NeoID, Entry*> fEntries;
    std::map<NeoClassID, std::set<NeoID>> fByClass;
    std::vector<Index*> fIndexes;
    std::unordered_map<NeoID, CNeoPersist*> fCache;
    std::set<NeoID> fChanged;   // added or dirty since the last commit
    std::set<NeoID> fRemoved;   // removed since the last commit, present on disk
    // Objects that are held (use count above 0) and changed since the last
    // commit: their index keys may be older than their fields.
    std::set<CNeoPersist*> fHeldChanged;

    unsigned long fSequence;       // of the last header slot written
    unsigned long fSalt;           // this image's mark in every block header
    unsigned long fCheckpointEnd;  // end of the log as the last header slot gives it
    unsigned long fCommitSequence; // of the last committed block
    unsigned long fCommittedEnd;   // end of the last committed block
    unsigned long fStoredLength;   // of the storage: the log, then zeros or a torn commit
    unsigned long fLiveBytes;    // bytes of the records still current
    NeoID fNextID;
    NeoID fIDLimit;              // IDs below this are reserved on disk
};

// ---------------------------------------------------------------------------
// Writes the image of an in-memory database straight from objects, without
// making a database: the bytes are those that a new in-memory database gives
// after the same objects were added to it in the same order and it was
// committed once (records in ID order, format kind 1). Each record is written
// when its object is added, so later changes to the object are not seen. The
// writer keeps its buffers from one image to the next.
class CNeoImageWriter {
public:
    CNeoImageWriter();
    // Starts a new, empty image.
    void start();
    // TRUE when an object with the ID was added since start().
    BOOL holds(NeoID id) const;
    // Writes the object's record under its ID, which must be above 0 and not
    // held yet (kBadArgument); its class must be registered (kUnknownClass).
    void add(CNeoPersist* object);
    // The finished image; the bytes stay valid until the next start().
    const unsigned char* finish(unsigned long* length);

private:
    struct Record {
        NeoID id;
        unsigned long offset;  // of the record header in fRecords
        unsigned long length;  // with the header
    };
    void writeSlot();

    CNeoFormat* fFormat;
    unsigned long fSalt;
    unsigned long fSequence;  // of the last header slot written
    NeoID fNextID;
    NeoID fIDLimit;
    std::vector<unsigned char> fHeader;   // both header slots
    std::vector<unsigned char> fRecords;  // record headers and records, as added
    std::vector<Record> fOrder;
    std::unordered_set<NeoID> fHeld;
    std::vector<unsigned char> fImage;
};

// ---------------------------------------------------------------------------
// The application object of a program that uses the library.
class CNeoAppMFC : public CWinApp {
public:
    explicit CNeoAppMFC(const char* name = NULL);
    virtual ~CNeoAppMFC();
    // The format of a kind (0 or 1); NULL for other kinds.
    virtual CNeoFormat* GetFormat(short kind);
};
extern CNeoAppMFC* gNeoApp;

// The format of a kind, from the application when there is one.
CNeoFormat* NeoGetFormat(short kind);
// The library's own formats of kinds 0 and 1 (NULL for other kinds).
CNeoFormat* NeoLibraryFormat(short kind);

#endif
