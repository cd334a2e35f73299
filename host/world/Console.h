// The reference host's console: everything the module prints, kept as raw lines (colour codes
// included). A print may carry several lines or part of one; text after the last newline
// waits in Pending() until a later print completes it.
#pragma once

#include <cstdarg>
#include <cstdio>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

class Console {
public:
    // Formats like vprintf and appends the text. Returns the formatted text.
    std::string Vprintf(const char* format, va_list args);
    void Print(std::string_view text);

    // Completed lines, without their newline, colour codes kept.
    const std::vector<std::string>& Lines() const { return lines_; }
    // Text after the last newline.
    const std::string& Pending() const { return pending_; }
    // Completed lines plus the pending text as a last line when not empty.
    std::vector<std::string> AllLines() const;
    // Every completed line with colour codes removed.
    std::vector<std::string> PlainLines() const;
    // True when some completed line, colour codes removed, contains the text.
    bool Contains(std::string_view text) const;
    size_t CountContaining(std::string_view text) const;
    void Clear();

    // Copy each completed line (colour codes removed) to this stream as it arrives; null: off.
    void EchoTo(FILE* stream) { echo_ = stream; }
    // Keep completed lines in Lines() (the default); off, only the pending text is held.
    void KeepLines(bool keep) { keep_ = keep; }

    // Removes "^" + digit colour codes ("^1Quorin Error:^3 x^0" -> "Quorin Error: x").
    static std::string StripColors(std::string_view text);

private:
    std::vector<std::string> lines_;
    std::string pending_;
    FILE* echo_ = nullptr;
    bool keep_ = true;
};

}  // namespace qohost
