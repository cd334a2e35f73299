// The registry's tables, derived at compile time from a set of script classes.
//
// qoRegistryTables<Sources> gathers every name the module interface answers: the classes, the
// struct and enum types reachable from their properties (and from QO_TYPES), the scalar element
// types, and enum tables that have no class yet. Each name becomes one symbol; the symbols sit in
// an open-addressing hash table keyed on length and bytes, so a lookup costs one hash, a probe or
// two and one exact comparison however many classes there are. The class-name and prefix tables
// are sorted constant arrays.
//
// Sources provides:
//   using classes = qoTypeList<script classes...>;
//   using types = qoTypeList<file-level structs and enums to publish...>;
//   static constexpr std::array<const qoEnumInfo*, N> enums;  // tables without a C++ type
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <new>
#include <type_traits>

#include "core/qoSystem.h"
#include "object/qoClass.h"

// One name the module answers. `kinds` says which fields hold something; compile-time code
// reads the flags, never the pointers (a sanitizer build cannot compare symbol addresses with
// null at compile time).
struct qoSymbol {
    enum Kind : uint32_t {
        kClass = 1,        // create
        kListed = 2,       // in the class-name table
        kComment = 4,      // comment
        kProperties = 8,   // properties
        kMetadata = 16,    // metadata
        kEnum = 32,        // enumTable
        kElement = 64,     // elementSize, allocate
        kStruct = 128,     // a script struct type
    };
    const char* name;
    uint32_t length;
    uint32_t hash;
    uint32_t kinds;
    kvQOObject* (*create)();
    const char* comment;
    const qoPropertyInfo* properties;
    const char* const* metadata;
    const qoEnumInfo* enumTable;
    uint32_t elementSize;
    void* (*allocate)(int count);
};

// Hash of a name: its length, then the bytes eight at a time (little-endian words), each word
// mixed in with a multiply and a shift.
constexpr uint32_t qoNameHash(const char* text, size_t length) {
    uint64_t h = 0x9E3779B97F4A7C15ull ^ length;
    size_t i = 0;
    while (i < length) {
        uint64_t word = 0;
        for (size_t k = 0; k < 8 && i + k < length; ++k)
            word |= static_cast<uint64_t>(static_cast<unsigned char>(text[i + k])) << (8 * k);
        h = (h ^ word) * 0xBF58476D1CE4E5B9ull;
        h ^= h >> 31;
        i += 8;
    }
    return static_cast<uint32_t>(h ^ (h >> 32));
}

// The prefix of a class name: up to and including its first "_", when that is not the first
// character. Returns the prefix length, 0 for none.
constexpr size_t qoPrefixLength(const char* name) {
    if (name[0] == 0 || name[0] == '_') return 0;
    for (size_t i = 1; name[i] != 0; ++i)
        if (name[i] == '_') return i + 1;
    return 0;
}

// Element construction: every element default-initialised in ascending order (plain numbers
// and host enums are left as allocated). A negative count is refused without allocating.
template <class E>
void* qoAllocateElements(int count) {
    if (count < 0) return nullptr;
    void* block = qoSys->Allocate(static_cast<size_t>(count) * sizeof(E), qoDefaultMemoryTag);
    if (block == nullptr) return nullptr;
    E* elements = static_cast<E*>(block);
    for (int i = 0; i < count; ++i) new (&elements[i]) E;
    return block;
}

