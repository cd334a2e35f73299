// qoDebugUtil: a developer command line on the world entity, read from qo_debugAction by the
// thread ReadDebugActions.
#pragma once

#include <cstddef>
#include <cstdint>

#include "object/qoClass.h"

class qoDebugUtil : public kvQuorinObject {
    QO_SCRIPT_CLASS(qoDebugUtil, kvQuorinObject)
    QO_DECLS(QO_DECL(suicide, "damage/code_referenced/suicide"))
    QO_FUNCTIONS(QO_FUNCTION(ReadDebugActions))

public:
    void Init() override;
    void Shutdown() override;
    // The command reader, run as a thread.
    void ReadDebugActions();

    uint32_t readerThread = 0;
    const kvDeclDamage* suicide = nullptr;
};

static_assert(offsetof(qoDebugUtil, readerThread) == 16);
static_assert(offsetof(qoDebugUtil, suicide) == 24);
static_assert(sizeof(qoDebugUtil) == 32);
