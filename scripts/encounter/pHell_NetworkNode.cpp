#include "scripts/encounter/pHell_NetworkNode.h"

#include <algorithm>

#include "core/qoDiagnostics.h"
#include "hostcalls/qoEntity.h"
#include "object/qoThreads.h"

namespace {

constexpr int32_t kJobEvents = pHell_NetworkNode::JOB_FUNCTION_EVENTS;
constexpr int32_t kJobNetwork = pHell_NetworkNode::JOB_FUNCTION_NETWORK;

void PrintLine(const qoString& text) { qoSys->Printf("%s\n", text.c_str()); }

qoString NameOf(uint32_t entity) { return qoEntity(entity).Name(); }

// The network lock of a node for the length of a scope.
class NetworkLock {
public:
    explicit NetworkLock(pHell_NetworkNode& node) : node_(node), ticket_(node.LockJob(kJobNetwork)) {}
    ~NetworkLock() { node_.UnlockJob(kJobNetwork, ticket_); }
    NetworkLock(const NetworkLock&) = delete;
    NetworkLock& operator=(const NetworkLock&) = delete;

private:
    pHell_NetworkNode& node_;
    uint32_t ticket_;
};

// A ticket queued on a lock and not yet granted. When the waiting thread is ended at its wait
// the ticket leaves the queue as the thread unwinds, so it blocks nobody behind it.
class QueuedTicket {
public:
    QueuedTicket(qoList<int32_t>& queue, int32_t ticket) : queue_(queue), ticket_(ticket) {}
    ~QueuedTicket() {
        if (granted) return;
        const int at = queue_.FindIndex(ticket_);
        if (at >= 0) queue_.RemoveIndex(at);
    }
    QueuedTicket(const QueuedTicket&) = delete;
    QueuedTicket& operator=(const QueuedTicket&) = delete;
    bool granted = false;

private:
    qoList<int32_t>& queue_;
    int32_t ticket_;
};

// Drops the entries of threads that no longer run: a thread ended while it held or waited for
// the lock leaves its ticket behind, and nothing else would ever take it out.
void DropEndedTickets(qoList<int32_t>& queue, int32_t keep) {
    for (int i = 0; i < queue.Num();) {
        const int32_t ticket = queue[i];
        if (ticket != keep && !qoIsThreadRunning(static_cast<uint32_t>(ticket)))
            queue.RemoveIndex(i);
        else
            ++i;
    }
}

}  // namespace

// ---- resolving other nodes ---------------------------------------------------------------------

pHell_NetworkNode* pHell_NetworkNode::Resolve(uint32_t entity) {
    if (entity == 0) return nullptr;
    qoObject<pHell_NetworkNode> ref;
    ref.Bind(qoEntity(entity));
    return ref.Get();
}

pHell_NetworkNode* pHell_NetworkNode::ResolveInitialised(uint32_t entity) {
    pHell_NetworkNode* node = Resolve(entity);
    if (node && node->jobFunctions.Num() == 0) node->InitNetworkNode();
    return node;
}

bool pHell_EntityIsHellNode(uint32_t entity) {
    return entity != 0 && qoEntity(entity).IsValid() && pHell_NetworkNode::Resolve(entity) != nullptr;
}

// ---- default operations ----------------------------------------------------------------------

bool pHell_NetworkNode::OnSignal(uint32_t, int32_t, int32_t) { return false; }
void pHell_NetworkNode::ConfigureNode() { nodeType = PH_NODE; }
void pHell_NetworkNode::OnNetworkStart() {}

// ---- ranking -----------------------------------------------------------------------------------

int pHell_NetworkNode::CompareJobRank(uint32_t a, uint32_t b, int32_t job) {
    if (a == b) return 0;
    pHell_NetworkNode* na = ResolveInitialised(a);
    pHell_NetworkNode* nb = ResolveInitialised(b);
    if (!na || !nb || !na->PerformsJob(job) || !nb->PerformsJob(job)) return -1;
    if (na->nodeType > nb->nodeType) return 1;
    if (na->nodeType < nb->nodeType) return 4;
    return static_cast<int32_t>(a) > static_cast<int32_t>(b) ? 2 : 3;
}

