// Error and warning reports. Both print one line on the host console; inside a script thread
// the line names the entity, class and thread, and then an error ends the thread and a warning
// makes it wait one frame. Outside a script thread only the message is printed.
#pragma once

#include "core/qoString.h"

void ReportError(const qoString& message);
void ReportWarning(const qoString& message);
// The same for a plain text; these build no string for the message itself, so the string
// type can report its own allocation failures through them.
void ReportError(const char* message);
void ReportWarning(const char* message);

// Reports "Assertion failed: " + condition as an error.
void qoAssertFailed(const char* condition);

#define QO_ASSERT(cond) ((cond) ? true : (qoAssertFailed(#cond), false))
