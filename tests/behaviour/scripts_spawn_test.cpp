// The spawn manager of the shared library in running levels, with the host's spawn entities:
// how many AI it keeps alive and spawns in all, when doneSpawning and combatOver fire, the
// charger cycle, reuse delays and the last-spawn rule, the force-spawn fallback (also with no
// force spawns at all), the quiet log, the two spawn tools, and the layout an editor reads.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "host/methods/Events.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr int32_t kFrameMs = 16;
constexpr size_t kSpawnListField = 32;  // spawnManager::spawnList (num at +8)

// A spawn entity 1000 units ahead of player1 that reports its AI's deaths to "mgr".
std::string SpawnEntity(const std::string& name, const std::string& pointProperties, float y = 0.0f) {
    return R"({"name": ")" + name + R"(", "class": "kvTarget_Spawn", "origin": [1000, )" + std::to_string(y) +
           R"(, 0], "entityDefs": ["monster/imp"], "targets": ["mgr"], "objects": [{"class": "spawnPoint",
           "properties": {"bDontCheckFov": true)" + (pointProperties.empty() ? "" : ", " + pointProperties) + "}}]}";
}

// A fight: "mgr" with the manager's properties, activated on frame 2; imps living `lifetime` s.
std::string FightLevel(const std::string& managerProperties, const std::vector<std::string>& spawns,
                       double lifetime) {
    std::string entities;
    for (const std::string& s : spawns) entities += ", " + s;
    return R"({"players": [{"name": "player1"}],
        "entityDefs": {"monster/imp": {"class": "kvAI2", "args": {"lifetime": )" + std::to_string(lifetime) + R"(}}},
        "entities": [
          {"name": "mgr", "class": "kvTarget", "objects": [{"class": "spawnManager", "properties": {)" +
           managerProperties + R"(}}]},
          {"name": "over", "class": "kvTarget"}, {"name": "done", "class": "kvTarget"})" +
           entities + R"(],
        "timeline": [{"frame": 2, "event": "activate", "entity": "mgr", "by": "player1"}]})";
}

class SpawnTest : public LevelTest {
protected:
    // Spawned AI: (alive, all).
    std::pair<int, int> SpawnedCounts() const {
        int alive = 0, all = 0;
        for (const qohost::Entity* e : world->Entities()) {
            if (e->methods->spawnedBy == 0) continue;
            ++all;
            alive += e->dead ? 0 : 1;
        }
        return {alive, all};
    }
    // Two spawn points, one AI at a time, two in all, a charger after `chargerDelay` seconds.
    static std::string ChargerFight(const char* chargerDelay, double lifetime) {
        return FightLevel(std::string(R"("minSpawnDelay": 0, "maxSpawnCount": 1, "maxTotalSpawnCount": 2,
                                         "spawnList": ["s1", "s2"], "nextChargerDelay": )") + chargerDelay,
                          {SpawnEntity("s1", R"("reUseDelay": 0)"), SpawnEntity("s2", R"("reUseDelay": 0)", 64)},
                          lifetime);
    }
    // The names of the chargers picked so far, in order.
    std::vector<std::string> Chargers() const {
        std::vector<std::string> names;
        for (const std::string& line : Console("Selected next charger")) names.push_back(line.substr(line.rfind(' ') + 1));
        return names;
    }
    // Frames of the Activate calls on an entity ("over", "a", ...).
    std::vector<int> ActivateFrames(const std::string& entity) const {
        std::vector<int> frames;
        for (const std::string& call : Calls(entity + ".Activate("))
            if (call.substr(call.find(' ') + 1).rfind(entity + ".", 0) == 0) frames.push_back(std::stoi(call));
        return frames;
    }
};

// Never more than five alive; ten spawned in all; doneSpawning once after the tenth spawn;
// combatOver once, on the frame the tenth AI dies. Only the level 0 and 1 lines print.
TEST_F(SpawnTest, KeepsFiveAliveOfTenAndFiresDoneAndOverOnce) {
    const std::string point = R"("reUseDelay": 0.2)";
    Load(FightLevel(R"("minSpawnDelay": 0, "nextChargerDelay": -1, "spawnList": ["s1", "s2", "s3", "s4"],
                       "combatOver": "over", "doneSpawning": "done")",
                    {SpawnEntity("s1", point, -96), SpawnEntity("s2", point, -32), SpawnEntity("s3", point, 32),
                     SpawnEntity("s4", point, 96)},
                    3.0));
    int mostAlive = 0, tenthSpawn = -1, tenthDeath = -1;
    while (world->Frame() < 1500) {
        runner->Step();
        const auto [alive, all] = SpawnedCounts();
        mostAlive = std::max(mostAlive, alive);
        if (all == 10 && tenthSpawn < 0) tenthSpawn = static_cast<int>(world->Frame());
        if (all == 10 && alive == 0 && tenthDeath < 0) tenthDeath = static_cast<int>(world->Frame());
    }
    EXPECT_EQ(mostAlive, 5);
    EXPECT_EQ(SpawnedCounts().second, 10);
    ASSERT_GT(tenthDeath, 0);
    const std::vector<int> done = ActivateFrames("done");
    ASSERT_EQ(done.size(), 1u);
    EXPECT_GE(done[0], tenthSpawn);
    EXPECT_EQ(ActivateFrames("over"), std::vector<int>{tenthDeath});
    EXPECT_EQ(Console("Combat over"), std::vector<std::string>{std::to_string(tenthDeath) +
                                                                " Combat over, curTotalSpawnCount: 10"});
    EXPECT_EQ(Console("Done spawning").size(), 1u);
    for (const char* quiet : {"Death, curSpawnCount", "Spawn Request", "starting requestManager", "No time checks",
                              "No distance checks", "too soon"})
        EXPECT_EQ(Console(quiet), std::vector<std::string>{}) << quiet;
    EXPECT_EQ(ThreadStartedOn("mgr", "WaitForNextCharger"), 0u) << "no charger with nextChargerDelay -1";
}

