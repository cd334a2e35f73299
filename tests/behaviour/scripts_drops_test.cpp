// Health drops of the shared library in running levels: when a dying monster drops (by the
// player's share of health and shields, with the uncollected pool counted), which set it drops
// and what each pickup is worth, once per monster, the pool that expiry and collection empty
// again, and the pickups homing in on a player who comes near.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "host/methods/Methods.h"
#include "tests/behaviour/scripts_levels.h"

namespace scripts_test {
namespace {

constexpr size_t kLowPercentField = 16;  // healthDrop::lowPercent
constexpr size_t kPoolField = 16;        // healthDropWorld::pool
constexpr size_t kAmountField = 16;      // healthPickup::amount
constexpr size_t kLifetimeField = 28;    // healthPickup::lifetime
constexpr const char* kPickupPrefix = "prop/moveable/healthdrop/";

struct PlayerState {
    int32_t health, shields, maxHealth, maxShields;
};

// player1 at the origin; monsters with a healthDrop at `x` on the x axis, dying on the frames
// given (one death event per frame, monsters named imp_1, imp_2, ...).
std::string DropLevel(float x, const std::vector<std::pair<int, int>>& deaths, int monsters = 1) {
    std::string entities, timeline;
    for (int i = 1; i <= monsters; ++i)
        entities += std::string(i > 1 ? ", " : "") + R"({"name": "imp_)" + std::to_string(i) +
                    R"(", "class": "kvAI2", "origin": [)" + std::to_string(x) + R"(, 0, 0],
                    "objects": [{"class": "healthDrop"}]})";
    for (const auto& [frame, monster] : deaths)
        timeline += std::string(timeline.empty() ? "" : ", ") + R"({"frame": )" + std::to_string(frame) +
                    R"(, "event": "death", "entity": "imp_)" + std::to_string(monster) + R"("})";
    return R"({"players": [{"name": "player1"}], "entities": [)" + entities + R"(], "timeline": [)" + timeline + "]}";
}

class DropTest : public LevelTest {
protected:
    void SetPlayer(const PlayerState& p) {
        qohost::Entity& player = Ent("player1");
        player.health = p.health;
        player.shields = p.shields;
        player.maxHealth = p.maxHealth;
        player.maxShields = p.maxShields;
    }
    // Live pickups (without their gui movers), in spawn order.
    std::vector<qohost::Entity*> Pickups() const {
        std::vector<qohost::Entity*> out;
        for (qohost::Entity* e : world->Entities())
            if (e->name.rfind(kPickupPrefix, 0) == 0) out.push_back(e);
        return out;
    }
    // "large01 5" per live pickup: its def and its share in percent.
    std::vector<std::string> PickupShares() const {
        std::vector<std::string> out;
        for (qohost::Entity* e : Pickups()) {
            const std::string def = e->name.substr(std::strlen(kPickupPrefix), 7);
            kvQOObject* life = Object(e->name.c_str(), "healthPickup");
            char share[32];
            std::snprintf(share, sizeof share, "%g", life ? Field<float>(life, kAmountField) : -1.0f);
            out.push_back(def + " " + share);
        }
        return out;
    }
    float Pool() const {
        kvQOObject* pool = Object("world", "healthDropWorld");
        return pool ? Field<float>(pool, kPoolField) : -1.0f;
    }
};

std::vector<std::string> Shares(const char* set, int count, const char* share) {
    std::vector<std::string> out;
    for (int i = 1; i <= count; ++i) out.push_back(std::string(set) + "0" + std::to_string(i) + " " + share);
    return out;
}

struct DropCase {
    const char* name;
    PlayerState player;
    std::vector<std::string> shares;  // the pickups dropped
};

void PrintTo(const DropCase& c, std::ostream* os) { *os << c.name; }

class DropDecision : public DropTest, public ::testing::WithParamInterface<DropCase> {};

// The drops that do not depend on chance: at or below lowPercent always, above highPercent
// never; at or below largeBelowPercent the large set.
TEST_P(DropDecision, DropsTheSetThePlayersShareCallsFor) {
    const DropCase& c = GetParam();
    Load(DropLevel(1000.0f, {{5, 1}}));
    SetPlayer(c.player);
    RunUntil(40);
    EXPECT_EQ(PickupShares(), c.shares);
    EXPECT_EQ(Console("Assertion"), std::vector<std::string>{});
}

const DropCase kDropCases[] = {
    {"TwentyPercentDropsSixLargeOfFive", {40, 0, 100, 100}, Shares("large", 6, "5")},
    {"NinetyPercentNeverDrops", {100, 80, 100, 100}, {}},
    // A player without maximum health or shields has no share to measure: counted as empty,
    // not divided by zero (which never dropped).
    {"NoMaximumsCountAsEmpty", {10, 0, 0, 0}, Shares("large", 6, "5")},
};

INSTANTIATE_TEST_SUITE_P(Cases, DropDecision, ::testing::ValuesIn(kDropCases),
                         [](const ::testing::TestParamInfo<DropCase>& info) { return std::string(info.param.name); });

