// The host method call protocol as the host sees it: argument buffers, result fetches, failure
// warnings, and every wrapper of the catalogue.
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <functional>
#include <string>
#include <tuple>
#include <utility>
#include <vector>

#include "hostcalls/qoEntity.h"
#include "core/qoSystem.h"
#include "quorin/qoMethodCatalogue.h"
#include "tests/unit/hostcalls_null_system.h"

namespace {

// One CallEntityMethod as the host received it. The slots are copied during the call, string
// slots also as the text they point at (valid only during the call).
struct ReceivedCall {
    uint32_t entity = 0;
    int32_t method = -1;
    std::string signature;
    bool nullBuffer = false;
    uintptr_t bufferAddress = 0;
    std::vector<std::vector<unsigned char>> slots;
    std::vector<std::string> texts;  // per slot; "" for non-string slots

    template <class T>
    T At(size_t slot) const {
        T value;
        std::memcpy(&value, slots.at(slot).data(), sizeof value);
        return value;
    }
};

// A host that records every protocol operation in order and answers with set values.
class RecordingSystem : public hostcalls_test::NullSystem {
public:
    bool answer = true;
    int32_t intResult = 0;
    float floatResult = 0.0f;
    qoVector vectorResult;
    const char* stringResult = "";
    std::string entityName = "door";

    std::vector<std::string> ops;  // "call", "int", "float", "vector", "string", "name", "print"
    std::vector<ReceivedCall> calls;
    std::vector<std::string> printed;

    bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                          void* args) override {
        ops.push_back("call");
        ReceivedCall c;
        c.entity = entity;
        c.method = method;
        c.signature = signature ? signature : "(null)";
        c.nullBuffer = args == nullptr;
        c.bufferAddress = reinterpret_cast<uintptr_t>(args);
        const auto* bytes = static_cast<const unsigned char*>(args);
        for (size_t k = 0; signature && bytes && k < std::strlen(signature); ++k) {
            c.slots.emplace_back(bytes + 16 * k, bytes + 16 * k + 16);
            std::string text;
            if (std::strchr("s124", signature[k])) {
                const char* p;
                std::memcpy(&p, bytes + 16 * k, sizeof p);
                text = p;
            }
            c.texts.push_back(text);
        }
        calls.push_back(std::move(c));
        return answer;
    }
    int32_t GetIntResult() override {
        ops.push_back("int");
        return intResult;
    }
    float GetFloatResult() override {
        ops.push_back("float");
        return floatResult;
    }
    void GetVectorResult(float* xyz) override {
        ops.push_back("vector");
        xyz[0] = vectorResult.x, xyz[1] = vectorResult.y, xyz[2] = vectorResult.z;
    }
    const char* GetStringResult() override {
        ops.push_back("string");
        return stringResult;
    }
    const char* GetEntityName(uint32_t) override {
        ops.push_back("name");
        return entityName.c_str();
    }
    void Printf(const char* format, ...) override {
        ops.push_back("print");
        char buffer[512];
        va_list args;
        va_start(args, format);
        std::vsnprintf(buffer, sizeof buffer, format, args);
        va_end(args);
        printed.push_back(buffer);
    }
};

class HostCallTest : public ::testing::Test {
protected:
    void SetUp() override {
        previous = qoSys;
        qoSys = &host;
    }
    void TearDown() override {
        qoSys = previous;
        EXPECT_EQ(host.liveBlocks, 0) << "module strings leaked";
    }
    const ReceivedCall& Only() {
        EXPECT_EQ(host.calls.size(), 1u);
        return host.calls.back();
    }

    RecordingSystem host;
    kvQuorinSystem* previous = nullptr;
    qoEntity door{42};
};

std::vector<unsigned char> Bytes(const void* p, size_t n) {
    const auto* b = static_cast<const unsigned char*>(p);
    return {b, b + n};
}

std::string Text(bool b) { return b ? "true" : "false"; }
std::string Text(int32_t i) { return std::to_string(i); }
std::string Text(const qoEntity& e) { return "entity " + std::to_string(e.handle); }
std::string Text(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", f);
    return buf;
}
std::string Text(const qoVector& v) { return "(" + Text(v.x) + " " + Text(v.y) + " " + Text(v.z) + ")"; }
std::string Text(const qoString& s) { return "\"" + std::string(s.c_str()) + "\""; }

