// Quorin host conformance kit (library Quorin::hostcheck).
//
// An engine hands the kit its kvQuorinSystem, the module it loaded, and a small Driver through
// which the kit sets up situations in the engine's world. The kit then checks, one operation
// at a time, every effect the module relies on: memory and memory tags, entity and script
// object lookup and creation, script threads (start, suspension, wake order, waits, ending by
// unwinding), console variables, entity methods and their result getters, refusals, the clock,
// random numbers and printing. Some checks drive real script classes of the module on test
// entities (a sequential relay with two targets).
//
// Call it once the module is attached (SetSystem, RunRegistrations, Reset) and a level with an
// entity named "world" is loaded, from the engine's main loop, outside any script thread:
//
//   MyDriver driver(engine);
//   return qohostcheck::Run(engine.System(), module, driver);   // 0 when every check passes
//
// The kit creates entities named "hostcheck_..." and removes them again. While it runs it puts
// a recording layer between the module and the engine (kvQuorin::SetSystem) and restores the
// engine's pointer before it returns.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "quorin/kvQuorin.h"
#include "quorin/kvQuorinSystem.h"

namespace qohostcheck {

// What the kit needs from the engine to set up its situations. Every operation is called from
// the engine's main loop, never from inside a script thread.
class Driver {
public:
    // Creates an entity with this unique name and engine class ("kvTarget", "kvLight", ...).
    // Returns its handle, 0 when it cannot be made.
    virtual uint32_t CreateEntity(const char* name, const char* hostClass) = 0;
    // Appends `target` to the entity's target list (what NumTargets, GetTarget and
    // ActivateTargets work on).
    virtual void AddTarget(uint32_t entity, uint32_t target) = 0;
    // Gives the entity a script object of the class as a level's object gets one
    // (kvQuorin::CreateObject, SetEntity, decl defaults) and runs its Init as a script thread
    // named "Init". Returns the object index, 0xFFFFFFFF when the module refused the class.
    virtual uint32_t AddScriptObject(uint32_t entity, const char* className) = 0;
    // Activates the entity as the engine's triggers do: OnActivate (with the activator) to each
    // of its script objects that handles it.
    virtual void Activate(uint32_t entity, uint32_t activator) = 0;
    // Removes the entity: it is invalid at once; its script objects are shut down and
    // destroyed (Shutdown, then Destroy(1)) and their threads ended by the end of the next frame.
    virtual void RemoveEntity(uint32_t entity) = 0;
    // Advances one frame: the game time by the frame time, then due script threads resume.
    virtual void RunFrame() = 0;
    // The console text printed since the previous call (what Printf produced).
    virtual std::string TakeConsole() = 0;

protected:
    ~Driver() = default;
};

struct CheckResult {
    std::string name;    // "FindScriptObject.none"
    bool passed = false;
    std::string detail;  // PASS: what was seen; FAIL: expected, seen, and what to fix
};

struct Report {
    std::vector<CheckResult> results;
    int Failures() const;
    // "PASS  name: detail" / "FAIL  name: detail", one per check, then a summary line.
    std::string Text() const;
};

// Runs every check and returns the report.
Report RunChecks(kvQuorinSystem* system, kvQuorin* module, Driver& driver);

// Runs every check, prints the report to `out`, returns 0 when all passed and 1 otherwise.
int Run(kvQuorinSystem* system, kvQuorin* module, Driver& driver, FILE* out = stdout);

}  // namespace qohostcheck
