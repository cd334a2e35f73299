#include "host/level/Checkpoint.h"

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <tuple>
#include <map>
#include <utility>

#include <nlohmann/json.hpp>

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

}  // namespace

Checkpoint SaveCheckpoint(World& world) {
    Checkpoint checkpoint;
    checkpoint.frame = world.Frame();
    ForEachObject(world, [&](Entity& e, const std::string& className, uint32_t place, kvQOObject* object) {
        CheckpointObject saved{e.name, className, place, {}};
        world.stateStream.sync = [&](const StateStream::Entry& entry) {
            saved.values.push_back({entry.kind, Read(entry)});
        };
        object->SyncState(true);
        world.stateStream.sync = nullptr;
        if (!saved.values.empty()) checkpoint.objects.push_back(std::move(saved));
    });
    return checkpoint;
}

size_t LoadCheckpoint(World& world, const Checkpoint& checkpoint) {
    std::map<std::tuple<std::string, std::string, uint32_t>, const CheckpointObject*> saved;
    for (const CheckpointObject& o : checkpoint.objects) saved[{o.entity, o.className, o.index}] = &o;
    size_t mismatches = 0;
    ForEachObject(world, [&](Entity& e, const std::string& className, uint32_t place, kvQOObject* object) {
        auto it = saved.find({e.name, className, place});
        if (it == saved.end()) return;
        size_t next = 0;
        const std::vector<CheckpointValue>& values = it->second->values;
        world.stateStream.sync = [&](const StateStream::Entry& entry) {
            if (next >= values.size() || values[next].kind != entry.kind || !Write(entry, values[next].value))
                ++mismatches;
            ++next;
        };
        object->SyncState(false);
        world.stateStream.sync = nullptr;
    });
    return mismatches;
}

std::string CheckpointText(const Checkpoint& checkpoint) {
    nlohmann::ordered_json doc;
    doc["frame"] = checkpoint.frame;
    doc["objects"] = nlohmann::ordered_json::array();
    for (const CheckpointObject& o : checkpoint.objects) {
        nlohmann::ordered_json values = nlohmann::ordered_json::array();
        for (const CheckpointValue& v : o.values) values.push_back({std::string(1, v.kind), v.value});
        doc["objects"].push_back({{"entity", o.entity}, {"class", o.className}, {"index", o.index}, {"values", values}});
    }
    return doc.dump(1) + "\n";
}

bool ParseCheckpoint(const std::string& text, Checkpoint& out, std::string& error) {
    const nlohmann::json doc = nlohmann::json::parse(text, nullptr, false);
    auto fail = [&](const std::string& why) {
        error = "not a checkpoint: " + why;
        return false;
    };
    if (doc.is_discarded() || !doc.is_object()) return fail("expected a JSON object");
    if (!doc.contains("frame") || !doc["frame"].is_number_unsigned()) return fail("'frame' must be a frame number");
    if (!doc.contains("objects") || !doc["objects"].is_array()) return fail("'objects' must be an array");
    out = {};
    out.frame = doc["frame"].get<uint64_t>();
    for (const auto& o : doc["objects"]) {
        if (!o.is_object() || !o.contains("entity") || !o["entity"].is_string() || !o.contains("class") ||
            !o["class"].is_string() || !o.contains("index") || !o["index"].is_number_unsigned() ||
            !o.contains("values") || !o["values"].is_array())
            return fail("each object needs 'entity', 'class', 'index' and 'values'");
        CheckpointObject saved{o["entity"].get<std::string>(), o["class"].get<std::string>(),
                               o["index"].get<uint32_t>(), {}};
        for (const auto& v : o["values"]) {
            if (!v.is_array() || v.size() != 2 || !v[0].is_string() || !v[1].is_number())
                return fail("each value is [kind, number]");
            const std::string kind = v[0].get<std::string>();
            if (kind != "b" && kind != "i" && kind != "f") return fail("a value kind is 'b', 'i' or 'f'");
            saved.values.push_back({kind[0], v[1].get<double>()});
        }
        out.objects.push_back(std::move(saved));
    }
    return true;
}

}  // namespace qohost
