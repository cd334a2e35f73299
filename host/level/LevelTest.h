// Testing a level: each of its runs played in a world of its own with its expectations
// checked (qohost test, docs/levels.md "Expectations").
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/level/Expectations.h"

class kvQuorin;

namespace qohost {

struct RunVerdict {
    std::string run;  // the run's name, "" for a level without runs
    bool loaded = false;
    LevelErrors loadErrors;  // why it did not load
    std::vector<ExpectationResult> results;
    int32_t frames = 0;     // frames played
    double seconds = 0.0;   // wall-clock time the run took

    bool Passed() const;
    // The failures, one line each ("expect[0] 'door opens' failed at frame 410: ..."), or the
    // load errors.
    std::vector<std::string> Failures() const;
};

// The expectation `qohost test` adds to every run: no error (a "Quorin Error" line, a script
// thread the host could not create), unless the level says itself what it expects of errors
// (a "no" expectation of errors or of every problem).
void AddDefaultExpectations(std::vector<Expectation>& expect);

// Plays each run of the level (the level as it is when it has none) for its own length, in a
// fresh world on the module, with the level's and the run's expectations and the defaults.
std::vector<RunVerdict> TestLevel(kvQuorin* module, const LevelDesc& level);

}  // namespace qohost
