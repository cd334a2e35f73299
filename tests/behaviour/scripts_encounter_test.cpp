// Spawning through the encounter network and encounters, in the real library: spawn managers,
// clusters and spawners placed in levels, the gameplay events they send on job 8 read through
// event counters that each activate a marker entity, fields read at their offsets, and the
// encounter manager's shares read from the spawn managers it drives.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/methods/Events.h"
#include "tests/behaviour/scripts_levels.h"

namespace {

using qohost::test::CallSlot;
using scripts_test::LevelTest;

// pHell_SpawnManager fields.
constexpr size_t kMaxSpawnSize = 244, kSpawnLoopThread = 252;
constexpr size_t kInfo = 264;  // spawnInfo_t: numToSpawn, spawnSize, infiniteSpawn, numSpawned, numKilled
constexpr size_t kNumToSpawn = kInfo, kSpawnSize = kInfo + 4, kInfinite = kInfo + 8, kNumSpawned = kInfo + 12,
                 kNumKilled = kInfo + 16, kActiveAiNum = kInfo + 24 + 8;
constexpr size_t kRecentConduitsNum = 192 + 8;  // pHell_SpawnCluster
constexpr size_t kActiveAiManager = 16;         // pHell_ActiveAi
constexpr int kTimeTillAvailableSlot = 93;

const char* const kEventNames[] = {"SPAWNED", "KILLED", "START", "ALL_SPAWNED", "STOPPED", "ALL_KILLED"};
const char* const kEventEnums[] = {"GAMEPLAY_EVENT_AI_SPAWNED",    "GAMEPLAY_EVENT_AI_KILLED",
                                   "GAMEPLAY_EVENT_START_SPAWNING", "GAMEPLAY_EVENT_ALL_SPAWNED",
                                   "GAMEPLAY_EVENT_SPAWNING_STOPPED", "GAMEPLAY_EVENT_ALL_AI_KILLED"};

std::string Spawners(int count, const std::string& args = "") {
    std::string out;
    for (int i = 1; i <= count; ++i)
        out += R"(, { "name": "s)" + std::to_string(i) + R"(", "class": "kvTarget_Spawn", "origin": [)" +
               std::to_string(64 * i) + R"(, 0, 0], "entityDefs": ["monster/imp"], "spawnArgs": { )" + args + " } }";
    return out;
}

std::string SpawnerList(int count) {
    std::string out;
    for (int i = 1; i <= count; ++i) out += std::string(i > 1 ? ", " : "") + "\"s" + std::to_string(i) + "\"";
    return "[" + out + "]";
}

// A node of the class on entity `name`, its properties given as JSON members.
std::string Node(const std::string& name, const std::string& className, const std::string& properties) {
    return R"(, { "name": ")" + name + R"(", "class": "kvTarget", "objects": [ { "class": ")" + className +
           R"(", "properties": { )" + properties + " } } ] }";
}

// One event counter per gameplay event a manager sends, below the manager on job 8; each
// activates its marker ev_N whenever its event arrives.
std::string EventWatchers(const std::string& manager) {
    std::string out;
    for (int e = 0; e < 6; ++e) {
        const std::string n = std::to_string(e);
        out += R"(, { "name": "ev_)" + n + R"(", "class": "kvTarget" })";
        out += Node("watch_" + n, "pHell_EventCounter",
                    R"("eventType": ")" + std::string(kEventEnums[e]) +
                        R"(", "sequenceSteps": [ { "entityToActivate": "ev_)" + n +
                        R"(", "targetCount": 1, "timesToFire": 0 } ], "linkedTo": [")" + manager + "\"]");
    }
    return out;
}

std::string Level(const std::string& entities, const std::string& impArgs = "") {
    return R"({ "seed": 5, "entityDefs": { "monster/imp": { "class": "kvAI2", "args": { )" + impArgs +
           R"( } } }, "players": [ { "name": "player1" } ], "entities": [ { "name": "door", "class": "kvMover" })" +
           entities + " ] }";
}