uint32_t pHell_NetworkNode::GetJobManager(int32_t job) const {
    const int at = jobFunctions.FindIndex(job);
    return at < 0 ? 0u : static_cast<uint32_t>(jobManagers[at]);
}

qoList<int32_t> pHell_NetworkNode::GetJobSlaves(int32_t job) const {
    const int at = jobFunctions.FindIndex(job);
    return at < 0 ? qoList<int32_t>() : jobSlaves[at];
}

int32_t pHell_NetworkNode::TypeOf(uint32_t node) const {
    if (node == networkId) return nodeType;
    qoObject<pHell_NetworkNode> ref;
    ref.Bind(qoEntity(node));
    return ref.Read(&pHell_NetworkNode::nodeType);
}

bool pHell_NetworkNode::IsNetworkSettled(uint32_t id) {
    if (id != networkId) {
        qoObject<pHell_NetworkNode> ref;
        ref.Bind(qoEntity(id));
        return ref.Call(&pHell_NetworkNode::IsNetworkSettled, id);
    }
    if (qoIsThreadRunning(networkThread)) return false;
    const int at = jobFunctions.FindIndex(kJobNetwork);
    if (at >= 0) {
        DropEndedTickets(jobLockQueues[at], 0);
        if (jobLockQueues[at].Num() != 0) return false;
    }
    return linkedTo.Num() == 0;
}

// ---- tables ------------------------------------------------------------------------------------

int pHell_NetworkNode::AddJobFunction(int32_t job) {
    int at = 0;
    for (; at < jobFunctions.Num(); ++at) {
        if (jobFunctions[at] == job) return at;
        if (jobFunctions[at] > job) break;
    }
    return jobFunctions.Insert(job, at);
}

void pHell_NetworkNode::InitNetworkNode() {
    if (networkId != 0 || nodeType != PH_NODE || jobFunctions.Num() != 0 ||
        qoIsThreadRunning(networkThread))
        return;
    networkThread = qoCurrentThreadId();
    networkId = entity.handle;
    AddJobFunction(kJobNetwork);
    AddJobFunction(kJobEvents);
    ConfigureNode();
    const qoList<int32_t> none;
    for (int i = 0; i < jobFunctions.Num(); ++i) {
        jobLockQueues.Append(none);
        jobSlaves.Append(none);
        jobManagers.Append(static_cast<int32_t>(networkId));
    }
    // The four tables are read by one index. When the allocator refused a row, the jobs past
    // the shortest table are dropped: the node does not perform them, and no index lands on
    // the out-of-range element of a table (a list written there would hold memory that no
    // node owns).
    const int rows = std::min({jobLockQueues.Num(), jobSlaves.Num(), jobManagers.Num()});
    while (jobFunctions.Num() > rows) jobFunctions.RemoveIndex(jobFunctions.Num() - 1);
    networkThread = 0;
}

uint32_t pHell_NetworkNode::LockJob(int32_t job) {
    const int at = jobFunctions.FindIndex(job);
    if (at < 0) {
        PrintLine(entity.Name() + " does not use transmitter type: " + qoString::FromInt(job));
        return 0;
    }
    const int32_t ticket = static_cast<int32_t>(qoCurrentThreadId());
    qoList<int32_t>& queue = jobLockQueues[at];
    if (queue.FindIndex(ticket) < 0) queue.Append(ticket);
    QueuedTicket queued(queue, ticket);
    // Outside a script thread nothing can wait; the holder is suspended between whole steps.
    while (ticket != 0) {
        const int place = queue.FindIndex(ticket);
        if (place <= 0) break;
        const uint32_t ahead = static_cast<uint32_t>(queue[place - 1]);
        if (!qoIsThreadRunning(ahead)) {
            DropEndedTickets(queue, ticket);
            continue;
        }
        qoSys->WaitForThread(ahead);
    }
    queued.granted = true;
    return static_cast<uint32_t>(ticket);
}

