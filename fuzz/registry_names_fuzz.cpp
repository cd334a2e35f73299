// Feeds arbitrary bytes as names to every name-taking operation of kvQuorin (the real library,
// loaded like an engine loads it, attached to a reference-host world). Every answer must be
// null/0 or a well-formed table for exactly that name; nothing may crash, leak or misuse the
// allocator.
//
// Input: the first byte picks the element count for AllocateElements (0 to 7), the second a
// class name from the name table; the rest, up to its first NUL, is a name of its own and also
// bends the picked class name into near misses.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "host/world/Module.h"
#include "host/world/World.h"

namespace {

struct Harness {
    std::unique_ptr<qohost::Module> module;
    std::unique_ptr<qohost::World> world;
    kvQuorin* api = nullptr;
};

Harness* g_harness = nullptr;

[[noreturn]] void Fail(const char* what, const std::string& name) {
    std::fprintf(stderr, "registry_names_fuzz: %s for name \"%s\" (%zu bytes)\n", what, name.c_str(),
                 name.size());
    std::abort();
}

void Check(bool ok, const char* what, const std::string& name) {
    if (!ok) Fail(what, name);
}

// A table pointer must walk to its terminator within reason.
template <class Row, class Done>
size_t Walk(const Row* rows, Done done) {
    size_t n = 0;
    while (n < 4096 && !done(rows[n])) ++n;
    return n;
}

// Every name operation on one name.
void Probe(const std::string& name, int count) {
    kvQuorin* api = g_harness->api;
    qohost::World& world = *g_harness->world;
    const char* text = name.c_str();
    const size_t liveBefore = world.allocator.LiveBlocks();

    if (kvQOObject* object = api->CreateObject(text)) {
        Check(std::strcmp(object->GetClassName(), text) == 0, "object of another class", name);
        Check(object->IsClass(text), "object denies its own class", name);
        const qoDeclDefault* decls = object->GetDeclDefaults();
        Check(decls != nullptr, "null decl defaults", name);
        Check(Walk(decls, [](const qoDeclDefault& d) { return d.declType == nullptr; }) < 4096,
              "unterminated decl defaults", name);
        object->Destroy(1);
    }

    if (const qoPropertyInfo* rows = api->GetPropertyTable(text)) {
        const size_t n = Walk(rows, [](const qoPropertyInfo& r) { return r.name == nullptr; });
        Check(n > 0 && n < 4096, "empty or unterminated property table", name);
        for (size_t i = 0; i < n; ++i)
            Check(rows[i].type && rows[i].modifier && rows[i].comment && rows[i].size > 0,
                  "malformed property row", name);
    }

    if (const char* comment = api->GetComment(text))
        Check(std::strlen(comment) > 0, "empty comment", name);

    if (const qoEnumInfo* e = api->GetEnumTable(text)) {
        Check(std::strcmp(e->name, text) == 0, "enum table of another name", name);
        Check(Walk(e->values, [](const qoEnumValue& v) { return v.name == nullptr; }) < 4096,
              "unterminated enum values", name);
    }

    if (const char* const* statements = api->GetEditorMetadata(text)) {
        const size_t n = Walk(statements, [](const char* s) { return s == nullptr; });
        Check(n > 0 && n < 4096, "empty or unterminated editor statements", name);
    }

    const uint32_t elementSize = api->GetElementSize(text);
    if (void* block = api->AllocateElements(text, count)) {
        Check(elementSize > 0, "elements of a type without a size", name);
        const qohost::BlockInfo* info = world.allocator.Find(block);
        Check(info && info->size == static_cast<size_t>(count) * elementSize &&
                  info->tag == qoDefaultMemoryTag,
              "element block of the wrong size or tag", name);
        // Fresh elements own no storage of their own: the block is all there is to free.
        world.Free(block, qoDefaultMemoryTag);
    } else {
        Check(elementSize == 0, "no elements for an element type", name);
    }

    Check(world.allocator.LiveBlocks() == liveBefore, "allocator not balanced", name);
    Check(world.allocator.Errors().empty(), "allocator misuse", name);
    world.console.Clear();
    world.recorder.Clear();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    g_harness = new Harness;
    std::string error;
    g_harness->module = qohost::Module::Load(qohost::Module::DefaultLibraryPath(), &error);
    if (!g_harness->module) {
        std::fprintf(stderr, "registry_names_fuzz: %s\n", error.c_str());
        std::abort();
    }
    g_harness->api = g_harness->module->Api();
    g_harness->world = std::make_unique<qohost::World>();
    g_harness->world->Attach(g_harness->api);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2) return 0;
    const int count = data[0] % 8;
    const std::string input(reinterpret_cast<const char*>(data + 2),
                            strnlen(reinterpret_cast<const char*>(data + 2), size - 2));
    Probe(input, count);

    // Near misses of a real name: a class name picked by the second byte, then cut short,
    // extended by the input, and with one byte replaced.
    const char* const* names = g_harness->api->GetClassNames();
    size_t rows = 0;
    while (names[rows]) ++rows;
    if (rows == 0) return 0;
    const std::string known = names[data[1] % rows];
    Probe(known, count);
    Probe(known.substr(0, input.size() % (known.size() + 1)), count);
    Probe(known + input, count);
    if (!input.empty()) {
        std::string changed = known;
        changed[static_cast<unsigned char>(input[0]) % changed.size()] = input.back();
        Probe(changed, count);
    }
    return 0;
}
