#include "host/world/Cvars.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace qohost {

const char* CvarOpName(CvarOp op) {
    static const char* const names[] = {"GetString", "GetBool", "GetInt", "GetFloat",
                                        "SetString", "SetBool", "SetInt", "SetFloat"};
    return names[static_cast<int>(op)];
}

namespace {
const char* Safe(const char* text) { return text ? text : ""; }

// Reading values back from text the way a console does: numbers from their leading digits,
// anything else as 0; "true" counts as a set bool.
int32_t ToInt(const std::string& text) { return static_cast<int32_t>(std::strtol(text.c_str(), nullptr, 10)); }
float ToFloat(const std::string& text) { return std::strtof(text.c_str(), nullptr); }
bool ToBool(const std::string& text) { return text == "true" || ToFloat(text) != 0.0f; }
}  // namespace

std::string Cvars::FormatInt(int32_t v) { return std::to_string(v); }

std::string Cvars::FormatFloat(float v) {
    char buf[32];
    auto [end, ec] = std::to_chars(buf, buf + sizeof buf, v);
    return ec == std::errc() ? std::string(buf, end) : std::string("0");
}

std::string& Cvars::Lookup(const char* name, const std::string& defaultText) {
    return values_.try_emplace(Safe(name), defaultText).first->second;
}

void Cvars::Store(const char* name, std::string value) { values_[Safe(name)] = std::move(value); }

const char* Cvars::GetString(const char* name, const char* defaultValue) {
    if (keepCalls_) calls_.push_back({CvarOp::GetString, Safe(name), Safe(defaultValue)});
    return Lookup(name, Safe(defaultValue)).c_str();
}

bool Cvars::GetBool(const char* name, bool defaultValue) {
    if (keepCalls_) calls_.push_back({CvarOp::GetBool, Safe(name), FormatBool(defaultValue)});
    return ToBool(Lookup(name, FormatBool(defaultValue)));
}

int32_t Cvars::GetInt(const char* name, int32_t defaultValue) {
    if (keepCalls_) calls_.push_back({CvarOp::GetInt, Safe(name), FormatInt(defaultValue)});
    return ToInt(Lookup(name, FormatInt(defaultValue)));
}

float Cvars::GetFloat(const char* name, float defaultValue) {
    if (keepCalls_) calls_.push_back({CvarOp::GetFloat, Safe(name), FormatFloat(defaultValue)});
    return ToFloat(Lookup(name, FormatFloat(defaultValue)));
}

void Cvars::SetString(const char* name, const char* value) {
    if (keepCalls_) calls_.push_back({CvarOp::SetString, Safe(name), Safe(value)});
    Store(name, Safe(value));
}

void Cvars::SetBool(const char* name, bool value) {
    if (keepCalls_) calls_.push_back({CvarOp::SetBool, Safe(name), FormatBool(value)});
    Store(name, FormatBool(value));
}

void Cvars::SetInt(const char* name, int32_t value) {
    if (keepCalls_) calls_.push_back({CvarOp::SetInt, Safe(name), FormatInt(value)});
    Store(name, FormatInt(value));
}

void Cvars::SetFloat(const char* name, float value) {
    if (keepCalls_) calls_.push_back({CvarOp::SetFloat, Safe(name), FormatFloat(value)});
    Store(name, FormatFloat(value));
}

void Cvars::Define(std::string_view name, std::string_view value) {
    values_[std::string(name)] = std::string(value);
}

std::optional<std::string> Cvars::Value(std::string_view name) const {
    auto it = values_.find(std::string(name));
    if (it == values_.end()) return std::nullopt;
    return it->second;
}

size_t Cvars::CountCalls(CvarOp op, std::string_view name) const {
    size_t n = 0;
    for (const CvarCall& c : calls_) n += c.op == op && c.name == name;
    return n;
}

std::vector<std::string> Cvars::GetCallNames() const {
    std::vector<std::string> names;
    for (const CvarCall& c : calls_)
        if (c.op <= CvarOp::GetFloat) names.push_back(c.name);
    return names;
}

}  // namespace qohost