class EncounterTest : public LevelTest {
protected:
    // The gameplay events the watchers saw, in order.
    std::string Events() const {
        std::string out;
        for (const std::string& call : Calls(".Activate(ev_")) {
            const size_t at = call.find("ev_");
            out += std::string(out.empty() ? "" : " ") + kEventNames[call[at + 3] - '0'];
        }
        return out;
    }
    std::vector<qohost::Entity*> Living() const {
        std::vector<qohost::Entity*> out;
        for (qohost::Entity* e : world->EntitiesOfClass("kvAI2"))
            if (!e->dead) out.push_back(e);
        return out;
    }
    void Kill(qohost::Entity* e) { qohost::Hurt(*world, *e, 1000.0f, 0, false, false); }
    void Activate(const char* name) { qohost::ActivateEntity(*world, Handle(name), Handle("player1")); }
    // Runs frame by frame until the condition holds (false when `frames` pass first).
    template <class Condition>
    bool RunUntilTrue(int frames, Condition condition) {
        for (int i = 0; i < frames; ++i) {
            if (condition()) return true;
            RunUntil(static_cast<int32_t>(world->Frame()) + 1);
        }
        return condition();
    }
    int32_t ManagerField(const char* entity, size_t offset) const {
        return Field<int32_t>(Object(entity, "pHell_SpawnManager"), offset);
    }
};

// ---- spawn manager ------------------------------------------------------------------------------

TEST_F(EncounterTest, ManagerSpawnsFiveThreeAtOnceAndAnnouncesEachStage) {
    Load(Level(Node("mgr", "pHell_SpawnManager",
                    R"("totalSpawnCount": 5, "maxSpawnSize": 3, "minSpawnDelay": 0.1, "maxSpawnDelay": 0.2,
                        "spawnerList": )" + SpawnerList(2)) +
               Spawners(2) + EventWatchers("mgr")));
    RunUntil(10);
    Activate("mgr");
    ASSERT_TRUE(RunUntilTrue(300, [&] { return Living().size() == 3; }));
    RunUntil(static_cast<int32_t>(world->Frame()) + 100);
    EXPECT_EQ(Living().size(), 3u) << "never more than three at once";
    EXPECT_EQ(Events(), "START SPAWNED SPAWNED SPAWNED");

    Kill(Living()[0]);
    Kill(Living()[0]);
    ASSERT_TRUE(RunUntilTrue(300, [&] { return Events().find("ALL_SPAWNED") != std::string::npos; }));
    EXPECT_EQ(Events(), "START SPAWNED SPAWNED SPAWNED KILLED KILLED SPAWNED SPAWNED STOPPED ALL_SPAWNED");
    EXPECT_EQ(ManagerField("mgr", kNumSpawned), 5);
    EXPECT_EQ(ManagerField("mgr", kNumToSpawn), 0);

    for (int i = 0; i < 2; ++i) Kill(Living()[0]);
    RunUntil(static_cast<int32_t>(world->Frame()) + 2);
    EXPECT_EQ(Events().find("ALL_KILLED"), std::string::npos) << "one is still alive";
    Kill(Living()[0]);
    RunUntil(static_cast<int32_t>(world->Frame()) + 2);
    EXPECT_EQ(Events(), "START SPAWNED SPAWNED SPAWNED KILLED KILLED SPAWNED SPAWNED STOPPED ALL_SPAWNED "
                        "KILLED KILLED KILLED ALL_KILLED");
    EXPECT_EQ(ManagerField("mgr", kNumKilled), 5);
    EXPECT_EQ(ManagerField("mgr", kActiveAiNum), 0);
}

