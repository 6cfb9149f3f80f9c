// The database: image format, commits, the object cache, indexes and searches.
//
// IMAGE FORMAT (all numbers little-endian, 32-bit unless noted)
//   [0, 512)     header slot 0
//   [512, 1024)  header slot 1
//   [1024, end)  the log: commit blocks, one per commit, in commit order
// Header slot (a checkpoint): magic 0x42445A51, version 2, format kind, slot
//   sequence, salt, end of the log it vouches for, sequence of the last
//   commit block before that end, first ID not yet reserved, CRC-32 of the
//   eight words before it. The valid slot with the higher sequence holds; a
//   new checkpoint goes into the other one, so a torn slot write leaves the
//   old one.
// Commit block: a header of magic 0x54494D43, the block's own offset, commit
//   sequence (one more than the block before), payload length, CRC-32 of the
//   payload, CRC-32 of the salt and those five words; then the payload:
//   records of
//     byte 1 (object): ID, class ID, record length, the object's record;
//     byte 2 (removal): ID.
//   A later record of an ID replaces an earlier one.
// A commit writes its block at the end of the log and flushes once; when the
// block passes the end of a file, the file grows to the next 256 KB step with
// zeros written after the block (close() cuts them off again). Header
// slots are written at checkpoints: creating, compacting, reserving IDs and
// closing (each with its flush), and when the log has grown by 256 KB since
// the last one, when the commit carries a checkpoint for the commit before
// it (already on disk) in its own flush. Opening replays the blocks up to
// the checkpoint, which must all be whole, then reads on while blocks are
// whole and in sequence. A broken block there, or zeros, end the log: a
// broken block is the last commit, cut off while it was written, and is
// dropped (the next commit overwrites it) -
// unless a valid block header follows it, which only damage can leave. The salt (random per image) and the offset keep a block
// header stored inside a record, or left from an earlier image, from
// passing for a real one.
#include <zqdb32/zqdb32.h>

#include <algorithm>
#include <stdint.h>
#include <string.h>

namespace {

const unsigned long kHeaderMagic = 0x42445A51;
const unsigned long kBlockMagic = 0x54494D43;
const unsigned long kVersion = 2;
const unsigned long kSlotSize = 512;
const unsigned long kDataStart = 1024;
const unsigned long kSlotWords = 9;
const unsigned long kBlockHeader = 24;
const unsigned long kObjectRecordHeader = 13;
const unsigned long kRemovalRecord = 5;
const long kIDReserve = 1024;       // IDs reserved on disk at a time
const unsigned long kCompactSlack = 65536;
const unsigned long kCompactWindow = 1024 * 1024;  // compaction reads the file this much at a time
const unsigned long kCheckpointBytes = 256 * 1024;  // log grown since the last checkpoint
const unsigned long kFileGrowth = 256 * 1024;       // a file grows by whole steps of zeros

// CRC-32 (reflected, polynomial 0xEDB88320), eight bytes a step.
unsigned long Crc32(const unsigned char* data, size_t length, unsigned long crc = 0)
{
    static uint32_t table[8][256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k)
                c = (c & 1) ? 0xEDB88320U ^ (c >> 1) : c >> 1;
            table[0][i] = c;
        }
        for (uint32_t i = 0; i < 256; ++i)
            for (int t = 1; t < 8; ++t)
                table[t][i] = (table[t - 1][i] >> 8) ^ table[0][table[t - 1][i] & 0xFF];
        ready = true;
    }
    uint32_t c = (uint32_t)crc ^ 0xFFFFFFFFU;
    for (; length >= 8; data += 8, length -= 8) {
        uint32_t low = c ^ (data[0] | (data[1] << 8) | (data[2] << 16) | ((uint32_t)data[3] << 24));
        c = table[7][low & 0xFF] ^ table[6][(low >> 8) & 0xFF] ^ table[5][(low >> 16) & 0xFF] ^
            table[4][low >> 24] ^ table[3][data[4]] ^ table[2][data[5]] ^ table[1][data[6]] ^
            table[0][data[7]];
    }
    for (; length > 0; ++data, --length)
        c = table[0][(c ^ *data) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFU;
}

void Put32(std::vector<unsigned char>& out, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back((unsigned char)(value >> (8 * i)));
}

void Set32(unsigned char* p, unsigned long value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = (unsigned char)(value >> (8 * i));
}

unsigned long Get32(const unsigned char* p)
{
    return p[0] | (p[1] << 8) | (p[2] << 16) | ((unsigned long)p[3] << 24);
}

struct Slot {
    bool valid;
    unsigned long kind, sequence, salt, end, commitSequence, idLimit;
};

Slot ReadSlot(const unsigned char* p)
{
    Slot slot = {};
    unsigned long words[kSlotWords];
    for (unsigned long i = 0; i < kSlotWords; ++i)
        words[i] = Get32(p + 4 * i);
    slot.valid = words[0] == kHeaderMagic && words[1] == kVersion &&
                 words[8] == Crc32(p, 4 * 8) && words[2] <= 1;
    slot.kind = words[2];
    slot.sequence = words[3];
    slot.salt = words[4];
    slot.end = words[5];
    slot.commitSequence = words[6];
    slot.idLimit = words[7];
    return slot;
}

std::vector<unsigned char> SlotBytes(unsigned long kind, unsigned long sequence, unsigned long salt,
                                     unsigned long end, unsigned long commitSequence,
                                     NeoID idLimit)
{
    std::vector<unsigned char> slot;
    Put32(slot, kHeaderMagic);
    Put32(slot, kVersion);
    Put32(slot, kind);
    Put32(slot, sequence);
    Put32(slot, salt);
    Put32(slot, end);
    Put32(slot, commitSequence);
    Put32(slot, (unsigned long)idLimit);
    Put32(slot, Crc32(&slot[0], slot.size()));
    return slot;
}