void pHell_NetworkNode::UnlockJob(int32_t job, uint32_t ticket) {
    const int at = jobFunctions.FindIndex(job);
    if (at < 0) {
        PrintLine(entity.Name() + " does not use transmitter type: " + qoString::FromInt(job));
        return;
    }
    qoList<int32_t>& queue = jobLockQueues[at];
    const int place = queue.FindIndex(static_cast<int32_t>(ticket));
    if (place >= 0) queue.RemoveIndex(place);
}

// ---- linking -----------------------------------------------------------------------------------

void pHell_NetworkNode::AddPendingLink(uint32_t other, int32_t job) {
    const phPendingLink_t link{other, job};
    if (pendingLinks.FindIndex(link) >= 0) return;
    NetworkLock lock(*this);
    pendingLinks.Append(link);
    const int at = jobFunctions.FindIndex(job);
    if (at < 0) return;
    const int slave = jobSlaves[at].FindIndex(static_cast<int32_t>(other));
    if (slave >= 0) jobSlaves[at].RemoveIndex(slave);
}

bool pHell_NetworkNode::NegotiateJob(uint32_t other, int32_t job) {
    const int r1 = CompareJobRank(other, networkId, job);
    if (r1 == 0) return false;
    if (r1 == -1) {
        AddPendingLink(other, job);
        return false;
    }
    const int at = jobFunctions.FindIndex(job);
    if (at < 0 || jobSlaves[at].FindIndex(static_cast<int32_t>(other)) >= 0) return false;
    const uint32_t manager = GetJobManager(job);
    const int r2 = CompareJobRank(other, manager, job);
    if (r2 == 1 || r2 == 2) {
        if ((r1 == 2 || r1 == 3 || r1 == 4) && manager != networkId) {
            AddPendingLink(other, job);
            return false;
        }
        // Slaves stay ordered by type; equal types keep their arrival order. The new slave goes
        // before the first slave of a greater type, found by halving (the list is ordered, and
        // each type read is a look-up through the host).
        const int32_t otherType = TypeOf(other);
        NetworkLock lock(*this);
        qoList<int32_t>& slaves = jobSlaves[at];
        int low = 0, high = slaves.Num();
        while (low < high) {
            const int mid = low + (high - low) / 2;
            if (TypeOf(static_cast<uint32_t>(slaves[mid])) <= otherType)
                low = mid + 1;
            else
                high = mid;
        }
        slaves.Insert(static_cast<int32_t>(other), low);
        return true;
    }
    if (r2 == 3 || r2 == 4) {
        NetworkLock lock(*this);
        if (manager == networkId) {
            const qoList<int32_t> slaves = jobSlaves[at];
            for (int32_t slave : slaves)
                if (TypeOf(static_cast<uint32_t>(slave)) == nodeType)
                    AddPendingLink(static_cast<uint32_t>(slave), job);
        }
        jobManagers[at] = static_cast<int32_t>(other);
        return true;
    }
    return false;  // the same node, or the manager is gone
}

bool pHell_NetworkNode::ConnectTo(uint32_t other) {
    if (!pHell_EntityIsHellNode(other)) return false;
    const qoList<int32_t> jobs = ResolveInitialised(other)->jobFunctions;
    bool connected = false;
    for (int32_t job : jobs) {
        if (!NegotiateJob(other, job)) continue;
        connected = true;
        if (CompareJobRank(other, networkId, job) >= 3) {
            qoObject<pHell_NetworkNode> ref;
            ref.Bind(qoEntity(other));
            ref.Call(&pHell_NetworkNode::AcceptLink, networkId, job);
        }
    }
    return connected;
}

bool pHell_NetworkNode::AcceptLink(uint32_t id, int32_t job) {
    if (id == networkId) return false;
    const int at = jobFunctions.FindIndex(job);
    if (at < 0 || jobSlaves[at].FindIndex(static_cast<int32_t>(id)) >= 0) return false;
    if (!NegotiateJob(id, job)) return false;
    if (!qoIsThreadRunning(networkThread)) StartExpansion();
    return true;
}