TEST_F(EncounterTest, InfiniteSpawningNeverEndsByCount) {
    Load(Level(Node("mgr", "pHell_SpawnManager",
                    R"("totalSpawnCount": -1, "maxSpawnSize": 2, "minSpawnDelay": 0.1, "maxSpawnDelay": 0.2,
                        "spawnerList": )" + SpawnerList(2)) +
                   Spawners(2) + EventWatchers("mgr"),
               R"("lifetime": 0.4)"));
    RunUntil(10);
    Activate("mgr");
    RunUntil(600);
    const std::string events = Events();
    EXPECT_GE(Calls(".Activate(ev_0").size(), 10u) << events;
    EXPECT_GE(Calls(".Activate(ev_1").size(), 8u) << events;
    for (const char* never : {"STOPPED", "ALL_SPAWNED", "ALL_KILLED"})
        EXPECT_EQ(events.find(never), std::string::npos) << never;
    EXPECT_EQ(Calls(".Activate(ev_2").size(), 1u) << "START_SPAWNING once";
    EXPECT_EQ(ManagerField("mgr", kInfinite) & 0xff, 1);
    EXPECT_EQ(ManagerField("mgr", kNumToSpawn), 0);
    EXPECT_EQ(ThreadEnd(ThreadStartedOn("mgr", "SpawnLoop")), "") << "the loop still runs";
}

TEST_F(EncounterTest, MaxSpawnSizeIsClampedAtNetworkStart) {
    struct Row {
        int given, used;
    };
    for (const Row row : {Row{12, 8}, Row{-2, 0}, Row{5, 5}}) {
        SCOPED_TRACE(row.given);
        Load(Level(Node("mgr", "pHell_SpawnManager",
                        R"("totalSpawnCount": 3, "minSpawnDelay": 0.1, "maxSpawnDelay": 0.1, "maxSpawnSize": )" +
                            std::to_string(row.given) + R"(, "spawnerList": )" + SpawnerList(2)) +
                   Spawners(2)));
        RunUntil(10);
        EXPECT_EQ(ManagerField("mgr", kMaxSpawnSize), row.used);
        Activate("mgr");
        RunUntil(200);
        EXPECT_EQ(Living().size(), static_cast<size_t>(std::min(row.used, 3)));
        if (row.used == 0) {
            EXPECT_EQ(ThreadEnd(ThreadStartedOn("mgr", "SpawnLoop")), "") << "nothing spawns, the loop goes on";
        }
        StartOver();
    }
}

// ---- cluster ------------------------------------------------------------------------------------

TEST_F(EncounterTest, ClusterRemembersHalfItsSpawnersAtMostFour) {
    struct Row {
        int spawners, kept;
    };
    for (const Row row : {Row{1, 0}, Row{2, 1}, Row{5, 2}, Row{10, 4}}) {
        SCOPED_TRACE(row.spawners);
        Load(Level(Node("clu", "pHell_SpawnCluster",
                        R"("minSpawnDelay": 0.0, "maxSpawnDelay": 0.1, "spawnerList": )" + SpawnerList(row.spawners)) +
                   Spawners(row.spawners)));
        RunUntil(10);
        for (int i = 0; i < 6; ++i) {
            Activate("clu");
            RunUntil(static_cast<int32_t>(world->Frame()) + 12);
        }
        EXPECT_EQ(Living().size(), 6u);
        EXPECT_EQ(Field<int32_t>(Object("clu", "pHell_SpawnCluster"), kRecentConduitsNum), row.kept);
        // The spawners remembered are passed over: with two the cluster takes them in turn.
        if (row.spawners == 2) {
            std::vector<std::string> from;
            for (const std::string& e : world->recorder.TextsOfKind("event"))
                if (e.rfind("spawned ", 0) == 0) from.push_back(e.substr(e.rfind(' ') + 1));
            ASSERT_EQ(from.size(), 6u);
            for (size_t i = 1; i < from.size(); ++i) EXPECT_NE(from[i], from[i - 1]);
        }
        StartOver();
    }
}

