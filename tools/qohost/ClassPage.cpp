#include "tools/qohost/ClassPage.h"

#include <cstdio>
#include <algorithm>
#include <cstring>
#include <vector>

#include "quorin/kvQOObject.h"
#include "quorin/kvQuorin.h"
#include "quorin/qoEvents.h"

namespace qohost::cli {

namespace {

using nlohmann::ordered_json;

constexpr int kMaxDepth = 8;  // structs inside structs, as deep as a page shows

std::string ListElement(const std::string& type) {
    static const std::string open = "qoList< ", close = " >";
    if (type.size() <= open.size() + close.size() || type.rfind(open, 0) != 0) return {};
    return type.substr(open.size(), type.size() - open.size() - close.size());
}

// Internal enum values (the count of an enum's values) are no choice for a designer.
bool IsInternalEnumValue(const char* name) {
    const size_t n = std::strlen(name);
    return n >= 6 && std::strcmp(name + n - 6, "_COUNT") == 0;
}

template <class T>
T Read(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof value);
    return value;
}

// A member's value as a level file writes it.
ordered_json Value(kvQuorin* api, const std::string& type, const std::string& modifier, uint32_t size,
                   const uint8_t* at, const char* declDefault, int depth) {
    if (modifier == "*") return declDefault && *declDefault ? ordered_json(declDefault) : ordered_json(nullptr);
    if (type == "bool") return Read<bool>(at);
    if (type == "short") return Read<int16_t>(at);
    if (type == "int") return Read<int32_t>(at);
    if (type == "float") return Read<float>(at);
    if (type == "qoVector") {
        const auto v = Read<qoVector>(at);
        return ordered_json::array({v.x, v.y, v.z});
    }
    if (type == "qoColor") {
        const auto c = Read<qoColor>(at);
        return ordered_json::array({c.r, c.g, c.b, c.a});
    }
    if (type == "qoString") {
        const auto s = Read<qoStringLayout>(at);
        return s.data ? std::string(s.data, static_cast<size_t>(std::max(s.length, 0))) : std::string();
    }
    if (type == "qoEntity") return Read<uint32_t>(at) ? ordered_json(Read<uint32_t>(at)) : ordered_json(nullptr);
    if (const qoEnumInfo* e = api->GetEnumTable(type.c_str())) {
        const int32_t v = Read<int32_t>(at);
        if (e->flags & qoEnumFlagBits) {
            ordered_json names = ordered_json::array();
            for (const qoEnumValue* row = e->values; row && row->name; ++row)
                if (row->value && (v & row->value) == row->value) names.push_back(row->name);
            return names;
        }
        for (const qoEnumValue* row = e->values; row && row->name; ++row)
            if (row->value == v) return row->name;
        return v;
    }
    const std::string element = ListElement(type);
    if (!element.empty()) {
        const auto list = Read<qoListLayout>(at);
        ordered_json items = ordered_json::array();
        const uint32_t elementSize = api->GetElementSize(element.c_str());
        for (int32_t i = 0; list.list && elementSize && i < list.num && depth < kMaxDepth; ++i)
            items.push_back(Value(api, element, "", elementSize,
                                  static_cast<const uint8_t*>(list.list) + size_t(i) * elementSize, nullptr, depth + 1));
        return items;
    }
    if (const qoPropertyInfo* rows = api->GetPropertyTable(type.c_str()); rows && depth < kMaxDepth) {
        ordered_json members = ordered_json::object();
        for (; rows->name; ++rows)
            members[rows->name] = Value(api, rows->type, rows->modifier, rows->size, at + rows->offset, nullptr, depth + 1);
        return members;
    }
    // An enum only the host knows: its number.
    return size == 2 ? ordered_json(Read<int16_t>(at)) : ordered_json(Read<int32_t>(at));
}

std::string TypeText(kvQuorin* api, const std::string& type, const std::string& modifier) {
    if (modifier == "*") return type + " name";
    if (type == "qoEntity") return "entity name";
    if (type == "qoString") return "text";
    if (type == "qoVector") return "[x, y, z]";
    if (type == "qoColor") return "[r, g, b, a]";
    const std::string element = ListElement(type);
    if (!element.empty()) return "list of " + TypeText(api, element, "");
    if (const qoEnumInfo* e = api->GetEnumTable(type.c_str()))
        return std::string(e->flags & qoEnumFlagBits ? "set of " : "one of ") + type;
    if (api->GetPropertyTable(type.c_str())) return "struct " + type;
    return type;
}

std::string Choices(kvQuorin* api, const std::string& type) {
    std::string element = ListElement(type);
    const qoEnumInfo* e = api->GetEnumTable((element.empty() ? type : element).c_str());
    if (!e) return {};
    std::string out;
    for (const qoEnumValue* row = e->values; row && row->name; ++row)
        if (!IsInternalEnumValue(row->name)) out += (out.empty() ? "" : ", ") + std::string(row->name);
    return out;
}

}  // namespace

