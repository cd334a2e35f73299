#include "core/qoString.h"

#include <cmath>
#include <cstring>

#include "core/qoConvert.h"
#include "core/qoDiagnostics.h"
#include "core/qoSystem.h"

namespace {

constexpr int64_t kMaxCapacity = INT32_MAX;

void AllocationFailed() { ReportError("qoString Allocation failed"); }

char FoldUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Difference of two characters taken as signed 8-bit values.
int CharDiff(char a, char b) { return static_cast<signed char>(a) - static_cast<signed char>(b); }

int FoldedCompare(const char* a, const char* b) {
    for (;; ++a, ++b) {
        const char fa = FoldUpper(*a);
        const char fb = FoldUpper(*b);
        if (fa != fb) return CharDiff(fa, fb);
        if (fa == 0) return 0;
    }
}

// Collects generated text in a small stack buffer and hands it to a string in chunks, so
// number formatting costs one allocation in the usual case. Finish hands over the rest; it is
// not left to a destructor because a failed allocation reports, and a report may end the
// script thread by unwinding it.
class TextBuilder {
public:
    explicit TextBuilder(qoString& out) : out_(out) {}
    TextBuilder(const TextBuilder&) = delete;
    TextBuilder& operator=(const TextBuilder&) = delete;

    void Finish() { Flush(); }

    void Put(char c) {
        if (used_ == sizeof(buffer_) - 1) Flush();
        buffer_[used_++] = c;
    }
    // Decimal digits of a magnitude.
    void PutUnsigned(uint32_t value) {
        char digits[10];
        int n = 0;
        do {
            digits[n++] = static_cast<char>('0' + value % 10);
            value /= 10;
        } while (value != 0);
        while (n > 0) Put(digits[--n]);
    }
    void PutFloat(float value, int decimals);

private:
    void Flush() {
        if (used_ == 0) return;
        buffer_[used_] = 0;
        out_.Append(buffer_);
        used_ = 0;
    }

    qoString& out_;
    char buffer_[64];
    size_t used_ = 0;
};

void TextBuilder::PutFloat(float value, int decimals) {
    const int32_t n = qoFloatToInt<int32_t>(value);
    if (value < 0.0f) Put('-');
    PutUnsigned(n < 0 ? 0u - static_cast<uint32_t>(n) : static_cast<uint32_t>(n));
    float frac = value - static_cast<float>(n);
    if (frac < 0.0f) frac = -frac;
    if (!(frac > 0.0f) || !std::isfinite(frac)) return;
    Put('.');
    float scale = 1.0f;
    for (int i = 1; i <= decimals; ++i) {
        scale *= 10.0f;
        const float scaled = frac * scale;
        // Past float range the digits carry no information; they read as 0.
        const int64_t whole = (std::isfinite(scaled) && scaled < 9.0e18f) ? static_cast<int64_t>(scaled) : 0;
        Put(static_cast<char>('0' + whole % 10));
    }
}

}  // namespace

qoString::qoString() : length(0), pad0(0), data(nullptr), capacity(0), tag(qoHostMemoryTag()) {}

qoString::qoString(const char* text) : qoString() { *this = text; }

qoString::qoString(const qoString& other) : qoString() {
    if (other.data) ReplaceBytes(other.data, other.length);
}

qoString::qoString(qoString&& other)
    : length(other.length), pad0(0), data(other.data), capacity(other.capacity), tag(other.tag) {
    other.data = nullptr;
    other.length = 0;
    other.capacity = 0;
}

qoString::~qoString() { Clear(); }

void qoString::Clear() {
    qoHostFree(data, tag);
    data = nullptr;
    capacity = 0;
    length = 0;
}

void qoString::TakeOver(qoString& other) {
    if (this == &other) return;
    Clear();
    data = other.data;
    length = other.length;
    capacity = other.capacity;
    other.data = nullptr;
    other.length = 0;
    other.capacity = 0;
}

bool qoString::ReplaceBytes(const char* src, int64_t count) {
    if (count + 1 > kMaxCapacity) {
        AllocationFailed();
        return false;
    }
    char* fresh = static_cast<char*>(qoHostAllocate(static_cast<size_t>(count + 1), tag));
    if (!fresh) {
        AllocationFailed();
        return false;
    }
    // src may lie in the old buffer, which is freed only after the copy.
    memcpy(fresh, src, static_cast<size_t>(count));
    fresh[count] = 0;
    qoHostFree(data, tag);
    data = fresh;
    length = static_cast<int32_t>(count);
    capacity = static_cast<int32_t>(count + 1);
    return true;
}

bool qoString::AppendBytes(const char* src, int64_t count) {
    const int64_t need = static_cast<int64_t>(length) + count + 1;
    if (need > kMaxCapacity) {
        AllocationFailed();
        return false;
    }
    if (capacity < need) {
        // Growth: exactly the bytes needed, no spare room.
        char* fresh = static_cast<char*>(qoHostAllocate(static_cast<size_t>(need), tag));
        if (!fresh) {
            AllocationFailed();
            return false;
        }
        if (data) memcpy(fresh, data, static_cast<size_t>(length) + 1);
        memcpy(fresh + length, src, static_cast<size_t>(count));
        qoHostFree(data, tag);
        data = fresh;
        capacity = static_cast<int32_t>(need);
    } else {
        memmove(data + length, src, static_cast<size_t>(count));
    }
    length = static_cast<int32_t>(need - 1);
    data[length] = 0;
    return true;
}

