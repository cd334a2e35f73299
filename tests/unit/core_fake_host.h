// A small recording stand-in for the host service interface, for the value-type and
// diagnostics tests. It keeps every live allocation with its tag (and notes frees with a wrong
// tag or an unknown pointer), can fail the next allocations, captures console prints, plays
// "inside a script thread" for slot 22, counts thread-control calls, and knows a few entities,
// script objects and traces. Slots it does not care about answer as in NullSystem.
#pragma once

#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "core/qoSystem.h"
#include "quorin/kvQuorinSystem.h"
#include "tests/unit/hostcalls_null_system.h"

namespace coretest {

class FakeHost final : public hostcalls_test::NullSystem {
public:
    struct Block {
        size_t size;
        uint32_t tag;
    };
    struct AllocationCall {
        size_t size;
        uint32_t tag;
        bool succeeded;
    };
    struct TraceStart {
        qoVector start;
        qoVector end;
        uint32_t mask;
        uint32_t ignore;
    };
    struct TraceAnswer {
        float fraction = 1.0f;
        qoVector normal;
        uint32_t entity = 0;
    };

    ~FakeHost() {
        for (auto& [memory, block] : live) std::free(memory);
    }

    // ---- allocator (slots 27 to 30) ----
    std::map<void*, Block> live;
    std::vector<AllocationCall> allocations;
    std::vector<uint32_t> freeTags;
    std::vector<std::string> misuse;
    int failNext = 0;
    uint32_t currentTag = 0x51u;
    std::vector<uint32_t> setTagCalls;

    void* Allocate(size_t size, uint32_t tag) override {
        if (failNext > 0) {
            --failNext;
            allocations.push_back({size, tag, false});
            return nullptr;
        }
        void* memory = std::malloc(size ? size : 1);
        live[memory] = {size, tag};
        allocations.push_back({size, tag, true});
        return memory;
    }
    void Free(void* memory, uint32_t tag) override {
        auto it = live.find(memory);
        if (it == live.end()) {
            misuse.push_back("free of an unknown block");
            return;
        }
        if (it->second.tag != tag) misuse.push_back("free with a different tag");
        freeTags.push_back(tag);
        live.erase(it);
        std::free(memory);
    }
    uint32_t GetMemoryTag() override { return currentTag; }
    uint32_t SetMemoryTag(uint32_t tag) override {
        setTagCalls.push_back(tag);
        const uint32_t previous = currentTag;
        currentTag = tag;
        return previous;
    }

    // ---- console (slot 31) ----
    std::vector<std::string> console;
    void Printf(const char* format, ...) override {
        char line[1024];
        va_list args;
        va_start(args, format);
        std::vsnprintf(line, sizeof line, format, args);
        va_end(args);
        console.push_back(line);
    }

    // ---- thread context and control (slots 22, 24, 33) ----
    bool inThread = false;
    qoThreadContext context = {};
    std::vector<uint32_t> contextQueries;
    std::vector<uint32_t> endThreadCalls;
    int waitFrameCalls = 0;

    bool GetThreadContext(uint32_t thread, qoThreadContext* out) override {
        contextQueries.push_back(thread);
        if (!inThread) return false;
        *out = context;
        return true;
    }
    void EndThread(uint32_t thread) override { endThreadCalls.push_back(thread); }
    void WaitFrame() override { ++waitFrameCalls; }

    // ---- entities and script objects (slots 1 to 5) ----
    std::map<std::string, uint32_t> entityByName;
    std::map<uint32_t, std::string> entityName;
    std::set<uint32_t> existing;
    std::vector<std::string> findEntityCalls;
    std::vector<uint32_t> validityCalls;
    std::map<std::pair<uint32_t, uint32_t>, kvQOObject*> objects;
    struct FindObjectCall {
        uint32_t entity;
        std::string className;
        int create;
    };
    std::vector<FindObjectCall> findObjectCalls;
    uint32_t nextObjectIndex = 3;
    int getObjectCalls = 0;

    void AddEntity(uint32_t handle, const std::string& name) {
        entityByName[name] = handle;
        entityName[handle] = name;
        existing.insert(handle);
    }
    uint32_t FindEntity(const char* name) override {
        findEntityCalls.push_back(name);
        auto it = entityByName.find(name);
        return it == entityByName.end() ? 0u : it->second;
    }
    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override {
        findObjectCalls.push_back({entity, className, create});
        return nextObjectIndex;
    }
    kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) override {
        ++getObjectCalls;
        auto it = objects.find({entity, objectIndex});
        return it == objects.end() ? nullptr : it->second;
    }
    const char* GetEntityName(uint32_t entity) override {
        auto it = entityName.find(entity);
        return it == entityName.end() ? "" : it->second.c_str();
    }
    bool EntityIsValid(uint32_t entity) override {
        validityCalls.push_back(entity);
        return existing.count(entity) != 0;
    }

    // ---- traces (slots 59 to 61) ----
    std::vector<TraceStart> traceStarts;
    std::vector<int32_t> traceFetches;
    TraceAnswer traceAnswer;
    int32_t nextTraceHandle = 40;

    int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t mask, uint32_t ignore) override {
        traceStarts.push_back({*start, *end, mask, ignore});
        return nextTraceHandle++;
    }
    void GetTraceResult(int32_t trace, float* fraction, qoVector* normal, uint32_t* hitEntity) override {
        traceFetches.push_back(trace);
        *fraction = traceAnswer.fraction;
        *normal = traceAnswer.normal;
        *hitEntity = traceAnswer.entity;
    }
    bool IsTraceDone(int32_t) override { return true; }

    size_t SuccessfulAllocations() const {
        size_t n = 0;
        for (const AllocationCall& call : allocations) n += call.succeeded ? 1 : 0;
        return n;
    }
};

// Installs a fresh FakeHost as the module's host for one test and checks afterwards that every
// block the test allocated was freed with its own tag.
class CoreTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved_ = qoSys;
        qoSys = &host;
    }
    void TearDown() override {
        for (const auto& [memory, block] : host.live) {
            ADD_FAILURE() << "live block of " << block.size << " bytes, tag " << block.tag;
        }
        for (const std::string& m : host.misuse) ADD_FAILURE() << "allocator misuse: " << m;
        qoSys = saved_;
    }

    // The single console line of an error or warning printed outside a script thread.
    static std::string ErrorLine(const std::string& message) { return "^1Quorin Error:^3 " + message + "^0\n"; }
    static std::string WarningLine(const std::string& message) { return "^1Quorin Warning:^3 " + message + "^0\n"; }
    static std::string AssertLine(const std::string& condition) { return ErrorLine("Assertion failed: " + condition); }

    FakeHost host;

private:
    kvQuorinSystem* saved_ = nullptr;
};

}  // namespace coretest
