// The encounter network settling in the reference host: the trees of the basic cases, a seeded
// generated network that settles to the same trees whatever the linking order, the per-job
// ticket lock (arrival order, tickets of ended threads), and signals relayed down the trees.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "host/sim/network/Network.h"
#include "object/qoThreads.h"
#include "tests/support/ExtraClassesFixture.h"
#include "tests/support/NetworkNodes.h"

namespace {

using namespace network_test;

class NetworkTest : public qohost::test::ExtraClassesFixture<NetworkModule> {
protected:
    void SetUp() override {
        ExtraClassesFixture::SetUp();
        signals.clear();
    }
    void StartOver() {
        TearDown();
        SetUp();
    }

    // Runs frames until the network has settled; false when it has not after `frames`.
    bool Settle(int frames = 200) {
        for (int i = 0; i <= frames; ++i) {
            if (qohost::NetworkSettled(*world, qohost::ReadNetwork(*world))) return true;
            world->RunFrame();
        }
        return false;
    }
    std::map<std::string, std::string> SettledTrees() {
        EXPECT_TRUE(Settle());
        return Trees(qohost::ReadNetwork(*world));
    }
};

// ---- the basic cases ---------------------------------------------------------------------------

struct TreeCase {
    const char* name;
    // Places and links the nodes, then starts them.
    void (*build)(qohost::World& world);
    std::vector<std::pair<std::string, std::string>> expected;  // "node job" -> tree entry
};

const TreeCase kTreeCases[] = {
    {"SelfAndInvalidLinksLeaveAnOwnManagerWithoutSlaves",
     [](qohost::World& w) {
         PlacedNode a = Place(w, "a", "pHell_NetworkNode");
         qohost::Entity& plain = w.SpawnEntity("plain", "kvTarget");  // no node on it
         for (uint32_t link : {a.entity, 0u, 99999u, plain.handle}) Link(a.node, link);
         StartAll(w, {a});
     },
     {{"a 8", "manager: a; slaves:"}, {"a 9", "manager: a; slaves:"}}},
    {"TwoSpawnersUnderOneCluster",
     [](qohost::World& w) {
         PlacedNode cluster = Place(w, "cluster", "pHell_SpawnCluster");
         PlacedNode s1 = Place(w, "s1", "pHell_Spawner");
         PlacedNode s2 = Place(w, "s2", "pHell_Spawner");
         Link(s1.node, cluster.entity);
         Link(s2.node, cluster.entity);
         StartAll(w, {s1, cluster, s2});
     },
     {{"cluster 4", "manager: cluster; slaves: s1 s2"},
      {"s1 4", "manager: cluster; slaves:"},
      {"s2 4", "manager: cluster; slaves:"}}},
    {"EqualTypesTheSmallerHandleManages",
     [](qohost::World& w) {
         PlacedNode first = Place(w, "first", "pHell_Spawner");
         PlacedNode second = Place(w, "second", "pHell_Spawner");
         Link(first.node, second.entity);
         StartAll(w, {second, first});
     },
     {{"second 4", "manager: first; slaves:"},
      {"second 8", "manager: first; slaves:"},
      {"second 9", "manager: first; slaves:"},
      {"first 4", "manager: first; slaves:"}}},
    {"CounterUnderASpawnManagerForEventsAndNetwork",
     [](qohost::World& w) {
         PlacedNode manager = Place(w, "manager", "pHell_SpawnManager");
         PlacedNode counter = Place(w, "counter", "pHell_EventCounter");
         Link(counter.node, manager.entity);
         StartAll(w, {manager, counter});
     },
     {{"counter 8", "manager: manager; slaves:"},
      {"counter 9", "manager: manager; slaves:"},
      {"manager 8", "manager: manager; slaves: counter"},
      {"manager 9", "manager: manager; slaves: counter"}}},
};

TEST_F(NetworkTest, SettledTreesOfTheBasicCases) {
    for (const TreeCase& c : kTreeCases) {
        SCOPED_TRACE(c.name);
        c.build(*world);
        const std::map<std::string, std::string> trees = SettledTrees();
        for (const auto& [key, value] : c.expected) {
            ASSERT_TRUE(trees.count(key)) << key;
            EXPECT_EQ(trees.at(key), value) << key;
        }
        EXPECT_TRUE(TreeFaults(qohost::ReadNetwork(*world)).empty());
        StartOver();
    }
}

// ---- a generated network -------------------------------------------------------------------------

TEST_F(NetworkTest, GeneratedNetworkSettlesToTheSameTreesForEverySeed) {
    std::map<std::string, std::string> first;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        GenerateNetwork(*world, NetworkShape{}, seed);
        ASSERT_TRUE(Settle()) << qohost::NetworkOutline(qohost::ReadNetwork(*world));
        const qohost::NetworkSnapshot net = qohost::ReadNetwork(*world);
        EXPECT_EQ(net.nodes.size(), 60u);
        for (const std::string& fault : TreeFaults(net)) ADD_FAILURE() << fault;
        for (uint32_t id : world->scheduler.LiveThreads())
            EXPECT_NE(world->scheduler.Find(id)->name, "ExpandNeuralNetwork") << "thread " << id;
        const std::map<std::string, std::string> trees = Trees(net);
        if (seed == 1)
            first = trees;
        else
            for (const auto& [key, value] : first) EXPECT_EQ(trees.at(key), value) << key;
        StartOver();  // the fixture checks that no block of any tag is left
    }
}

