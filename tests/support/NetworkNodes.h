// A test-only probe node and a seeded network generator, for the network tests and the
// settling benchmark.
//
// Networks of mixed ranks are built from the module's spawning and encounter classes (spawner 4,
// cluster 3, spawn manager 2, encounter manager 1) and event counters. netProbe, a test-only
// node, notes every signal it receives.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "host/sim/network/Network.h"
#include "host/world/World.h"
#include "scripts/encounter/pHell_EventCounter.h"
#include "scripts/encounter/pHell_NetworkNode.h"
#include "tests/support/ExtraClassesModule.h"

namespace network_test {

// What the probes received, as "probe transmitter job event".
inline std::vector<std::string> signals;

class netProbe : public pHell_NetworkNode {
    QO_SCRIPT_CLASS(netProbe, pHell_NetworkNode)
public:
    bool OnSignal(uint32_t transmitter, int32_t job, int32_t gameplayEvent) override {
        signals.push_back(std::string(entity.Name().c_str()) + " " + qoEntity(transmitter).Name().c_str() + " " +
                          std::to_string(job) + " " + std::to_string(gameplayEvent));
        return true;
    }
};

using NetworkModule = qohost::test::ExtraClassesModule<netProbe>;

// ---- building networks -------------------------------------------------------------------------

struct PlacedNode {
    uint32_t entity = 0;
    uint32_t index = 0;
    pHell_NetworkNode* node = nullptr;
};

// A new entity carrying one node of the class.
inline PlacedNode Place(qohost::World& world, const std::string& name, const char* className) {
    qohost::Entity& e = world.SpawnEntity(name, "kvTarget");
    const uint32_t index = world.AddScriptObject(e, className);
    return {e.handle, index, static_cast<pHell_NetworkNode*>(world.ScriptObject(e.handle, index))};
}

inline void Link(pHell_NetworkNode* from, uint32_t to) { from->linkedTo.Append(qoEntity(to)); }

// Starts each node's Init thread, in the order given.
inline void StartAll(qohost::World& world, const std::vector<PlacedNode>& nodes) {
    for (const PlacedNode& n : nodes) world.scheduler.StartInit(n.node, {n.entity, n.index});
}

struct NetworkShape {
    int encounterManagers = 1;
    int spawnManagers = 4;
    int clusters = 12;
    int spawners = 40;
    int counters = 3;

    // The same proportions for about n nodes.
    static NetworkShape Scaled(int n) {
        NetworkShape s;
        s.encounterManagers = 1;
        s.spawnManagers = std::max(1, n / 15);
        s.clusters = std::max(1, n / 5);
        s.counters = std::max(1, n / 20);
        s.spawners = std::max(1, n - s.encounterManagers - s.spawnManagers - s.clusters - s.counters);
        return s;
    }
    int Total() const { return encounterManagers + spawnManagers + clusters + spawners + counters; }
};

// An encounter hierarchy: every spawn manager linked with the encounter manager, clusters with
// spawn managers, spawners with clusters, counters with spawn managers (round robin). The seed
// decides which end of each link holds it, the order of every node's links and the order in
// which the nodes start; the entities (and so their handles) are always made in the same order.
inline std::vector<PlacedNode> GenerateNetwork(qohost::World& world, const NetworkShape& shape, uint32_t seed) {
    std::vector<PlacedNode> nodes;
    std::vector<size_t> managers, spawnManagers, clusters;
    auto place = [&](const char* prefix, int count, const char* className, std::vector<size_t>* into) {
        for (int i = 0; i < count; ++i) {
            if (into) into->push_back(nodes.size());
            nodes.push_back(Place(world, std::string(prefix) + std::to_string(i), className));
        }
    };
    place("encounter_", shape.encounterManagers, "pHell_EncounterManager", &managers);
    place("spawn_manager_", shape.spawnManagers, "pHell_SpawnManager", &spawnManagers);
    place("cluster_", shape.clusters, "pHell_SpawnCluster", &clusters);
    const size_t firstSpawner = nodes.size();
    place("spawner_", shape.spawners, "pHell_Spawner", nullptr);
    const size_t firstCounter = nodes.size();
    place("counter_", shape.counters, "pHell_EventCounter", nullptr);

    std::vector<std::pair<size_t, size_t>> links;
    for (size_t i = 0; i < spawnManagers.size(); ++i) links.emplace_back(spawnManagers[i], managers[i % managers.size()]);
    for (size_t i = 0; i < clusters.size(); ++i) links.emplace_back(clusters[i], spawnManagers[i % spawnManagers.size()]);
    for (size_t i = firstSpawner; i < firstCounter; ++i) links.emplace_back(i, clusters[(i - firstSpawner) % clusters.size()]);
    for (size_t i = firstCounter; i < nodes.size(); ++i)
        links.emplace_back(i, spawnManagers[(i - firstCounter) % spawnManagers.size()]);

    std::mt19937 random(seed);
    std::shuffle(links.begin(), links.end(), random);
    for (auto [a, b] : links) {
        if (random() & 1) std::swap(a, b);
        Link(nodes[a].node, nodes[b].entity);
    }
    std::vector<PlacedNode> order = nodes;
    std::shuffle(order.begin(), order.end(), random);
    StartAll(world, order);
    return nodes;
}

// ---- reading trees -----------------------------------------------------------------------------

// "node job" -> "manager: M; slaves: a b c" with the slaves sorted, for every node and job.
inline std::map<std::string, std::string> Trees(const qohost::NetworkSnapshot& net) {
    std::map<std::string, std::string> trees;
    auto name = [&](uint32_t e) {
        const qohost::NetworkNodeView* n = net.Find(e);
        return n ? n->name : "#" + std::to_string(e);
    };
    for (const qohost::NetworkNodeView& n : net.nodes)
        for (size_t i = 0; i < n.jobs.size(); ++i) {
            std::vector<std::string> slaves;
            for (uint32_t s : n.slaves[i]) slaves.push_back(name(s));
            std::sort(slaves.begin(), slaves.end());
            std::string text = "manager: " + name(n.managers[i]) + "; slaves:";
            for (const std::string& s : slaves) text += " " + s;
            trees[n.name + " " + std::to_string(n.jobs[i])] = text;
        }
    return trees;
}

// Problems with the trees: a manager that is not a node performing the job, or a chain of
// managers that never reaches a node managing itself (a cycle). Empty when sound.
inline std::vector<std::string> TreeFaults(const qohost::NetworkSnapshot& net) {
    std::vector<std::string> faults;
    for (const qohost::NetworkNodeView& n : net.nodes) {
        if (n.managers.size() != n.jobs.size() || n.slaves.size() != n.jobs.size())
            faults.push_back(n.name + ": tables of different lengths");
        for (int32_t job : n.jobs) {
            const qohost::NetworkNodeView* at = &n;
            size_t steps = 0;
            while (at && at->ManagerOf(job) != at->entity && steps <= net.nodes.size()) {
                at = net.Find(at->ManagerOf(job));
                ++steps;
            }
            if (!at || !at->SlavesOf(job))
                faults.push_back(n.name + " job " + std::to_string(job) + ": a manager that does not perform it");
            else if (steps > net.nodes.size())
                faults.push_back(n.name + " job " + std::to_string(job) + ": managers form a cycle");
        }
    }
    return faults;
}

}  // namespace network_test