// The first activation starts the charger cycle: after nextChargerDelay the last spawned AI
// becomes the charger (the role target is activated by it); when it dies a new one is picked.
TEST_F(SpawnTest, PicksAChargerAndReplacesItWhenItDies) {
    Load(ChargerFight("1", 2.0));
    RunUntil(400);
    const std::vector<std::string> chargers = Chargers();
    ASSERT_EQ(chargers.size(), 2u) << ::testing::PrintToString(Console());
    EXPECT_NE(chargers[0], chargers[1]);
    const std::vector<std::string> roleCalls = Calls("target/group/force_role");
    ASSERT_EQ(roleCalls.size(), 2u);
    EXPECT_NE(roleCalls[0].find(".Activate(" + chargers[0] + ")"), std::string::npos) << roleCalls[0];
    EXPECT_EQ(Console("Last charger dead.").size(), 2u);
    EXPECT_EQ(Console("No remaining active AI and combat is over.").size(), 1u);
}

// A charger that is removed rather than killed counts as dead: the next beat says so and a new
// charger is picked, without asking the removed entity anything.
TEST_F(SpawnTest, ARemovedChargerIsReplaced) {
    Load(ChargerFight("0.5", 30.0));
    RunUntil(60);
    const std::vector<std::string> chargers = Chargers();
    ASSERT_EQ(chargers.size(), 1u);
    world->RemoveEntity(Handle(chargers[0].c_str()));
    qohost::ActivateEntity(*world, Handle("mgr"), 0);  // the manager is told, as of a death
    RunUntil(200);
    EXPECT_EQ(Console("Last charger dead.").size(), 1u);
    EXPECT_EQ(Chargers().size(), 2u);
    EXPECT_EQ(Console("failed"), std::vector<std::string>{});
}

// A spawn entity of the list that is gone is passed over like one that fails its tests.
TEST_F(SpawnTest, ASpawnEntityThatIsGoneIsPassedOver) {
    Load(FightLevel(R"("minSpawnDelay": 0, "nextChargerDelay": -1, "maxSpawnCount": 1, "maxTotalSpawnCount": 2,
                       "spawnList": ["gone", "a"], "forceSpawnList": ["f"])",
                    {SpawnEntity("gone", ""), SpawnEntity("a", R"("reUseDelay": 0)", 64),
                     SpawnEntity("f", R"("reUseDelay": 0)", 128)},
                    1.0));
    world->RemoveEntity(Handle("gone"));
    RunUntil(1000);
    EXPECT_EQ(ActivateFrames("a").size(), 1u);
    EXPECT_EQ(ActivateFrames("f").size(), 1u) << "the second spawn after the ten-second search";
    EXPECT_EQ(Console("Assertion"), std::vector<std::string>{});
    EXPECT_EQ(ActivateFrames("over").size(), 0u);
}

