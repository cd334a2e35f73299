// SlidingDoorVolume: on a trigger volume in front of a double sliding door. Something entering
// opens the two leaves when access is granted and shows the state on an indicator light;
// something leaving closes them again. There is no count of occupants: the first to leave
// closes the doors.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class SlidingDoorVolume : public kvQuorinObject {
    QO_SCRIPT_CLASS(SlidingDoorVolume, kvQuorinObject)
    QO_PROPERTIES(QO_PROPERTY(openSoundDecl), QO_PROPERTY(closeSoundDecl),
                  QO_PROPERTY(accessDenySoundDecl), QO_PROPERTY(accessGrantSoundDecl),
                  QO_PROPERTY(accessIndicator), QO_PROPERTY(leftDoor), QO_PROPERTY(rightDoor),
                  QO_PROPERTY(left_extent, "Move to position for the left door"),
                  QO_PROPERTY(right_extent, "Move tp position for the right door"),
                  QO_PROPERTY(accessLevel, "Type of access required for the door"))
    QO_DECLS(QO_DECL(openSoundDecl, ""), QO_DECL(closeSoundDecl, ""),
             QO_DECL(accessDenySoundDecl, ""), QO_DECL(accessGrantSoundDecl, ""))
    QO_EVENTS("OnEnter", "OnExit")

public:
    void Init() override;
    void OnEnter(const qoEntity& entering) override;
    void OnExit(const qoEntity& leaving) override;

    const kvSoundShader* openSoundDecl = nullptr;
    const kvSoundShader* closeSoundDecl = nullptr;
    const kvSoundShader* accessDenySoundDecl = nullptr;
    const kvSoundShader* accessGrantSoundDecl = nullptr;
    qoEntity accessIndicator;  // the light
    qoEntity leftDoor;         // the two movers
    qoEntity rightDoor;
    qoVector left_extent{};    // added to a leaf's closed position to open it
    qoVector right_extent{};
    int32_t accessLevel = 0;   // 1 or more: access denied
    qoVector leftClosed{};     // the leaves' world origins when Init ran
    qoVector rightClosed{};
};

static_assert(offsetof(SlidingDoorVolume, openSoundDecl) == 16);
static_assert(offsetof(SlidingDoorVolume, accessGrantSoundDecl) == 40);
static_assert(offsetof(SlidingDoorVolume, accessIndicator) == 48);
static_assert(offsetof(SlidingDoorVolume, leftDoor) == 52);
static_assert(offsetof(SlidingDoorVolume, rightDoor) == 56);
static_assert(offsetof(SlidingDoorVolume, left_extent) == 60);
static_assert(offsetof(SlidingDoorVolume, right_extent) == 72);
static_assert(offsetof(SlidingDoorVolume, accessLevel) == 84);
static_assert(offsetof(SlidingDoorVolume, leftClosed) == 88);
static_assert(offsetof(SlidingDoorVolume, rightClosed) == 100);
static_assert(sizeof(SlidingDoorVolume) == 112);