qoString& qoString::operator=(const char* text) {
    if (!text) text = "";
    const size_t count = strlen(text);
    if (count < static_cast<size_t>(capacity)) {
        memmove(data, text, count + 1);
        length = static_cast<int32_t>(count);
    } else {
        ReplaceBytes(text, static_cast<int64_t>(count));
    }
    return *this;
}

qoString& qoString::operator=(const qoString& other) {
    ReplaceBytes(other.c_str(), other.length);
    return *this;
}

qoString& qoString::operator=(qoString&& other) {
    if (this == &other) return *this;
    if (other.tag == tag) {
        TakeOver(other);
        return *this;
    }
    return *this = static_cast<const qoString&>(other);
}

qoString& qoString::operator=(char c) {
    ReplaceBytes(&c, c != 0 ? 1 : 0);
    return *this;
}

void qoString::Append(const qoString& other) {
    if (other.length == 0) return;
    AppendBytes(other.data, other.length);
}

void qoString::Append(const char* text) {
    if (!text) return;
    AppendBytes(text, static_cast<int64_t>(strlen(text)));
}

void qoString::Append(char c) {
    if (c == 0) return;
    AppendBytes(&c, 1);
}

qoString operator+(const qoString& a, const qoString& b) {
    qoString result;
    result = a;
    result.Append(b);
    return result;
}

qoString operator+(const qoString& a, const char* b) {
    qoString result;
    result = a;
    result.Append(b);
    return result;
}

qoString operator+(const char* a, const qoString& b) {
    qoString result;
    result = a;
    result.Append(b);
    return result;
}

int qoString::Cmp(const char* text) const {
    if (!text) return 1;
    const char* own = c_str();
    for (;; ++own, ++text) {
        if (*own != *text) return CharDiff(*own, *text);
        if (*own == 0) return 0;
    }
}

int qoString::Icmp(const char* text) const {
    if (!text) return 0;
    return FoldedCompare(c_str(), text);
}

int qoIcmp(const char* a, const char* b) {
    if (!a) return 0;
    if (!b) return 1;
    return FoldedCompare(a, b);
}

char qoString::operator[](int index) const {
    if (index < 0 || index >= length) {
        qoAssertFailed("( index >= 0 ) && ( index < len )");
        return 0;
    }
    return data[index];
}

int qoString::Find(char c, int start) const {
    if (start < 0) start = 0;
    for (int i = start; i < length; ++i) {
        if (data[i] == c) return i;
    }
    return -1;
}

int qoString::Find(const qoString& pattern, int start) const {
    if (start < 0) start = 0;
    const int last = length - pattern.length;
    const char* own = c_str();
    const char* pat = pattern.c_str();
    for (int i = start; i <= last; ++i) {
        if (memcmp(own + i, pat, static_cast<size_t>(pattern.length)) == 0) return i;
    }
    return -1;
}

qoString qoString::Substring(const char* src, int count) {
    qoString result;
    if (count > 0) result.ReplaceBytes(src, count);
    return result;
}

qoString qoString::Left(int n) const {
    if (n < 0) return qoString();
    return Substring(c_str(), n <= length ? n : length);
}

qoString qoString::Right(int n) const {
    if (n < 0) return qoString();
    if (n > length) n = length;
    return Substring(c_str() + (length - n), n);
}

qoString qoString::Tail(int start) const {
    if (start < 0) return qoString();
    if (start > length) start = 0;
    return Substring(c_str() + start, length - start);
}

qoString qoString::Mid(int start, int n) const {
    if (n < 0) return qoString();
    if (start < 0) start = 0;
    if (start > length) start = length;
    if (n > length - start) n = length - start;
    return Substring(c_str() + start, n);
}

void qoString::ToLower() {
    for (int i = 0; i < length; ++i) {
        if (data[i] >= 'A' && data[i] <= 'Z') data[i] = static_cast<char>(data[i] - 'A' + 'a');
    }
}

void qoString::ToUpper() {
    for (int i = 0; i < length; ++i) data[i] = FoldUpper(data[i]);
}

void qoString::Reverse() {
    for (int i = 0, j = length - 1; i < length / 2; ++i, --j) {
        const char c = data[i];
        data[i] = data[j];
        data[j] = c;
    }
}

qoString qoString::FromInt(int32_t value) {
    qoString result;
    TextBuilder text(result);
    if (value < 0) text.Put('-');
    text.PutUnsigned(value < 0 ? 0u - static_cast<uint32_t>(value) : static_cast<uint32_t>(value));
    text.Finish();
    return result;
}

qoString qoString::FromFloat(float value, int decimals) {
    qoString result;
    TextBuilder text(result);
    text.PutFloat(value, decimals);
    text.Finish();
    return result;
}

qoString qoString::FromVector(const qoVector& v, const char* pattern) {
    qoString result;
    if (!pattern) return result;
    TextBuilder text(result);
    for (const char* p = pattern; *p; ++p) {
        switch (*p) {
            case 'x': text.PutFloat(v.x, 3); break;
            case 'y': text.PutFloat(v.y, 3); break;
            case 'z': text.PutFloat(v.z, 3); break;
            default: text.Put(*p); break;
        }
    }
    text.Finish();
    return result;
}
