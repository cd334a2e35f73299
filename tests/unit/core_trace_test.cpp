// qoTrace: the empty record, starting a trace at construction, and fetching the answer once.
#include <gtest/gtest.h>

#include <cstring>

#include "hostcalls/qoTrace.h"
#include "core_fake_host.h"

namespace coretest {
namespace {

using TraceTest = CoreTest;

template <class Field>
Field RawField(const qoTrace& trace, size_t offset) {
    Field value;
    std::memcpy(&value, reinterpret_cast<const char*>(&trace) + offset, sizeof value);
    return value;
}

TEST_F(TraceTest, EmptyRecordHasNoTrace) {
    qoTrace trace;
    EXPECT_EQ(RawField<uint32_t>(trace, 36), 0x100001u);
    EXPECT_EQ(RawField<int32_t>(trace, 48), -1);
    EXPECT_EQ(RawField<int32_t>(trace, 52), 0);
    EXPECT_EQ(trace.length, 0.0f);
    EXPECT_EQ(trace.ignore.handle, 0u);
    EXPECT_EQ(trace.hitEntity.handle, 0u);
    EXPECT_EQ(trace.hitPosition, qoVector());
    EXPECT_EQ(trace.hitNormal, qoVector());
    // Nothing to ask the host for.
    EXPECT_EQ(trace.HitEntity(), qoEntity());
    EXPECT_TRUE(host.traceStarts.empty());
    EXPECT_TRUE(host.traceFetches.empty());
}

TEST_F(TraceTest, ConstructionStartsTheTraceAndFetchAsksOnce) {
    host.traceAnswer.fraction = 0.25f;
    host.traceAnswer.normal = {0.0f, 0.0f, 1.0f};
    host.traceAnswer.entity = 55;
    qoTrace trace({1.0f, 2.0f, 3.0f}, {1.0f, 2.0f, 11.0f}, 0x100489u, qoEntity(9));
    ASSERT_EQ(host.traceStarts.size(), 1u);
    EXPECT_EQ(host.traceStarts[0].start, (qoVector{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(host.traceStarts[0].end, (qoVector{1.0f, 2.0f, 11.0f}));
    EXPECT_EQ(host.traceStarts[0].mask, 0x100489u);
    EXPECT_EQ(host.traceStarts[0].ignore, 9u);
    EXPECT_EQ(trace.traceHandle, 40);
    EXPECT_EQ(trace.direction, (qoVector{0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(trace.length, 8.0f);
    EXPECT_EQ(trace.resolved, 0);
    EXPECT_TRUE(host.traceFetches.empty());

    EXPECT_EQ(trace.HitEntity(), qoEntity(55));
    EXPECT_EQ(trace.HitDistance(), 2.0f);
    EXPECT_EQ(trace.HitPosition(), (qoVector{1.0f, 2.0f, 5.0f}));
    EXPECT_EQ(trace.HitNormal(), (qoVector{0.0f, 0.0f, 1.0f}));
    EXPECT_EQ(trace.Fraction(), 0.25f);
    trace.Fetch();
    EXPECT_EQ(host.traceFetches, std::vector<int32_t>{40});
    EXPECT_EQ(RawField<int32_t>(trace, 52), 1);
    EXPECT_EQ(RawField<uint32_t>(trace, 56), 55u);
    EXPECT_EQ(RawField<float>(trace, 84), 0.25f);
    EXPECT_EQ(RawField<float>(trace, 88), 2.0f);
}

TEST_F(TraceTest, AZeroLengthRayHasNoDirectionButStillTraces) {
    qoTrace trace({4.0f, 4.0f, 4.0f}, {4.0f, 4.0f, 4.0f});
    EXPECT_EQ(trace.length, 0.0f);
    EXPECT_EQ(trace.direction, qoVector());
    EXPECT_EQ(host.traceStarts.size(), 1u);
    EXPECT_EQ(host.traceStarts[0].mask, 0x100001u);
    EXPECT_EQ(trace.HitPosition(), (qoVector{4.0f, 4.0f, 4.0f}));
    EXPECT_TRUE(host.console.empty());
}

}  // namespace
}  // namespace coretest
