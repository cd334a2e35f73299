#include "scripts/designer/healthDrop.h"

#include "core/qoDiagnostics.h"
#include "hostcalls/qoObjectRef.h"
#include "core/qoVector.h"
#include "object/qoThreads.h"
#include "runtime/qoWorldUtil.h"

namespace {

constexpr float kDropHeight = 64.0f;     // pickups appear this far over the monster's origin
constexpr float kDropSpread = 0.3f;      // seconds over which one drop spawns its pickups
constexpr float kSettleSeconds = 1.0f;   // a new pickup rests this long before it may move
constexpr float kDamping = 0.92f;        // velocity kept from one frame to the next
constexpr float kAttraction = 125.0f;    // pull toward the player, divided by distance squared
constexpr float kChestHeight = 50.0f;    // pickups home in on this point over the player

// The pool on the world (found, not created).
qoObject<healthDropWorld> WorldPool() {
    qoObject<healthDropWorld> pool;
    pool.Bind(qoEntity("world"));
    return pool;
}

// Adds to the pool; a missing pool is the assertion.
void ChangePool(float delta) {
    if (healthDropWorld* pool = WorldPool().Get())
        pool->pool += delta;
    else
        qoAssertFailed("0");
}

float NowSeconds() { return static_cast<float>(qoSys->GameTimeMs()) * 0.001f; }

// Keeps the gui on the pickup, facing the player's view.
void Follow(const qoEntity& pickup, const qoEntity& gui) {
    gui.SetOrigin(pickup.GetOrigin());
    gui.SetAngles(qoGetPlayer1().GetViewAngles(true));
}

}  // namespace

// ---- healthDrop ----------------------------------------------------------------------------

void healthDrop::Init() {
    qoObject<healthDropWorld> pool;
    pool.Bind(qoEntity("world"), 1);
    for (const kvDeclEntityDef* def : {small01, small02, small03}) smallDefs.Append(def);
    for (const kvDeclEntityDef* def : {large01, large02, large03, large04, large05, large06})
        largeDefs.Append(def);
}

float healthDrop::PlayerPercent() const {
    const qoEntity player = qoGetPlayer1();
    const float health = player.GetPlayerHealth();
    const float maxHealth = player.GetPlayerMaxHealth();
    const float shields = player.GetPlayerShields();
    const float maxShields = player.GetPlayerMaxShields();
    const float total = maxShields + maxHealth;
    const float pool = WorldPool().Read(&healthDropWorld::pool);
    // Without a maximum there is nothing to measure against: count the player as empty.
    if (!(total > 0.0f)) return 0.0f;
    return (pool * 0.01f * total + shields + health) / total * 100.0f;
}

void healthDrop::OnDeath(const qoEntity&) {
    if (dropped) return;
    dropped = true;
    const float percent = PlayerPercent();
    bool drop = percent <= lowPercent;
    if (!drop && percent <= highPercent) {
        const float frac = (percent - lowPercent) / (highPercent - lowPercent);
        drop = 1.0f - frac >= qoSys->RandomFloat();
    }
    if (!drop) return;
    // The pickups come one after the other: a death delivered outside any script thread drops
    // them from a thread of its own.
    if (qoCurrentThreadId() == 0)
        QO_THREAD(Drop, percent);
    else
        Drop(percent);
}

void healthDrop::Drop(float percent) {
    const bool large = largeBelowPercent >= percent;
    const int32_t count = large ? largeCount : smallCount;
    const qoList<const kvDeclEntityDef*>& defs = large ? largeDefs : smallDefs;
    const float health = large ? largeHealth : smallHealth;
    const kvDeclEntityDef* guiDef = large ? largeGui : smallGui;
    if (count < 1) return;
    for (int32_t i = 0; i < count; ++i) {
        const int32_t idx = i % count;
        if (idx >= defs.Num()) break;
        const qoEntity pickup(qoSys->SpawnEntityFromDef(defs[idx]));
        const qoEntity gui(qoSys->SpawnEntityFromDef(guiDef));
        pickup.SetOrigin(entity.GetOrigin() + qoVector{0.0f, 0.0f, kDropHeight});
        qoObject<healthPickup> life;
        life.Bind(pickup, 1);
        if (healthPickup* p = life.Get())
            p->amount = health / static_cast<float>(count);
        else
            qoAssertFailed("0");
        gui.SetOrigin(pickup.GetOrigin());
        pickup.Activate(qoEntity());
        QO_THREAD_ON(pickup, healthPickup, Run, gui);
        qoWait(kDropSpread / static_cast<float>(count));
    }
}

// ---- healthPickup --------------------------------------------------------------------------

void healthPickup::Run(qoEntity gui) {
    const float share = amount;
    ChangePool(share);
    qoWaitFrame();
    qoWaitFrame();
    entity.StartSoundShader(dropSnd, 0);
    const float t0 = NowSeconds();

    while (NowSeconds() < t0 + kSettleSeconds) {
        Follow(entity, gui);
        qoWaitFrame();
    }

    for (;;) {
        const float d = qoLength(entity.GetOrigin() - qoGetPlayer1().GetOrigin());
        if (d <= attractRadius) break;
        if (NowSeconds() > t0 + lifetime) {
            entity.Remove();
            if (gui.IsValid()) gui.Remove();
            ChangePool(-share);
            return;
        }
        Follow(entity, gui);
        qoWaitFrame();
    }

    qoVector p = entity.GetOrigin();
    qoVector v{};
    for (;;) {
        const qoVector target = qoGetPlayer1().GetOrigin() + qoVector{0.0f, 0.0f, kChestHeight};
        const qoVector delta = target - entity.GetOrigin();
        const float d = qoLength(delta);
        if (d <= pickupRadius) break;
        v *= kDamping;
        if (d <= attractRadius && d > 0.0f) v += delta * (kAttraction / (d * d));
        p += v;
        entity.SetOrigin(p);
        Follow(entity, gui);
        qoWaitFrame();
    }

    const qoEntity player = qoGetPlayer1();
    player.StartSoundShader(pickupSnd, 0);
    entity.Remove();
    if (gui.IsValid()) gui.Remove();
    const float maxHealth = player.GetPlayerMaxHealth();
    const float maxShields = player.GetPlayerMaxShields();
    player.IncreaseHealth((maxHealth + maxShields) * share * 0.01f);
    ChangePool(-share);
}
