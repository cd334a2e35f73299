#include "host/records/RunLog.h"

#include <cinttypes>

#include "host/world/Console.h"

namespace qohost {

namespace {

constexpr RecordMask kLogged = MaskOf(RecordKind::Console) | MaskOf(RecordKind::Method) |
                               MaskOf(RecordKind::Event) | MaskOf(RecordKind::Timeline) |
                               MaskOf(RecordKind::Screen);

}  // namespace

RunLog::RunLog(FILE* out, bool methods) : out_(out), methods_(methods) {
    wants = !out ? 0 : methods ? kLogged : MaskOf(RecordKind::Console);
}

void RunLog::Take(const Record& r) {
    if (!out_) return;
    const bool console = r.kind == RecordKind::Console;
    if (!methods_) {
        if (console) std::fprintf(out_, "%s\n", Console::StripColors(r.text).c_str());
        return;
    }
    if (!(kLogged & MaskOf(r.kind))) return;
    if (!frame_.lines.empty() && r.frame != frame_.first) CloseFrame();
    if (frame_.lines.empty()) frame_ = {r.frame, r.frame, r.timeMs, r.timeMs, {}};
    std::string line = console                          ? Console::StripColors(r.text)
                       : r.kind == RecordKind::Timeline ? "   > " + r.Text()
                                                        : "   " + r.Text();
    if (!frame_.lines.empty() && frame_.lines.back().first == line) ++frame_.lines.back().second;
    else frame_.lines.emplace_back(std::move(line), 1);
}

void RunLog::Finish() {
    CloseFrame();
    PrintRun();
    if (out_) std::fflush(out_);
}

void RunLog::CloseFrame() {
    if (frame_.lines.empty()) return;
    if (!run_.lines.empty() && run_.lines == frame_.lines && frame_.first == run_.last + 1) {
        run_.last = frame_.first;
        run_.lastMs = frame_.firstMs;
    } else {
        PrintRun();
        run_ = std::move(frame_);
    }
    frame_ = {};
}

void RunLog::PrintRun() {
    if (run_.lines.empty() || !out_) return;
    if (run_.first == run_.last)
        std::fprintf(out_, "-- frame %" PRIu64 " (%" PRId64 ".%03d s)\n", run_.first,
                     run_.firstMs / 1000, int(run_.firstMs % 1000));
    else
        std::fprintf(out_,
                     "-- frames %" PRIu64 " to %" PRIu64 " (%" PRId64 ".%03d s to %" PRId64
                     ".%03d s), each frame:\n",
                     run_.first, run_.last, run_.firstMs / 1000, int(run_.firstMs % 1000),
                     run_.lastMs / 1000, int(run_.lastMs % 1000));
    for (const auto& [line, count] : run_.lines) {
        if (count == 1) std::fprintf(out_, "%s\n", line.c_str());
        else std::fprintf(out_, "%s (x%d)\n", line.c_str(), count);
    }
    run_ = {};
}

}  // namespace qohost
