// Chrome trace event format (the JSON that chrome://tracing and Perfetto load): named tracks,
// slices with a start and a duration, instant events and counters, all in microseconds.
//
// The writer streams: each event is written to the file when it is made, so a trace of any
// length takes no memory. Close writes the end of the document; until then the file is not
// valid JSON.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

#include <nlohmann/json.hpp>

namespace qohost {

// A track: a thread of a process in the format's terms. The viewer groups the tracks of a
// process under it; the host's own tracks are of process 1, and an entity's tracks (its script
// threads, its events, its moves) of a process of its own.
struct TraceTrack {
    static constexpr uint32_t kHostProcess = 1;
    TraceTrack(uint32_t thread) : process(kHostProcess), thread(thread) {}  // a host track
    TraceTrack(uint32_t process, uint32_t thread) : process(process), thread(thread) {}
    uint32_t process;
    uint32_t thread;
};

class TraceWriter {
public:
    using Json = nlohmann::ordered_json;

    TraceWriter() = default;
    ~TraceWriter();  // closes the file if still open (errors are lost then)
    TraceWriter(const TraceWriter&) = delete;
    TraceWriter& operator=(const TraceWriter&) = delete;

    // Creates (truncates) the file and writes the start of the document with the process name;
    // false with `error` set when the file cannot be written.
    bool Open(const std::string& path, const std::string& processName, std::string& error);
    bool IsOpen() const { return file_ != nullptr; }

    // Names a track; tracks are listed in the viewer by `sortIndex`, then by id.
    void NameTrack(TraceTrack track, const std::string& name, int sortIndex);
    // Names a process (a group of tracks); processes are listed by `sortIndex`, then by id.
    void NameProcess(uint32_t process, const std::string& name, int sortIndex);
    // A span of time on a track ("ph": "X"). Slices on one track nest when one lies inside
    // another.
    void Slice(TraceTrack track, const std::string& name, const char* category, int64_t startUs,
               int64_t durationUs, Json args = Json::object());
    // A point in time on a track ("ph": "i", thread scope).
    void Instant(TraceTrack track, const std::string& name, const char* category, int64_t atUs,
                 Json args = Json::object());
    // A value of a counter track ("ph": "C"): the viewer draws a track per counter name, with
    // a series per key of `values` (numbers), each holding its value until the next event.
    void Counter(const std::string& name, const char* category, int64_t atUs, Json values);

    // Ends the document ({"traceEvents": [...], "displayTimeUnit": "ms"}) and closes the file;
    // false with `error` set when something could not be written.
    bool Close(std::string& error);

    size_t EventCount() const { return events_; }

private:
    void Write(const Json& event);

    static constexpr uint32_t kPid = TraceTrack::kHostProcess;
    std::FILE* file_ = nullptr;
    std::string path_;
    size_t events_ = 0;
};

}  // namespace qohost