// The checksum of a block header's first five words, seeded with the salt.
unsigned long BlockHeaderCrc(unsigned long salt, const unsigned char* header)
{
    unsigned char seed[4] = {(unsigned char)salt, (unsigned char)(salt >> 8),
                             (unsigned char)(salt >> 16), (unsigned char)(salt >> 24)};
    return Crc32(header, 20, Crc32(seed, 4));
}

// Fills in the header of a block whose payload follows it.
void WriteBlockHeader(unsigned char* block, unsigned long salt, unsigned long offset,
                      unsigned long sequence, unsigned long payloadLength)
{
    const unsigned long words[5] = {kBlockMagic, offset, sequence, payloadLength,
                                    Crc32(block + kBlockHeader, payloadLength)};
    for (int i = 0; i < 5; ++i)
        Set32(block + 4 * i, words[i]);
    Set32(block + 20, BlockHeaderCrc(salt, block));
}

std::vector<unsigned char> BlockBytes(unsigned long salt, unsigned long offset,
                                      unsigned long sequence,
                                      const std::vector<unsigned char>& payload)
{
    std::vector<unsigned char> block(kBlockHeader + payload.size());
    if (!payload.empty())
        memcpy(&block[kBlockHeader], &payload[0], payload.size());
    WriteBlockHeader(&block[0], salt, offset, sequence, (unsigned long)payload.size());
    return block;
}

// Moves the next free ID past an added object's ID; TRUE when that leaves
// the reserved range, which must then be reserved (up to `next`) first.
bool MovesPastReserve(NeoID id, NeoID& next, NeoID limit)
{
    if (id < next)
        return false;
    next = id + 1;
    return next > limit;
}

// A block header that belongs at `at` in an image with this salt.
bool ValidBlockHeader(const std::vector<unsigned char>& image, unsigned long at, unsigned long salt)
{
    if (image.size() < kBlockHeader || at > image.size() - kBlockHeader)
        return false;
    const unsigned char* p = &image[at];
    return Get32(p) == kBlockMagic && Get32(p + 4) == at && Get32(p + 20) == BlockHeaderCrc(salt, p);
}

unsigned long NewSalt()
{
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return (unsigned long)(now.LowPart ^ now.HighPart ^ (GetCurrentProcessId() << 16) ^ GetTickCount());
}

// The four bytes of a number, or the characters of a string.
bool KeyOf(const CNeoPersist* object, NeoTag tag, long valueType, std::string& key)
{
    if (valueType == kNeoStringKey) {
        CNeoString text;
        if (!object->getValue(tag, kNeoStringType, &text))
            return false;
        key = (const char*)text;
        return true;
    }
    unsigned long value = 0;
    NeoType type = valueType == kNeoLongKey ? kNeoLongType : kNeoULongType;
    if (!object->getValue(tag, type, &value))
        return false;
    key.assign(reinterpret_cast<const char*>(&value), 4);
    return true;
}

}  // namespace

struct CNeoDatabase::Entry {
    NeoClassID classID;
    unsigned long offset;  // of the record in the image; 0 until first committed
    unsigned long length;
    std::vector<std::pair<Index*, std::string>> keys;  // as indexed now
};

struct CNeoDatabase::Index {
    NeoClassID classID;
    NeoTag tag;
    long valueType;
    std::set<std::pair<std::string, NeoID>> entries;  // key value, object ID
    std::map<std::string, long> counts;               // entries per key value

    void insert(const std::string& key, NeoID id)
    {
        if (entries.insert(std::make_pair(key, id)).second)
            ++counts[key];
    }
    void erase(const std::string& key, NeoID id)
    {
        if (entries.erase(std::make_pair(key, id)) && --counts[key] == 0)
            counts.erase(key);
    }
    long countOf(const std::string& key) const
    {
        auto found = counts.find(key);
        return found == counts.end() ? 0 : found->second;
    }
};

CNeoDatabase::CNeoDatabase()
    : fSetting(0), fLocation(NULL), fStream(NULL), fFormat(NULL), fNewKind(1), fOpen(FALSE),
      fSequence(0), fSalt(0), fCheckpointEnd(kDataStart), fCommitSequence(0),
      fCommittedEnd(kDataStart), fStoredLength(0), fLiveBytes(0), fNextID(1), fIDLimit(1)
{
}

CNeoDatabase::~CNeoDatabase()
{
    CNeoLock lock;
    close();
    delete fStream;
}

CString CNeoDatabase::describe() const
{
    if (fLocation)
        return fLocation->getName();
    CNeoFileStream* file = dynamic_cast<CNeoFileStream*>(fStream);
    return file ? file->getPath() : CString("database image");
}

void CNeoDatabase::requireOpen() const
{
    if (!fOpen)
        CNeoException::Throw(CNeoException::kNotOpen, describe() + ": the database is not open");
}

void CNeoDatabase::setStream(CNeoContainerStream* stream)
{
    CNeoLock lock;
    if (fOpen)
        close();
    if (stream != fStream)
        delete fStream;
    fStream = stream;
}

void CNeoDatabase::reset()
{
    CNeoLock lock;
    close();
    if (!fLocation)
        CNeoException::Throw(CNeoException::kBadArgument, "A database without a location was reset");
    setStream(fLocation->createStream(this));
}

BOOL CNeoDatabase::existsOnDisk()
{
    CNeoLock lock;
    CString path = describe();
    return GetFileAttributesA(path) != INVALID_FILE_ATTRIBUTES;
}

