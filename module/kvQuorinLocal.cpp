// The module interface: one static kvQuorinLocal, handed out by GetQuorinAPI(1).
#include "core/qoSystem.h"
#include "cvars/cvar.h"
#include "quorin/kvQuorin.h"
#include "runtime/qoModule.h"
#include "module/qoRegistry.h"

kvQuorinSystem* qoSys = nullptr;

namespace {

class kvQuorinLocal final : public kvQuorin {
public:
    // The interface object is the module's one static instance: it was never allocated
    // through the host, so there is no storage to return and nothing to tear down. Freeing it
    // would hand the host a pointer it never gave out and leave later calls on a dead object.
    kvQuorin* Destroy(uint32_t) override { return this; }
    kvQuorinSystem* SetSystem(kvQuorinSystem* system) override {
        kvQuorinSystem* previous = qoSys;
        qoSys = system;
        return previous;
    }
    // Walks the registration list without changing it: a second call registers again.
    void RunRegistrations() override {
        for (cvar_* node = qoRegistrationList; node; node = node->next) node->Register();
    }
    void Reset() override { qoModuleReset(); }
    void DrawDevWindows() override { qoDrawDevWindows(); }
    const char* const* GetClassNames() override { return qoRegistry::ClassNames(); }
    const char* const* GetClassPrefixes() override { return qoRegistry::ClassPrefixes(); }
    kvQOObject* CreateObject(const char* name) override { return qoRegistry::CreateObject(name); }
    const qoPropertyInfo* GetPropertyTable(const char* name) override {
        return qoRegistry::PropertyTable(name);
    }
    const char* GetComment(const char* name) override { return qoRegistry::Comment(name); }
    const qoEnumInfo* GetEnumTable(const char* name) override { return qoRegistry::EnumTable(name); }
    uint32_t GetElementSize(const char* name) override { return qoRegistry::ElementSize(name); }
    const char* const* GetEditorMetadata(const char* name) override {
        return qoRegistry::EditorMetadata(name);
    }
    void* AllocateElements(const char* name, int count) override {
        return qoRegistry::AllocateElements(name, count);
    }
    bool CheckVersionHash(int hash) override { return hash == qoVersionHash; }
};

kvQuorinLocal g_interface;

}  // namespace

extern "C" __attribute__((visibility("default"))) kvQuorin* GetQuorinAPI(int version) {
    return version == qoInterfaceVersion ? &g_interface : nullptr;
}
