#include "hostcalls/qoEntity.h"

#include "core/qoDiagnostics.h"
#include "core/qoSystem.h"

namespace {

const char kEmptyNameWarning[] = "empty string entity not found";

uint32_t FindByName(const char* name) {
    const uint32_t handle = qoSys ? qoSys->FindEntity(name) : 0u;
    if (handle == 0) {
        qoString message("entity '");
        message.Append(name);
        message.Append("' not found");
        ReportWarning(message);
    }
    return handle;
}

}  // namespace

qoEntity::qoEntity(const char* name) : handle(0) {
    if (!name) {
        ReportWarning(kEmptyNameWarning);
        return;
    }
    handle = FindByName(name);
}

qoEntity::qoEntity(const qoString& name) : handle(0) {
    if (name.IsEmpty()) {
        ReportWarning(kEmptyNameWarning);
        return;
    }
    handle = FindByName(name.c_str());
}

bool qoEntity::IsValid() const { return handle != 0 && qoSys && qoSys->EntityIsValid(handle); }

qoString qoEntity::Name() const { return qoString(qoSys ? qoSys->GetEntityName(handle) : ""); }
