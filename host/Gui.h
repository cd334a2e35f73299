// On-screen panels (GUI surfaces) in the reference host: the header, body and pane settings
// scripts write into a panel entity are kept on it (Entity::methods.panel), so that tests can
// read what each panel shows, and the record shows each panel once per frame it changed in. Every entity can be a panel.
#pragma once

#include <cstdint>
#include <string>

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
    bool changed = false;  // set since the last RecordChangedPanels
};

enum class PanelText { Header, Body };
enum class PanelNumber { HeaderBehavior, HeaderAlignment, BodyBehavior, BodyAlignment };
enum class PanelColor { Header, Body, PaneBackground };

// The Set... methods of panels: each replaces one setting.
void SetPanel(Entity& panel, PanelText which, std::string text);
void SetPanel(Entity& panel, PanelNumber which, int32_t value);
void SetPanel(Entity& panel, PanelColor which, const qoColor& color);

// Records "panel NAME: DescribePanel" for each panel whose settings were set since the last
// call (the world calls it at the start of every frame, for the frame before).
void RecordChangedPanels(World& world);

// One line of what the panel shows: header "TEXT" behaviour B colour (r g b a) alignment A,
// then the body the same way, then the pane colour.
std::string DescribePanel(const GuiPanel& panel);

}  // namespace qohost