void CNeoDatabase::create()
{
    CNeoLock lock;
    if (!fStream && fLocation)
        fStream = fLocation->createStream(this);
    CNeoFileStream* file = dynamic_cast<CNeoFileStream*>(fStream);
    if (file)
        file->open(TRUE);
}

// ---------------------------------------------------------------------------
// Opening and closing

void CNeoDatabase::open(unsigned long, BOOL create)
{
    CNeoLock lock;
    if (fOpen)
        return;
    if (!fStream) {
        if (!fLocation)
            CNeoException::Throw(CNeoException::kBadArgument, "A database without a location was opened");
        fStream = fLocation->createStream(this);
    }
    CNeoFileStream* file = dynamic_cast<CNeoFileStream*>(fStream);
    if (file)
        file->open(create);
    // One index per key registered on a class when the database opens.
    for (CNeoMetaClass* meta : CNeoMetaClass::GetAll())
        for (const CNeoMetaClass::Key& key : meta->getKeys())
            fIndexes.push_back(new Index{meta->getID(), key.tag, key.valueType, {}});
    try {
        if (fStream->getLength() == 0 && create)
            startEmpty();
        else
            loadImage();
    } catch (...) {
        forgetAll();
        throw;
    }
    fOpen = TRUE;
}

void CNeoDatabase::startEmpty()
{
    fFormat = NeoGetFormat(fNewKind);
    if (!fFormat)
        CNeoException::Throw(CNeoException::kBadArgument, "The application has no format of that kind");
    fSequence = 1;
    fSalt = NewSalt();
    fCommitSequence = 0;
    fCommittedEnd = fCheckpointEnd = kDataStart;
    fLiveBytes = 0;
    fNextID = 1;
    fIDLimit = 1;
    // The first header goes out in the same write as the rest of the header
    // area, so a crash leaves either an empty file or a valid one.
    std::vector<unsigned char> image(kDataStart, 0);
    std::vector<unsigned char> slot =
        SlotBytes(fFormat->getKind(), fSequence, fSalt, kDataStart, fCommitSequence, fIDLimit);
    std::copy(slot.begin(), slot.end(), image.begin() + (fSequence % 2) * kSlotSize);
    fStream->setLength(0, TRUE);
    fStream->setMark(0);
    fStream->writeChunk(&image[0], kDataStart);
    fStream->flush();
    fStoredLength = kDataStart;
}

void CNeoDatabase::loadImage()
{
    CString name = describe();
    unsigned long length = fStream->getLength();
    if (length < kDataStart)
        CNeoException::Throw(CNeoException::kDamaged, name + ": not a database (too short)");
    std::vector<unsigned char> image(length);
    fStream->setMark(0);
    fStream->readChunk(&image[0], length);
    Slot a = ReadSlot(&image[0]), b = ReadSlot(&image[kSlotSize]);
    if (!a.valid && !b.valid)
        CNeoException::Throw(CNeoException::kDamaged, name + ": the database header is damaged");
    Slot slot = !b.valid || (a.valid && a.sequence > b.sequence) ? a : b;
    if (slot.end < kDataStart)
        CNeoException::Throw(CNeoException::kDamaged, name + ": the database header is damaged");
    if (slot.end > length) {
        CString text;
        text.Format("%s: the database is truncated (it ends at byte %lu, its checkpoint at %lu)",
                    (const char*)name, length, slot.end);
        CNeoException::Throw(CNeoException::kTruncated, text);
    }
    fFormat = NeoGetFormat((short)slot.kind);
    if (!fFormat)
        CNeoException::Throw(CNeoException::kDamaged, name + ": the database's format is unknown");
    const unsigned long salt = slot.salt;

    unsigned long at = kDataStart;
    auto damaged = [&](const char* what, unsigned long where) {
        CString text;
        text.Format("%s: the database is damaged (%s at byte %lu)", (const char*)name, what, where);
        CNeoException::Throw(CNeoException::kDamaged, text);
    };
    // Why the block at `at` is not a whole block ending by `limit`, or NULL.
    auto broken = [&](unsigned long limit, unsigned long& sequence, unsigned long& payload) -> const char* {
        if (!ValidBlockHeader(image, at, salt))
            return "a commit block's header is missing or damaged";
        sequence = Get32(&image[at + 8]);
        payload = Get32(&image[at + 12]);
        if (at + kBlockHeader > limit || payload > limit - at - kBlockHeader)
            return "a commit block runs past the end of the log";
        if (Get32(&image[at + 16]) != Crc32(&image[at + kBlockHeader], payload))
            return "a commit block fails its checksum";
        return NULL;
    };

    // Replay the commit blocks into the directory of current records.
    struct Record { NeoClassID classID; unsigned long offset, length; };
    std::map<NeoID, Record> records;
    NeoID highest = 0;
    auto replay = [&](unsigned long payload) {
        const unsigned char* p = &image[at + kBlockHeader];
        size_t r = 0;
        while (r < payload) {
            unsigned long where = at + kBlockHeader + (unsigned long)r;
            unsigned char kind = p[r];
            if (payload - r < kRemovalRecord)
                damaged("a record is cut short", where);
            NeoID id = (NeoID)Get32(p + r + 1);
            if (kind == 2) {
                records.erase(id);
                r += kRemovalRecord;
            } else if (kind == 1 && payload - r >= kObjectRecordHeader) {
                unsigned long size = Get32(p + r + 9);
                if (size > payload - r - kObjectRecordHeader)
                    damaged("a record is longer than its block", where);
                if (id <= 0)
                    damaged("a record has an impossible ID", where);
                records[id] = Record{(NeoClassID)Get32(p + r + 5), where + kObjectRecordHeader, size};
                highest = std::max(highest, id);
                r += kObjectRecordHeader + size;
            } else {
                damaged("a record has an unknown kind", where);
            }
        }
    };

    // Up to the checkpoint every block must be whole and in sequence.
    unsigned long sequence = 0, payload = 0, last = 0;
    bool first = true;
    while (at < slot.end) {
        if (const char* why = broken(slot.end, sequence, payload))
            damaged(why, at);
        if (!first && sequence != last + 1)
            damaged("a commit block is out of sequence", at);
        replay(payload);
        first = false;
        last = sequence;
        at += kBlockHeader + payload;
    }
    if (first)
        last = slot.commitSequence;
    else if (last != slot.commitSequence)
        damaged("the last commit block is not the one the header names", slot.end);
    // Past it, the blocks of later commits, up to one cut off while written.
    const char* why = NULL;
    while (at < length && !(why = broken(length, sequence, payload))) {
        if (sequence != last + 1) {
            why = "a commit block is out of sequence";
            break;
        }
        replay(payload);
        last = sequence;
        at += kBlockHeader + payload;
    }
    // Only a file holds commits that a crash cut off; an image in memory
    // (sent from elsewhere) is whole or damaged.
    if (at < length && !dynamic_cast<CNeoFileStream*>(fStream))
        damaged(why, at);
    for (unsigned long p = at; p + kBlockHeader <= length; ++p)
        if (ValidBlockHeader(image, p, salt) && (p != at || Get32(&image[p + 8]) != last + 1))
            damaged("a broken commit block is followed by later commits", at);

    fSequence = slot.sequence;
    fSalt = salt;
    fCheckpointEnd = slot.end;
    fCommitSequence = last;
    fCommittedEnd = at;
    fStoredLength = length;
    // IDs of the reserved range may have been handed out by a process that
    // died before its commit: start above the whole range.
    fNextID = std::max((NeoID)slot.idLimit, highest + 1);
    fIDLimit = fNextID;
    fLiveBytes = 0;
    for (const auto& r : records) {
        Entry* entry = new Entry{r.second.classID, r.second.offset, r.second.length, {}};
        fEntries[r.first] = entry;
        fByClass[entry->classID].insert(r.first);
        fLiveBytes += kObjectRecordHeader + r.second.length;
    }
    // Read every object once, from the bytes already in memory: this checks
    // every record and builds the indexes.
    for (const auto& r : records)
        indexObject(r.first, load(r.first, image.data() + r.second.offset));
}

