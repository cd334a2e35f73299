// Reading a level's expectations and checking them on its run.
//
// ExpectationChecker is a record sink: it reads the run as it happens (activations, removals,
// console lines, warnings and errors, record counts) and, once per frame, the state of the few
// entities the expectations name (dead, where they stand). What it keeps is the expectations'
// own state (a first sighting, the nearest miss, a count), never the history of the run.
#pragma once

#include <memory>
#include <set>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/level/Level.h"
#include "host/level/Expectation.h"

namespace qohost {

class World;

// The names a level gives its entities and spawns, as views of texts that outlive the set.
// Hashed for the checks of every reference; the sorted list that suggestions for an unknown
// name walk is made only when a name is unknown.
class LevelNames {
public:
    void Reserve(size_t count) { names_.reserve(count); }
    // False when the name is already there.
    bool Insert(std::string_view name) {
        if (!names_.insert(name).second) return false;
        sorted_.clear();
        return true;
    }
    bool Contains(std::string_view name) const { return names_.count(name) != 0; }
    const std::set<std::string_view>& Sorted() const {
        if (sorted_.empty()) sorted_.insert(names_.begin(), names_.end());
        return sorted_;
    }

private:
    std::unordered_set<std::string_view> names_;
    mutable std::set<std::string_view> sorted_;
};

// Reads the array of expectations at `field` ("expect", "runs.fail.expect") and appends them
// to `out`. Entity names must be among `entities` (the level's entities and spawn names).
// Problems are appended to `errors` in the usual FILE: field ...: reason form.
void ParseExpectations(const nlohmann::ordered_json& value, const std::string& field,
                       const std::string& file, const LevelNames& entities,
                       std::vector<Expectation>& out, LevelErrors& errors);

// The verdict on one expectation.
struct ExpectationResult {
    Expectation expectation;
    bool passed = false;
    // For a failure: what was seen instead ("not activated; nearest: door_relay activated at
    // frame 410 (6.560 s)") and the frame it points at.
    std::string seen;
    uint64_t frame = 0;

    // "expect[0] 'exit door opens' failed at frame 410: ..."
    std::string Text() const;
};

class ExpectationChecker final : public RecordSink {
public:
    // The expectations must outlive the checker. Attach it to the world before the level loads.
    ExpectationChecker(World& world, const std::vector<Expectation>& expectations);
    ~ExpectationChecker();

    void Take(const Record& record) override;
    // Call after each frame (and after the load): reads the state of the entities named by
    // "dead" and "at" expectations.
    void AfterFrame();
    // The verdicts, in the order of the expectations, at the end of the run.
    std::vector<ExpectationResult> Results() const;

private:
    struct State;
    void Seen(size_t index, uint64_t frame, int64_t ms, const std::string& text);
    void Other(size_t index, uint64_t frame, int64_t ms, const std::string& text, size_t score = 0);

    World& world_;
    const std::vector<Expectation>& expectations_;
    std::vector<State> states_;
};

}  // namespace qohost
