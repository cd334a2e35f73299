// What a level expects of its run (the level file's "expect" section, docs/levels.md): one
// statement each, checked by ExpectationChecker (host/level/Expectations.h) while the level runs.
#pragma once

#include <cstdint>
#include <limits>
#include <string>

#include "host/records/Recorder.h"
#include "quorin/qoTypes.h"

namespace qohost {

enum class ExpectKind : uint8_t {
    Activated,  // the entity was activated (an OnActivate it received, an Activate call, an event)
    Removed,    // the entity was removed from the world
    Dead,       // the entity was dead at the end of a frame
    At,         // the entity's origin came within `radius` of `place`
    Console,    // a console line matched `pattern`
    No,         // no problem of the kind `problem` (matching `pattern`, when given)
    Count,      // the number of records of kind `record` (matching `pattern`) lay in [min, max]
};

// What a "no" expectation forbids.
enum class ProblemKind : uint8_t {
    Error,    // "Quorin Error" console lines, host notices
    Warning,  // "Quorin Warning" console lines, entity methods that failed or were refused
    Any,      // both
};

struct Expectation {
    ExpectKind kind = ExpectKind::Activated;
    std::string name;   // the level's own name for it, else a description (Describe)
    std::string field;  // "expect[2]" or "runs.fail.expect[0]", for messages
    std::string entity;
    qoVector place;
    float radius = 16.0f;
    std::string pattern;  // console, no, count: ECMAScript regular expression ("" = any)
    ProblemKind problem = ProblemKind::Error;
    RecordKind record = RecordKind::Console;
    int64_t min = 1;
    int64_t max = std::numeric_limits<int64_t>::max();
    // The window of game time it speaks of, in milliseconds, both ends included.
    int64_t afterMs = 0;
    int64_t beforeMs = std::numeric_limits<int64_t>::max();
    bool never = false;  // it must not happen within the window
    bool implicit = false;  // added by `qohost test` ("no error"), not written in the level

    // "exit_door activated between 2 s and 6 s", "never console /Activate failed/", ...
    std::string Describe() const;
};

}  // namespace qohost
