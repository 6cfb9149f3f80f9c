// Message builders: a friendly face on the MIME classes for one message.
//
// - CMailMessage owns one DwMessage and reads and writes its everyday header
//   fields; CMultipartMailMessage makes it multipart/mixed and handles its
//   body parts as CMailBodyPart values; CAttachmentMailMessage keeps the
//   message text in part 0 and a file attachment in every further part.
// - A header text set here never starts a new header line: CR, LF and NUL
//   in it become spaces.
// - One builder is used by one thread at a time.
#ifndef MAIL_BUILDERS_H
#define MAIL_BUILDERS_H

#include <mail/mime.h>

#include <vector>

// One body part as plain values; types and encodings as their texts.
class CMailBodyPart {
public:
    CMailBodyPart();
    // All six fields empty: what GetBodyPart gives for a missing part.
    static CMailBodyPart Empty();
    virtual ~CMailBodyPart() {}

    const DwString& Type() const { return mType; }
    const DwString& Subtype() const { return mSubtype; }
    const DwString& TransferEncoding() const { return mEncoding; }
    const DwString& Description() const { return mDescription; }
    const DwString& Disposition() const { return mDisposition; }
    const DwString& Body() const { return mBody; }
    int TransferEncodingEnum() const { return DwMime::CteStrToEnum(mEncoding); }

    void SetType(const DwString& text) { mType = text; }
    void SetType(int type) { mType = DwMime::TypeEnumToStr(type); }
    void SetSubtype(const DwString& text) { mSubtype = text; }
    void SetSubtype(int subtype) { mSubtype = DwMime::SubtypeEnumToStr(subtype); }
    void SetTransferEncoding(const DwString& text) { mEncoding = text; }
    void SetTransferEncoding(int encoding) { mEncoding = DwMime::CteEnumToStr(encoding); }
    void SetDescription(const DwString& text) { mDescription = text; }
    void SetDisposition(const DwString& text) { mDisposition = text; }
    void SetBody(const DwString& bytes) { mBody = bytes; }

private:
    DwString mType, mSubtype, mEncoding, mDescription, mDisposition, mBody;
};

class CMailMessage {
public:
    enum RecipientList { kTo, kCc, kBcc };

    CMailMessage();
    virtual ~CMailMessage();
    // MIME-Version 1.0, a new Message-Id and the X-Mailer.
    virtual void SetAutomaticFields();

    // The field texts; empty when the header is absent.
    const DwString& From();
    const DwString& Subject();
    void SetFrom(const DwString& text);
    void SetSubject(const DwString& text);
    // Appends a mailbox, parsed from the text and kept as given.
    void AddTo(const DwString& text) { AddRecipient(kTo, text); }
    void AddCc(const DwString& text) { AddRecipient(kCc, text); }
    void AddBcc(const DwString& text) { AddRecipient(kBcc, text); }
    int NumRecipients(RecipientList list);
    // The address's text, assembled; a bounds exception outside the list.
    DwString Recipient(RecipientList list, int index);
    // The Date header from a time, in local time with the zone's offset and name.
    void SetDate(time_t when);

    // The assembled message text.
    const DwString& AsString();
    // Replaces the whole message with a parsed text.
    void FromString(const DwString& text);
    void DeleteBodyParts();
    DwMessage& Message() { return *mMessage; }

protected:
    DwMessage* mMessage;

private:
    DwString mEmpty;
    void AddRecipient(RecipientList list, const DwString& text);
    DwAddressList* List(RecipientList list, bool create);
};

class CMultipartMailMessage : public CMailMessage {
public:
    // The base fields, then multipart/mixed with a new boundary.
    void SetAutomaticFields() override;
    int NumberOfParts() const;
    // A copy of part `index`; all fields empty outside the parts.
    CMailBodyPart GetBodyPart(int index) const;
    // Appends empty parts until `index` exists, then fills it; a negative
    // index does nothing.
    void SetBodyPart(int index, const CMailBodyPart& part);
    void AddBodyPart(const CMailBodyPart& part);
};

class CAttachmentMailMessage : public CMultipartMailMessage {
public:
    CAttachmentMailMessage() : mMessageNumber(-1) {}
    // The first body part := text/plain, 7bit, with the text as its body.
    void SetText(const DwString& text);
    // 0, or -1 when the file cannot be read.
    int SetTextFromFile(const char* path);
    // A base64 part with disposition attachment; filename="path". -1 (and
    // nothing added) when the file cannot be read. The first attachment of a
    // message without parts goes to part 1 after an empty part 0.
    int AttachFile(const char* path, int type, int subtype);
    int AttachmentCount() const;
    int MessageNumber() const { return mMessageNumber; }
    void SetMessageNumber(int number) { mMessageNumber = number; }

private:
    int mMessageNumber;
};

// A file's bytes: 0, or -1 when it cannot be read.
int ReadFileBytes(const char* path, DwString& bytes);

#endif
