// The world's event log: every observable thing the module asks of the host, in order, with
// the frame and game time it happened at. Tests assert on it; qohost prints it.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

struct Record {
    uint64_t frame = 0;
    int32_t timeMs = 0;
    uint32_t thread = 0;  // calling script thread, 0 outside any
    std::string kind;     // "console", "cvar", "object", "entity", "draw", "trace", "method", ...
    std::string text;
};

class Recorder {
public:
    void Add(Record record) { records_.push_back(std::move(record)); }
    const std::vector<Record>& Records() const { return records_; }
    std::vector<Record> OfKind(std::string_view kind) const;
    std::vector<std::string> TextsOfKind(std::string_view kind) const;
    size_t Count(std::string_view kind) const;
    void Clear() { records_.clear(); }
    // Off: Add still works, but World skips the kinds listed here (e.g. "draw" in long runs).
    std::vector<std::string> muted;

private:
    std::vector<Record> records_;
};

}  // namespace qohost
