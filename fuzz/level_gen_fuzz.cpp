// Builds a valid level from the input bytes and runs it in hostile ways. The bytes drive a
// generator that reads the module's reflection tables (class names, property tables, enum
// tables), so every script class and every property type is reached with no edit here when a
// class is added: random entities of random host classes, script objects of random classes,
// property values drawn from each property's type (extremes, empty and long texts, empty and
// long lists, references to self, to other entities and to entities that get removed), and a
// timeline of every host event kind. Between frames the host itself acts: it removes and
// spawns entities, players join and leave, objects are added, float and integer members are
// overwritten with NaN, infinities and extremes, checkpoints are saved and restored, and the
// allocator may fail allocations at a rate.
//
// Invariants, checked on every input: no sanitizer report, no crash or hang; the generated
// level parses and (without allocation failures) loads; the module keeps the host protocol
// (no reserved slot called, no wait outside a script thread, no free with a foreign tag or of
// a block it does not own); after the frames every live thread is waiting; after teardown no
// thread lives and no block is left; and the run is deterministic: the same input run twice
// gives the same hash of everything the world recorded. The second run is made for one input
// in kTwiceEvery, chosen by a hash of the input's bytes (so a replay of one input checks it
// again, and the mutations of any input land on both sides of the choice); set the environment
// variable LEVEL_GEN_FUZZ_TWICE=1 to run every input twice. To look into a finding, set
// LEVEL_GEN_FUZZ_PRINT=1: each input's generated level, its host actions and its failure rate
// are printed to stderr before the run (the level can be run with qohost).
//
// The last input byte (FuzzedDataProvider takes numbers from the end) picks a base: 0 an
// empty level, k the k-th example level (examples/levels, sorted by name), to which the
// generated entities and events are added. Seeds: fuzz/corpus/level_gen_fuzz (tools/test.sh
// and tools/fuzz-nightly.sh pass the folder).
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "hostcheck/ForwardingSystem.h"
#include "host/level/Checkpoint.h"
#include "host/level/Level.h"
#include "host/level/LevelRunner.h"
#include "host/methods/Call.h"
#include "host/records/Recorder.h"
#include "host/sim/entities/HostClasses.h"
#include "host/sim/sound/Sound.h"
#include "host/world/Module.h"
#include "host/world/Scheduler.h"
#include "host/world/World.h"
#include "quorin/qoEvents.h"

namespace {

using Json = nlohmann::ordered_json;

constexpr int kMaxFrames = 90;
constexpr int kMaxEntities = 12;
// Live script threads the host allows: handlers that activate each other and then wait (a
// loop a designer can build) add threads every frame, each holding a fiber stack, until the
// host refuses more; this keeps a run's memory bounded.
constexpr size_t kMaxThreads = 512;
// Fiber stack of each script thread. This build's frames (coverage counters, ASan redzones,
// UBSan checks) are several times a release build's: a script that activates a chain of 64
// relays, the deepest the host fires, needs more than the 256 KB an ASan build gives. Only
// the pages a thread touches take memory.
constexpr size_t kThreadStack = 1024 * 1024;

// One input in this many is run a second time to check that the run is deterministic.
constexpr uint64_t kTwiceEvery = 8;

qohost::Module* g_module = nullptr;
uint64_t g_twiceEvery = kTwiceEvery;
bool g_print = false;                     // LEVEL_GEN_FUZZ_PRINT=1: print each input's level
std::vector<std::string> g_classes;       // script classes the module lists
std::vector<std::string> g_hostClasses;   // host classes of the reference host
std::vector<Json> g_bases;                // the example levels

struct NamedEntry {
    const char* name;
    const char* shape;
};
#define LEVEL_GEN_ENTRY(slot, id, name, shape) {name, #shape},
constexpr NamedEntry kEntries[] = {QO_EVENT_TABLE(LEVEL_GEN_ENTRY)};
#undef LEVEL_GEN_ENTRY

[[noreturn]] void Fail(const char* what, const std::string& detail) {
    std::fprintf(stderr, "level_gen_fuzz: %s\n%s\n", what, detail.c_str());
    std::abort();
}

// Sits between the module and the world and notes every breach of the host protocol.
class ProtocolCheck final : public qohostcheck::ForwardingSystem {
public:
    ProtocolCheck(qohost::World& world) : ForwardingSystem(&world), world_(world) {}
    std::vector<std::string> breaches;

