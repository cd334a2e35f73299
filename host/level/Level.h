// Level files: a JSON description of a small map (entities, the script objects on them with
// their property values, console variables, decls, a timeline of host events), parsed into a
// LevelDesc and loaded into a World. docs/levels.md documents the format.
//
// Reading a level never throws and never crashes on malformed or hostile input: every problem
// becomes a LevelError that names the file, the entity (when there is one) and the field, and
// the work and the output stay bounded by the size of the input.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <nlohmann/json.hpp>

#include "host/sim/paths/Paths.h"
#include "host/world/OnDemand.h"
#include "host/level/Expectation.h"
#include "quorin/qoTypes.h"

class kvQOObject;
class kvQuorin;
class kvQuorinSystem;

namespace qohost {

class World;

// Limits on what a level file may hold (docs/levels.md lists them).
constexpr size_t kMaxLevelFileBytes = size_t(256) << 20;  // larger files are not read
constexpr size_t kMaxLevelDepth = 64;        // arrays and objects nested in one another
constexpr double kMaxRunSeconds = 1000000;   // run lengths and event times, in seconds
constexpr size_t kMaxErrorLines = 20;        // ErrorLines prints these and counts the rest
constexpr size_t kMaxErrorLineBytes = 2000;  // longer lines are cut
constexpr size_t kMaxErrorsKept = 100;       // further problems are only counted

// The text with control characters written as \xNN, cut to `maxBytes` (then ending in "...").
std::string Printable(std::string_view text, size_t maxBytes = kMaxErrorLineBytes);

// True when the text holds a control character (0x00 to 0x1f, 0x7f).
bool HasControlCharacter(std::string_view text);

// One load problem. `entity` is empty for fields outside any entity; `field` is a path within
// the entity ("objects[0].properties.loop") or within the document ("timeline[2].frame").
struct LevelError {
    std::string file;
    std::string entity;
    std::string field;
    std::string message;
    size_t more = 0;  // problems found after this one that were counted, not kept

