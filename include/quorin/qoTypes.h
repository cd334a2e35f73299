// Quorin script module: value layouts and table rows shared between the module and its host.
//
// Everything in this header is plain data. The host writes property values straight into
// script objects at the offsets the module's property tables give, so these layouts are part
// of the binary contract and are guarded by static_asserts.
#pragma once

#include <cstddef>
#include <cstdint>

// Three floats: a position, a direction, or angles as pitch, yaw, roll.
struct qoVector {
    float x = 0.0f;
    float y = 0.0f;
    float z = 0.0f;
};

// Four floats r, g, b, a, nominally 0 to 1.
struct qoColor {
    float r = 0.0f;
    float g = 0.0f;
    float b = 0.0f;
    float a = 0.0f;
};

// Layout of a script string member (qoString in the module).
struct qoStringLayout {
    int32_t length;    // characters, terminator not counted
    uint32_t pad0;
    char* data;        // null-terminated text, or null while the string never held text
    int32_t capacity;  // bytes at data, terminator included
    uint32_t tag;      // memory tag used for every allocation of data
};

// Layout of a script list member (qoList<T> in the module).
struct qoListLayout {
    void* list;        // element storage, or null
    int32_t num;       // elements in use
    int32_t size;      // element slots allocated: 0 or a multiple of 8
    uint32_t tag;      // memory tag of the storage
    uint32_t pad0;
};

// Layout of a typed reference to a script object on some entity (qoObject<T> in the module).
struct qoObjectRefLayout {
    const void* operations;
    uint32_t entity;
    uint32_t objectIndex;
};

// Record filled by the host for the current script thread (host slot 22).
struct qoThreadContext {
    uint32_t entity;
    uint32_t objectIndex;
    const char* threadName;
};

class kvQOObject;

// Entry point of a script thread: the target object and an argument block (null for none).
typedef void (*qoThreadEntry)(kvQOObject* object, void* args);

// Memory tag the module uses for script objects and element blocks.
constexpr uint32_t qoDefaultMemoryTag = 0xFFFFFFFFu;

// Row of a property table; the table ends with an all-zero row.
struct qoPropertyInfo {
    const char* type;      // type name, e.g. "float", "qoList< qoEntity >"
    const char* modifier;  // "*" for decl types, "" otherwise
    const char* name;      // member name
    const char* comment;   // editor tooltip, "" when none
    uint32_t offset;       // from the start of the object or struct
    uint32_t size;
};

// Row of a decl-default table; the table ends with an all-zero row.
struct qoDeclDefault {
    const char* declType;
    const char* member;
    const char* defaultName;  // null or "" when the member has no default
    uint64_t offset;
};

// One value of a script enumeration; the array ends with a row whose name is null.
struct qoEnumValue {
    const char* name;
    int32_t value;
    uint32_t pad0;
};

// Header of a script enumeration table.
struct qoEnumInfo {
    const char* name;
    uint64_t flags;  // qoEnumFlagBits for bit-mask enumerations, 0 otherwise
    const qoEnumValue* values;
};

constexpr uint64_t qoEnumFlagBits = 0x80000;

static_assert(sizeof(qoVector) == 12);
static_assert(sizeof(qoColor) == 16);
static_assert(sizeof(qoStringLayout) == 24);
static_assert(offsetof(qoStringLayout, data) == 8);
static_assert(offsetof(qoStringLayout, capacity) == 16);
static_assert(offsetof(qoStringLayout, tag) == 20);
static_assert(sizeof(qoListLayout) == 24);
static_assert(offsetof(qoListLayout, num) == 8);
static_assert(offsetof(qoListLayout, size) == 12);
static_assert(offsetof(qoListLayout, tag) == 16);
static_assert(sizeof(qoObjectRefLayout) == 16);
static_assert(offsetof(qoObjectRefLayout, entity) == 8);
static_assert(offsetof(qoObjectRefLayout, objectIndex) == 12);
static_assert(sizeof(qoThreadContext) == 16);
static_assert(offsetof(qoThreadContext, threadName) == 8);
static_assert(sizeof(qoPropertyInfo) == 40);
static_assert(offsetof(qoPropertyInfo, offset) == 32);
static_assert(offsetof(qoPropertyInfo, size) == 36);
static_assert(sizeof(qoDeclDefault) == 32);
static_assert(offsetof(qoDeclDefault, offset) == 24);
static_assert(sizeof(qoEnumValue) == 16);
static_assert(sizeof(qoEnumInfo) == 24);
static_assert(offsetof(qoEnumInfo, values) == 16);