    void Reserved0() override { Breach("reserved slot 0"); }
    void Reserved6() override { Breach("reserved slot 6"); }
    void Reserved7() override { Breach("reserved slot 7"); }
    void Reserved8() override { Breach("reserved slot 8"); }
    void Reserved9() override { Breach("reserved slot 9"); }
    void Reserved10() override { Breach("reserved slot 10"); }
    void Reserved11() override { Breach("reserved slot 11"); }
    void Reserved16() override { Breach("reserved slot 16"); }
    void Reserved20() override { Breach("reserved slot 20"); }
    void Reserved21() override { Breach("reserved slot 21"); }
    void Reserved40() override { Breach("reserved slot 40"); }
    void Reserved45() override { Breach("reserved slot 45"); }
    void Reserved48() override { Breach("reserved slot 48"); }
    void Reserved58() override { Breach("reserved slot 58"); }
    void Reserved63() override { Breach("reserved slot 63"); }
    void Reserved64() override { Breach("reserved slot 64"); }
    void Reserved65() override { Breach("reserved slot 65"); }
    void Reserved66() override { Breach("reserved slot 66"); }
    void Reserved68() override { Breach("reserved slot 68"); }
    void WaitSeconds(float seconds) override {
        Waiting("WaitSeconds");
        ForwardingSystem::WaitSeconds(seconds);
    }
    void WaitFrame() override {
        Waiting("WaitFrame");
        ForwardingSystem::WaitFrame();
    }
    void WaitForThread(uint32_t thread) override {
        Waiting("WaitForThread");
        ForwardingSystem::WaitForThread(thread);
    }

private:
    void Breach(const char* what) { breaches.emplace_back(what); }
    void Waiting(const char* what) {
        if (!world_.scheduler.InThread()) breaches.push_back(std::string(what) + " outside a script thread");
    }
    qohost::World& world_;
};

// Hashes every record the world makes from its typed fields, building no text: a multiply-xor
// hash over the kind, severity, frame, time, thread, entity, interned name id, number and any
// text the record carries, and, by kind, the values its detail holds: a method call's decoded
// arguments and answer, a thread's start, wait or end, a debug draw, a sound change. Names and
// handles are the world's own (interned and handed out in order), so two runs of one input
// agree on them exactly when they did the same things in the same order.
class HashSink final : public qohost::RecordSink {
public:
    uint64_t hash = 1469598103934665603ull;
    void Take(const qohost::Record& r) override {
        Mix(r.kind);
        Mix(r.severity);
        Mix(r.frame);
        Mix(r.timeMs);
        Mix(r.thread);
        Mix(r.entity);
        Mix(r.name);
        Mix(r.number);
        Mix(r.text);
        if (!r.detail) return;
        switch (r.kind) {
            case qohost::RecordKind::Method: MixCall(*static_cast<const qohost::Call*>(r.detail)); break;
            case qohost::RecordKind::Thread: MixThread(static_cast<const qohost::ThreadRecord*>(r.detail)->event); break;
            case qohost::RecordKind::Draw: MixDraw(*static_cast<const qohost::DebugDraw*>(r.detail)); break;
            case qohost::RecordKind::Sound: MixSound(*static_cast<const qohost::SoundChange*>(r.detail)); break;
            default: break;  // events: entity, name and index are the record's own fields
        }
    }

private:
    // One multiply per value, strings eight bytes a step: the harness is built with coverage
    // hooks, and a loop over single bytes paid a compare hook for each byte.
    void Word(uint64_t w) {
        hash = (hash ^ w) * 1099511628211ull;
        hash ^= hash >> 31;
    }
    template <class T>
    void Mix(const T& value) {
        static_assert(sizeof(T) <= sizeof(uint64_t) && std::is_trivially_copyable_v<T>);
        uint64_t w = 0;
        std::memcpy(&w, &value, sizeof value);
        Word(w);
    }
    void Mix(std::string_view text) {
        Word(text.size());
        for (size_t at = 0; at < text.size(); at += sizeof(uint64_t)) {
            uint64_t w = 0;
            std::memcpy(&w, text.data() + at, std::min(sizeof w, text.size() - at));
            Word(w);
        }
    }
    void Mix(const qoVector& v) { Mix(v.x), Mix(v.y), Mix(v.z); }
    void Mix(const qoColor& c) { Mix(c.r), Mix(c.g), Mix(c.b), Mix(c.a); }

