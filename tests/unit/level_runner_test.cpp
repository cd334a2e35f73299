// The level runner: what each kind of timeline event does to the world and which event entries
// it calls on which script objects, when events are delivered, and the trace built from a
// run's records.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/records/TraceSink.h"
#include "host/records/TraceWriter.h"
#include "object/kvQuorinObject.h"
#include "tests/support/HostFixture.h"

namespace qohost {
namespace {

// A script object that answers HandlesEvent for a set of names and logs every handler call
// with the frame and the arguments (entities by name).
class Probe final : public kvQuorinObject {
public:
    Probe(World& world, std::vector<std::string> handles, std::vector<std::string>& log)
        : world(world), handles(std::move(handles)), log(log) {}

    const char* GetClassName() override { return "Probe"; }
    bool IsClass(const char* name) override { return std::string(name) == "Probe"; }
    bool HandlesEvent(const char* name) override {
        return std::find(handles.begin(), handles.end(), name) != handles.end();
    }

    void OnActivate(const qoEntity& e) override { Log("OnActivate(" + Name(e) + ")"); }
    void OnTrigger(const qoEntity& e) override { Log("OnTrigger(" + Name(e) + ")"); }
    void OnDamage(const qoEntity& e, float amount) override {
        Log("OnDamage(" + Name(e) + ", " + std::to_string(int(amount)) + ")");
    }
    void OnDeath(const qoEntity& e) override { Log("OnDeath(" + Name(e) + ")"); }
    void OnEnter(const qoEntity& e) override { Log("OnEnter(" + Name(e) + ")"); }
    void OnExit(const qoEntity& e) override { Log("OnExit(" + Name(e) + ")"); }
    void OnUse(const qoEntity& e) override { Log("OnUse(" + Name(e) + ")"); }
    void OnAnimNotify(qoString text) override { Log(std::string("OnAnimNotify(") + text.c_str() + ")"); }
    void OnChangeMusicLevel(int32_t level) override { Log("OnChangeMusicLevel(" + std::to_string(level) + ")"); }
    void OnActivateAIFollowEntity(const qoEntity& e, float v) override {
        Log("OnActivateAIFollowEntity(" + Name(e) + ", " + std::to_string(int(v)) + ")");
    }
    void OnFirstThink() override { Log("OnFirstThink()"); }

private:
    std::string Name(const qoEntity& e) { return e.handle ? world.GetEntityName(e.handle) : "null"; }
    void Log(const std::string& call) {
        log.push_back(std::string(world.GetEntityName(GetEntity())) + "." + call + " @" +
                      std::to_string(world.Frame()));
    }
    World& world;
    std::vector<std::string> handles;
    std::vector<std::string>& log;
};

const char* kLevel = R"({
    "players": [{"name": "player1"}],
    "entities": [
        {"name": "box", "class": "kvProp", "health": 50},
        {"name": "deaf", "class": "kvProp"},
        {"name": "relay", "class": "kvTarget_Relay", "targets": ["box", "deaf"]},
        {"name": "trigger", "class": "kvTrigger", "targets": ["relay"]},
        {"name": "player2", "class": "kvPlayer", "health": 50, "shields": 20}
    ]})";

