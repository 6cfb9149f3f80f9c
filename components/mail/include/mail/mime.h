// The MIME message model: every message is a tree of components with the
// common base DwMessageComponent. Each component keeps its text and its
// broken-down parts: Parse turns the text into the parts, Assemble turns
// modified parts back into text.
//
// - Parsing never fails: malformed text gives empty or partial components.
//   Only the indexed accessors throw (DwBoundsException).
// - A parsed message that is not changed assembles to its own bytes. A
//   component marked modified (SetModified marks it and its ancestors) is
//   rebuilt from its parts with CR LF line ends.
// - A component owns its children; Clone gives a deep copy owned by the
//   caller. Components are used by one thread at a time.
#ifndef MAIL_MIME_H
#define MAIL_MIME_H

#include <mail/codecs.h>
#include <mail/dwstring.h>

#include <time.h>

#include <vector>

class DwException {
public:
    explicit DwException(const char* text = "Unspecified error") : mText(text) {}
    virtual ~DwException() {}
    const char* what() const { return mText; }

private:
    const char* mText;
};

class DwBoundsException : public DwException {
public:
    DwBoundsException() : DwException("Bounds error") {}
};

// Class ids follow the alphabetical order of the class names.
enum DwClassId {
    kCidAddress = 1, kCidAddressList, kCidBody, kCidBodyPart, kCidDispositionType,
    kCidMechanism, kCidMediaType, kCidParameter, kCidDateTime, kCidEntity, kCidField,
    kCidFieldBody, kCidGroup, kCidHeaders, kCidMailbox, kCidMailboxList, kCidMessage,
    kCidMessageComponent, kCidMsgId, kCidStamp, kCidText,
};

// Enumerations of media types, subtypes, transfer encodings and
// dispositions; 0 is no value (empty text), 1 any other text.
namespace DwMime {
enum { kTypeNull, kTypeUnknown, kTypeText, kTypeMultipart, kTypeMessage, kTypeApplication,
       kTypeImage, kTypeAudio, kTypeVideo, kTypeModel };
enum { kSubtypeNull, kSubtypeUnknown, kSubtypePlain, kSubtypeRichtext, kSubtypeEnriched,
       kSubtypeHtml, kSubtypeMixed, kSubtypeAlternative, kSubtypeDigest, kSubtypeParallel,
       kSubtypeRfc822, kSubtypePartial, kSubtypeExternalBody, kSubtypePostscript,
       kSubtypeOctetStream, kSubtypeJpeg, kSubtypeGif, kSubtypeBasic, kSubtypeMpeg,
       kSubtypeSigned, kSubtypeEncrypted, kSubtypeRfc822Headers, kSubtypeReport,
       kSubtypeDeliveryStatus, kSubtypeRelated, kSubtypeAppledouble, kSubtypeApplefile };
enum { kCteNull, kCteUnknown, kCte7bit, kCte8bit, kCteBinary, kCteQuotedPrintable,
       kCteBase64 };
enum { kDispTypeNull, kDispTypeUnknown, kDispTypeInline, kDispTypeAttachment };

DwString TypeEnumToStr(int type);
int TypeStrToEnum(const DwString& text);
DwString SubtypeEnumToStr(int subtype);
int SubtypeStrToEnum(const DwString& text);
DwString CteEnumToStr(int encoding);
int CteStrToEnum(const DwString& text);
DwString DispTypeEnumToStr(int disposition);
int DispTypeStrToEnum(const DwString& text);
}  // namespace DwMime

class DwMessageComponent {
public:
    virtual ~DwMessageComponent() {}
    virtual void Parse() = 0;
    // Rebuilds the text from the parts when marked modified; clears the mark.
    virtual void Assemble() = 0;
    virtual DwMessageComponent* Clone() const = 0;

    // Replaces the text and marks the ancestors modified (not this component:
    // its next Assemble keeps the new text until it is parsed).
    void FromString(const DwString& text);
    const DwString& AsString() const { return mString; }
    // Sets the text and marks nothing: a parent handing a child its part.
    void TakeText(const DwString& text) { mString = text; }
    bool IsModified() const { return mIsModified; }
    void SetModified();
    DwMessageComponent* Parent() const { return mParent; }
    void SetParent(DwMessageComponent* parent) { mParent = parent; }
    DwClassId ClassId() const { return mClassId; }
    const char* ClassName() const { return mClassName; }

protected:
    DwMessageComponent(const DwString& text, DwMessageComponent* parent, DwClassId id,
                       const char* name)
        : mString(text), mIsModified(false), mParent(parent), mClassId(id), mClassName(name)
    {
    }
    DwMessageComponent(const DwMessageComponent& other)
        : mString(other.mString), mIsModified(other.mIsModified), mParent(NULL),
          mClassId(other.mClassId), mClassName(other.mClassName)
    {
    }
    DwMessageComponent& operator=(const DwMessageComponent&) = delete;