    void MixCall(const qohost::Call& c) {
        for (int k = 0; k < c.count; ++k) {
            const qohost::Arg& a = c.args[size_t(k)];
            Mix(a.type);
            Mix(a.entity);
            Mix(a.i);
            Mix(a.f);
            Mix(a.b);
            Mix(a.v);
            Mix(a.c);
            Mix(a.decl != nullptr);  // decls live at addresses of their own world
            Mix(std::string_view(a.s ? a.s : ""));
        }
        Mix(c.failed);
        Mix(c.result.kind);
        Mix(c.result.i);
        Mix(c.result.f);
        Mix(c.result.v);
        Mix(std::string_view(c.result.s));
    }
    void MixThread(const qohost::ThreadEvent& e) {
        Mix(e.kind);
        Mix(e.wait);
        Mix(e.reason);
        Mix(e.network);
        Mix(e.timeUs);
        Mix(e.other);
        Mix(e.seconds);
    }
    void MixDraw(const qohost::DebugDraw& d) {
        Mix(std::string_view(d.shape));
        Mix(std::string_view(d.text));
        Mix(d.color);
        for (const qoVector* v : {&d.a, &d.b, &d.c, &d.d}) Mix(*v);
        Mix(d.radius);
        Mix(d.scale);
        Mix(d.size);
        Mix(d.lifetime);
        Mix(d.depthTest);
    }
    void MixSound(const qohost::SoundChange& c) {
        Mix(c.kind);
        Mix(c.shader);
        Mix(c.db);
        Mix(c.toDb);
        Mix(c.durationMs);
    }
};

// ---- the generator ---------------------------------------------------------------------------

class Generator {
public:
    Generator(FuzzedDataProvider& in, kvQuorin& api) : in(in), api(api) {}

    Json Level() {
        const size_t base = in.ConsumeIntegralInRange<size_t>(0, g_bases.size());
        level = base ? g_bases[base - 1] : Json::object();
        level.erase("expect");
        level.erase("runs");
        level.erase("frames");
        level.erase("seconds");
        if (!level.contains("entities")) level["entities"] = Json::array();
        for (const char* list : {"players", "entities"})
            if (level.contains(list))
                for (const Json& e : level[list]) names.push_back(e["name"].get<std::string>());
        if (level.contains("entityDefs"))
            for (const auto& [name, def] : level["entityDefs"].items()) defs.push_back(name);
        if (in.ConsumeBool()) level["seed"] = in.ConsumeIntegral<uint32_t>();
        if (in.ConsumeBool()) level["frameMs"] = Pick<int>({1, 16, 33, 100, 1000});

        // Entity defs, then players, then entities: names first so that any may refer to any.
        const int newDefs = in.ConsumeIntegralInRange(0, 2);
        for (int i = 0; i < newDefs; ++i) {
            std::string name = "fz/def" + std::to_string(i);
            level["entityDefs"][name] = {{"class", PickHostClass()}, {"args", {{"health", Pick<int>({0, 1, 60})}}}};
            defs.push_back(name);
        }
        const int players = level.contains("players") ? 0 : in.ConsumeIntegralInRange(0, 2);
        const int entities = in.ConsumeIntegralInRange(0, kMaxEntities);
        std::vector<std::string> fresh;
        for (int i = 0; i < players + entities; ++i) {
            fresh.push_back(i < players ? "player" + std::to_string(i + 1) : "fz" + std::to_string(i));
            names.push_back(fresh.back());
        }
        if (!level.contains("decls")) level["decls"] = Json::object();
        for (int i = 0; i < players + entities; ++i) {
            Json e = Entity(fresh[size_t(i)], i < players);
            level[i < players ? "players" : "entities"].push_back(std::move(e));
        }
        // Objects of random classes on entities of the base level too.
        if (base && !level["entities"].empty() && in.ConsumeBool()) {
            Json& e = level["entities"][in.ConsumeIntegralInRange<size_t>(0, level["entities"].size() - 1)];
            std::set<std::string> taken;
            if (e.contains("objects"))
                for (const Json& o : e["objects"]) taken.insert(o["class"].get<std::string>());
            AddObject(e, taken);
        }
        Timeline();
        return level;
    }

