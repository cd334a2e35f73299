// Error and warning reports. Both print one line on the host console; inside a script thread
// an error ends the thread and a warning makes it wait one frame.
#pragma once

#include "core/qoString.h"

void ReportError(const qoString& message);
void ReportWarning(const qoString& message);

// Reports "Assertion failed: " + condition as an error.
void qoAssertFailed(const char* condition);

#define QO_ASSERT(cond) ((cond) ? true : (qoAssertFailed(#cond), false))
