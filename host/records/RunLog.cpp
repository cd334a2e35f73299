#include "host/records/RunLog.h"

#include <cctype>
#include <cinttypes>
#include <cstdio>

#include "host/records/LookupNotes.h"
#include "host/sim/sound/Sound.h"
#include "host/world/Console.h"
#include "host/world/World.h"

namespace qohost {

namespace {

// A name stands alone in a text: no letter, digit or underscore right before or after it.
bool HasWord(std::string_view text, std::string_view word) {
    const auto part = [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; };
    for (size_t at = text.find(word); at != std::string_view::npos; at = text.find(word, at + 1))
        if ((at == 0 || !part(text[at - 1])) && (at + word.size() == text.size() || !part(text[at + word.size()])))
            return true;
    return false;
}

}  // namespace

const RecordMask RunLog::kDefaultKinds =
    MaskOf(RecordKind::Console) | MaskOf(RecordKind::Method) | MaskOf(RecordKind::Event) |
    MaskOf(RecordKind::Timeline) | MaskOf(RecordKind::Screen) | MaskOf(RecordKind::Crossing) | MaskOf(RecordKind::Health) | MaskOf(RecordKind::Death);

RunLog::RunLog(FILE* out, bool methods, std::chrono::duration<double> hold)
    : out_(out), methods_(methods), kinds_(kDefaultKinds), hold_(hold) {
    wants = !out ? 0 : methods ? kinds_ : MaskOf(RecordKind::Console);
}

void RunLog::SetKinds(RecordMask kinds) {
    kinds_ = kinds;
    wants = !out_ ? 0 : methods_ ? kinds_ : MaskOf(RecordKind::Console);
}

void RunLog::Only(std::vector<std::string> names, World& world) {
    only_ = std::move(names);
    world_ = &world;
}

bool RunLog::Involves(const Record& r, const std::string& text) const {
    if (only_.empty()) return true;
    const Entity* about = r.entity && world_ ? world_->EntityByHandle(r.entity) : nullptr;
    for (const std::string& name : only_) {
        if (about && (about->name == name || HostClassIsA(about->hostClass, name))) return true;
        if (HasWord(text, name)) return true;
    }
    return false;
}

void RunLog::Take(const Record& r) {
    if (!out_) return;
    const bool console = r.kind == RecordKind::Console;
    if (!methods_) {
        if (console) std::fprintf(out_, "%s\n", Console::StripColors(r.text).c_str());
        return;
    }
    if (!(kinds_ & MaskOf(r.kind))) return;
    // The volume during a fade comes every frame; the fade's own line says where it goes (the
    // trace draws the volume).
    if (r.kind == RecordKind::Sound && r.detail &&
        static_cast<const SoundChange*>(r.detail)->kind == SoundChange::Kind::Volume)
        return;
    if (console && players_ != SIZE_MAX) {
        std::string missing = OptionalLookupMissing(r.text, players_);
        if (!missing.empty()) {
            foldedLookups_.push_back(std::move(missing));
            return;
        }
    }
    // A warning or a failed call is printed the first time only (a query on a misnamed player
    // fails every frame); the summary counts them all by kind.
    if (console ? Console::StripColors(r.text).rfind("Quorin Warning", 0) == 0 : r.kind == RecordKind::Method && !r.format) {
        if (!shownProblems_.insert(console ? std::string(r.text) : r.Text()).second) {
            ++foldedProblems_;
            return;
        }
    }
    std::string answer;
    if (r.answer && !FreshAnswer(r, answer)) return;
    if (!frame_.lines.empty() && r.frame != frame_.first) CloseFrame();
    if (frame_.lines.empty()) frame_ = {r.frame, r.frame, r.timeMs, r.timeMs, {}};
    std::string line = console                          ? Console::StripColors(r.text)
                       : r.kind == RecordKind::Timeline ? "   > " + r.Text()
                                                        : "   " + r.Text();
    if (!Involves(r, line + answer)) return;
    if (!frame_.lines.empty() && frame_.lines.back().text == line && frame_.lines.back().answer == answer)
        ++frame_.lines.back().count;
    else
        frame_.lines.push_back({std::move(line), std::move(answer), 1});
}

bool RunLog::FreshAnswer(const Record& r, std::string& shown) {
    if (r.frame != answersFrame_) {
        // Only answers of the frame before matter: the table never outgrows two frames' calls.
        std::erase_if(answers_, [&](const auto& a) { return a.second.frame + 1 < r.frame; });
        answersFrame_ = r.frame;
    }
    std::string answer = r.answer(r);
    shown = " -> " + answer;
    Answer& a = answers_[r.Text()];
    if (a.frame != r.frame) {
        a.before = a.frame + 1 == r.frame ? std::move(a.text) : std::string("\x01");  // nothing before
        a.frame = r.frame;
    }
    a.text = std::move(answer);
    if (allQueries_ || a.before != a.text) return true;
    ++foldedQueries_;
    return false;
}

void RunLog::FrameDone() {
    if (!out_) return;
    if (!methods_) {
        std::fflush(out_);
        return;
    }
    CloseFrame();
    // Repeats held for long (a run that polls for minutes) are told so far.
    if (printed_.last > told_ && std::chrono::steady_clock::now() - repeatsSince_ >= hold_)
        PrintRepeats();
    std::fflush(out_);
}

void RunLog::Finish() {
    CloseFrame();
    PrintRepeats();
    if (out_) std::fflush(out_);
}

namespace {

std::string Seconds(int64_t ms) {
    char text[40];
    std::snprintf(text, sizeof text, "%" PRId64 ".%03d s", ms / 1000, int(ms % 1000));
    return text;
}

}  // namespace

void RunLog::CloseFrame() {
    if (frame_.lines.empty()) return;
    bool same = !printed_.lines.empty() && printed_.lines == frame_.lines && frame_.first == printed_.last + 1;
    bool otherAnswers = false;
    for (size_t i = 0; same && i < frame_.lines.size(); ++i) otherAnswers |= frame_.lines[i].answer != printed_.lines[i].answer;
    if (same && !(otherAnswers && allQueries_)) {
        if (printed_.last == told_) repeatsSince_ = std::chrono::steady_clock::now();
        otherAnswers_ |= otherAnswers;
        printed_.last = frame_.first;
        printed_.lastMs = frame_.firstMs;
    } else {
        PrintRepeats();
        PrintFrame(frame_);
        printed_ = std::move(frame_);
        told_ = printed_.first;
    }
    frame_ = {};
}

void RunLog::PrintFrame(const FrameLines& frame) {
    if (!out_) return;
    std::fprintf(out_, "-- frame %" PRIu64 " (%s)\n", frame.first, Seconds(frame.firstMs).c_str());
    for (const FrameLines::Line& line : frame.lines) {
        if (line.count == 1) std::fprintf(out_, "%s%s\n", line.text.c_str(), line.answer.c_str());
        else std::fprintf(out_, "%s%s (x%d)\n", line.text.c_str(), line.answer.c_str(), line.count);
    }
}

void RunLog::PrintRepeats() {
    if (printed_.lines.empty() || printed_.last == told_ || !out_) return;
    // The frames after the last told up to `last` printed what frame `first` printed.
    const uint64_t from = told_ + 1;
    const char* other = otherAnswers_ ? ", other answers" : "";
    if (from == printed_.last)
        std::fprintf(out_, "-- frame %" PRIu64 " (%s): as frame %" PRIu64 "%s\n", from, Seconds(printed_.lastMs).c_str(),
                     printed_.first, other);
    else
        std::fprintf(out_, "-- frames %" PRIu64 " to %" PRIu64 " (to %s): as frame %" PRIu64 "%s\n", from,
                     printed_.last, Seconds(printed_.lastMs).c_str(), printed_.first, other);
    told_ = printed_.last;
    otherAnswers_ = false;
}

}  // namespace qohost
