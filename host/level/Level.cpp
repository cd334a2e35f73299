// Loading a level: the property writer (JSON values into script objects, type-driven by the
// module's reflection tables) and LoadLevel (entities, decls, objects, Init threads).
#include "host/level/Level.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <set>

#include "host/sim/monsters/Monsters.h"
#include "host/world/World.h"
#include "host/level/Checks.h"
#include "host/level/Suggest.h"
#include "quorin/kvQuorin.h"

namespace qohost {

using Json = nlohmann::ordered_json;

namespace {

// "qoList< T >" -> "T"; empty when the type is not a list.
std::string ListElementType(const std::string& type) {
    static constexpr std::string_view kOpen = "qoList< ", kClose = " >";
    if (type.size() <= kOpen.size() + kClose.size() || type.compare(0, kOpen.size(), kOpen) != 0 ||
        type.compare(type.size() - kClose.size(), kClose.size(), kClose) != 0)
        return {};
    return type.substr(kOpen.size(), type.size() - kOpen.size() - kClose.size());
}

// Names of a table's rows, for "unknown property" messages.
std::string RowNames(const qoPropertyInfo* table) {
    std::string names;
    for (const qoPropertyInfo* row = table; row && row->name; ++row)
        names += std::string(names.empty() ? "" : ", ") + row->name;
    return names;
}

const qoPropertyInfo* FindRow(const qoPropertyInfo* table, const std::string& name) {
    for (const qoPropertyInfo* row = table; row && row->name; ++row)
        if (name == row->name) return row;
    return nullptr;
}

// Fixed sizes of the built-in member types; 0 for the types whose size the tables give.
uint32_t BuiltinSize(const std::string& type) {
    static const std::pair<const char*, uint32_t> kSizes[] = {
        {"bool", 1}, {"short", 2}, {"int", 4}, {"float", 4}, {"qoEntity", 4},
        {"qoVector", 12}, {"qoColor", 16}, {"qoString", 24},
    };
    for (const auto& [name, size] : kSizes)
        if (type == name) return size;
    return ListElementType(type).empty() ? 0 : sizeof(qoListLayout);
}

}  // namespace

struct PropertyWriter::Context {
    LevelErrors& errors;
    const std::string& file;
    const std::string& entity;
    int depth = 0;

