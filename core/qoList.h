// qoList<T>: the script list. 24 bytes, layout shared with the host (qoListLayout).
//
// Storage comes from the host allocator with the tag read at construction and grows in steps
// of 8 slots. For element types with a default value (entities, strings, traces, vectors,
// script structs) every allocated slot holds a constructed element, not only the first `num`;
// plain numbers, enumerations and pointers are left as allocated beyond `num`.
//
// When the host allocator fails, the list reports "qoList Allocation failed" and keeps its old
// storage and elements; the Append or Insert that needed the room does nothing.
#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <new>
#include <type_traits>
#include <utility>

#include "core/qoDiagnostics.h"
#include "core/qoSystem.h"
#include "quorin/qoTypes.h"

template <class T>
class qoList {
public:
    qoList() : list(nullptr), num(0), size(0), tag(qoHostMemoryTag()), pad0(0) {}
    qoList(const qoList& other) : qoList() { Append(other); }
    ~qoList() { Clear(); }

    qoList& operator=(const qoList& other) {
        if (this != &other) {
            Clear();
            Append(other);
        }
        return *this;
    }

    int Num() const { return num; }

    // Reallocates to n rounded up to a multiple of 8 slots and keeps the first min(n, num)
    // elements; n < 1 frees everything. False when the host allocator failed (reported; the
    // list is then unchanged).
    bool Resize(int n) {
        if (n < 1) {
            Clear();
            return true;
        }
        const int64_t newSize = (static_cast<int64_t>(n) + 7) & ~static_cast<int64_t>(7);
        const int kept = n < num ? n : num;
        // Elements constructed in the new storage read the list's tag as the current one.
        const uint32_t previousTag = qoSys ? qoSys->SetMemoryTag(tag) : 0u;
        T* storage = newSize <= INT32_MAX
                         ? static_cast<T*>(qoHostAllocate(static_cast<size_t>(newSize) * sizeof(T), tag))
                         : nullptr;
        if (!storage) {
            if (qoSys) qoSys->SetMemoryTag(previousTag);
            ReportError("qoList Allocation failed");
            return false;
        }
        for (int i = 0; i < kept; ++i) new (&storage[i]) T(list[i]);
        if constexpr (kConstructsSlots) {
            for (int64_t i = kept; i < newSize; ++i) new (&storage[i]) T();
        }
        qoSys->SetMemoryTag(previousTag);
        ReleaseStorage();
        list = storage;
        num = kept;
        size = static_cast<int32_t>(newSize);
        return true;
    }

    // Stores the value after the last element, growing by 8 slots when full. Returns the index,
    // -1 when the storage could not grow.
    int Append(const T& value) {
        if (num == size) {
            const int alias = IndexOf(value);
            if (!Resize(num + 1)) return -1;
            if (alias >= 0) {
                list[num] = list[alias];
                return num++;
            }
        }
        list[num] = value;
        return num++;
    }

    // Stores the value at index clamped into 0..num, moving later elements up one place.
    // Returns the index used, -1 when the storage could not grow.
    int Insert(const T& value, int index = 0) {
        if (IndexOf(value) >= 0) {
            const T copy(value);
            return Insert(copy, index);
        }
        if (num == size && !Resize(num + 1)) return -1;
        if (index < 0) index = 0;
        if (index > num) index = num;
        // The spare slot at num travels down to index.
        for (int i = num; i > index; --i) Exchange(list[i], list[i - 1]);
        list[index] = value;
        ++num;
        return index;
    }

    // Appends every element of src in order after resizing once to num + src.num. Appending a
    // list to itself is refused.
    void Append(const qoList& src) {
        if (this == &src) {
            qoAssertFailed("this != &src");
            return;
        }
        if (!Resize(num + src.num)) return;
        for (int i = 0; i < src.num; ++i) Append(src.list[i]);
    }

    // Removes the element at index, moving later elements down one place. Storage is kept.
    bool RemoveIndex(int index) {
        if (index < 0 || index >= num) {
            qoAssertFailed("( index >= 0 ) && ( index < num )");
            return false;
        }
        for (int i = index; i < num - 1; ++i) Exchange(list[i], list[i + 1]);
        --num;
        return true;
    }

    // Exchanges two elements; nothing happens when either index is outside 0..num-1.
    void Swap(int a, int b) {
        if (a < 0 || a >= num) {
            qoAssertFailed("( a >= 0 ) && ( a < num )");
            return;
        }
        if (b < 0 || b >= num) {
            qoAssertFailed("( b >= 0 ) && ( b < num )");
            return;
        }
        Exchange(list[a], list[b]);
    }

    // Index of the first element equal to value, -1 when there is none.
    int FindIndex(const T& value) const
        requires std::equality_comparable<T>
    {
        for (int i = 0; i < num; ++i) {
            if (list[i] == value) return i;
        }
        return -1;
    }

    // Out of range reports the assertion and yields a zero-valued element that is not part of
    // the list.
    T& operator[](int index) {
        if (index < 0 || index >= num) return OutOfRange();
        return list[index];
    }
    const T& operator[](int index) const {
        if (index < 0 || index >= num) return OutOfRange();
        return list[index];
    }

    T* begin() { return list; }
    T* end() { return list + num; }
    const T* begin() const { return list; }
    const T* end() const { return list + num; }

    // Destroys the elements, frees the storage: no storage, num 0, size 0.
    void Clear() {
        ReleaseStorage();
        list = nullptr;
        num = 0;
        size = 0;
    }

    // Raw fields; see qoListLayout.
    T* list;
    int32_t num;
    int32_t size;
    uint32_t tag;
    uint32_t pad0;

private:
    // Types without a default value (plain numbers, enumerations, pointers) are left as
    // allocated; every other slot is constructed.
    static constexpr bool kConstructsSlots = !std::is_trivially_default_constructible_v<T>;
    static_assert(kConstructsSlots || std::is_trivially_destructible_v<T>,
                  "list elements without a default value must need no destruction");

    // Destroys every constructed slot of the current storage and frees it with the list's tag.
    void ReleaseStorage() {
        if (!list) return;
        if constexpr (kConstructsSlots) {
            for (int i = 0; i < size; ++i) list[i].~T();
        }
        qoHostFree(list, tag);
    }

    // Index of the slot that value lives in when it lives in this list's storage, else -1.
    int IndexOf(const T& value) const {
        const std::less<const T*> before;
        const T* p = &value;
        if (!list || before(p, list) || !before(p, list + size)) return -1;
        return static_cast<int>(p - list);
    }

    static void Exchange(T& a, T& b) {
        using std::swap;
        swap(a, b);
    }

    static T& OutOfRange() {
        qoAssertFailed("( index >= 0 ) && ( index < num )");
        // Placement storage that is never destroyed: no destructor runs after the host is gone.
        alignas(T) static unsigned char storage[sizeof(T)];
        static bool constructed = false;
        T* zero = reinterpret_cast<T*>(storage);
        if (constructed) zero->~T();
        new (zero) T();
        constructed = true;
        return *zero;
    }
};

static_assert(sizeof(qoList<int>) == sizeof(qoListLayout));
static_assert(offsetof(qoList<int>, num) == offsetof(qoListLayout, num));
static_assert(offsetof(qoList<int>, size) == offsetof(qoListLayout, size));
static_assert(offsetof(qoList<int>, tag) == offsetof(qoListLayout, tag));