// All spawners busy: the cluster looks at least every 500 ms, takes the first to become free,
// and at its deadline (lastSpawnTime + maxSpawnDelay, here 2.5 s) the one with the shortest
// wait, busy or not.
TEST_F(EncounterTest, AllSpawnersBusyPollUntilFreeOrDeadline) {
    struct Row {
        int cooldown1, cooldown2;
        const char* chosen;
        int earliestMs, latestMs;  // when the spawn happens
    };
    const Row rows[] = {{4000, 1500, "s2", 1516, 1532}, {4000, 3000, "s2", 2500, 2516}, {2000, 3000, "s1", 2016, 2032}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.chosen + std::to_string(row.cooldown2));
        Load(R"({ "seed": 5, "entityDefs": { "monster/imp": { "class": "kvAI2" } }, "players": [ { "name": "player1" } ],
          "entities": [ { "name": "s1", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"],
                          "spawnArgs": { "spawnCooldownMs": )" +
             std::to_string(row.cooldown1) + R"( } },
                        { "name": "s2", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"],
                          "spawnArgs": { "spawnCooldownMs": )" +
             std::to_string(row.cooldown2) + R"( } })" +
             Node("clu", "pHell_SpawnCluster", R"("minSpawnDelay": 0.0, "maxSpawnDelay": 2.5, "spawnerList": ["s1", "s2"])") +
             R"( ], "timeline": [ { "frame": 1, "event": "activate", "entity": "s1" },
                                  { "frame": 1, "event": "activate", "entity": "s2" },
                                  { "frame": 2, "event": "activate", "entity": "clu" } ] })");
        RunUntil(260);
        const std::vector<std::string> spawns = Calls(".SpawnEntity(");
        ASSERT_EQ(spawns.size(), 1u);
        EXPECT_NE(spawns[0].find(std::string(" ") + row.chosen + ".SpawnEntity(clu)"), std::string::npos) << spawns[0];
        const int spawnMs = std::stoi(spawns[0]) * 16;
        EXPECT_GE(spawnMs, row.earliestMs);
        EXPECT_LE(spawnMs, row.latestMs);
        // The looks at the spawners, at most 500 ms (and a frame) apart.
        std::vector<int> looks;
        for (const std::string& c : Calls("s1.GetTimeTillAvailable")) looks.push_back(std::stoi(c) * 16);
        ASSERT_FALSE(looks.empty());
        for (size_t i = 1; i < looks.size(); ++i) EXPECT_LE(looks[i] - looks[i - 1], 516) << i;
        StartOver();
    }
}

// ---- deaths ---------------------------------------------------------------------------------------

// A second death report of an AI (its watcher pointed at the manager again after the first) and
// a report of an AI the manager never spawned answer false and report the assertion; neither
// sends AI_KILLED.
TEST_F(EncounterTest, DoubleKillReportGivesItsAssertion) {
    Load(Level(Node("mgr", "pHell_SpawnManager",
                    R"("totalSpawnCount": 1, "maxSpawnSize": 1, "minSpawnDelay": 0.1, "maxSpawnDelay": 0.1,
                        "spawnerList": )" + SpawnerList(2)) +
               Spawners(2) + EventWatchers("mgr") + R"(, { "name": "stray", "class": "kvAI2" })"));
    RunUntil(10);
    Activate("mgr");
    ASSERT_TRUE(RunUntilTrue(200, [&] { return Living().size() == 2; }));  // the stray and the spawn
    qohost::Entity* spawned = Living()[0]->name == "stray" ? Living()[1] : Living()[0];
    kvQOObject* watcher = Object(spawned->name.c_str(), "pHell_ActiveAi");
    ASSERT_NE(watcher, nullptr);
    EXPECT_EQ(Field<uint32_t>(watcher, kActiveAiManager), Handle("mgr"));
    Kill(spawned);
    EXPECT_EQ(Field<uint32_t>(watcher, kActiveAiManager), 0u) << "cleared by the first report";
    watcher->Entry_OnDeath(0);  // the same death delivered again: nothing to report
    EXPECT_EQ(Calls(".Activate(ev_1").size(), 1u);
    EXPECT_TRUE(Console("Assertion failed").empty());

    const uint32_t manager = Handle("mgr");
    std::memcpy(reinterpret_cast<char*>(watcher) + kActiveAiManager, &manager, sizeof manager);
    watcher->Entry_OnDeath(0);
    const uint32_t strayIndex = world->AddScriptObject(Ent("stray"), "pHell_ActiveAi");
    kvQOObject* stray = world->ScriptObject(Handle("stray"), strayIndex);
    std::memcpy(reinterpret_cast<char*>(stray) + kActiveAiManager, &manager, sizeof manager);
    stray->Entry_OnDeath(0);
    EXPECT_EQ(Console("Assertion failed: manager.AiKilled( self.GetSpawnId() )").size(), 2u) << ConsoleText();
    EXPECT_EQ(Calls(".Activate(ev_1").size(), 1u) << "no second AI_KILLED";
    EXPECT_EQ(ManagerField("mgr", kNumKilled), 1);
}

