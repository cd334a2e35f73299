#include "hostcheck/RecordingSystem.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace qohostcheck {

bool RecordingSystem::ForKit() {
    qoThreadContext context{};
    if (!engine_->GetThreadContext(qoCurrentThread, &context)) return true;
    return kitEntities.count(context.entity) != 0;
}

bool RecordingSystem::CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                                       void* args) {
    MethodCall call;
    call.entity = entity;
    call.method = method;
    call.thread = engine_->CurrentThread();
    qoThreadContext context{};
    if (engine_->GetThreadContext(qoCurrentThread, &context) && context.threadName)
        call.threadName = context.threadName;
    call.ok = engine_->CallEntityMethod(entity, method, signature, args);
    calls.push_back(call);
    return call.ok;
}

void* RecordingSystem::Allocate(size_t size, uint32_t tag) {
    void* memory = engine_->Allocate(size, tag);
    if (!ForKit()) return memory;
    char seen[96];
    if (!memory) {
        std::snprintf(seen, sizeof seen, "null for %zu bytes", size);
        allocationFaults.push_back(seen);
    } else if (reinterpret_cast<uintptr_t>(memory) % alignof(std::max_align_t) != 0) {
        std::snprintf(seen, sizeof seen, "%p for %zu bytes", memory, size);
        allocationFaults.push_back(seen);
    }
    if (memory) liveBlocks[memory] = {size, tag, engine_->CurrentThread()};
    return memory;
}

void RecordingSystem::Free(void* memory, uint32_t tag) {
    liveBlocks.erase(memory);
    engine_->Free(memory, tag);
}

}  // namespace qohostcheck
