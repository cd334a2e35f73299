// Module-wide state owned by the module interface besides the host pointer: the world utility
// reference and the dev window list.
#pragma once

#include <cstdint>

struct qoWorldUtilRef {
    uint32_t entity;
    uint32_t objectIndex;
};

// Reference to the qoWorldUtil object on the world entity; zero until the first Reset.
extern qoWorldUtilRef qoWorldUtilReference;

// Reset: look up "world", find or create its qoWorldUtil, store the reference, close every dev
// window (last first).
void qoModuleReset();
// Rebinds the world utility reference only (Reset step 1 and 2); also used by script classes.
void qoBindWorldUtil();
// Lays the dev windows out in columns and draws each.
void qoDrawDevWindows();
