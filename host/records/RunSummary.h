// The summary at the end of a run (`qohost run --summary`, on by default): warnings and errors
// by kind, method calls that failed, activations that nothing handled, script threads still
// waiting at the end, and entities with script objects that never did anything. A sink that
// counts as the run goes; what it keeps grows with the kinds of messages and the entities, not
// with the run's length.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "host/records/Recorder.h"

namespace qohost {

class World;

class RunSummary final : public RecordSink {
public:
    explicit RunSummary(World& world);
    void Take(const Record& record) override;
    // The level's player count: the world utility's warnings for entities such a level need
    // not have are not counted as warnings (host/records/LookupNotes.h).
    void SetPlayers(size_t players) { players_ = players; }
    // Notes that the printed log folded away (world utility lookups of optional entities,
    // queries that answered as in the frame before, warnings and failed calls printed before).
    void SetFolded(std::vector<std::string> lookups, uint64_t queries, uint64_t repeats = 0);
    // Prints the summary, reading what is still waiting from the world (call before teardown).
    void Print(FILE* out, World& world) const;

private:
    World& world_;
    std::map<std::string, uint64_t> messages_;  // "warning: .Activate failed." -> count
    std::map<std::string, uint64_t> failures_;  // "Activate failed: no such entity" -> count
    // Activations nothing handled: the activated entity's name and count, in the order first
    // seen; by name when printed.
    std::vector<std::pair<std::string, uint64_t>> unhandled_;
    std::vector<uint32_t> unhandledAt_;  // by handle: 1 + the entity's place in unhandled_, 0 for none
    std::vector<bool> active_;  // by handle: entities some record was about, or whose thread made it
    void MarkActive(uint32_t entity) {
        if (entity >= active_.size()) active_.resize(entity + 1 + entity / 2);
        active_[entity] = true;
    }
    std::vector<std::string> lookups_;
    uint64_t queries_ = 0;
    uint64_t repeats_ = 0;
    size_t players_ = SIZE_MAX;
};

}  // namespace qohost