void CNeoDatabase::forgetAll()
{
    for (auto& cachedObject : fCache) {
        CNeoPersist* object = cachedObject.second;
        object->fDatabase = NULL;
        if (object->fUseCount < 1)
            delete object;
    }
    fCache.clear();
    for (auto& entry : fEntries)
        delete entry.second;
    fEntries.clear();
    fByClass.clear();
    for (Index* index : fIndexes)
        delete index;
    fIndexes.clear();
    fChanged.clear();
    fRemoved.clear();
    fHeldChanged.clear();
    fOpen = FALSE;
}

void CNeoDatabase::close(BOOL)
{
    CNeoLock lock;
    if (fOpen && (fCheckpointEnd != fCommittedEnd || fStoredLength > fCommittedEnd)) {
        // The file ends with its log again, and a checkpoint at the end lets
        // the next open tell a file cut short from a commit cut off. Every
        // commit is on disk already, so a failure here loses nothing: open
        // reads the log past the checkpoint and stops at the zeros.
        try {
            if (fStoredLength > fCommittedEnd)
                fStream->setLength(fCommittedEnd, TRUE);
            if (fCheckpointEnd != fCommittedEnd)
                writeCheckpoint(fCommittedEnd);
            fStream->flush();
        } catch (CNeoException* e) {
            e->Delete();
        }
    }
    forgetAll();
    if (fStream)
        fStream->close();
}

// ---------------------------------------------------------------------------
// Objects in memory

CNeoPersist* CNeoDatabase::cached(NeoID id) const
{
    auto found = fCache.find(id);
    return found == fCache.end() ? NULL : found->second;
}

CNeoPersist* CNeoDatabase::load(NeoID id, const unsigned char* record)
{
    if (CNeoPersist* object = cached(id))
        return object;
    auto found = fEntries.find(id);
    if (found == fEntries.end())
        return NULL;
    Entry* entry = found->second;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(entry->classID);
    if (!meta) {
        CString text;
        text.Format("%s: object %ld has the unknown class %ld", (const char*)describe(), (long)id,
                    (long)entry->classID);
        CNeoException::Throw(CNeoException::kUnknownClass, text);
    }
    std::vector<unsigned char> bytes;
    if (!record && entry->length) {
        bytes.resize(entry->length);
        fStream->setMark(entry->offset);
        fStream->readChunk(&bytes[0], entry->length);
        record = &bytes[0];
    }
    CNeoPersist* object = meta->create();
    CNeoBufferStream in(record, entry->length, fFormat);
    bool ok = false;
    try {
        object->readObject(&in, kNeoNullTag);
        ok = in.getMark() == entry->length;
    } catch (CException* e) {
        e->Delete();
    } catch (std::exception&) {
    }
    if (!ok) {
        delete object;
        CString text;
        text.Format("%s: the record of object %ld is damaged", (const char*)describe(), (long)id);
        CNeoException::Throw(CNeoException::kDamaged, text);
    }
    object->fID = id;
    object->fMark = (long)entry->offset;
    object->fUseCount = 0;
    object->fDatabase = this;
    fCache[id] = object;
    return object;
}

void CNeoDatabase::noteReferenced(CNeoPersist* object, BOOL referenced)
{
    if (referenced) {
        if (object->fDirty)
            fHeldChanged.insert(object);
        return;
    }
    // Unreferenced: bring its index keys up to date with its fields, since an
    // index search trusts the keys of every object no one holds.
    fHeldChanged.erase(object);
    indexObject(object->fID, object);
}

