// The encounter network as the host sees it: the tables of every network node read straight
// from the objects at the offsets of the node layout, whether the network has settled, and the
// per-job trees as an indented outline or a Graphviz file (`qohost network`).
//
// Node layout (from the object's start): nodeType i32 at 16, networkId at 20, networkThread at
// 24, then lists (24 bytes each): jobFunctions at 32, linkedTo at 56, jobSlaves (a list of int
// lists) at 80, jobManagers at 104, pendingLinks ({entity, job} pairs) at 128, jobLockQueues
// (a list of int lists) at 152.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace qohost {

class World;

struct NetworkNodeView {
    uint32_t entity = 0;
    std::string name;
    std::string className;
    int32_t nodeType = 0;
    uint32_t networkThread = 0;
    bool expanding = false;          // an "ExpandNeuralNetwork" thread of the node runs
    int32_t linksLeft = 0;           // linkedTo not yet consumed
    int32_t lockWaiters = 0;         // running threads in the job-9 lock queue
    std::vector<int32_t> jobs;       // ascending
    std::vector<uint32_t> managers;  // per job
    std::vector<std::vector<uint32_t>> slaves;  // per job
    std::vector<std::pair<uint32_t, int32_t>> pending;

    // The manager and slaves for a job; 0 / empty when the node does not perform it.
    uint32_t ManagerOf(int32_t job) const;
    const std::vector<uint32_t>* SlavesOf(int32_t job) const;
};

struct NetworkSnapshot {
    std::vector<NetworkNodeView> nodes;      // in object creation order
    std::map<int32_t, std::string> jobNames;  // from the module's phJobFunction_t table

    const NetworkNodeView* Find(uint32_t entity) const;
    // "JOB_FUNCTION_SPAWN_AI", or the number as text.
    std::string JobName(int32_t job) const;
};

// Every network node of the world: the objects for which IsClass("pHell_NetworkNode") holds.
NetworkSnapshot ReadNetwork(World& world);

// True when no node has links left, a running "ExpandNeuralNetwork" thread or a running waiter
// on its network lock, and no thread of that name is alive at all.
bool NetworkSettled(World& world, const NetworkSnapshot& network);

// Per job function (ascending): each tree from a node that is its own manager down the slave
// lists, one node per line, indented two blanks a level ("name (class)"). Nodes whose manager
// does not list them as slaves follow as "name (class) -> manager". Then the nodes left with
// pending links or a running expansion thread.
std::string NetworkOutline(const NetworkSnapshot& network);

// The same trees as a Graphviz digraph, one cluster per job function.
std::string NetworkDot(const NetworkSnapshot& network);

}  // namespace qohost