    bool Fail(const std::string& field, std::string message) {
        AddError(errors, {file, entity, field, std::move(message)});
        return false;
    }
    // "expected a number, got a string "loud"": the value too, when it is short to show.
    bool Expected(const std::string& field, const char* what, const Json& v) {
        std::string shown;
        if (v.is_string()) shown = " \"" + Printable(v.get<std::string>(), 60) + "\"";
        else if (v.is_number()) shown = " " + v.dump();
        return Fail(field, std::string("expected ") + what + ", got " + DescribeJson(v) + shown);
    }
};

PropertyWriter::PropertyWriter(kvQuorin& module, kvQuorinSystem* sys, DeclResolver* decls,
                               const LevelDesc& level)
    : module(module), sys(sys), decls(decls), level(level) {}

bool PropertyWriter::Apply(const LevelObject& placed, const std::string& entity, void* object,
                           LevelErrors& errors) {
    Context cx{errors, level.file, entity};
    const std::string field = placed.field + ".properties";
    if (placed.properties.empty()) return true;
    const qoPropertyInfo* table = module.GetPropertyTable(placed.className.c_str());
    if (!table)
        return cx.Fail(field, "script class '" + placed.className + "' has no properties");
    return Struct(cx, table, placed.properties, field, static_cast<uint8_t*>(object));
}

bool PropertyWriter::Struct(Context& cx, const qoPropertyInfo* table, const Json& value,
                            const std::string& field, uint8_t* dest) {
    if (!value.is_object()) return cx.Expected(field, "an object of property values", value);
    bool ok = true;
    for (auto it = value.begin(); it != value.end(); ++it) {
        const std::string sub = field + "." + it.key();
        const qoPropertyInfo* row = FindRow(table, it.key());
        if (!row) {
            ok = cx.Fail(sub, "unknown property (known: " + RowNames(table) + ")");
            continue;
        }
        const std::string type = row->type ? row->type : "", modifier = row->modifier ? row->modifier : "";
        ok = Value(cx, type, modifier, row->size, it.value(), sub,
                   dest ? dest + row->offset : nullptr) && ok;
    }
    return ok;
}

bool PropertyWriter::Value(Context& cx, const std::string& type, const std::string& modifier,
                           uint32_t size, const Json& value, std::string field, uint8_t* dest) {
    // Structs nest; a table that contained itself would recurse for ever.
    if (cx.depth > 16) return cx.Fail(field, "values nested too deeply");
    // The writes below are sized by type; a table row that disagrees would write out of place.
    uint32_t expected = modifier == "*" ? sizeof(void*) : BuiltinSize(type);
    if (expected && size != expected)
        return cx.Fail(field, "property table gives size " + std::to_string(size) + " for type '" +
                                  type + "', expected " + std::to_string(expected));

    if (modifier == "*") {  // decl reference
        const void* decl = nullptr;
        if (!value.is_null()) {
            if (!value.is_string()) return cx.Expected(field, "a decl name or null", value);
            const std::string name = value.get<std::string>();
            if (!name.empty()) {
                if (!level.HasDecl(type, name))
                    return cx.Fail(field, "unknown " + type + " decl '" + name +
                                              "' (declare it under \"decls\")");
                if (decls) decl = decls->Resolve(type, name);
            }
        }
        if (dest) std::memcpy(dest, &decl, sizeof decl);
        return true;
    }
    if (type == "bool") {
        if (!value.is_boolean()) return cx.Expected(field, "true or false", value);
        if (dest) *reinterpret_cast<bool*>(dest) = value.get<bool>();
        return true;
    }
    if (type == "short" || type == "int") {
        const bool isShort = type == "short";
        const int64_t lo = isShort ? std::numeric_limits<int16_t>::min() : std::numeric_limits<int32_t>::min();
        const int64_t hi = isShort ? std::numeric_limits<int16_t>::max() : std::numeric_limits<int32_t>::max();
        double d = value.is_number() ? value.get<double>() : 0.0;
        if (!value.is_number() || !std::isfinite(d) || d != std::floor(d))
            return cx.Expected(field, "an integer", value);
        if (d < double(lo) || d > double(hi))
            return cx.Fail(field, "integer out of range " + std::to_string(lo) + " to " + std::to_string(hi));
        if (dest && isShort) {
            int16_t v = int16_t(d);
            std::memcpy(dest, &v, sizeof v);
        } else if (dest) {
            int32_t v = int32_t(d);
            std::memcpy(dest, &v, sizeof v);
        }
        return true;
    }
    if (type == "float") {
        if (value.is_number() && !FitsFloat(value)) return cx.Fail(field, "number out of range for a float");
        if (!FitsFloat(value)) return cx.Expected(field, "a number", value);
        float v = value.get<float>();
        if (dest) std::memcpy(dest, &v, sizeof v);
        return true;
    }
    if (type == "qoVector" || type == "qoColor") {
        const size_t n = type == "qoVector" ? 3 : 4;
        float c[4];
        std::string badField, message;
        if (!ReadFloats(value, n, n == 3 ? "[x, y, z]" : "[r, g, b, a]", field, c, badField, message))
            return cx.Fail(badField, message);
        if (dest) std::memcpy(dest, c, n * sizeof(float));
        return true;
    }
    if (type == "qoEntity") {
        std::string name;
        if (value.is_string()) name = value.get<std::string>();
        else if (!value.is_null()) return cx.Expected(field, "an entity name or null", value);
        if (!name.empty() && !level.FindEntity(name))
            return cx.Fail(field, "unknown entity '" + name + "'");
        if (dest) {
            uint32_t handle = name.empty() ? 0 : sys->FindEntity(name.c_str());
            std::memcpy(dest, &handle, sizeof handle);
        }
        return true;
    }
    if (type == "qoString") {
        if (!value.is_string()) return cx.Expected(field, "a string", value);
        // The module reads its strings as C strings too: a NUL would silently cut the text.
        if (value.get_ref<const std::string&>().find('\0') != std::string::npos)
            return cx.Fail(field, "expected a text without NUL characters");
        if (dest) {
            qoStringLayout& member = *reinterpret_cast<qoStringLayout*>(dest);
            const std::string text = value.get<std::string>();
            if (text.size() >= size_t(std::numeric_limits<int32_t>::max()))
                return cx.Fail(field, "string too long");
            WriteString(member, text);
            if (!text.empty() && !member.data) return cx.Fail(field, "string allocation failed");
        }
        return true;
    }
    if (std::string element = ListElementType(type); !element.empty())
        return List(cx, element, value, field, dest);

    if (const qoEnumInfo* info = module.GetEnumTable(type.c_str())) {
        if (size != sizeof(int32_t))
            return cx.Fail(field, "property table gives size " + std::to_string(size) + " for enum type '" +
                                      type + "', expected 4");
        // A name, or for a bit-mask enum an array of names that are or-ed together.
        std::vector<Json> names;
        if (value.is_string()) names.push_back(value);
        else if (value.is_array() && (info->flags & qoEnumFlagBits)) names.assign(value.begin(), value.end());
        else return cx.Expected(field, (info->flags & qoEnumFlagBits) ? "a value name or an array of names"
                                                                      : "a value name", value);
        int32_t result = 0;
        for (const Json& n : names) {
            const qoEnumValue* found = nullptr;
            if (n.is_string())
                for (const qoEnumValue* row = info->values; row && row->name && !found; ++row)
                    if (n.get<std::string>() == row->name) found = row;
            if (!found) {
                std::string known;
                for (const qoEnumValue* row = info->values; row && row->name; ++row)
                    known += std::string(known.empty() ? "" : ", ") + row->name;
                return cx.Fail(field, (n.is_string() ? "unknown value '" + n.get<std::string>() + "'"
                                                     : std::string("expected a value name")) +
                                          " of " + type + " (known: " + known + ")");
            }
            result |= found->value;
        }
        if (dest) std::memcpy(dest, &result, sizeof result);
        return true;
    }
    if (const qoPropertyInfo* table = module.GetPropertyTable(type.c_str())) {
        ++cx.depth;
        bool ok = Struct(cx, table, value, field, dest);
        --cx.depth;
        return ok;
    }
    if (size == 4 && type == "aiMonsterType_t" && value.is_string()) {
        // A monster type by the host's name for it.
        const std::optional<int32_t> v = MonsterTypeByName(value.get<std::string>());
        if (!v) return cx.Fail(field, "unknown monster type " + value.dump());
        if (dest) std::memcpy(dest, &*v, sizeof *v);
        return true;
    }
    if (size == 4) {
        // An enum only the host knows (aiMonsterType_t and the like): its integer value.
        double d = value.is_number() ? value.get<double>() : 0.5;
        if (!value.is_number() || d != std::floor(d) || d < std::numeric_limits<int32_t>::min() ||
            d > std::numeric_limits<int32_t>::max())
            return cx.Fail(field, "expected an integer (" + type + " has no value names), got " +
                                      DescribeJson(value));
        int32_t v = int32_t(d);
        if (dest) std::memcpy(dest, &v, sizeof v);
        return true;
    }
    return cx.Fail(field, "property type '" + type + "' cannot be written from a level");
}

bool PropertyWriter::List(Context& cx, const std::string& element, const Json& value,
                          const std::string& field, uint8_t* dest) {
    if (!value.is_array()) return cx.Expected(field, "an array", value);
    const uint32_t elementSize = module.GetElementSize(element.c_str());
    if (elementSize == 0)
        return cx.Fail(field, "the module cannot allocate list elements of type '" + element + "'");
    if (value.size() > size_t(1) << 20) return cx.Fail(field, "list too long");
    const int32_t num = int32_t(value.size());
    const int32_t slots = (num + 7) & ~7;  // lists grow in steps of 8, like the module's own

    uint8_t* block = nullptr;
    if (dest && num > 0) {
        block = static_cast<uint8_t*>(module.AllocateElements(element.c_str(), slots));
        if (!block) return cx.Fail(field, "list allocation failed");
    }
    bool ok = true;
    ++cx.depth;
    for (int32_t i = 0; i < num; ++i)
        ok = Value(cx, element, "", elementSize, value[size_t(i)], field + "[" + std::to_string(i) + "]",
                   block ? block + size_t(i) * elementSize : nullptr) && ok;
    --cx.depth;
    if (!dest) return ok;

    qoListLayout& list = *reinterpret_cast<qoListLayout*>(dest);
    if (!ok) {
        // Keep the member as it was; give back what was built.
        if (block) {
            qoListLayout temp{block, num, slots, qoDefaultMemoryTag, 0};
            Release("qoList< " + element + " >", "", reinterpret_cast<uint8_t*>(&temp));
        }
        return false;
    }
    Release("qoList< " + element + " >", "", dest);
    list.list = block;
    list.num = num;
    list.size = block ? slots : 0;
    // The elements come from AllocateElements, which allocates with the default tag; the list
    // frees its storage with the tag it records.
    list.tag = block ? qoDefaultMemoryTag : list.tag;
    return true;
}

void PropertyWriter::WriteString(qoStringLayout& member, const std::string& text) {
    if (member.data) sys->Free(member.data, member.tag);
    member.data = nullptr;
    member.length = 0;
    member.capacity = 0;
    if (text.empty()) return;
    char* data = static_cast<char*>(sys->Allocate(text.size() + 1, member.tag));
    if (!data) return;
    std::memcpy(data, text.c_str(), text.size() + 1);
    member.data = data;
    member.length = int32_t(text.size());
    member.capacity = int32_t(text.size() + 1);
}

// Gives back what a member owns before it is overwritten: string text, list storage and the
// strings and lists inside list elements and structs.
void PropertyWriter::Release(const std::string& type, const std::string& modifier, uint8_t* dest) {
    if (modifier == "*") return;
    if (type == "qoString") {
        WriteString(*reinterpret_cast<qoStringLayout*>(dest), "");
        return;
    }
    if (std::string element = ListElementType(type); !element.empty()) {
        qoListLayout& list = *reinterpret_cast<qoListLayout*>(dest);
        if (!list.list) return;
        const uint32_t elementSize = module.GetElementSize(element.c_str());
        for (int32_t i = 0; elementSize && i < list.size; ++i)
            Release(element, "", static_cast<uint8_t*>(list.list) + size_t(i) * elementSize);
        sys->Free(list.list, list.tag);
        list.list = nullptr;
        list.num = 0;
        list.size = 0;
        return;
    }
    if (BuiltinSize(type) || module.GetEnumTable(type.c_str())) return;
    if (const qoPropertyInfo* table = module.GetPropertyTable(type.c_str()))
        for (const qoPropertyInfo* row = table; row->name; ++row)
            Release(row->type, row->modifier ? row->modifier : "", dest + row->offset);
}

namespace {

// Decls by type and name through the world; names that only a class's decl defaults mention
// are defined on first use.
class WorldDecls final : public DeclResolver {
public:
    explicit WorldDecls(World& world) : world(world) {}
    const void* Resolve(std::string_view type, std::string_view name) override {
        if (const Decl* d = world.FindDecl(type, name)) return d;
        return world.DefineDecl(std::string(type), std::string(name));
    }

private:
    World& world;
};

}  // namespace

void FillDeclDefaults(World& world, kvQOObject& object, const Json& levelValues) {
    WorldDecls decls(world);
    const qoDeclDefault* row = object.GetDeclDefaults();
    for (; row && (row->declType || row->member); ++row) {
        if (!row->declType || !row->member || !row->defaultName || !*row->defaultName) continue;
        if (levelValues.is_object() && levelValues.contains(row->member)) continue;
        const void* decl = decls.Resolve(row->declType, row->defaultName);
        std::memcpy(reinterpret_cast<uint8_t*>(&object) + row->offset, &decl, sizeof decl);
    }
}

namespace {

// Runs an object's Init (slot 0) as the entry of its "Init" thread.
void RunInit(kvQOObject* object, void*) {
    if (object) object->Init();
}

// True when the module can create the class although its class-name table does not list it
// (the encounter network's base classes): a probe object is made and destroyed at once.
bool CreatableUnlisted(kvQuorin& module, const std::string& name) {
    // Only a class the module has a property table for: asking it to create any other name
    // would have it report a failed assertion.
    if (!module.GetPropertyTable(name.c_str())) return false;
    kvQOObject* probe = module.CreateObject(name.c_str());
    if (!probe) return false;
    probe->Destroy(1);
    return true;
}

// Step 1: everything that can be checked before the world changes.
void Check(World& world, kvQuorin& module, const LevelDesc& level, LevelErrors& errors) {
    std::set<std::string> listed;
    for (const char* const* name = module.GetClassNames(); name && *name; ++name) listed.insert(*name);
    for (const LevelEntity& e : level.entities)
        for (const LevelObject& placed : e.objects)
            if (!listed.count(placed.className) && CreatableUnlisted(module, placed.className))
                listed.insert(placed.className);

    PropertyWriter checker(module, nullptr, nullptr, level);
    for (const LevelEntity& e : level.entities) {
        if (!e.hostClass.empty() && !IsKnownHostClass(e.hostClass))
            AddError(errors, {level.file, e.name, "class", "unknown host class '" + e.hostClass + "'" +
                                                             DidYouMean(e.hostClass, HostClassNames())});
        if (e.name != "world" && world.EntityByName(e.name))
            AddError(errors, {level.file, e.name, "name", "the world already has an entity of this name"});
        for (const LevelObject& placed : e.objects) {
            if (!listed.count(placed.className)) {
                AddError(errors, {level.file, e.name, placed.field + ".class",
                                  "unknown script class '" + placed.className + "'" +
                                      DidYouMean(placed.className, listed)});
                continue;
            }
            checker.Apply(placed, e.name, nullptr, errors);
        }
    }
    for (const LevelEntityDef& def : level.entityDefs)
        if (!def.hostClass.empty() && !IsKnownHostClass(def.hostClass))
            AddError(errors, {level.file, "", "entityDefs." + def.name + ".class",
                              "unknown host class '" + def.hostClass + "'" + DidYouMean(def.hostClass, HostClassNames())});
}

}  // namespace

void CheckLevel(World& world, const LevelDesc& level, LevelErrors& errors) {
    if (kvQuorin* module = world.Module()) Check(world, *module, level, errors);
}

void PlaceObjectValues(World& world, const LevelDesc& level, const std::string& entity,
                       const LevelObject& placed, kvQOObject& object, LevelErrors& errors) {
    WorldDecls decls(world);
    PropertyWriter writer(*world.Module(), &world, &decls, level);
    FillDeclDefaults(world, object, placed.properties);
    writer.Apply(placed, entity, &object, errors);
}

uint32_t StartInitThread(World& world, kvQOObject& object) {
    return world.CreateThread("Init", &object, &RunInit, nullptr);
}

bool LoadLevel(World& world, const LevelDesc& level, LevelErrors& errors, LoadedLevel* loaded) {
    kvQuorin* module = world.Module();
    if (!module) {
        AddError(errors, {level.file, "", "", "no script module is attached to the world"});
        return false;
    }
    const size_t before = CountProblems(errors);
    Check(world, *module, level, errors);
    if (CountProblems(errors) != before) return false;

    // Step 2.
    world.SetFrameTime(level.frameMs);
    if (level.seed) world.Seed(*level.seed);
    for (const auto& [name, value] : level.cvars) world.cvars.Define(name, value);
    for (const auto& [type, name] : level.decls) world.DefineDecl(type, name);
    for (const LevelEntityDef& def : level.entityDefs) {
        // The world owns its decls; an entity def's spawn args are filled in once, here.
        Decl* decl = const_cast<Decl*>(world.DefineDecl("kvDeclEntityDef", def.name, def.hostClass));
        for (const auto& [key, value] : def.args) decl->args[key] = value;
    }

    // Step 3.
    std::vector<Entity*> placed;
    placed.reserve(level.entities.size());
    world.ReserveEntities(level.entities.size());
    for (const LevelEntity& le : level.entities) {
        Entity* e = le.name == "world" ? world.EntityByName("world") : nullptr;
        if (e) e->SetHostClass(le.hostClass);
        else e = &world.SpawnEntity(le.name, le.hostClass);
        if (le.origin) e->origin = *le.origin;
        if (le.more->angles) e->angles = *le.more->angles;
        if (le.more->mins) e->mins = *le.more->mins;
        if (le.more->maxs) e->maxs = *le.more->maxs;
        if (le.more->health) e->health = e->maxHealth = *le.more->health;
        if (le.more->shields) e->shields = e->maxShields = *le.more->shields;
        e->hidden = le.hidden;
        e->entityDefs = le.more->entityDefs;
        if (!le.more->spawnNames.empty()) e->methods->spawnNames = le.more->spawnNames;
        for (const auto& [key, value] : le.more->spawnArgs) e->spawnArgs[key] = value;
        placed.push_back(e);
    }
    // Players and walkers are what volumes notice crossing them.
    for (size_t i = 0; i < level.entities.size(); ++i) {
        const LevelEntity& le = level.entities[i];
        if (!le.more->path.empty()) world.paths.Follow(world, *placed[i], le.more->path);
        if (!le.more->path.empty() || HostClassIsA(le.hostClass, "kvPlayer")) world.volumes.Track(placed[i]->handle);
        if (!le.more->volume.empty())
            world.volumes.Sense(placed[i]->handle, le.more->volume == "touch" ? SenseMode::Touch : SenseMode::Events);
    }
    for (size_t i = 0; i < level.entities.size(); ++i) {
        placed[i]->targets.clear();
        for (const std::string& t : level.entities[i].targets)
            placed[i]->targets.push_back(world.FindEntity(t.c_str()));
        // Every entity is placed by now: a bind may name one the file defines later.
        if (!level.entities[i].more->bindTo.empty())
            world.SetBindParent(*placed[i], world.FindEntity(level.entities[i].more->bindTo.c_str()));
    }

    // Step 4.
    module->Reset();
    world.Record(RecordKind::Module, "Reset");

    // Step 5.
    LoadedLevel made;
    for (size_t i = 0; i < level.entities.size(); ++i) {
        Entity& e = *placed[i];
        for (const LevelObject& po : level.entities[i].objects) {
            uint32_t index = world.FindObjectIndex(e, po.className);
            const bool isNew = index == kNoObject;
            if (isNew) index = world.AddScriptObject(e, po.className.c_str());
            kvQOObject* object = index == kNoObject ? nullptr : world.ScriptObject(e.handle, index);
            if (!object) {
                AddError(errors, {level.file, e.name, po.field + ".class",
                                  "the module did not create script class '" + po.className + "'"});
                continue;
            }
            PlaceObjectValues(world, level, e.name, po, *object, errors);
            if (isNew) made.objects.emplace_back(e.handle, index);
        }
    }

    // Step 6. Each object is looked up again: an Init that ran before may have removed some.
    for (const auto& [entity, index] : made.objects)
        if (kvQOObject* object = world.GetScriptObject(entity, index))
            StartInitThread(world, *object);
    if (loaded) *loaded = std::move(made);
    return CountProblems(errors) == before;
}

}  // namespace qohost
