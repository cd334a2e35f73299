// Type names of script members, as the property tables write them.
//
// qoTypeInfo<T> gives the written name, the modifier ("*" for decl references, "" otherwise)
// and the size of a member type. It knows the scalar and value types, qoList< T >, the decl
// reference types, enums (through qoEnumNameOf / qoEnumTableOf found by argument-dependent
// lookup, see QO_ENUM in object/qoClass.h) and script structs (through their qoName). A member
// of any other type cannot be published as a property: the build fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <type_traits>

#include "hostcalls/qoEntity.h"
#include "core/qoList.h"
#include "core/qoString.h"
#include "quorin/qoTypes.h"

// ---- compile-time strings --------------------------------------------------------------------

constexpr size_t qoStrLen(const char* s) {
    size_t n = 0;
    while (s[n] != 0) ++n;
    return n;
}

// Compile-time text comparisons take non-null texts: a sanitizer build cannot tell at compile
// time whether the address of a symbol is null.
constexpr bool qoStrEqual(const char* a, const char* b) {
    size_t i = 0;
    while (a[i] != 0 && a[i] == b[i]) ++i;
    return a[i] == b[i];
}
constexpr bool qoStrEqual(const char*, std::nullptr_t) { return false; }

// Plain unsigned byte order.
constexpr bool qoByteLess(const char* a, const char* b) {
    size_t i = 0;
    while (a[i] != 0 && a[i] == b[i]) ++i;
    return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[i]);
}

// A null-terminated text of fixed capacity, usable as constant data.
template <size_t N>
struct qoFixedString {
    char text[N] = {};
    constexpr const char* c_str() const { return text; }
};

template <size_t A, size_t B>
constexpr qoFixedString<A + B - 1> qoConcat(const char (&a)[A], const char (&b)[B]) {
    qoFixedString<A + B - 1> out;
    for (size_t i = 0; i + 1 < A; ++i) out.text[i] = a[i];
    for (size_t i = 0; i < B; ++i) out.text[A - 1 + i] = b[i];
    return out;
}

// Joins texts that live in static storage: qoJoin<&a, &b>::value.
template <const char*... Parts>
struct qoJoin {
    static constexpr size_t length = (qoStrLen(Parts) + ... + 0);
    static constexpr qoFixedString<length + 1> storage = [] {
        qoFixedString<length + 1> out;
        size_t at = 0;
        for (const char* part : {Parts...})
            for (size_t i = 0; part[i] != 0; ++i) out.text[at++] = part[i];
        return out;
    }();
    static constexpr const char* value = storage.text;
};

// ---- decl references -------------------------------------------------------------------------

// The host decl kinds. A decl member is a pointer to one of these opaque types, for example
// `const kvSoundShader* tickSound = nullptr;`; it converts to qoDeclRef for host calls.
#define QO_DECL_TYPES(X) \
    X(kvSoundShader)     \
    X(kvDeclEntityDef)   \
    X(kvDeclFX)          \
    X(kvDeclDamage)      \
    X(kvDeclInventory)   \
    X(kvDeclVoiceOver)   \
    X(kvMaterial)        \
    X(kvSoundDuck)       \
    X(kvDeclSecurityUnlock) \
    X(kvDeclRenderParm)

#define QO_DECLARE_DECL_TYPE(Name) class Name;
QO_DECL_TYPES(QO_DECLARE_DECL_TYPE)
#undef QO_DECLARE_DECL_TYPE

// ---- the type trait --------------------------------------------------------------------------

struct qoEnumValueRowTag;

// ADL hooks, defined next to each enum by QO_ENUM / QO_FILE_ENUM / QO_HOST_ENUM. These two
// deleted declarations only make the names visible to ordinary lookup.
void qoEnumNameOf() = delete;
void qoEnumTableOf() = delete;

template <class T>
concept qoScriptEnum = std::is_enum_v<T> && requires { qoEnumTableOf(static_cast<T*>(nullptr)); };

template <class T>
concept qoNamedEnum = std::is_enum_v<T> && requires { qoEnumNameOf(static_cast<T*>(nullptr)); };

template <class T>
concept qoScriptStruct = std::is_class_v<T> && requires { T::qoName; };

template <class T>
struct qoTypeInfo;  // no definition: the member type cannot be published

namespace qoTypeNames {
inline constexpr char kBool[] = "bool";
inline constexpr char kShort[] = "short";
inline constexpr char kInt[] = "int";
inline constexpr char kFloat[] = "float";
inline constexpr char kEntity[] = "qoEntity";
inline constexpr char kVector[] = "qoVector";
inline constexpr char kColor[] = "qoColor";
inline constexpr char kString[] = "qoString";
inline constexpr char kListOpen[] = "qoList< ";
inline constexpr char kListClose[] = " >";
inline constexpr char kDeclModifier[] = "*";
inline constexpr char kNoModifier[] = "";
#define QO_DECL_TYPE_NAME(Name) inline constexpr char k_##Name[] = #Name;
QO_DECL_TYPES(QO_DECL_TYPE_NAME)
#undef QO_DECL_TYPE_NAME
}  // namespace qoTypeNames