    DwString mString;
    bool mIsModified;
    DwMessageComponent* mParent;
    DwClassId mClassId;
    const char* mClassName;
};

// ---- field bodies ----

class DwFieldBody : public DwMessageComponent {
public:
    // Folding (on at creation) writes list entries and parameters one per line.
    bool IsFolding() const { return mFolding; }
    void SetFolding(bool folding) { mFolding = folding; }
    // The field-body class for a field name (compared case-insensitively).
    static DwFieldBody* NewFieldBody(const DwString& fieldName, const DwString& text,
                                     DwMessageComponent* parent);

protected:
    DwFieldBody(const DwString& text, DwMessageComponent* parent, DwClassId id, const char* name)
        : DwMessageComponent(text, parent, id, name), mFolding(true)
    {
    }
    bool mFolding;
};

class DwText : public DwFieldBody {
public:
    explicit DwText(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwFieldBody(text, parent, kCidText, "DwText")
    {
    }
    void Parse() override {}
    void Assemble() override { mIsModified = false; }
    DwMessageComponent* Clone() const override { return new DwText(*this); }
};

class DwAddress : public DwFieldBody {
public:
    bool IsValid() const { return mIsValid; }

protected:
    DwAddress(const DwString& text, DwMessageComponent* parent, DwClassId id, const char* name)
        : DwFieldBody(text, parent, id, name), mIsValid(false)
    {
    }
    bool mIsValid;
};

class DwMailbox : public DwAddress {
public:
    explicit DwMailbox(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwMailbox(*this); }

    const DwString& FullName() const { return mFullName; }
    const DwString& Route() const { return mRoute; }
    const DwString& LocalPart() const { return mLocalPart; }
    const DwString& Domain() const { return mDomain; }
    void SetFullName(const DwString& text);
    void SetRoute(const DwString& text);
    void SetLocalPart(const DwString& text);
    void SetDomain(const DwString& text);
    // local-part@domain, the form an SMTP envelope carries.
    DwString AddrSpec() const;

private:
    DwString mFullName, mRoute, mLocalPart, mDomain;
};

class DwMailboxList : public DwFieldBody {
public:
    explicit DwMailboxList(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    DwMailboxList(const DwMailboxList& other);
    ~DwMailboxList() override;
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwMailboxList(*this); }

    int NumMailboxes() const { return (int)mMailboxes.size(); }
    DwMailbox& MailboxAt(int index) const;
    void AddMailbox(DwMailbox* mailbox);
    void InsertMailboxAt(int index, DwMailbox* mailbox);
    void DeleteAll();

private:
    std::vector<DwMailbox*> mMailboxes;
};

class DwGroup : public DwAddress {
public:
    explicit DwGroup(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    DwGroup(const DwGroup& other);
    ~DwGroup() override;
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwGroup(*this); }

    const DwString& GroupName() const { return mGroupName; }
    void SetGroupName(const DwString& name);
    DwMailboxList& MailboxList() const { return *mMailboxList; }

private:
    DwString mGroupName;
    DwMailboxList* mMailboxList;
};

class DwAddressList : public DwFieldBody {
public:
    explicit DwAddressList(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    DwAddressList(const DwAddressList& other);
    ~DwAddressList() override;
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwAddressList(*this); }

    int NumAddresses() const { return (int)mAddresses.size(); }
    DwAddress& AddressAt(int index) const;
    void AddAddress(DwAddress* address);
    void InsertAddressAt(int index, DwAddress* address);
    void DeleteAll();

private:
    std::vector<DwAddress*> mAddresses;
};

class DwParameter : public DwMessageComponent {
public:
    explicit DwParameter(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwMessageComponent(text, parent, kCidParameter, "DwParameter")
    {
    }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwParameter(*this); }

    const DwString& Attribute() const { return mAttribute; }
    const DwString& Value() const { return mValue; }
    void SetAttribute(const DwString& text);
    void SetValue(const DwString& text);

private:
    DwString mAttribute, mValue;
};

// A type token followed by parameters: the shared form of media types and
// dispositions.
class DwParameterized : public DwFieldBody {
public:
    ~DwParameterized() override;
    int NumParameters() const { return (int)mParameters.size(); }
    DwParameter& ParameterAt(int index) const;
    void AddParameter(DwParameter* parameter);
    // The value of a parameter by attribute (case-insensitive), or NULL.
    const DwParameter* FindParameter(const char* attribute) const;

protected:
    DwParameterized(const DwString& text, DwMessageComponent* parent, DwClassId id,
                    const char* name)
        : DwFieldBody(text, parent, id, name)
    {
    }
    DwParameterized(const DwParameterized& other);
    // Reads "type [/ subtype] (; attribute = value)*"; the subtype only
    // when `subtype` is given.
    void ParseTokens(DwString& type, DwString* subtype);
    // Writes the head text, then every parameter after its separator.
    void AssembleWith(const DwString& head);
    void DeleteParameters();

