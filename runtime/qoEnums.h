// Script enums: value lists, file-level enums, and the tables of enums whose classes are not in
// the module yet.
//
// A value list is an X-macro of (NAME, value) pairs in declaration order; a value may repeat an
// earlier one. A class declares its nested enum from the list with QO_ENUM, for example inside
// pHell_NetworkNode:
//   QO_ENUM(phNodeType_t, 0, QO_ENUM_VALUES_pHell_NetworkNode_phNodeType_t)
// and then removes its row from QO_PENDING_ENUMS (the registry refuses two tables of one name).
#pragma once

#include <array>

#include "object/qoClassTypes.h"

#define QO_ENUM_VALUES_pHell_NetworkNode_phNodeType_t(X)                                    \
    X(PH_BRAIN, 0) X(PH_ENCOUNTER_MANAGER, 1) X(PH_SPAWN_MANAGER, 2) X(PH_SPAWN_CLUSTER, 3) \
    X(PH_SPAWNER, 4) X(PH_ACTIVE_AI, 5) X(PH_COMBAT_MANAGER, 1) X(PH_COMBAT_STAGE, 2)       \
    X(PH_COMBAT_HINT_GROUP, 3) X(PH_MOVE_KEY, 0) X(PH_MOVER, 1) X(PH_MOVING_PLATFORM, 0)    \
    X(PH_CONVEYOR_SYSTEM, 1) X(PH_MUSIC_MANAGER, 0) X(PH_EVENT_COUNTER, 999)                \
    X(PH_TRANSMISSION, 999) X(PH_NODE, 1000)

#define QO_ENUM_VALUES_pHell_NetworkNode_phJobFunction_t(X)                                 \
    X(JOB_FUNCTION_MAP_MANAGEMENT, 0) X(JOB_FUNCTION_ENCOUNTER_MANAGEMENT, 1)               \
    X(JOB_FUNCTION_AI_MGMT, 2) X(JOB_FUNCTION_COMBAT_MGMT, 3) X(JOB_FUNCTION_SPAWN_AI, 4)   \
    X(JOB_FUNCTION_COMBAT_STAGING, 5) X(JOB_FUNCTION_MOVER, 6) X(JOB_FUNCTION_ROUTING, 7)   \
    X(JOB_FUNCTION_EVENTS, 8) X(JOB_FUNCTION_NETWORK, 9) X(JOB_FUNCTION_NONE, 10)

#define QO_ENUM_VALUES_pHell_EventTransceiver_gameplayEvent_t(X)                            \
    X(GAMEPLAY_EVENT_AI_SPAWNED, 0) X(GAMEPLAY_EVENT_AI_KILLED, 1)                          \
    X(GAMEPLAY_EVENT_START_SPAWNING, 2) X(GAMEPLAY_EVENT_ALL_SPAWNED, 3)                    \
    X(GAMEPLAY_EVENT_SPAWNING_STOPPED, 4) X(GAMEPLAY_EVENT_ALL_AI_KILLED, 5)                \
    X(GAMEPLAY_EVENT_NODE_AWAKENED, 6) X(GAMEPLAY_EVENT_START_ENCOUNTER, 7)                 \
    X(GAMEPLAY_EVENT_ENCOUNTER_FINISHED, 8) X(GAMEPLAY_EVENT_DEFAULT, 9)

#define QO_ENUM_VALUES_util_entityFlagActivate_activateBehavior_t(X) \
    X(SET, 0) X(CLEAR, 1) X(TOGGLE, 2)

#define QO_ENUM_VALUES_regression_testHideState_testHideState_t(X) \
    X(HIDE_STATE_IS_HIDDEN, 0) X(HIDE_STATE_IS_SHOWN, 1)

#define QO_ENUM_VALUES_setIntroHUDState_introHUDState_t(X)                                  \
    X(INTRO_HUD_OFF, 0) X(INTRO_HUD_HELMET_ONLY, 1) X(INTRO_HUD_CROSSHAIR_ONLY, 2)          \
    X(INTRO_HUD_CROSSHAIR_HEALTH, 3) X(INTRO_HUD_FULL, 4)

#define QO_ENUM_VALUES_LureDemon_lureDemonState_t(X)                                        \
    X(LURE_DEMON_STATE_CLOSED, 0) X(LURE_DEMON_STATE_WATCHING, 1)                           \
    X(LURE_DEMON_STATE_MOVING, 2) X(LURE_DEMON_STATE_SLAPPING, 3)                           \
    X(LURE_DEMON_STATE_SCREAMING, 4) X(LURE_DEMON_STATE_DYING, 5) X(LURE_DEMON_STATE_COUNT, 6)

#define QO_ENUM_VALUES_LureDemon_lureDemonCoverArea_t(X)                                    \
    X(LURE_DEMON_COVER_AREA_INVALID, -1) X(LURE_DEMON_COVER_AREA_FAR_RIGHT, 0)              \
    X(LURE_DEMON_COVER_AREA_MID_RIGHT, 1) X(LURE_DEMON_COVER_AREA_CENTER, 2)                \
    X(LURE_DEMON_COVER_AREA_MID_LEFT, 3) X(LURE_DEMON_COVER_AREA_FAR_LEFT, 4)               \
    X(LURE_DEMON_COVER_AREA_COUNT, 5)

#define QO_ENUM_VALUES_util_debugMetaData_drawingTestEnum1_t(X) \
    X(VALUE_1, 0) X(VALUE_2, 1) X(VALUE_3, 2)

#define QO_ENUM_VALUES_util_debugMetaData_drawingTestEnum2_t(X) \
    X(FLAG_1, 1) X(FLAG_2, 2) X(FLAG_3, 4) X(FLAG_1AND3, 5)

// Enums whose owning class is not in the module yet: X(Owner, Name, flags).
#define QO_PENDING_ENUMS(X)                          \
    X(regression_testHideState, testHideState_t, 0)  \
    X(LureDemon, lureDemonState_t, 0)                \
    X(LureDemon, lureDemonCoverArea_t, 0)

#define QO_PENDING_ENUM_TABLE(Owner, Name, Flags)                                             \
    inline constexpr qoEnumValue qoPendingValues_##Owner##_##Name[] = {                       \
        QO_ENUM_VALUES_##Owner##_##Name(QO_ENUM_ROW_) qoEnumValue{}};                         \
    inline constexpr qoEnumInfo qoPendingEnum_##Owner##_##Name = {#Owner "::" #Name, Flags,   \
                                                                  qoPendingValues_##Owner##_##Name};
QO_PENDING_ENUMS(QO_PENDING_ENUM_TABLE)
#undef QO_PENDING_ENUM_TABLE

#define QO_PENDING_ENUM_ADDRESS(Owner, Name, Flags) &qoPendingEnum_##Owner##_##Name,
inline constexpr auto qoPendingEnumTables =
    std::to_array<const qoEnumInfo*>({QO_PENDING_ENUMS(QO_PENDING_ENUM_ADDRESS)});
#undef QO_PENDING_ENUM_ADDRESS
