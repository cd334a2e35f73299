#include "scripts/designer/stateRelays.h"

namespace {

// Activates the picked entity when one is set and it still exists.
void Relay(const qoEntity& picked, const qoEntity& activator) {
    if (!picked.IsValid()) return;  // the null entity asks the host nothing
    picked.Activate(activator);
}

}  // namespace

void control_ActivateEntityOnStateChange::OnControlActivated(const qoEntity& by) { Relay(activatedEntity, by); }
void control_ActivateEntityOnStateChange::OnControlDeactivated(const qoEntity& by) { Relay(deactivatedEntity, by); }
void control_ActivateEntityOnStateChange::OnHackFailed(const qoEntity& by) { Relay(hackFailedEntity, by); }
void control_ActivateEntityOnStateChange::OnHackSucceeded(const qoEntity& by) { Relay(hackSucceededEntity, by); }

void turret_ActivateEntityOnStateChange::OnDestroyed() { Relay(destroyedEntity, qoEntity()); }
void turret_ActivateEntityOnStateChange::OnPoweredDown() { Relay(poweredDownEntity, qoEntity()); }
void turret_ActivateEntityOnStateChange::OnPoweredUp() { Relay(poweredUpEntity, qoEntity()); }