// ---- encounters -----------------------------------------------------------------------------------

// An encounter over spawn managers without spawners (nothing spawns, the shares stay as given):
// players stand at x = 0, 100, ...; volume "west" holds x below 350, "east" the rest.
std::string EncounterLevel(int players, int killsPerPlayer, int sizePerPlayer, bool twoManagers) {
    std::string json = R"({ "players": [ )";
    for (int p = 0; p < players; ++p)
        json += std::string(p ? ", " : "") + R"({ "name": "player)" + std::to_string(p + 1) + R"(", "origin": [)" +
                std::to_string(100 * p) + ", 0, 0] }";
    json += R"( ], "entities": [
      { "name": "west", "class": "kvVolume", "mins": [-50, -50, -50], "maxs": [350, 50, 50] },
      { "name": "east", "class": "kvVolume", "mins": [350, -50, -50], "maxs": [5000, 50, 50] })";
    json += Node("enc", "pHell_EncounterManager",
                 R"("numKillsPerPlayer": )" + std::to_string(killsPerPlayer) + R"(, "spawnSizePerPlayer": )" +
                     std::to_string(sizePerPlayer) + R"(, "linkedTo": )" +
                     (twoManagers ? R"(["m_west", "m_east"])" : R"(["m_west"])"));
    json += Node("m_west", "pHell_SpawnManager", R"("playerCheckVolume": "west")");
    if (twoManagers) json += Node("m_east", "pHell_SpawnManager", R"("playerCheckVolume": "east")");
    return json + " ] }";
}

TEST_F(EncounterTest, TargetsScaleWithThePlayersAndShareOut) {
    struct Row {
        const char* what;
        int players, kills, size;
        bool twoManagers;
        int westToSpawn, westSize, eastToSpawn, eastSize;
    };
    const Row rows[] = {
        {"one player: 10 kills, 4 alive", 1, 10, 4, false, 10, 4, 0, 0},
        {"four players: 30 kills, 12 alive limited to 8", 4, 10, 4, false, 30, 8, 0, 0},
        {"10 to spawn and 5 places over two managers", 7, 2, 1, true, 5, 2, 5, 3},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        Load(EncounterLevel(row.players, row.kills, row.size, row.twoManagers));
        RunUntil(10);
        Activate("enc");
        RunUntil(12);
        EXPECT_EQ(ManagerField("m_west", kNumToSpawn), row.westToSpawn);
        EXPECT_EQ(ManagerField("m_west", kSpawnSize), row.westSize);
        if (row.twoManagers) {
            EXPECT_EQ(ManagerField("m_east", kNumToSpawn), row.eastToSpawn);
            EXPECT_EQ(ManagerField("m_east", kSpawnSize), row.eastSize);
        }
        // The encounter's own totals combine its managers'.
        kvQOObject* enc = Object("enc", "pHell_EncounterManager");
        EXPECT_EQ(Field<int32_t>(enc, 184), row.westToSpawn + row.eastToSpawn);
        EXPECT_EQ(Field<int32_t>(enc, 188), row.westSize + row.eastSize);
        EXPECT_NE(ThreadStartedOn("enc", "EncounterLoop"), 0u);
        EXPECT_EQ(ThreadEnd(ThreadStartedOn("enc", "EncounterLoop")), "");
        StartOver();
    }
}

