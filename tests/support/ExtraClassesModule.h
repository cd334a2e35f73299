// A module interface that creates some extra script classes (test stand-ins declared with the
// class machinery like real ones) next to the module's own, so a reference-host world makes,
// binds and destroys them as it does any object. Everything else goes to the real module.
//
//   ExtraClassesModule<threadProbe, healthPickup> module(api);
//   world->Attach(&module);
#pragma once

#include <cstring>

#include "object/qoClass.h"
#include "quorin/kvQuorin.h"

namespace qohost::test {

template <class... Extra>
class ExtraClassesModule final : public kvQuorin {
public:
    explicit ExtraClassesModule(kvQuorin* real) : real_(real) {}

    kvQOObject* CreateObject(const char* name) override {
        kvQOObject* made = nullptr;
        ((made == nullptr && name && std::strcmp(name, Extra::qoName) == 0
              ? (made = qoClassTables<Extra>::Create(), 0)
              : 0),
         ...);
        return made ? made : real_->CreateObject(name);
    }

    kvQuorin* Destroy(uint32_t) override { return this; }
    kvQuorinSystem* SetSystem(kvQuorinSystem* s) override { return real_->SetSystem(s); }
    void RunRegistrations() override { real_->RunRegistrations(); }
    void Reset() override { real_->Reset(); }
    void DrawDevWindows() override { real_->DrawDevWindows(); }
    const char* const* GetClassNames() override { return real_->GetClassNames(); }
    const char* const* GetClassPrefixes() override { return real_->GetClassPrefixes(); }
    const qoPropertyInfo* GetPropertyTable(const char* n) override { return real_->GetPropertyTable(n); }
    const char* GetComment(const char* n) override { return real_->GetComment(n); }
    const qoEnumInfo* GetEnumTable(const char* n) override { return real_->GetEnumTable(n); }
    uint32_t GetElementSize(const char* n) override { return real_->GetElementSize(n); }
    const char* const* GetEditorMetadata(const char* n) override { return real_->GetEditorMetadata(n); }
    void* AllocateElements(const char* n, int c) override { return real_->AllocateElements(n, c); }
    bool CheckVersionHash(int h) override { return real_->CheckVersionHash(h); }

private:
    kvQuorin* real_;
};

}  // namespace qohost::test
