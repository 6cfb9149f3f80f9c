// The automation objects of ZQEMail.dll: ZQMail sends a message over SMTP,
// CZQMessage is one message, CZQPop reads and deletes a POP3 mailbox.
//
// - A message object lends its builder to the other two objects only through
//   the private interface IMessageBuilder, which they reach by
//   QueryInterface on the object that its MessageObject property hands out.
//   An object of another kind is refused with exception 1001.
// - Outcomes go to the [out,retval] int and to the text that GetLastError
//   gives: a socket-layer code with its text, else its category with its
//   text, else the code of the component's own making.
#ifndef MAIL_AUTOMATION_OBJECTS_H
#define MAIL_AUTOMATION_OBJECTS_H

// The mail headers first: they bring the socket headers before windows.h.
#include <mail/mail_socket.h>

#include <atl/atl.h>

#include <string>

#include "ZQEMail.h"

// Codes of the component's own making, in the retval.
enum MailObjectCode {
    kMailSuccess = 0,
    kMailFileUnreadable = -1,
    kMailBadRecipientIndex = 1,
    kMailNoMessages = 10,
    kMailServerRefused = 11,  // a POP3 command answered with a negative status
    kMailNoMoreMessages = 12,
    kMailNoMessageObject = 13,
    kMailBadAttachmentIndex = 20,
    kMailUnknownEncoding = 21,
};

// The message builder behind a CZQMessage.
struct IMessageBuilder : public IUnknown {
    virtual CAttachmentMailMessage* STDMETHODCALLTYPE Builder() = 0;
};
extern const IID IID_IMessageBuilder;

// The builder of a script's message object; null for an object of another
// kind.
CAttachmentMailMessage* BuilderOf(IZQMessage* message);

// The text of a refused message object (exception 1001).
extern const WORD kWrongMessageObject;
extern const char kWrongMessageObjectText[];

// A failed exchange as scripts see it: the socket layer's error code with
// its text, else its category with its text, else `code` with `text`.
void ReportMailFailure(int socketCode, int socketCategory, int code, const std::string& text,
                       int* retval, std::string& lastError);

BSTR DwToBstr(const DwString& text);
DwString BstrToDw(BSTR text);

HRESULT CreateMailObject(REFIID riid, void** object);
HRESULT CreateMessageObject(REFIID riid, void** object);
HRESULT CreatePopObject(REFIID riid, void** object);

#endif
