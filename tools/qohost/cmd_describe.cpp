// qohost describe [NAME] [--layout] [--json]: what a map editor reads from the module, obtained
// the way an editor obtains it, through the kvQuorin operations only.
//
// By default for designers: without NAME each class with its purpose, with a class NAME its
// page (tools/qohost/ClassPage.h). --layout prints the byte layout below instead.
//
// Without NAME: every listed class (comment, property rows, decl defaults, editor statements),
// the prefix table, and the struct types, enums and list element types reachable from the
// property tables. With NAME: a host class of the reference host (what its entities do), or
// whatever the module knows under that exact name (a class, listed
// or not, a struct type, an enum, an element type). Decl defaults come from object slot 47, so
// each class is created once, asked, and destroyed again.
//
// Exit codes: 0 described; 1 the module failed to load or left memory behind; 2 NAME is
// unknown to the module; 3 the command line was wrong.
#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "host/level/Level.h"
#include "host/world/World.h"
#include "host/sim/entities/HostClasses.h"
#include "host/level/Suggest.h"
#include "tools/qohost/ClassPage.h"
#include "tools/qohost/Command.h"

namespace qohost::cli {

namespace {

using nlohmann::ordered_json;

struct DescribeOptions {
    std::string name;
    bool json = false;
    bool layout = false;  // the byte layout an engine reads, not the designer's page
};

ordered_json Strings(const char* const* table) {
    if (!table) return nullptr;
    ordered_json out = ordered_json::array();
    for (; *table; ++table) out.push_back(*table);
    return out;
}

ordered_json Properties(const qoPropertyInfo* rows) {
    if (!rows) return nullptr;
    ordered_json out = ordered_json::array();
    for (; rows->name; ++rows)
        out.push_back({{"type", rows->type}, {"modifier", rows->modifier}, {"name", rows->name},
                       {"comment", rows->comment}, {"offset", rows->offset}, {"size", rows->size}});
    return out;
}

ordered_json Enum(const qoEnumInfo* e) {
    ordered_json values = ordered_json::array();
    for (const qoEnumValue* v = e->values; v && v->name; ++v)
        values.push_back({{"name", v->name}, {"value", v->value}});
    return {{"name", e->name}, {"flags", e->flags}, {"values", values}};
}

// Collects the names an editor meets in property tables: struct types (they have tables of
// their own), enums, and list element types.
struct TypeWalk {
    kvQuorin* api;
    std::set<std::string> structs, enums, elements;

