// Script class declarations.
//
// A script class says everything about itself once, in its own header, next to its members:
//
//   class triggerSequential : public kvQuorinObject {
//       QO_SCRIPT_CLASS(triggerSequential, kvQuorinObject)
//       QO_COMMENT("Fire targets sequentially, optionally looping")
//       QO_PROPERTIES(QO_PROPERTY(loop, "Loop after all targets are fired"),
//                     QO_PROPERTY(debugText, "Display debug info"))
//       QO_EVENTS("OnActivate")
//   public:
//       void Init() override;
//       void OnActivate(const qoEntity& activator) override;
//       bool triggered = false;
//       ...
//   };
//
// From that declaration come the class's identity slots (41 GetClassName, 42 IsClass,
// 45 GetFunction, 46 HandlesEvent, 47 GetDeclDefaults, 48 Destroy), its factory, and every
// table the registry publishes for it (property rows with offsets and sizes taken from the
// layout, decl defaults, editor statements composed with its script bases, comment, listed
// flag). Offsets come from offsetof and type names from qoTypeInfo; nothing about the layout
// is written by hand.
//
// Declaration items (all but the first are optional, in any order inside the class body):
//   QO_SCRIPT_CLASS(Name, Base)  first; Base is kvQuorinObject or another script class
//   QO_UNLISTED                  creatable but left out of the class-name table
//   QO_COMMENT("text")           the class comment
//   QO_PROPERTIES(rows...)       QO_PROPERTY(member) or QO_PROPERTY(member, "tooltip")
//   QO_DECLS(rows...)            QO_DECL(member, "default decl name"), one per decl member
//   QO_EDITOR("statement", ...)  the class's own editor statements
//   QO_EVENTS("OnActivate", ...) handled event names, tested in this order
//   QO_OWN_EVENTS_ONLY           the class answers only its own QO_EVENTS, not its bases'
//   QO_FUNCTIONS(rows...)        host-callable functions: QO_FUNCTION(member) or
//                                QO_FUNCTION_NAMED("Name", member)
//   QO_ENUM(Name, flags, LIST)   a nested script enum with its table
//   QO_TYPES(types...)           nested enums or structs to publish that no property uses
// Script structs use QO_STRUCT(Outer, Name) or QO_FILE_STRUCT(Name) first, then
// QO_PROPERTIES and QO_EDITOR.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <new>
#include <tuple>
#include <type_traits>

#include "core/qoString.h"
#include "core/qoSystem.h"
#include "object/kvQuorinObject.h"
#include "object/qoClassTypes.h"
#include "object/qoThunk.h"

template <class T>
struct qoTag {};

template <class... T>
struct qoTypeList {};

// ---- declaration items -----------------------------------------------------------------------

template <class M>
struct qoPropertyDecl {
    const char* name;
    const char* comment;
    size_t offset;
};

template <class M>
struct qoDeclMemberDecl {
    const char* name;
    const char* defaultName;
    size_t offset;
};

struct qoFunctionDecl {
    const char* name;
    qoThreadEntry entry;
};

#define QO_SCRIPT_CLASS(Name, Base)                                                             \
public:                                                                                         \
    using qoSelf = Name;                                                                        \
    using qoScriptBase = Base;                                                                  \
    static constexpr char qoName[] = #Name;                                                     \
    const char* GetClassName() override { return qoName; }                                      \
    bool IsClass(const char* name) override { return qoClassOps<Name>::IsClass(name); }         \
    qoThreadEntry GetFunction(const char* name) override {                                      \
        return qoClassOps<Name>::Function(name);                                                \
    }                                                                                           \
    bool HandlesEvent(const char* name) override { return qoClassOps<Name>::HandlesEvent(name); } \
    const qoDeclDefault* GetDeclDefaults() override { return qoClassOps<Name>::DeclDefaults(); } \
    kvQOObject* Destroy(uint32_t flags) override { return DestroyAs(this, flags); }