class LevelRunnerTest : public test::HostFixture {
protected:
    void SetUp() override {
        HostFixture::SetUp();
        LevelErrors errors;
        ASSERT_TRUE(ParseLevel(kLevel, "t.json", level, errors)) << ErrorLines(errors);
        ASSERT_TRUE(LoadLevel(*world, level, errors)) << ErrorLines(errors);
        const std::vector<std::string> all = {"OnActivate", "OnTrigger", "OnDamage", "OnDeath",
                                              "OnEnter", "OnExit", "OnUse", "OnAnimNotify",
                                              "OnChangeMusicLevel", "OnActivateAIFollowEntity",
                                              "OnFirstThink"};
        for (const char* name : {"box", "relay", "trigger", "player2"}) Attach(name, all);
        Attach("deaf", {});  // handles nothing: must receive nothing
    }
    void TearDown() override {
        // The probes are the test's own; take them out before the world destroys its objects.
        for (auto& [entity, slot] : probes) world->EntityByHandle(entity)->objects[slot].object = nullptr;
        HostFixture::TearDown();
    }
    void Attach(const char* name, std::vector<std::string> handles) {
        Entity& e = *world->EntityByName(name);
        owned.push_back(std::make_unique<Probe>(*world, std::move(handles), log));
        owned.back()->SetEntity(e.handle);
        probes.emplace_back(e.handle, uint32_t(e.objects.size()));
        e.objects.push_back({owned.back().get(), "Probe"});
    }
    LevelEvent Event(const char* json) {
        LevelDesc one;
        LevelErrors errors;
        const std::string text = std::string(kLevel).substr(0, std::string(kLevel).rfind('}')) +
                                 ", \"timeline\": [" + json + "]}";
        EXPECT_TRUE(ParseLevel(text, "t.json", one, errors)) << ErrorLines(errors);
        return one.timeline.empty() ? LevelEvent{} : one.timeline[0];
    }

    LevelDesc level;
    std::vector<std::string> log;
    std::vector<std::unique_ptr<Probe>> owned;
    std::vector<std::pair<uint32_t, uint32_t>> probes;
};

TEST_F(LevelRunnerTest, EachEventKindCallsItsEntryOnTheObjectsThatHandleIt) {
    struct Case {
        const char* event;
        std::vector<std::string> calls;
    };
    const Case cases[] = {
        {R"({"frame": 0, "event": "activate", "entity": "box", "by": "player1"})", {"box.OnActivate(player1) @0"}},
        {R"({"frame": 0, "event": "activate", "entity": "box"})", {"box.OnActivate(null) @0"}},
        // Activation reaches the entity's own objects, as the Activate method does; a relay
        // then activates its targets (box; deaf handles nothing).
        {R"({"frame": 0, "event": "activate", "entity": "relay", "by": "player1"})",
         {"relay.OnActivate(player1) @0", "box.OnActivate(player1) @0"}},
        // Walking into a trigger: OnEnter on it, then its targets are activated.
        {R"({"frame": 0, "event": "enter", "entity": "trigger", "by": "player1"})",
         {"trigger.OnEnter(player1) @0", "relay.OnActivate(player1) @0", "box.OnActivate(player1) @0"}},
        {R"({"frame": 0, "event": "enter", "entity": "box", "by": "player1"})", {"box.OnEnter(player1) @0"}},
        {R"({"frame": 0, "event": "exit", "entity": "trigger", "by": "player1"})", {"trigger.OnExit(player1) @0"}},
        {R"({"frame": 0, "event": "trigger", "entity": "box", "by": "player1"})", {"box.OnTrigger(player1) @0"}},
        {R"({"frame": 0, "event": "use", "entity": "box", "by": "player1"})", {"box.OnUse(player1) @0"}},
        {R"({"frame": 0, "event": "damage", "entity": "box", "by": "player1", "amount": 20})",
         {"box.OnDamage(player1, 20) @0"}},
        {R"({"frame": 0, "event": "death", "entity": "box", "by": "player1"})", {"box.OnDeath(player1) @0"}},
        {R"({"frame": 0, "event": "animNotify", "entity": "box", "notify": "footstep"})",
         {"box.OnAnimNotify(footstep) @0"}},
        {R"({"frame": 0, "event": "music", "entity": "box", "level": 3})", {"box.OnChangeMusicLevel(3) @0"}},
        {R"({"frame": 0, "event": "event", "entity": "box", "name": "OnActivateAIFollowEntity", "by": "relay", "amount": 7})",
         {"box.OnActivateAIFollowEntity(relay, 7) @0"}},
        {R"({"frame": 0, "event": "event", "entity": "box", "name": "OnFirstThink"})", {"box.OnFirstThink() @0"}},
        {R"({"frame": 0, "event": "use", "entity": "deaf", "by": "player1"})", {}},
    };
    LevelRunner runner(*world, level);
    for (const Case& c : cases) {
        log.clear();
        runner.Deliver(Event(c.event));
        EXPECT_EQ(log, c.calls) << c.event;
    }
}