namespace qoRegistryDetail {

constexpr qoSymbol MakeSymbol(const char* name) {
    qoSymbol s{};
    s.name = name;
    s.length = static_cast<uint32_t>(qoStrLen(name));
    s.hash = qoNameHash(name, s.length);
    return s;
}

template <class... A>
constexpr auto Cat(const A&... parts) {
    return qoCatArrays(std::array<qoSymbol, 0>{}, parts...);
}

template <class T>
constexpr auto TypeSymbols();

template <class... T>
constexpr auto TypeSymbolsOf(qoTypeList<T...>) {
    return Cat(TypeSymbols<T>()...);
}

template <class S>
constexpr qoSymbol StructSymbol() {
    using Tables = qoStructTables<S>;
    qoSymbol s = MakeSymbol(S::qoName);
    s.kinds = qoSymbol::kStruct;
    if (Tables::hasProperties) s.kinds |= qoSymbol::kProperties;
    if (Tables::hasMetadata) s.kinds |= qoSymbol::kMetadata;
    s.properties = Tables::properties;
    s.metadata = Tables::metadata;
    return s;
}

template <class E>
constexpr auto ElementSymbols() {
    if constexpr (qoStructType<E>) {
        qoSymbol s = StructSymbol<E>();
        s.kinds |= qoSymbol::kElement;
        s.elementSize = sizeof(E);
        s.allocate = &qoAllocateElements<E>;
        return Cat(std::array<qoSymbol, 1>{s}, TypeSymbols<E>());
    } else {
        return TypeSymbols<E>();
    }
}

// Symbols for the struct and enum types a member type brings along.
template <class T>
constexpr auto TypeSymbols() {
    if constexpr (qoStructType<T>) {
        return Cat(std::array<qoSymbol, 1>{StructSymbol<T>()}, TypeSymbolsOf(qoPropertyTypes<T>{}),
                   TypeSymbolsOf(qoNestedTypes<T>{}));
    } else if constexpr (qoScriptEnum<T>) {
        const qoEnumInfo* table = qoEnumTableOf(static_cast<T*>(nullptr));
        qoSymbol s = MakeSymbol(table->name);
        s.kinds = qoSymbol::kEnum;
        s.enumTable = table;
        return std::array<qoSymbol, 1>{s};
    } else if constexpr (requires { typename qoListElement<T>::type; }) {
        return ElementSymbols<typename qoListElement<T>::type>();
    } else {
        return std::array<qoSymbol, 0>{};
    }
}

template <class C>
constexpr auto ClassSymbols() {
    using Tables = qoClassTables<C>;
    qoSymbol s = MakeSymbol(C::qoName);
    s.kinds = qoSymbol::kClass;
    if (Tables::listed) s.kinds |= qoSymbol::kListed;
    if (Tables::hasComment) s.kinds |= qoSymbol::kComment;
    if (Tables::hasProperties) s.kinds |= qoSymbol::kProperties;
    if (Tables::hasMetadata) s.kinds |= qoSymbol::kMetadata;
    s.create = &Tables::Create;
    s.comment = Tables::comment;
    s.properties = Tables::properties;
    s.metadata = Tables::metadata;
    return Cat(std::array<qoSymbol, 1>{s}, TypeSymbolsOf(qoPropertyTypes<C>{}),
               TypeSymbolsOf(qoNestedTypes<C>{}));
}

template <class... C>
constexpr auto ClassSymbolsOf(qoTypeList<C...>) {
    return Cat(ClassSymbols<C>()...);
}

// The scalar list element types.
template <class E>
constexpr qoSymbol ScalarElement() {
    qoSymbol s = MakeSymbol(qoTypeInfo<E>::name);
    s.kinds = qoSymbol::kElement;
    s.elementSize = sizeof(E);
    s.allocate = &qoAllocateElements<E>;
    return s;
}

constexpr auto ScalarElements() {
    return std::array<qoSymbol, 6>{ScalarElement<int32_t>(), ScalarElement<float>(),
                                   ScalarElement<aiMonsterType_t>(), ScalarElement<qoEntity>(),
                                   ScalarElement<qoVector>(), ScalarElement<qoString>()};
}

template <size_t N>
constexpr auto EnumSymbols(const std::array<const qoEnumInfo*, N>& tables) {
    std::array<qoSymbol, N> out{};
    for (size_t i = 0; i < N; ++i) {
        out[i] = MakeSymbol(tables[i]->name);
        out[i].kinds = qoSymbol::kEnum;
        out[i].enumTable = tables[i];
    }
    return out;
}

// Reached only when two declarations publish different things under one name; calling it in
// a constant expression stops the build.
inline void ConflictingDeclarations() {}

constexpr bool SameRows(const qoPropertyInfo* a, const qoPropertyInfo* b) {
    for (;; ++a, ++b) {
        const bool endA = a->size == 0, endB = b->size == 0;  // only the terminator has size 0
        if (endA || endB) return endA && endB;
        if (!qoStrEqual(a->name, b->name) || !qoStrEqual(a->type, b->type) || a->offset != b->offset ||
            a->size != b->size)
            return false;
    }
}

constexpr bool SameValues(const qoEnumInfo* a, const qoEnumInfo* b) {
    if (a->flags != b->flags) return false;
    const qoEnumValue* x = a->values;
    const qoEnumValue* y = b->values;
    for (;; ++x, ++y) {
        const bool endX = x->name == nullptr, endY = y->name == nullptr;  // literals or null
        if (endX || endY) return endX && endY;
        if (!qoStrEqual(x->name, y->name) || x->value != y->value) return false;
    }
}

// Two symbols of one name must describe the same thing: the same struct met twice (as a member
// and as a list element, say), or an enum table declared twice with the same values.
constexpr void Merge(qoSymbol& s, const qoSymbol& o) {
    constexpr uint32_t what = qoSymbol::kClass | qoSymbol::kStruct | qoSymbol::kEnum;
    if ((s.kinds & what) != (o.kinds & what) || (s.kinds & qoSymbol::kClass)) {
        ConflictingDeclarations();
    }
    if ((s.kinds & qoSymbol::kStruct) && ((s.kinds ^ o.kinds) & qoSymbol::kProperties)) {
        ConflictingDeclarations();
    }
    if ((s.kinds & o.kinds & qoSymbol::kProperties) && !SameRows(s.properties, o.properties)) {
        ConflictingDeclarations();
    }
    if ((s.kinds & qoSymbol::kEnum) && !SameValues(s.enumTable, o.enumTable)) {
        ConflictingDeclarations();
    }
    if (o.kinds & qoSymbol::kElement) {
        s.elementSize = o.elementSize;
        s.allocate = o.allocate;
    }
    s.kinds |= o.kinds;
}

// Folds symbols of the same name into one; sorted by name.
template <size_t N>
constexpr auto SortedUnique(std::array<qoSymbol, N> all) {
    std::sort(all.begin(), all.end(),
              [](const qoSymbol& a, const qoSymbol& b) { return qoByteLess(a.name, b.name); });
    size_t count = 0;
    for (size_t i = 0; i < N; ++i) {
        if (count && qoStrEqual(all[count - 1].name, all[i].name))
            Merge(all[count - 1], all[i]);
        else
            all[count++] = all[i];
    }
    return std::pair{all, count};
}

constexpr size_t HashSlots(size_t count) {
    size_t n = 8;
    while (n < count * 2) n *= 2;
    return n;
}

}  // namespace qoRegistryDetail

