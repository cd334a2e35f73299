#include "host/world/Allocator.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <optional>

namespace qohost {

namespace {
// Fresh blocks are filled with this byte so code that reads memory it never wrote stands out;
// freed blocks get kFreedFill before they go back.
constexpr unsigned char kFreshFill = 0xCD;
constexpr unsigned char kFreedFill = 0xDD;

uint64_t SplitMix(uint64_t& state) {
    uint64_t z = (state += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
}

// A whole number of the text (decimal, or hex after "0x"), within `max`.
bool ReadNumber(std::string_view text, uint64_t max, uint64_t& out) {
    int base = 10;
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        base = 16;
        text.remove_prefix(2);
    }
    if (text.empty()) return false;
    uint64_t value = 0;
    for (char c : text) {
        int digit = c >= '0' && c <= '9' ? c - '0'
                    : base == 16 && c >= 'a' && c <= 'f' ? c - 'a' + 10
                    : base == 16 && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                                         : -1;
        if (digit < 0 || value > (max - uint64_t(digit)) / uint64_t(base)) return false;
        value = value * uint64_t(base) + uint64_t(digit);
    }
    out = value;
    return true;
}

std::string Hex(uint32_t v) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "0x%08" PRIx32, v);
    return buf;
}
}  // namespace

Allocator::~Allocator() { ReleaseAll(); }

void* Allocator::Allocate(size_t size, uint32_t tag) {
    const uint64_t number = ++allocations_;
    bool fail = false;
    if (failNext_ > 0) {
        --failNext_;
        fail = true;
    }
    auto at = std::find(failAt_.begin(), failAt_.end(), number);
    if (at != failAt_.end()) {
        failAt_.erase(at);
        fail = true;
    }
    if (std::find(failTags_.begin(), failTags_.end(), tag) != failTags_.end()) fail = true;
    // The draw is made on every allocation while a rate is set, so that what fails depends
    // only on the seed and the allocation's number.
    if (failRate_ > 0.0 && double(SplitMix(rateState_) >> 11) * 0x1.0p-53 < failRate_) fail = true;
    if (fail) {
        ++failed_;
        return nullptr;
    }
    void* memory = std::malloc(size ? size : 1);
    if (!memory) {
        ++failed_;
        return nullptr;
    }
    std::memset(memory, kFreshFill, size);
    blocks_[memory] = BlockInfo{size, tag, number};
    return memory;
}

void Allocator::Free(void* memory, uint32_t tag) {
    if (!memory) return;
    auto it = blocks_.find(memory);
    if (it == blocks_.end()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "free of unknown pointer %p with tag %s", memory,
                      Hex(tag).c_str());
        errors_.emplace_back(buf);
        return;  // never hand a pointer we do not own to the system allocator
    }
    if (it->second.tag != tag) {
        char buf[160];
        std::snprintf(buf, sizeof buf,
                      "tag mismatch: block #%" PRIu64 " of %zu bytes allocated with %s freed with %s",
                      it->second.serial, it->second.size, Hex(it->second.tag).c_str(),
                      Hex(tag).c_str());
        errors_.emplace_back(buf);
    }
    if (logFrees_) freeLog_.push_back(it->second.serial);
    std::memset(memory, kFreedFill, it->second.size);
    blocks_.erase(it);
    ++frees_;
    std::free(memory);
}

uint32_t Allocator::SetTag(uint32_t tag) {
    const uint32_t previous = currentTag_;
    currentTag_ = tag;
    return previous;
}

void Allocator::FailNext(int count) { failNext_ = std::max(0, count); }

void Allocator::FailAt(uint64_t k) {
    if (k > 0) failAt_.push_back(allocations_ + k);
}

void Allocator::FailTag(uint32_t tag) { failTags_.push_back(tag); }

void Allocator::FailRate(double rate, uint64_t seed) {
    failRate_ = std::clamp(rate, 0.0, 1.0);
    rateState_ = seed;
}

void Allocator::ClearFailures() {
    failNext_ = 0;
    failAt_.clear();
    failTags_.clear();
    failRate_ = 0.0;
}

bool Allocator::ConfigureFailures(std::string_view failures, std::string& error) {
    std::vector<uint64_t> at;
    std::vector<uint32_t> tags;
    std::optional<std::pair<double, uint64_t>> rate;
    const auto bad = [&](std::string_view item, const char* why) {
        error = "'" + std::string(item) + "': " + why +
                " (expected N, nth:N, tag:T or rate:R[:SEED], separated by commas)";
        return false;
    };
    while (!failures.empty()) {
        const size_t comma = failures.find(',');
        const std::string_view item = failures.substr(0, comma);
        failures = comma == std::string_view::npos ? std::string_view() : failures.substr(comma + 1);
        const size_t colon = item.find(':');
        const std::string_view kind = colon == std::string_view::npos ? "nth" : item.substr(0, colon);
        const std::string_view rest = colon == std::string_view::npos ? item : item.substr(colon + 1);
        uint64_t n = 0;
        if (kind == "nth") {
            if (!ReadNumber(rest, std::numeric_limits<uint64_t>::max() / 2, n) || n == 0)
                return bad(item, "not an allocation number from 1");
            at.push_back(n);
        } else if (kind == "tag") {
            if (!ReadNumber(rest, std::numeric_limits<uint32_t>::max(), n)) return bad(item, "not a 32-bit tag");
            tags.push_back(uint32_t(n));
        } else if (kind == "rate") {
            const size_t seedColon = rest.find(':');
            const std::string number(rest.substr(0, seedColon));
            char* end = nullptr;
            const double r = std::strtod(number.c_str(), &end);
            if (number.empty() || *end != '\0' || !(r >= 0.0 && r <= 1.0))
                return bad(item, "not a rate from 0 to 1");
            uint64_t seed = 1;
            if (seedColon != std::string_view::npos &&
                !ReadNumber(rest.substr(seedColon + 1), std::numeric_limits<uint64_t>::max(), seed))
                return bad(item, "not a seed");
            rate.emplace(r, seed);
        } else {
            return bad(item, "unknown kind");
        }
    }
    for (uint64_t k : at) FailAt(k);
    for (uint32_t t : tags) FailTag(t);
    if (rate) FailRate(rate->first, rate->second);
    return true;
}

size_t Allocator::LiveBlocks(uint32_t tag) const {
    size_t n = 0;
    for (const auto& [p, info] : blocks_) n += info.tag == tag;
    return n;
}

size_t Allocator::LiveBytes() const {
    size_t n = 0;
    for (const auto& [p, info] : blocks_) n += info.size;
    return n;
}

std::map<uint32_t, TagUsage> Allocator::LiveByTag() const {
    std::map<uint32_t, TagUsage> usage;
    for (const auto& [p, info] : blocks_) {
        TagUsage& u = usage[info.tag];
        ++u.blocks;
        u.bytes += info.size;
    }
    return usage;
}

const BlockInfo* Allocator::Find(const void* memory) const {
    auto it = blocks_.find(memory);
    return it == blocks_.end() ? nullptr : &it->second;
}

std::string Allocator::Report() const {
    std::string text;
    for (const auto& [tag, u] : LiveByTag()) {
        char buf[96];
        std::snprintf(buf, sizeof buf, "tag %s: %zu blocks, %zu bytes\n", Hex(tag).c_str(),
                      u.blocks, u.bytes);
        text += buf;
    }
    return text;
}

void Allocator::ReleaseAll() {
    for (auto& [p, info] : blocks_) std::free(const_cast<void*>(p));
    blocks_.clear();
}

}  // namespace qohost