TEST_F(LevelRunnerTest, DamageKillsWhenHealthRunsOutAndCvarsAreSet) {
    LevelRunner runner(*world, level);
    Entity& box = *world->EntityByName("box");
    runner.Deliver(Event(R"({"frame": 0, "event": "damage", "entity": "box", "amount": 30, "by": "player1"})"));
    EXPECT_EQ(box.health, 20);
    EXPECT_FALSE(box.dead);
    runner.Deliver(Event(R"({"frame": 0, "event": "damage", "entity": "box", "amount": 30, "by": "player1"})"));
    EXPECT_EQ(box.health, 0);
    EXPECT_TRUE(box.dead);
    const std::vector<std::string> calls = {"box.OnDamage(player1, 30) @0", "box.OnDamage(player1, 30) @0",
                                            "box.OnDeath(player1) @0"};
    EXPECT_EQ(log, calls);

    // Shields take damage first; an entity that is dead takes no more.
    Entity& player = *world->EntityByName("player2");
    log.clear();
    runner.Deliver(Event(R"({"frame": 0, "event": "damage", "entity": "player2", "amount": 30})"));
    EXPECT_EQ(player.shields, 0);
    EXPECT_EQ(player.health, 40);
    runner.Deliver(Event(R"({"frame": 0, "event": "death", "entity": "player2"})"));
    runner.Deliver(Event(R"({"frame": 0, "event": "damage", "entity": "player2", "amount": 30})"));
    EXPECT_EQ(player.health, 0);
    EXPECT_EQ(log, (std::vector<std::string>{"player2.OnDamage(null, 30) @0", "player2.OnDeath(null) @0"}));

    runner.Deliver(Event(R"({"frame": 0, "event": "cvar", "name": "qo_debugAction", "value": "kill imp"})"));
    EXPECT_EQ(world->cvars.Value("qo_debugAction"), "kill imp");
}

TEST_F(LevelRunnerTest, EventsArriveOnTheirFrameAfterTheFramesThreads) {
    LevelErrors errors;
    const std::string text = std::string(kLevel).substr(0, std::string(kLevel).rfind('}')) + R"(, "timeline": [
        {"frame": 3, "event": "use", "entity": "box", "by": "player1"},
        {"frame": 0, "event": "use", "entity": "box"},
        {"time": 0.02, "event": "trigger", "entity": "box"},
        {"frame": 3, "event": "exit", "entity": "trigger", "by": "player1"},
        {"frame": 99, "event": "use", "entity": "box"}]})";
    LevelDesc timed;
    ASSERT_TRUE(ParseLevel(text, "t.json", timed, errors)) << ErrorLines(errors);
    LevelRunner runner(*world, timed);
    runner.Start();
    EXPECT_EQ(log, std::vector<std::string>{"box.OnUse(null) @0"});
    runner.RunUntil(5);
    const std::vector<std::string> calls = {"box.OnUse(null) @0", "box.OnTrigger(null) @2",
                                            "box.OnUse(player1) @3", "trigger.OnExit(player1) @3"};
    EXPECT_EQ(log, calls);
    EXPECT_EQ(world->Frame(), 5u);
}

TEST_F(LevelRunnerTest, EventForARemovedEntityIsSkipped) {
    LevelRunner runner(*world, level);
    world->RemoveEntity(world->FindEntity("box"));
    runner.Deliver(Event(R"({"frame": 0, "event": "use", "entity": "box"})"));
    EXPECT_TRUE(log.empty());
    EXPECT_EQ(world->recorder.TextsOfKind("timeline").back(), "use box (skipped: box no longer exists)");
}