#define QO_STRUCT(Outer, Name)  \
public:                         \
    using qoSelf = Name;        \
    static constexpr char qoName[] = #Outer "::" #Name;

#define QO_FILE_STRUCT(Name) \
public:                      \
    using qoSelf = Name;     \
    static constexpr char qoName[] = #Name;

#define QO_UNLISTED \
    static constexpr bool qoMetaUnlisted(qoTag<qoSelf>) { return true; }

#define QO_COMMENT(text) \
    static constexpr const char* qoMetaComment(qoTag<qoSelf>) { return text; }

#define QO_PROPERTIES(...) \
    static constexpr auto qoMetaProperties(qoTag<qoSelf>) { return std::tuple{__VA_ARGS__}; }
#define QO_PROPERTY(member, ...)                                                          \
    qoPropertyDecl<decltype(qoSelf::member)> {                                            \
        #member, "" __VA_ARGS__, offsetof(qoSelf, member)                                 \
    }

#define QO_DECLS(...) \
    static constexpr auto qoMetaDecls(qoTag<qoSelf>) { return std::tuple{__VA_ARGS__}; }
#define QO_DECL(member, defaultName)                                                      \
    qoDeclMemberDecl<decltype(qoSelf::member)> {                                          \
        #member, defaultName, offsetof(qoSelf, member)                                    \
    }

#define QO_EDITOR(...)                                                                    \
    static constexpr auto qoMetaEditor(qoTag<qoSelf>) {                                   \
        return std::to_array<const char*>({__VA_ARGS__});                                 \
    }

#define QO_EVENTS(...)                                                                    \
    static constexpr auto qoMetaEvents(qoTag<qoSelf>) {                                   \
        return std::to_array<const char*>({__VA_ARGS__});                                 \
    }

#define QO_OWN_EVENTS_ONLY \
    static constexpr bool qoMetaOwnEventsOnly(qoTag<qoSelf>) { return true; }

#define QO_FUNCTIONS(...)                                                                 \
    static constexpr auto qoMetaFunctions(qoTag<qoSelf>) {                                \
        return std::to_array<qoFunctionDecl>({__VA_ARGS__});                              \
    }
#define QO_FUNCTION(member) qoFunctionDecl{#member, &qoEntryThunk<&qoSelf::member>}
#define QO_FUNCTION_NAMED(name, member) qoFunctionDecl{name, &qoEntryThunk<&qoSelf::member>}

#define QO_TYPES(...) \
    static constexpr qoTypeList<__VA_ARGS__> qoMetaTypes(qoTag<qoSelf>) { return {}; }