    std::vector<std::string> names;
    std::vector<std::string> defs;

private:
    template <class T>
    T Pick(std::initializer_list<T> values) {
        return *(values.begin() + in.ConsumeIntegralInRange<size_t>(0, values.size() - 1));
    }
    std::string PickHostClass() {
        return g_hostClasses[in.ConsumeIntegralInRange<size_t>(0, g_hostClasses.size() - 1)];
    }
    std::string PickName() {
        return names.empty() ? "" : names[in.ConsumeIntegralInRange<size_t>(0, names.size() - 1)];
    }
    double Number() {
        switch (in.ConsumeIntegralInRange(0, 7)) {
            case 0: return 0.0;
            case 1: return -1.0;
            case 2: return 3.0e38;
            case 3: return -3.0e38;
            case 4: return 1.0e-38;
            case 5: return in.ConsumeIntegralInRange(-100, 100);
            case 6: return in.ConsumeFloatingPointInRange(-1.0e6, 1.0e6);
            default: return in.ConsumeProbability<double>() * 10.0;
        }
    }
    Json Vector(size_t n) {
        Json v = Json::array();
        for (size_t i = 0; i < n; ++i) v.push_back(Number());
        return v;
    }
    std::string Text() {
        switch (in.ConsumeIntegralInRange(0, 4)) {
            case 0: return "";
            case 1: return std::string(in.ConsumeIntegralInRange(1, 600), 'x');
            case 2: return PickName();
            case 3: return "%s%d%n";
            default: {
                // Any 7-bit text but NUL (the level format reads UTF-8 and refuses NULs).
                std::string s = in.ConsumeRandomLengthString(32);
                for (char& c : s) c = char((c & 0x7f) ? c & 0x7f : ' ');
                return s;
            }
        }
    }
    // A name that refers: usually an entity of the level (itself included), sometimes none.
    Json EntityRef() {
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: return nullptr;
            case 1: return "";
            default: return PickName();
        }
    }
    std::string Decl(const std::string& type) {
        if (type == "kvDeclEntityDef") {
            if (defs.empty()) return "";
            return defs[in.ConsumeIntegralInRange<size_t>(0, defs.size() - 1)];
        }
        const std::string name = "fz/" + type + std::to_string(in.ConsumeIntegralInRange(0, 1));
        Json& list = level["decls"][type];
        if (!list.is_array()) list = Json::array();
        if (std::find(list.begin(), list.end(), Json(name)) == list.end()) list.push_back(name);
        return name;
    }

