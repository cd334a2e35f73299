#include "scripts/props/SlidingDoorVolume.h"

#include "core/qoVector.h"

namespace {

// Indicator colours (red, green, blue).
constexpr qoVector kIdle = {0.9490196f, 0.9176471f, 0.7019608f};
constexpr qoVector kGranted = {0.6431373f, 1.0f, 0.4784314f};
constexpr qoVector kDenied = {0.9921569f, 0.1372549f, 0.0196078f};

void SetIndicator(const qoEntity& light, const qoVector& rgb) {
    light.SetLightParms(rgb.x, rgb.y, rgb.z, 1.0f);
}

void MoveLeaf(const qoEntity& leaf, const qoVector& to) {
    leaf.Speed(80.0f);
    leaf.AccelTime(0.15f);
    leaf.DecelTime(0.15f);
    leaf.MoveToPos(to);
}

}  // namespace

void SlidingDoorVolume::Init() {
    leftClosed = leftDoor.GetWorldOrigin();
    rightClosed = rightDoor.GetWorldOrigin();
    SetIndicator(accessIndicator, kIdle);
}

void SlidingDoorVolume::OnEnter(const qoEntity&) {
    if (accessLevel >= 1) {
        SetIndicator(accessIndicator, kDenied);
        entity.StartSoundShader(accessDenySoundDecl, 0);
        return;
    }
    entity.StartSoundShader(accessGrantSoundDecl, 0);
    SetIndicator(accessIndicator, kGranted);
    entity.StartSoundShader(openSoundDecl, 0);
    MoveLeaf(leftDoor, leftClosed + left_extent);
    MoveLeaf(rightDoor, rightClosed + right_extent);
}

void SlidingDoorVolume::OnExit(const qoEntity&) {
    SetIndicator(accessIndicator, kIdle);
    if (accessLevel >= 1) return;
    entity.StartSoundShader(closeSoundDecl, 0);
    MoveLeaf(leftDoor, leftClosed);
    MoveLeaf(rightDoor, rightClosed);
}