// A script enum nested in a script class or struct; its table is named "Outer::Name".
#define QO_ENUM(Name, Flags, LIST)                                                            \
    enum Name : int32_t { LIST(QO_ENUMERATOR_) };                                             \
    static constexpr auto qoEnumName_##Name = qoConcat(qoName, "::" #Name);                   \
    static constexpr qoEnumValue qoEnumValues_##Name[] = {LIST(QO_ENUM_ROW_) qoEnumValue{}};  \
    static constexpr qoEnumInfo qoEnumInfo_##Name = {qoEnumName_##Name.text, Flags,           \
                                                     qoEnumValues_##Name};                    \
    friend constexpr const qoEnumInfo* qoEnumTableOf(Name*) { return &qoEnumInfo_##Name; }

// ---- what a declaration yields -----------------------------------------------------------------

template <class T>
concept qoScriptClass = std::is_base_of_v<kvQuorinObject, T> && requires {
    typename T::qoScriptBase;
    T::qoName;
} && std::is_same_v<typename T::qoSelf, T>;

template <class T>
concept qoStructType = qoScriptStruct<T> && !std::is_base_of_v<kvQOObject, T> &&
                       std::is_same_v<typename T::qoSelf, T>;

template <class T, size_t... N>
constexpr std::array<T, (N + ... + 0)> qoCatArrays(const std::array<T, N>&... parts) {
    std::array<T, (N + ... + 0)> out{};
    size_t at = 0;
    ((
         [&] {
             for (const T& row : parts) out[at++] = row;
         }()),
     ...);
    return out;
}

template <class M>
constexpr qoPropertyInfo qoMakeRow(const qoPropertyDecl<M>& p) {
    static_assert(qoPublishable<M>, "this member type has no written type name");
    static_assert(qoTypeInfo<M>::size == sizeof(M));
    return qoPropertyInfo{qoTypeInfo<M>::name, qoTypeInfo<M>::modifier, p.name, p.comment,
                          static_cast<uint32_t>(p.offset), qoTypeInfo<M>::size};
}

template <class M>
constexpr qoDeclDefault qoMakeRow(const qoDeclMemberDecl<M>& d) {
    static_assert(qoIsDeclType<M>, "QO_DECL names a member that is not a decl reference");
    return qoDeclDefault{qoTypeInfo<M>::name, d.name, d.defaultName, d.offset};
}

template <class Row, class Tuple>
constexpr auto qoRowsOf(const Tuple& items) {
    return std::apply(
        [](const auto&... item) { return std::array<Row, sizeof...(item)>{qoMakeRow(item)...}; },
        items);
}

// The member types of a tuple of declaration items, as a qoTypeList.
template <class Tuple>
struct qoItemTypes;
template <template <class> class Item, class... M>
struct qoItemTypes<std::tuple<Item<M>...>> {
    using type = qoTypeList<M...>;
};

template <class T>
constexpr auto qoOwnPropertyRows() {
    if constexpr (requires { T::qoMetaProperties(qoTag<T>{}); })
        return qoRowsOf<qoPropertyInfo>(T::qoMetaProperties(qoTag<T>{}));
    else
        return std::array<qoPropertyInfo, 0>{};
}

template <class T>
constexpr auto qoOwnDeclRows() {
    if constexpr (requires { T::qoMetaDecls(qoTag<T>{}); })
        return qoRowsOf<qoDeclDefault>(T::qoMetaDecls(qoTag<T>{}));
    else
        return std::array<qoDeclDefault, 0>{};
}

template <class T>
constexpr auto qoOwnStatements() {
    if constexpr (requires { T::qoMetaEditor(qoTag<T>{}); })
        return T::qoMetaEditor(qoTag<T>{});
    else
        return std::array<const char*, 0>{};
}

// Property member types and published nested types (for the registry's walk over struct and
// enum types).
template <class T>
constexpr auto qoPropertyItems() {
    if constexpr (requires { T::qoMetaProperties(qoTag<T>{}); })
        return T::qoMetaProperties(qoTag<T>{});
    else
        return std::tuple<>{};
}

template <>
struct qoItemTypes<std::tuple<>> {
    using type = qoTypeList<>;
};

template <class T>
using qoPropertyTypes = typename qoItemTypes<decltype(qoPropertyItems<T>())>::type;

template <class T>
constexpr auto qoNestedTypeList() {
    if constexpr (requires { T::qoMetaTypes(qoTag<T>{}); })
        return T::qoMetaTypes(qoTag<T>{});
    else
        return qoTypeList<>{};
}

template <class T>
using qoNestedTypes = decltype(qoNestedTypeList<T>());

// Names a class may announce in HandlesEvent: the host events, two names that classes
// announce without a handler of their own, and the encounter network's "OnSignal" (a virtual
// operation of the network nodes, not a host event).
constexpr bool qoIsKnownEventName(const char* name) {
#define QO_EVENT_NAME_MATCH(slot, id, text, shape) \
    if (qoStrEqual(name, text)) return true;
    QO_EVENT_TABLE(QO_EVENT_NAME_MATCH)
#undef QO_EVENT_NAME_MATCH
    return qoStrEqual(name, "OnItemPickup") || qoStrEqual(name, "OnRemove") ||
           qoStrEqual(name, "OnSignal");
}

template <class T>
struct qoTailProbe : T {
    char qoProbe;
};

// True when each row lies inside [first, end) and no two rows share a byte.
template <size_t N>
constexpr bool qoRowsFit(const std::array<qoPropertyInfo, N>& rows, size_t first, size_t end) {
    for (size_t i = 0; i < N; ++i) {
        if (rows[i].size == 0 || rows[i].offset < first || rows[i].offset + rows[i].size > end)
            return false;
        for (size_t j = 0; j < i; ++j)
            if (rows[i].offset < rows[j].offset + rows[j].size &&
                rows[j].offset < rows[i].offset + rows[i].size)
                return false;
    }
    return true;
}

// Tables of a script struct type: its property rows (offsets from the struct's start) and its
// own editor statements.
template <class S>
struct qoStructTables {
    static constexpr auto ownProperties = qoOwnPropertyRows<S>();
    static_assert(qoRowsFit(ownProperties, 0, sizeof(S)),
                  "a property row lies outside the struct or overlaps another");
    static constexpr auto propertyStorage =
        qoCatArrays(ownProperties, std::array<qoPropertyInfo, 1>{});
    static constexpr bool hasProperties = ownProperties.size() > 0;
    static constexpr const qoPropertyInfo* properties =
        hasProperties ? propertyStorage.data() : nullptr;

    static constexpr auto ownStatements = qoOwnStatements<S>();
    static constexpr auto statementStorage =
        qoCatArrays(ownStatements, std::array<const char*, 1>{});
    static constexpr bool hasMetadata = ownStatements.size() > 0;
    static constexpr const char* const* metadata =
        hasMetadata ? statementStorage.data() : nullptr;
};

// Tables of a script class.
template <class T>
struct qoClassTables {
    static_assert(qoScriptClass<T>, "a script class starts its body with QO_SCRIPT_CLASS");
    using Base = typename T::qoScriptBase;
    static constexpr bool hasScriptBase = qoScriptClass<Base>;
    static_assert(hasScriptBase || std::is_same_v<Base, kvQuorinObject>,
                  "the base of a script class is kvQuorinObject or another script class");
    // Members of a derived class start after the whole of its base (no tail-padding reuse).
    static_assert(offsetof(qoTailProbe<Base>, qoProbe) == sizeof(Base),
                  "a script base class must fill its size (add trailing padding)");

    // Property rows: own rows in declaration order, then the base's rows.
    static constexpr auto ownProperties = qoOwnPropertyRows<T>();
    static_assert(qoRowsFit(ownProperties, sizeof(Base), sizeof(T)),
                  "a property row lies outside the class's own members or overlaps another");
    static constexpr auto allProperties = [] {
        if constexpr (hasScriptBase)
            return qoCatArrays(ownProperties, qoClassTables<Base>::allProperties);
        else
            return ownProperties;
    }();
    static constexpr auto propertyStorage =
        qoCatArrays(allProperties, std::array<qoPropertyInfo, 1>{});
    static constexpr bool hasProperties = allProperties.size() > 0;
    static constexpr const qoPropertyInfo* properties =
        hasProperties ? propertyStorage.data() : nullptr;

    // Decl defaults: own rows, then the base's; never null.
    static constexpr auto allDecls = [] {
        if constexpr (hasScriptBase)
            return qoCatArrays(qoOwnDeclRows<T>(), qoClassTables<Base>::allDecls);
        else
            return qoOwnDeclRows<T>();
    }();
    static constexpr auto declStorage = qoCatArrays(allDecls, std::array<qoDeclDefault, 1>{});
    static constexpr const qoDeclDefault* declDefaults = declStorage.data();

    // Editor statements: a class with statements of its own repeats the array of every script
    // ancestor, root first (an ancestor without statements of its own has its base's array),
    // then adds its own; a class without statements of its own shares its base's array.
    static constexpr auto ownStatements = qoOwnStatements<T>();
    static constexpr auto ancestorArrays = [] {
        if constexpr (hasScriptBase)
            return qoCatArrays(qoClassTables<Base>::ancestorArrays, qoClassTables<Base>::classArray);
        else
            return std::array<const char*, 0>{};
    }();
    static constexpr auto classArray = [] {
        if constexpr (ownStatements.size() == 0 && hasScriptBase)
            return qoClassTables<Base>::classArray;
        else
            return qoCatArrays(ancestorArrays, ownStatements);
    }();
    static constexpr auto statementStorage = qoCatArrays(classArray, std::array<const char*, 1>{});
    static constexpr bool hasMetadata = classArray.size() > 0;
    static constexpr const char* const* metadata = [] {
        if (ownStatements.size()) return statementStorage.data();
        if constexpr (hasScriptBase) return qoClassTables<Base>::metadata;
        return static_cast<const char* const*>(nullptr);
    }();

    static constexpr auto events = [] {
        if constexpr (requires { T::qoMetaEvents(qoTag<T>{}); })
            return T::qoMetaEvents(qoTag<T>{});
        else
            return std::array<const char*, 0>{};
    }();
    static_assert([] {
        for (const char* e : events)
            if (!qoIsKnownEventName(e)) return false;
        return true;
    }(), "QO_EVENTS names an event the host never delivers");

    static constexpr auto functions = [] {
        if constexpr (requires { T::qoMetaFunctions(qoTag<T>{}); })
            return T::qoMetaFunctions(qoTag<T>{});
        else
            return std::array<qoFunctionDecl, 0>{};
    }();

    static constexpr bool hasComment = requires { T::qoMetaComment(qoTag<T>{}); };
    static constexpr const char* comment = [] {
        if constexpr (hasComment)
            return T::qoMetaComment(qoTag<T>{});
        else
            return static_cast<const char*>(nullptr);
    }();

    static constexpr bool listed = !requires { T::qoMetaUnlisted(qoTag<T>{}); };

    // Factory: storage from the host with the default tag, then the constructor; null when the
    // host has no memory.
    static kvQOObject* Create() {
        void* storage = qoSys->Allocate(sizeof(T), qoDefaultMemoryTag);
        if (storage == nullptr) return nullptr;
        return new (storage) T();
    }
};

// The identity operations a declaration generates (slots 42, 45, 46, 47). The class body calls
// these; they read the tables only when instantiated after the class is complete.
template <class T>
struct qoClassOps {
    using Base = typename T::qoScriptBase;

    static const qoDeclDefault* DeclDefaults() { return qoClassTables<T>::declDefaults; }

    static bool IsClass(const char* name) {
        if (name == nullptr) return false;
        if (qoIcmp(name, T::qoName) == 0) return true;
        if constexpr (qoScriptClass<Base>) return qoClassOps<Base>::IsClass(name);
        return false;
    }

    static bool HandlesEvent(const char* name) {
        if (name == nullptr) return false;
        for (const char* event : qoClassTables<T>::events)
            if (qoIcmp(name, event) == 0) return true;
        constexpr bool ownOnly = requires { T::qoMetaOwnEventsOnly(qoTag<T>{}); };
        if constexpr (qoScriptClass<Base> && !ownOnly) return qoClassOps<Base>::HandlesEvent(name);
        return false;
    }

    static qoThreadEntry Function(const char* name) {
        if (name == nullptr) return nullptr;
        for (const qoFunctionDecl& f : qoClassTables<T>::functions)
            if (qoIcmp(name, f.name) == 0) return f.entry;
        if constexpr (qoScriptClass<Base>) return qoClassOps<Base>::Function(name);
        return nullptr;
    }
};