// A spawn point with a reuse delay of 5 s is not used again within 5 s, and the spawn used last
// is never used twice in a row.
TEST_F(SpawnTest, ReuseDelayAndLastSpawnKeepSpawnPointsApart) {
    const std::string point = R"("reUseDelay": 5)";
    Load(FightLevel(R"("minSpawnDelay": 0, "nextChargerDelay": -1, "maxSpawnCount": 1, "maxTotalSpawnCount": 6,
                       "spawnList": ["a", "b"])",
                    {SpawnEntity("a", point), SpawnEntity("b", point, 64)}, 1.0));
    RunUntil(2500);
    std::map<int, std::string> uses;  // frame -> point
    for (const char* p : {"a", "b"})
        for (int f : ActivateFrames(p)) uses[f] = p;
    ASSERT_EQ(uses.size(), 6u);
    std::map<std::string, int> lastUse;
    std::string previous;
    for (const auto& [frame, p] : uses) {
        EXPECT_NE(p, previous) << "frame " << frame;
        if (lastUse.count(p)) {
            EXPECT_GE((frame - lastUse[p]) * kFrameMs, 5000) << p << " at frame " << frame;
        }
        lastUse[p] = frame;
        previous = p;
    }
    EXPECT_EQ(Console("force spawn"), std::vector<std::string>{});
}

struct ForceCase {
    const char* name;
    const char* forceList;
};

void PrintTo(const ForceCase& c, std::ostream* os) { *os << c.name; }

class ForceSpawn : public SpawnTest, public ::testing::WithParamInterface<ForceCase> {};

// With one spawn in spawnList the pick is always that spawn, which is the last spawn after its
// first use: after ten rounds of one second the search gives up and force-spawns. With no force
// spawns nothing is spawned and nothing is indexed out of range: the warning names the empty
// list and the request is given back.
TEST_P(ForceSpawn, GivesUpAfterTenSecondsWithOneSpawnPoint) {
    const ForceCase& c = GetParam();
    Load(FightLevel(std::string(R"("minSpawnDelay": 0, "nextChargerDelay": -1, "maxSpawnCount": 1,
                       "maxTotalSpawnCount": 3, "spawnList": ["a"], "forceSpawnList": [)") +
                        c.forceList + "]",
                    {SpawnEntity("a", R"("reUseDelay": 0)"), SpawnEntity("f", R"("reUseDelay": 0)", 500)}, 1.0));
    RunUntil(1500);
    const std::vector<int> a = ActivateFrames("a");
    ASSERT_FALSE(a.empty());
    const int firstDeath = a[0] + 1000 / kFrameMs + 1;  // the lifetime ends in this frame
    const std::vector<std::string> gaveUp = Console("took longer than 10 seconds");
    ASSERT_FALSE(gaveUp.empty());
    const int forced = std::stoi(gaveUp[0]);
    EXPECT_GE((forced - firstDeath) * kFrameMs, 10000);
    EXPECT_LE((forced - firstDeath) * kFrameMs, 10600);
    EXPECT_EQ(Console("Assertion"), std::vector<std::string>{});
    if (std::string(c.forceList).empty()) {
        EXPECT_EQ(ActivateFrames("f"), std::vector<int>{});
        EXPECT_FALSE(Console("No spawns in forceSpawnList.").empty());
        // The request that spawned nothing is given back (counts at 92 and 94) and made again.
        StartOver();
        Load(FightLevel(R"("minSpawnDelay": 0, "nextChargerDelay": -1, "maxSpawnCount": 1, "maxTotalSpawnCount": 3,
                           "spawnList": ["a"], "forceSpawnList": [])",
                        {SpawnEntity("a", R"("reUseDelay": 0)")}, 1.0));
        RunUntil(forced + 2);
        kvQOObject* manager = Object("mgr", "spawnManager");
        EXPECT_EQ(Field<int16_t>(manager, 92), 0) << "curSpawnCount";
        EXPECT_EQ(Field<int16_t>(manager, 94), 1) << "curTotalSpawnCount";
        EXPECT_EQ(SpawnedCounts().second, 1);
        EXPECT_EQ(ActivateFrames("over"), std::vector<int>{});
    } else {
        EXPECT_EQ(ActivateFrames("f"), std::vector<int>{forced});
        // The force spawn is now the last spawn, so "a" qualifies again at the next request.
        ASSERT_GE(a.size(), 2u);
        EXPECT_LE((a[1] - (forced + 1000 / kFrameMs + 1)) * kFrameMs, 600);
    }
}