qoList<pHell_NetworkNode::phPendingLink_t> pHell_NetworkNode::CollectPendingLinks(int32_t job,
                                                                                  uint32_t asking) {
    qoList<phPendingLink_t> out;
    if (!pHell_EntityIsHellNode(asking) || asking == networkId) return out;
    NegotiateJob(asking, job);
    const int at = jobFunctions.FindIndex(job);
    pHell_NetworkNode* asker = ResolveInitialised(asking);
    if (pendingLinks.Num() == 0 || !asker || !asker->PerformsJob(job) || at < 0 ||
        jobSlaves[at].Num() == 0 || jobSlaves[at][0] != static_cast<int32_t>(asking))
        return out;
    NetworkLock lock(*this);
    for (int i = 0; i < pendingLinks.Num();) {
        if (pendingLinks[i].job == job) {
            out.Append(pendingLinks[i]);
            pendingLinks.RemoveIndex(i);
        } else {
            ++i;
        }
    }
    return out;
}

bool pHell_NetworkNode::MergeLinks(const qoList<phPendingLink_t>& links, uint32_t) {
    bool merged = false;
    for (const phPendingLink_t& link : links)
        if (link.entity != networkId && qoEntity(link.entity).IsValid() && NegotiateJob(link.entity, link.job))
            merged = true;
    if (!qoIsThreadRunning(networkThread)) StartExpansion();
    return merged;
}

// ---- signals -----------------------------------------------------------------------------------

void pHell_NetworkNode::Transmit(uint32_t transmitter, int32_t job, int32_t gameplayEvent) {
    const qoList<int32_t> slaves = GetJobSlaves(job);
    for (int32_t slave : slaves) DeliverSignal(static_cast<uint32_t>(slave), transmitter, job, gameplayEvent);
}

bool pHell_NetworkNode::DeliverSignal(uint32_t node, uint32_t transmitter, int32_t job,
                                      int32_t gameplayEvent) {
    if (node == 0 || !qoEntity(node).IsValid()) return false;
    pHell_NetworkNode* target = Resolve(node);
    return target ? target->OnSignal(transmitter, job, gameplayEvent) : false;
}

// ---- start-up and expansion ----------------------------------------------------------------------

void pHell_NetworkNode::StartExpansion() {
    networkThread = qoStartNetworkThread<&pHell_NetworkNode::ExpandNeuralNetwork>(this, "ExpandNeuralNetwork");
}

void pHell_NetworkNode::Init() {
    InitNetworkNode();
    while (qoIsThreadRunning(networkThread)) qoSys->WaitForThread(networkThread);
    const uint32_t self = qoCurrentThreadId();
    networkThread = self;

    const qoList<qoEntity> links = linkedTo;
    linkedTo.Clear();
    for (const qoEntity& link : links)
        if (link.handle != 0 && link.IsValid() && link != entity) ConnectTo(link.handle);

    for (int check = 0; check < 2; ++check)
        if (networkThread != self)
            while (qoIsThreadRunning(networkThread)) qoSys->WaitForThread(networkThread);

    OnNetworkStart();
    StartExpansion();
}

