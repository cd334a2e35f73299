#include "host/records/TraceWriter.h"

namespace qohost {

namespace {

std::string CannotWrite(const std::string& path) { return "cannot write the trace file '" + path + "'"; }

}  // namespace

TraceWriter::~TraceWriter() {
    std::string ignored;
    if (file_) Close(ignored);
}

bool TraceWriter::Open(const std::string& path, const std::string& processName, std::string& error) {
    if (file_) Close(error);
    file_ = std::fopen(path.c_str(), "wb");
    if (!file_) {
        error = CannotWrite(path);
        return false;
    }
    path_ = path;
    events_ = 0;
    std::fputs("{\"traceEvents\":[", file_);
    Write({{"name", "process_name"}, {"ph", "M"}, {"pid", kPid}, {"tid", 0},
           {"args", {{"name", processName}}}});
    return true;
}

void TraceWriter::Write(const Json& event) {
    if (!file_) return;
    // Text that is not valid UTF-8 (script strings are plain bytes) is replaced, not fatal.
    const std::string text = event.dump(-1, ' ', false, Json::error_handler_t::replace);
    if (events_++ > 0) std::fputs(",\n", file_);
    std::fwrite(text.data(), 1, text.size(), file_);
}

void TraceWriter::NameTrack(TraceTrack track, const std::string& name, int sortIndex) {
    Write({{"name", "thread_name"}, {"ph", "M"}, {"pid", track.process}, {"tid", track.thread},
           {"args", {{"name", name}}}});
    Write({{"name", "thread_sort_index"}, {"ph", "M"}, {"pid", track.process}, {"tid", track.thread},
           {"args", {{"sort_index", sortIndex}}}});
}

void TraceWriter::NameProcess(uint32_t process, const std::string& name, int sortIndex) {
    Write({{"name", "process_name"}, {"ph", "M"}, {"pid", process}, {"tid", 0}, {"args", {{"name", name}}}});
    Write({{"name", "process_sort_index"}, {"ph", "M"}, {"pid", process}, {"tid", 0},
           {"args", {{"sort_index", sortIndex}}}});
}

void TraceWriter::Slice(TraceTrack track, const std::string& name, const char* category,
                        int64_t startUs, int64_t durationUs, Json args) {
    Write({{"name", name}, {"cat", category}, {"ph", "X"}, {"ts", startUs},
           {"dur", durationUs < 0 ? 0 : durationUs}, {"pid", track.process}, {"tid", track.thread},
           {"args", std::move(args)}});
}

void TraceWriter::Instant(TraceTrack track, const std::string& name, const char* category,
                          int64_t atUs, Json args) {
    Write({{"name", name}, {"cat", category}, {"ph", "i"}, {"s", "t"}, {"ts", atUs},
           {"pid", track.process}, {"tid", track.thread}, {"args", std::move(args)}});
}

void TraceWriter::Counter(const std::string& name, const char* category, int64_t atUs, Json values) {
    Write({{"name", name}, {"cat", category}, {"ph", "C"}, {"ts", atUs}, {"pid", kPid}, {"tid", 0},
           {"args", std::move(values)}});
}

bool TraceWriter::Close(std::string& error) {
    if (!file_) return true;
    std::fputs("],\n\"displayTimeUnit\":\"ms\"}\n", file_);
    const bool failed = std::ferror(file_) != 0;
    const bool closed = std::fclose(file_) == 0;
    file_ = nullptr;
    if (failed || !closed) {
        error = CannotWrite(path_);
        return false;
    }
    return true;
}

}  // namespace qohost