const ForceCase kForceCases[] = {
    {"UsesTheForceSpawn", R"("f")"},
    {"WithoutForceSpawnsWarnsAndSpawnsNothing", ""},
};

INSTANTIATE_TEST_SUITE_P(Cases, ForceSpawn, ::testing::ValuesIn(kForceCases),
                         [](const ::testing::TestParamInfo<ForceCase>& info) { return std::string(info.param.name); });

// ---- the spawn tools -------------------------------------------------------------------------

// spawnAddSpawns moves its targets into the manager's spawnList, warning for each one that is
// gone and for a manager it cannot reach.
TEST_F(SpawnTest, AddSpawnsMovesItsTargetsIntoTheSpawnList) {
    struct Case {
        const char* manager;
        bool removeSecond;
        int listed;
        const char* warning;
    };
    const Case cases[] = {
        {"mgr", false, 2, nullptr},
        {"mgr", true, 1, "sp is Invalid from AddToSpawnList."},
        {"over", false, 0, "Invalid variable sm on spawnAddSpawns."},
        {"", false, 0, "Invalid entity spawn_manager on spawnAddSpawns."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.manager);
        StartOver();
        Load(std::string(R"({"players": [{"name": "player1"}],
            "entities": [
              {"name": "mgr", "class": "kvTarget", "objects": [{"class": "spawnManager"}]},
              {"name": "over", "class": "kvTarget"},
              {"name": "adder", "class": "kvTarget", "targets": ["s1", "s2"],
               "objects": [{"class": "spawnAddSpawns", "properties": {"spawn_manager": ")") +
             c.manager + R"("}}]},
              {"name": "s1", "class": "kvTarget_Spawn"}, {"name": "s2", "class": "kvTarget_Spawn"}],
            "timeline": [{"frame": 12, "event": "activate", "entity": "adder", "by": "player1"}]})");
        if (c.removeSecond) world->RemoveEntity(Handle("s2"));
        RunUntil(13);
        EXPECT_EQ(Field<int32_t>(Object("mgr", "spawnManager"), kSpawnListField + 8), c.listed);
        EXPECT_EQ(Ent("adder").targets.empty(), c.warning == nullptr || c.removeSecond);
        if (c.warning) {
            EXPECT_EQ(Console(c.warning).size(), 1u) << c.warning;
        }
        EXPECT_EQ(Console("Invalid").size(), c.warning ? 1u : 0u);
    }
}

// spawnTargetTester spawns through the host when the spawn is available (it has an entity def,
// or its reference has one), and says so either way.
TEST_F(SpawnTest, TargetTesterSpawnsWhenTheHostAllows) {
    Load(R"({"players": [{"name": "player1"}],
        "entityDefs": {"monster/imp": {"class": "kvAI2"}},
        "entities": [
          {"name": "tester", "class": "kvTarget",
           "objects": [{"class": "spawnTargetTester", "properties": {"targetToTest": "pit", "referenceSpawn": "ref"}}]},
          {"name": "tester2", "class": "kvTarget",
           "objects": [{"class": "spawnTargetTester", "properties": {"targetToTest": "pit", "referenceSpawn": "bare"}}]},
          {"name": "pit", "class": "kvTarget_Spawn", "spawnArgs": {"spawnCooldownMs": 1000}},
          {"name": "bare", "class": "kvTarget_Spawn"},
          {"name": "ref", "class": "kvTarget_Spawn", "entityDefs": ["monster/imp"]}],
        "timeline": [{"frame": 12, "event": "activate", "entity": "tester"},
                     {"frame": 20, "event": "activate", "entity": "tester2"}]})");
    RunUntil(21);
    EXPECT_EQ(Console("IsSpawnAvailable"),
              (std::vector<std::string>{"12 pit passed IsSpawnAvailableWithReference, so spawning\n",
                                        "20 pit failed IsSpawnAvailableWithReference\n"}));
    EXPECT_EQ(Calls("pit.SpawnEntity"), std::vector<std::string>{"12 pit.SpawnEntity(ref)"});
    EXPECT_EQ(SpawnedCounts().second, 1);
}

