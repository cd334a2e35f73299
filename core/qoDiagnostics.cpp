#include "core/qoDiagnostics.h"

#include "core/qoSystem.h"
#include "quorin/kvQOObject.h"

namespace {

struct ReportFormats {
    const char* inThread;  // context text, thread name, message
    const char* plain;     // message
};

constexpr ReportFormats kErrorFormats = {"^1Quorin Error:^3 %s.%s: %s^0\n", "^1Quorin Error:^3 %s^0\n"};
constexpr ReportFormats kWarningFormats = {"^1Quorin Warning:^3 %s.%s: %s^0\n",
                                           "^1Quorin Warning:^3 %s^0\n"};

// Set while a report builds its context text. A report raised in that window (the host
// allocator failing for the context text) prints only its message and leaves the thread to the
// outer report.
bool g_buildingContext = false;

// "<entity name>.<class name>", the class part "<null>" when the object is gone.
qoString ContextText(const qoThreadContext& context) {
    kvQOObject* object = qoSys->GetScriptObject(context.entity, context.objectIndex);
    const char* className = object ? object->GetClassName() : "<null>";
    qoString text(qoSys->GetEntityName(context.entity));
    text.Append('.');
    text.Append(className);
    return text;
}

enum class ThreadAction { End, WaitFrame };

void Report(const ReportFormats& formats, ThreadAction action, const char* message) {
    if (!qoSys) return;
    if (!message) message = "";
    qoThreadContext context = {};
    if (g_buildingContext || !qoSys->GetThreadContext(qoCurrentThread, &context)) {
        qoSys->Printf(formats.plain, message);
        return;
    }
    {
        g_buildingContext = true;
        qoString where = ContextText(context);
        g_buildingContext = false;
        qoSys->Printf(formats.inThread, where.c_str(), context.threadName ? context.threadName : "",
                      message);
    }
    // The host may leave this call only by unwinding the thread; nothing of the report is
    // held any more.
    if (action == ThreadAction::End) {
        qoSys->EndThread(qoCurrentThread);
    } else {
        qoSys->WaitFrame();
    }
}

}  // namespace

void ReportError(const char* message) { Report(kErrorFormats, ThreadAction::End, message); }
void ReportWarning(const char* message) { Report(kWarningFormats, ThreadAction::WaitFrame, message); }
void ReportError(const qoString& message) { ReportError(message.c_str()); }
void ReportWarning(const qoString& message) { ReportWarning(message.c_str()); }

void qoAssertFailed(const char* condition) {
    qoString message("Assertion failed: ");
    message.Append(condition);
    ReportError(message);
}
