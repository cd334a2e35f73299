// Quorin script module: the host event table.
//
// Host entry slot n (2 to 40) of kvQOObject takes raw host values and forwards to script
// handler slot n + 48 of the module's object base. One row per event, in slot order:
//   X(entrySlot, Identifier, "EventName" or nullptr when no name is in use, Shape)
// Shapes: E entity; N nothing; EEB entity, entity, 8-bit flag; EF entity, float; S text;
//         I 32-bit integer; EE entity, entity.
// At the host entry an entity is a uint32_t handle and a text a const char*.
// Rows named SlotN (no event name) are unused: no script class handles them and a host never
// calls them; they keep the later slots in place. docs/host-contract.md ("Events") gives each
// event's arguments and when an engine sends it.
#pragma once

#define QO_EVENT_TABLE(X)                                             \
    X(2, OnActivate, "OnActivate", E)                                 \
    X(3, OnTrigger, "OnTrigger", E)                                   \
    X(4, Slot4, nullptr, E)                                           \
    X(5, Slot5, nullptr, N)                                           \
    X(6, Slot6, nullptr, N)                                           \
    X(7, Slot7, nullptr, EEB)                                         \
    X(8, OnGoalReach, "OnGoalReach", E)                               \
    X(9, Slot9, nullptr, E)                                           \
    X(10, OnDamage, "OnDamage", EF)                                   \
    X(11, OnDeath, "OnDeath", E)                                      \
    X(12, OnLeftGoal, "OnLeftGoal", E)                                \
    X(13, OnReachGoal, "OnReachGoal", E)                              \
    X(14, Slot14, nullptr, E)                                         \
    X(15, Slot15, nullptr, E)                                         \
    X(16, Slot16, nullptr, E)                                         \
    X(17, Slot17, nullptr, EE)                                        \
    X(18, Slot18, nullptr, EE)                                        \
    X(19, OnFirstThink, "OnFirstThink", N)                            \
    X(20, OnActivateHordeEnemyTracking, "OnActivateHordeEnemyTracking", N) \
    X(21, OnActivateAIFollowEntity, "OnActivateAIFollowEntity", EF)   \
    X(22, OnAnimNotify, "OnAnimNotify", S)                            \
    X(23, OnAnimEnd, "OnAnimEnd", N)                                  \
    X(24, OnAnimStart, "OnAnimStart", N)                              \
    X(25, Slot25, nullptr, S)                                         \
    X(26, OnTargetSpawn, "OnTargetSpawn", E)                          \
    X(27, OnEnter, "OnEnter", E)                                      \
    X(28, OnExit, "OnExit", E)                                        \
    X(29, OnUse, "OnUse", E)                                          \
    X(30, OnControlActivated, "OnControlActivated", E)                \
    X(31, OnControlDeactivated, "OnControlDeactivated", E)            \
    X(32, OnHackFailed, "OnHackFailed", E)                            \
    X(33, OnHackSucceeded, "OnHackSucceeded", E)                      \
    X(34, OnDestroyed, "OnDestroyed", N)                              \
    X(35, OnPoweredDown, "OnPoweredDown", N)                          \
    X(36, OnPoweredUp, "OnPoweredUp", N)                              \
    X(37, OnWaveActivate, "OnWaveActivate", I)                        \
    X(38, OnChangeMusicLevel, "OnChangeMusicLevel", I)                \
    X(39, OnBerserkStart, "OnBerserkStart", E)                        \
    X(40, OnBerserkStop, "OnBerserkStop", E)

// Raw parameter lists of the host entries, by shape.
#define QO_ENTRY_PARAMS_E uint32_t entity
#define QO_ENTRY_PARAMS_N
#define QO_ENTRY_PARAMS_EEB uint32_t entity, uint32_t other, bool flag
#define QO_ENTRY_PARAMS_EF uint32_t entity, float value
#define QO_ENTRY_PARAMS_S const char* text
#define QO_ENTRY_PARAMS_I int32_t value
#define QO_ENTRY_PARAMS_EE uint32_t entity, uint32_t other
