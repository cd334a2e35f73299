// The conformance kit passes the reference host and finds each fault of a host that gets one
// operation wrong: the check of that operation fails with a message that says what to fix.
#include <gtest/gtest.h>

#include <cstdarg>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "hostcheck/ForwardingSystem.h"
#include "quorin/hostcheck.h"
#include "tests/support/HostFixture.h"
#include "tests/support/WorldDriver.h"

namespace {

using qohost::test::HostFixture;
using qohost::test::WorldDriver;

enum class Fault {
    NoneIsZero,          // FindScriptObject answers 0 for "no such object"
    LateStart,           // a new thread first runs in the next frame
    NoUnwind,            // EndThread leaves the thread where it is
    NameEndIgnored,      // EndThreadsByName ends nothing
    TagReturnsNew,       // SetMemoryTag returns the new tag instead of the previous one
    Misaligned,          // blocks 8 bytes off a 16-byte boundary
    ZeroWaitAtOnce,      // WaitSeconds(0 or less) returns without giving the frame back
    CvarForgets,         // GetCvarInt never creates the variable
    PrintfRaw,           // Printf prints the format without its values
    MethodOnNoEntity,    // CallEntityMethod on entity 0 succeeds
    ThreadIdOutside,     // CurrentThread answers 1 outside threads
    NullName,            // GetEntityName answers null for a handle with no entity
};

// The reference host with one fault put between it and the module.
class FaultyHost final : public qohostcheck::ForwardingSystem {
public:
    FaultyHost(kvQuorinSystem* world, Fault fault) : ForwardingSystem(world), fault_(fault) {}

    uint32_t FindScriptObject(uint32_t entity, const char* className, int create) override {
        const uint32_t index = engine_->FindScriptObject(entity, className, create);
        return fault_ == Fault::NoneIsZero && index == 0xFFFFFFFFu ? 0 : index;
    }
    uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry, void* args) override {
        if (fault_ != Fault::LateStart) return engine_->CreateThread(name, object, entry, args);
        late_.push_back(std::make_unique<Late>(Late{this, entry, args}));
        return engine_->CreateThread(name, object, &LateEntry, late_.back().get());
    }
    void EndThread(uint32_t thread) override {
        if (fault_ != Fault::NoUnwind) engine_->EndThread(thread);
    }
    void EndThreadsByName(const char* name, kvQOObject* object) override {
        if (fault_ != Fault::NameEndIgnored) engine_->EndThreadsByName(name, object);
    }
    uint32_t SetMemoryTag(uint32_t tag) override {
        const uint32_t previous = engine_->SetMemoryTag(tag);
        return fault_ == Fault::TagReturnsNew ? tag : previous;
    }
    void* Allocate(size_t size, uint32_t tag) override {
        if (fault_ != Fault::Misaligned) return engine_->Allocate(size, tag);
        auto* block = static_cast<char*>(engine_->Allocate(size + 16, tag));
        if (!block) return nullptr;
        shifted_.insert(block + 8);
        return block + 8;
    }
    void Free(void* memory, uint32_t tag) override {
        if (shifted_.erase(memory)) memory = static_cast<char*>(memory) - 8;
        engine_->Free(memory, tag);
    }
    void WaitSeconds(float seconds) override {
        if (fault_ == Fault::ZeroWaitAtOnce && !(seconds > 0.0f)) return;
        engine_->WaitSeconds(seconds);
    }
    int32_t GetCvarInt(const char* name, int32_t defaultValue) override {
        return fault_ == Fault::CvarForgets ? defaultValue : engine_->GetCvarInt(name, defaultValue);
    }
    void Printf(const char* format, ...) override {
        if (fault_ == Fault::PrintfRaw) {
            engine_->Printf("%s", format);
            return;
        }
        va_list args;
        va_start(args, format);
        char text[4096];
        std::vsnprintf(text, sizeof text, format, args);
        va_end(args);
        engine_->Printf("%s", text);
    }
    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature, void* args) override {
        if (fault_ == Fault::MethodOnNoEntity && entity == 0) return true;
        return engine_->CallEntityMethod(entity, method, signature, args);
    }
    uint32_t CurrentThread() override {
        const uint32_t id = engine_->CurrentThread();
        return fault_ == Fault::ThreadIdOutside && id == 0 ? 1 : id;
    }
    const char* GetEntityName(uint32_t entity) override {
        const char* name = engine_->GetEntityName(entity);
        return fault_ == Fault::NullName && name && !*name ? nullptr : name;
    }