// ---- argument packing -----------------------------------------------------------------------

// Per signature character: a wrapper whose signature holds it, the slot it lands in and the
// bytes expected at the start of that slot (string slots: the text pointed at).
struct PackingCase {
    const char* label;
    std::function<void(const qoEntity&)> call;
    int32_t method;
    const char* signature;
    size_t slot;
    std::vector<unsigned char> bytes;
    std::string text;
};

class PackingTest : public HostCallTest, public ::testing::WithParamInterface<PackingCase> {};

TEST_P(PackingTest, ValueSitsAtTheStartOfItsSlot) {
    const PackingCase& p = GetParam();
    p.call(door);
    const ReceivedCall& c = Only();
    EXPECT_EQ(c.entity, 42u);
    EXPECT_EQ(c.method, p.method);
    EXPECT_EQ(c.signature, p.signature);
    EXPECT_FALSE(c.nullBuffer);
    EXPECT_EQ(c.bufferAddress % 8, 0u) << "buffer must be 8-byte aligned";
    ASSERT_EQ(c.slots.size(), std::strlen(p.signature));
    if (!p.text.empty()) {
        EXPECT_EQ(c.texts[p.slot], p.text);
    }
    const auto& slot = c.slots[p.slot];
    EXPECT_EQ(std::vector<unsigned char>(slot.begin(), slot.begin() + p.bytes.size()), p.bytes);
}

const qoVector kV{1.5f, -2.0f, 3.25f};
const qoColor kC{0.25f, 0.5f, 0.75f, 1.0f};
const qoDeclRef kDecl = reinterpret_cast<qoDeclRef>(uintptr_t{0x1122334455667788});
const int32_t kMinusFive = -5;
const float kSpeed = 2.5f;

INSTANTIATE_TEST_SUITE_P(
    EachCharacter, PackingTest,
    ::testing::Values(
        PackingCase{"e", [](const qoEntity& e) { e.Activate(qoEntity(0x11223344u)); }, 151, "e", 0,
                    {0x44, 0x33, 0x22, 0x11}, ""},
        PackingCase{"s", [](const qoEntity& e) { e.IsClass("kvActor"); }, 224, "s", 0, {}, "kvActor"},
        PackingCase{"1", [](const qoEntity& e) { e.Action_WaitForAnim("prowl/idle"); }, 1297, "1", 0, {},
                    "prowl/idle"},
        PackingCase{"4", [](const qoEntity& e) { e.FakeAnimMethod(e, "anims/x.anim", "neck_base", 0, kC); },
                    165, "e42ic", 1, {}, "anims/x.anim"},
        PackingCase{"2", [](const qoEntity& e) { e.FakeAnimMethod(e, "anims/x.anim", "neck_base", 0, kC); },
                    165, "e42ic", 2, {}, "neck_base"},
        PackingCase{"i", [](const qoEntity& e) { e.GetTarget(kMinusFive); }, 157, "i", 0,
                    Bytes(&kMinusFive, 4), ""},
        PackingCase{"f", [](const qoEntity& e) { e.Speed(kSpeed); }, 454, "f", 0, Bytes(&kSpeed, 4), ""},
        PackingCase{"b true", [](const qoEntity& e) { e.SetUsable(true); }, 822, "b", 0, {1}, ""},
        PackingCase{"b false", [](const qoEntity& e) { e.SetUsable(false); }, 822, "b", 0, {0}, ""},
        PackingCase{"v", [](const qoEntity& e) { e.SetOrigin(kV); }, 198, "v", 0, Bytes(&kV, 12), ""},
        PackingCase{"a", [](const qoEntity& e) { e.SetAngles(kV); }, 202, "a", 0, Bytes(&kV, 12), ""},
        PackingCase{"c", [](const qoEntity& e) { e.SetHeaderColor(kC); }, 517, "c", 0, Bytes(&kC, 16), ""},
        PackingCase{"d", [](const qoEntity& e) { e.GivePlayerSecurityDecl(kDecl); }, 629, "d", 0,
                    Bytes(&kDecl, 8), ""},
        PackingCase{"e after v", [](const qoEntity& e) { e.AddSoundStimulus(1.0f, qoEntity(7), kV); }, 1368,
                    "fev", 1, {7, 0, 0, 0}, ""},
        PackingCase{"v after e", [](const qoEntity& e) { e.AddSoundStimulus(1.0f, qoEntity(7), kV); }, 1368,
                    "fev", 2, Bytes(&kV, 12), ""}),
    [](const auto& info) {
        std::string name = info.param.label;
        for (char& ch : name)
            if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
        return name;
    });

