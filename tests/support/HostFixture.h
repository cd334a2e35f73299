// A gtest fixture that puts the script module into a fresh reference-host world.
//
// SetUp builds a World, obtains the module (the copy linked into the unit tests, or the shared
// library loaded with dlopen in the behaviour tests) and attaches it: SetSystem, then
// RunRegistrations, then Reset. TearDown detaches (Reset, every script object shut down and
// destroyed) and checks that the allocator holds no live block of any tag and saw no misuse.
//
//   class MyTest : public qohost::test::HostFixture {};
//   TEST_F(MyTest, Something) {
//       qohost::Entity& e = world->SpawnEntity("box", "kvMover");
//       uint32_t index = world->AddScriptObject(e, "util_entityFlag");
//       ...
//   }
//
// Override Options() for other world options, Populate() to add entities before attaching,
// Source() to pick the module, AttachOnSetUp() to attach by hand. A test that keeps blocks on purpose sets checkAllocator = false.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "host/world/Module.h"
#include "host/world/World.h"
#include "quorin/kvQuorin.h"

namespace qohost::test {

// Calls virtual slot `slot` of an interface object by number, through its raw operations
// table, the way a host written from the slot tables alone would.
template <class R, class... A>
R CallSlot(void* object, int slot, A... args) {
    void** table = *reinterpret_cast<void***>(object);
    return reinterpret_cast<R (*)(void*, A...)>(table[slot])(object, args...);
}

enum class ModuleSource {
    Linked,   // the module objects linked into this test program (unit tests)
    Library,  // the shared library, loaded like an engine loads it
};

class HostFixture : public ::testing::Test {
protected:
    virtual WorldOptions Options() { return {}; }
    virtual ModuleSource Source() {
#if defined(QUORIN_LINKED_MODULE)
        return ModuleSource::Linked;
#else
        return ModuleSource::Library;
#endif
    }
    virtual bool AttachOnSetUp() { return true; }
    // Runs on the new world before the module is attached, so that Reset already sees the
    // entities it adds (e.g. world.SpawnEntity("player1", "kvPlayer")).
    virtual void Populate(World&) {}

    void SetUp() override {
        std::string error;
        if (Source() == ModuleSource::Linked) {
#if defined(QUORIN_LINKED_MODULE)
            module = Module::Linked(&GetQuorinAPI, &error);
#else
            error = "this test program has no linked module";
#endif
        } else {
            module = Module::Load(Module::DefaultLibraryPath(), &error);
        }
        ASSERT_TRUE(module) << error;
        api = module->Api();
        world = std::make_unique<World>(Options());
        Populate(*world);
        if (AttachOnSetUp()) {
            world->Attach(api);
            EndWorldUtilStartup();
        }
    }

    // The world utility that Reset places on "world" starts by looking up eight players and the
    // AI conductor, warning (and waiting a frame) for each one missing, and then starts the
    // debug command reader, which asks player1 for its debug target every frame. A bare
    // fixture world has none of them, so SetUp ends that start-up thread and starts the test
    // with an empty console and record. Tests of the world utility load a level instead
    // (AttachOnSetUp false, then Attach(api, false) and LoadLevel).
    void EndWorldUtilStartup() {
        Entity* worldEntity = world->EntityByName("world");
        if (!worldEntity) return;
        const uint32_t index = world->FindObjectIndex(*worldEntity, "qoWorldUtil");
        if (index == kNoObject) return;
        world->scheduler.EndThreadsOf(world->ScriptObject(worldEntity->handle, index));
        world->console.Clear();
        world->recorder.Clear();
    }

    void TearDown() override {
        if (!world) return;
        world->Detach();
        if (checkAllocator) {
            ExpectNoLiveBlocks();
            ExpectNoAllocatorErrors();
        }
        world.reset();
        module.reset();
    }

    void ExpectNoLiveBlocks() const {
        EXPECT_EQ(world->allocator.LiveBlocks(), 0u) << "live blocks:\n" << world->allocator.Report();
    }
    void ExpectNoAllocatorErrors() const {
        for (const std::string& e : world->allocator.Errors()) ADD_FAILURE() << "allocator: " << e;
    }
    // The console's completed lines with colour codes removed, one per line.
    std::string ConsoleText() const {
        std::string text;
        for (const std::string& line : world->console.PlainLines()) text += line + "\n";
        return text;
    }

    std::unique_ptr<Module> module;
    std::unique_ptr<World> world;
    kvQuorin* api = nullptr;
    bool checkAllocator = true;
};

}  // namespace qohost::test