    std::vector<DwParameter*> mParameters;
};

class DwMediaType : public DwParameterized {
public:
    explicit DwMediaType(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwParameterized(text, parent, kCidMediaType, "DwMediaType"), mType(0), mSubtype(0)
    {
    }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwMediaType(*this); }

    int Type() const { return mType; }
    const DwString& TypeStr() const { return mTypeStr; }
    int Subtype() const { return mSubtype; }
    const DwString& SubtypeStr() const { return mSubtypeStr; }
    void SetType(int type);
    void SetTypeStr(const DwString& text);
    void SetSubtype(int subtype);
    void SetSubtypeStr(const DwString& text);
    // The value of the "boundary" parameter (empty when there is none).
    const DwString& Boundary();
    void SetBoundary(const DwString& boundary);
    // "Boundary-", the level's digits when not 0, "=_", then random letters
    // to 39 characters; it becomes the boundary.
    void CreateBoundary(unsigned level);

private:
    int mType, mSubtype;
    DwString mTypeStr, mSubtypeStr, mBoundary;
};

class DwDispositionType : public DwParameterized {
public:
    explicit DwDispositionType(const DwString& text = DwString(),
                               DwMessageComponent* parent = NULL)
        : DwParameterized(text, parent, kCidDispositionType, "DwDispositionType"), mType(0)
    {
    }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwDispositionType(*this); }

    int DispositionType() const { return mType; }
    const DwString& DispositionTypeStr() const { return mTypeStr; }
    void SetDispositionType(int type);
    void SetDispositionTypeStr(const DwString& text);

private:
    int mType;
    DwString mTypeStr;
};

class DwMechanism : public DwFieldBody {
public:
    explicit DwMechanism(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwFieldBody(text, parent, kCidMechanism, "DwMechanism"), mCte(0)
    {
    }
    void Parse() override { mCte = DwMime::CteStrToEnum(mString); }
    void Assemble() override { mIsModified = false; }
    DwMessageComponent* Clone() const override { return new DwMechanism(*this); }

    int AsEnum() const { return mCte; }
    void FromEnum(int encoding);

private:
    int mCte;
};

class DwDateTime : public DwFieldBody {
public:
    explicit DwDateTime(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwDateTime(*this); }

    // A time in UTC (offset 0, zone "UTC"), in local time, or in a given zone.
    void FromCalendarTime(time_t when);
    void FromLocalTime(time_t when);
    void FromTime(time_t when, int zoneMinutes, const DwString& zoneName);

    int Year() const { return mParts.year; }
    int Month() const { return mParts.month; }
    int Day() const { return mParts.day; }
    int Hour() const { return mParts.hour; }
    int Minute() const { return mParts.minute; }
    int Second() const { return mParts.second; }
    int Zone() const { return mParts.zoneMinutes; }
    const DwString& ZoneName() const { return mParts.zoneName; }

private:
    DwDateParts mParts;
};

class DwMsgId : public DwFieldBody {
public:
    explicit DwMsgId(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwFieldBody(text, parent, kCidMsgId, "DwMsgId")
    {
    }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwMsgId(*this); }

    // "<time.thread.draw@host>": ids made in the same second still differ.
    void CreateDefault();
    const DwString& LocalPart() const { return mLocalPart; }
    const DwString& Domain() const { return mDomain; }

private:
    DwString mLocalPart, mDomain;
};

class DwStamp : public DwFieldBody {
public:
    explicit DwStamp(const DwString& text = DwString(), DwMessageComponent* parent = NULL);
    DwStamp(const DwStamp& other);
    ~DwStamp() override;
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwStamp(*this); }

    enum Clause { kFrom, kBy, kVia, kWith, kId, kFor, kClauses };
    const DwString& ClauseText(Clause clause) const { return mClauses[clause]; }
    void SetClauseText(Clause clause, const DwString& text);
    DwDateTime& Date() const { return *mDate; }

private:
    DwString mClauses[kClauses];
    DwDateTime* mDate;
};

// ---- entities ----

class DwField : public DwMessageComponent {
public:
    explicit DwField(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwMessageComponent(text, parent, kCidField, "DwField"), mFieldBody(NULL)
    {
    }
    DwField(const DwField& other);
    ~DwField() override { delete mFieldBody; }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwField(*this); }

