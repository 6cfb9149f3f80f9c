#include "crash_workload.h"

#include <stdlib.h>
#include <vector>

namespace {

class Random {
public:
    explicit Random(unsigned long long seed) : fState(seed * 0x9E3779B97F4A7C15ULL + 1) {}
    unsigned long next()
    {
        fState ^= fState << 13;
        fState ^= fState >> 7;
        fState ^= fState << 17;
        return (unsigned long)(fState >> 16);
    }
    unsigned long below(unsigned long n) { return next() % n; }

private:
    unsigned long long fState;
};

NeoID PickExisting(const DatabaseState& state, Random& random)
{
    std::vector<NeoID> ids;
    for (const auto& object : state)
        if (object.first != kCounterID)
            ids.push_back(object.first);
    return ids.empty() ? 0 : ids[random.below((unsigned long)ids.size())];
}

void Store(CThing* thing, NeoID id, const ThingState& s)
{
    std::string note = MakeNote(id, s.noteVersion);
    thing->fName.setText(s.name.c_str());
    thing->fNote.setBlob(note.data(), (unsigned long)note.size());
    thing->fParent = s.parent;
    thing->fNumber = s.number;
}

}  // namespace

std::string MakeNote(NeoID id, long version)
{
    Random random((unsigned long long)id << 32 | (unsigned long)version);
    std::string note = std::to_string(version) + ":";
    note.resize(500 + random.below(3000), ' ');
    for (size_t i = note.find(':') + 1; i < note.size(); ++i)
        note[i] = (char)('a' + random.below(26));
    return note;
}

void CrashWorkload::apply(long number, DatabaseState& state, CNeoDatabase* db)
{
    Random random((unsigned long long)fSeed << 24 ^ (unsigned long)number);
    auto add = [&](NeoID id, const ThingState& s) {
        state[id] = s;
        if (!db)
            return;
        CThing* thing = static_cast<CThing*>(CNeoMetaClass::GetMetaClass(s.classID)->create());
        Store(thing, id, s);
        thing->setID(id);
        db->addObject(thing);
        thing->unrefer();
    };
    auto change = [&](NeoID id, const ThingState& s) {
        state[id] = s;
        if (!db)
            return;
        CThing* thing = FindThing(*db, id);
        Store(thing, id, s);
        thing->setDirty();
        thing->unrefer();
    };
    auto remove = [&](NeoID id) {
        state.erase(id);
        if (!db)
            return;
        CThing* thing = FindThing(*db, id);
        db->removeObject(thing);
        thing->unrefer();
    };

    ThingState counter = {kThingID, "counter", 0, number, 0};
    if (number == 1)
        add(kCounterID, counter);
    else
        change(kCounterID, counter);

    // Each commit adds objects with IDs from a range of its own.
    NeoID nextID = 2 + number * 64;
    unsigned long adds = state.size() < 150 ? 30 : random.below(8);
    for (unsigned long i = 0; i < adds; ++i) {
        NeoID id = nextID++;
        ThingState s = {random.below(3) ? kThingID : kSubThingID, "t" + std::to_string(id),
                        PickExisting(state, random), (long)random.next(), number};
        add(id, s);
    }
    unsigned long removals = state.size() > 250 ? 12 : random.below(4);
    for (unsigned long i = 0; i < removals; ++i)
        if (NeoID id = PickExisting(state, random))
            remove(id);
    for (int i = 0; i < 40; ++i) {
        NeoID id = PickExisting(state, random);
        if (!id)
            break;
        ThingState s = state[id];
        s.noteVersion = number;
        s.number = (long)random.next();
        if (random.below(4) == 0)
            s.parent = PickExisting(state, random);
        if (random.below(8) == 0)
            s.name = "t" + std::to_string(id) + "-" + std::to_string(number);
        change(id, s);
    }
    // Move two objects to another parent by removing and adding them back.
    for (int i = 0; i < 2; ++i) {
        NeoID id = PickExisting(state, random);
        if (!id)
            break;
        ThingState s = state[id];
        s.parent = PickExisting(state, random);
        state[id] = s;
        if (db) {
            CThing* thing = FindThing(*db, id);
            db->removeObject(thing);
            thing->fParent = s.parent;
            db->addObject(thing);
            thing->unrefer();
        }
    }
}

DatabaseState CrashWorkload::stateAfter(long number)
{
    DatabaseState state;
    for (long n = 1; n <= number; ++n)
        apply(n, state, NULL);
    return state;
}

DatabaseState ReadState(CNeoDatabase& db)
{
    DatabaseState state;
    CNeoIndexIterator* it = db.getIterator(kThingID, NULL);
    for (CNeoPersist* object = it->first(); object; object = it->nextObject()) {
        CThing* thing = static_cast<CThing*>(object);
        std::string note = thing->note();
        long version = atol(note.c_str());
        if (note != MakeNote(thing->getID(), version))
            version = -1;
        state[thing->getID()] = ThingState{thing->getClassID(), thing->name(), thing->fParent,
                                           thing->fNumber, version};
        thing->unrefer();
    }
    delete it;
    return state;
}
