// qoString: the script string. 24 bytes, layout shared with the host (qoStringLayout).
// Every buffer comes from the host allocator with the tag read at construction; buffers are
// sized exactly (no spare capacity). A string whose data is null reads as "" everywhere.
// When the host allocator fails, the string reports "qoString Allocation failed" and keeps its
// previous text and buffer.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorin/qoTypes.h"

class qoString {
public:
    // Empty: no buffer, tag from the host (0 without a host).
    qoString();
    // Assigns the text; a null text counts as "".
    qoString(const char* text);
    // A copy of a string that never held text has no buffer either; otherwise the copy owns
    // exactly other.length + 1 bytes.
    qoString(const qoString& other);
    // Takes the buffer over together with its tag; other is left empty.
    qoString(qoString&& other);
    ~qoString();

    // Reuses the buffer when the text fits (count < capacity), else allocates count + 1 bytes.
    qoString& operator=(const char* text);
    // Always allocates exactly other.length + 1 bytes (self-assignment is safe).
    qoString& operator=(const qoString& other);
    // Takes the buffer over when both tags agree (other is left empty); otherwise as the copy
    // assignment. The string keeps its own tag either way.
    qoString& operator=(qoString&& other);
    // A 2-byte buffer with the character; the character 0 gives "".
    qoString& operator=(char c);

    // Appending an empty string, a null text or the character 0 does nothing; appending ""
    // makes sure there is a buffer. A text that lies inside this string's own buffer is fine.
    void Append(const qoString& other);
    void Append(const char* text);
    void Append(char c);
    qoString& operator+=(const qoString& other) { Append(other); return *this; }
    qoString& operator+=(const char* text) { Append(text); return *this; }
    qoString& operator+=(char c) { Append(c); return *this; }

    // A new string with the current tag: a copy of the left side, then the right appended.
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

    // The character at index; out of range reports "Assertion failed: ( index >= 0 ) &&
    // ( index < len )" and yields 0.
    char operator[](int index) const;

    // First index at or after start (raised to 0) holding c / where pattern matches; -1 if none.
    int Find(char c, int start = 0) const;
    int Find(const qoString& pattern, int start = 0) const;

    // n < 0 gives ""; n beyond the length gives the whole string.
    qoString Left(int n) const;
    qoString Right(int n) const;
    // From start (clamped into 0..length), n characters cut at the end; n < 0 gives "".
    qoString Mid(int start, int n) const;
    // From start to the end; start < 0 gives "", start beyond the length the whole string.
    qoString Tail(int start) const;

    // ASCII letters only.
    void ToLower();
    void ToUpper();
    void Reverse();

    static qoString FromInt(int32_t value);
    // The integer part, then "." and exactly `decimals` truncated digits when there is a
    // fraction at all: 1.5 -> "1.500", 2.0 -> "2", 3.5 with 0 decimals -> "3.".
    static qoString FromFloat(float value, int decimals = 3);
    // Copies the pattern, replacing 'x', 'y' and 'z' with the components (3 decimals).
    static qoString FromVector(const qoVector& v, const char* pattern = "x y z");

    // Frees the buffer: no buffer, length 0, capacity 0.
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
    // Makes room for `count` more characters after the current text (exact size, old text
    // kept) and copies `count` bytes of src there. src may point into the old buffer. False
    // (after the report) when the host allocator fails; the string is then unchanged.
    bool AppendBytes(const char* src, int64_t count);
    // Replaces the text with `count` bytes of src in a new buffer of exactly count + 1 bytes.
    bool ReplaceBytes(const char* src, int64_t count);
    void TakeOver(qoString& other);
    static qoString Substring(const char* src, int count);
};

// Case-insensitive comparison of two texts (ASCII letters folded to upper case); a null first
// text gives 0, a null second text (with a non-null first) 1. Class, event and function names
// are tested with it.
int qoIcmp(const char* a, const char* b);

static_assert(sizeof(qoString) == sizeof(qoStringLayout));
static_assert(offsetof(qoString, length) == offsetof(qoStringLayout, length));
static_assert(offsetof(qoString, data) == offsetof(qoStringLayout, data));
static_assert(offsetof(qoString, capacity) == offsetof(qoStringLayout, capacity));
static_assert(offsetof(qoString, tag) == offsetof(qoStringLayout, tag));