std::vector<CNeoDatabase::Index*> CNeoDatabase::indexesFor(NeoClassID classID) const
{
    std::vector<Index*> result;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(classID);
    if (!meta)
        return result;
    for (Index* index : fIndexes)
        if (meta->isKindOf(index->classID))
            result.push_back(index);
    return result;
}

void CNeoDatabase::indexObject(NeoID id, CNeoPersist* object)
{
    Entry* entry = fEntries[id];
    std::vector<std::pair<Index*, std::string>> keys;
    for (Index* index : indexesFor(entry->classID)) {
        std::string key;
        if (KeyOf(object, index->tag, index->valueType, key))
            keys.push_back(std::make_pair(index, key));
    }
    if (keys == entry->keys)
        return;
    unindexObject(id);
    for (auto& key : keys)
        key.first->insert(key.second, id);
    entry->keys.swap(keys);
}

void CNeoDatabase::unindexObject(NeoID id)
{
    Entry* entry = fEntries[id];
    for (auto& key : entry->keys)
        key.first->erase(key.second, id);
    entry->keys.clear();
}

BOOL CNeoDatabase::classMatches(NeoClassID objectClass, NeoClassID query) const
{
    if (objectClass == query)
        return TRUE;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(objectClass);
    return meta && meta->isKindOf(query);
}

// ---------------------------------------------------------------------------
// Adding, removing and finding

void CNeoDatabase::addObject(CNeoPersist* object, BOOL, void*)
{
    CNeoLock lock;
    requireOpen();
    if (object->fDatabase == this)
        return;
    if (object->fDatabase)
        CNeoException::Throw(CNeoException::kBadArgument,
                             "An object was added to a second database");
    NeoClassID classID = object->getClassID();
    if (!CNeoMetaClass::GetMetaClass(classID)) {
        CString text;
        text.Format("%s: an object of the unregistered class %ld was added",
                    (const char*)describe(), (long)classID);
        CNeoException::Throw(CNeoException::kUnknownClass, text);
    }
    if (object->fID == 0) {
        object->fID = getUniqueID(1);
    } else if (object->fID < 0) {
        CNeoException::Throw(CNeoException::kBadArgument, "An object with a negative ID was added");
    } else if (fEntries.count(object->fID)) {
        CString text;
        text.Format("%s: object %ld is already in the database", (const char*)describe(),
                    (long)object->fID);
        CNeoException::Throw(CNeoException::kDuplicateID, text);
    } else if (MovesPastReserve(object->fID, fNextID, fIDLimit)) {
        reserveIDs(fNextID);
    }
    NeoID id = object->fID;
    fEntries[id] = new Entry{classID, 0, 0, {}};
    fByClass[classID].insert(id);
    fCache[id] = object;
    object->fDatabase = this;
    // A removal of the same ID earlier in this commit stays in fRemoved: the
    // commit writes it before the new record, and it still holds if the
    // object is removed again before the commit.
    object->setDirty(2);
    indexObject(id, object);
    object->add(this);
}

void CNeoDatabase::removeObject(CNeoPersist* object, BOOL)
{
    CNeoLock lock;
    requireOpen();
    if (object->fDatabase != this)
        CNeoException::Throw(CNeoException::kBadArgument,
                             "An object was removed from a database that does not hold it");
    object->remove(this);
    NeoID id = object->fID;
    Entry* entry = fEntries[id];
    unindexObject(id);
    if (entry->offset) {
        fRemoved.insert(id);
        fLiveBytes -= kObjectRecordHeader + entry->length;
    }
    auto byClass = fByClass.find(entry->classID);
    byClass->second.erase(id);
    if (byClass->second.empty())
        fByClass.erase(byClass);
    delete entry;
    fEntries.erase(id);
    fCache.erase(id);
    fChanged.erase(id);
    fHeldChanged.erase(object);
    object->fDatabase = NULL;
    if (object->fUseCount < 1)
        delete object;
}

void CNeoDatabase::collect(NeoClassID classID, CNeoSelect* select, NeoID after,
                           std::vector<NeoID>& ids, BOOL firstOnly)
{
    auto accept = [&](NeoID id) -> bool {
        auto entry = fEntries.find(id);
        if (id <= after || entry == fEntries.end() || !classMatches(entry->second->classID, classID))
            return false;
        return !select || select->matches(load(id));
    };

    NeoID single;
    if (select && select->getSingleID(single)) {
        if (accept(single))
            ids.push_back(single);
        return;
    }

    // Of the keys the selection offers, the one with the fewest index entries.
    std::vector<CNeoSelect::Key> keys;
    if (select)
        select->getKeys(keys);
    Index* useIndex = NULL;
    const std::string* useKey = NULL;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(classID);
    for (const CNeoSelect::Key& key : keys)
        for (Index* index : fIndexes)
            if (index->tag == key.tag && meta && meta->isKindOf(index->classID) &&
                (index->valueType == kNeoStringKey) == (key.keyType == kNeoStringKey) &&
                (!useIndex || index->countOf(key.value) < useIndex->countOf(*useKey))) {
                useIndex = index;
                useKey = &key.value;
            }
    if (useIndex) {
        const std::string& key = *useKey;
        // Keys are brought up to date whenever an object is marked changed
        // or let go; a changed object that is still held may have changed
        // again since, so it is tested too.
        std::vector<NeoID> candidates;  // in ID order, as the index holds them
        for (auto it = useIndex->entries.lower_bound(std::make_pair(key, after + 1));
             it != useIndex->entries.end() && it->first == key; ++it)
            candidates.push_back(it->second);
        if (!fHeldChanged.empty()) {
            for (CNeoPersist* object : fHeldChanged)
                if (object->fID > after)
                    candidates.push_back(object->fID);
            std::sort(candidates.begin(), candidates.end());
            candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
        }
        for (NeoID id : candidates)
            if (accept(id)) {
                ids.push_back(id);
                if (firstOnly)
                    return;
            }
        return;
    }

    // No index: walk every class that belongs to the query, in ID order.
    std::vector<std::pair<std::set<NeoID>::const_iterator, std::set<NeoID>::const_iterator>> walks;
    for (const auto& byClass : fByClass)
        if (classMatches(byClass.first, classID))
            walks.push_back(std::make_pair(byClass.second.upper_bound(after), byClass.second.end()));
    for (;;) {
        size_t best = walks.size();
        for (size_t i = 0; i < walks.size(); ++i)
            if (walks[i].first != walks[i].second &&
                (best == walks.size() || *walks[i].first < *walks[best].first))
                best = i;
        if (best == walks.size())
            return;
        NeoID id = *walks[best].first++;
        if (accept(id)) {
            ids.push_back(id);
            if (firstOnly)
                return;
        }
    }
}

