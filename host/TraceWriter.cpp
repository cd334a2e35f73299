#include "host/TraceWriter.h"

#include <fstream>

namespace qohost {

TraceWriter::TraceWriter(std::string processName) {
    events.push_back({{"name", "process_name"}, {"ph", "M"}, {"pid", kPid}, {"tid", 0},
                      {"args", {{"name", std::move(processName)}}}});
}

void TraceWriter::NameTrack(uint32_t track, const std::string& name, int sortIndex) {
    events.push_back({{"name", "thread_name"}, {"ph", "M"}, {"pid", kPid}, {"tid", track},
                      {"args", {{"name", name}}}});
    events.push_back({{"name", "thread_sort_index"}, {"ph", "M"}, {"pid", kPid},
                      {"tid", track}, {"args", {{"sort_index", sortIndex}}}});
}

void TraceWriter::Slice(uint32_t track, const std::string& name, const char* category,
                        int64_t startUs, int64_t durationUs, Json args) {
    events.push_back({{"name", name}, {"cat", category}, {"ph", "X"}, {"ts", startUs},
                      {"dur", durationUs < 0 ? 0 : durationUs}, {"pid", kPid}, {"tid", track},
                      {"args", std::move(args)}});
}

void TraceWriter::Instant(uint32_t track, const std::string& name, const char* category,
                          int64_t atUs, Json args) {
    events.push_back({{"name", name}, {"cat", category}, {"ph", "i"}, {"s", "t"}, {"ts", atUs},
                      {"pid", kPid}, {"tid", track}, {"args", std::move(args)}});
}

TraceWriter::Json TraceWriter::Document() const {
    Json doc = Json::object();
    doc["traceEvents"] = Json(events);
    doc["displayTimeUnit"] = "ms";
    return doc;
}

bool TraceWriter::Write(const std::string& path, std::string& error) const {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    if (!out) {
        error = "cannot write the trace file '" + path + "'";
        return false;
    }
    // Text that is not valid UTF-8 (script strings are plain bytes) is replaced, not fatal.
    out << Document().dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
    if (!out) {
        error = "cannot write the trace file '" + path + "'";
        return false;
    }
    return true;
}

}  // namespace qohost