// Between the limits chance decides: at 50 % a drop happens when the host's random number is at
// most 1 - (50 - 25) / 55, and it is the small set of three pickups of 4 %.
TEST_F(DropTest, FiftyPercentDropsThreeSmallByChance) {
    const float probability = 1.0f - (50.0f - 25.0f) / 55.0f;
    int dropped = 0, kept = 0;
    for (uint32_t seed = 1; seed <= 12; ++seed) {
        if (seed > 1) StartOver();
        Load(DropLevel(1000.0f, {{5, 1}}));
        SetPlayer({100, 0, 100, 100});
        world->Seed(seed);
        const bool drops = probability >= world->RandomFloat();
        world->Seed(seed);
        RunUntil(40);
        EXPECT_EQ(PickupShares(), drops ? Shares("small", 3, "4") : std::vector<std::string>{}) << seed;
        (drops ? dropped : kept) += 1;
    }
    EXPECT_GT(dropped, 0);
    EXPECT_GT(kept, 0);
}

// A second death of the same monster drops nothing more.
TEST_F(DropTest, DropsOncePerMonster) {
    Load(DropLevel(1000.0f, {{5, 1}, {45, 1}}));
    SetPlayer({40, 0, 100, 100});
    RunUntil(80);
    EXPECT_EQ(PickupShares(), Shares("large", 6, "5"));
    EXPECT_EQ(Records("event", "OnDeath imp_1").size(), 2u);
}

// Uncollected pickups count as health the player has: after a large drop of 30 % a player at
// 10 % stands at 40 %, above largeBelowPercent, so the next monster drops the small set. Pickups
// whose lifetime is over vanish and give their shares back.
TEST_F(DropTest, PoolRaisesLaterPercentagesAndExpiryEmptiesIt) {
    Load(DropLevel(1000.0f, {{5, 1}, {50, 2}}, 2));
    SetPlayer({20, 0, 100, 100});
    // The second monster drops up to 45 %, so that chance plays no part.
    const float lowPercent = 45.0f;
    std::memcpy(reinterpret_cast<unsigned char*>(Object("imp_2", "healthDrop")) + kLowPercentField,
                &lowPercent, sizeof lowPercent);
    RunUntil(45);
    EXPECT_FLOAT_EQ(Pool(), 30.0f);
    RunUntil(80);
    std::vector<std::string> both = Shares("large", 6, "5");
    for (const std::string& s : Shares("small", 3, "4")) both.push_back(s);
    EXPECT_EQ(PickupShares(), both);
    EXPECT_FLOAT_EQ(Pool(), 42.0f);

    for (qohost::Entity* e : Pickups()) {
        const float lifetime = 2.0f;
        std::memcpy(reinterpret_cast<unsigned char*>(Object(e->name.c_str(), "healthPickup")) + kLifetimeField,
                    &lifetime, sizeof lifetime);
    }
    RunUntil(80 + 2000 / 16 + 10);
    EXPECT_TRUE(Pickups().empty());
    EXPECT_FLOAT_EQ(Pool(), 0.0f);
    EXPECT_EQ(Calls("IncreaseHealth"), std::vector<std::string>{});
    EXPECT_EQ(Ent("player1").health, 20);
}

// Near the player the pickups rest a second, then home in on a point 50 units over the player
// and are collected: each gives (maximum health + maximum shields) x its share, the pickup and
// its gui go away, and the pool is empty again.
TEST_F(DropTest, PickupsHomeInOnANearPlayerAndHeal) {
    Load(DropLevel(150.0f, {{5, 1}}));
    SetPlayer({40, 0, 100, 100});
    RunUntil(40);
    ASSERT_EQ(Pickups().size(), 6u);
    qohost::Entity* first = Pickups().front();
    const std::string name = first->name;
    EXPECT_EQ(Text(first->origin), "(150 0 64)");
    RunUntil(60);  // still settling
    EXPECT_EQ(Text(first->origin), "(150 0 64)");

    // Once it moves, each step brings it nearer to the player's chest.
    float last = 1e9f;
    int moves = 0;
    for (int32_t frame = 61; frame < 400; ++frame) {
        RunUntil(frame);
        const qohost::Entity* pickup = world->EntityByName(name);
        if (!pickup) break;  // collected
        const qoVector& o = pickup->origin;
        const float d = std::sqrt(o.x * o.x + o.y * o.y + (o.z - 50.0f) * (o.z - 50.0f));
        if (d < last - 0.001f) ++moves;
        EXPECT_LE(d, last + 0.001f) << frame;
        last = d;
    }
    EXPECT_GT(moves, 5);
    RunUntil(400);
    EXPECT_TRUE(Pickups().empty());
    EXPECT_EQ(Calls("player1.IncreaseHealth(10)").size(), 6u);
    EXPECT_EQ(Calls(".StartSoundShader(items/health/healthtape_pickup, 0)").size(), 6u);
    EXPECT_EQ(Ent("player1").health, 100);
    EXPECT_FLOAT_EQ(Pool(), 0.0f);
    for (const qohost::Entity* e : world->Entities()) EXPECT_EQ(e->name.find("healthdrop"), std::string::npos) << e->name;
}

}  // namespace
}  // namespace scripts_test
