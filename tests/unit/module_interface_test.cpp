// The module interface as the host drives it: the entry point, SetSystem, the registration
// list, Reset and the world utility reference, the dev window list and its layout, the version
// hash, and every slot of kvQuorin and of the script object identity block called by number.
#include <gtest/gtest.h>

#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "cvars/cvar.h"
#include "host/world/World.h"
#include "object/kvQuorinObject.h"
#include "runtime/qoModule.h"
#include "module/qoRegistry.h"
#include "tests/support/HostFixture.h"

namespace {

using qohost::CvarOp;
using qohost::World;
using qohost::WorldOptions;
using qohost::test::CallSlot;
using qohost::test::HostFixture;


// The file-scope console variables in registration-list order, with the Get each one makes.
struct Registration {
    CvarOp op;
    const char* name;
    const char* defaultText;
};
const Registration kRegistrations[] = {
    {CvarOp::GetString, "qo_musicTestEnt", ""},
    {CvarOp::GetInt, "qo_musicTestManager", "0"},
    {CvarOp::GetInt, "qo_musicState", "0"},
    {CvarOp::GetBool, "af_neverRest", "0"},
    {CvarOp::GetFloat, "pm_runspeed", "0"},
    {CvarOp::GetFloat, "pm_normalViewHeight", "0"},
    {CvarOp::GetFloat, "timescale", "1"},
};

// ---- entry point and host pointer ---------------------------------------------------------

TEST(ModuleEntry, OnlyVersionOneIsOffered) {
    struct Case {
        int version;
        bool offered;
    };
    const Case cases[] = {{1, true}, {0, false}, {2, false}, {-1, false}, {0x10001, false}};
    for (const Case& c : cases) EXPECT_EQ(GetQuorinAPI(c.version) != nullptr, c.offered) << c.version;
    EXPECT_EQ(GetQuorinAPI(1), GetQuorinAPI(1));
}

TEST(ModuleEntry, SetSystemReturnsThePreviousPointer) {
    kvQuorin* api = GetQuorinAPI(1);
    World first, second;
    ASSERT_EQ(qoSys, nullptr) << "an earlier test left a host attached";
    EXPECT_EQ(api->SetSystem(&first), nullptr);
    EXPECT_EQ(api->SetSystem(&second), &first);
    EXPECT_EQ(qoSys, &second);
    EXPECT_EQ(api->SetSystem(nullptr), &second);
    // Nothing but the pointer changes: no registration, no allocation.
    EXPECT_TRUE(first.cvars.Calls().empty());
    EXPECT_TRUE(second.cvars.Calls().empty());
    EXPECT_EQ(first.allocator.Allocations() + second.allocator.Allocations(), 0u);
}

TEST(ModuleEntry, VersionHash) {
    struct Case {
        int hash;
        bool accepted;
    };
    const Case cases[] = {
        {0x31bbe464, true}, {-0x31bbe464, false}, {0, false}, {0x31bbe465, false}, {0x64e4bb31, false},
    };
    kvQuorin* api = GetQuorinAPI(1);
    for (const Case& c : cases) EXPECT_EQ(api->CheckVersionHash(c.hash), c.accepted) << std::hex << c.hash;
}

// ---- registration list --------------------------------------------------------------------

TEST(ModuleRegistration, LoadingQueuedTheSevenVariablesNewestFirst) {
    std::vector<std::string> names;
    for (cvar_* node = qoRegistrationList; node; node = node->next) names.push_back(node->name);
    std::vector<std::string> expected;
    for (const Registration& r : kRegistrations) expected.push_back(r.name);
    EXPECT_EQ(names, expected);
}

class ModuleRegistrationHost : public HostFixture {
protected:
    bool AttachOnSetUp() override { return false; }
    std::vector<std::string> GetCalls() const {
        std::vector<std::string> calls;
        for (const qohost::CvarCall& c : world->cvars.Calls())
            calls.push_back(std::string(qohost::CvarOpName(c.op)) + " " + c.name + " = " + c.value);
        return calls;
    }
    static std::vector<std::string> Expected(int runs) {
        std::vector<std::string> calls;
        for (int i = 0; i < runs; ++i)
            for (const Registration& r : kRegistrations)
                calls.push_back(std::string(qohost::CvarOpName(r.op)) + " " + r.name + " = " + r.defaultText);
        return calls;
    }
};

TEST_F(ModuleRegistrationHost, RunRegistrationsAsksForEachValueWithItsDefault) {
    world->Attach(api, false);
    EXPECT_EQ(GetCalls(), Expected(1));
    EXPECT_EQ(world->cvars.Value("timescale"), "1");
    EXPECT_EQ(world->cvars.Value("qo_musicTestEnt"), "");
    // Registering a string variable reads the value into a string and drops it again.
    EXPECT_EQ(world->allocator.LiveBlocks(), 0u);
}

TEST_F(ModuleRegistrationHost, RunningTheListTwiceRegistersTwice) {
    world->Attach(api, false);
    api->RunRegistrations();
    EXPECT_EQ(GetCalls(), Expected(2));
}

TEST_F(ModuleRegistrationHost, SetSystemAloneRegistersNothing) {
    api->SetSystem(world.get());
    EXPECT_TRUE(world->cvars.Calls().empty());
    api->SetSystem(nullptr);
}

TEST_F(ModuleRegistrationHost, HostValuesSurviveRegistration) {
    world->cvars.Define("timescale", "0.5");
    world->Attach(api, false);
    EXPECT_EQ(world->cvars.Value("timescale"), "0.5");
}

TEST_F(ModuleRegistrationHost, DeclarationAfterAttachmentRegistersAtOnce) {
    world->Attach(api, false);
    world->cvars.ClearCalls();
    cvar_* head = qoRegistrationList;
    cvarInt_ local("qo_hostLocal", 42);
    EXPECT_EQ(qoRegistrationList, head);
    EXPECT_EQ(local.next, nullptr);
    ASSERT_EQ(world->cvars.Calls().size(), 1u);
    EXPECT_EQ(world->cvars.CountCalls(CvarOp::GetInt, "qo_hostLocal"), 1u);
    EXPECT_EQ(world->cvars.Value("qo_hostLocal"), "42");
    EXPECT_EQ(local.Get(), 42);
}

// ---- debug prints -------------------------------------------------------------------------

class ModuleDebugPrint : public HostFixture {};

TEST_F(ModuleDebugPrint, GatedByQoDebugPrintAndAlwaysTwoReads) {
    struct Case {
        const char* setting;  // nullptr: never set (default 1)
        bool prints;
    };
    const Case cases[] = {{nullptr, true}, {"1", true}, {"2", true}, {"0", false}, {"-1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.setting ? c.setting : "default");
        world->console.Clear();
        world->cvars.ClearCalls();
        if (c.setting) world->cvars.Define("qo_debugPrint", c.setting);
        qoDebugPrint("^2", "hostProbe::Run", 408, qoString("Called."));
        EXPECT_EQ(world->cvars.CountCalls(CvarOp::GetInt, "qo_debugPrint"), 2u);
        if (c.prints) {
            ASSERT_EQ(world->console.Lines().size(), 1u);
            EXPECT_EQ(world->console.Lines()[0], "^2hostProbe::Run::408^0 : Called.");
        } else {
            EXPECT_TRUE(world->console.Lines().empty());
        }
    }
}

// ---- Reset and the world utility reference ------------------------------------------------

class ModuleReset : public HostFixture {};

TEST_F(ModuleReset, WithoutWindowsOnlyRebindsTheWorldUtility) {
    const uint32_t worldEntity = world->FindEntity("world");
    qoWorldUtilReference = {0, 0};
    world->allocator.LogFrees(true);
    api->Reset();
    EXPECT_EQ(qoWorldUtilReference.entity, worldEntity);
    EXPECT_EQ(qoWorldUtilReference.objectIndex, world->FindScriptObject(worldEntity, "qoWorldUtil", 0));
    EXPECT_TRUE(world->recorder.devWindowFlushes.empty());
    EXPECT_EQ(qoDevMenu_Manager::Windows().Num(), 0);
    // A second Reset finds the same object instead of making another.
    const size_t objects = world->LiveObjectCount();
    api->Reset();
    EXPECT_EQ(world->LiveObjectCount(), objects);
    EXPECT_EQ(qoWorldUtilReference.entity, worldEntity);
}

class ModuleResetWithoutWorld : public HostFixture {
protected:
    WorldOptions Options() override {
        WorldOptions o;
        o.createWorldEntity = false;
        return o;
    }
};

TEST_F(ModuleResetWithoutWorld, MissingWorldEntityWarnsAndBindsNothing) {
    // SetUp's Reset already ran once; run it again on a clean console.
    world->console.Clear();
    qoWorldUtilReference = {7, 7};
    api->Reset();
    ASSERT_FALSE(world->console.Lines().empty());
    EXPECT_EQ(world->console.Lines()[0], "^1Quorin Warning:^3 entity 'world' not found^0");
    EXPECT_EQ(qoWorldUtilReference.entity, 0u);
    EXPECT_EQ(world->LiveObjectCount(), 0u);
}

// ---- dev windows --------------------------------------------------------------------------

class ModuleDevWindows : public HostFixture {
protected:
    // Adds one window per (width, height), named window0, window1, ..., with a stale counter.
    void AddWindows(const std::vector<std::pair<float, float>>& sizes) {
        int n = 0;
        for (auto [w, h] : sizes) {
            const std::string name = "window" + std::to_string(n++);
            qoDevMenu_Manager::AddStringItem(name.c_str(), "item", "value");
            qoDevWindow* window = qoDevMenu_Manager::Find(name.c_str());
            ASSERT_NE(window, nullptr);
            window->width = w;
            window->height = h;
            window->counter = 5;
        }
    }
    std::vector<std::pair<float, float>> Positions() {
        std::vector<std::pair<float, float>> out;
        for (qoDevWindow* w : qoDevMenu_Manager::Windows()) out.emplace_back(w->x, w->y);
        return out;
    }
};

TEST_F(ModuleDevWindows, LayoutStartsNewColumnsPastTheBottom) {
    struct Case {
        const char* what;
        std::vector<std::pair<float, float>> sizes;  // width, height
        std::vector<std::pair<float, float>> positions;
    };
    const Case cases[] = {
        {"three 200x300: 760 + 300 + 30 passes 800",
         {{200, 300}, {200, 300}, {200, 300}},
         {{100, 100}, {100, 430}, {330, 100}}},
        {"the new column moves by the width of the window that starts it",
         {{200, 300}, {300, 300}, {250, 300}, {400, 100}},
         {{100, 100}, {100, 430}, {380, 100}, {380, 430}}},
        {"exactly reaching 800 stays in the column",
         {{50, 320}, {50, 320}},
         {{100, 100}, {100, 450}}},
        {"one unit past 800 does not",
         {{50, 320}, {60, 321}},
         {{100, 100}, {190, 100}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AddWindows(c.sizes);
        world->recorder.devWindowFlushes.clear();
        api->DrawDevWindows();
        EXPECT_EQ(Positions(), c.positions);
        for (qoDevWindow* w : qoDevMenu_Manager::Windows()) EXPECT_EQ(w->counter, 0);
        EXPECT_EQ(world->recorder.devWindowFlushes.size(), c.sizes.size());  // every window drew
        api->Reset();
        EXPECT_EQ(qoDevMenu_Manager::Windows().Num(), 0);
    }
}

TEST_F(ModuleDevWindows, AddStringItemCreatesAMissingWindowOnce) {
    world->console.Clear();
    qoDevMenu_Manager::AddStringItem("Watch", "health", "100");
    qoDevMenu_Manager::AddStringItem("WATCH", "health", "90");  // same window, case ignored
    qoDevMenu_Manager::AddStringItem("watch", "armor", "5");
    ASSERT_EQ(qoDevMenu_Manager::Windows().Num(), 1);
    EXPECT_EQ(world->console.CountContaining("Creating Dev Window"), 1u);
    EXPECT_EQ(world->console.Lines()[0].find("^2qoDevMenu_Manager::AddStringItem::"), 0u);

    api->DrawDevWindows();
    ASSERT_EQ(world->recorder.devWindowFlushes.size(), 1u);
    const auto& items = world->recorder.devWindowFlushes[0];
    ASSERT_EQ(items.size(), 3u);
    EXPECT_EQ(items[0], std::make_pair(std::string("Quorin Watch List"), std::string("Watch")));
    EXPECT_EQ(items[1], std::make_pair(std::string("health"), std::string("90")));
    EXPECT_EQ(items[2], std::make_pair(std::string("armor"), std::string("5")));
}

TEST_F(ModuleDevWindows, CreatingQuietlyWhenDebugPrintIsOff) {
    world->cvars.Define("qo_debugPrint", "0");
    world->console.Clear();
    qoDevMenu_Manager::AddStringItem("Watch", "a", "b");
    EXPECT_EQ(qoDevMenu_Manager::Windows().Num(), 1);
    EXPECT_TRUE(world->console.Lines().empty());
}

TEST_F(ModuleDevWindows, ResetClosesLastToFirstAndFreesEverything) {
    const uint64_t before = world->allocator.Allocations();
    AddWindows({{200, 100}, {200, 100}, {200, 100}});
    // The window objects are the blocks of the window's own size, in creation order.
    std::vector<uint64_t> windowSerials;
    for (qoDevWindow* w : qoDevMenu_Manager::Windows()) windowSerials.push_back(world->allocator.Find(w)->serial);
    ASSERT_EQ(windowSerials.size(), 3u);
    EXPECT_GT(windowSerials[0], before);
    EXPECT_EQ(world->allocator.Find(qoDevMenu_Manager::Windows()[0])->tag, qoDefaultMemoryTag);

    world->allocator.LogFrees(true);
    api->Reset();
    std::vector<uint64_t> freedWindows;
    for (uint64_t serial : world->allocator.FreeLog())
        if (std::find(windowSerials.begin(), windowSerials.end(), serial) != windowSerials.end())
            freedWindows.push_back(serial);
    const std::vector<uint64_t> lastFirst(windowSerials.rbegin(), windowSerials.rend());
    EXPECT_EQ(freedWindows, lastFirst);
    EXPECT_EQ(qoDevMenu_Manager::Windows().Num(), 0);
    EXPECT_TRUE(world->allocator.Errors().empty());
    // Windows, their strings and items and the list storage are all gone; only script objects
    // that Reset made may remain.
    EXPECT_EQ(world->allocator.LiveBlocks(), world->allocator.LiveBlocks(qoDefaultMemoryTag));
}

TEST_F(ModuleDevWindows, CloseFindsTheFirstWindowOfTheNameIgnoringCase) {
    AddWindows({{10, 10}, {20, 20}, {30, 30}});
    qoDevMenu_Manager::Close("WINDOW1");
    ASSERT_EQ(qoDevMenu_Manager::Windows().Num(), 2);
    EXPECT_EQ(qoDevMenu_Manager::Windows()[0]->width, 10);
    EXPECT_EQ(qoDevMenu_Manager::Windows()[1]->width, 30);
    qoDevMenu_Manager::Close("nothing");
    EXPECT_EQ(qoDevMenu_Manager::Windows().Num(), 2);
}

TEST_F(ModuleDevWindows, AnyFailedAllocationLeavesAConsistentList) {
    // Fail each allocation of "add a window with one item" in turn, then draw and close.
    const size_t baseline = world->allocator.LiveBlocks();
    for (uint64_t k = 1;; ++k) {
        SCOPED_TRACE(k);
        const uint64_t failedBefore = world->allocator.FailedAllocations();
        world->allocator.FailAt(k);
        qoDevMenu_Manager::AddStringItem("Watch", "health", "100");
        const bool hit = world->allocator.FailedAllocations() > failedBefore;
        world->allocator.ClearFailures();
        ASSERT_LE(qoDevMenu_Manager::Windows().Num(), 1);
        api->DrawDevWindows();
        api->Reset();
        EXPECT_EQ(world->allocator.LiveBlocks(), baseline) << world->allocator.Report();
        EXPECT_TRUE(world->allocator.Errors().empty());
        if (!hit) break;  // every allocation of the operation has been failed once
    }
}

// ---- slots by number ----------------------------------------------------------------------

class ModuleSlots : public HostFixture {};

TEST_F(ModuleSlots, InterfaceSlotsReachTheirOperations) {
    // 0: the static interface object is never freed and stays usable.
    EXPECT_EQ(CallSlot<kvQuorin*>(api, 0, 1u), api);
    EXPECT_TRUE(world->allocator.Errors().empty());
    EXPECT_TRUE(api->CheckVersionHash(qoVersionHash));

    // 1: SetSystem.
    World other;
    EXPECT_EQ(CallSlot<kvQuorinSystem*>(api, 1, static_cast<kvQuorinSystem*>(&other)), world.get());
    EXPECT_EQ(api->SetSystem(world.get()), &other);

    // 2: RunRegistrations.
    world->cvars.ClearCalls();
    CallSlot<void>(api, 2);
    EXPECT_EQ(world->cvars.GetCallNames().size(), std::size(kRegistrations));
    EXPECT_EQ(world->cvars.GetCallNames().front(), "qo_musicTestEnt");

    // 3: Reset.
    qoWorldUtilReference = {0, 0};
    CallSlot<void>(api, 3);
    EXPECT_EQ(qoWorldUtilReference.entity, world->FindEntity("world"));

    // 4: DrawDevWindows.
    qoDevMenu_Manager::AddStringItem("Watch", "a", "b");
    CallSlot<void>(api, 4);
    EXPECT_EQ(world->recorder.devWindowFlushes.size(), 1u);
    api->Reset();

    // 5, 6: the name and prefix tables.
    EXPECT_EQ(CallSlot<const char* const*>(api, 5), qoRegistry::ClassNames());
    EXPECT_EQ(CallSlot<const char* const*>(api, 6), qoRegistry::ClassPrefixes());

    // 7: CreateObject makes exactly the named class.
    const char* const* names = qoRegistry::ClassNames();
    if (names && names[0]) {
        auto* object = CallSlot<kvQOObject*>(api, 7, names[0]);
        ASSERT_NE(object, nullptr);
        EXPECT_STREQ(object->GetClassName(), names[0]);
        object->Destroy(1);
    }
    world->console.Clear();
    EXPECT_EQ(CallSlot<kvQOObject*>(api, 7, "noSuchClassAtAll"), nullptr);

    // 8 to 13: name lookups answer as the named operations do.
    for (const char* name : {"triggerSequential", "qoWorldUtil", "uiBar_t", "qoVector", "int",
                             "pHell_NetworkNode::phNodeType_t", "healthDrop", "noSuchName"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CallSlot<const qoPropertyInfo*>(api, 8, name), qoRegistry::PropertyTable(name));
        EXPECT_EQ(CallSlot<const char*>(api, 9, name), qoRegistry::Comment(name));
        EXPECT_EQ(CallSlot<const qoEnumInfo*>(api, 10, name), qoRegistry::EnumTable(name));
        EXPECT_EQ(CallSlot<uint32_t>(api, 11, name), qoRegistry::ElementSize(name));
        EXPECT_EQ(CallSlot<const char* const*>(api, 12, name), qoRegistry::EditorMetadata(name));
        void* elements = CallSlot<void*>(api, 13, name, 2);
        EXPECT_EQ(elements != nullptr, qoRegistry::ElementSize(name) != 0);
        // Element blocks are the caller's; this test gives back plain ones.
        if (elements && (std::strcmp(name, "qoVector") == 0 || std::strcmp(name, "int") == 0))
            world->Free(elements, qoDefaultMemoryTag);
        else if (elements)
            checkAllocator = false;
    }

    // 14: CheckVersionHash.
    EXPECT_TRUE(CallSlot<bool>(api, 14, qoVersionHash));
    EXPECT_FALSE(CallSlot<bool>(api, 14, -qoVersionHash));
}

// A script class written out by hand, to call the object identity slots by number.
qoThreadEntry const kProbeRun = [](kvQOObject*, void*) {};
const qoDeclDefault kProbeDecls[] = {{"kvSoundShader", "snd", "a/b", 40}, {nullptr, nullptr, nullptr, 0}};

class moduleProbe final : public kvQuorinObject {
public:
    moduleProbe() : label("owned text") {}
    const char* GetClassName() override { return "moduleProbe"; }
    bool IsClass(const char* name) override { return qoIcmp(name, "moduleProbe") == 0; }
    qoThreadEntry GetFunction(const char* name) override { return qoIcmp(name, "Run") == 0 ? kProbeRun : nullptr; }
    bool HandlesEvent(const char* name) override { return qoIcmp(name, "OnActivate") == 0; }
    const qoDeclDefault* GetDeclDefaults() override { return kProbeDecls; }
    kvQOObject* Destroy(uint32_t flags) override { return DestroyAs(this, flags); }
    void SyncState(bool) override {
        qoStateStream* stream = qoSys->GetStateStream();
        stream->SyncInt(&count);
        stream->SyncFloat(&speed);
    }
    qoString label;
    int32_t count = 3;
    float speed = 1.5f;
};

moduleProbe* NewProbe(World& world) {
    void* storage = world.Allocate(sizeof(moduleProbe), qoDefaultMemoryTag);
    return new (storage) moduleProbe();
}

TEST_F(ModuleSlots, ObjectIdentitySlotsReachTheirOperations) {
    const size_t before = world->allocator.LiveBlocks();
    moduleProbe* probe = NewProbe(*world);
    EXPECT_EQ(world->allocator.LiveBlocks(), before + 2);  // the object and its string
    void* object = static_cast<kvQOObject*>(probe);

    EXPECT_STREQ(CallSlot<const char*>(object, 41), "moduleProbe");
    EXPECT_TRUE(CallSlot<bool>(object, 42, "MODULEPROBE"));
    EXPECT_FALSE(CallSlot<bool>(object, 42, "kvQuorinObject"));
    EXPECT_EQ(CallSlot<uint32_t>(object, 43), 0u);  // unbound until the host binds it
    CallSlot<void>(object, 44, 0x1234u);
    EXPECT_EQ(CallSlot<uint32_t>(object, 43), 0x1234u);
    uint32_t raw = 0;
    std::memcpy(&raw, static_cast<char*>(object) + 8, 4);  // the entity field sits at 8
    EXPECT_EQ(raw, 0x1234u);
    EXPECT_EQ(CallSlot<qoThreadEntry>(object, 45, "run"), kProbeRun);
    EXPECT_EQ(CallSlot<qoThreadEntry>(object, 45, "Walk"), nullptr);
    EXPECT_TRUE(CallSlot<bool>(object, 46, "onactivate"));
    EXPECT_FALSE(CallSlot<bool>(object, 46, "OnTrigger"));
    EXPECT_EQ(CallSlot<const qoDeclDefault*>(object, 47), kProbeDecls);
    CallSlot<void>(object, 49, true);
    ASSERT_EQ(world->stateStream.entries.size(), 2u);
    EXPECT_EQ(world->stateStream.entries[0].member, &probe->count);
    EXPECT_EQ(world->stateStream.entries[1].member, &probe->speed);

    // 48 with flags 1: members destroyed and the storage returned with the default tag.
    EXPECT_EQ(CallSlot<kvQOObject*>(object, 48, 1u), object);
    EXPECT_EQ(world->allocator.LiveBlocks(), before);
    EXPECT_TRUE(world->allocator.Errors().empty());
}

TEST_F(ModuleSlots, DestroyWithoutTheFreeFlagLeavesTheStorageToTheCaller) {
    const size_t before = world->allocator.LiveBlocks();
    moduleProbe* probe = NewProbe(*world);
    void* object = static_cast<kvQOObject*>(probe);
    ASSERT_EQ(world->allocator.LiveBlocks(), before + 2);
    EXPECT_EQ(CallSlot<kvQOObject*>(object, 48, 0u), object);
    // The string member is gone, the object's own block is still live.
    EXPECT_EQ(world->allocator.LiveBlocks(), before + 1);
    EXPECT_TRUE(world->allocator.IsLive(object));
    world->Free(object, qoDefaultMemoryTag);
    EXPECT_TRUE(world->allocator.Errors().empty());
}

}  // namespace
