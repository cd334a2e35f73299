// The reference host's console variables. Values are kept as text, like a real console; the
// typed Get operations register an unknown variable with the given default and return the
// current value. Every Get and Set call is recorded so tests can count them.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qohost {

enum class CvarOp { GetString, GetBool, GetInt, GetFloat, SetString, SetBool, SetInt, SetFloat };
const char* CvarOpName(CvarOp op);

struct CvarCall {
    CvarOp op;
    std::string name;
    std::string value;  // the default for a Get, the new value for a Set, as text
};

class Cvars {
public:
    // Host slots 53 to 56. The string result stays valid until the variable changes.
    const char* GetString(const char* name, const char* defaultValue);
    bool GetBool(const char* name, bool defaultValue);
    int32_t GetInt(const char* name, int32_t defaultValue);
    float GetFloat(const char* name, float defaultValue);

    // Host slots 49 to 52. Setting an unknown variable creates it.
    void SetString(const char* name, const char* value);
    void SetBool(const char* name, bool value);
    void SetInt(const char* name, int32_t value);
    void SetFloat(const char* name, float value);

    // Console access without recording (what a user typing at the console would do).
    void Define(std::string_view name, std::string_view value);
    bool Exists(std::string_view name) const { return values_.count(std::string(name)) != 0; }
    std::optional<std::string> Value(std::string_view name) const;
    const std::map<std::string, std::string>& All() const { return values_; }

    const std::vector<CvarCall>& Calls() const { return calls_; }
    size_t CountCalls(CvarOp op, std::string_view name) const;
    // Names of the Get calls of one kind, in call order.
    std::vector<std::string> GetCallNames() const;
    void ClearCalls() { calls_.clear(); }
    // Record the calls (the default); off in long runs, where the list would grow without end.
    void KeepCalls(bool keep) { keepCalls_ = keep; }

    // Text forms used for stored values.
    static std::string FormatBool(bool v) { return v ? "1" : "0"; }
    static std::string FormatInt(int32_t v);
    static std::string FormatFloat(float v);  // shortest text that reads back as the same float

private:
    std::string& Lookup(const char* name, const std::string& defaultText);
    void Store(const char* name, std::string value);

    std::map<std::string, std::string> values_;
    std::vector<CvarCall> calls_;
    bool keepCalls_ = true;
};

}  // namespace qohost
