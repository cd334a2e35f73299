// Module-wide state owned by the module interface besides the host pointer: the world utility
// reference and the dev window list.
#pragma once

#include <cstdint>

#include "core/qoList.h"
#include "core/qoString.h"

struct qoWorldUtilRef {
    uint32_t entity;
    uint32_t objectIndex;
};

// Reference to the qoWorldUtil object on the world entity; zero until the first Reset.
extern qoWorldUtilRef qoWorldUtilReference;

// Reset: rebind the world utility reference, then close every dev window (last first).
void qoModuleReset();
// Rebinds the world utility reference only: looks up "world" (warning when it is missing) and
// finds or creates its qoWorldUtil. Also used by script classes.
void qoBindWorldUtil();
// Lays the dev windows out in columns and draws each.
void qoDrawDevWindows();

// One named value shown in a dev window.
struct qoDevWindowItem {
    qoString name;
    qoString value;
};

// A watch window of the debug utilities. Allocated through the host with the default tag and
// owned by the dev window list.
class qoDevWindow {
public:
    explicit qoDevWindow(const char* windowName);

    // Sets the named item's value, adding the item when it is new.
    void SetItem(const char* item, const char* value);
    // Shows the items on the host's HUD: one host item call per entry, then a flush.
    void Draw();

    qoString name;
    float x = 0.0f;
    float y = 0.0f;
    int32_t counter = 0;
    float width = 0.0f;
    float height = 0.0f;
    qoList<qoDevWindowItem> items;
};

// The dev window list: window pointers in creation order, storage under the list's own tag.
class qoDevMenu_Manager {
public:
    // Finds the window by name (ASCII case ignored), creating it when missing, and sets an item.
    static void AddStringItem(const char* window, const char* item, const char* value);
    // The first window with that name, ASCII case ignored, or null.
    static qoDevWindow* Find(const char* window);
    // Tears the first window of that name down, frees it and closes the gap in the list.
    static void Close(const char* window);
    // Closes every window, last first, and releases the list's storage.
    static void CloseAll();
    static void DrawAll();
    static qoList<qoDevWindow*>& Windows();
};

// Layout of the dev windows: columns from (100, 100), a new column when a window would reach
// past 800, 30 units between windows.
constexpr float qoDevWindowStart = 100.0f;
constexpr float qoDevWindowGap = 30.0f;
constexpr float qoDevWindowBottom = 800.0f;