// ---- layout -------------------------------------------------------------------------------------

TEST_F(SpawnTest, ObjectSizesRowsAndTheRoleTargetDecl) {
    world->Attach(api);
    ExpectObjectSizes({{"spawnManager", 192}, {"spawnPoint", 56}, {"spawnAddSpawns", 24}, {"spawnTargetTester", 24}});

    kvQOObject* manager = api->CreateObject("spawnManager");
    ASSERT_NE(manager, nullptr);
    // Decl defaults (slot 47): the role target's entity def, at 152; then the zero row.
    const void* decls = manager->GetDeclDefaults();
    EXPECT_STREQ(Raw<const char*>(decls, 0), "kvDeclEntityDef");
    EXPECT_STREQ(Raw<const char*>(decls, 8), "targetDecl");
    EXPECT_STREQ(Raw<const char*>(decls, 16), "target/group/force_role");
    EXPECT_EQ(Raw<uint64_t>(decls, 24), 152u);
    const unsigned char zero[32] = {};
    EXPECT_EQ(std::memcmp(static_cast<const char*>(decls) + 32, zero, 32), 0);
    // The 64-bit times and the defaults the constructor writes.
    EXPECT_EQ(Raw<double>(manager, 96), -1.0) << "forceSpawnTime";
    EXPECT_EQ(Raw<double>(manager, 104), 0.0) << "nextSpawnTime";
    EXPECT_EQ(Raw<int16_t>(manager, 28), 5);
    EXPECT_EQ(Raw<int16_t>(manager, 30), 10);
    EXPECT_EQ(Raw<bool>(manager, 112), true) << "firstActivation";
    manager->Destroy(1);

    const char* rows = reinterpret_cast<const char*>(api->GetPropertyTable("spawnManager"));
    ASSERT_NE(rows, nullptr);
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 3, 0), "short");
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 3, 16), "maxSpawnCount");
    EXPECT_EQ(Raw<uint32_t>(rows + 40 * 3, 32), 28u);
    EXPECT_EQ(Raw<uint32_t>(rows + 40 * 3, 36), 2u);
    EXPECT_STREQ(Raw<const char*>(rows + 40 * 9, 16), "doneSpawning");
    EXPECT_EQ(Raw<uint32_t>(rows + 40 * 9, 32), 88u);
    EXPECT_EQ(Raw<const char*>(rows + 40 * 10, 16), nullptr);
    const char* const* editor = api->GetEditorMetadata("spawnManager");
    ASSERT_NE(editor, nullptr);
    EXPECT_STREQ(editor[2], "entityTypeRestriction { path = 'spawnList[x]'; allowedType = 'kvTarget_Spawn'; }");

    // A spawn point's distance tooltips say which bound each field is.
    const char* point = reinterpret_cast<const char*>(api->GetPropertyTable("spawnPoint"));
    ASSERT_NE(point, nullptr);
    EXPECT_STREQ(Raw<const char*>(point, 16), "minDistance");
    EXPECT_STREQ(Raw<const char*>(point, 24), "Minimum distance spawn is valid");
    EXPECT_STREQ(Raw<const char*>(point + 40, 16), "maxDistance");
    EXPECT_STREQ(Raw<const char*>(point + 40, 24), "Maximum distance spawn is valid. 0 for infinite distance.");
}

}  // namespace
}  // namespace scripts_test