    void Visit(const qoPropertyInfo* rows) {
        for (; rows && rows->name; ++rows) VisitType(rows->type);
    }
    void VisitType(std::string type) {
        const std::string open = "qoList< ", close = " >";
        if (type.rfind(open, 0) == 0 && type.size() > open.size() + close.size()) {
            type = type.substr(open.size(), type.size() - open.size() - close.size());
            if (api->GetElementSize(type.c_str())) elements.insert(type);
        }
        if (api->GetEnumTable(type.c_str())) enums.insert(type);
        const qoPropertyInfo* table = api->GetPropertyTable(type.c_str());
        if (table && structs.insert(type).second) Visit(table);
    }
};

// The class's entry, or null when the name is not a creatable class.
ordered_json DescribeClass(kvQuorin* api, const std::string& name, bool listed) {
    kvQOObject* object = api->CreateObject(name.c_str());
    if (!object) return nullptr;
    ordered_json decls = ordered_json::array();
    for (const qoDeclDefault* d = object->GetDeclDefaults(); d && d->declType; ++d)
        decls.push_back({{"declType", d->declType}, {"member", d->member},
                         {"default", d->defaultName ? ordered_json(d->defaultName) : nullptr},
                         {"offset", d->offset}});
    object->Destroy(1);
    const char* comment = api->GetComment(name.c_str());
    return {{"name", name},
            {"listed", listed},
            {"comment", comment ? ordered_json(comment) : nullptr},
            {"properties", Properties(api->GetPropertyTable(name.c_str()))},
            {"declDefaults", decls},
            {"editorStatements", Strings(api->GetEditorMetadata(name.c_str()))}};
}

ordered_json DescribeStruct(kvQuorin* api, const std::string& name) {
    return {{"name", name},
            {"properties", Properties(api->GetPropertyTable(name.c_str()))},
            {"editorStatements", Strings(api->GetEditorMetadata(name.c_str()))},
            {"elementSize", api->GetElementSize(name.c_str())}};
}

ordered_json Describe(kvQuorin* api, const DescribeOptions& options) {
    std::set<std::string> listed;
    for (const char* const* row = api->GetClassNames(); *row; ++row) listed.insert(*row);

    ordered_json out;
    ordered_json classes = ordered_json::array();
    TypeWalk walk{api, {}, {}, {}};
    if (options.name.empty()) {
        for (const char* const* row = api->GetClassNames(); *row; ++row) {
            classes.push_back(DescribeClass(api, *row, true));
            walk.Visit(api->GetPropertyTable(*row));
        }
        out["classes"] = classes;
        out["prefixes"] = Strings(api->GetClassPrefixes());
        for (const char* scalar : {"int", "float", "aiMonsterType_t", "qoEntity", "qoVector", "qoString"})
            if (api->GetElementSize(scalar)) walk.elements.insert(scalar);
    } else {
        const std::string& name = options.name;
        ordered_json c = DescribeClass(api, name, listed.count(name) > 0);
        if (!c.is_null()) {
            classes.push_back(c);
            walk.Visit(api->GetPropertyTable(name.c_str()));
        } else {
            if (api->GetPropertyTable(name.c_str()) || api->GetEditorMetadata(name.c_str()))
                walk.structs.insert(name);
            if (api->GetEnumTable(name.c_str())) walk.enums.insert(name);
            if (api->GetElementSize(name.c_str())) walk.elements.insert(name);
        }
        out["classes"] = classes;
    }
    ordered_json structs = ordered_json::array();
    for (const std::string& s : walk.structs) structs.push_back(DescribeStruct(api, s));
    ordered_json enums = ordered_json::array();
    for (const std::string& e : walk.enums) enums.push_back(Enum(api->GetEnumTable(e.c_str())));
    ordered_json elements = ordered_json::array();
    for (const std::string& e : walk.elements)
        elements.push_back({{"name", e}, {"size", api->GetElementSize(e.c_str())}});
    out["structs"] = structs;
    out["enums"] = enums;
    out["elementTypes"] = elements;
    return out;
}

void PrintRows(const ordered_json& rows, const char* indent) {
    if (rows.is_null()) return;
    for (const auto& r : rows) {
        std::printf("%s%-4u %-3u %s%s %s", indent, r["offset"].get<unsigned>(),
                    r["size"].get<unsigned>(), r["type"].get<std::string>().c_str(),
                    r["modifier"].get<std::string>().c_str(), r["name"].get<std::string>().c_str());
        const std::string comment = r["comment"];
        if (!comment.empty()) std::printf("  \"%s\"", comment.c_str());
        std::printf("\n");
    }
}

void PrintStatements(const ordered_json& statements, const char* indent) {
    if (statements.is_null()) return;
    for (const auto& s : statements) std::printf("%seditor: %s\n", indent, s.get<std::string>().c_str());
}

void PrintText(const ordered_json& d) {
    for (const auto& c : d["classes"]) {
        std::printf("class %s%s\n", c["name"].get<std::string>().c_str(),
                    c["listed"].get<bool>() ? "" : " (unlisted)");
        if (!c["comment"].is_null()) std::printf("  comment: %s\n", c["comment"].get<std::string>().c_str());
        PrintRows(c["properties"], "  ");
        for (const auto& r : c["declDefaults"])
            std::printf("  decl %s %s at %u, default \"%s\"\n", r["declType"].get<std::string>().c_str(),
                        r["member"].get<std::string>().c_str(), r["offset"].get<unsigned>(),
                        r["default"].is_null() ? "" : r["default"].get<std::string>().c_str());
        PrintStatements(c["editorStatements"], "  ");
    }
    if (d.contains("prefixes")) {
        std::printf("prefixes:");
        for (const auto& p : d["prefixes"]) std::printf(" %s", p.get<std::string>().c_str());
        std::printf("\n");
    }
    for (const auto& s : d["structs"]) {
        std::printf("struct %s", s["name"].get<std::string>().c_str());
        if (s["elementSize"].get<unsigned>()) std::printf(" (list element, %u bytes)", s["elementSize"].get<unsigned>());
        std::printf("\n");
        PrintRows(s["properties"], "  ");
        PrintStatements(s["editorStatements"], "  ");
    }
    for (const auto& e : d["enums"]) {
        std::printf("enum %s", e["name"].get<std::string>().c_str());
        if (e["flags"].get<uint64_t>()) std::printf(" (flags 0x%llx)", static_cast<unsigned long long>(e["flags"].get<uint64_t>()));
        std::printf("\n");
        for (const auto& v : e["values"])
            std::printf("  %s = %d\n", v["name"].get<std::string>().c_str(), v["value"].get<int>());
    }
    for (const auto& e : d["elementTypes"])
        std::printf("element %s: %u bytes\n", e["name"].get<std::string>().c_str(), e["size"].get<unsigned>());
}

// A host class of the reference host (not the module's): what its entities do.
int DescribeHostClassByName(const HostClassInfo& row, bool json) {
    if (!json) {
        std::fputs(DescribeHostClass(row).c_str(), stdout);
        return kExitOk;
    }
    ordered_json out = {{"hostClass", row.name}, {"parent", row.parent}, {"summary", row.summary}};
    for (const auto& [key, member] : {std::pair{"activated", &HostClassInfo::activated},
                                      std::pair{"entered", &HostClassInfo::entered},
                                      std::pair{"enabled", &HostClassInfo::enabled},
                                      std::pair{"damaged", &HostClassInfo::damaged}})
        out[key] = HostClassBehaviour(row, member);
    std::printf("%s\n", out.dump(2).c_str());
    return kExitOk;
}

int RunDescribe(const DescribeOptions& options) {
    if (const HostClassInfo* hostClass = FindHostClass(options.name))
        return DescribeHostClassByName(*hostClass, options.json);
    std::unique_ptr<Module> module = LoadModule();
    if (!module) return kExitFailure;
    kvQuorin* api = module->Api();
    World world;
    world.Attach(api);
    const ordered_json description = Describe(api, options);
    const bool found = options.name.empty() || !description["classes"].empty() ||
                       !description["structs"].empty() || !description["enums"].empty() ||
                       !description["elementTypes"].empty();
    if (!found) {
        const ordered_json everything = Describe(api, DescribeOptions{});
        std::vector<std::string> known;
        for (const char* part : {"classes", "structs", "enums", "elementTypes"})
            for (const auto& item : everything[part]) known.push_back(item["name"].get<std::string>());
        world.Detach();
        std::fprintf(stderr, "qohost: the module knows no class or type named '%s'%s\n",
                     Printable(options.name).c_str(), DidYouMean(options.name, known).c_str());
        return kExitInput;
    }
    if (options.json) {
        std::printf("%s\n", description.dump(2).c_str());
    } else if (options.layout || (!options.name.empty() && description["classes"].empty())) {
        PrintText(description);
    } else if (options.name.empty()) {
        // Every class with its purpose; `describe NAME` shows one in full.
        for (const auto& c : description["classes"]) {
            const std::string name = c["name"];
            const std::string purpose = ClassPurpose(api, name);
            std::printf("%-36s %s\n", name.c_str(), purpose.substr(0, purpose.find('\n')).c_str());
        }
    } else {
        PrintClassPage(api, options.name);
    }
    world.Detach();
    if (world.allocator.LiveBlocks() != 0 || !world.allocator.Errors().empty()) {
        std::fprintf(stderr, "qohost: memory left behind:\n%s", world.allocator.Report().c_str());
        return kExitFailure;
    }
    return kExitOk;
}

void Setup(CLI::App& app) {
    auto options = std::make_shared<DescribeOptions>();
    CLI::App* cmd = app.add_subcommand("describe", "print what an editor reads about the module's classes and types");
    cmd->add_option("name", options->name, "a class, struct, enum or element type name (default: everything listed)");
    cmd->add_flag("--json", options->json, "print JSON");
    cmd->add_flag("--layout", options->layout,
                  "print the byte layout an engine reads (offsets, sizes, decl defaults, editor statements)");
    cmd->footer(kExitCodeHelp);
    cmd->callback([options] { SetExitCode(RunDescribe(*options)); });
}

const CommandRegistrar registrar(20, &Setup);

}  // namespace

}  // namespace qohost::cli
