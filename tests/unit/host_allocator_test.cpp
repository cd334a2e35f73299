// The reference host's tagged allocator: accounting per tag, misuse detection, failure
// injection and the memory tag state of host slots 29 and 30.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "host/world/Allocator.h"

namespace {

using qohost::Allocator;

TEST(HostAllocator, AccountsLiveBlocksPerTag) {
    Allocator a;
    void* p1 = a.Allocate(10, 7);
    void* p2 = a.Allocate(20, 7);
    void* p3 = a.Allocate(0, 0xFFFFFFFFu);
    ASSERT_TRUE(p1 && p2 && p3);
    EXPECT_NE(p1, p2);

    EXPECT_EQ(a.LiveBlocks(), 3u);
    EXPECT_EQ(a.LiveBlocks(7), 2u);
    EXPECT_EQ(a.LiveBlocks(0xFFFFFFFFu), 1u);
    EXPECT_EQ(a.LiveBlocks(8), 0u);
    EXPECT_EQ(a.LiveBytes(), 30u);
    auto usage = a.LiveByTag();
    EXPECT_EQ(usage[7].blocks, 2u);
    EXPECT_EQ(usage[7].bytes, 30u);
    EXPECT_EQ(usage[0xFFFFFFFFu].bytes, 0u);
    ASSERT_NE(a.Find(p2), nullptr);
    EXPECT_EQ(a.Find(p2)->size, 20u);
    EXPECT_EQ(a.Find(p2)->tag, 7u);
    EXPECT_EQ(a.Find(p2)->serial, 2u);

    a.Free(p1, 7);
    a.Free(p3, 0xFFFFFFFFu);
    EXPECT_EQ(a.LiveBlocks(), 1u);
    EXPECT_FALSE(a.IsLive(p1));
    EXPECT_EQ(a.Report(), "tag 0x00000007: 1 blocks, 20 bytes\n");
    a.Free(p2, 7);
    EXPECT_EQ(a.LiveBlocks(), 0u);
    EXPECT_EQ(a.Report(), "");
    EXPECT_TRUE(a.Errors().empty());
    EXPECT_EQ(a.Frees(), 3u);
}

TEST(HostAllocator, FreeWithAnotherTagIsRecordedAndStillFrees) {
    Allocator a;
    void* p = a.Allocate(16, 3);
    a.Free(p, 4);
    ASSERT_EQ(a.Errors().size(), 1u);
    EXPECT_NE(a.Errors()[0].find("tag mismatch"), std::string::npos) << a.Errors()[0];
    EXPECT_NE(a.Errors()[0].find("0x00000003"), std::string::npos);
    EXPECT_NE(a.Errors()[0].find("0x00000004"), std::string::npos);
    EXPECT_EQ(a.LiveBlocks(), 0u);
}

TEST(HostAllocator, FreeOfPointerThatIsNotLiveIsRecordedNotCrashing) {
    Allocator a;
    int local = 0;
    a.Free(&local, 0);  // never allocated here
    void* p = a.Allocate(8, 0);
    a.Free(p, 0);
    a.Free(p, 0);  // double free
    a.Free(nullptr, 0);  // allowed, silent
    ASSERT_EQ(a.Errors().size(), 2u);
    for (const std::string& e : a.Errors()) EXPECT_NE(e.find("unknown pointer"), std::string::npos) << e;
}

TEST(HostAllocator, FailureInjection) {
    struct Case {
        const char* what;
        int failNext;
        std::vector<uint64_t> failAt;
        std::vector<bool> expectNull;  // for the next allocations in order
    };
    const Case cases[] = {
        {"no failure", 0, {}, {false, false, false}},
        {"next one", 1, {}, {true, false, false}},
        {"next two", 2, {}, {true, true, false}},
        {"the third", 0, {3}, {false, false, true, false}},
        {"first and third", 0, {1, 3}, {true, false, true, false}},
        {"next plus the second", 1, {2}, {true, true, false}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Allocator a;
        a.Allocate(1, 0);  // earlier traffic: FailAt counts from the moment it is asked
        a.FailNext(c.failNext);
        for (uint64_t k : c.failAt) a.FailAt(k);
        size_t failed = 0;
        for (size_t i = 0; i < c.expectNull.size(); ++i) {
            void* p = a.Allocate(4, 1);
            EXPECT_EQ(p == nullptr, c.expectNull[i]) << "allocation " << i + 1;
            failed += p == nullptr;
        }
        EXPECT_EQ(a.FailedAllocations(), failed);
        EXPECT_EQ(a.LiveBlocks(1), c.expectNull.size() - failed);
        a.ReleaseAll();
    }
}

TEST(HostAllocator, ClearFailuresCancelsPendingOnes) {
    Allocator a;
    a.FailNext(3);
    a.FailAt(5);
    a.ClearFailures();
    for (int i = 0; i < 6; ++i) EXPECT_NE(a.Allocate(1, 0), nullptr);
    a.ReleaseAll();
}

// The failure text of `qohost run --fail-alloc`: which of the next allocations (tag 7, then
// tag 9, alternating) fail, or the error for a malformed text.
TEST(HostAllocator, ConfigureFailuresFromText) {
    struct Case {
        const char* failures;
        const char* pattern;  // '.' allocated, 'x' failed, for allocations 1 to 8; "" refused
    };
    const Case cases[] = {
        {"", "........"},
        {"3", "..x....."},
        {"nth:1,nth:8", "x......x"},
        {"tag:7", "x.x.x.x."},
        {"tag:0x9", ".x.x.x.x"},
        {"tag:7,2", "xxx.x.x."},
        {"rate:1", "xxxxxxxx"},
        {"rate:0", "........"},
        {"0", ""},
        {"nth:", ""},
        {"tag:0x100000000", ""},
        {"rate:1.5", ""},
        {"rate:0.5:x", ""},
        {"every:3", ""},
        {"3,,", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.failures);
        Allocator a;
        a.Allocate(1, 0);  // earlier traffic: N counts from the moment it is asked
        std::string error;
        const bool ok = a.ConfigureFailures(c.failures, error);
        EXPECT_EQ(ok, *c.pattern != '\0') << error;
        if (!ok) {
            EXPECT_NE(error.find(std::string("'")), std::string::npos) << error;
            EXPECT_EQ(a.Allocate(1, 7) != nullptr, true) << "a refused text changed nothing";
            a.ReleaseAll();
            continue;
        }
        std::string seen;
        for (int i = 0; i < 8; ++i) seen += a.Allocate(4, i % 2 ? 9 : 7) ? '.' : 'x';
        EXPECT_EQ(seen, c.pattern);
        a.ReleaseAll();
    }
}

TEST(HostAllocator, RandomFailuresFollowTheSeed) {
    const auto pattern = [](uint64_t seed) {
        Allocator a;
        a.FailRate(0.3, seed);
        std::string seen;
        for (int i = 0; i < 200; ++i) seen += a.Allocate(1, 0) ? '.' : 'x';
        a.ReleaseAll();
        return seen;
    };
    const std::string first = pattern(5);
    EXPECT_EQ(first, pattern(5));
    EXPECT_NE(first, pattern(6));
    const auto failed = std::count(first.begin(), first.end(), 'x');
    EXPECT_GT(failed, 30);
    EXPECT_LT(failed, 90);
}

TEST(HostAllocator, MemoryTagStateReturnsPrevious) {
    Allocator a;
    EXPECT_EQ(a.GetTag(), 0u);
    EXPECT_EQ(a.SetTag(5), 0u);
    EXPECT_EQ(a.SetTag(9), 5u);
    EXPECT_EQ(a.GetTag(), 9u);
}

TEST(HostAllocator, FreshBlocksAreFilledSoUninitialisedReadsShow) {
    Allocator a;
    auto* p = static_cast<unsigned char*>(a.Allocate(8, 0));
    for (int i = 0; i < 8; ++i) EXPECT_EQ(p[i], 0xCD);
    a.Free(p, 0);
}

}  // namespace