    // "FILE: entity 'E', field 'F': MESSAGE" with the parts that are present, as Printable.
    std::string Text() const;
};

using LevelErrors = std::vector<LevelError>;

// Appends a problem. The first kMaxErrorsKept are kept (each part cut as Printable); later
// ones are counted on the last one kept, so that the memory a report takes stays bounded
// however many problems a hostile file holds.
void AddError(LevelErrors& errors, LevelError error);

// How many problems the errors stand for, kept or counted.
size_t CountProblems(const LevelErrors& errors);

// The errors' Text(), one per line: the first kMaxErrorLines, then "... and N more problems".
std::string ErrorLines(const LevelErrors& errors);

// "a string", "an array", "true or false", ...: what a JSON value is, for messages.
const char* DescribeJson(const nlohmann::ordered_json& value);

// A JSON number that a 32-bit float holds without overflowing.
bool FitsFloat(const nlohmann::ordered_json& value);

// Reads an array of `count` numbers that floats hold (a vector, a colour) into `out`. On a
// problem returns false with the field that is wrong (the array, or the element "F[i]") and
// the message; `shape` names the expected form ("[x, y, z]").
bool ReadFloats(const nlohmann::ordered_json& value, size_t count, const char* shape,
                const std::string& field, float* out, std::string& badField,
                std::string& message);

// A script object placed on an entity, with its property values still in JSON form: their
// meaning depends on the module's property tables, checked when the level is loaded.
struct LevelObject {
    std::string className;
    nlohmann::ordered_json properties = nlohmann::ordered_json::object();
    std::string field;  // "objects[N]", for error messages
};

// What few placed entities give: read through a const LevelEntity it has its defaults
// without being made, so that the many plain ones hold a null pointer in its place.
struct LevelEntityMore {
    std::optional<qoVector> angles;
    std::optional<qoVector> mins;
    std::optional<qoVector> maxs;
    std::optional<int32_t> health;
    std::optional<int32_t> shields;
    std::string bindTo;                   // the entity it is bound to (follows), "" for none
    std::vector<std::string> entityDefs;  // what a spawner spawns
    std::vector<std::string> spawnNames;  // names its spawns take, in turn
    std::vector<std::pair<std::string, std::string>> spawnArgs;
    std::vector<Waypoint> path;  // walked from the start (host/sim/paths/Paths.h)
    std::string volume;          // "", "events" or "touch" (host/sim/volumes/Volumes.h)
};

struct LevelEntity {
    std::string name;
    std::string hostClass;
    std::optional<qoVector> origin;
    bool hidden = false;
    std::vector<std::string> targets;
    std::vector<LevelObject> objects;
    OnDemand<LevelEntityMore> more;
    // Where it stands in the file, for messages (EntityField): a number, not a text, since
    // "entities[N]" past entity 99,999 is a heap block of its own.
    enum class List : uint8_t { Entities, Players, Implicit } list = List::Entities;
    uint32_t index = 0;
};

// "players[N]", "entities[N]" or "(implicit world)".
std::string EntityField(const LevelEntity& entity);

// An entity def: the template a spawner spawns from. Its name is also a kvDeclEntityDef decl.
struct LevelEntityDef {
    std::string name;
    std::string hostClass;
    std::vector<std::pair<std::string, std::string>> args;  // spawn args of spawned entities
};

// What a timeline entry does. The host events go to the script objects of `entity` through
// the event entry slots; kinds with a host effect apply it first (see docs/levels.md).
enum class LevelEventKind {
    Activate,    // OnActivate(by)
    Trigger,     // OnTrigger(by)
    Damage,      // health -= amount, OnDamage(by, amount); OnDeath(by) when health runs out
    Death,       // health = 0, OnDeath(by)
    Enter,       // OnEnter(by); a trigger entity also activates its targets
    Exit,        // OnExit(by)
    Use,         // OnUse(by)
    AnimNotify,  // OnAnimNotify(text)
    Music,       // OnChangeMusicLevel(value)
    Cvar,        // set console variable `name` to `text`
    Event,       // any named event entry, arguments by its shape
    Aware,       // the monster notices the enemy `by` (host/sim/monsters/Monsters.h)
};

// What few timeline entries give (activations, the most common, give none of it): read through
// a const LevelEvent it is empty without being made.
struct LevelEventMore {
    std::string other;  // second entity argument (Event only)
    std::string name;   // event name (Event) or console variable name (Cvar)
    std::string text;   // text argument or console variable value
};

struct LevelEvent {
    LevelEventKind kind = LevelEventKind::Activate;
    int32_t frame = 0;            // the frame it is delivered on
    std::optional<double> time;   // seconds, when the entry gave a time instead of a frame
    std::string entity;           // receiver (empty for Cvar)
    std::string by;               // first entity argument ("" = none)
    OnDemand<LevelEventMore> more;  // what only some kinds give
    float amount = 0.0f;          // float argument
    int32_t value = 0;            // integer argument
    bool flag = false;            // 8-bit flag argument (Event only)
    uint32_t index = 0;           // its place in the document's list ("timeline[N]" in messages)
};

// Where a timeline entry stands in the file, for messages: "LIST[N]" with LIST the list it was
// read from ("timeline", "runs.NAME.timeline").
std::string EventField(const std::string& list, const LevelEvent& event);

// One way of playing a level (the level file's "runs"): timeline events added to the level's
// own and expectations added to its own, so that the paths through a puzzle share one file.
struct LevelRun {
    std::string name;
    std::vector<LevelEvent> timeline;  // sorted by frame, like the level's
    std::vector<Expectation> expect;
    std::string field;  // "runs.NAME", for error messages
};

struct LevelDesc {
    std::string file;  // as given to the reader; used in every message
    std::string name;
    std::string description;
    int32_t frameMs = 16;
    std::optional<uint32_t> seed;
    std::optional<int32_t> frames;   // run length in frames, when the level gives one
    std::optional<double> seconds;   // run length in seconds, when the level gives one
    std::vector<std::pair<std::string, std::string>> cvars;           // in document order
    std::vector<std::pair<std::string, std::string>> decls;           // (type, name)
    std::vector<LevelEntityDef> entityDefs;
    std::vector<LevelEntity> entities;  // players first, then the entities list
    std::vector<LevelEvent> timeline;   // sorted by frame; document order within a frame
    std::vector<Expectation> expect;    // what every run of the level expects
    std::vector<LevelRun> runs;         // none: the level is played as it is