    // A value of the type, as the level format writes it; null when nothing can be written.
    Json Value(const std::string& type, const std::string& modifier, uint32_t size, int depth) {
        if (modifier == "*") return in.ConsumeIntegralInRange(0, 4) == 0 ? Json(nullptr) : Json(Decl(type));
        if (type == "bool") return in.ConsumeBool();
        if (type == "short")
            return Pick<int>({0, -1, 1, std::numeric_limits<int16_t>::min(), std::numeric_limits<int16_t>::max(),
                              in.ConsumeIntegral<int16_t>()});
        if (type == "int")
            return Pick<int64_t>({0, -1, 1, 2, 1000, std::numeric_limits<int32_t>::min(),
                                  std::numeric_limits<int32_t>::max(), in.ConsumeIntegral<int32_t>()});
        if (type == "float") return Number();
        if (type == "qoVector") return Vector(3);
        if (type == "qoColor") return Vector(4);
        if (type == "qoString") return Text();
        if (type == "qoEntity") return EntityRef();
        static constexpr std::string_view kOpen = "qoList< ", kClose = " >";
        if (type.size() > kOpen.size() + kClose.size() && type.compare(0, kOpen.size(), kOpen) == 0) {
            const std::string element = type.substr(kOpen.size(), type.size() - kOpen.size() - kClose.size());
            Json list = Json::array();
            const int n = Pick<int>({0, 1, 2, 3, 8, 9, 40});
            const uint32_t elementSize = api.GetElementSize(element.c_str());
            for (int i = 0; i < n && depth < 4; ++i) {
                Json v = Value(element, "", elementSize, depth + 1);
                if (v.is_discarded()) return Json(Json::value_t::discarded);
                list.push_back(std::move(v));
            }
            return list;
        }
        if (const qoEnumInfo* info = api.GetEnumTable(type.c_str())) {
            std::vector<const char*> values;
            for (const qoEnumValue* row = info->values; row && row->name; ++row) values.push_back(row->name);
            if (values.empty()) return Json(Json::value_t::discarded);
            if ((info->flags & qoEnumFlagBits) && in.ConsumeBool()) {
                Json all = Json::array();
                for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i)
                    all.push_back(values[in.ConsumeIntegralInRange<size_t>(0, values.size() - 1)]);
                return all;
            }
            return values[in.ConsumeIntegralInRange<size_t>(0, values.size() - 1)];
        }
        if (const qoPropertyInfo* table = api.GetPropertyTable(type.c_str())) {
            if (depth > 4) return Json(Json::value_t::discarded);
            return Properties(table, depth + 1);
        }
        if (size == 4) return Pick<int64_t>({0, 1, 2, 3, -1, 1000, in.ConsumeIntegral<int32_t>()});
        return Json(Json::value_t::discarded);
    }

    Json Properties(const qoPropertyInfo* table, int depth) {
        Json out = Json::object();
        for (const qoPropertyInfo* row = table; row && row->name; ++row) {
            if (in.ConsumeIntegralInRange(0, 2) == 0) continue;  // keep the constructor's default
            Json v = Value(row->type, row->modifier, row->size, depth);
            if (!v.is_discarded()) out[row->name] = std::move(v);
        }
        return out;
    }

    void AddObject(Json& entity, std::set<std::string>& taken) {
        const std::string& cls = g_classes[in.ConsumeIntegralInRange<size_t>(0, g_classes.size() - 1)];
        if (!taken.insert(cls).second) return;
        Json object = {{"class", cls}};
        if (const qoPropertyInfo* table = api.GetPropertyTable(cls.c_str())) object["properties"] = Properties(table, 0);
        entity["objects"].push_back(std::move(object));
    }

    Json Entity(const std::string& name, bool player) {
        Json e = {{"name", name}};
        if (!player) e["class"] = PickHostClass();
        if (in.ConsumeBool()) e["origin"] = Vector(3);
        if (in.ConsumeBool()) e["angles"] = Vector(3);
        if (in.ConsumeIntegralInRange(0, 3) == 0) e["health"] = Pick<int64_t>({0, 1, std::numeric_limits<int32_t>::max()});
        if (in.ConsumeIntegralInRange(0, 3) == 0) e["hidden"] = true;
        for (int i = in.ConsumeIntegralInRange(0, 3); i > 0 && !names.empty(); --i) e["targets"].push_back(PickName());
        if (!defs.empty() && in.ConsumeBool())
            e["entityDefs"].push_back(defs[in.ConsumeIntegralInRange<size_t>(0, defs.size() - 1)]);
        std::set<std::string> taken;
        for (int i = in.ConsumeIntegralInRange(0, 3); i > 0; --i) AddObject(e, taken);
        return e;
    }

    void Timeline() {
        if (!level.contains("timeline")) level["timeline"] = Json::array();
        static const char* const kKinds[] = {"activate", "trigger", "damage", "death", "enter", "exit",
                                             "use", "animNotify", "music", "cvar", "event", "aware"};
        for (int i = in.ConsumeIntegralInRange(0, 24); i > 0 && !names.empty(); --i) {
            const std::string kind = kKinds[in.ConsumeIntegralInRange<size_t>(0, std::size(kKinds) - 1)];
            Json ev = {{"frame", in.ConsumeIntegralInRange(0, kMaxFrames)}, {"event", kind}};
            if (kind == "cvar") {
                ev["name"] = Pick<const char*>({"qo_debugPrint", "qo_debugDraw", "fz_cvar", "g_skill"});
                ev["value"] = Pick<Json>({Json(0), Json(1), Json(-1), Json("x"), Json(true), Json(1e9)});
                level["timeline"].push_back(std::move(ev));
                continue;
            }
            ev["entity"] = PickName();
            const bool needsBy = kind == "enter" || kind == "exit";
            if (needsBy || in.ConsumeBool()) ev["by"] = PickName();
            if (kind == "damage") ev["amount"] = std::fabs(Number());
            if (kind == "animNotify") ev["notify"] = Text();
            if (kind == "music") ev["level"] = in.ConsumeIntegral<int32_t>();
            if (kind == "event") {
                std::vector<const NamedEntry*> named;
                for (const NamedEntry& n : kEntries)
                    if (n.name) named.push_back(&n);
                const NamedEntry& entry = *named[in.ConsumeIntegralInRange<size_t>(0, named.size() - 1)];
                ev["name"] = entry.name;
                ev.erase("by");
                const std::string shape = entry.shape;
                if (shape[0] == 'E') ev["by"] = PickName();
                if (shape == "EE" || shape == "EEB") ev["other"] = PickName();
                if (shape == "EEB") ev["flag"] = in.ConsumeBool();
                if (shape == "EF") ev["amount"] = Number();
                if (shape == "I") ev["value"] = in.ConsumeIntegral<int32_t>();
                if (shape == "S") ev["text"] = Text();
            }
            level["timeline"].push_back(std::move(ev));
        }
    }

    FuzzedDataProvider& in;
    kvQuorin& api;
    Json level;
};