// An activation reads the same in the log whether the timeline gives it as `activate` or as
// an `event` named OnActivate: with its activator, without one, with one that is gone (the
// handlers get none), and for a receiver that is gone.
TEST_F(LevelRunnerTest, ActivateAndEventEntriesLogAlike) {
    struct Case {
        const char* fields;      // after "event": ...
        bool receiverGone;
        std::vector<std::string> records;  // timeline and event records, "> " before timeline
    };
    const Case cases[] = {
        {R"("entity": "box", "by": "player1")", false,
         {"> NAME box by player1", "OnActivate box #0 by player1"}},
        {R"("entity": "box")", false, {"> NAME box", "OnActivate box #0"}},
        {R"("entity": "box", "by": "player2")", false,
         {"> NAME box by player2", "OnActivate box #0 by player2 (no longer exists)"}},
        {R"("entity": "box", "by": "player1")", true,
         {"> NAME box by player1 (skipped: box no longer exists)"}},
    };
    for (const Case& c : cases)
        for (const std::string kind : {"activate", "OnActivate"}) {
            const std::string form = kind == "activate" ? R"("event": "activate", )"
                                                        : R"("event": "event", "name": "OnActivate", )";
            const LevelEvent ev = Event(("{\"frame\": 0, " + form + c.fields + "}").c_str());
            TearDown();
            log.clear();
            owned.clear();
            probes.clear();
            SetUp();
            world->RemoveEntity(world->FindEntity("player2"));
            if (c.receiverGone) world->RemoveEntity(world->FindEntity("box"));
            world->recorder.Clear();
            LevelRunner runner(*world, level);
            runner.Deliver(ev);
            std::vector<std::string> records;
            for (const KeptRecord& r : world->recorder.Records()) {
                if (r.kind == RecordKind::Timeline) records.push_back("> " + r.text);
                if (r.kind == RecordKind::Event) records.push_back(r.text);
            }
            std::vector<std::string> expected = c.records;
            expected[0].replace(2, 4, kind);
            EXPECT_EQ(records, expected) << kind << " " << c.fields;
            EXPECT_EQ(log.size(), c.receiverGone ? 0u : 1u);
        }
}

