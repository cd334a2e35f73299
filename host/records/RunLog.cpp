#include "host/records/RunLog.h"

#include <algorithm>
#include <cctype>
#include <charconv>
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

bool RunLog::Involves(const Record& r, std::string_view text) const {
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
    // The line is built in a reused buffer and kept in the frame's own (FrameLines).
    line_.clear();
    if (console) {
        line_ += Console::StripColors(r.text);
    } else {
        line_ += r.kind == RecordKind::Timeline ? "   > " : "   ";
        r.AppendText(line_);
    }
    const size_t textSize = line_.size();
    if (r.answer) {
        if (!FreshAnswer(r, std::string_view(line_).substr(3))) return;
        line_ += " -> ";
        line_ += answer_;
    }
    if (!frame_.lines.empty() && r.frame != frame_.first) CloseFrame();
    if (frame_.lines.empty()) {
        frame_.first = frame_.last = r.frame;
        frame_.firstMs = frame_.lastMs = r.timeMs;
    }
    if (!Involves(r, line_)) return;
    if (!frame_.lines.empty()) {
        FrameLines::Line& back = frame_.lines.back();
        if (back.size == textSize && frame_.Whole(back) == line_) {
            ++back.count;
            return;
        }
    }
    frame_.lines.push_back({static_cast<uint32_t>(frame_.chars.size()), static_cast<uint32_t>(textSize),
                            static_cast<uint32_t>(line_.size() - textSize), 1});
    frame_.chars += line_;
}

bool RunLog::FreshAnswer(const Record& r, std::string_view call) {
    if (r.frame != answersFrame_) {
        // Only answers of the frame before matter: the tables never hold more than two frames'
        // calls.
        if (r.frame == answersFrame_ + 1) std::swap(answersBefore_, answers_);
        else answersBefore_.Clear();
        answers_.Clear();
        answersFrame_ = r.frame;
    }
    answer_.clear();
    r.answer(r, answer_);
    const size_t hash = Answers::Hash(call);
    std::string_view before;
    const bool fresh = !answersBefore_.Find(call, hash, before) || before != answer_;
    answers_.Put(call, hash, answer_);
    if (allQueries_ || fresh) return true;
    ++foldedQueries_;
    return false;
}

size_t RunLog::Answers::Hash(std::string_view call) { return std::hash<std::string_view>{}(call); }

size_t RunLog::Answers::Seek(std::string_view call, size_t hash) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& s = slots_[i];
        if (s.used != frame_ || (s.hash == hash && Chars(s.at, s.size) == call)) return i;
    }
}

bool RunLog::Answers::Find(std::string_view call, size_t hash, std::string_view& answer) const {
    if (used_ == 0) return false;
    const Slot& s = slots_[Seek(call, hash)];
    if (s.used != frame_) return false;
    answer = Chars(s.answerAt, s.answerSize);
    return true;
}

void RunLog::Answers::Put(std::string_view call, size_t hash, std::string_view answer) {
    if (2 * (used_ + 1) > slots_.size()) {
        // Twice the slots, the calls placed again.
        std::vector<Slot> old(std::max<size_t>(64, 2 * slots_.size()));
        old.swap(slots_);
        for (const Slot& s : old)
            if (s.used == frame_) slots_[Seek(Chars(s.at, s.size), s.hash)] = s;
    }
    Slot& s = slots_[Seek(call, hash)];
    if (s.used != frame_) {
        s = {hash, frame_, static_cast<uint32_t>(chars_.size()), static_cast<uint32_t>(call.size()), 0, 0};
        chars_ += call;
        ++used_;
    }
    if (Chars(s.answerAt, s.answerSize) != answer) {
        s.answerAt = static_cast<uint32_t>(chars_.size());
        s.answerSize = static_cast<uint32_t>(answer.size());
        chars_ += answer;
    }
}

void RunLog::Answers::Clear() {
    if (used_ && ++frame_ == 0) {  // the numbers wrapped around: slots of old frames are emptied
        std::fill(slots_.begin(), slots_.end(), Slot{});
        frame_ = 1;
    }
    used_ = 0;
    chars_.clear();
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

bool RunLog::FrameLines::SameLines(const FrameLines& o) const {
    if (lines.size() != o.lines.size()) return false;
    for (size_t i = 0; i < lines.size(); ++i)
        if (lines[i].size != o.lines[i].size || lines[i].count != o.lines[i].count) return false;
    for (size_t i = 0; i < lines.size(); ++i)
        if (Text(lines[i]) != o.Text(o.lines[i])) return false;
    return true;
}

void RunLog::CloseFrame() {
    if (frame_.lines.empty()) return;
    bool same = !printed_.lines.empty() && frame_.first == printed_.last + 1 && printed_.SameLines(frame_);
    bool otherAnswers = false;
    for (size_t i = 0; same && i < frame_.lines.size(); ++i)
        otherAnswers |= frame_.Answer(frame_.lines[i]) != printed_.Answer(printed_.lines[i]);
    if (same && !(otherAnswers && allQueries_)) {
        if (printed_.last == told_) repeatsSince_ = std::chrono::steady_clock::now();
        otherAnswers_ |= otherAnswers;
        printed_.last = frame_.first;
        printed_.lastMs = frame_.firstMs;
    } else {
        PrintRepeats();
        PrintFrame(frame_);
        std::swap(printed_, frame_);  // the buffers of the frame before are reused
        told_ = printed_.first;
    }
    frame_.Clear();
}

void RunLog::PrintFrame(const FrameLines& frame) {
    if (!out_) return;
    std::fprintf(out_, "-- frame %" PRIu64 " (%s)\n", frame.first, Seconds(frame.firstMs).c_str());
    print_.clear();
    for (const FrameLines::Line& line : frame.lines) {
        // As C strings: a text with a NUL in it ends there (text and answer each).
        const std::string_view whole = frame.Whole(line);
        if (whole.find('\0') == std::string_view::npos) print_ += whole;
        else
            for (std::string_view part : {frame.Text(line), frame.Answer(line)}) print_ += part.substr(0, part.find('\0'));
        if (line.count != 1) {
            char count[16];
            print_ += " (x";
            print_.append(count, std::to_chars(count, count + sizeof count, line.count).ptr);
            print_ += ')';
        }
        print_ += '\n';
    }
    std::fwrite(print_.data(), 1, print_.size(), out_);
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