private:
    struct Late {
        FaultyHost* host;
        qoThreadEntry entry;
        void* args;
    };
    static void LateEntry(kvQOObject* object, void* record) {
        const Late& late = *static_cast<Late*>(record);
        late.host->engine_->WaitFrame();
        late.entry(object, late.args);
    }

    Fault fault_;
    std::vector<std::unique_ptr<Late>> late_;
    std::unordered_set<void*> shifted_;
};

class HostCheckTest : public HostFixture {
protected:
    void Populate(qohost::World& w) override { w.SpawnEntity("player1", "kvPlayer"); }

    qohostcheck::Report Check(kvQuorinSystem* system) {
        WorldDriver driver(*world);
        return qohostcheck::RunChecks(system, api, driver);
    }
};

TEST_F(HostCheckTest, ReferenceHostPassesEveryCheck) {
    const qohostcheck::Report report = Check(world.get());
    EXPECT_EQ(report.Failures(), 0) << report.Text();
    EXPECT_GT(report.results.size(), 30u) << report.Text();
    EXPECT_NE(report.Text().find(" passed, 0 failed"), std::string::npos);
}

struct FaultCase {
    Fault fault;
    const char* check;   // the check that must fail
    const char* saw;     // part of what it reports seeing
    const char* fix;     // part of what it tells the engine programmer to do
};

class HostCheckFaultTest : public HostCheckTest, public ::testing::WithParamInterface<FaultCase> {
protected:
    std::unique_ptr<FaultyHost> faulty;
};

TEST_P(HostCheckFaultTest, FaultFailsItsCheckWithAFix) {
    const FaultCase& c = GetParam();
    faulty = std::make_unique<FaultyHost>(world.get(), c.fault);
    api->SetSystem(faulty.get());
    const qohostcheck::Report report = Check(faulty.get());
    const qohostcheck::CheckResult* result = nullptr;
    for (const qohostcheck::CheckResult& r : report.results)
        if (r.name == c.check) result = &r;
    ASSERT_NE(result, nullptr) << "no check " << c.check << "\n" << report.Text();
    EXPECT_FALSE(result->passed) << report.Text();
    const std::string line = "FAIL  " + result->name + ": " + result->detail;
    const size_t seen = line.find(", saw ");
    ASSERT_NE(seen, std::string::npos) << line;
    EXPECT_NE(line.find(c.saw, seen), std::string::npos) << line;
    EXPECT_NE(line.find(std::string("Fix: ") + c.fix), std::string::npos) << line;
    EXPECT_NE(report.Text().find(line), std::string::npos);
    api->SetSystem(world.get());
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HostCheckFaultTest,
    ::testing::Values(
        FaultCase{Fault::NoneIsZero, "FindScriptObject.none", "0x00000000",
                  "FindScriptObject must return 0xFFFFFFFF"},
        FaultCase{Fault::LateStart, "CreateThread.start", "the entry had not run when CreateThread returned",
                  "run the entry at once"},
        FaultCase{Fault::NoUnwind, "EndThread.unwind", "IsThreadRunning true after EndThread; its destructors never ran",
                  "end a thread by resuming it with an exception"},
        FaultCase{Fault::NameEndIgnored, "EndThread.module", "the thread still running",
                  "unwind ended threads through the module's frames"},
        FaultCase{Fault::TagReturnsNew, "SetMemoryTag", "SetMemoryTag returned 0x51c0ffee",
                  "keep one current tag: SetMemoryTag stores the new tag and returns the one before"},
        FaultCase{Fault::Misaligned, "Allocate.alignment", "0x", "Allocate must return memory aligned like malloc"},
        FaultCase{Fault::ZeroWaitAtOnce, "WaitSeconds.zero", "returned at once for zero, negative, nan",
                  "treat a time of zero or less, or NaN, as a wait for the next frame"},
        FaultCase{Fault::CvarForgets, "GetCvar.register", "int 7 then 9",
                  "a Get of an unknown name creates the variable"},
        FaultCase{Fault::PrintfRaw, "Printf", "hostcheck %s %d %.2f %c%%", "format like printf"},
        FaultCase{Fault::MethodOnNoEntity, "CallEntityMethod.refusal", "false and true",
                  "answer false when the method cannot run on that entity"},
        FaultCase{Fault::ThreadIdOutside, "CurrentThread.outside", "0x00000001",
                  "return 0 when no script thread runs"},
        FaultCase{Fault::NullName, "GetEntityName", "\"hostcheck_probe\" and null",
                  "return the entity's name, and \"\" rather than null"}),
    [](const ::testing::TestParamInfo<FaultCase>& info) {
        std::string name = info.param.check;
        for (char& ch : name)
            if (ch == '.') ch = '_';
        return name;
    });

}  // namespace