CNeoPersist* CNeoDatabase::findObject(NeoClassID classID, CNeoSelect* select, BOOL, void*,
                                      CObArray* found, long)
{
    CNeoLock lock;
    requireOpen();
    std::vector<NeoID> ids;
    collect(classID, select, 0, ids, found == NULL);
    if (ids.empty())
        return NULL;
    CNeoPersist* first = NULL;
    for (NeoID id : ids) {
        CNeoPersist* object = load(id);
        object->refer();
        if (found)
            found->Add(object);
        if (!first)
            first = object;
    }
    return first;
}

CNeoIndexIterator* CNeoDatabase::getIterator(NeoClassID classID, CNeoSelect* select, BOOL, BOOL,
                                              long)
{
    return new CNeoIndexIterator(this, classID, select);
}

long CNeoDatabase::countObjects(NeoClassID classID) const
{
    CNeoLock lock;
    long count = 0;
    for (const auto& byClass : fByClass)
        if (classMatches(byClass.first, classID))
            count += (long)byClass.second.size();
    return count;
}

long CNeoDatabase::getTagIndex(NeoClassID classID, NeoTag tag) const
{
    CNeoLock lock;
    CNeoMetaClass* meta = CNeoMetaClass::GetMetaClass(classID);
    long number = 0;
    for (const CNeoMetaClass* m = meta; m; ) {
        for (const CNeoMetaClass::Key& key : m->getKeys()) {
            if (key.tag == tag)
                return number;
            ++number;
        }
        if (m->getSuperID() == m->getID())
            break;
        m = CNeoMetaClass::GetMetaClass(m->getSuperID());
    }
    return -1;
}

// ---------------------------------------------------------------------------
// IDs, commits and compaction

NeoID CNeoDatabase::getUniqueID(long count)
{
    CNeoLock lock;
    requireOpen();
    if (count < 1)
        count = 1;
    NeoID id = fNextID;
    if (id + count > fIDLimit)
        reserveIDs(id + count);
    fNextID = id + count;
    return id;
}

void CNeoDatabase::reserveIDs(NeoID upTo)
{
    // The reservation reaches the disk before any of its IDs is handed out;
    // one that failed reserves nothing.
    NeoID previous = fIDLimit;
    fIDLimit = upTo + kIDReserve;
    try {
        writeCheckpoint(fCommittedEnd);
        fStream->flush();
    } catch (...) {
        fIDLimit = previous;
        throw;
    }
}

// Writes a header slot for the log up to `end` (which must be on disk) into
// the older slot; the caller flushes.
void CNeoDatabase::writeCheckpoint(unsigned long end)
{
    std::vector<unsigned char> slot =
        SlotBytes(fFormat->getKind(), fSequence + 1, fSalt, end, fCommitSequence, fIDLimit);
    fStream->setMark(((fSequence + 1) % 2) * kSlotSize);
    fStream->writeChunk(&slot[0], (unsigned long)slot.size());
    ++fSequence;
    fCheckpointEnd = end;
}

BOOL CNeoDatabase::isDirty() const
{
    CNeoLock lock;
    return !fChanged.empty() || !fRemoved.empty();
}

