#include "host/world/Allocator.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace qohost {

namespace {
// Fresh blocks are filled with this byte so code that reads memory it never wrote stands out;
// freed blocks get kFreedFill before they go back.
constexpr unsigned char kFreshFill = 0xCD;
constexpr unsigned char kFreedFill = 0xDD;

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

void Allocator::ClearFailures() {
    failNext_ = 0;
    failAt_.clear();
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
