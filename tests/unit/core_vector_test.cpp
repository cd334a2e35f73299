// Vector arithmetic, the checked square root, and colours from integers.
#include <gtest/gtest.h>

#include <cmath>
#include <ostream>
#include <string>
#include <vector>

#include "core/qoVector.h"
#include "core_fake_host.h"

namespace coretest {
namespace {

using VectorTest = CoreTest;

struct SqrtCase {
    float x;
    float root;
    bool asserts;
};
std::ostream& operator<<(std::ostream& out, const SqrtCase& c) { return out << "sqrt " << c.x; }

class VectorSqrt : public CoreTest, public ::testing::WithParamInterface<SqrtCase> {};

TEST_P(VectorSqrt, RejectsNegativeArguments) {
    const SqrtCase& c = GetParam();
    EXPECT_EQ(qoSqrt(c.x), c.root);
    if (c.asserts) {
        EXPECT_EQ(host.console, std::vector<std::string>{AssertLine("x >= 0.0f")});
    } else {
        EXPECT_TRUE(host.console.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, VectorSqrt,
                         ::testing::Values(SqrtCase{4.0f, 2.0f, false}, SqrtCase{0.0f, 0.0f, false},
                                           SqrtCase{2.25f, 1.5f, false}, SqrtCase{-1.0f, 0.0f, true},
                                           SqrtCase{-1e-30f, 0.0f, true}));

TEST_F(VectorTest, ArithmeticIsComponentwise) {
    const qoVector a{1.0f, 2.0f, 3.0f};
    const qoVector b{0.5f, -1.0f, 4.0f};
    EXPECT_EQ(a + b, (qoVector{1.5f, 1.0f, 7.0f}));
    EXPECT_EQ(a - b, (qoVector{0.5f, 3.0f, -1.0f}));
    EXPECT_EQ(a * 2.0f, (qoVector{2.0f, 4.0f, 6.0f}));
    EXPECT_EQ(2.0f * a, a * 2.0f);
    qoVector c = a;
    c += b;
    c -= a;
    c *= 2.0f;
    EXPECT_EQ(c, b * 2.0f);
}

TEST_F(VectorTest, LengthAndNormalisation) {
    EXPECT_FLOAT_EQ(qoLength({3.0f, 4.0f, 0.0f}), 5.0f);
    const qoVector n = qoNormalize({0.0f, 3.0f, 4.0f});
    EXPECT_FLOAT_EQ(n.x, 0.0f);
    EXPECT_FLOAT_EQ(n.y, 0.6f);
    EXPECT_FLOAT_EQ(n.z, 0.8f);
    // The zero vector has no direction; it must not turn into NaNs.
    EXPECT_EQ(qoNormalize({0.0f, 0.0f, 0.0f}), (qoVector{0.0f, 0.0f, 0.0f}));
    EXPECT_TRUE(host.console.empty());
}

struct ColorCase {
    int r, g, b, a;  // a < 0: the three-integer form
    qoColor expected;
};
std::ostream& operator<<(std::ostream& out, const ColorCase& c) {
    return out << c.r << ' ' << c.g << ' ' << c.b << ' ' << c.a;
}

class VectorColor : public CoreTest, public ::testing::WithParamInterface<ColorCase> {};

TEST_P(VectorColor, ScalesByOne256th) {
    const ColorCase& c = GetParam();
    const qoColor color = c.a < 0 ? qoColorFromInts(c.r, c.g, c.b) : qoColorFromInts(c.r, c.g, c.b, c.a);
    EXPECT_EQ(color.r, c.expected.r);
    EXPECT_EQ(color.g, c.expected.g);
    EXPECT_EQ(color.b, c.expected.b);
    EXPECT_EQ(color.a, c.expected.a);
}

INSTANTIATE_TEST_SUITE_P(Cases, VectorColor,
                         ::testing::Values(ColorCase{255, 255, 255, -1, {0.99609375f, 0.99609375f, 0.99609375f, 1.0f}},
                                           ColorCase{128, 0, 64, -1, {0.5f, 0.0f, 0.25f, 1.0f}},
                                           ColorCase{255, 128, 0, 64, {0.99609375f, 0.5f, 0.0f, 0.25f}},
                                           ColorCase{256, 1, 0, 255, {1.0f, 0.00390625f, 0.0f, 0.99609375f}}));

}  // namespace
}  // namespace coretest