// The buffer lives in the wrapper's frame, so the host cannot see which bytes were written.
// The wrappers pack through qoPackArguments; packing into a pre-filled buffer shows that each
// value writes exactly its width and leaves the rest of its slot alone.
TEST(PackingWidth, EachValueWritesOnlyItsWidth) {
    hostcalls_test::NullSystem null;
    kvQuorinSystem* previous = qoSys;
    qoSys = &null;
    {
        const qoString text("x");
        const char* textPointer = text.c_str();
        const int32_t i = -1;
        const float f = 1.0f;
        const uint32_t h = 0xFFFFFFFFu;
        struct Row {
            const char* type;
            std::function<void(unsigned char*)> pack;
            std::vector<unsigned char> bytes;
        } rows[] = {
            {"bool", [](unsigned char* b) { qoPackArguments(b, true); }, {1}},
            {"int", [&](unsigned char* b) { qoPackArguments(b, i); }, Bytes(&i, 4)},
            {"float", [&](unsigned char* b) { qoPackArguments(b, f); }, Bytes(&f, 4)},
            {"entity", [](unsigned char* b) { qoPackArguments(b, qoEntity(0xFFFFFFFFu)); }, Bytes(&h, 4)},
            {"vector", [](unsigned char* b) { qoPackArguments(b, kV); }, Bytes(&kV, 12)},
            {"colour", [](unsigned char* b) { qoPackArguments(b, kC); }, Bytes(&kC, 16)},
            {"decl", [](unsigned char* b) { qoPackArguments(b, kDecl); }, Bytes(&kDecl, 8)},
            {"string", [&](unsigned char* b) { qoPackArguments(b, text); }, Bytes(&textPointer, 8)},
        };
        for (const Row& row : rows) {
            alignas(8) unsigned char buffer[32];
            std::memset(buffer, 0xCD, sizeof buffer);
            row.pack(buffer);
            EXPECT_EQ(Bytes(buffer, row.bytes.size()), row.bytes) << row.type;
            for (size_t b = row.bytes.size(); b < sizeof buffer; ++b)
                EXPECT_EQ(buffer[b], 0xCD) << row.type << ": byte " << b << " was written";
        }
    }
    EXPECT_EQ(null.liveBlocks, 0);
    qoSys = previous;
}

TEST_F(HostCallTest, MethodWithoutArgumentsPassesEmptySignatureAndNullBuffer) {
    door.Remove();
    const ReceivedCall& c = Only();
    EXPECT_EQ(c.method, 0) << "Remove is method 0";
    EXPECT_EQ(c.signature, "");
    EXPECT_TRUE(c.nullBuffer);
}

// The six-character signatures: slot k begins at byte 16 * k whatever the widths before it.
TEST_F(HostCallTest, SixArgumentSignaturesUseSixteenByteSlots) {
    const qoEntity player(9);
    door.LerpRenderScale(1.0f, 2.0f, 3.0f, 4, 5, 6);
    door.Damage(kDecl, kV, 0.5f, 1.0f, player, true);
    door.Action_MoveToPointNoFail(kV, 1, 10.0f, false, qoVector{0, 90, 0}, kDecl);
    ASSERT_EQ(host.calls.size(), 3u);

    const ReceivedCall& lerp = host.calls[0];
    EXPECT_EQ(lerp.signature, "fffiii");
    EXPECT_EQ(lerp.At<float>(0), 1.0f);
    EXPECT_EQ(lerp.At<float>(1), 2.0f);
    EXPECT_EQ(lerp.At<float>(2), 3.0f);
    EXPECT_EQ(lerp.At<int32_t>(3), 4);
    EXPECT_EQ(lerp.At<int32_t>(4), 5);
    EXPECT_EQ(lerp.At<int32_t>(5), 6);

    const ReceivedCall& damage = host.calls[1];
    EXPECT_EQ(damage.method, 233);
    EXPECT_EQ(damage.signature, "daffeb");
    EXPECT_EQ(damage.At<qoDeclRef>(0), kDecl);
    EXPECT_EQ(Bytes(damage.slots[1].data(), 12), Bytes(&kV, 12));
    EXPECT_EQ(damage.At<float>(2), 0.5f);
    EXPECT_EQ(damage.At<float>(3), 1.0f);
    EXPECT_EQ(damage.At<uint32_t>(4), 9u);
    EXPECT_EQ(damage.slots[5][0], 1);

    const ReceivedCall& move = host.calls[2];
    EXPECT_EQ(move.method, 1288);
    EXPECT_EQ(move.signature, "vifbvd");
    EXPECT_EQ(Bytes(move.slots[0].data(), 12), Bytes(&kV, 12));
    EXPECT_EQ(move.At<int32_t>(1), 1);
    EXPECT_EQ(move.At<float>(2), 10.0f);
    EXPECT_EQ(move.slots[3][0], 0);
    EXPECT_EQ(Text(move.At<qoVector>(4)), "(0 90 0)");
    EXPECT_EQ(move.At<qoDeclRef>(5), kDecl);
}

