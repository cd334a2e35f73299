#include "host/sim/network/Network.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <set>

#include "host/world/World.h"
#include "quorin/kvQOObject.h"
#include "quorin/kvQuorin.h"
#include "quorin/qoTypes.h"

namespace qohost {

namespace {

constexpr const char* kNodeClass = "pHell_NetworkNode";
constexpr const char* kExpandThread = "ExpandNeuralNetwork";
constexpr int32_t kJobNetwork = 9;

// Field offsets of the node layout.
constexpr size_t kNodeType = 16, kNetworkThread = 24, kJobFunctions = 32, kLinkedTo = 56,
                 kJobSlaves = 80, kJobManagers = 104, kPendingLinks = 128, kJobLockQueues = 152;

template <class T>
T At(const void* base, size_t offset) {
    T value;
    std::memcpy(&value, static_cast<const char*>(base) + offset, sizeof value);
    return value;
}

// The elements of a list whose elements are T.
template <class T>
std::vector<T> Elements(const qoListLayout& list) {
    std::vector<T> out;
    for (int32_t i = 0; i < list.num && list.list; ++i) out.push_back(At<T>(list.list, i * sizeof(T)));
    return out;
}

// A list of {entity, job} pairs read as a list of twice as many ints.
qoListLayout PairsAsInts(qoListLayout list) {
    list.num *= 2;
    return list;
}

std::vector<uint32_t> Handles(const qoListLayout& list) {
    std::vector<uint32_t> out;
    for (int32_t v : Elements<int32_t>(list)) out.push_back(static_cast<uint32_t>(v));
    return out;
}

std::string Label(const NetworkNodeView& n) { return n.name + " (" + n.className + ")"; }

std::string NameOf(const NetworkSnapshot& net, uint32_t entity) {
    const NetworkNodeView* n = net.Find(entity);
    return n ? n->name : "#" + std::to_string(entity);
}

std::set<int32_t> AllJobs(const NetworkSnapshot& net) {
    std::set<int32_t> jobs;
    for (const NetworkNodeView& n : net.nodes) jobs.insert(n.jobs.begin(), n.jobs.end());
    return jobs;
}

// Walks the trees of one job: each root, then down the slave lists, depth first; a node met
// again is reported once more but not entered again.
void WalkJob(const NetworkSnapshot& net, int32_t job,
             const std::function<void(const NetworkNodeView* node, uint32_t entity, uint32_t parent,
                                      int depth, bool again)>& visit) {
    std::set<uint32_t> seen;
    std::function<void(uint32_t, uint32_t, int)> down = [&](uint32_t entity, uint32_t parent, int depth) {
        const NetworkNodeView* node = net.Find(entity);
        const bool again = !seen.insert(entity).second;
        visit(node, entity, parent, depth, again);
        if (again || !node) return;
        if (const std::vector<uint32_t>* slaves = node->SlavesOf(job))
            for (uint32_t s : *slaves) down(s, entity, depth + 1);
    };
    for (const NetworkNodeView& n : net.nodes)
        if (n.SlavesOf(job) && n.ManagerOf(job) == n.entity) down(n.entity, 0, 0);
}

// Nodes whose manager for the job is another node that does not list them among its slaves.
std::vector<const NetworkNodeView*> Unlisted(const NetworkSnapshot& net, int32_t job) {
    std::vector<const NetworkNodeView*> out;
    for (const NetworkNodeView& n : net.nodes) {
        const uint32_t manager = n.ManagerOf(job);
        if (!n.SlavesOf(job) || manager == n.entity) continue;
        const NetworkNodeView* m = net.Find(manager);
        const std::vector<uint32_t>* slaves = m ? m->SlavesOf(job) : nullptr;
        if (!slaves || std::find(slaves->begin(), slaves->end(), n.entity) == slaves->end()) out.push_back(&n);
    }
    return out;
}

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

uint32_t NetworkNodeView::ManagerOf(int32_t job) const {
    for (size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i] == job) return i < managers.size() ? managers[i] : 0;
    return 0;
}

const std::vector<uint32_t>* NetworkNodeView::SlavesOf(int32_t job) const {
    for (size_t i = 0; i < jobs.size(); ++i)
        if (jobs[i] == job) return i < slaves.size() ? &slaves[i] : nullptr;
    return nullptr;
}

const NetworkNodeView* NetworkSnapshot::Find(uint32_t entity) const {
    for (const NetworkNodeView& n : nodes)
        if (n.entity == entity) return &n;
    return nullptr;
}

std::string NetworkSnapshot::JobName(int32_t job) const {
    auto it = jobNames.find(job);
    return it != jobNames.end() ? it->second : std::to_string(job);
}

NetworkSnapshot ReadNetwork(World& world) {
    NetworkSnapshot net;
    if (kvQuorin* module = world.Module())
        if (const qoEnumInfo* e = module->GetEnumTable("pHell_NetworkNode::phJobFunction_t"))
            for (const qoEnumValue* v = e->values; v->name; ++v) net.jobNames.emplace(v->value, v->name);

    for (const auto& [entity, index] : world.ObjectOrder()) {
        kvQOObject* object = world.ScriptObject(entity, index);
        if (!object || !object->IsClass(kNodeClass)) continue;
        NetworkNodeView n;
        n.entity = entity;
        const Entity* e = world.EntityByHandle(entity);
        n.name = e ? e->name : std::to_string(entity);
        n.className = object->GetClassName();
        n.nodeType = At<int32_t>(object, kNodeType);
        n.networkThread = At<uint32_t>(object, kNetworkThread);
        const ThreadInfo* thread = world.scheduler.Find(n.networkThread);
        n.expanding = thread && world.scheduler.IsRunning(n.networkThread) && thread->name == kExpandThread;
        n.linksLeft = At<qoListLayout>(object, kLinkedTo).num;
        n.jobs = Elements<int32_t>(At<qoListLayout>(object, kJobFunctions));
        n.managers = Handles(At<qoListLayout>(object, kJobManagers));
        for (const qoListLayout& slaves : Elements<qoListLayout>(At<qoListLayout>(object, kJobSlaves)))
            n.slaves.push_back(Handles(slaves));
        const std::vector<int32_t> pending = Elements<int32_t>(PairsAsInts(At<qoListLayout>(object, kPendingLinks)));
        for (size_t i = 0; i + 1 < pending.size(); i += 2)
            n.pending.emplace_back(static_cast<uint32_t>(pending[i]), pending[i + 1]);
        const std::vector<qoListLayout> queues = Elements<qoListLayout>(At<qoListLayout>(object, kJobLockQueues));
        for (size_t i = 0; i < n.jobs.size() && i < queues.size(); ++i)
            if (n.jobs[i] == kJobNetwork)
                for (uint32_t id : Handles(queues[i]))
                    if (world.scheduler.IsRunning(id)) ++n.lockWaiters;
        net.nodes.push_back(std::move(n));
    }
    return net;
}

bool NetworkSettled(World& world, const NetworkSnapshot& net) {
    for (const NetworkNodeView& n : net.nodes)
        if (n.expanding || n.linksLeft != 0 || n.lockWaiters != 0) return false;
    for (uint32_t id : world.scheduler.LiveThreads()) {
        const ThreadInfo* t = world.scheduler.Find(id);
        if (t && t->name == kExpandThread) return false;
    }
    return true;
}

std::string NetworkOutline(const NetworkSnapshot& net) {
    std::string out;
    for (int32_t job : AllJobs(net)) {
        out += "job " + std::to_string(job) + " " + net.JobName(job) + "\n";
        WalkJob(net, job, [&](const NetworkNodeView* node, uint32_t entity, uint32_t, int depth, bool again) {
            out += std::string(2 * (depth + 1), ' ') + (node ? Label(*node) : "#" + std::to_string(entity)) +
                   (again ? " (again)" : "") + "\n";
        });
        const std::vector<const NetworkNodeView*> unlisted = Unlisted(net, job);
        if (!unlisted.empty()) {
            out += "  managed without being among the manager's slaves:\n";
            for (const NetworkNodeView* n : unlisted)
                out += "    " + Label(*n) + " -> " + NameOf(net, n->ManagerOf(job)) + "\n";
        }
    }
    std::string left;
    for (const NetworkNodeView& n : net.nodes) {
        std::string what;
        if (!n.pending.empty()) {
            what += " pending:";
            for (const auto& [entity, job] : n.pending) what += " " + NameOf(net, entity) + "/" + std::to_string(job);
        }
        if (n.expanding) what += " ExpandNeuralNetwork running";
        if (n.linksLeft != 0) what += " " + std::to_string(n.linksLeft) + " links not yet connected";
        if (n.lockWaiters != 0) what += " " + std::to_string(n.lockWaiters) + " threads at the network lock";
        if (!what.empty()) left += "  " + Label(n) + ":" + what + "\n";
    }
    out += left.empty() ? "nothing left pending or expanding\n" : "left pending or expanding:\n" + left;
    return out;
}

std::string NetworkDot(const NetworkSnapshot& net) {
    std::string out = "digraph network {\n  rankdir=TB;\n  node [shape=box, fontname=\"Helvetica\"];\n";
    for (int32_t job : AllJobs(net)) {
        const std::string prefix = std::to_string(job) + ":";
        out += "  subgraph cluster_job" + std::to_string(job) + " {\n    label=" +
               Quoted("job " + std::to_string(job) + " " + net.JobName(job)) + ";\n";
        WalkJob(net, job, [&](const NetworkNodeView* node, uint32_t entity, uint32_t parent, int, bool again) {
            const std::string id = Quoted(prefix + std::to_string(entity));
            if (!again)
                out += "    " + id + " [label=" +
                       Quoted(node ? node->name + "\\n" + node->className : "#" + std::to_string(entity)) + "];\n";
            if (parent != 0) out += "    " + Quoted(prefix + std::to_string(parent)) + " -> " + id + ";\n";
        });
        for (const NetworkNodeView* n : Unlisted(net, job)) {
            out += "    " + Quoted(prefix + std::to_string(n->entity)) + " [label=" +
                   Quoted(n->name + "\\n" + n->className) + "];\n";
            out += "    " + Quoted(prefix + std::to_string(n->ManagerOf(job))) + " -> " +
                   Quoted(prefix + std::to_string(n->entity)) + " [style=dashed];\n";
        }
        out += "  }\n";
    }
    return out + "}\n";
}

}  // namespace qohost
