// qoString: exact-size buffers with the construction tag, text operations and number text.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstring>
#include <ostream>
#include <string>

#include "core/qoString.h"
#include "core_fake_host.h"

namespace coretest {
namespace {

using StringTest = CoreTest;

// A string that holds `text` in a buffer of exactly `capacity` bytes (capacity > length).
qoString WithCapacity(const char* text, int capacity) {
    qoString s;
    std::string filler(static_cast<size_t>(capacity - 1), '#');
    s = filler.c_str();
    s = text;
    return s;
}

TEST_F(StringTest, FreshStringHasNoBufferAndReadsAsEmpty) {
    qoString s;
    EXPECT_EQ(s.length, 0);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.capacity, 0);
    EXPECT_EQ(s.tag, host.currentTag);
    EXPECT_STREQ(s.c_str(), "");
    EXPECT_EQ(s.Cmp(""), 0);
    EXPECT_EQ(s.Icmp(""), 0);
    EXPECT_EQ(s.Find('a'), -1);
    EXPECT_TRUE(host.allocations.empty());
}

TEST_F(StringTest, WithoutHostTheTagIsZeroAndNothingIsAllocated) {
    qoSys = nullptr;
    {
        qoString s;
        EXPECT_EQ(s.tag, 0u);
        s = "abc";  // no allocator: the string stays empty and usable
        s.Append("d");
        EXPECT_STREQ(s.c_str(), "");
    }
    qoSys = &host;
    EXPECT_TRUE(host.allocations.empty());
}

struct AssignCase {
    const char* before;     // nullptr: a fresh string
    int beforeCapacity;
    const char* assigned;
    int capacity;           // expected afterwards
    bool keepsBuffer;
};
std::ostream& operator<<(std::ostream& out, const AssignCase& c) {
    return out << '"' << (c.before ? c.before : "(fresh)") << "\" = \"" << c.assigned << '"';
}

class StringAssignText : public CoreTest, public ::testing::WithParamInterface<AssignCase> {};

TEST_P(StringAssignText, ReusesTheBufferOnlyWhenTheTextFits) {
    const AssignCase& c = GetParam();
    {
        qoString s = c.before ? WithCapacity(c.before, c.beforeCapacity) : qoString();
        const char* oldData = s.data;
        const size_t allocationsBefore = host.allocations.size();
        s = c.assigned;
        EXPECT_STREQ(s.c_str(), c.assigned);
        EXPECT_EQ(s.length, static_cast<int>(strlen(c.assigned)));
        EXPECT_EQ(s.capacity, c.capacity);
        EXPECT_EQ(s.data == oldData, c.keepsBuffer);
        EXPECT_EQ(host.allocations.size() - allocationsBefore, c.keepsBuffer ? 0u : 1u);
        ASSERT_NE(s.data, nullptr);
        EXPECT_EQ(s.data[s.length], 0);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StringAssignText,
                         ::testing::Values(AssignCase{"xyz", 8, "abc", 8, true},
                                           AssignCase{"xyz", 8, "abcdefg", 8, true},   // 7 < 8
                                           AssignCase{"xyz", 8, "abcdefgh", 9, false},  // 8 does not fit
                                           AssignCase{"xyz", 8, "abcdefghij", 11, false},
                                           AssignCase{nullptr, 0, "", 1, false},
                                           AssignCase{nullptr, 0, "hello", 6, false},
                                           AssignCase{"hello", 6, "", 6, true}));

TEST_F(StringTest, AssignFromStringAlwaysReallocatesToTheExactSize) {
    qoString big = WithCapacity("abc", 20);
    const qoString source("xy");
    const char* oldData = big.data;
    big = source;
    EXPECT_STREQ(big.c_str(), "xy");
    EXPECT_EQ(big.capacity, 3);
    EXPECT_NE(big.data, oldData);

    qoString& alias = big;
    big = alias;  // self-assignment keeps the text
    EXPECT_STREQ(big.c_str(), "xy");
    EXPECT_EQ(big.capacity, 3);
}

TEST_F(StringTest, AssignCharacterGivesATwoByteBuffer) {
    qoString s("long text");
    s = 'q';
    EXPECT_STREQ(s.c_str(), "q");
    EXPECT_EQ(s.length, 1);
    EXPECT_EQ(s.capacity, 2);
    s = '\0';
    EXPECT_EQ(s.length, 0);
    EXPECT_STREQ(s.c_str(), "");
}

struct AppendCase {
    const char* name;
    const char* start;  // nullptr: a fresh string
    int startCapacity;  // 0: exactly the start text
    void (*append)(qoString&);
    const char* text;
    int capacity;
    size_t allocations;
};

class StringAppend : public CoreTest, public ::testing::WithParamInterface<AppendCase> {};

TEST_P(StringAppend, GrowsToExactlyTheNeededSize) {
    const AppendCase& c = GetParam();
    {
        qoString s = c.startCapacity ? WithCapacity(c.start, c.startCapacity) : qoString();
        if (c.start && !c.startCapacity) s = c.start;
        const size_t before = host.allocations.size();
        c.append(s);
        EXPECT_STREQ(s.c_str(), c.text);
        EXPECT_EQ(s.length, static_cast<int>(strlen(c.text)));
        EXPECT_EQ(s.capacity, c.capacity);
        EXPECT_EQ(host.allocations.size() - before, c.allocations);
        if (c.allocations > 0) {
            EXPECT_EQ(host.allocations.back().tag, s.tag);
            EXPECT_EQ(host.allocations.back().size, static_cast<size_t>(c.capacity));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringAppend,
    ::testing::Values(
        AppendCase{"Text", "ab", 0, [](qoString& s) { s.Append("cd"); }, "abcd", 5, 1},
        AppendCase{"String", "ab", 0, [](qoString& s) { s.Append(qoString("cde")); }, "abcde", 6, 2},
        AppendCase{"Character", "ab", 0, [](qoString& s) { s.Append('c'); }, "abc", 4, 1},
        AppendCase{"EmptyTextToFresh", nullptr, 0, [](qoString& s) { s.Append(""); }, "", 1, 1},
        AppendCase{"NullText", "ab", 0, [](qoString& s) { s.Append(static_cast<const char*>(nullptr)); }, "ab", 3, 0},
        AppendCase{"EmptyString", "ab", 0, [](qoString& s) { s.Append(qoString()); }, "ab", 3, 0},
        AppendCase{"EmptyStringToFresh", nullptr, 0, [](qoString& s) { s.Append(qoString()); }, "", 0, 0},
        AppendCase{"NulCharacter", "ab", 0, [](qoString& s) { s.Append('\0'); }, "ab", 3, 0},
        AppendCase{"FitsInBuffer", "a", 10, [](qoString& s) { s += "bcd"; }, "abcd", 10, 0},
        AppendCase{"JustDoesNotFit", "abc", 5, [](qoString& s) { s += "de"; }, "abcde", 6, 1},
        AppendCase{"Itself", "ab", 0, [](qoString& s) { s.Append(s); }, "abab", 5, 1},
        AppendCase{"OwnText", "abc", 0, [](qoString& s) { s.Append(s.c_str() + 1); }, "abcbc", 6, 1}),
    [](const ::testing::TestParamInfo<AppendCase>& info) { return info.param.name; });

TEST_F(StringTest, EveryAllocationUsesTheConstructionTag) {
    host.currentTag = 7;
    qoString s("a");
    host.currentTag = 9;  // later changes of the host's tag do not matter
    s += "bc";
    s = "a much longer text";
    s.Clear();
    for (const FakeHost::AllocationCall& call : host.allocations) EXPECT_EQ(call.tag, 7u);
    for (uint32_t tag : host.freeTags) EXPECT_EQ(tag, 7u);
    EXPECT_EQ(s.data, nullptr);
    EXPECT_EQ(s.capacity, 0);
}

TEST_F(StringTest, ConcatenationTakesTheCurrentTag) {
    host.currentTag = 3;
    const qoString left("ab");
    host.currentTag = 4;
    qoString r1 = left + "cd";
    qoString r2 = "xy" + left;
    qoString r3 = left + left;
    EXPECT_STREQ(r1.c_str(), "abcd");
    EXPECT_STREQ(r2.c_str(), "xyab");
    EXPECT_STREQ(r3.c_str(), "abab");
    for (const qoString* r : {&r1, &r2, &r3}) {
        EXPECT_EQ(r->tag, 4u);
        EXPECT_EQ(r->capacity, 5);
    }
}

TEST_F(StringTest, MoveTakesTheBufferAndItsTag) {
    host.currentTag = 5;
    qoString a("text");
    const char* buffer = a.data;
    host.currentTag = 6;
    qoString b(std::move(a));
    EXPECT_EQ(b.data, buffer);
    EXPECT_EQ(b.tag, 5u);
    EXPECT_EQ(a.data, nullptr);
    EXPECT_EQ(a.length, 0);

    qoString c;  // tag 6: a move-assignment from a tag-5 string must copy
    c = std::move(b);
    EXPECT_STREQ(c.c_str(), "text");
    EXPECT_NE(c.data, buffer);
    EXPECT_EQ(c.tag, 6u);
}

struct CompareCase {
    const char* a;
    const char* b;
    int cmp;   // a.Cmp(b)
    int icmp;  // a.Icmp(b) and qoIcmp(a, b)
};
std::ostream& operator<<(std::ostream& out, const CompareCase& c) {
    return out << '"' << c.a << "\" vs \"" << (c.b ? c.b : "(null)") << '"';
}

class StringCompare : public CoreTest, public ::testing::WithParamInterface<CompareCase> {};

TEST_P(StringCompare, ReturnsTheDifferenceOfTheFirstDifferingCharacters) {
    const CompareCase& c = GetParam();
    const qoString a(c.a);
    EXPECT_EQ(a.Cmp(c.b), c.cmp);
    EXPECT_EQ(a.Icmp(c.b), c.icmp);
    if (c.b) {
        EXPECT_EQ(qoIcmp(c.a, c.b), c.icmp);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StringCompare,
                         ::testing::Values(CompareCase{"abc", "abc", 0, 0},
                                           CompareCase{"abc", "abd", -1, -1},
                                           CompareCase{"abd", "abc", 1, 1},
                                           CompareCase{"abc", "ab", 'c', 'C'},
                                           CompareCase{"", "a", -'a', -'A'},
                                           CompareCase{"abc", nullptr, 1, 0},
                                           CompareCase{"ONACTIVATE", "OnActivate", 'N' - 'n', 0},
                                           CompareCase{"_", "a", '_' - 'a', '_' - 'A'},  // folded: '_' > 'A'
                                           CompareCase{"\xff", "a", -1 - 'a', -1 - 'A'},  // signed bytes
                                           CompareCase{"\xe4", "\xc4", -28 - -60, -28 - -60}));  // no folding beyond ASCII

TEST_F(StringTest, FreeComparisonTreatsNullTexts) {
    EXPECT_EQ(qoIcmp(nullptr, "x"), 0);
    EXPECT_EQ(qoIcmp(nullptr, nullptr), 0);
    EXPECT_NE(qoIcmp("x", nullptr), 0);
}

TEST_F(StringTest, CharacterAccessChecksTheIndex) {
    const qoString s("abc");
    EXPECT_EQ(s[0], 'a');
    EXPECT_EQ(s[2], 'c');
    EXPECT_TRUE(host.console.empty());
    for (int bad : {-1, 3, 100}) {
        host.console.clear();
        EXPECT_EQ(s[bad], 0);
        EXPECT_EQ(host.console, std::vector<std::string>{AssertLine("( index >= 0 ) && ( index < len )")});
    }
    const qoString empty;
    EXPECT_EQ(empty[0], 0);
}

struct FindCase {
    const char* text;
    const char* pattern;  // one character: also checked through Find(char)
    int start;
    int expected;
};
std::ostream& operator<<(std::ostream& out, const FindCase& c) {
    return out << '"' << c.pattern << "\" in \"" << c.text << "\" from " << c.start;
}

class StringFind : public CoreTest, public ::testing::WithParamInterface<FindCase> {};

TEST_P(StringFind, FindsTheFirstMatchAtOrAfterTheStart) {
    const FindCase& c = GetParam();
    const qoString text(c.text);
    EXPECT_EQ(text.Find(qoString(c.pattern), c.start), c.expected);
    if (strlen(c.pattern) == 1) {
        EXPECT_EQ(text.Find(c.pattern[0], c.start), c.expected);
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, StringFind,
                         ::testing::Values(FindCase{"abc", "c", -3, 2}, FindCase{"abc", "bc", 2, -1},
                                           FindCase{"abc", "bc", 1, 1}, FindCase{"abcabc", "bc", 2, 4},
                                           FindCase{"abc", "a", 3, -1}, FindCase{"abc", "a", 1, -1},
                                           FindCase{"abc", "abcd", 0, -1}, FindCase{"", "a", 0, -1},
                                           FindCase{"aab", "ab", 0, 1}, FindCase{"abc", "", 1, 1},
                                           FindCase{"abc", "", 4, -1}));

struct PartCase {
    const char* name;
    qoString (*part)(const qoString&);
    const char* expected;
};

class StringParts : public CoreTest, public ::testing::WithParamInterface<PartCase> {};

TEST_P(StringParts, CutsAtTheBoundaries) {
    const PartCase& c = GetParam();
    const qoString s("abc");
    const qoString part = c.part(s);
    EXPECT_STREQ(part.c_str(), c.expected);
    EXPECT_EQ(part.length, static_cast<int>(strlen(c.expected)));
    EXPECT_STREQ(s.c_str(), "abc");
}

#define QO_PART(label, expr, expected) \
    PartCase { label, [](const qoString& s) { return expr; }, expected }

INSTANTIATE_TEST_SUITE_P(
    Cases, StringParts,
    ::testing::Values(QO_PART("LeftNegative", s.Left(-1), ""), QO_PART("LeftZero", s.Left(0), ""),
                      QO_PART("LeftTwo", s.Left(2), "ab"), QO_PART("LeftAll", s.Left(3), "abc"),
                      QO_PART("LeftBeyond", s.Left(5), "abc"), QO_PART("RightNegative", s.Right(-2), ""),
                      QO_PART("RightTwo", s.Right(2), "bc"), QO_PART("RightBeyond", s.Right(9), "abc"),
                      QO_PART("TailNegative", s.Tail(-1), ""), QO_PART("TailZero", s.Tail(0), "abc"),
                      QO_PART("TailOne", s.Tail(1), "bc"), QO_PART("TailAtEnd", s.Tail(3), ""),
                      QO_PART("TailBeyond", s.Tail(5), "abc"), QO_PART("MidInside", s.Mid(1, 1), "b"),
                      QO_PART("MidCutAtEnd", s.Mid(1, 10), "bc"), QO_PART("MidNegativeStart", s.Mid(-4, 2), "ab"),
                      QO_PART("MidNegativeCount", s.Mid(0, -1), ""), QO_PART("MidBeyond", s.Mid(5, 2), ""),
                      QO_PART("MidHugeCount", s.Mid(1, INT_MAX), "bc")),
    [](const ::testing::TestParamInfo<PartCase>& info) { return info.param.name; });

#undef QO_PART

TEST_F(StringTest, CaseFoldingAndReverseWorkInPlace) {
    qoString s("aZ_9\xe4q");
    s.ToUpper();
    EXPECT_STREQ(s.c_str(), "AZ_9\xe4Q");
    s.ToLower();
    EXPECT_STREQ(s.c_str(), "az_9\xe4q");
    s.Reverse();
    EXPECT_STREQ(s.c_str(), "q\xe4" "9_za");
    qoString odd("abc");
    odd.Reverse();
    EXPECT_STREQ(odd.c_str(), "cba");
    qoString empty;
    empty.Reverse();
    empty.ToUpper();
    EXPECT_EQ(empty.data, nullptr);
}

struct IntCase {
    int32_t value;
    const char* text;
};
std::ostream& operator<<(std::ostream& out, const IntCase& c) { return out << c.value; }

class StringFromInt : public CoreTest, public ::testing::WithParamInterface<IntCase> {};

TEST_P(StringFromInt, WritesDecimalDigits) {
    const qoString s = qoString::FromInt(GetParam().value);
    EXPECT_STREQ(s.c_str(), GetParam().text);
    EXPECT_EQ(s.capacity, s.length + 1);
}

INSTANTIATE_TEST_SUITE_P(Cases, StringFromInt,
                         ::testing::Values(IntCase{0, "0"}, IntCase{7, "7"}, IntCase{-120, "-120"},
                                           IntCase{1000, "1000"}, IntCase{INT32_MAX, "2147483647"},
                                           IntCase{INT32_MIN, "-2147483648"}));

struct FloatCase {
    float value;
    int decimals;
    const char* text;
};
std::ostream& operator<<(std::ostream& out, const FloatCase& c) {
    return out << c.value << " with " << c.decimals << " decimals";
}

class StringFromFloat : public CoreTest, public ::testing::WithParamInterface<FloatCase> {};

TEST_P(StringFromFloat, TruncatesToTheDecimalsAndOmitsAZeroFraction) {
    const FloatCase& c = GetParam();
    EXPECT_STREQ(qoString::FromFloat(c.value, c.decimals).c_str(), c.text) << c.value;
}

INSTANTIATE_TEST_SUITE_P(Cases, StringFromFloat,
                         ::testing::Values(FloatCase{1.5f, 3, "1.500"}, FloatCase{2.0f, 3, "2"},
                                           FloatCase{-0.25f, 3, "-0.250"}, FloatCase{3.5f, 0, "3."},
                                           FloatCase{3.0f, 0, "3"}, FloatCase{0.0f, 3, "0"},
                                           FloatCase{-2.0f, 3, "-2"}, FloatCase{-1.5f, 1, "-1.5"},
                                           FloatCase{0.9999f, 3, "0.999"},  // truncated, not rounded
                                           FloatCase{0.1f, 3, "0.100"}, FloatCase{123.25f, 2, "123.25"},
                                           FloatCase{0.5f, 10, "0.5000000000"},
                                           FloatCase{NAN, 3, "0"}));

TEST_F(StringTest, VectorTextReplacesLowerCaseComponentLetters) {
    const qoVector v{1.0f, 2.5f, -3.0f};
    EXPECT_STREQ(qoString::FromVector(v).c_str(), "1 2.500 -3");
    EXPECT_STREQ(qoString::FromVector(v, "(x, y, z) X").c_str(), "(1, 2.500, -3) X");
    EXPECT_STREQ(qoString::FromVector(v, "").c_str(), "");
    EXPECT_STREQ(qoString::FromVector(v, nullptr).c_str(), "");
}

// Makes the host allocator fail once, from inside a case's operation.
void FailNextAllocation() { static_cast<FakeHost*>(qoSys)->failNext = 1; }

struct FailureCase {
    const char* name;
    void (*operation)(qoString&);
};

class StringAllocationFailure : public CoreTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(StringAllocationFailure, ReportsAndKeepsTheOldText) {
    {
        qoString s("old");
        const char* buffer = s.data;
        GetParam().operation(s);
        EXPECT_EQ(host.console, std::vector<std::string>{ErrorLine("qoString Allocation failed")});
        EXPECT_EQ(s.data, buffer);
        EXPECT_STREQ(s.c_str(), "old");
        EXPECT_EQ(s.length, 3);
        EXPECT_EQ(s.capacity, 4);
        // Still usable afterwards.
        s += "!";
        EXPECT_STREQ(s.c_str(), "old!");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, StringAllocationFailure,
    ::testing::Values(FailureCase{"AppendText", [](qoString& s) { FailNextAllocation(); s.Append("more"); }},
                      FailureCase{"AppendString", [](qoString& s) {
                                      const qoString other("more");
                                      FailNextAllocation();
                                      s.Append(other);
                                  }},
                      FailureCase{"AppendCharacter", [](qoString& s) { FailNextAllocation(); s.Append('x'); }},
                      FailureCase{"AssignLongerText", [](qoString& s) { FailNextAllocation(); s = "longer text"; }},
                      FailureCase{"AssignString", [](qoString& s) {
                                      const qoString other("x");
                                      FailNextAllocation();
                                      s = other;
                                  }},
                      FailureCase{"AssignCharacter", [](qoString& s) { FailNextAllocation(); s = 'c'; }}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return info.param.name; });

}  // namespace
}  // namespace coretest
