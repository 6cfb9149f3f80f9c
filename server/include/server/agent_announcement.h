// The record by which agents make themselves known to servers: one 36-byte
// mailslot message, a little-endian 32-bit kind and a NUL-terminated
// computer name of at most 31 characters, zero-filled.
#ifndef SERVER_AGENT_ANNOUNCEMENT_H
#define SERVER_AGENT_ANNOUNCEMENT_H

#include <windows.h>

#include <string>

enum AnnouncementKind { kAnnounce = 0, kLeaving = 1 };

struct AgentAnnouncement {
    static constexpr int kNameBytes = 32;
    static constexpr int kRecordBytes = 4 + kNameBytes;

    // The record's bytes; a longer name is cut to 31 characters.
    static void Encode(AnnouncementKind kind, const char* computerName, BYTE record[kRecordBytes]);
    // Reads a message: FALSE when it is not a record (not 36 bytes long).
    // The name is the text up to the first NUL within its 32 bytes.
    static BOOL Decode(const BYTE* message, DWORD length, LONG* kind, std::string* computerName);
};

#endif
