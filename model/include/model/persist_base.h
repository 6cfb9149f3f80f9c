// The base of every stored class of Vantorel, the class registry and the
// document counter. Server, agent and console build these same classes and
// write identical records.
#ifndef MODEL_PERSIST_BASE_H
#define MODEL_PERSIST_BASE_H

#include <model/fields.h>

// Class IDs under which the object database knows each stored class.
enum ModelClassID : NeoClassID {
    kClassBatch = 21,
    kClassSchedule = 23,
    kClassMemLocation = 24,
    kClassPersistBase = 28,
    kClassScheduleItem = 29,
    kClassProcessBase = 30,
    kClassProcessScript = 31,
    kClassProcessExe = 32,
    kClassTriggerItemBase = 33,
    kClassTrigger = 34,
    kClassTriggerDirNotify = 35,
    kClassTriggerSchedule = 36,
    kClassDocCounter = 37,
    kClassBatchLink = 38,
    kClassBatchLinkItem = 39,
    kClassAgent = 40,
    kClassBatchLog = 42,
    kClassBatchLogItemBase = 43,
    kClassBatchLogItemProcess = 44,
    kClassBatchLogItemTrigger = 45,
    kClassBatchLogItemLink = 46,
    kClassBatchLogConnector = 47,
    kClassBatchLogItemBatch = 48,
};

// Tags of the fields of the base record.
const NeoTag kTagConsoleKey = 0x65000034;  // indexed by the console; no class answers it
const NeoTag kTagNewObject = 0x65000035;
const NeoTag kTagRunInstance = 0x65000036;
const NeoTag kTagDescription = 0x65000037;
const NeoTag kTagName = 0x65000038;
const NeoTag kTagAccount = 0x65000100;
const NeoTag kTagPassword = 0x65000101;
const NeoTag kTagDiagramKey = 0x65000104;
const NeoTag kTagRunNumberKey = 0x65000350;  // a run log's run number

// Texts returned by GetName and GetDescription are cut to this length.
const int kMaxNameLength = 255;

// Registers the metaclass of every stored class (once per program).
void RegisterModelClasses();

// The index keys each program registers before it opens a database.
enum ModelProgram { kServerProgram, kAgentProgram, kConsoleProgram };
void RegisterModelKeys(ModelProgram program);

class CPBatchLogItemBase;
class CPPersistBase;

// Where CopyChildren files its copies. A database files clones beside what
// it holds: an object it holds already takes the incoming fields and is
// filed under the receiver. An image being written takes each object's
// record once, as stored, except that a copy filed under its receiver is no
// longer new; nothing in the source changes.
class CopyTarget {
public:
    CopyTarget(CNeoDatabase* database) : m_database(database), m_image(NULL) {}
    explicit CopyTarget(CNeoImageWriter* image) : m_database(NULL), m_image(image) {}
    // The target database, or NULL for an image.
    CNeoDatabase* GetDatabase() const { return m_database; }
    BOOL IsImage() const { return m_image != NULL; }
    // Writes the object's record into the image unless it is there already
    // (FALSE then); `filed`: with the new-object flag cleared.
    BOOL WriteToImage(CPPersistBase* object, BOOL filed) const;

private:
    CNeoDatabase* m_database;
    CNeoImageWriter* m_image;
};

// Base of every stored class: ID, parent, name, run-instance flag, texts,
// run-as account, step type, diagram key, new-object flag and run counter.
class CPPersistBase : public CNeoPersistMFC {
    DECLARE_DYNCREATE(CPPersistBase)
public:
    CPPersistBase();
    virtual ~CPPersistBase();
    static CNeoPersist* Create();

    // Object database operations. The record, its length, update and the
    // values by tag follow the object's stored fields (GetStoredFields).
    virtual NeoClassID getClassID() const { return kClassPersistBase; }
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual BOOL getValue(NeoTag tag, NeoType type, void* value) const;
    // Answers 'ppar' itself, keeping the parent index right.
    virtual BOOL setValue(NeoTag tag, NeoType type, const void* value);
    virtual void update(const CNeoPersist* other);

    // The stored fields of the object's class, its base classes' first. A
    // class with fields of its own overrides this with its table.
    virtual const FieldTable& GetStoredFields() const;