    // By name, through an index built on first use and again whenever `entities` has changed
    // its size or storage.
    const LevelEntity* FindEntity(std::string_view entityName) const;
    bool HasDecl(std::string_view type, std::string_view declName) const;
    // The number of frames a run lasts when the command line does not say.
    int32_t DefaultRunFrames() const;
    // The level as one of its runs plays it: the run's timeline events merged into the level's
    // (the level's first within a frame) and its expectations after the level's.
    LevelDesc WithRun(const LevelRun& run) const;

private:
    mutable std::unordered_map<std::string_view, size_t> entityIndex_;
    mutable const LevelEntity* indexedData_ = nullptr;
    mutable size_t indexedSize_ = 0;
};

// Seconds of game time to the frame that first reaches them: frame f ends at f * frameMs.
// Negative seconds and NaN give frame 0; the result saturates at the largest int32_t.
int32_t FrameForSeconds(double seconds, int32_t frameMs);

// Parses a level document. Returns false and appends to `errors` on any problem; `out` is then
// unspecified. Structure, value kinds, number ranges, names, targets and decl names are checked
// here; script classes and property values are checked against the module by LoadLevel.
// Time and memory are linear in the size of the text; values nested deeper than
// kMaxLevelDepth stop the parse with one error.
bool ParseLevel(std::string_view text, const std::string& file, LevelDesc& out,
                LevelErrors& errors);
// The same for a document already in memory (a level built by a program): read as the text
// that nlohmann::ordered_json::dump would write for it.
bool ParseLevelDocument(const nlohmann::ordered_json& doc, const std::string& file, LevelDesc& out,
                        LevelErrors& errors);
// Reads and parses a level file. Only a regular file of at most `maxBytes` is read; anything
// else (a directory, a device, a fifo, a larger file) is refused without reading it.
bool ReadLevelFile(const std::string& path, LevelDesc& out, LevelErrors& errors,
                   size_t maxBytes = kMaxLevelFileBytes);
// Reads a regular file of at most `maxBytes` into `text` the same way; false with `error` set
// ("cannot open the WHAT file", "not a WHAT file: a fifo", ...) for anything else.
bool ReadRegularFile(const std::string& path, const char* what, size_t maxBytes, std::string& text,
                     std::string& error);

// Resolves a decl by type and name to the opaque pointer the host hands to the module.
class DeclResolver {
public:
    virtual const void* Resolve(std::string_view type, std::string_view name) = 0;

protected:
    ~DeclResolver() = default;
};

// Writes JSON property values into script objects, type-driven through the module's property,
// enum and element tables. Checking (`object` null) and writing share one walk so that a level
// that checks cleanly writes exactly what was checked.
class PropertyWriter {
public:
    // `sys` allocates string storage and finds entities; `decls` may be null when only checking.
    PropertyWriter(kvQuorin& module, kvQuorinSystem* sys, DeclResolver* decls,
                   const LevelDesc& level);

    // Checks (object == nullptr) or writes the properties of one placed object. Errors name
    // `entity` and the field path below `field`.
    bool Apply(const LevelObject& placed, const std::string& entity, void* object,
               LevelErrors& errors);

private:
    struct Context;
    bool Value(Context& cx, const std::string& type, const std::string& modifier, uint32_t size,
               const nlohmann::ordered_json& value, std::string field, uint8_t* dest);
    bool Struct(Context& cx, const qoPropertyInfo* table, const nlohmann::ordered_json& value,
                const std::string& field, uint8_t* dest);
    bool List(Context& cx, const std::string& elementType, const nlohmann::ordered_json& value,
              const std::string& field, uint8_t* dest);
    void WriteString(qoStringLayout& member, const std::string& text);
    void Release(const std::string& type, const std::string& modifier, uint8_t* dest);

    kvQuorin& module;
    kvQuorinSystem* sys;
    DeclResolver* decls;
    const LevelDesc& level;
};

// Fills the object's decl members from its class's decl-default table (object slot 47): each
// member with a default name gets the world's decl of that type and name, defined on first
// use. Members named as keys of `levelValues` are left to the level.
void FillDeclDefaults(World& world, kvQOObject& object,
                      const nlohmann::ordered_json& levelValues = nlohmann::ordered_json::object());

// The values a placed object takes from the level: its decl defaults, then the level's values
// (the LoadLevel step that follows creating it). Problems are added to `errors`.
void PlaceObjectValues(World& world, const LevelDesc& level, const std::string& entity,
                       const LevelObject& placed, kvQOObject& object, LevelErrors& errors);

// Starts the object's Init (slot 0) as a script thread named "Init"; the thread id, 0 when
// none could be created.
uint32_t StartInitThread(World& world, kvQOObject& object);

// What LoadLevel made: the script objects it created, in creation order, as (entity handle,
// object index).
struct LoadedLevel {
    std::vector<std::pair<uint32_t, uint32_t>> objects;
};

// Loads a parsed level into a world that has a module attached (World::Attach, with or without
// its Reset), in this order:
//   1. check everything against the world and the module (host classes, script classes,
//      property names and values); on any error nothing is changed and false is returned;
//   2. frame time, seed, console variables, decls and entity defs;
//   3. the entities with their placement, state and targets (the "world" entity the World
//      already has is reused);
//   4. the module's Reset, which binds the world utility to the "world" entity;
//   5. the script objects: created through the module and bound to their entity (an object
//      of that class already on the entity is reused), decl defaults, then the level's values;
//   6. each new object's Init, started as a script thread named "Init", in creation order.
// An allocation failure during step 5 is reported too; the world then holds a partial level
// that the caller tears down as usual.
bool LoadLevel(World& world, const LevelDesc& level, LevelErrors& errors,
               LoadedLevel* loaded = nullptr);

// Step 1 of LoadLevel alone: checks the level against the world and its module (host classes,
// script classes, property names and values) without changing anything.
void CheckLevel(World& world, const LevelDesc& level, LevelErrors& errors);

}  // namespace qohost
