#include "host/Recorder.h"

namespace qohost {

std::vector<Record> Recorder::OfKind(std::string_view kind) const {
    std::vector<Record> out;
    for (const Record& r : records_)
        if (r.kind == kind) out.push_back(r);
    return out;
}

std::vector<std::string> Recorder::TextsOfKind(std::string_view kind) const {
    std::vector<std::string> out;
    for (const Record& r : records_)
        if (r.kind == kind) out.push_back(r.text);
    return out;
}

size_t Recorder::Count(std::string_view kind) const {
    size_t n = 0;
    for (const Record& r : records_) n += r.kind == kind;
    return n;
}

}  // namespace qohost
