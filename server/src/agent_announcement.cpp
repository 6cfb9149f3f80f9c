#include <server/agent_announcement.h>

#include <string.h>

void AgentAnnouncement::Encode(AnnouncementKind kind, const char* computerName,
                               BYTE record[kRecordBytes])
{
    memset(record, 0, kRecordBytes);
    LONG value = kind;
    for (int i = 0; i < 4; ++i)
        record[i] = (BYTE)(value >> (8 * i));
    strncpy((char*)record + 4, computerName, kNameBytes - 1);
}

BOOL AgentAnnouncement::Decode(const BYTE* message, DWORD length, LONG* kind,
                               std::string* computerName)
{
    if (length != (DWORD)kRecordBytes)
        return FALSE;
    DWORD value = 0;
    for (int i = 0; i < 4; ++i)
        value |= (DWORD)message[i] << (8 * i);
    *kind = (LONG)value;
    const char* name = (const char*)message + 4;
    computerName->assign(name, strnlen(name, kNameBytes));
    return TRUE;
}
