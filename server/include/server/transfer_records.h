// Names and run-log details as they cross ServerInterface: archived lists of
// two small serialisable records, read by server and console alike.
#ifndef SERVER_TRANSFER_RECORDS_H
#define SERVER_TRANSFER_RECORDS_H

#include <framework/framework.h>

class CSObjectNames : public CObject {
    DECLARE_SERIAL(CSObjectNames)
public:
    CSObjectNames();
    void Set(const char* name, long id);
    virtual void Serialize(CArchive& ar);

    const CString& GetName() const { return m_name; }
    long GetID() const { return m_id; }

private:
    CString m_name;
    long m_id;
};

class CSBatchLogDetails : public CSObjectNames {
    DECLARE_SERIAL(CSBatchLogDetails)
public:
    CSBatchLogDetails();
    void SetStartTime(const COleDateTime& time) { m_startTime = time; }
    void SetRunNumber(long number) { m_runNumber = number; }
    virtual void Serialize(CArchive& ar);

    const COleDateTime& GetStartTime() const { return m_startTime; }
    long GetRunNumber() const { return m_runNumber; }

private:
    COleDateTime m_startTime;
    long m_runNumber;
};

// Archives a list of records; the result is allocated with malloc and its
// length goes to *size.
BYTE* ArchiveTransferList(CObList& list, unsigned long* size);
// Appends the records of an archived list; throws the framework's archive
// exceptions when the bytes are not such a list.
void LoadTransferList(const void* bytes, unsigned long size, CObList& list);
// Deletes the records and empties the list.
void DeleteTransferList(CObList& list);

#endif