// ---- the host's own actions between frames ----------------------------------------------------

enum class HostAction { Remove, Spawn, PlayerJoin, PlayerLeave, AddObject, Poke, Save, Restore, Count };

struct Action {
    int frame;
    HostAction what;
    uint32_t a, b;
};

// Overwrites a float or integer member of a live object with an extreme: what a careless
// editor or a corrupt save could leave there.
void Poke(qohost::World& world, kvQuorin& api, uint32_t a, uint32_t b) {
    const auto objects = world.ObjectOrder();
    if (objects.empty()) return;
    const auto [entity, index] = objects[a % objects.size()];
    kvQOObject* object = world.ScriptObject(entity, index);
    if (!object) return;
    const qoPropertyInfo* table = api.GetPropertyTable(object->GetClassName());
    std::vector<const qoPropertyInfo*> rows;
    for (const qoPropertyInfo* row = table; row && row->name; ++row)
        if (std::strcmp(row->type, "float") == 0 || std::strcmp(row->type, "int") == 0) rows.push_back(row);
    if (rows.empty()) return;
    const qoPropertyInfo& row = *rows[b % rows.size()];
    auto* member = reinterpret_cast<unsigned char*>(object) + row.offset;
    if (row.type[0] == 'f') {
        const float values[] = {std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                                -std::numeric_limits<float>::infinity(), -0.0f, 3.0e38f};
        std::memcpy(member, &values[(b >> 8) % std::size(values)], sizeof(float));
    } else {
        const int32_t values[] = {std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max(), -1, 0};
        std::memcpy(member, &values[(b >> 8) % std::size(values)], sizeof(int32_t));
    }
}

