// qoString: the script string. 24 bytes, layout shared with the host (qoStringLayout).
// Every buffer comes from the host allocator with the tag read at construction; buffers are
// sized exactly (no spare capacity).
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorin/qoTypes.h"

class qoString {
public:
    qoString();
    qoString(const char* text);
    qoString(const qoString& other);
    ~qoString();

    qoString& operator=(const char* text);
    qoString& operator=(const qoString& other);
    qoString& operator=(char c);

    void Append(const qoString& other);
    void Append(const char* text);
    void Append(char c);
    qoString& operator+=(const qoString& other) { Append(other); return *this; }
    qoString& operator+=(const char* text) { Append(text); return *this; }
    qoString& operator+=(char c) { Append(c); return *this; }

    friend qoString operator+(const qoString& a, const qoString& b);
    friend qoString operator+(const qoString& a, const char* b);
    friend qoString operator+(const char* a, const qoString& b);

    // Case-sensitive: difference of the first differing characters as signed 8-bit values;
    // a null text gives 1.
    int Cmp(const char* text) const;
    // ASCII case folded to upper case; a null text gives 0.
    int Icmp(const char* text) const;
    bool operator==(const char* text) const { return Cmp(text) == 0; }
    bool operator!=(const char* text) const { return Cmp(text) != 0; }
    bool operator==(const qoString& other) const { return Cmp(other.c_str()) == 0; }
    bool operator!=(const qoString& other) const { return Cmp(other.c_str()) != 0; }

    char operator[](int index) const;

    int Find(char c, int start = 0) const;
    int Find(const qoString& pattern, int start = 0) const;

    qoString Left(int n) const;
    qoString Right(int n) const;
    qoString Mid(int start, int n) const;
    qoString Tail(int start) const;

    void ToLower();
    void ToUpper();
    void Reverse();

    static qoString FromInt(int32_t value);
    static qoString FromFloat(float value, int decimals = 3);
    static qoString FromVector(const qoVector& v, const char* pattern = "x y z");

    void Clear();

    int Length() const { return length; }
    bool IsEmpty() const { return length == 0; }
    const char* c_str() const { return data ? data : ""; }

    // Raw fields; see qoStringLayout.
    int32_t length;
    uint32_t pad0;
    char* data;
    int32_t capacity;
    uint32_t tag;

private:
    bool Grow(int32_t newCapacity);
};

// Case-insensitive comparison of two texts (ASCII letters folded to upper case); a null first
// text gives 0. Class, event and function names are tested with it.
int qoIcmp(const char* a, const char* b);

static_assert(sizeof(qoString) == sizeof(qoStringLayout));
static_assert(offsetof(qoString, data) == offsetof(qoStringLayout, data));
static_assert(offsetof(qoString, capacity) == offsetof(qoStringLayout, capacity));
static_assert(offsetof(qoString, tag) == offsetof(qoStringLayout, tag));
