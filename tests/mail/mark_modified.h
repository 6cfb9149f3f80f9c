// Marks every component of a message tree modified, so that the next
// Assemble rebuilds all of it (tests and the benchmark).
#ifndef TESTS_MAIL_MARK_MODIFIED_H
#define TESTS_MAIL_MARK_MODIFIED_H

#include <mail/mime.h>

inline void MarkAllModified(DwMessageComponent& c)
{
    c.SetModified();
    if (DwEntity* entity = dynamic_cast<DwEntity*>(&c)) {
        MarkAllModified(entity->Headers());
        MarkAllModified(entity->Body());
    } else if (DwHeaders* headers = dynamic_cast<DwHeaders*>(&c)) {
        for (int i = 0; i < headers->NumFields(); ++i)
            MarkAllModified(headers->FieldAt(i));
    } else if (DwField* field = dynamic_cast<DwField*>(&c)) {
        if (field->FieldBody())
            MarkAllModified(*field->FieldBody());
    } else if (DwBody* body = dynamic_cast<DwBody*>(&c)) {
        for (int i = 0; i < body->NumBodyParts(); ++i)
            MarkAllModified(body->BodyPartAt(i));
        if (body->Message())
            MarkAllModified(*body->Message());
    } else if (DwAddressList* list = dynamic_cast<DwAddressList*>(&c)) {
        for (int i = 0; i < list->NumAddresses(); ++i)
            MarkAllModified(list->AddressAt(i));
    } else if (DwMailboxList* mailboxes = dynamic_cast<DwMailboxList*>(&c)) {
        for (int i = 0; i < mailboxes->NumMailboxes(); ++i)
            MarkAllModified(mailboxes->MailboxAt(i));
    } else if (DwGroup* group = dynamic_cast<DwGroup*>(&c)) {
        MarkAllModified(group->MailboxList());
    } else if (DwParameterized* p = dynamic_cast<DwParameterized*>(&c)) {
        for (int i = 0; i < p->NumParameters(); ++i)
            MarkAllModified(p->ParameterAt(i));
    } else if (DwStamp* stamp = dynamic_cast<DwStamp*>(&c)) {
        MarkAllModified(stamp->Date());
    }
}

#endif