struct Outcome {
    uint64_t hash = 0;
    bool loaded = false;
};

Outcome RunOnce(const qohost::LevelDesc& level, const std::vector<Action>& actions, double failRate,
                const std::vector<std::string>& defs, const Json& input) {
    qohost::WorldOptions options;
    options.frameTimeMs = level.frameMs;
    options.keepHistory = false;
    options.threads.maxStacks = kMaxThreads;
    options.threads.stackSize = kThreadStack;
    qohost::World world(options);
    HashSink hash;
    world.AddSink(hash);
    kvQuorin& api = *g_module->Api();
    world.Attach(&api, /*reset=*/false);
    ProtocolCheck check(world);
    api.SetSystem(&check);
    if (failRate > 0) world.allocator.FailRate(failRate, level.seed.value_or(1));

    Outcome out;
    qohost::LevelErrors errors;
    out.loaded = qohost::LoadLevel(world, level, errors);
    if (!out.loaded && failRate == 0) Fail("a generated level did not load", qohost::ErrorLines(errors) + input.dump());
    if (out.loaded) {
        qohost::LevelRunner runner(world, level);
        runner.Start();
        std::vector<qohost::Checkpoint> saved;
        int players = 0;
        size_t next = 0;
        for (int frame = 1; frame <= kMaxFrames; ++frame) {
            for (; next < actions.size() && actions[next].frame == frame; ++next) {
                const Action& act = actions[next];
                std::vector<qohost::Entity*> live = world.Entities();
                switch (act.what) {
                    case HostAction::Remove:
                        if (!live.empty()) world.RemoveEntity(live[act.a % live.size()]->handle, act.b & 1);
                        break;
                    case HostAction::Spawn:
                        if (!defs.empty())
                            world.SpawnEntityFromDef(world.FindDecl("kvDeclEntityDef", defs[act.a % defs.size()]));
                        break;
                    case HostAction::PlayerJoin:
                        world.SpawnEntity("player" + std::to_string(1 + (players++ % 8)), "kvPlayer");
                        break;
                    case HostAction::PlayerLeave:
                        if (!world.Players().empty())
                            world.RemoveEntity(world.Players()[act.a % world.Players().size()]);
                        break;
                    case HostAction::AddObject:
                        if (!live.empty())
                            world.AddScriptObject(*live[act.a % live.size()], g_classes[act.b % g_classes.size()].c_str());
                        break;
                    case HostAction::Poke: Poke(world, api, act.a, act.b); break;
                    case HostAction::Save: saved.push_back(qohost::SaveCheckpoint(world)); break;
                    case HostAction::Restore:
                        if (!saved.empty()) qohost::LoadCheckpoint(world, saved[act.a % saved.size()]);
                        break;
                    case HostAction::Count: break;
                }
            }
            runner.Step();
        }
        if (world.scheduler.InThread()) Fail("a script thread still running between frames", input.dump());
    }
    world.allocator.ClearFailures();
    world.Detach();
    if (world.scheduler.LiveCount() != 0)
        Fail("script threads live after teardown", std::to_string(world.scheduler.LiveCount()) + "\n" + input.dump());
    if (!check.breaches.empty()) Fail("host protocol breach", check.breaches.front() + "\n" + input.dump());
    if (world.allocator.LiveBlocks() != 0) Fail("memory left behind", world.allocator.Report() + input.dump());
    if (!world.allocator.Errors().empty()) Fail("allocator misuse", world.allocator.Errors().front() + "\n" + input.dump());
    world.RemoveSink(hash);
    out.hash = hash.hash;
    return out;
}

