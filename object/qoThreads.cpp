#include "object/qoThreads.h"

#include "core/qoDiagnostics.h"

uint32_t qoCreateThread(const qoString& name, kvQOObject* target, qoThreadEntry entry,
                        void* block, bool network) {
    return network ? qoSys->CreateNetworkThread(name.c_str(), target, entry, block)
                   : qoSys->CreateThread(name.c_str(), target, entry, block);
}

qoString qoForeignThreadName(const char* className, const char* function) {
    qoString name("&");
    name.Append(className);
    name.Append("::");
    name.Append(function);
    return name;
}

kvQOObject* qoThreadTarget(const qoEntity& entity, const char* className,
                           const qoString& threadName) {
    const uint32_t index = qoSys->FindScriptObject(entity.handle, className, 1);
    kvQOObject* target = qoSys->GetScriptObject(entity.handle, index);
    if (!target) qoWarnNullThreadTarget(threadName);
    return target;
}

void qoWarnNullThreadTarget(const qoString& threadName) {
    ReportWarning("Could not create thread " + threadName + " on null object");
}

bool qoIsThreadRunning(uint32_t id) { return id != 0 && qoSys->IsThreadRunning(id); }

uint32_t qoCurrentThreadId() { return qoSys->CurrentThread(); }

void qoEndThreads(kvQOObject* object, const char* name) { qoSys->EndThreadsByName(name, object); }

void qoWaitFrame() { qoSys->WaitFrame(); }

void qoWait(float seconds) { qoSys->WaitSeconds(seconds); }

void qoWaitForThread(uint32_t id) {
    while (qoSys->IsThreadRunning(id)) qoSys->WaitForThread(id);
}

void qoClaimJobThread(uint32_t& jobThread) { jobThread = qoSys->CurrentThread(); }

bool qoIsJobThread(uint32_t jobThread) {
    if (qoSys->CurrentThread() == jobThread) return true;
    ReportWarning(
        "Multiple ExecuteSequence threads started on this object.  Only 1 thread can be active "
        "at a time");
    return false;
}