TEST_F(HostCallTest, StringArgumentsAreCopiesReleasedOnEveryPath) {
    qoString name("kvActor");
    for (bool answer : {true, false}) {
        host.answer = answer;
        const long before = host.liveBlocks;
        door.IsClass(name);
        EXPECT_EQ(host.liveBlocks, before) << (answer ? "success" : "failure");
        ASSERT_FALSE(host.calls.empty());
        EXPECT_EQ(host.calls.back().texts[0], "kvActor");
        EXPECT_NE(host.calls.back().At<const char*>(0), name.c_str()) << "must point at the copy";
    }
}

// ---- results and failures --------------------------------------------------------------------

template <class F>
std::string Outcome(F f) {
    if constexpr (std::is_void_v<decltype(f())>) {
        f();
        return "";
    } else {
        return Text(f());
    }
}

struct ResultCase {
    const char* label;
    std::function<std::string(const qoEntity&)> call;
    const char* fetch;  // host operation that follows a successful call, "" for none
    std::string onSuccess;
    std::string onFailure;
    const char* method;
};

class ResultTest : public HostCallTest, public ::testing::WithParamInterface<ResultCase> {
protected:
    void SetUp() override {
        HostCallTest::SetUp();
        host.intResult = static_cast<int32_t>(0x80000007u);
        host.floatResult = 12.5f;
        host.vectorResult = {1, -2, 3};
        host.stringResult = "doorway";
    }
};

#define CALL(expr) [](const qoEntity& e) { return Outcome([&] { return e.expr; }); }

INSTANTIATE_TEST_SUITE_P(
    EachKind, ResultTest,
    ::testing::Values(
        ResultCase{"none", CALL(StopMoving()), "", "", "", "StopMoving"},
        ResultCase{"bool", CALL(IsDead()), "int", "true", "false", "IsDead"},
        ResultCase{"int", CALL(NumTargets()), "int", "-2147483641", "0", "NumTargets"},
        ResultCase{"entity", CALL(GetTarget(0)), "int", "entity 2147483655", "entity 0", "GetTarget"},
        ResultCase{"float", CALL(GetSplineLength()), "float", "12.5", "0", "GetSplineLength"},
        ResultCase{"vector", CALL(GetOrigin()), "vector", "(1 -2 3)", "(0 0 0)", "GetOrigin"},
        ResultCase{"vector with argument", CALL(GetJointAngle(3)), "vector", "(1 -2 3)", "(0 0 0)",
                   "GetJointAngle"},
        ResultCase{"string", CALL(GetName()), "string", "\"doorway\"", "\"0\"", "GetName"},
        ResultCase{"string class", CALL(GetClass()), "string", "\"doorway\"", "\"0\"", "GetClass"},
        ResultCase{"string weapon", CALL(GetEquippedWeaponDecl()), "string", "\"doorway\"", "\"0\"",
                   "GetEquippedWeaponDecl"}),
    [](const auto& info) {
        std::string name = info.param.label;
        for (char& ch : name)
            if (ch == ' ') ch = '_';
        return name;
    });

#undef CALL

TEST_P(ResultTest, SuccessFetchesOnceByKind) {
    const ResultCase& r = GetParam();
    EXPECT_EQ(r.call(door), r.onSuccess);
    std::vector<std::string> expected{"call"};
    if (*r.fetch) expected.push_back(r.fetch);
    EXPECT_EQ(host.ops, expected) << "the fetch follows the call directly, nothing else";
    EXPECT_TRUE(host.printed.empty());
}

