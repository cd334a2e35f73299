// pHell_NetworkNode: the base of every node of the encounter network.
//
// Designers link node entities through `linkedTo`. At start-up each node turns those links into
// per-job trees: for every job function it performs it learns one manager (the highest-ranked
// node met that performs the job; a lower nodeType ranks higher, equal types rank by the smaller
// entity handle) and a list of slaves. Short-lived "ExpandNeuralNetwork" threads exchange links
// until nothing changes. Gameplay signals travel down the trees through OnSignal.
//
// Other nodes are reached only through their entity handles, resolved again on every use.
// Changes to a node's slave, manager and pending tables take the node's job-9 ticket lock, a
// FIFO of thread ids.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "hostcalls/qoObjectRef.h"
#include "object/qoClass.h"
#include "runtime/qoEnums.h"

class pHell_NetworkNode : public kvQuorinObject {
    QO_SCRIPT_CLASS(pHell_NetworkNode, kvQuorinObject)
    QO_UNLISTED
    QO_ENUM(phNodeType_t, 0, QO_ENUM_VALUES_pHell_NetworkNode_phNodeType_t)
    QO_ENUM(phJobFunction_t, 0, QO_ENUM_VALUES_pHell_NetworkNode_phJobFunction_t)

public:
    // A reflected pair that no behaviour uses.
    struct phJobPath_t {
        QO_STRUCT(pHell_NetworkNode, phJobPath_t)
        QO_PROPERTIES(QO_PROPERTY(jobPathId), QO_PROPERTY(jobFunction))

        int32_t jobPathId = 0;
        phJobFunction_t jobFunction = JOB_FUNCTION_MAP_MANAGEMENT;
    };

    // A node met for a job that this node does not place in its own tables.
    struct phPendingLink_t {
        uint32_t entity = 0;
        int32_t job = 0;
        bool operator==(const phPendingLink_t&) const = default;
    };

    QO_PROPERTIES(QO_PROPERTY(linkedTo,
                              "SHIFT_J - Contains a list of other entities to share combat information "
                              "with.  All connected entities are integrated into a local network of "
                              "shared information."))
    QO_EDITOR("foreach listItem in linkedTo { targetLine { target = listItem; color = gray; "
              "showAlways = false; } }",
              "linkActionList { entityPtrs = linkedTo[ x ]; actionName = 'Link Author Network "
              "Entities'; stopLinkActionProcessingAfterThisEntity; associatedHotKey = SHIFT_J; }")
    QO_EVENTS("OnSignal")
    QO_FUNCTIONS(QO_FUNCTION(DebugPrintNetwork))
    QO_TYPES(phJobPath_t, phNodeType_t, phJobFunction_t)

public:
    pHell_NetworkNode() = default;
    ~pHell_NetworkNode() = default;

    // ---- operations after the 89 of kvQuorinObject, in slot order --------------------------
    // 89: a network signal reached this node. The base ignores it.
    virtual bool OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent);
    // 90: sets nodeType and adds the class's own job functions.
    virtual void ConfigureNode();
    // 91: runs in Init before the first expansion thread.
    virtual void OnNetworkStart();

    // Slot 0: initialises the node, connects its links and starts the first expansion.
    void Init() override;

    // ---- ranking and tests ------------------------------------------------------------------
    // 0 same node; -1 one of them does not perform the job; 1 a ranks below b; 4 a ranks above
    // b; for equal types 2 when a's handle is greater (ranks below), else 3.
    static int CompareJobRank(uint32_t a, uint32_t b, int32_t job);
    uint32_t GetJobManager(int32_t job) const;
    qoList<int32_t> GetJobSlaves(int32_t job) const;
    bool PerformsJob(int32_t job) const { return jobFunctions.FindIndex(job) >= 0; }
    // Asked of the node `id` (this node or another).
    bool IsNetworkSettled(uint32_t id);

    // ---- tables -----------------------------------------------------------------------------
    int AddJobFunction(int32_t job);
    // Runs once, on the first start or the first look at the node's job list from elsewhere.
    void InitNetworkNode();
    // The per-job FIFO ticket lock; the ticket is the calling thread's id (0: the job is not
    // performed and nothing is locked).
    uint32_t LockJob(int32_t job);
    void UnlockJob(int32_t job, uint32_t ticket);

    // ---- linking ----------------------------------------------------------------------------
    void AddPendingLink(uint32_t other, int32_t job);
    bool NegotiateJob(uint32_t other, int32_t job);
    bool ConnectTo(uint32_t other);
    bool AcceptLink(uint32_t id, int32_t job);
    qoList<phPendingLink_t> CollectPendingLinks(int32_t job, uint32_t asking);
    bool MergeLinks(const qoList<phPendingLink_t>& links, uint32_t from);

    // ---- signals ----------------------------------------------------------------------------
    void Transmit(uint32_t transmitter, int32_t job, int32_t gameplayEvent);
    static bool DeliverSignal(uint32_t node, uint32_t transmitter, int32_t job, int32_t gameplayEvent);

    // ---- printing ---------------------------------------------------------------------------
    // Callable by name: prints the whole network from its top once every node has settled.
    void DebugPrintNetwork();
    // Prints the tables of the node `id` (this node or another).
    void PrintNetwork(uint32_t id);

    // The expansion passes, run as the thread "ExpandNeuralNetwork".
    void ExpandNeuralNetwork();

    // The node object on an entity, resolved now (null when there is none), and the same with
    // its tables initialised.
    static pHell_NetworkNode* Resolve(uint32_t entity);
    static pHell_NetworkNode* ResolveInitialised(uint32_t entity);

    int32_t nodeType = PH_NODE;
    uint32_t networkId = 0;
    uint32_t networkThread = 0;
    uint32_t pad1 = 0;
    qoList<int32_t> jobFunctions;
    qoList<qoEntity> linkedTo;
    qoList<qoList<int32_t>> jobSlaves;
    qoList<int32_t> jobManagers;
    qoList<phPendingLink_t> pendingLinks;
    qoList<qoList<int32_t>> jobLockQueues;

private:
    void StartExpansion();
    int32_t TypeOf(uint32_t node) const;
};

bool pHell_EntityIsHellNode(uint32_t entity);

// References to network nodes forward their first operation to the node's OnSignal. A missing
// node reports "Assertion failed: 0" and answers false.
template <class Base>
class qoObjectForwards<pHell_NetworkNode, Base> : public Base {
public:
    using Base::Base;
    virtual bool OnSignal(uint32_t transmitter, int32_t jobFunction, int32_t gameplayEvent) const {
        return static_cast<const qoObject<pHell_NetworkNode>&>(*this).Call(&pHell_NetworkNode::OnSignal, transmitter,
                                                                           jobFunction, gameplayEvent);
    }
};

static_assert(offsetof(pHell_NetworkNode, nodeType) == 16);
static_assert(offsetof(pHell_NetworkNode, networkId) == 20);
static_assert(offsetof(pHell_NetworkNode, networkThread) == 24);
static_assert(offsetof(pHell_NetworkNode, jobFunctions) == 32);
static_assert(offsetof(pHell_NetworkNode, linkedTo) == 56);
static_assert(offsetof(pHell_NetworkNode, jobSlaves) == 80);
static_assert(offsetof(pHell_NetworkNode, jobManagers) == 104);
static_assert(offsetof(pHell_NetworkNode, pendingLinks) == 128);
static_assert(offsetof(pHell_NetworkNode, jobLockQueues) == 152);
static_assert(sizeof(pHell_NetworkNode) == 176);
static_assert(sizeof(pHell_NetworkNode::phPendingLink_t) == 8);
