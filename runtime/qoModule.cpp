#include "runtime/qoModule.h"

#include <new>

#include "hostcalls/qoEntity.h"
#include "core/qoSystem.h"
#include "cvars/cvar.h"

qoWorldUtilRef qoWorldUtilReference = {0, 0};

namespace {

constexpr float kWindowWidth = 250.0f;
constexpr float kTitleHeight = 24.0f;
constexpr float kItemHeight = 16.0f;
const char kWatchTitle[] = "Quorin Watch List";

// The list and its teardown at unload. The list reads the host's memory tag when it is
// constructed: 0 while the library loads before any host is attached.
struct DevWindowList {
    qoList<qoDevWindow*> windows;
    ~DevWindowList() { qoDevMenu_Manager::CloseAll(); }
};

DevWindowList& List() {
    static DevWindowList list;
    return list;
}

// Forces construction while the library loads, so the tag is read at load time.
[[maybe_unused]] DevWindowList& g_loadTimeList = List();

void DestroyWindow(qoDevWindow* window) {
    window->~qoDevWindow();
    qoHostFree(window, qoDefaultMemoryTag);
}

}  // namespace

// ---- world utility reference ----------------------------------------------------------------

void qoBindWorldUtil() {
    const qoEntity world("world");
    const qoString className("qoWorldUtil");
    qoWorldUtilReference.entity = world.handle;
    qoWorldUtilReference.objectIndex = qoSys->FindScriptObject(world.handle, className.c_str(), 1);
}

void qoModuleReset() {
    qoBindWorldUtil();
    qoDevMenu_Manager::CloseAll();
}

// ---- dev windows ----------------------------------------------------------------------------

qoDevWindow::qoDevWindow(const char* windowName) : name(windowName), width(kWindowWidth),
                                                   height(kTitleHeight) {}

void qoDevWindow::SetItem(const char* item, const char* value) {
    for (qoDevWindowItem& entry : items) {
        if (qoIcmp(entry.name.c_str(), item) == 0) {
            entry.value = value;
            return;
        }
    }
    qoDevWindowItem entry;
    entry.name = item;
    entry.value = value;
    if (items.Append(entry) >= 0) height = kTitleHeight + kItemHeight * static_cast<float>(items.Num());
}

void qoDevWindow::Draw() {
    qoSys->DevWindowItem(kWatchTitle, name.c_str());
    for (const qoDevWindowItem& entry : items) qoSys->DevWindowItem(entry.name.c_str(), entry.value.c_str());
    qoSys->DevWindowFlush();
}

qoList<qoDevWindow*>& qoDevMenu_Manager::Windows() { return List().windows; }

qoDevWindow* qoDevMenu_Manager::Find(const char* window) {
    for (qoDevWindow* w : Windows())
        if (qoIcmp(w->name.c_str(), window) == 0) return w;
    return nullptr;
}

void qoDevMenu_Manager::AddStringItem(const char* window, const char* item, const char* value) {
    qoDevWindow* w = Find(window);
    if (!w) {
        QO_DEBUG_PRINT("^2", "qoDevMenu_Manager::AddStringItem", "Creating Dev Window");
        void* storage = qoHostAllocate(sizeof(qoDevWindow), qoDefaultMemoryTag);
        if (!storage) return;
        w = new (storage) qoDevWindow(window);
        if (Windows().Append(w) < 0) {
            DestroyWindow(w);
            return;
        }
    }
    w->SetItem(item, value);
}

void qoDevMenu_Manager::Close(const char* window) {
    qoList<qoDevWindow*>& windows = Windows();
    for (int i = 0; i < windows.Num(); ++i) {
        qoDevWindow* w = windows[i];
        if (qoIcmp(w->name.c_str(), window) != 0) continue;
        windows.RemoveIndex(i);
        DestroyWindow(w);
        return;
    }
}

void qoDevMenu_Manager::CloseAll() {
    qoList<qoDevWindow*>& windows = Windows();
    // Close finds the window by name and reads the name only before it frees the window.
    for (int i = windows.Num() - 1; i >= 0; --i) Close(windows[i]->name.c_str());
    // Give the storage back too, so a closed list holds no host memory.
    windows.Clear();
}

void qoDevMenu_Manager::DrawAll() {
    float x = qoDevWindowStart;
    float y = qoDevWindowStart;
    for (qoDevWindow* w : Windows()) {
        if (y + w->height + qoDevWindowGap > qoDevWindowBottom) {
            x += w->width + qoDevWindowGap;
            y = qoDevWindowStart;
        }
        w->x = x;
        w->y = y;
        w->counter = 0;
        y += w->height + qoDevWindowGap;
        w->Draw();
    }
}

void qoDrawDevWindows() { qoDevMenu_Manager::DrawAll(); }
