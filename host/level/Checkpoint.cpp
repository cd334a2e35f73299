#include "host/level/Checkpoint.h"

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <tuple>
#include <map>
#include <utility>

#include <nlohmann/json.hpp>

#include "host/level/WorldState.h"
#include "host/world/World.h"
#include "quorin/kvQOObject.h"

namespace qohost {

namespace {

// Each live object with its entity's name, class and place among the entity's objects of that
// class, in creation order.
template <class Visit>
void ForEachObject(World& world, Visit visit) {
    std::map<std::pair<std::string, std::string>, uint32_t> seen;
    const auto order = world.ObjectOrder();  // SyncState may create objects
    for (const auto& [handle, index] : order) {
        Entity* e = world.ValidEntity(handle);
        kvQOObject* object = world.ScriptObject(handle, index);
        if (!e || !object) continue;
        const std::string className = e->objects[index].className;
        const uint32_t place = seen[{e->name, className}]++;
        visit(*e, className, place, object);
    }
}

double Read(const StateStream::Entry& e) {
    switch (e.kind) {
        case 'b': return *static_cast<bool*>(e.member) ? 1.0 : 0.0;
        case 'i': return *static_cast<int32_t*>(e.member);
        default: return *static_cast<float*>(e.member);
    }
}

// False (and the member untouched) for a value its member cannot hold.
bool Write(const StateStream::Entry& e, double value) {
    if (!std::isfinite(value)) return false;
    switch (e.kind) {
        case 'b': *static_cast<bool*>(e.member) = value != 0.0; return true;
        case 'i':
            if (value < INT32_MIN || value > INT32_MAX || value != std::trunc(value)) return false;
            *static_cast<int32_t*>(e.member) = static_cast<int32_t>(value);
            return true;
        default:
            if (std::fabs(value) > FLT_MAX) return false;
            *static_cast<float*>(e.member) = static_cast<float>(value);
            return true;
    }
}

// The name of a member handed over: the designer property whose bytes hold it, or the class
// and the byte offset within the object.
std::string MemberName(World& world, const std::string& className, const void* object, const void* member) {
    const auto offset = static_cast<const char*>(member) - static_cast<const char*>(object);
    const qoPropertyInfo* rows = world.Module() ? world.Module()->GetPropertyTable(className.c_str()) : nullptr;
    for (; rows && rows->name; ++rows) {
        const std::ptrdiff_t start = rows->offset, end = start + rows->size;
        if (offset >= start && offset < end)
            return className + "." + rows->name + (offset == start ? "" : "+" + std::to_string(offset - start));
    }
    return className + "+" + std::to_string(offset);
}

std::string LayoutText(uint64_t layout) {
    char text[17];
    std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(layout));
    return text;
}

}  // namespace

Checkpoint SaveCheckpoint(World& world, bool withWorld) {
    Checkpoint checkpoint;
    checkpoint.frame = world.Frame();
    checkpoint.timeMs = world.GameTime();
    if (withWorld) checkpoint.world = SaveWorldState(world);
    ForEachObject(world, [&](Entity& e, const std::string& className, uint32_t place, kvQOObject* object) {
        CheckpointObject saved{e.name, className, place, ClassLayout(world, className), {}};
        world.stateStream.sync = [&](const StateStream::Entry& entry) {
            saved.values.push_back({entry.kind, Read(entry), MemberName(world, className, object, entry.member)});
        };
        object->SyncState(true);
        world.stateStream.sync = nullptr;
        if (!saved.values.empty()) checkpoint.objects.push_back(std::move(saved));
    });
    return checkpoint;
}

uint64_t ClassLayout(World& world, const std::string& className) {
    const qoPropertyInfo* rows = world.Module() ? world.Module()->GetPropertyTable(className.c_str()) : nullptr;
    if (!rows) return 0;
    // FNV-1a over every row's type, modifier, name, offset and size.
    uint64_t hash = 0xcbf29ce484222325ull;
    const auto mix = [&](const void* bytes, size_t size) {
        for (size_t i = 0; i < size; ++i) hash = (hash ^ static_cast<const uint8_t*>(bytes)[i]) * 0x100000001b3ull;
    };
    for (; rows->name; ++rows) {
        for (const char* text : {rows->type, rows->modifier, rows->name}) mix(text ? text : "", std::strlen(text ? text : "") + 1);
        mix(&rows->offset, sizeof rows->offset);
        mix(&rows->size, sizeof rows->size);
    }
    return hash;
}

CheckpointLoad LoadCheckpoint(World& world, const Checkpoint& checkpoint) {
    std::map<std::tuple<std::string, std::string, uint32_t>, const CheckpointObject*> saved;
    for (const CheckpointObject& o : checkpoint.objects) saved[{o.entity, o.className, o.index}] = &o;
    CheckpointLoad result;
    std::map<std::string, uint64_t> layouts;  // per class, as the module has it now
    ForEachObject(world, [&](Entity& e, const std::string& className, uint32_t place, kvQOObject* object) {
        auto it = saved.find({e.name, className, place});
        if (it == saved.end()) return;
        const CheckpointObject& from = *it->second;
        saved.erase(it);
        const std::string who = e.name + "." + className;
        auto layout = layouts.try_emplace(className, 0);
        if (layout.second) layout.first->second = ClassLayout(world, className);
        if (from.layout != 0 && from.layout != layout.first->second) {
            result.refused.push_back(who + ": its class has another layout now");
            return;
        }
        // What the object hands over now must be what was saved, member by member: the same
        // kinds at the same places.
        std::vector<CheckpointValue> now;
        world.stateStream.sync = [&](const StateStream::Entry& entry) {
            now.push_back({entry.kind, 0.0, MemberName(world, className, object, entry.member)});
        };
        object->SyncState(true);
        const std::vector<CheckpointValue>& values = from.values;
        bool same = now.size() >= values.size();
        for (size_t i = 0; same && i < values.size(); ++i)
            same = now[i].kind == values[i].kind && (values[i].name.empty() || now[i].name == values[i].name);
        if (!same) {
            world.stateStream.sync = nullptr;
            result.refused.push_back(who + ": it hands over other members now");
            return;
        }
        size_t next = 0;
        world.stateStream.sync = [&](const StateStream::Entry& entry) {
            if (next >= values.size() || values[next].kind != entry.kind || !Write(entry, values[next].value))
                ++result.mismatches;
            ++next;
        };
        object->SyncState(false);
        world.stateStream.sync = nullptr;
    });
    for (const auto& [key, o] : saved)
        result.refused.push_back(o->entity + "." + o->className + ": no such object now");
    return result;
}