// ---- the ticket lock -------------------------------------------------------------------------------

class NetworkLockTest : public NetworkTest {
protected:
    void SetUp() override {
        NetworkTest::SetUp();
        if (HasFatalFailure()) return;
        node = Place(*world, "node", "pHell_NetworkNode");
        StartAll(*world, {node});
        ASSERT_TRUE(Settle());
    }

    // A thread that takes the network lock, holds it for `frames` frames, lets it go and lives
    // on for `after` frames. Returns its id.
    uint32_t Locker(const std::string& name, int frames, int after = 0) {
        return world->scheduler.Spawn(name.c_str(), node.node, {node.entity, node.index}, [this, name, frames, after] {
            const uint32_t ticket = node.node->LockJob(pHell_NetworkNode::JOB_FUNCTION_NETWORK);
            order.push_back(name);
            for (int i = 0; i < frames; ++i) qoWaitFrame();
            node.node->UnlockJob(pHell_NetworkNode::JOB_FUNCTION_NETWORK, ticket);
            for (int i = 0; i < after; ++i) qoWaitFrame();
        });
    }
    bool NodeSettled() { return node.node->IsNetworkSettled(node.entity); }

    PlacedNode node;
    std::vector<std::string> order;
};

TEST_F(NetworkLockTest, ThreadsGetTheLockInArrivalOrder) {
    Locker("a", 2, 5);  // lives on after letting go
    Locker("b", 1);
    Locker("c", 0);
    Locker("d", 1);
    EXPECT_EQ(order, (std::vector<std::string>{"a"}));
    EXPECT_FALSE(NodeSettled());
    world->RunFrames(20);
    EXPECT_EQ(order, (std::vector<std::string>{"a", "b", "c", "d"}));
    EXPECT_TRUE(NodeSettled());
}

TEST_F(NetworkLockTest, AnEndedThreadInTheQueueBlocksNobody) {
    struct Case {
        const char* name;
        int ended;  // which of the three lockers is ended in frame 1 (0: the holder)
        std::vector<std::string> order;
    };
    const Case cases[] = {
        {"holder ended while holding", 0, {"a", "b", "c"}},
        {"waiter ended while queued", 1, {"a", "c"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        order.clear();
        const uint32_t ids[] = {Locker("a", 3), Locker("b", 1), Locker("c", 1)};
        world->RunFrame();
        world->scheduler.End(ids[c.ended]);
        world->RunFrames(20);
        EXPECT_EQ(order, c.order);
        EXPECT_TRUE(NodeSettled());
    }
}

TEST_F(NetworkLockTest, AJobTheNodeDoesNotPerformLocksNothing) {
    world->console.Clear();
    EXPECT_EQ(node.node->LockJob(pHell_NetworkNode::JOB_FUNCTION_SPAWN_AI), 0u);
    node.node->UnlockJob(pHell_NetworkNode::JOB_FUNCTION_SPAWN_AI, 0);
    EXPECT_EQ(ConsoleText(), "node does not use transmitter type: 4\nnode does not use transmitter type: 4\n");
}

// ---- signals ---------------------------------------------------------------------------------------

TEST_F(NetworkTest, ACounterRelaysEverySignalToItsSlaves) {
    PlacedNode counter = Place(*world, "counter", "pHell_EventCounter");
    PlacedNode p1 = Place(*world, "p1", "netProbe");
    PlacedNode p2 = Place(*world, "p2", "netProbe");
    Link(counter.node, p1.entity);
    Link(p2.node, counter.entity);
    StartAll(*world, {counter, p1, p2});
    ASSERT_TRUE(Settle());
    auto* c = static_cast<pHell_EventCounter*>(counter.node);
    c->eventType = pHell_EventTransceiver::GAMEPLAY_EVENT_AI_KILLED;

    // Matching or not, the signal goes on unchanged to the slaves of the same job.
    EXPECT_FALSE(c->OnSignal(p1.entity, pHell_NetworkNode::JOB_FUNCTION_EVENTS,
                             pHell_EventTransceiver::GAMEPLAY_EVENT_AI_SPAWNED));
    EXPECT_TRUE(c->OnSignal(p1.entity, pHell_NetworkNode::JOB_FUNCTION_EVENTS,
                            pHell_EventTransceiver::GAMEPLAY_EVENT_AI_KILLED));
    EXPECT_EQ(c->eventCount, 1);
    EXPECT_EQ(signals, (std::vector<std::string>{"p1 p1 8 0", "p2 p1 8 0", "p1 p1 8 1", "p2 p1 8 1"}));
    // A job the counter manages nothing for reaches nobody.
    signals.clear();
    c->OnSignal(p1.entity, pHell_NetworkNode::JOB_FUNCTION_SPAWN_AI, pHell_EventTransceiver::GAMEPLAY_EVENT_AI_KILLED);
    EXPECT_TRUE(signals.empty());
}

}  // namespace
