// qoList<T>: growth in steps of 8 with the list's tag, element construction and destruction,
// the index checks, and allocation failures.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "hostcalls/qoEntity.h"
#include "core/qoList.h"
#include "core/qoString.h"
#include "hostcalls/qoTrace.h"
#include "core/qoVector.h"
#include "core_fake_host.h"

namespace coretest {
namespace {

enum class Kind : int32_t { First, Second };

// A script struct: default member initialisers and a string member.
struct Waypoint {
    int32_t order = 3;
    qoString label;
    qoVector position;
    bool operator==(const Waypoint& o) const { return order == o.order && label == o.label && position == o.position; }
};

// A distinct value per index for every element type.
template <class T>
T Make(int i);
template <>
int32_t Make<int32_t>(int i) { return i * 3 + 1; }
template <>
float Make<float>(int i) { return static_cast<float>(i) + 0.5f; }
template <>
qoEntity Make<qoEntity>(int i) { return qoEntity(static_cast<uint32_t>(100 + i)); }
template <>
qoString Make<qoString>(int i) { return qoString::FromInt(i); }
template <>
qoVector Make<qoVector>(int i) { return {static_cast<float>(i), 1.0f, -static_cast<float>(i)}; }
template <>
Kind Make<Kind>(int i) { return static_cast<Kind>(i); }
template <>
int* Make<int*>(int i) { return reinterpret_cast<int*>(static_cast<uintptr_t>(16 * (i + 1))); }
template <>
Waypoint Make<Waypoint>(int i) {
    Waypoint w;
    w.order = i;
    w.label = qoString::FromInt(i * 7);
    w.position = {1.0f, static_cast<float>(i), 2.0f};
    return w;
}

template <class T>
class ListTyped : public CoreTest {};

using ElementTypes = ::testing::Types<int32_t, float, qoEntity, qoString, qoVector, Kind, int*, Waypoint>;
TYPED_TEST_SUITE(ListTyped, ElementTypes);

template <class T>
void ExpectValues(const qoList<T>& list, const std::vector<int>& indices) {
    ASSERT_EQ(list.Num(), static_cast<int>(indices.size()));
    for (size_t i = 0; i < indices.size(); ++i) {
        EXPECT_TRUE(list.list[i] == Make<T>(indices[i])) << "slot " << i << ", expected value " << indices[i];
    }
}

TYPED_TEST(ListTyped, GrowsInStepsOfEightAndKeepsTheElements) {
    FakeHost& host = this->host;
    host.currentTag = 21;
    qoList<TypeParam> list;
    EXPECT_EQ(list.tag, 21u);
    EXPECT_EQ(list.list, nullptr);
    host.currentTag = 22;
    std::vector<int> expected;
    for (int i = 0; i < 17; ++i) {
        EXPECT_EQ(list.Append(Make<TypeParam>(i)), i);
        expected.push_back(i);
        EXPECT_EQ(list.size, i < 8 ? 8 : i < 16 ? 16 : 24) << "after " << i + 1 << " elements";
    }
    ExpectValues(list, expected);
    for (const FakeHost::AllocationCall& call : host.allocations) {
        if (call.size % sizeof(TypeParam) == 0 && call.size >= 8 * sizeof(TypeParam)) {
            EXPECT_EQ(call.tag, 21u);
        }
    }
    EXPECT_EQ(host.currentTag, 22u);
    list.Clear();
    EXPECT_EQ(list.list, nullptr);
    EXPECT_EQ(list.num, 0);
    EXPECT_EQ(list.size, 0);
}

TYPED_TEST(ListTyped, InsertRemoveAndSwapMoveTheRightElements) {
    qoList<TypeParam> list;
    for (int i = 0; i < 8; ++i) list.Append(Make<TypeParam>(i));
    EXPECT_EQ(list.Insert(Make<TypeParam>(20), 2), 2);  // full: grows first
    EXPECT_EQ(list.size, 16);
    ExpectValues(list, {0, 1, 20, 2, 3, 4, 5, 6, 7});
    EXPECT_TRUE(list.RemoveIndex(0));
    EXPECT_TRUE(list.RemoveIndex(7));
    ExpectValues(list, {1, 20, 2, 3, 4, 5, 6});
    list.Swap(0, 6);
    ExpectValues(list, {6, 20, 2, 3, 4, 5, 1});
    list.Append(Make<TypeParam>(30));
    ExpectValues(list, {6, 20, 2, 3, 4, 5, 1, 30});
    EXPECT_EQ(list.size, 16);  // removal never shrinks
    EXPECT_TRUE(this->host.console.empty());
}

TYPED_TEST(ListTyped, CopiesAreIndependent) {
    qoList<TypeParam> list;
    for (int i = 0; i < 3; ++i) list.Append(Make<TypeParam>(i));
    qoList<TypeParam> copy(list);
    list.RemoveIndex(1);
    ExpectValues(copy, {0, 1, 2});
    copy = list;
    ExpectValues(copy, {0, 2});
    ExpectValues(list, {0, 2});
}

using ListTest = CoreTest;

TEST_F(ListTest, ResizeMakesTheListTagCurrentWhileElementsAreBuilt) {
    host.currentTag = 5;
    qoList<qoString> list;
    host.currentTag = 9;
    host.setTagCalls.clear();
    list.Resize(3);
    EXPECT_EQ(host.setTagCalls, (std::vector<uint32_t>{5, 9}));
    EXPECT_EQ(host.currentTag, 9u);
    ASSERT_EQ(list.size, 8);
    EXPECT_EQ(list.num, 0);
    for (int i = 0; i < list.size; ++i) {
        EXPECT_EQ(list.list[i].tag, 5u) << i;
        EXPECT_EQ(list.list[i].data, nullptr) << i;
    }
}

TEST_F(ListTest, EverySlotOfAStructListIsConstructed) {
    qoList<Waypoint> list;
    list.Append(Make<Waypoint>(1));
    ASSERT_EQ(list.size, 8);
    for (int i = 1; i < list.size; ++i) {
        EXPECT_EQ(list.list[i].order, 3) << i;
        EXPECT_EQ(list.list[i].label.data, nullptr) << i;
    }
    qoList<qoTrace> traces;
    traces.Resize(1);
    EXPECT_EQ(traces.list[7].traceHandle, -1);
    EXPECT_EQ(traces.list[7].contentMask, 0x100001u);
}

TEST_F(ListTest, ResizeKeepsTheFirstElementsAndZeroFreesEverything) {
    qoList<qoString> list;
    for (int i = 0; i < 12; ++i) list.Append(qoString::FromInt(i));
    // Slots past num that still hold text (a removed element moved to the end) are freed too.
    list.RemoveIndex(0);
    list.Resize(5);
    EXPECT_EQ(list.size, 8);
    ASSERT_EQ(list.num, 5);
    EXPECT_STREQ(list[4].c_str(), "5");
    list.Resize(0);
    EXPECT_EQ(list.list, nullptr);
    EXPECT_EQ(list.num, 0);
    EXPECT_EQ(list.size, 0);
}

struct InsertCase {
    int index;
    int used;
    std::vector<int> order;
};
std::ostream& operator<<(std::ostream& out, const InsertCase& c) { return out << "insert at " << c.index; }

class ListInsert : public CoreTest, public ::testing::WithParamInterface<InsertCase> {};

TEST_P(ListInsert, ClampsTheIndex) {
    const InsertCase& c = GetParam();
    qoList<int> list;
    for (int v : {10, 11, 12}) list.Append(v);
    EXPECT_EQ(list.Insert(99, c.index), c.used);
    EXPECT_EQ(std::vector<int>(list.begin(), list.end()), c.order);
}

INSTANTIATE_TEST_SUITE_P(Cases, ListInsert,
                         ::testing::Values(InsertCase{100, 3, {10, 11, 12, 99}}, InsertCase{-5, 0, {99, 10, 11, 12}},
                                           InsertCase{3, 3, {10, 11, 12, 99}}, InsertCase{1, 1, {10, 99, 11, 12}},
                                           InsertCase{0, 0, {99, 10, 11, 12}}));

struct RefusalCase {
    const char* name;
    void (*operation)(qoList<qoString>&);
    const char* condition;
};

class ListRefusal : public CoreTest, public ::testing::WithParamInterface<RefusalCase> {};

TEST_P(ListRefusal, ReportsAndLeavesTheListUnchanged) {
    const RefusalCase& c = GetParam();
    {
        qoList<qoString> list;
        for (const char* text : {"a", "b", "c"}) list.Append(qoString(text));
        const qoString* storage = list.list;
        c.operation(list);
        EXPECT_EQ(host.console, std::vector<std::string>{AssertLine(c.condition)});
        EXPECT_EQ(list.list, storage);
        ASSERT_EQ(list.num, 3);
        EXPECT_EQ(list.size, 8);
        EXPECT_STREQ(list.list[0].c_str(), "a");
        EXPECT_STREQ(list.list[1].c_str(), "b");
        EXPECT_STREQ(list.list[2].c_str(), "c");
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListRefusal,
    ::testing::Values(
        RefusalCase{"RemoveAtNum", [](qoList<qoString>& l) { EXPECT_FALSE(l.RemoveIndex(3)); },
                    "( index >= 0 ) && ( index < num )"},
        RefusalCase{"RemoveNegative", [](qoList<qoString>& l) { EXPECT_FALSE(l.RemoveIndex(-1)); },
                    "( index >= 0 ) && ( index < num )"},
        RefusalCase{"ReadPastEnd", [](qoList<qoString>& l) { EXPECT_STREQ(l[3].c_str(), ""); },
                    "( index >= 0 ) && ( index < num )"},
        RefusalCase{"SwapFirstBad", [](qoList<qoString>& l) { l.Swap(3, 0); }, "( a >= 0 ) && ( a < num )"},
        RefusalCase{"SwapSecondBad", [](qoList<qoString>& l) { l.Swap(0, -2); }, "( b >= 0 ) && ( b < num )"},
        RefusalCase{"AppendItself", [](qoList<qoString>& l) { l.Append(l); }, "this != &src"}),
    [](const ::testing::TestParamInfo<RefusalCase>& info) { return info.param.name; });

// A write through a bad index lands in a scratch element outside the list; the next bad access
// resets the scratch, so its memory does not stay behind.
TEST_F(ListTest, WritesThroughABadIndexDoNotReachTheList) {
    qoList<qoString> list;
    list.Append(qoString("a"));
    list[5] = "scratch";
    EXPECT_STREQ(list[7].c_str(), "");
    EXPECT_EQ(list.num, 1);
    EXPECT_STREQ(list[0].c_str(), "a");
    EXPECT_EQ(host.console.size(), 2u);
}

TEST_F(ListTest, AppendingAListResizesOnce) {
    qoList<int> a;
    qoList<int> b;
    for (int i = 0; i < 3; ++i) a.Append(i);
    for (int i = 0; i < 10; ++i) b.Append(10 + i);
    const size_t before = host.allocations.size();
    a.Append(b);
    EXPECT_EQ(host.allocations.size() - before, 1u);
    EXPECT_EQ(a.size, 16);
    EXPECT_EQ(std::vector<int>(a.begin(), a.end()),
              (std::vector<int>{0, 1, 2, 10, 11, 12, 13, 14, 15, 16, 17, 18, 19}));
}

// Appending or inserting an element of the list itself while the list must grow: the value
// has to be read before the old storage goes away.
TEST_F(ListTest, ElementsOfTheListItselfCanBeAddedWhileItGrows) {
    qoList<qoString> list;
    for (int i = 0; i < 8; ++i) list.Append(qoString::FromInt(i));
    list.Append(list[2]);
    ASSERT_EQ(list.num, 9);
    EXPECT_STREQ(list[8].c_str(), "2");
    for (int i = 9; i < 16; ++i) list.Append(qoString::FromInt(i));
    list.Insert(list[15], 0);
    ASSERT_EQ(list.num, 17);
    EXPECT_STREQ(list[0].c_str(), "15");
    EXPECT_STREQ(list[16].c_str(), "15");
    list.Insert(list[1], 5);  // not growing: the value moves while later elements shift
    EXPECT_STREQ(list[5].c_str(), "0");
}

struct GrowthFailureCase {
    const char* name;
    void (*operation)(qoList<qoString>&);
};

void FailNextAllocation() { static_cast<FakeHost*>(qoSys)->failNext = 1; }

class ListAllocationFailure : public CoreTest, public ::testing::WithParamInterface<GrowthFailureCase> {};

TEST_P(ListAllocationFailure, KeepsTheOldStorageAndElements) {
    {
        host.currentTag = 0x77;
        qoList<qoString> list;
        for (int i = 0; i < 8; ++i) list.Append(qoString::FromInt(i));
        const qoString* storage = list.list;
        host.currentTag = 0x88;  // the failed growth must hand the host's own tag back
        const uint32_t tagBefore = host.currentTag;
        GetParam().operation(list);
        EXPECT_EQ(host.console, std::vector<std::string>{ErrorLine("qoList Allocation failed")});
        EXPECT_EQ(host.currentTag, tagBefore);
        EXPECT_EQ(list.list, storage);
        EXPECT_EQ(list.size, 8);
        ASSERT_EQ(list.num, 8);
        for (int i = 0; i < 8; ++i) EXPECT_EQ(list.list[i].Cmp(qoString::FromInt(i).c_str()), 0) << i;
        // Usable once memory is back.
        list.Append(qoString("more"));
        EXPECT_EQ(list.num, 9);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ListAllocationFailure,
    ::testing::Values(GrowthFailureCase{"Append",
                                        [](qoList<qoString>& l) {
                                            const qoString value("x");
                                            FailNextAllocation();
                                            EXPECT_EQ(l.Append(value), -1);
                                        }},
                      GrowthFailureCase{"Insert",
                                        [](qoList<qoString>& l) {
                                            const qoString value("x");
                                            FailNextAllocation();
                                            EXPECT_EQ(l.Insert(value, 0), -1);
                                        }},
                      GrowthFailureCase{"Resize",
                                        [](qoList<qoString>& l) {
                                            FailNextAllocation();
                                            EXPECT_FALSE(l.Resize(30));
                                        }},
                      GrowthFailureCase{"AppendList",
                                        [](qoList<qoString>& l) {
                                            qoList<qoString> other;
                                            other.Append(qoString("y"));
                                            FailNextAllocation();
                                            l.Append(other);
                                        }}),
    [](const ::testing::TestParamInfo<GrowthFailureCase>& info) { return info.param.name; });

TEST_F(ListTest, WithoutAHostNothingIsAllocated) {
    qoSys = nullptr;
    {
        qoList<int> list;
        EXPECT_EQ(list.tag, 0u);
        EXPECT_EQ(list.Append(1), -1);
        EXPECT_EQ(list.num, 0);
    }
    qoSys = &host;
    EXPECT_TRUE(host.allocations.empty());
}

TEST_F(ListTest, FindIndexAndRangeIteration) {
    qoList<qoEntity> list;
    for (uint32_t h : {4u, 8u, 4u}) list.Append(qoEntity(h));
    EXPECT_EQ(list.FindIndex(qoEntity(4)), 0);
    EXPECT_EQ(list.FindIndex(qoEntity(8)), 1);
    EXPECT_EQ(list.FindIndex(qoEntity(9)), -1);
    uint32_t sum = 0;
    for (const qoEntity& e : list) sum += e.handle;
    EXPECT_EQ(sum, 16u);
}

}  // namespace
}  // namespace coretest
