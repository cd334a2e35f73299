#include "host/world/Console.h"

#include <cctype>

namespace qohost {

std::string Console::Vprintf(const char* format, va_list args) {
    if (!format) return {};
    va_list copy;
    va_copy(copy, args);
    char small[512];
    const int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    std::string text;
    if (needed < 0) return text;
    if (static_cast<size_t>(needed) < sizeof small) {
        text.assign(small, static_cast<size_t>(needed));
    } else {
        text.resize(static_cast<size_t>(needed) + 1);
        std::vsnprintf(text.data(), text.size(), format, args);
        text.resize(static_cast<size_t>(needed));
    }
    Print(text);
    return text;
}

void Console::Print(std::string_view text) {
    size_t start = 0;
    while (start < text.size()) {
        const size_t nl = text.find('\n', start);
        if (nl == std::string_view::npos) {
            pending_.append(text.substr(start));
            return;
        }
        pending_.append(text.substr(start, nl - start));
        if (echo_) {
            std::string plain = StripColors(pending_);
            std::fprintf(echo_, "%s\n", plain.c_str());
        }
        if (keep_) lines_.push_back(std::move(pending_));
        pending_.clear();
        start = nl + 1;
    }
}

std::vector<std::string> Console::AllLines() const {
    std::vector<std::string> all = lines_;
    if (!pending_.empty()) all.push_back(pending_);
    return all;
}

std::vector<std::string> Console::PlainLines() const {
    std::vector<std::string> plain;
    plain.reserve(lines_.size());
    for (const std::string& line : lines_) plain.push_back(StripColors(line));
    return plain;
}

bool Console::Contains(std::string_view text) const { return CountContaining(text) > 0; }

size_t Console::CountContaining(std::string_view text) const {
    size_t n = 0;
    for (const std::string& line : lines_)
        n += StripColors(line).find(text) != std::string::npos;
    return n;
}

void Console::Clear() {
    lines_.clear();
    pending_.clear();
}

std::string Console::StripColors(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '^' && i + 1 < text.size() &&
            std::isdigit(static_cast<unsigned char>(text[i + 1]))) {
            ++i;
            continue;
        }
        out.push_back(text[i]);
    }
    return out;
}

}  // namespace qohost
