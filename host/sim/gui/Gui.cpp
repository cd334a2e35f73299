#include "host/sim/gui/Gui.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "host/world/Entity.h"
#include "host/world/World.h"

namespace qohost {

namespace {

std::string ColorText(const qoColor& c) {
    char buf[128];
    std::snprintf(buf, sizeof buf, "(%g %g %g %g)", c.r, c.g, c.b, c.a);
    return buf;
}

std::string PartText(const char* part, const std::string& text, int32_t behavior, const qoColor& color,
                     int32_t alignment) {
    return std::string(part) + " \"" + text + "\" behavior " + std::to_string(behavior) + " color " +
           ColorText(color) + " alignment " + std::to_string(alignment);
}

}  // namespace

void SetPanel(World& world, Entity& panel, PanelText which, std::string text) {
    GuiPanel& p = panel.methods->panel;
    (which == PanelText::Header ? p.headerText : p.bodyText) = std::move(text);
    world.panels.Changed(panel);
}

void SetPanel(World& world, Entity& panel, PanelNumber which, int32_t value) {
    GuiPanel& p = panel.methods->panel;
    switch (which) {
        case PanelNumber::HeaderBehavior: p.headerBehavior = value; break;
        case PanelNumber::HeaderAlignment: p.headerAlignment = value; break;
        case PanelNumber::BodyBehavior: p.bodyBehavior = value; break;
        case PanelNumber::BodyAlignment: p.bodyAlignment = value; break;
    }
    world.panels.Changed(panel);
}

void SetPanel(World& world, Entity& panel, PanelColor which, const qoColor& color) {
    GuiPanel& p = panel.methods->panel;
    switch (which) {
        case PanelColor::Header: p.headerColor = color; break;
        case PanelColor::Body: p.bodyColor = color; break;
        case PanelColor::PaneBackground: p.paneBackgroundColor = color; break;
    }
    world.panels.Changed(panel);
}

void Panels::Changed(Entity& panel) {
    if (panel.methods->panel.changed) return;
    panel.methods->panel.changed = true;
    changed_.push_back(panel.handle);
}

void Panels::Advance(World& world) {
    if (changed_.empty()) return;
    std::vector<uint32_t> changed = std::move(changed_);
    changed_.clear();
    std::sort(changed.begin(), changed.end());  // handles grow in creation order
    for (uint32_t handle : changed) {
        Entity* e = world.ValidEntity(handle);
        if (!e) continue;
        e->methods->panel.changed = false;
        if (!world.Wants(RecordKind::Screen)) continue;
        world.Record(RecordKind::Screen, "panel " + e->name + ": " + DescribePanel(e->methods->panel), handle);
    }
}

std::string DescribePanel(const GuiPanel& p) {
    return PartText("header", p.headerText, p.headerBehavior, p.headerColor, p.headerAlignment) + "; " +
           PartText("body", p.bodyText, p.bodyBehavior, p.bodyColor, p.bodyAlignment) + "; pane " +
           ColorText(p.paneBackgroundColor);
}

}  // namespace qohost