// The trace of a run, streamed from hand-made records as the world hands them out, then read
// back: it must be a complete trace-event document.
TEST(LevelRunnerTrace, ThreadsWaitsActionsAndCallsBecomeSlicesAndInstants) {
    World world;
    Entity& e = world.SpawnEntity("relay", "kvTarget");
    e.objects.push_back({nullptr, "triggerSequential"});
    const std::string path = ::testing::TempDir() + "qohost_level_runner_trace_" + std::to_string(::getpid()) + ".json";
    TraceWriter writer;
    std::string error;
    ASSERT_TRUE(writer.Open(path, "test", error)) << error;
    TraceSink sink(world, writer);

    auto feed = [&](int64_t ms, uint32_t thread, RecordKind kind, const std::string& text) {
        Record r;
        r.kind = kind;
        r.frame = uint64_t(ms / 16);
        r.timeMs = ms;
        r.thread = thread;
        r.text = text;
        sink.Take(r);
    };
    auto at = [&](int64_t ms, uint32_t thread, const char* kind, const char* text) {
        RecordKind k;
        ASSERT_TRUE(RecordKindByName(kind, k));
        feed(ms, thread, k, text);
    };
    // A thread event of thread `id`: "start NAME ENTITY", "suspend frame", "suspend seconds S",
    // "suspend thread T", "suspend hold S", "resume", "end".
    auto th = [&](int64_t ms, uint32_t id, ThreadEvent::Kind kind, WaitKind wait = WaitKind::None,
                  double seconds = 0.0, uint32_t other = 0, const char* name = "",
                  uint32_t entity = 0) {
        ThreadEvent event;
        event.kind = kind;
        event.wait = wait;
        event.thread = id;
        event.seconds = seconds;
        event.other = other;
        ThreadInfo info;
        info.id = id;
        info.name = name;
        info.owner = {entity, 0};
        const ThreadRecord detail{event, info};
        Record r;
        r.kind = RecordKind::Thread;
        r.frame = uint64_t(ms / 16);
        r.timeMs = ms;
        r.thread = id;
        r.detail = &detail;
        r.format = &FormatThreadRecord;
        sink.Take(r);
    };
    using K = ThreadEvent::Kind;
    th(0, 1, K::Start, WaitKind::None, 0, 0, "Init", e.handle);
    at(0, 1, "method", "relay.NumTargets() = 3");
    th(0, 1, K::Suspend, WaitKind::Frame);
    th(16, 1, K::Resume);
    th(16, 1, K::Suspend, WaitKind::Frame);
    th(32, 1, K::Resume);
    th(32, 1, K::Suspend, WaitKind::Frame);  // three quiet frames: one slice
    th(48, 1, K::Resume);
    at(48, 1, "method", "lamp.Activate(player1)");
    th(48, 1, K::Suspend, WaitKind::Frame);  // a call in between: a new slice
    at(64, 0, "timeline", "enter trigger by player1");
    th(64, 1, K::Resume);
    at(64, 1, "method", "imp.Action_MoveToPoint((1 2 3), 1, 10, 0, (0 0 0))");
    th(64, 1, K::Suspend, WaitKind::Hold, 0.5, 7);
    th(576, 1, K::Resume);
    th(576, 1, K::Suspend, WaitKind::Seconds, 2.0);
    at(1000, 0, "console", "^1Quorin Warning:^3 x^0");
    th(2576, 1, K::Resume);
    th(2576, 1, K::End);
    th(2576, 2, K::Start, WaitKind::None, 0, 1, "Update", 99);
    th(2576, 2, K::Suspend, WaitKind::Thread, 0, 1);
    at(3000, 0, "timeline", "use box");
    sink.Finish();
    ASSERT_TRUE(writer.Close(error)) << error;

    std::ifstream in(path);
    const nlohmann::json doc = nlohmann::json::parse(in, nullptr, /*allow_exceptions=*/false);
    std::remove(path.c_str());
    ASSERT_FALSE(doc.is_discarded()) << "the trace is not valid JSON";
    ASSERT_TRUE(doc["traceEvents"].is_array());
    EXPECT_EQ(doc["displayTimeUnit"], "ms");
    std::vector<std::string> slices, instants;
    std::map<int, std::string> tracks;
    for (const auto& ev : doc["traceEvents"]) {
        const std::string ph = ev["ph"];
        if (ph == "X")
            slices.push_back(std::to_string(int(ev["tid"])) + " " + std::string(ev["name"]) + " " +
                             std::to_string(int64_t(ev["ts"])) + "+" + std::to_string(int64_t(ev["dur"])) +
                             (ev["args"].contains("frames") ? " frames=" + std::to_string(int(ev["args"]["frames"])) : ""));
        else if (ph == "i")
            instants.push_back(std::to_string(int(ev["tid"])) + " " + std::string(ev["cat"]) + " " +
                               std::string(ev["name"]) + " " + std::to_string(int64_t(ev["ts"])));
        else if (ev["name"] == "thread_name")
            tracks[ev["tid"]] = ev["args"]["name"];
    }
    const std::vector<std::string> expectedSlices = {
        "1 WaitFrame 0+48000 frames=3",
        "1 WaitFrame 48000+16000 frames=1",
        "1 imp.Action_MoveToPoint((1 2 3), 1, 10, 0, (0 0 0)) 64000+512000",
        "1 WaitSeconds 2 576000+2000000",
        "1 Init 0+2576000",
        "2 WaitForThread 1 2576000+424000",  // still waiting when the records end
        "2 Update 2576000+424000",
    };
    EXPECT_EQ(slices, expectedSlices);
    const std::vector<std::string> expectedInstants = {
        "1 method relay.NumTargets() = 3 0",
        "1 method lamp.Activate(player1) 48000",
        "0 timeline enter trigger by player1 64000",
        "1 method imp.Action_MoveToPoint((1 2 3), 1, 10, 0, (0 0 0)) 64000",
        "0 console Quorin Warning: x 1000000",
        "0 timeline use box 3000000",
    };
    EXPECT_EQ(instants, expectedInstants);
    EXPECT_EQ(tracks[0], "host: frames, timeline events");
    EXPECT_EQ(tracks[1], "Init #1 relay.triggerSequential");
    EXPECT_EQ(tracks[2], "Update #2");  // its entity is unknown
}

}  // namespace
}  // namespace qohost