    // Copies the diagram key, name and description into a run-log item;
    // returns the item.
    virtual CPBatchLogItemBase* FillLogItem(CPBatchLogItemBase* item);
    // Copies the object's children from `source` into `target`, under this
    // object; the base class has none.
    virtual void CopyChildren(const CopyTarget& target, CNeoDatabase* source, NeoID parentID);
    virtual CString GetTypeName() const;
    virtual CString GetTypeDetails() const;
    virtual CString GetDescription() const;
    virtual CString GetName() const;
    virtual void SetDescription(const char* text);
    virtual void SetName(const char* text);
    // Removes the object's children from the database; the base has none.
    virtual void DeleteWithChildren(CNeoDatabase* database);
    // Removes the object with its children from the database.
    void RemoveWithChildren(CNeoDatabase* database);
    // Removes the objects of a class (with subclasses) under this object,
    // each with its children.
    void DeleteChildrenOfClass(CNeoDatabase* database, NeoClassID classID);

    // Writes the object's identity as text into a file; returns 1.
    int GetDebugText(CFile* file) const;

    // Moves the object under another parent, keeping the parent index right.
    void SetParentID(NeoID parentID);
    NeoID GetParentID() const { return m_parentID; }

    BOOL IsNewObject() const { return m_newObject; }
    void SetNewObject(BOOL value) { m_newObject = value; }
    CString GetAccount() const { return m_account.getText(); }
    void SetAccount(const char* text) { m_account.setText(text); }
    CString GetPassword() const { return m_password.getText(); }
    void SetPassword(const char* text) { m_password.setText(text); }
    long GetStepType() const { return m_stepType; }
    void SetStepType(long type) { m_stepType = type; }
    NeoID GetDiagramKey() const { return m_diagramKey; }
    void SetDiagramKey(NeoID key) { m_diagramKey = key; }
    long GetRunInstance() const { return m_runInstance; }
    void SetRunInstance(long flag) { m_runInstance = flag; }
    NeoID GetCounter() const { return m_counter; }
    void SetCounter(NeoID counter) { m_counter = counter; }

    // The object of a class with an ID, referenced, or NULL.
    static CPPersistBase* FindByID(CNeoDatabase* database, NeoClassID classID, NeoID id);
    // The same object (same ID) in another database, referenced, or NULL; an
    // object the console has just created (new-object flag) has none.
    static CPPersistBase* FindSameInDatabase(CNeoDatabase* database, NeoClassID classID,
                                             const CPPersistBase* object);
    // Copies into `target`, under this object, the objects of a class in
    // `source` whose run-instance flag is `flagValue` and whose parent is
    // `parentID`, with their own children.
    void CopyChildrenOfClass(const CopyTarget& target, CNeoDatabase* source, NeoID parentID,
                             NeoClassID classID, long flagValue);
    // Files a copy of `object` (from another database) in `target` under this
    // object: an existing copy with its ID takes its fields and is re-parented,
    // otherwise a clone is added (re-parented when the object is new). The
    // copy's new-object flag is cleared. Returns the copy, referenced. An
    // image takes the object's record instead, and the object itself is
    // returned (referenced), or NULL when the image holds it already.
    CPPersistBase* CopyInto(const CopyTarget& target, NeoClassID classID, const CPPersistBase* object);

protected:
    BOOL m_newObject;
    ENeoBlob m_description;
    ENeoBlob m_name;
    ENeoBlob m_account;
    ENeoBlob m_password;
    long m_stepType;
    NeoID m_parentID;
    NeoID m_diagramKey;
    long m_runInstance;
    NeoID m_counter;
};

// Every object of a class (with subclasses) whose parent is `parentID`, in
// `database` or, when it is NULL, the focus database; each is referenced.
void FindChildren(CNeoDatabase* database, NeoClassID classID, NeoID parentID, BOOL deep,
                  CObArray* found, long reserved = -1);

// Sets the focus databases for the lifetime of the scope and restores the
// previous ones on every way out.
class CFocusDatabases {
public:
    CFocusDatabases(CNeoDatabase* source, CNeoDatabase* target);
    ~CFocusDatabases();
    CFocusDatabases(const CFocusDatabases&) = delete;
    CFocusDatabases& operator=(const CFocusDatabases&) = delete;

private:
    CNeoDatabase* m_source;
    CNeoDatabase* m_target;
};

// The server's single document counter.
class CPDocCounter : public CNeoPersist {
public:
    CPDocCounter();
    static CNeoPersist* Create();
    virtual NeoClassID getClassID() const { return kClassDocCounter; }
    virtual long getFileLength(const CNeoFormat* format) const;
    virtual void readObject(CNeoStream* stream, NeoTag tag);
    virtual void writeObject(CNeoStream* stream, NeoTag tag);
    virtual void update(const CNeoPersist* other);
    // Marks the counter changed, adds 1 and returns the new value.
    long Next();
    long GetValue() const { return m_value; }

private:
    long m_value;
};

#endif
