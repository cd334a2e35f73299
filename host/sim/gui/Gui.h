// On-screen panels (GUI surfaces) in the reference host: the header, body and pane settings
// scripts write into a panel entity are kept on it (Entity::methods.panel), so that tests can
// read what each panel shows, and the record shows each panel once per frame it changed in.
// Every entity can be a panel; a panel that changed waits in the world's Panels list until it
// is recorded.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "quorin/qoTypes.h"

namespace qohost {

class World;
struct Entity;

struct GuiPanel {
    std::string headerText;
    int32_t headerBehavior = 0;
    qoColor headerColor{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t headerAlignment = 0;
    std::string bodyText;
    int32_t bodyBehavior = 0;
    qoColor bodyColor{1.0f, 1.0f, 1.0f, 1.0f};
    int32_t bodyAlignment = 0;
    qoColor paneBackgroundColor{0.0f, 0.0f, 0.0f, 1.0f};
    bool changed = false;  // set since the last Panels::Advance (the entity is in its list)
};

enum class PanelText { Header, Body };
enum class PanelNumber { HeaderBehavior, HeaderAlignment, BodyBehavior, BodyAlignment };
enum class PanelColor { Header, Body, PaneBackground };

// The Set... methods of panels: each replaces one setting.
void SetPanel(World& world, Entity& panel, PanelText which, std::string text);
void SetPanel(World& world, Entity& panel, PanelNumber which, int32_t value);
void SetPanel(World& world, Entity& panel, PanelColor which, const qoColor& color);

// The panels whose settings were set since the last Advance.
class Panels {
public:
    // The entity's panel changed (SetPanel calls it).
    void Changed(Entity& panel);
    // Records (kind Screen) "panel NAME: DescribePanel" for each panel that changed since the
    // last call, in the order the entities were created (the world calls it at the start of
    // every frame, for the frame before); panels removed meanwhile are skipped.
    void Advance(World& world);

private:
    std::vector<uint32_t> changed_;
};

// One line of what the panel shows: header "TEXT" behaviour B colour (r g b a) alignment A,
// then the body the same way, then the pane colour.
std::string DescribePanel(const GuiPanel& panel);

}  // namespace qohost