void pHell_NetworkNode::ExpandNeuralNetwork() {
    // The pass names itself at once, then lets its creator finish the step it is in before the
    // first pass: a host runs a new thread up to its first wait before creation returns, and a
    // pass running inside its creator's step would merge links that the step is still making
    // (and, by merging on this node before the creator could record this thread, would start
    // pass after pass without end).
    networkThread = qoCurrentThreadId();
    qoWaitFrame();

    for (bool changed = true; changed;) {
        changed = false;
        qoList<int32_t> localSlaves;
        for (const qoList<int32_t>& slaves : jobSlaves)
            for (int32_t slave : slaves)
                if (slave != static_cast<int32_t>(networkId) && localSlaves.FindIndex(slave) < 0)
                    localSlaves.Append(slave);

        const qoList<int32_t> jobs = jobFunctions;
        for (int32_t slave : localSlaves) {
            if (!pHell_EntityIsHellNode(static_cast<uint32_t>(slave))) {
                qoAssertFailed("pHell_EntityIsHellNode( localSlaves[ i ] )");
                return;
            }
            qoList<phPendingLink_t> links;
            for (int32_t job : jobs) {
                qoObject<pHell_NetworkNode> ref;
                ref.Bind(qoEntity(static_cast<uint32_t>(slave)));
                links.Append(ref.Call(&pHell_NetworkNode::CollectPendingLinks, job, networkId));
            }
            if (MergeLinks(links, static_cast<uint32_t>(slave))) changed = true;
        }
    }

    // Hand what is pending here to each manager above this node.
    for (int i = 0; i < jobManagers.Num(); ++i) {
        const uint32_t manager = static_cast<uint32_t>(jobManagers[i]);
        if (manager == networkId) continue;
        if (!pHell_EntityIsHellNode(manager)) {
            qoAssertFailed("pHell_EntityIsHellNode( jobManagers[ i ] )");
            return;
        }
        const qoList<int32_t> managerJobs = ResolveInitialised(manager)->jobFunctions;
        qoList<phPendingLink_t> links;
        for (int32_t job : managerJobs) links.Append(CollectPendingLinks(job, manager));
        qoObject<pHell_NetworkNode> ref;
        ref.Bind(qoEntity(manager));
        ref.Call(&pHell_NetworkNode::MergeLinks, links, networkId);
    }

    // A manager keeps no slave of its own type.
    for (int i = 0; i < jobFunctions.Num(); ++i) {
        if (static_cast<uint32_t>(jobManagers[i]) != networkId || jobSlaves[i].Num() == 0) continue;
        NetworkLock lock(*this);
        qoList<int32_t>& slaves = jobSlaves[i];
        for (int s = 0; s < slaves.Num();) {
            if (TypeOf(static_cast<uint32_t>(slaves[s])) == nodeType)
                slaves.RemoveIndex(s);
            else
                ++s;
        }
    }
}

// ---- printing ----------------------------------------------------------------------------------

void pHell_NetworkNode::DebugPrintNetwork() {
    const uint32_t top = GetJobManager(kJobNetwork);
    if (top != networkId) {
        qoSys->CallScriptFunction(top, "DebugPrintNetwork");
        return;
    }
    qoList<int32_t> nodes = GetJobSlaves(kJobNetwork);
    for (bool grew = true; nodes.Num() > 1 && grew;) {
        grew = false;
        for (int i = 0; i < nodes.Num(); ++i) {
            const uint32_t node = static_cast<uint32_t>(nodes[i]);
            if (!IsNetworkSettled(node)) return;
            qoObject<pHell_NetworkNode> ref;
            ref.Bind(qoEntity(node));
            const qoList<int32_t> slaves = ref.Call(&pHell_NetworkNode::GetJobSlaves, kJobNetwork);
            for (int32_t slave : slaves)
                if (nodes.FindIndex(slave) < 0) {
                    nodes.Append(slave);
                    grew = true;
                }
        }
    }
    for (int32_t node : nodes)
        if (!IsNetworkSettled(static_cast<uint32_t>(node))) return;
    for (int32_t node : nodes) PrintNetwork(static_cast<uint32_t>(node));
}

void pHell_NetworkNode::PrintNetwork(uint32_t id) {
    if (id != networkId) {
        qoObject<pHell_NetworkNode> ref;
        ref.Bind(qoEntity(id));
        ref.Call(&pHell_NetworkNode::PrintNetwork, id);
        return;
    }
    PrintLine("Neural Network for:  " + entity.Name());
    for (int i = 0; i < jobFunctions.Num(); ++i) {
        if (jobFunctions[i] == kJobNetwork) continue;
        PrintLine("  jobFunction: " + qoString::FromInt(jobFunctions[i]));
        PrintLine("   Handler: " + NameOf(static_cast<uint32_t>(jobManagers[i])));
        PrintLine(qoString("   Slaves: "));
        for (int32_t slave : jobSlaves[i]) PrintLine("    " + NameOf(static_cast<uint32_t>(slave)));
    }
}