TEST_P(ResultTest, FailureWarnsOnceAndReturnsTheZeroValue) {
    const ResultCase& r = GetParam();
    host.answer = false;
    EXPECT_EQ(r.call(door), r.onFailure);
    for (const std::string& op : host.ops)
        EXPECT_TRUE(op != "int" && op != "float" && op != "vector" && op != "string")
            << "fetched " << op << " after a failed call";
    ASSERT_EQ(host.printed.size(), 1u);
    EXPECT_EQ(host.printed[0], std::string("^1Quorin Warning:^3 door.") + r.method + " failed.^0\n");
}

TEST_F(HostCallTest, FailureTextUsesTheMethodName) {
    host.answer = false;
    host.entityName = "lift_3";
    door.AccelTime(1.0f);
    door.StopMoving();
    ASSERT_EQ(host.printed.size(), 2u);
    EXPECT_EQ(host.printed[0], "^1Quorin Warning:^3 lift_3.AccelTime failed.^0\n");
    EXPECT_EQ(host.printed[1], "^1Quorin Warning:^3 lift_3.StopMoving failed.^0\n");
}

// A host may not know the entity's name at all; the warning still goes out.
TEST_F(HostCallTest, FailureOnAnEntityWithoutNameStillWarns) {
    struct NamelessSystem : RecordingSystem {
        const char* GetEntityName(uint32_t) override { return nullptr; }
    } nameless;
    nameless.answer = false;
    qoSys = &nameless;
    EXPECT_EQ(qoEntity(0u).GetTarget(1).handle, 0u);
    ASSERT_EQ(nameless.printed.size(), 1u);
    EXPECT_EQ(nameless.printed[0], "^1Quorin Warning:^3 .GetTarget failed.^0\n");
    qoSys = &host;
    EXPECT_EQ(nameless.liveBlocks, 0);
}

// ---- the whole catalogue ----------------------------------------------------------------------

// A distinct value for parameter k of each type, and its expected bytes in the slot.
template <class T>
T ArgumentFor(size_t k) {
    if constexpr (std::is_same_v<T, qoEntity>) return qoEntity(static_cast<uint32_t>(100 + k));
    else if constexpr (std::is_same_v<T, qoString>) return qoString(("text" + std::to_string(k)).c_str());
    else if constexpr (std::is_same_v<T, int32_t>) return static_cast<int32_t>(1000 + k);
    else if constexpr (std::is_same_v<T, float>) return 0.5f + static_cast<float>(k);
    else if constexpr (std::is_same_v<T, bool>) return true;
    else if constexpr (std::is_same_v<T, qoVector>) return qoVector{float(k), float(k) + 0.25f, float(k) + 0.5f};
    else if constexpr (std::is_same_v<T, qoColor>) return qoColor{float(k), 0.25f, 0.5f, 0.75f};
    else return reinterpret_cast<qoDeclRef>(uintptr_t{0xD0000000} + k);
}

void ExpectSlot(const ReceivedCall& c, size_t k, char type) {
    SCOPED_TRACE("slot " + std::to_string(k) + " '" + type + "'");
    switch (type) {
        case 'e': EXPECT_EQ(c.At<uint32_t>(k), 100 + k); break;
        case 'i': EXPECT_EQ(c.At<int32_t>(k), static_cast<int32_t>(1000 + k)); break;
        case 'f': EXPECT_EQ(c.At<float>(k), 0.5f + float(k)); break;
        case 'b': EXPECT_EQ(c.slots[k][0], 1); break;
        case 'v':
        case 'a': {
            const qoVector v = c.At<qoVector>(k);
            EXPECT_EQ(Text(v), Text(ArgumentFor<qoVector>(k)));
            break;
        }
        case 'c': {
            const qoColor color = c.At<qoColor>(k);
            EXPECT_EQ(color.r, float(k));
            EXPECT_EQ(color.a, 0.75f);
            break;
        }
        case 'd': EXPECT_EQ(c.At<qoDeclRef>(k), ArgumentFor<qoDeclRef>(k)); break;
        default: EXPECT_EQ(c.texts[k], "text" + std::to_string(k)); break;
    }
}

