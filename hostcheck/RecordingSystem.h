// A kvQuorinSystem that passes every operation on to the engine's and notes what the module
// asks of it while the kit runs: the blocks it allocates for the kit's entities and the entity
// methods it calls, with the script thread each call came from.
#pragma once

#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "hostcheck/ForwardingSystem.h"

namespace qohostcheck {

struct MethodCall {
    uint32_t entity = 0;
    int32_t method = 0;
    bool ok = false;
    uint32_t thread = 0;      // CurrentThread at the call
    std::string threadName;   // from GetThreadContext, "" outside threads
};

struct TrackedBlock {
    size_t size = 0;
    uint32_t tag = 0;
    uint32_t thread = 0;  // the script thread it was allocated on, 0 outside threads
};

class RecordingSystem final : public ForwardingSystem {
public:
    explicit RecordingSystem(kvQuorinSystem* engine) : ForwardingSystem(engine) {}

    // Blocks are tracked when the module allocates them outside script threads (objects the
    // engine creates for the kit) or on a thread of an object of one of these entities.
    std::set<uint32_t> kitEntities;
    std::unordered_map<void*, TrackedBlock> liveBlocks;
    std::vector<std::string> allocationFaults;  // misaligned or missing blocks, as seen
    std::vector<MethodCall> calls;

    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                          void* args) override;
    void* Allocate(size_t size, uint32_t tag) override;
    void Free(void* memory, uint32_t tag) override;

private:
    // True when what the module does now is on behalf of one of the kit's entities.
    bool ForKit();
};

}  // namespace qohostcheck