void CNeoDatabase::commit(BOOL, BOOL, void*)
{
    CNeoLock lock;
    requireOpen();
    if (fChanged.empty() && fRemoved.empty())
        return;

    // Build the whole block first: a failing writeObject leaves the file as it was.
    std::vector<unsigned char> payload;
    for (NeoID id : fRemoved) {
        payload.push_back(2);
        Put32(payload, (unsigned long)id);
    }
    std::vector<std::pair<NeoID, unsigned long>> written;  // ID, offset in payload
    for (NeoID id : fChanged) {
        CNeoPersist* object = cached(id);
        object->commit(this);
        CNeoBufferStream out(fFormat);
        object->writeObject(&out, kNeoNullTag);
        payload.push_back(1);
        Put32(payload, (unsigned long)id);
        Put32(payload, (unsigned long)fEntries[id]->classID);
        Put32(payload, out.length());
        written.push_back(std::make_pair(id, (unsigned long)payload.size()));
        payload.insert(payload.end(), out.data(), out.data() + out.length());
    }
    unsigned long start = fCommittedEnd;
    std::vector<unsigned char> block = BlockBytes(fSalt, start, fCommitSequence + 1, payload);
    if (start + block.size() < start)
        CNeoException::Throw(CNeoException::kIO, describe() + ": the database is full (4 GB)");
    // A file that must grow grows by a whole step of zeros written with the
    // block, so that most commits write inside the file and their flush
    // does not also record a new length. Open finds the log's end from the
    // blocks: zeros are no block.
    unsigned long end = start + (unsigned long)block.size();
    unsigned long stored = std::max(fStoredLength, end);
    if (end > fStoredLength && dynamic_cast<CNeoFileStream*>(fStream)) {
        unsigned long long grown = ((unsigned long long)end + kFileGrowth - 1) / kFileGrowth * kFileGrowth;
        stored = (unsigned long)std::min<unsigned long long>(grown, 0xFFFFFFFFULL);
        block.resize(stored - start, 0);
    }
    fStream->setMark(start);
    fStream->writeChunk(&block[0], (unsigned long)block.size());
    fStoredLength = stored;
    // A checkpoint for the commit before, which is on disk already, rides on
    // this commit's flush.
    if (start - fCheckpointEnd >= kCheckpointBytes)
        writeCheckpoint(start);
    fStream->flush();
    fCommittedEnd = end;
    ++fCommitSequence;

    // The commit is on disk: bring the directory up to date.
    for (const auto& w : written) {
        Entry* entry = fEntries[w.first];
        if (entry->offset)
            fLiveBytes -= kObjectRecordHeader + entry->length;
        entry->offset = start + kBlockHeader + w.second;
        entry->length = Get32(&payload[w.second - 4]);
        fLiveBytes += kObjectRecordHeader + entry->length;
        CNeoPersist* object = cached(w.first);
        object->fDirty = FALSE;
        object->fMark = (long)entry->offset;
        indexObject(w.first, object);
    }
    fChanged.clear();
    fRemoved.clear();
    fHeldChanged.clear();

    unsigned long garbage = fCommittedEnd - kDataStart - fLiveBytes;
    if (garbage > fLiveBytes + kCompactSlack)
        compact();
}

void CNeoDatabase::compact()
{
    // One block with every current record, behind a fresh header.
    std::vector<unsigned char> payload;
    std::vector<std::pair<Entry*, unsigned long>> moved;
    std::vector<NeoID> ids;
    for (const auto& entry : fEntries)
        if (entry.second->offset)
            ids.push_back(entry.first);
    std::sort(ids.begin(), ids.end());
    for (NeoID id : ids) {
        Entry* entry = fEntries[id];
        payload.push_back(1);
        Put32(payload, (unsigned long)id);
        Put32(payload, (unsigned long)entry->classID);
        Put32(payload, entry->length);
        moved.push_back(std::make_pair(entry, (unsigned long)payload.size()));
        payload.resize(payload.size() + entry->length);
    }
    readRecordsInto(moved, payload);
    // The new header goes where the next header would: the slot after the
    // current one, leaving the other slot empty for the checkpoint after it.
    std::vector<unsigned char> image(kDataStart, 0);
    unsigned long end = kDataStart + kBlockHeader + (unsigned long)payload.size();
    std::vector<unsigned char> slot =
        SlotBytes(fFormat->getKind(), fSequence + 1, fSalt, end, fCommitSequence, fIDLimit);
    std::copy(slot.begin(), slot.end(), image.begin() + ((fSequence + 1) % 2) * kSlotSize);
    std::vector<unsigned char> block = BlockBytes(fSalt, kDataStart, fCommitSequence, payload);
    image.insert(image.end(), block.begin(), block.end());

    fStream->replaceImage(&image[0], (unsigned long)image.size());
    fStoredLength = (unsigned long)image.size();
    fSequence += 1;
    fCommittedEnd = fCheckpointEnd = end;
    for (const auto& m : moved)
        m.first->offset = kDataStart + kBlockHeader + m.second;
}

void CNeoDatabase::readRecordsInto(std::vector<std::pair<Entry*, unsigned long>> records,
                                   std::vector<unsigned char>& payload)
{
    // In file order, a window of neighbouring records at a time: one read
    // for many records, over at most the garbage between them.
    std::sort(records.begin(), records.end(),
              [](const std::pair<Entry*, unsigned long>& a,
                 const std::pair<Entry*, unsigned long>& b) {
                  return a.first->offset < b.first->offset;
              });
    std::vector<unsigned char> window;
    for (size_t first = 0; first < records.size();) {
        unsigned long start = records[first].first->offset;
        unsigned long end = start + records[first].first->length;
        size_t last = first + 1;
        for (; last < records.size(); ++last) {
            const Entry* next = records[last].first;
            if (next->offset + next->length - start > kCompactWindow)
                break;
            end = std::max(end, next->offset + next->length);
        }
        window.resize(end - start);
        fStream->setMark(start);
        if (!window.empty())
            fStream->readChunk(&window[0], (unsigned long)window.size());
        for (size_t i = first; i < last; ++i) {
            const Entry* entry = records[i].first;
            std::copy(window.begin() + (entry->offset - start),
                      window.begin() + (entry->offset - start + entry->length),
                      payload.begin() + records[i].second);
        }
        first = last;
    }
}

void CNeoDatabase::purge(long amount)
{
    CNeoLock lock;
    std::vector<NeoID> evict;
    for (const auto& c : fCache) {
        if ((long)evict.size() >= amount)
            break;
        CNeoPersist* object = c.second;
        if (object->fUseCount < 1 && !object->fDirty && !object->fBusy &&
            fEntries[c.first]->offset && object->isPurgeable())
            evict.push_back(c.first);
    }
    for (NeoID id : evict) {
        delete fCache[id];
        fCache.erase(id);
    }
}

// ---------------------------------------------------------------------------
CNeoIndexIterator::CNeoIndexIterator(CNeoDatabase* database, NeoClassID classID,
                                     CNeoSelect* select)
    : fDatabase(database), fClassID(classID), fSelect(select), fCurrent(0)
{
}