std::string CheckpointText(const Checkpoint& checkpoint) {
    nlohmann::ordered_json doc;
    doc["version"] = checkpoint.version;
    if (!checkpoint.level.empty()) doc["level"] = checkpoint.level;
    doc["frame"] = checkpoint.frame;
    if (checkpoint.timeMs >= 0) doc["timeMs"] = checkpoint.timeMs;
    doc["objects"] = nlohmann::ordered_json::array();
    for (const CheckpointObject& o : checkpoint.objects) {
        nlohmann::ordered_json values = nlohmann::ordered_json::array();
        for (const CheckpointValue& v : o.values) {
            values.push_back({std::string(1, v.kind), v.value});
            if (!v.name.empty()) values.back().push_back(v.name);
        }
        nlohmann::ordered_json saved = {{"entity", o.entity}, {"class", o.className}, {"index", o.index}};
        if (o.layout) saved["layout"] = LayoutText(o.layout);
        saved["values"] = std::move(values);
        doc["objects"].push_back(std::move(saved));
    }
    if (!checkpoint.world.is_null()) doc["world"] = checkpoint.world;
    return doc.dump(1) + "\n";
}

bool ParseCheckpoint(const std::string& text, Checkpoint& out, std::string& error) {
    const nlohmann::ordered_json doc = nlohmann::ordered_json::parse(text, nullptr, false);
    auto fail = [&](const std::string& why) {
        error = "not a checkpoint: " + why;
        return false;
    };
    if (doc.is_discarded() || !doc.is_object()) return fail("expected a JSON object");
    if (!doc.contains("frame") || !doc["frame"].is_number_unsigned()) return fail("'frame' must be a frame number");
    if (!doc.contains("objects") || !doc["objects"].is_array()) return fail("'objects' must be an array");
    out = {};
    out.version = 1;
    if (doc.contains("version")) {
        if (!doc["version"].is_number_unsigned() || doc["version"].get<uint64_t>() < 1)
            return fail("'version' must be a version number");
        if (doc["version"].get<uint64_t>() > kCheckpointVersion)
            return fail("version " + std::to_string(doc["version"].get<uint64_t>()) + " is newer than this qohost reads (" +
                        std::to_string(kCheckpointVersion) + ")");
        out.version = doc["version"].get<int>();
    }
    if (doc.contains("level")) {
        if (!doc["level"].is_string()) return fail("'level' must be the level's name");
        out.level = doc["level"].get<std::string>();
    }
    if (doc.contains("world")) {
        if (!doc["world"].is_object()) return fail("'world' must be an object");
        out.world = doc["world"];
    }
    out.frame = doc["frame"].get<uint64_t>();
    if (doc.contains("timeMs")) {
        if (!doc["timeMs"].is_number_unsigned()) return fail("'timeMs' must be a game time in milliseconds");
        out.timeMs = doc["timeMs"].get<int64_t>();
    }
    for (const auto& o : doc["objects"]) {
        if (!o.is_object() || !o.contains("entity") || !o["entity"].is_string() || !o.contains("class") ||
            !o["class"].is_string() || !o.contains("index") || !o["index"].is_number_unsigned() ||
            !o.contains("values") || !o["values"].is_array())
            return fail("each object needs 'entity', 'class', 'index' and 'values'");
        CheckpointObject saved{o["entity"].get<std::string>(), o["class"].get<std::string>(),
                               o["index"].get<uint32_t>(), 0, {}};
        if (o.contains("layout")) {
            const auto& layout = o["layout"];
            char* end = nullptr;
            const std::string text = layout.is_string() ? layout.get<std::string>() : std::string();
            saved.layout = std::strtoull(text.c_str(), &end, 16);
            if (text.size() != 16 || *end) return fail("'layout' must be 16 hexadecimal digits");
        }
        for (const auto& v : o["values"]) {
            if (!v.is_array() || v.size() < 2 || v.size() > 3 || !v[0].is_string() || !v[1].is_number() ||
                (v.size() == 3 && !v[2].is_string()))
                return fail("each value is [kind, number] or [kind, number, name]");
            const std::string kind = v[0].get<std::string>();
            if (kind != "b" && kind != "i" && kind != "f") return fail("a value kind is 'b', 'i' or 'f'");
            saved.values.push_back({kind[0], v[1].get<double>(), v.size() == 3 ? v[2].get<std::string>() : ""});
        }
        out.objects.push_back(std::move(saved));
    }
    return true;
}

}  // namespace qohost