// A player leaves after the encounter's managers have spawned for two: the smaller kill target
// is already spawned, and the last (here only) manager's share to spawn is 0, never negative,
// so its ALL_AI_KILLED still follows its last kill.
TEST_F(EncounterTest, APlayerLeavingLeavesNothingNegativeToSpawn) {
    Load(R"({ "seed": 5, "entityDefs": { "monster/imp": { "class": "kvAI2" } },
        "players": [ { "name": "player1", "origin": [0, 0, 0] }, { "name": "player2", "origin": [100, 0, 0] } ],
        "entities": [ { "name": "west", "class": "kvVolume", "mins": [-50, -50, -50], "maxs": [350, 50, 50] })" +
         Node("enc", "pHell_EncounterManager", R"("numKillsPerPlayer": 2, "spawnSizePerPlayer": 2, "linkedTo": ["m_west"])") +
         Node("m_west", "pHell_SpawnManager",
              R"("playerCheckVolume": "west", "minSpawnDelay": 0.05, "maxSpawnDelay": 0.1, "spawnerList": )" + SpawnerList(2)) +
         Spawners(2) + EventWatchers("m_west") + " ] }");
    RunUntil(10);
    Activate("enc");
    ASSERT_TRUE(RunUntilTrue(300, [&] { return Living().size() == 3; }));  // kill target 3 for two players
    EXPECT_EQ(ManagerField("m_west", kNumToSpawn), 0);
    world->RemoveEntity(Handle("player2"));
    RunUntil(static_cast<int32_t>(world->Frame()) + 70);  // a pass of the encounter: kill target 2
    EXPECT_EQ(ManagerField("m_west", kNumToSpawn), 0);
    EXPECT_EQ(ManagerField("m_west", kSpawnSize), 2);
    for (int i = 0; i < 3; ++i) Kill(Living()[0]);
    RunUntil(static_cast<int32_t>(world->Frame()) + 2);
    // The new share (0 to spawn, 2 alive) restarts the loop, which ends at once.
    EXPECT_EQ(Events(), "START SPAWNED SPAWNED SPAWNED STOPPED ALL_SPAWNED STOPPED ALL_SPAWNED "
                        "KILLED KILLED KILLED ALL_KILLED");
}

TEST_F(EncounterTest, OnlyTheTopOfItsJobTwoTreeRunsAnEncounter) {
    Load(R"({ "players": [ { "name": "player1" } ], "entities": [ { "name": "door", "class": "kvMover" })" +
         Node("enc1", "pHell_EncounterManager", R"("linkedTo": ["enc2"])") +
         Node("enc2", "pHell_EncounterManager", R"("linkedTo": [])") + " ] }");
    RunUntil(10);
    Activate("enc2");
    RunUntil(12);
    EXPECT_EQ(ThreadStartedOn("enc2", "EncounterLoop"), 0u) << "enc1 manages job 2 for enc2";
    Activate("enc1");
    RunUntil(14);
    EXPECT_NE(ThreadStartedOn("enc1", "EncounterLoop"), 0u);
}

// With players left to place and no job-2 slave to place them with, the encounter stops.
TEST_F(EncounterTest, AnEncounterWithoutSpawnManagersStops) {
    Load(R"({ "players": [ { "name": "player1" } ], "entities": [ { "name": "door", "class": "kvMover" })" +
         Node("enc", "pHell_EncounterManager", R"("numKillsPerPlayer": 3)") + " ] }");
    RunUntil(10);
    Activate("enc");
    RunUntil(12);
    const uint32_t loop = ThreadStartedOn("enc", "EncounterLoop");
    ASSERT_NE(loop, 0u);
    EXPECT_NE(ThreadEnd(loop), "");
}

// ---- the tables an editor reads -------------------------------------------------------------------

