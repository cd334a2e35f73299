// Health drops: a monster's healthDrop spills health pickups when it dies, with a chance that
// falls as the player's combined health and armour rise; the world's healthDropWorld counts the
// health lying around uncollected; each pickup's healthPickup homes in on the player.
#pragma once

#include <cstddef>
#include <cstdint>

#include "core/qoList.h"
#include "object/qoClass.h"

class healthDrop : public kvQuorinObject {
    QO_SCRIPT_CLASS(healthDrop, kvQuorinObject)
    QO_DECLS(QO_DECL(smallGui, "func/mover/healthdrop/gui_sm"),
             QO_DECL(largeGui, "func/mover/healthdrop/gui_lg"),
             QO_DECL(small01, "prop/moveable/healthdrop/small01"),
             QO_DECL(small02, "prop/moveable/healthdrop/small02"),
             QO_DECL(small03, "prop/moveable/healthdrop/small03"),
             QO_DECL(large01, "prop/moveable/healthdrop/large01"),
             QO_DECL(large02, "prop/moveable/healthdrop/large02"),
             QO_DECL(large03, "prop/moveable/healthdrop/large03"),
             QO_DECL(large04, "prop/moveable/healthdrop/large04"),
             QO_DECL(large05, "prop/moveable/healthdrop/large05"),
             QO_DECL(large06, "prop/moveable/healthdrop/large06"))
    QO_EVENTS("OnDeath")

public:
    void Init() override;
    void OnDeath(const qoEntity& killer) override;

    // The player's standing in percent of maximum health plus maximum shields, counting the
    // uncollected pool as if it were already picked up; 0 for a player without either maximum.
    float PlayerPercent() const;
    // Spawns the small or large set of pickups over the entity, one every 0.3 / count seconds.
    void Drop(float percent);

    float lowPercent = 25.0f;        // at or below: always drop
    float highPercent = 80.0f;       // above: never drop
    float largeBelowPercent = 30.0f;  // at or below: the large set
    int32_t smallCount = 3;
    float smallHealth = 12.0f;  // percent shared by the small pickups
    int32_t largeCount = 6;
    float largeHealth = 30.0f;  // percent shared by the large pickups
    const kvDeclEntityDef* smallGui = nullptr;
    const kvDeclEntityDef* largeGui = nullptr;
    const kvDeclEntityDef* small01 = nullptr;
    const kvDeclEntityDef* small02 = nullptr;
    const kvDeclEntityDef* small03 = nullptr;
    const kvDeclEntityDef* large01 = nullptr;
    const kvDeclEntityDef* large02 = nullptr;
    const kvDeclEntityDef* large03 = nullptr;
    const kvDeclEntityDef* large04 = nullptr;
    const kvDeclEntityDef* large05 = nullptr;
    const kvDeclEntityDef* large06 = nullptr;
    bool dropped = false;
    qoList<const kvDeclEntityDef*> smallDefs;
    qoList<const kvDeclEntityDef*> largeDefs;
};

class healthDropWorld : public kvQuorinObject {
    QO_SCRIPT_CLASS(healthDropWorld, kvQuorinObject)

public:
    float pool = 0.0f;  // percent held by pickups that exist and have not been collected
};

class healthPickup : public kvQuorinObject {
    QO_SCRIPT_CLASS(healthPickup, kvQuorinObject)
    QO_DECLS(QO_DECL(dropSnd, "ui/prototype/hp_pickup_create"),
             QO_DECL(pickupSnd, "items/health/healthtape_pickup"))

public:
    // The pickup's life, started by healthDrop as "&healthPickup::Run": settle, idle until the
    // player comes near or the lifetime is over, then home in and be collected.
    void Run(qoEntity gui);

    float amount = 20.0f;  // percent of the player's maximum health plus maximum shields
    float pickupRadius = 30.0f;
    float attractRadius = 260.0f;
    float lifetime = 160.0f;  // seconds
    const kvSoundShader* dropSnd = nullptr;
    const kvSoundShader* pickupSnd = nullptr;
};

static_assert(offsetof(healthDrop, lowPercent) == 16);
static_assert(offsetof(healthDrop, largeHealth) == 40);
static_assert(offsetof(healthDrop, smallGui) == 48);
static_assert(offsetof(healthDrop, large06) == 128);
static_assert(offsetof(healthDrop, dropped) == 136);
static_assert(offsetof(healthDrop, smallDefs) == 144);
static_assert(offsetof(healthDrop, largeDefs) == 168);
static_assert(sizeof(healthDrop) == 192);
static_assert(offsetof(healthDropWorld, pool) == 16);
static_assert(sizeof(healthDropWorld) == 24);
static_assert(offsetof(healthPickup, amount) == 16);
static_assert(offsetof(healthPickup, lifetime) == 28);
static_assert(offsetof(healthPickup, dropSnd) == 32);
static_assert(offsetof(healthPickup, pickupSnd) == 40);
static_assert(sizeof(healthPickup) == 48);
