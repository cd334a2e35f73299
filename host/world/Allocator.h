// The reference host's tagged allocator.
//
// Every block handed to the module is recorded with its size and memory tag, so tests can ask
// what is live per tag and whether every Free named the tag its block was allocated with.
// Misuse (a tag mismatch, a pointer that is not live) is recorded as an error instead of
// crashing. Allocations can be made to fail on demand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace qohost {

struct BlockInfo {
    size_t size = 0;
    uint32_t tag = 0;
    uint64_t serial = 0;  // 1 for the first allocation of this allocator, counting up
};

struct TagUsage {
    size_t blocks = 0;
    size_t bytes = 0;
};

class Allocator {
public:
    Allocator() = default;
    ~Allocator();
    Allocator(const Allocator&) = delete;
    Allocator& operator=(const Allocator&) = delete;

    // Host slots 27 and 28. Allocate returns null when a failure was requested; size 0 still
    // yields a distinct live block. Free(nullptr) does nothing.
    void* Allocate(size_t size, uint32_t tag);
    void Free(void* memory, uint32_t tag);

    // Memory tag state (host slots 29 and 30).
    uint32_t GetTag() const { return currentTag_; }
    uint32_t SetTag(uint32_t tag);

    // Failure injection. FailNext(n): the next n allocations return null. FailAt(k): the k-th
    // allocation from now (1 = the next one) returns null. Both can be pending at once.
    void FailNext(int count);
    void FailAt(uint64_t k);
    // Every allocation with this tag fails (until ClearFailures).
    void FailTag(uint32_t tag);
    // Each allocation fails with this probability (0 to 1), drawn from a generator of its own
    // seeded here, so that a run with the same seed fails the same allocations.
    void FailRate(double rate, uint64_t seed);
    void ClearFailures();
    // Sets failures from a text, as `qohost run --fail-alloc` and QOHOST_FAIL_ALLOC take it:
    // comma-separated items "N" or "nth:N" (the N-th allocation from now, 1 = the next),
    // "tag:T" (every allocation with tag T, decimal or 0x hex) and "rate:R" or "rate:R:SEED"
    // (each allocation with probability R, SEED default 1). False with `error` set on a
    // malformed text; nothing is changed then.
    bool ConfigureFailures(std::string_view failures, std::string& error);

    // Accounting.
    size_t LiveBlocks() const { return blocks_.size(); }
    size_t LiveBlocks(uint32_t tag) const;
    size_t LiveBytes() const;
    std::map<uint32_t, TagUsage> LiveByTag() const;
    const BlockInfo* Find(const void* memory) const;
    bool IsLive(const void* memory) const { return Find(memory) != nullptr; }
    uint64_t Allocations() const { return allocations_; }  // attempts, failed ones included
    uint64_t FailedAllocations() const { return failed_; }
    uint64_t Frees() const { return frees_; }

    // Misuse seen so far, one line per event ("tag mismatch: ...", "free of unknown pointer").
    const std::vector<std::string>& Errors() const { return errors_; }
    void ClearErrors() { errors_.clear(); }

    // Optional log of freed blocks (serial numbers in the order they were freed); off by default
    // so long runs do not grow it.
    void LogFrees(bool on) { logFrees_ = on; }
    const std::vector<uint64_t>& FreeLog() const { return freeLog_; }

    // One line per live tag, e.g. "tag 0xffffffff: 2 blocks, 48 bytes"; empty when none live.
    std::string Report() const;

    // Frees every live block without checking; used when a world is discarded.
    void ReleaseAll();

private:
    std::unordered_map<const void*, BlockInfo> blocks_;
    std::vector<std::string> errors_;
    uint32_t currentTag_ = 0;
    uint64_t allocations_ = 0;
    uint64_t failed_ = 0;
    uint64_t frees_ = 0;
    int failNext_ = 0;
    std::vector<uint64_t> failAt_;  // absolute allocation numbers that must fail
    std::vector<uint32_t> failTags_;
    double failRate_ = 0.0;
    uint64_t rateState_ = 0;  // splitmix64 state of the random failures
    bool logFrees_ = false;
    std::vector<uint64_t> freeLog_;
};

}  // namespace qohost