template <const char* Name, class T, const char* Modifier = qoTypeNames::kNoModifier>
struct qoTypeInfoOf {
    static constexpr const char* name = Name;
    static constexpr const char* modifier = Modifier;
    static constexpr uint32_t size = sizeof(T);
};


template <> struct qoTypeInfo<bool> : qoTypeInfoOf<qoTypeNames::kBool, bool> {};
template <> struct qoTypeInfo<int16_t> : qoTypeInfoOf<qoTypeNames::kShort, int16_t> {};
template <> struct qoTypeInfo<int32_t> : qoTypeInfoOf<qoTypeNames::kInt, int32_t> {};
template <> struct qoTypeInfo<float> : qoTypeInfoOf<qoTypeNames::kFloat, float> {};
template <> struct qoTypeInfo<qoEntity> : qoTypeInfoOf<qoTypeNames::kEntity, qoEntity> {};
template <> struct qoTypeInfo<qoVector> : qoTypeInfoOf<qoTypeNames::kVector, qoVector> {};
template <> struct qoTypeInfo<qoColor> : qoTypeInfoOf<qoTypeNames::kColor, qoColor> {};
template <> struct qoTypeInfo<qoString> : qoTypeInfoOf<qoTypeNames::kString, qoString> {};

#define QO_DECL_TYPE_INFO(Name)                                                          \
    template <>                                                                          \
    struct qoTypeInfo<const Name*>                                                       \
        : qoTypeInfoOf<qoTypeNames::k_##Name, const Name*, qoTypeNames::kDeclModifier> {};
QO_DECL_TYPES(QO_DECL_TYPE_INFO)
#undef QO_DECL_TYPE_INFO

template <class E>
struct qoTypeInfo<qoList<E>> {
    static constexpr const char* name =
        qoJoin<qoTypeNames::kListOpen, qoTypeInfo<E>::name, qoTypeNames::kListClose>::value;
    static constexpr const char* modifier = "";
    static constexpr uint32_t size = sizeof(qoList<E>);
};

// The element type of a list type.
template <class T>
struct qoListElement {};
template <class E>
struct qoListElement<qoList<E>> {
    using type = E;
};

template <qoScriptStruct T>
struct qoTypeInfo<T> : qoTypeInfoOf<T::qoName, T> {};

template <class T>
    requires qoScriptEnum<T> || qoNamedEnum<T>
struct qoTypeInfo<T> {
    static constexpr const char* name = [] {
        if constexpr (qoScriptEnum<T>)
            return qoEnumTableOf(static_cast<T*>(nullptr))->name;
        else
            return qoEnumNameOf(static_cast<T*>(nullptr));
    }();
    static constexpr const char* modifier = "";
    static constexpr uint32_t size = sizeof(T);
    static_assert(sizeof(T) == 4, "script enums are 32 bits wide");
};

template <class T>
concept qoPublishable = requires { qoTypeInfo<T>::name; };

// True for decl reference types.
template <class T>
constexpr bool qoIsDeclType = qoPublishable<T> && qoTypeInfo<T>::modifier[0] == '*';

// ---- enums -----------------------------------------------------------------------------------

// Enumerator lists are X-macros of (NAME, value) pairs, for example
//   #define MY_STATES(X) X(STATE_OFF, 0) X(STATE_ON, 1)
#define QO_ENUMERATOR_(name, value) name = value,
#define QO_ENUM_ROW_(name, value) qoEnumValue{#name, value, 0},

// A script enum at file level, with its table: QO_FILE_ENUM(musicTensionStates_t, 0, LIST).
#define QO_FILE_ENUM(Name, Flags, LIST)                                                      \
    enum Name : int32_t { LIST(QO_ENUMERATOR_) };                                            \
    inline constexpr qoEnumValue qoEnumValues_##Name[] = {LIST(QO_ENUM_ROW_) qoEnumValue{}}; \
    inline constexpr qoEnumInfo qoEnumInfo_##Name = {#Name, Flags, qoEnumValues_##Name};     \
    constexpr const qoEnumInfo* qoEnumTableOf(Name*) { return &qoEnumInfo_##Name; }

// An enum known only to the host: a 4-byte type with a name and no table.
#define QO_HOST_ENUM(Name)       \
    enum Name : int32_t {};      \
    constexpr const char* qoEnumNameOf(Name*) { return #Name; }

QO_HOST_ENUM(aiMonsterType_t)
QO_HOST_ENUM(alertCycle_t)
QO_HOST_ENUM(alignment_t)
QO_HOST_ENUM(walkState_t)
