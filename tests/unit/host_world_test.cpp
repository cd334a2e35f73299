// The reference host world as the module sees it: console capture, console variables,
// entities, host classes, players, clock, random numbers, traces, spawning from decls, and the
// script-object slots 2 and 3 driven by a small stand-in module.
#include <gtest/gtest.h>

#include <new>
#include <string>
#include <vector>

#include "core/qoString.h"
#include "core/qoSystem.h"
#include "host/world/World.h"
#include "object/kvQuorinObject.h"

namespace {

using qohost::Console;
using qohost::CvarOp;
using qohost::Entity;
using qohost::World;
using qohost::WorldOptions;

// ---- console ------------------------------------------------------------------------------

TEST(HostConsole, StripColorsRemovesCaretDigitOnly) {
    struct Case {
        const char* raw;
        const char* plain;
    };
    const Case cases[] = {
        {"^1Quorin Error:^3 boom^0", "Quorin Error: boom"},
        {"no codes", "no codes"},
        {"^^1x", "^x"},
        {"a^b", "a^b"},
        {"end^", "end^"},
        {"^9^0", ""},
    };
    for (const Case& c : cases) EXPECT_EQ(Console::StripColors(c.raw), c.plain) << c.raw;
}

TEST(HostConsole, PrintsSplitIntoLinesAcrossCalls) {
    World world;
    world.Printf("%s", "first ");
    EXPECT_TRUE(world.console.Lines().empty());
    EXPECT_EQ(world.console.Pending(), "first ");
    world.Printf("part^0\nsecond %d\nthird", 2);
    ASSERT_EQ(world.console.Lines().size(), 2u);
    EXPECT_EQ(world.console.Lines()[0], "first part^0");
    EXPECT_EQ(world.console.Lines()[1], "second 2");
    EXPECT_EQ(world.console.AllLines().back(), "third");
    EXPECT_EQ(world.console.PlainLines()[0], "first part");
    EXPECT_TRUE(world.console.Contains("second"));
}

TEST(HostConsole, LongLinesAreNotTruncated) {
    World world;
    const std::string longText(3000, 'x');
    world.Printf("%s\n", longText.c_str());
    ASSERT_EQ(world.console.Lines().size(), 1u);
    EXPECT_EQ(world.console.Lines()[0], longText);
}

// ---- console variables --------------------------------------------------------------------

TEST(HostCvars, GetRegistersWithDefaultThenReturnsCurrentValue) {
    World world;
    EXPECT_EQ(world.GetCvarInt("qo_debugPrint", 1), 1);
    EXPECT_EQ(world.cvars.Value("qo_debugPrint"), "1");
    // The default of a later Get does not replace the value.
    EXPECT_EQ(world.GetCvarInt("qo_debugPrint", 5), 1);
    world.cvars.Define("qo_debugPrint", "0");
    EXPECT_EQ(world.GetCvarInt("qo_debugPrint", 1), 0);
    EXPECT_EQ(world.cvars.CountCalls(CvarOp::GetInt, "qo_debugPrint"), 3u);
}

TEST(HostCvars, ValuesAreTextReadBackByType) {
    struct Case {
        const char* stored;
        bool asBool;
        int32_t asInt;
        float asFloat;
    };
    const Case cases[] = {
        {"0", false, 0, 0.0f}, {"1", true, 1, 1.0f},    {"2.5", true, 2, 2.5f},
        {"-3", true, -3, -3.0f}, {"", false, 0, 0.0f}, {"idle", false, 0, 0.0f},
        {"0.25", true, 0, 0.25f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        World world;
        world.cvars.Define("v", c.stored);
        EXPECT_EQ(world.GetCvarBool("v", !c.asBool), c.asBool);
        EXPECT_EQ(world.GetCvarInt("v", 99), c.asInt);
        EXPECT_FLOAT_EQ(world.GetCvarFloat("v", 99.0f), c.asFloat);
        EXPECT_STREQ(world.GetCvarString("v", "default", nullptr, 0), c.stored);
    }
}

TEST(HostCvars, SetStoresTextAndCreatesUnknownVariables) {
    World world;
    world.SetCvarFloat("timescale", 0.1f);
    EXPECT_EQ(world.cvars.Value("timescale"), "0.1");
    EXPECT_FLOAT_EQ(world.GetCvarFloat("timescale", 1.0f), 0.1f);
    world.SetCvarBool("af_neverRest", true);
    EXPECT_EQ(world.cvars.Value("af_neverRest"), "1");
    world.SetCvarString("qo_debugAction", "idle");
    EXPECT_STREQ(world.GetCvarString("qo_debugAction", "x", nullptr, 0), "idle");
    world.SetCvarInt("n", -7);
    EXPECT_EQ(world.GetCvarInt("n", 0), -7);
    EXPECT_EQ(world.recorder.Count("cvar"), 4u);  // sets are logged, gets only counted
}

TEST(HostCvars, FloatTextRoundTrips) {
    for (float v : {1.0f, 0.1f, 1e-7f, 123456.789f, -2.5f}) {
        World world;
        world.SetCvarFloat("f", v);
        EXPECT_EQ(world.GetCvarFloat("f", 0.0f), v) << *world.cvars.Value("f");
    }
}

// ---- entities -----------------------------------------------------------------------------

TEST(HostEntities, HandlesAreNeverReusedAndRemovedEntitiesAreInvalid) {
    World world;
    const uint32_t worldHandle = world.FindEntity("world");
    EXPECT_NE(worldHandle, 0u);
    Entity& a = world.SpawnEntity("a", "kvMover");
    const uint32_t ha = a.handle;
    EXPECT_TRUE(world.EntityIsValid(ha));
    EXPECT_EQ(world.FindEntity("a"), ha);
    EXPECT_STREQ(world.GetEntityName(ha), "a");

    world.RemoveEntity(ha);
    EXPECT_FALSE(world.EntityIsValid(ha));
    EXPECT_EQ(world.FindEntity("a"), 0u);
    EXPECT_STREQ(world.GetEntityName(ha), "a");  // names of removed entities still print

    const uint32_t again = world.SpawnEntity("a", "kvMover").handle;
    EXPECT_GT(again, ha);
    EXPECT_EQ(world.FindEntity("a"), again);

    world.ClearLevel();
    EXPECT_FALSE(world.EntityIsValid(again));
    EXPECT_GT(world.FindEntity("world"), again);
}

TEST(HostEntities, LookupsOfUnknownOrNullAnswerNothing) {
    World world;
    EXPECT_EQ(world.FindEntity("nobody"), 0u);
    EXPECT_EQ(world.FindEntity(nullptr), 0u);
    EXPECT_FALSE(world.EntityIsValid(0));
    EXPECT_FALSE(world.EntityIsValid(12345));
    EXPECT_STREQ(world.GetEntityName(12345), "");
    EXPECT_EQ(world.GetScriptObject(12345, 0), nullptr);
    EXPECT_EQ(world.FindScriptObject(12345, "x", 1), qohost::kNoObject);
}

TEST(HostEntities, DuplicateAndEmptyNamesStayUnique) {
    World world;
    Entity& first = world.SpawnEntity("dup", "kvLight");
    Entity& second = world.SpawnEntity("dup", "kvLight");
    Entity& unnamed = world.SpawnEntity("", "kvLight");
    EXPECT_NE(first.name, second.name);
    EXPECT_EQ(world.FindEntity("dup"), first.handle);
    EXPECT_EQ(world.FindEntity(second.name.c_str()), second.handle);
    EXPECT_EQ(unnamed.name, "kvLight_" + std::to_string(unnamed.handle));
}

TEST(HostEntities, HostClassHierarchy) {
    struct Case {
        const char* cls;
        const char* base;
        bool isA;
    };
    const Case cases[] = {
        {"kvPlayer", "kvPlayer", true},  {"kvPlayer", "kvActor", true},
        {"kvPlayer", "kvEntity", true},  {"kvAI2", "kvActor", true},
        {"kvAI2", "kvPlayer", false},    {"kvMover", "kvActor", false},
        {"kvMover", "kvEntity", true},   {"kvTarget_Spawn", "kvEntity", true},
        {"kvActor", "kvPlayer", false},  {"kvUnknown", "kvEntity", false},
        {"kvUnknown", "kvUnknown", true},
    };
    for (const Case& c : cases) EXPECT_EQ(qohost::HostClassIsA(c.cls, c.base), c.isA) << c.cls << " / " << c.base;

    // An entity answers by the row of its class, which follows a change of class.
    World world;
    Entity& e = world.SpawnEntity("subject", "kvUnknown");
    for (const Case& c : cases) {
        if (!qohost::IsKnownHostClass(c.base)) continue;
        e.SetHostClass(c.cls);
        EXPECT_EQ(e.IsA(qohost::HostClassRowOf(c.base)), c.isA) << c.cls << " / " << c.base;
    }
}

TEST(HostEntities, PlayersAreKvPlayerEntitiesInCreationOrder) {
    World world;
    EXPECT_EQ(world.NumPlayers(), 0);
    EXPECT_EQ(world.GetPlayer(0), 0u);
    const uint32_t p1 = world.SpawnEntity("player1", "kvPlayer").handle;
    world.SpawnEntity("imp", "kvAI2");
    const uint32_t p2 = world.SpawnEntity("player2", "kvPlayer").handle;
    EXPECT_EQ(world.NumPlayers(), 2);
    EXPECT_EQ(world.GetPlayer(0), p1);
    EXPECT_EQ(world.GetPlayer(1), p2);
    EXPECT_EQ(world.GetPlayer(2), 0u);
    EXPECT_EQ(world.GetPlayer(-1), 0u);
    world.RemoveEntity(p1);
    EXPECT_EQ(world.NumPlayers(), 1);
    EXPECT_EQ(world.GetPlayer(0), p2);
}

TEST(HostEntities, SpawnFromDeclOnlyForKnownDecls) {
    World world;
    const qohost::Decl* imp = world.DefineDecl("kvDeclEntityDef", "monster_imp", "kvAI2");
    EXPECT_EQ(world.DefineDecl("kvDeclEntityDef", "monster_imp"), imp);
    EXPECT_EQ(world.FindDecl("kvDeclEntityDef", "monster_imp"), imp);
    const uint32_t spawned = world.SpawnEntityFromDef(imp);
    ASSERT_NE(spawned, 0u);
    EXPECT_EQ(world.ValidEntity(spawned)->hostClass, "kvAI2");
    EXPECT_NE(world.SpawnEntityFromDef(imp), spawned);

    int notADecl = 0;
    EXPECT_EQ(world.SpawnEntityFromDef(&notADecl), 0u);
    EXPECT_EQ(world.SpawnEntityFromDef(nullptr), 0u);
}

// ---- clock, random numbers, traces --------------------------------------------------------

TEST(HostClock, FramesAdvanceGameTimeByTheFrameTime) {
    WorldOptions options;
    options.frameTimeMs = 20;
    World world(options);
    EXPECT_EQ(world.GameTimeMs(), 0);
    EXPECT_EQ(world.FrameTimeMs(), 20);
    world.RunFrames(3);
    EXPECT_EQ(world.Frame(), 3u);
    EXPECT_EQ(world.GameTimeMs(), 60);
    world.SetFrameTime(16);
    world.RunFrame();
    EXPECT_EQ(world.GameTimeMs(), 76);
    EXPECT_EQ(world.FrameTimeMs(), 16);
}

// The game time is 64-bit inside the host; the 32-bit slot stays at its largest value once the
// time passes it instead of wrapping to a negative time.
TEST(HostClock, GameTimePastTwoToThe31MillisecondsSaturatesInTheSlot) {
    WorldOptions options;
    options.frameTimeMs = 1000000000;
    World world(options);
    world.RunFrames(2);
    EXPECT_EQ(world.GameTime(), 2000000000);
    EXPECT_EQ(world.GameTimeMs(), 2000000000);
    world.RunFrame();
    EXPECT_EQ(world.GameTime(), int64_t{3000000000});
    EXPECT_EQ(world.GameTimeMs(), INT32_MAX);
    EXPECT_EQ(world.scheduler.TimeUs(), int64_t{3000000000} * 1000);
}

TEST(HostRandom, SeededSequencesRepeatAndStayInRange) {
    WorldOptions a;
    a.seed = 42;
    World w1(a), w2(a);
    WorldOptions b;
    b.seed = 43;
    World w3(b);
    bool differs = false;
    for (int i = 0; i < 200; ++i) {
        const int32_t r = w1.RandomInt(7);
        EXPECT_EQ(r, w2.RandomInt(7));
        EXPECT_GE(r, 0);
        EXPECT_LT(r, 7);
        differs |= r != w3.RandomInt(7);
        const float f = w1.RandomFloat();
        EXPECT_EQ(f, w2.RandomFloat());
        EXPECT_GE(f, 0.0f);
        EXPECT_LT(f, 1.0f);
        w3.RandomFloat();
    }
    EXPECT_TRUE(differs);
    EXPECT_EQ(w1.RandomInt(0), 0);
    EXPECT_EQ(w1.RandomInt(-5), 0);
    EXPECT_EQ(w1.RandomInt(1), 0);
}

TEST(HostTraces, TracesHitNothingAndUnknownHandlesAreSafe) {
    World world;
    const qoVector start{0, 0, 0}, end{100, 0, 0};
    const int32_t t = world.StartTrace(&start, &end, 1, 0);
    EXPECT_GT(t, 0);
    EXPECT_TRUE(world.IsTraceDone(t));
    float fraction = -1.0f;
    qoVector normal{9, 9, 9};
    uint32_t hit = 77;
    world.GetTraceResult(t, &fraction, &normal, &hit);
    EXPECT_EQ(fraction, 1.0f);
    EXPECT_EQ(hit, 0u);
    EXPECT_EQ(normal.x, 0.0f);
    EXPECT_NE(world.StartTrace(&start, &end, 1, 0), t);

    fraction = -1.0f;
    world.GetTraceResult(999, &fraction, nullptr, nullptr);
    EXPECT_EQ(fraction, 1.0f);
    EXPECT_TRUE(world.IsTraceDone(999));
}

// Only the latest traces are kept: the newest still answers, one that old reads as no hit.
TEST(HostTraces, OnlyTheLatestTracesAreKept) {
    World world;
    Entity& box = world.SpawnEntity("box", "kvProp");
    box.origin = {50, 0, 0};
    const qoVector start{0, 0, 16}, end{100, 0, 16};
    const int32_t first = world.StartTrace(&start, &end, 1, 0);
    int32_t last = first;
    for (size_t i = 0; i < World::kKeptTraces; ++i) last = world.StartTrace(&start, &end, 1, 0);
    EXPECT_EQ(last, first + static_cast<int32_t>(World::kKeptTraces));
    EXPECT_EQ(world.traces.size(), World::kKeptTraces);
    uint32_t hit = 0;
    world.GetTraceResult(last, nullptr, nullptr, &hit);
    EXPECT_EQ(hit, box.handle);
    world.GetTraceResult(first, nullptr, nullptr, &hit);
    EXPECT_EQ(hit, 0u);
}

// Without the history (a long run) the world keeps nothing that grows with the run: no
// records, console lines, console variable calls or draws.
TEST(HostDebug, WithoutTheHistoryNothingIsKept) {
    WorldOptions options;
    options.keepHistory = false;
    World world(options);
    const qoColor red{1, 0, 0, 1};
    const qoVector a{0, 0, 0}, b{1, 2, 3};
    for (int i = 0; i < 100; ++i) {
        world.Printf("line %d\n", i);
        world.DebugLine(&red, &a, &b, 0.0f, true);
        world.GetCvarInt("g_skill", 1);
        world.DevWindowItem("a", "b");
        world.DevWindowFlush();
        world.RunFrame();
    }
    EXPECT_TRUE(world.console.Lines().empty());
    EXPECT_TRUE(world.cvars.Calls().empty());
    EXPECT_TRUE(world.recorder.Records().empty());
    EXPECT_TRUE(world.recorder.draws.empty());
    EXPECT_TRUE(world.devWindowItems.empty());
    EXPECT_FALSE(world.Wants(qohost::RecordKind::Console));
}

TEST(HostDebug, DrawsDevWindowItemsAndStateStreamAreRecorded) {
    World world;
    const qoColor red{1, 0, 0, 1};
    const qoVector a{1, 2, 3}, b{4, 5, 6}, rgb{0.5f, 0.25f, 1.0f};
    world.DebugLine(&red, &a, &b, 2.0f, true);
    world.DebugText("hello", &rgb, &a, 0.5f, 1, false, false, 3.0f);
    ASSERT_EQ(world.recorder.draws.size(), 2u);
    EXPECT_EQ(world.recorder.draws[0].shape, "line");
    EXPECT_EQ(world.recorder.draws[0].b.z, 6.0f);
    EXPECT_TRUE(world.recorder.draws[0].depthTest);
    EXPECT_EQ(world.recorder.draws[1].text, "hello");
    EXPECT_EQ(world.recorder.draws[1].color.g, 0.25f);
    EXPECT_EQ(world.recorder.draws[1].lifetime, 3.0f);
    EXPECT_EQ(world.recorder.Count("draw"), 2u);

    world.DevWindowItem("Quorin Watch List", "w");
    world.DevWindowItem("hp", "100");
    world.DevWindowFlush();
    ASSERT_EQ(world.recorder.devWindowFlushes.size(), 1u);
    EXPECT_EQ(world.recorder.devWindowFlushes[0][1].second, "100");
    EXPECT_TRUE(world.devWindowItems.empty());

    int32_t value = 0;
    float f = 0;
    qoStateStream* stream = world.GetStateStream();
    stream->SyncInt(&value);
    stream->SyncFloat(&f);
    ASSERT_EQ(world.stateStream.entries.size(), 2u);
    EXPECT_EQ(world.stateStream.entries[0].member, &value);
    EXPECT_EQ(world.stateStream.entries[1].kind, 'f');
}

// ---- script objects through a stand-in module ---------------------------------------------

// A test class with an owned string, so destruction has something to free.
class hostProbe final : public kvQuorinObject {
public:
    static std::vector<std::string>* log;
    hostProbe() : label("probe") {}
    const char* GetClassName() override { return "hostProbe"; }
    bool IsClass(const char* name) override { return qoIcmp(name, "hostProbe") == 0; }
    void Shutdown() override {
        if (log) log->push_back("shutdown " + std::to_string(entity.handle));
    }
    kvQOObject* Destroy(uint32_t flags) override {
        if (log) log->push_back("destroy " + std::to_string(entity.handle));
        return DestroyAs(this, flags);
    }
    qoString label;
};
std::vector<std::string>* hostProbe::log = nullptr;

// Just enough of a module to create hostProbe objects.
class ProbeModule final : public kvQuorin {
public:
    int created = 0;
    kvQuorin* Destroy(uint32_t) override { return this; }
    kvQuorinSystem* SetSystem(kvQuorinSystem* system) override {
        kvQuorinSystem* previous = qoSys;
        qoSys = system;
        return previous;
    }
    void RunRegistrations() override {}
    void Reset() override {}
    void DrawDevWindows() override {}
    const char* const* GetClassNames() override { return nullptr; }
    const char* const* GetClassPrefixes() override { return nullptr; }
    kvQOObject* CreateObject(const char* name) override {
        if (!name || std::string(name) != "hostProbe") return nullptr;
        void* storage = qoSys->Allocate(sizeof(hostProbe), qoDefaultMemoryTag);
        if (!storage) return nullptr;
        ++created;
        return new (storage) hostProbe();
    }
    const qoPropertyInfo* GetPropertyTable(const char*) override { return nullptr; }
    const char* GetComment(const char*) override { return nullptr; }
    const qoEnumInfo* GetEnumTable(const char*) override { return nullptr; }
    uint32_t GetElementSize(const char*) override { return 0; }
    const char* const* GetEditorMetadata(const char*) override { return nullptr; }
    void* AllocateElements(const char*, int) override { return nullptr; }
    bool CheckVersionHash(int) override { return false; }
};

class HostObjects : public ::testing::Test {
protected:
    void SetUp() override {
        hostProbe::log = &log;
        world.Attach(&module);
    }
    void TearDown() override {
        world.Detach();
        hostProbe::log = nullptr;
        EXPECT_EQ(world.allocator.LiveBlocks(), 0u) << world.allocator.Report();
        EXPECT_TRUE(world.allocator.Errors().empty());
        EXPECT_EQ(qoSys, nullptr);
    }
    ProbeModule module;
    World world;
    std::vector<std::string> log;
};

TEST_F(HostObjects, FindScriptObjectCreatesOnlyWithTheFlagAndFindsByExactClass) {
    Entity& box = world.SpawnEntity("box", "kvMover");
    EXPECT_EQ(world.FindScriptObject(box.handle, "hostProbe", 0), qohost::kNoObject);
    EXPECT_EQ(module.created, 0);

    const uint32_t index = world.FindScriptObject(box.handle, "hostProbe", 1);
    ASSERT_EQ(index, 0u);
    kvQOObject* object = world.GetScriptObject(box.handle, index);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->GetEntity(), box.handle);  // bound by the host
    EXPECT_EQ(world.FindScriptObject(box.handle, "hostProbe", 1), index);
    EXPECT_EQ(world.FindScriptObject(box.handle, "hostProbe", 0), index);
    EXPECT_EQ(module.created, 1);
    // Exact class names only.
    EXPECT_EQ(world.FindScriptObject(box.handle, "HOSTPROBE", 0), qohost::kNoObject);
    // The module refusing a class leaves no object; slot 3 then answers null.
    const uint32_t refused = world.FindScriptObject(box.handle, "unknownClass", 1);
    EXPECT_EQ(world.GetScriptObject(box.handle, refused), nullptr);
    EXPECT_EQ(world.GetScriptObject(box.handle, 1), nullptr);
}

TEST_F(HostObjects, IndicesStayStableWhenAnObjectIsDestroyed) {
    Entity& e = world.SpawnEntity("e", "kvEntity");
    const uint32_t first = world.AddScriptObject(e, "hostProbe");
    const uint32_t second = world.AddScriptObject(e, "hostProbe");
    kvQOObject* secondObject = world.GetScriptObject(e.handle, second);
    world.DestroyScriptObject(e.handle, first);
    EXPECT_EQ(world.GetScriptObject(e.handle, first), nullptr);
    EXPECT_EQ(world.GetScriptObject(e.handle, second), secondObject);
    EXPECT_EQ(world.FindScriptObject(e.handle, "hostProbe", 0), second);
    EXPECT_EQ(world.LiveObjectCount(), 1u);
}

TEST_F(HostObjects, DestroyAllShutsEveryObjectDownBeforeFreeingAny) {
    const uint32_t a = world.SpawnEntity("a", "kvEntity").handle;
    const uint32_t b = world.SpawnEntity("b", "kvEntity").handle;
    world.AddScriptObject(*world.ValidEntity(a), "hostProbe");
    world.AddScriptObject(*world.ValidEntity(b), "hostProbe");
    world.DestroyAllObjects();
    const std::vector<std::string> expected = {
        "shutdown " + std::to_string(a), "shutdown " + std::to_string(b),
        "destroy " + std::to_string(a), "destroy " + std::to_string(b)};
    EXPECT_EQ(log, expected);
    EXPECT_EQ(world.LiveObjectCount(), 0u);
}

TEST_F(HostObjects, RemovedEntityLosesItsObjectsAtTheEndOfTheFrame) {
    Entity& e = world.SpawnEntity("doomed", "kvEntity");
    const uint32_t handle = e.handle;
    world.AddScriptObject(e, "hostProbe");
    world.RemoveEntity(handle);
    EXPECT_EQ(world.GetScriptObject(handle, 0), nullptr);  // invalid entity: no lookup
    EXPECT_EQ(world.LiveObjectCount(), 1u);               // but not freed under a running script
    world.RunFrame();
    EXPECT_EQ(world.LiveObjectCount(), 0u);
    EXPECT_EQ(log.size(), 2u);
}

TEST_F(HostObjects, AllocationFailureInTheModuleMeansNoObject) {
    Entity& e = world.SpawnEntity("e", "kvEntity");
    world.allocator.FailNext(1);
    EXPECT_EQ(world.AddScriptObject(e, "hostProbe"), qohost::kNoObject);
    EXPECT_TRUE(e.objects.empty());
}

}  // namespace