template <class Sources>
struct qoRegistryTables {
    using Classes = typename Sources::classes;

    static constexpr auto gathered = [] {
        using namespace qoRegistryDetail;
        return SortedUnique(Cat(ClassSymbolsOf(Classes{}), TypeSymbolsOf(typename Sources::types{}),
                                EnumSymbols(Sources::enums), ScalarElements()));
    }();
    static constexpr size_t symbolCount = gathered.second;

    // Every name, sorted in byte order.
    static constexpr auto symbols = [] {
        std::array<qoSymbol, symbolCount> out{};
        for (size_t i = 0; i < symbolCount; ++i) out[i] = gathered.first[i];
        return out;
    }();

    // Open addressing with linear probing; a slot holds a symbol index + 1, 0 when empty.
    static constexpr size_t slotCount = qoRegistryDetail::HashSlots(symbolCount);
    static constexpr auto slots = [] {
        std::array<uint16_t, slotCount> out{};
        for (size_t i = 0; i < symbolCount; ++i) {
            size_t at = symbols[i].hash & (slotCount - 1);
            while (out[at] != 0) at = (at + 1) & (slotCount - 1);
            out[at] = static_cast<uint16_t>(i + 1);
        }
        return out;
    }();
    static_assert(symbolCount < 0xFFFF);

    static constexpr size_t CountIf(bool (*keep)(const qoSymbol&)) {
        size_t n = 0;
        for (const qoSymbol& s : symbols) n += keep(s) ? 1 : 0;
        return n;
    }

    // Listed classes in byte order, then one null.
    static constexpr size_t listedCount =
        CountIf([](const qoSymbol& s) { return (s.kinds & qoSymbol::kListed) != 0; });
    static constexpr auto classNames = [] {
        std::array<const char*, listedCount + 1> out{};
        size_t at = 0;
        for (const qoSymbol& s : symbols)
            if (s.kinds & qoSymbol::kListed) out[at++] = s.name;
        return out;
    }();

    // Distinct prefixes of every creatable class, listed or not, in byte order, then one null.
    struct PrefixSet {
        std::array<size_t, symbolCount> from{};  // index of a class carrying the prefix
        std::array<size_t, symbolCount> length{};
        size_t count = 0;
        size_t bytes = 0;
    };
    static constexpr PrefixSet prefixSet = [] {
        PrefixSet set;
        for (size_t i = 0; i < symbolCount; ++i) {
            if (!(symbols[i].kinds & qoSymbol::kClass)) continue;
            const size_t n = qoPrefixLength(symbols[i].name);
            if (n == 0) continue;
            bool seen = false;
            for (size_t k = 0; k < set.count && !seen; ++k) {
                if (set.length[k] != n) continue;
                seen = std::equal(symbols[i].name, symbols[i].name + n, symbols[set.from[k]].name);
            }
            if (seen) continue;
            set.from[set.count] = i;
            set.length[set.count] = n;
            set.bytes += n + 1;
            ++set.count;
        }
        return set;
    }();
    static constexpr auto prefixText = [] {
        std::array<char, prefixSet.bytes + 1> out{};
        size_t at = 0;
        for (size_t k = 0; k < prefixSet.count; ++k) {
            const char* name = symbols[prefixSet.from[k]].name;
            for (size_t i = 0; i < prefixSet.length[k]; ++i) out[at++] = name[i];
            out[at++] = 0;
        }
        return out;
    }();
    static constexpr auto classPrefixes = [] {
        std::array<const char*, prefixSet.count + 1> out{};
        size_t at = 0;
        for (size_t k = 0; k < prefixSet.count; ++k) {
            out[k] = prefixText.data() + at;
            at += prefixSet.length[k] + 1;
        }
        std::sort(out.begin(), out.begin() + prefixSet.count, qoByteLess);
        return out;
    }();

    // The symbol with exactly this name, or null.
    static const qoSymbol* Find(const char* text, size_t length) {
        const uint32_t h = qoNameHash(text, length);
        for (size_t at = h & (slotCount - 1);; at = (at + 1) & (slotCount - 1)) {
            const uint16_t slot = slots[at];
            if (slot == 0) return nullptr;
            const qoSymbol& s = symbols[slot - 1];
            if (s.hash == h && s.length == length && std::memcmp(text, s.name, length) == 0)
                return &s;
        }
    }
};