const char* FetchFor(qoMethodResult r) {
    switch (r) {
        case qoMethodResult::None: return "";
        case qoMethodResult::Float: return "float";
        case qoMethodResult::Vector: return "vector";
        case qoMethodResult::String: return "string";
        default: return "int";
    }
}

// Calls the wrapper with distinct arguments built from its own parameter types.
template <qoLiteral Sig, class Wrapper, size_t... K>
void CallWithArguments(Wrapper wrapper, std::index_sequence<K...>) {
    std::tuple<std::decay_t<qoMethodParam<Sig, K>>...> args{ArgumentFor<std::decay_t<qoMethodParam<Sig, K>>>(K)...};
    std::apply([&](auto&... a) { (void)wrapper(a...); }, args);
}

TEST_F(HostCallTest, EveryWrapperCallsItsRow) {
    int checked = 0;
#define CHECK_ROW(NUMBER, NAME, SIG, RESULT)                                                \
    {                                                                                              \
        SCOPED_TRACE(#NAME);                                                                       \
        host.calls.clear();                                                                        \
        host.ops.clear();                                                                          \
        CallWithArguments<SIG>([&](auto&... a) { return door.NAME(a...); },                  \
                                     std::make_index_sequence<sizeof(SIG) - 1>());           \
        ASSERT_EQ(host.calls.size(), 1u);                                                          \
        const ReceivedCall& c = host.calls[0];                                                     \
        EXPECT_EQ(c.entity, 42u);                                                                  \
        EXPECT_EQ(c.method, NUMBER);                                                               \
        EXPECT_EQ(c.signature, SIG);                                                         \
        EXPECT_EQ(c.nullBuffer, sizeof(SIG) == 1);                                           \
        for (size_t k = 0; k < sizeof(SIG) - 1; ++k) ExpectSlot(c, k, SIG[k]);         \
        const char* fetch = FetchFor(qoMethodResult::RESULT);                                      \
        EXPECT_EQ(host.ops.size(), *fetch ? 2u : 1u);                                              \
        if (*fetch && host.ops.size() == 2) { EXPECT_EQ(host.ops[1], fetch); }                         \
        ++checked;                                                                                 \
    }
    QO_METHOD_CATALOGUE(CHECK_ROW)
#undef CHECK_ROW
    EXPECT_EQ(checked, qoMethodCount);
}

TEST(MethodCatalogue, CountsByResultKind) {
    int counts[7] = {};
    for (const qoMethodInfo& m : qoMethodTable) ++counts[static_cast<int>(m.result)];
    EXPECT_EQ(qoMethodCount, 228);
    EXPECT_EQ(counts[int(qoMethodResult::None)], 162);
    EXPECT_EQ(counts[int(qoMethodResult::Bool)], 23);
    EXPECT_EQ(counts[int(qoMethodResult::Vector)], 17);
    EXPECT_EQ(counts[int(qoMethodResult::Float)], 10);
    EXPECT_EQ(counts[int(qoMethodResult::Int)], 8);
    EXPECT_EQ(counts[int(qoMethodResult::Entity)], 5);
    EXPECT_EQ(counts[int(qoMethodResult::String)], 3);
}

// The numbers, names, signatures and result kinds are the contract with every host's method
// table. The fingerprint changes with any edit of a row; change it only together with the hosts.
TEST(MethodCatalogue, RowsMatchThePublishedTable) {
    static const char* const kinds[] = {"None", "Bool", "Int", "Entity", "Float", "Vector", "String"};
    uint64_t hash = 0xcbf29ce484222325ull;
    for (const qoMethodInfo& m : qoMethodTable) {
        const std::string row = std::to_string(m.number) + " " + m.name + " " + m.signature + " " +
                                kinds[static_cast<int>(m.result)] + "\n";
        for (unsigned char ch : row) hash = (hash ^ ch) * 0x100000001b3ull;
    }
    EXPECT_EQ(hash, 0xea6952abc76f5725ull);
}

TEST(MethodCatalogue, NumbersAndNamesAreUnique) {
    for (int i = 0; i < qoMethodCount; ++i)
        for (int j = i + 1; j < qoMethodCount; ++j) {
            EXPECT_NE(qoMethodTable[i].number, qoMethodTable[j].number);
            EXPECT_STRNE(qoMethodTable[i].name, qoMethodTable[j].name);
        }
}

}  // namespace