std::string ClassPurpose(kvQuorin* api, const std::string& name) {
    const char* comment = api->GetComment(name.c_str());
    return comment ? comment : "";
}

ordered_json ClassDefaults(kvQuorin* api, const std::string& name) {
    kvQOObject* object = api->CreateObject(name.c_str());
    if (!object) return nullptr;
    ordered_json values = ordered_json::object();
    const auto* base = reinterpret_cast<const uint8_t*>(object);
    for (const qoPropertyInfo* row = api->GetPropertyTable(name.c_str()); row && row->name; ++row) {
        const char* declDefault = nullptr;
        for (const qoDeclDefault* d = object->GetDeclDefaults(); d && d->declType; ++d)
            if (d->member && std::strcmp(d->member, row->name) == 0) declDefault = d->defaultName;
        values[row->name] = Value(api, row->type, row->modifier, row->size, base + row->offset, declDefault, 0);
    }
    object->Destroy(1);
    return values;
}

bool PrintClassPage(kvQuorin* api, const std::string& name) {
    const ordered_json defaults = ClassDefaults(api, name);
    if (defaults.is_null()) return false;
    const std::string purpose = ClassPurpose(api, name);
    std::printf("%s: %s\n", name.c_str(), purpose.empty() ? "(the module gives no description)" : purpose.c_str());

    std::printf("\nproperties:\n");
    const qoPropertyInfo* rows = api->GetPropertyTable(name.c_str());
    if (!rows || !rows->name) std::printf("  (none)\n");
    for (; rows && rows->name; ++rows) {
        std::printf("  %s (%s), default %s\n", rows->name, TypeText(api, rows->type, rows->modifier).c_str(),
                    defaults[rows->name].dump().c_str());
        if (rows->comment && *rows->comment) std::printf("      %s\n", rows->comment);
        const std::string choices = Choices(api, rows->type);
        if (!choices.empty()) std::printf("      choices: %s\n", choices.c_str());
    }

    kvQOObject* object = api->CreateObject(name.c_str());
    std::string handled;
    const auto handles = [&](const char* event) {
        if (event && object->HandlesEvent(event)) handled += (handled.empty() ? "" : ", ") + std::string(event);
    };
#define QO_PAGE_EVENT(slot, id, eventName, shape) handles(eventName);
    QO_EVENT_TABLE(QO_PAGE_EVENT)
#undef QO_PAGE_EVENT
    object->Destroy(1);
    std::printf("\nevents handled: %s\n", handled.empty() ? "none" : handled.c_str());

    if (const char* const* statements = api->GetEditorMetadata(name.c_str()); statements && *statements) {
        std::printf("\neditor statements:\n");
        for (; *statements; ++statements) std::printf("  %s\n", *statements);
    }

    ordered_json snippet = {{"class", name}, {"properties", defaults}};
    std::printf("\nin a level file (the defaults):\n%s\n", snippet.dump(2).c_str());
    return true;
}

}  // namespace qohost::cli