    const DwString& FieldNameStr() const { return mFieldNameStr; }
    const DwString& FieldBodyStr() const { return mFieldBodyStr; }
    void SetFieldNameStr(const DwString& name);
    DwFieldBody* FieldBody() const { return mFieldBody; }
    // Takes ownership; the old body is deleted.
    void SetFieldBody(DwFieldBody* body);

private:
    DwString mFieldNameStr, mFieldBodyStr;
    DwFieldBody* mFieldBody;
};

class DwHeaders : public DwMessageComponent {
public:
    explicit DwHeaders(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwMessageComponent(text, parent, kCidHeaders, "DwHeaders")
    {
    }
    DwHeaders(const DwHeaders& other);
    ~DwHeaders() override { DeleteAllFields(); }
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwHeaders(*this); }

    int NumFields() const { return (int)mFields.size(); }
    DwField& FieldAt(int index) const;
    void AddField(DwField* field);
    void AddFieldAt(int index, DwField* field);
    DwField* FindField(const char* name) const;
    bool HasField(const char* name) const { return FindField(name) != NULL; }
    // Removes and deletes every field of that name.
    void RemoveField(const char* name);
    void DeleteAllFields();
    // The body of the named field; the field is created when absent.
    DwFieldBody& FieldBody(const char* name);

    DwDateTime& Date() { return (DwDateTime&)FieldBody("Date"); }
    DwMailboxList& From() { return (DwMailboxList&)FieldBody("From"); }
    DwAddressList& To() { return (DwAddressList&)FieldBody("To"); }
    DwAddressList& Cc() { return (DwAddressList&)FieldBody("Cc"); }
    DwAddressList& Bcc() { return (DwAddressList&)FieldBody("Bcc"); }
    DwMsgId& MessageId() { return (DwMsgId&)FieldBody("Message-Id"); }
    DwText& Subject() { return (DwText&)FieldBody("Subject"); }
    DwMediaType& ContentType() { return (DwMediaType&)FieldBody("Content-Type"); }
    DwMechanism& ContentTransferEncoding()
    {
        return (DwMechanism&)FieldBody("Content-Transfer-Encoding");
    }
    DwDispositionType& ContentDisposition()
    {
        return (DwDispositionType&)FieldBody("Content-Disposition");
    }
    DwText& ContentDescription() { return (DwText&)FieldBody("Content-Description"); }
    DwText& MimeVersion() { return (DwText&)FieldBody("MIME-Version"); }
    DwText& XMailer() { return (DwText&)FieldBody("X-Mailer"); }

private:
    std::vector<DwField*> mFields;
};

class DwBody;
class DwMessage;

class DwEntity : public DwMessageComponent {
public:
    ~DwEntity() override;
    void Parse() override;
    void Assemble() override;
    DwHeaders& Headers() const { return *mHeaders; }
    DwBody& Body() const { return *mBody; }

protected:
    DwEntity(const DwString& text, DwMessageComponent* parent, DwClassId id, const char* name);
    DwEntity(const DwEntity& other);

private:
    DwHeaders* mHeaders;
    DwBody* mBody;
};

class DwBodyPart : public DwEntity {
public:
    explicit DwBodyPart(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwEntity(text, parent, kCidBodyPart, "DwBodyPart")
    {
    }
    DwMessageComponent* Clone() const override { return new DwBodyPart(*this); }
};

class DwMessage : public DwEntity {
public:
    explicit DwMessage(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwEntity(text, parent, kCidMessage, "DwMessage")
    {
    }
    DwMessageComponent* Clone() const override { return new DwMessage(*this); }
};

class DwBody : public DwMessageComponent {
public:
    explicit DwBody(const DwString& text = DwString(), DwMessageComponent* parent = NULL)
        : DwMessageComponent(text, parent, kCidBody, "DwBody"), mMessage(NULL)
    {
    }
    DwBody(const DwBody& other);
    ~DwBody() override;
    void Parse() override;
    void Assemble() override;
    DwMessageComponent* Clone() const override { return new DwBody(*this); }

    int NumBodyParts() const { return (int)mParts.size(); }
    DwBodyPart& BodyPartAt(int index) const;
    void AddBodyPart(DwBodyPart* part);
    void InsertBodyPartAt(int index, DwBodyPart* part);
    void DeleteBodyParts();
    const DwString& Preamble() const { return mPreamble; }
    const DwString& Epilogue() const { return mEpilogue; }
    void SetPreamble(const DwString& text);
    void SetEpilogue(const DwString& text);
    // The contained message of a message/rfc822 body, or NULL.
    DwMessage* Message() const { return mMessage; }

private:
    std::vector<DwBodyPart*> mParts;
    DwString mPreamble, mEpilogue;
    DwMessage* mMessage;

    // The Content-Type of the entity this body belongs to, or NULL.
    DwMediaType* ContentType() const;
    void DeleteMessage();
};

#endif
