// qoObject<T>: binding through the host, resolution on every use, and the zero value with an
// assertion when the target is missing.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "hostcalls/qoObjectRef.h"
#include "core_fake_host.h"
#include "object/kvQuorinObject.h"

namespace coretest {
namespace {

class Node : public kvQuorinObject {
public:
    const char* GetClassName() override { return "testNode"; }
    bool IsClass(const char*) override { return false; }
    int Add(int a, int b) { return a + b + bias; }
    bool Ready() const { return true; }
    float Weight() { return 2.5f; }
    qoString Label() { return qoString("node"); }
    qoEntity Target() { return target; }
    void Poke() { ++pokes; }
    const qoString& LabelRef() { return label; }

    int bias = 10;
    int pokes = 0;
    qoEntity target{77};
    qoString label;
};

class Spawner : public Node {
public:
    using qoScriptBase = Node;
    static constexpr char qoName[] = "pHell_Spawner";
    int Count() { return 4; }
};

static_assert(std::is_base_of_v<qoObject<Node>, qoObject<Spawner>>);
static_assert(std::is_base_of_v<qoObjectBase, qoObject<Node>>);
static_assert(sizeof(qoObject<Spawner>) == 16);

using ObjectRefTest = CoreTest;

TEST_F(ObjectRefTest, BindAsksTheHostForTheObjectIndex) {
    qoObject<Spawner> ref;
    EXPECT_EQ(ref.entity, 0u);
    EXPECT_FALSE(ref.IsBound());
    host.nextObjectIndex = 6;
    ref.Bind(qoEntity(31), "pHell_Spawner", 1);
    ASSERT_EQ(host.findObjectCalls.size(), 1u);
    EXPECT_EQ(host.findObjectCalls[0].entity, 31u);
    EXPECT_EQ(host.findObjectCalls[0].className, "pHell_Spawner");
    EXPECT_EQ(host.findObjectCalls[0].create, 1);
    EXPECT_EQ(ref.entity, 31u);
    EXPECT_EQ(ref.objectIndex, 6u);
    EXPECT_TRUE(ref.IsBound());

    ref.Bind(qoEntity(32));  // by the class's own name, lookup only
    ASSERT_EQ(host.findObjectCalls.size(), 2u);
    EXPECT_EQ(host.findObjectCalls[1].className, "pHell_Spawner");
    EXPECT_EQ(host.findObjectCalls[1].create, 0);
    EXPECT_EQ(ref.entity, 32u);

    // The raw layout the host shares: operations pointer, entity at 8, index at 12.
    uint32_t raw[2];
    std::memcpy(raw, reinterpret_cast<const char*>(&ref) + 8, sizeof raw);
    EXPECT_EQ(raw[0], 32u);
    EXPECT_EQ(raw[1], 6u);
}

TEST_F(ObjectRefTest, CallsAreForwardedToTheResolvedTarget) {
    Spawner target;
    host.objects[{31, 6}] = &target;
    const qoObject<Spawner> ref(31, 6);
    EXPECT_EQ(ref.Call(&Node::Add, 1, 2), 13);
    EXPECT_EQ(ref.Call(&Spawner::Count), 4);
    EXPECT_TRUE(ref.Call(&Node::Ready));
    EXPECT_EQ(ref.Call(&Node::Target), qoEntity(77));
    EXPECT_STREQ(ref.Call(&Node::Label).c_str(), "node");
    ref.Call(&Node::Poke);
    EXPECT_EQ(target.pokes, 1);
    EXPECT_EQ(ref.Read(&Node::bias), 10);
    EXPECT_EQ(ref.Read(&Node::target), qoEntity(77));
    EXPECT_EQ(ref.Get(), &target);
    EXPECT_EQ(host.getObjectCalls, 9);  // resolved again on every use
    EXPECT_TRUE(host.console.empty());

    // A result the target returns by reference is copied out.
    target.label = "own";
    qoString copy = ref.Call(&Node::LabelRef);
    copy += "!";
    EXPECT_STREQ(target.label.c_str(), "own");

    // A reference to the derived class is usable as a reference to the base.
    const qoObject<Node>& asBase = ref;
    EXPECT_EQ(asBase.Call(&Node::Weight), 2.5f);
}

TEST_F(ObjectRefTest, AMissingTargetReportsAndYieldsZeroValues) {
    const qoObject<Spawner> ref(31, 6);
    EXPECT_EQ(ref.Call(&Node::Add, 1, 2), 0);
    EXPECT_FALSE(ref.Call(&Node::Ready));
    EXPECT_EQ(ref.Call(&Node::Weight), 0.0f);
    EXPECT_EQ(ref.Call(&Node::Target), qoEntity());
    const qoString label = ref.Call(&Node::Label);
    EXPECT_EQ(label.data, nullptr);
    ref.Call(&Node::Poke);
    EXPECT_EQ(ref.Read(&Node::bias), 0);
    EXPECT_EQ(host.console, std::vector<std::string>(7, AssertLine("0")));
    EXPECT_EQ(ref.Get(), nullptr);  // a plain look does not report
    EXPECT_EQ(host.console.size(), 7u);
}

}  // namespace
}  // namespace coretest