// FNV-1a over the input: picks the inputs whose run is repeated.
uint64_t InputHash(const uint8_t* data, size_t size) {
    uint64_t h = 1469598103934665603ull;
    for (size_t i = 0; i < size; ++i) h = (h ^ data[i]) * 1099511628211ull;
    return h;
}

}  // namespace

// Sanitizer settings of this target, read before ASAN_OPTIONS (whose settings still win):
// allocation stacks of 8 frames instead of 30 (each allocation records its stack, and the
// module and host allocate on every frame), and a quarantine of 64 MB instead of 256 MB, which
// still catches a use after free of anything freed within the same input.
extern "C" const char* __asan_default_options() { return "malloc_context_size=8:quarantine_size_mb=64"; }

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    std::string error;
    static std::unique_ptr<qohost::Module> module = qohost::Module::Load(qohost::Module::DefaultLibraryPath(), &error);
    if (!module) Fail("the module did not load", error);
    g_module = module.get();
    if (const char* twice = std::getenv("LEVEL_GEN_FUZZ_TWICE"); twice && std::strcmp(twice, "1") == 0) g_twiceEvery = 1;
    if (const char* print = std::getenv("LEVEL_GEN_FUZZ_PRINT"); print && std::strcmp(print, "1") == 0) g_print = true;
    for (const char* const* name = module->Api()->GetClassNames(); name && *name; ++name) g_classes.emplace_back(*name);
    if (g_classes.empty()) Fail("the module lists no class", "");
    for (const qohost::HostClassInfo& row : qohost::HostClasses())
        if (row.name != "kvPlayer" && row.name != "kvWorldspawn") g_hostClasses.emplace_back(row.name);
    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(QUORIN_EXAMPLE_LEVELS))
        if (entry.path().extension() == ".json") files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const auto& path : files) {
        std::ifstream file(path);
        std::stringstream text;
        text << file.rdbuf();
        Json base = Json::parse(text.str());
        // Texts for readers only: every input would otherwise copy them and read them again.
        base.erase("description");
        for (const char* list : {"players", "entities", "timeline"})
            if (base.contains(list))
                for (Json& e : base[list]) e.erase("comment");
        g_bases.push_back(std::move(base));
    }
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzedDataProvider in(data, size);
    Generator generator(in, *g_module->Api());
    const Json doc = generator.Level();
    std::vector<Action> actions;
    for (int i = in.ConsumeIntegralInRange(0, 12); i > 0; --i)
        actions.push_back({in.ConsumeIntegralInRange(1, kMaxFrames),
                           HostAction(in.ConsumeIntegralInRange(0, int(HostAction::Count) - 1)),
                           in.ConsumeIntegral<uint32_t>(), in.ConsumeIntegral<uint32_t>()});
    std::stable_sort(actions.begin(), actions.end(), [](const Action& x, const Action& y) { return x.frame < y.frame; });
    const double failRate = in.ConsumeIntegralInRange(0, 7) == 0 ? in.ConsumeProbability<double>() * 0.05 : 0.0;
    if (g_print) {
        std::fprintf(stderr, "%s\n", doc.dump(2).c_str());
        for (const Action& a : actions)
            std::fprintf(stderr, "host action %d at frame %d (%u, %u)\n", int(a.what), a.frame, a.a, a.b);
        std::fprintf(stderr, "allocation failure rate %g\n", failRate);
    }

    // The level is read from the document as the reader reads a file; the text is made only for
    // a report.
    qohost::LevelDesc level;
    qohost::LevelErrors errors;
    if (!qohost::ParseLevelDocument(doc, "generated.json", level, errors))
        Fail("a generated level did not parse", qohost::ErrorLines(errors) + doc.dump());
    const Outcome first = RunOnce(level, actions, failRate, generator.defs, doc);
    if (InputHash(data, size) % g_twiceEvery != 0) return 0;
    const Outcome second = RunOnce(level, actions, failRate, generator.defs, doc);
    if (first.hash != second.hash || first.loaded != second.loaded) Fail("two runs of one input differ", doc.dump());
    return 0;
}
