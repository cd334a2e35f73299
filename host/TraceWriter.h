// Chrome trace event format (the JSON that chrome://tracing and Perfetto load): named tracks,
// slices with a start and a duration, and instant events, all in microseconds.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace qohost {

class TraceWriter {
public:
    using Json = nlohmann::ordered_json;

    explicit TraceWriter(std::string processName);

    // Names a track; tracks are listed in the viewer by `sortIndex`, then by id.
    void NameTrack(uint32_t track, const std::string& name, int sortIndex);
    // A span of time on a track ("ph": "X"). Slices on one track nest when one lies inside
    // another.
    void Slice(uint32_t track, const std::string& name, const char* category, int64_t startUs,
               int64_t durationUs, Json args = Json::object());
    // A point in time on a track ("ph": "i", thread scope).
    void Instant(uint32_t track, const std::string& name, const char* category, int64_t atUs,
                 Json args = Json::object());

    // {"traceEvents": [...], "displayTimeUnit": "ms"}
    Json Document() const;
    // Writes Document() to `path`; false with `error` set when the file cannot be written.
    bool Write(const std::string& path, std::string& error) const;

    size_t EventCount() const { return events.size(); }

private:
    static constexpr int kPid = 1;
    std::vector<Json> events;
};

}  // namespace qohost