CNeoIndexIterator::~CNeoIndexIterator()
{
    delete fSelect;
}

CNeoPersist* CNeoIndexIterator::first()
{
    fCurrent = 0;
    return nextObject();
}

CNeoPersist* CNeoIndexIterator::currentObject()
{
    CNeoLock lock;
    if (!fCurrent || !fDatabase->fEntries.count(fCurrent))
        return NULL;
    CNeoPersist* object = fDatabase->load(fCurrent);
    object->refer();
    return object;
}

CNeoPersist* CNeoIndexIterator::nextObject()
{
    CNeoLock lock;
    fDatabase->requireOpen();
    std::vector<NeoID> ids;
    fDatabase->collect(fClassID, fSelect, fCurrent, ids, TRUE);
    if (ids.empty()) {
        fCurrent = 0x7FFFFFFF;  // at the end until first()
        return NULL;
    }
    fCurrent = ids[0];
    return currentObject();
}

void CNeoOffspring::FindByParent(CNeoDatabase* database, NeoClassID classID, NeoID parentID,
                                 BOOL deep, CObArray* found, long)
{
    CNeoULongSelect select(kNeoParentTag, (unsigned long)parentID);
    database->findObject(classID, &select, deep, NULL, found);
}

// ---------------------------------------------------------------------------
// An image writer follows what a new in-memory database does: its first
// header slot, the checkpoints its added IDs make it write, and one commit.
namespace {

// Appends what is written to a buffer; records are written, never read.
class AppendStream : public CNeoStream {
public:
    AppendStream(std::vector<unsigned char>& bytes, CNeoFormat* format) : fBytes(bytes), fBase(bytes.size())
    {
        fFormat = format;
    }
    virtual void readChunk(void*, unsigned long)
    {
        CNeoException::Throw(CNeoException::kBadArgument, "A record being written was read");
    }
    virtual void writeChunk(const void* buffer, unsigned long count)
    {
        size_t at = fBase + fMark;
        if (at + count > fBytes.size())
            fBytes.resize(at + count);
        if (count)
            memcpy(&fBytes[at], buffer, count);
        fMark += count;
    }

private:
    std::vector<unsigned char>& fBytes;
    size_t fBase;
};

}  // namespace

CNeoImageWriter::CNeoImageWriter()
    : fFormat(NULL), fSalt(0), fSequence(0), fNextID(1), fIDLimit(1)
{
}

void CNeoImageWriter::start()
{
    fFormat = NeoGetFormat(1);
    if (!fFormat)
        CNeoException::Throw(CNeoException::kBadArgument, "The application has no format of that kind");
    fSalt = NewSalt();
    fSequence = 1;
    fNextID = 1;
    fIDLimit = 1;
    fHeader.assign(kDataStart, 0);
    writeSlot();
    fRecords.clear();
    fOrder.clear();
    fHeld.clear();
}

void CNeoImageWriter::writeSlot()
{
    std::vector<unsigned char> slot =
        SlotBytes(fFormat->getKind(), fSequence, fSalt, kDataStart, 0, fIDLimit);
    std::copy(slot.begin(), slot.end(), fHeader.begin() + (fSequence % 2) * kSlotSize);
}

BOOL CNeoImageWriter::holds(NeoID id) const
{
    return fHeld.count(id) != 0;
}

void CNeoImageWriter::add(CNeoPersist* object)
{
    CNeoLock lock;
    if (!fFormat)
        CNeoException::Throw(CNeoException::kNotOpen, "An image writer was used before start()");
    NeoID id = object->getID();
    if (id <= 0 || holds(id))
        CNeoException::Throw(CNeoException::kBadArgument,
                             "An object without an ID, or twice, was added to an image");
    NeoClassID classID = object->getClassID();
    if (!CNeoMetaClass::GetMetaClass(classID)) {
        CString text;
        text.Format("an object of the unregistered class %ld was added to an image", (long)classID);
        CNeoException::Throw(CNeoException::kUnknownClass, text);
    }
    unsigned long offset = (unsigned long)fRecords.size();
    fRecords.push_back(1);
    Put32(fRecords, (unsigned long)id);
    Put32(fRecords, (unsigned long)classID);
    Put32(fRecords, 0);  // the record's length, once written
    try {
        AppendStream out(fRecords, fFormat);
        object->writeObject(&out, kNeoNullTag);
    } catch (...) {
        fRecords.resize(offset);
        throw;
    }
    unsigned long length = (unsigned long)fRecords.size() - offset;
    Set32(&fRecords[offset + 9], length - kObjectRecordHeader);
    fOrder.push_back(Record{id, offset, length});
    fHeld.insert(id);
    if (MovesPastReserve(id, fNextID, fIDLimit)) {
        fIDLimit = fNextID + kIDReserve;
        ++fSequence;
        writeSlot();
    }
}

const unsigned char* CNeoImageWriter::finish(unsigned long* length)
{
    fImage.assign(fHeader.begin(), fHeader.end());
    if (!fOrder.empty()) {
        std::sort(fOrder.begin(), fOrder.end(),
                  [](const Record& a, const Record& b) { return a.id < b.id; });
        fImage.resize(kDataStart + kBlockHeader + fRecords.size());
        unsigned char* payload = &fImage[kDataStart + kBlockHeader];
        for (const Record& r : fOrder) {
            memcpy(payload, &fRecords[r.offset], r.length);
            payload += r.length;
        }
        WriteBlockHeader(&fImage[kDataStart], fSalt, kDataStart, 1,
                         (unsigned long)fRecords.size());
    }
    *length = (unsigned long)fImage.size();
    return &fImage[0];
}