TEST_F(EncounterTest, ClassesSizesRowsEventsAndSlots) {
    Load(Level(""));
    ExpectObjectSizes({{"pHell_Spawner", 176}, {"pHell_SpawnCluster", 240}, {"pHell_SpawnManager", 312},
                       {"pHell_ActiveAi", 24}, {"pHell_CombatManager", 176}, {"pHell_CombatStage", 176},
                       {"phCombatHintGroup", 176}});
    const std::map<std::string, std::vector<std::string>> rows = {
        {"pHell_Spawner", {"linkedTo"}},
        {"pHell_SpawnCluster", {"minSpawnDelay", "maxSpawnDelay", "spawnerList", "linkedTo"}},
        {"pHell_SpawnManager",
         {"totalSpawnCount", "maxSpawnSize", "playerCheckVolume", "minSpawnDelay", "maxSpawnDelay", "spawnerList",
          "linkedTo"}},
        {"pHell_EncounterManager", {"numKillsPerPlayer", "spawnSizePerPlayer", "linkedTo"}},
        {"pHell_CombatStage", {"linkedTo"}},
    };
    for (const auto& [cls, names] : rows) {
        const qoPropertyInfo* table = api->GetPropertyTable(cls.c_str());
        ASSERT_NE(table, nullptr) << cls;
        std::vector<std::string> got;
        for (; table->name; ++table) got.push_back(table->name);
        EXPECT_EQ(got, names) << cls;
    }
    EXPECT_EQ(api->GetPropertyTable("pHell_SpawnManager")[2].offset, 248u);
    const qoPropertyInfo* info = api->GetPropertyTable("pHell_EncounterManager::encounterInfo_t");
    ASSERT_NE(info, nullptr);
    EXPECT_STREQ(info[4].name, "timeFinish");
    EXPECT_EQ(info[4].offset, 16u);

    // Editor lines: the manager repeats the network lines four times, then the cluster's own.
    std::vector<std::string> manager;
    for (const char* const* s = api->GetEditorMetadata("pHell_SpawnManager"); s && *s; ++s) manager.push_back(*s);
    ASSERT_EQ(manager.size(), 16u);
    EXPECT_EQ(manager[8], "string { string = 'Spawn Cluster'; color = cyan; offset = ( 12 -4 0 ); showAlways = true; }");
    EXPECT_EQ(manager[15], "targetLine { target = playerCheckVolume; color = orange; showAlways = false; }");

    struct Events {
        const char* cls;
        bool onSignal, onActivate, onDeath;
    };
    for (const Events e : {Events{"pHell_Spawner", true, false, false}, Events{"pHell_SpawnCluster", true, true, false},
                           Events{"pHell_SpawnManager", true, true, false},
                           Events{"pHell_EncounterManager", false, true, false},
                           Events{"pHell_MoveKey", false, true, false},
                           Events{"pHell_MovingPlatform", false, true, false},
                           Events{"pHell_CombatManager", true, false, false}, Events{"pHell_ActiveAi", false, false, true}}) {
        kvQOObject* object = api->CreateObject(e.cls);
        ASSERT_NE(object, nullptr) << e.cls;
        EXPECT_EQ(object->HandlesEvent("OnSignal"), e.onSignal) << e.cls;
        EXPECT_EQ(object->HandlesEvent("onactivate"), e.onActivate) << e.cls;
        EXPECT_EQ(object->HandlesEvent("OnDeath"), e.onDeath) << e.cls;
        EXPECT_EQ(object->IsClass("PHELL_SPAWNER"), std::strncmp(e.cls, "pHell_Spawn", 11) == 0) << e.cls;
        object->Destroy(1);
    }
}

// Slot 93 of a spawner: -1 when the host says it cannot spawn, else the host's wait.
TEST_F(EncounterTest, SpawnerSlotTimeTillAvailable) {
    Load(Level(Node("clu", "pHell_SpawnCluster", R"("spawnerList": ["s1", "bare"])") + Spawners(1, R"("spawnCooldownMs": 500)") +
               R"(, { "name": "bare", "class": "kvTarget_Spawn" })"));
    RunUntil(10);
    kvQOObject* s1 = Object("s1", "pHell_Spawner");
    kvQOObject* bare = Object("bare", "pHell_Spawner");
    ASSERT_NE(s1, nullptr);
    ASSERT_NE(bare, nullptr);
    EXPECT_EQ(CallSlot<int32_t>(s1, kTimeTillAvailableSlot, 0u), 0);
    EXPECT_EQ(CallSlot<int32_t>(bare, kTimeTillAvailableSlot, 0u), -1);
    Activate("s1");  // the host spawns: busy for 500 ms
    EXPECT_EQ(CallSlot<int32_t>(s1, kTimeTillAvailableSlot, 0u), 500);
    EXPECT_EQ(CallSlot<int32_t>(Object("clu", "pHell_SpawnCluster"), kTimeTillAvailableSlot, 0u), 500);
    EXPECT_EQ(Console("bare currently has no entity def referencing it by default.").size(), 1u);
}

}  // namespace