namespace {

// Plain entities carry no method state until a method needs it; a removed entity lets go of
// it (and of its key/values) once the frame has destroyed its objects, and keeps its name.
TEST(HostEntities, MethodStateIsMadeOnUseAndFreedOnRemoval) {
    World world;
    Entity& plain = world.SpawnEntity("plain", "kvLight");
    const Entity& asRead = plain;
    EXPECT_FLOAT_EQ(asRead.methods->speed, 100.0f);  // the defaults answer a read
    EXPECT_FALSE(plain.methods.Made());

    Entity& mover = world.SpawnEntity("mover", "kvMover");
    mover.methods->speed = 40.0f;
    mover.spawnArgs["model"] = "models/crate";
    ASSERT_TRUE(mover.methods.Made());
    const uint32_t handle = mover.handle;
    world.RemoveEntity(handle);
    EXPECT_TRUE(world.EntityByHandle(handle)->methods.Made());  // its objects go at frame end
    world.RunFrame();
    const Entity* removed = world.EntityByHandle(handle);
    ASSERT_NE(removed, nullptr);
    EXPECT_EQ(removed->name, "mover");
    EXPECT_EQ(removed->hostClass, "kvMover");
    EXPECT_FALSE(removed->methods.Made());
    EXPECT_TRUE(removed->spawnArgs.empty());
    EXPECT_EQ(world.ValidEntity(handle), nullptr);
}

}  // namespace
