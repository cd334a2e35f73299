// The failure path of the host method wrappers, and compile-time checks of the catalogue.
#include "hostcalls/qoHostCall.h"

#include "hostcalls/qoEntity.h"

namespace {

constexpr bool IsSignatureChar(char c) {
    for (const char* p = "es124ifbvacd"; *p; ++p)
        if (*p == c) return true;
    return false;
}

constexpr bool CatalogueIsWellFormed() {
    int32_t previous = -1;
    for (const qoMethodInfo& m : qoMethodTable) {
        if (m.number <= previous) return false;  // ascending, hence unique
        previous = m.number;
        size_t length = 0;
        for (const char* p = m.signature; *p; ++p, ++length)
            if (!IsSignatureChar(*p)) return false;
        if (length > qoMaxMethodArgs) return false;
    }
    return true;
}

static_assert(CatalogueIsWellFormed(),
              "method numbers must ascend and signatures use only known characters, at most six");

}  // namespace

void qoReportMethodFailure(uint32_t entity, const char* failText) {
    qoString message(qoSys->GetEntityName(entity));
    message += failText;
    ReportWarning(message);
}
