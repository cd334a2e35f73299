// Float to integer conversions: truncation toward zero inside the range, NaN as 0, saturation
// at both ends of each target type, for the float and double sources scripts convert.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>

#include "core/qoConvert.h"

namespace {

constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();
constexpr int32_t kMax32 = std::numeric_limits<int32_t>::max();
constexpr int32_t kMin32 = std::numeric_limits<int32_t>::min();

struct Case {
    float value;
    int32_t toInt32;
    uint32_t toUint32;
    int16_t toInt16;
    int64_t toInt64;
};

// The float just below 2^31 (2147483520) is the largest that converts without saturating.
const Case kCases[] = {
    {0.0f, 0, 0, 0, 0},
    {-0.0f, 0, 0, 0, 0},
    {0.9f, 0, 0, 0, 0},
    {-0.9f, 0, 0, 0, 0},
    {1.5f, 1, 1, 1, 1},
    {-1.5f, -1, 0, -1, -1},
    {1000.0f, 1000, 1000, 1000, 1000},
    {32767.9f, 32767, 32767, 32767, 32767},
    {32768.0f, 32768, 32768, 32767, 32768},
    {-32769.0f, -32769, 0, -32768, -32769},
    {2147483520.0f, 2147483520, 2147483520u, 32767, 2147483520},
    {2147483648.0f, kMax32, 2147483648u, 32767, 2147483648},
    {-2147483648.0f, kMin32, 0, -32768, -2147483648LL},
    {-2147483904.0f, kMin32, 0, -32768, -2147483904LL},
    {4294967296.0f, kMax32, 0xFFFFFFFFu, 32767, 4294967296LL},
    {1.0e30f, kMax32, 0xFFFFFFFFu, 32767, std::numeric_limits<int64_t>::max()},
    {-1.0e30f, kMin32, 0, -32768, std::numeric_limits<int64_t>::min()},
    {3.0e38f, kMax32, 0xFFFFFFFFu, 32767, std::numeric_limits<int64_t>::max()},
    {kInf, kMax32, 0xFFFFFFFFu, 32767, std::numeric_limits<int64_t>::max()},
    {-kInf, kMin32, 0, -32768, std::numeric_limits<int64_t>::min()},
    {kNaN, 0, 0, 0, 0},
    {-kNaN, 0, 0, 0, 0},
};

TEST(FloatToInt, TruncatesInsideTheRangeAndSaturatesOutside) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value);
        EXPECT_EQ(qoFloatToInt<int32_t>(c.value), c.toInt32);
        EXPECT_EQ(qoFloatToInt<uint32_t>(c.value), c.toUint32);
        EXPECT_EQ(qoFloatToInt<int16_t>(c.value), c.toInt16);
        EXPECT_EQ(qoFloatToInt<int64_t>(c.value), c.toInt64);
        // A double source of the same value converts the same way.
        EXPECT_EQ(qoFloatToInt<int32_t>(static_cast<double>(c.value)), c.toInt32);
    }
}

TEST(FloatToInt, DoubleSourcesReachTheExactEndsOfThe32BitRange) {
    EXPECT_EQ(qoFloatToInt<int32_t>(2147483646.9), 2147483646);
    EXPECT_EQ(qoFloatToInt<int32_t>(2147483647.0), kMax32);
    EXPECT_EQ(qoFloatToInt<int32_t>(2147483647.5), kMax32);
    EXPECT_EQ(qoFloatToInt<int32_t>(-2147483648.5), kMin32);
    EXPECT_EQ(qoFloatToInt<int32_t>(-2147483647.9), -2147483647);
}

TEST(FloatToInt, SecondsBecomeWholeMilliseconds) {
    const struct {
        float seconds;
        int32_t ms;
    } cases[] = {{0.0f, 0},       {0.25f, 250},    {1.0f, 1000},     {-2.0f, -2000}, {0.0004f, 0},
                 {2.5e6f, kMax32}, {1.0e30f, kMax32}, {-1.0e30f, kMin32}, {kInf, kMax32}, {kNaN, 0}};
    for (const auto& c : cases) EXPECT_EQ(qoSecondsToMs(c.seconds), c.ms) << c.seconds;
}

}  // namespace
