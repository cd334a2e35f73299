// Quorin script module: the host service interface.
//
// The host implements kvQuorinSystem and hands it to the module with kvQuorin::SetSystem.
// The module calls these operations by slot number; the declaration order below is the slot
// order and must not change. Unused slots are declared so that every later slot keeps its
// number; the module never calls them.
//
// The comment above each operation sums up its contract; docs/host-contract.md has the full
// entry (edge cases, lifetimes, which operations may suspend the calling script thread). Texts
// passed to the host are valid during the call only; texts the host returns are copied by the
// module at once. The module calls the host from one engine thread at a time and relies on
// script threads switching only inside WaitSeconds, WaitFrame, WaitForThread, CreateThread,
// CreateNetworkThread, EndThread and the latent Action_ methods of CallEntityMethod.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quorin/qoTypes.h"

// Stream object handed out by host slot 72; script objects pass pointers to the members
// whose state the host carries over.
class qoStateStream {
public:
    virtual void Reserved0() = 0;                  // 0
    // Save: reads *member; load: writes the saved value into it, in saved order.
    virtual void SyncBool(bool* member) = 0;       // 1
    // As SyncBool, for an int member.
    virtual void SyncInt(int32_t* member) = 0;     // 2
    // As SyncBool, for a float member (a vector comes as x, y, z).
    virtual void SyncFloat(float* member) = 0;     // 3

protected:
    ~qoStateStream() = default;
};

class kvQuorinSystem {
public:
    virtual void Reserved0() = 0;                                                          // 0
    // Handle of the entity with exactly this name; 0 when none. Never suspends.
    virtual uint32_t FindEntity(const char* name) = 0;                                      // 1
    // Index of an object of the class on the entity; create 1 makes one; none: 0xFFFFFFFF.
    virtual uint32_t FindScriptObject(uint32_t entity, const char* className, int create) = 0;  // 2
    // The object at that index of the entity; null for none, a bad index or entity.
    virtual kvQOObject* GetScriptObject(uint32_t entity, uint32_t objectIndex) = 0;         // 3
    // The entity's name; "" (or null) for 0 and unknown handles. Read at once.
    virtual const char* GetEntityName(uint32_t entity) = 0;                                 // 4
    // True while the entity exists; false for 0, unknown and removed handles.
    virtual bool EntityIsValid(uint32_t entity) = 0;                                        // 5
    virtual void Reserved6() = 0;                                                           // 6
    virtual void Reserved7() = 0;                                                           // 7
    virtual void Reserved8() = 0;                                                           // 8
    virtual void Reserved9() = 0;                                                           // 9
    virtual void Reserved10() = 0;                                                          // 10
    virtual void Reserved11() = 0;                                                          // 11
    // Runs a catalogue method (docs/methods.md); false if it did not. Action_ methods suspend.
    virtual bool CallEntityMethod(uint32_t entity, int32_t method, const char* signature,
                                  void* args) = 0;                                          // 12
    // Int, bool or entity result of the last successful call; fetched right after it.
    virtual int32_t GetIntResult() = 0;                                                     // 13
    // Float result of the last successful call; fetched right after it.
    virtual float GetFloatResult() = 0;                                                     // 14
    // Writes the vector result of the last successful call to xyz.
    virtual void GetVectorResult(float* xyz) = 0;                                           // 15
    virtual void Reserved16() = 0;                                                          // 16
    // Text result of the last successful call; copied at once ("" for empty).
    virtual const char* GetStringResult() = 0;                                              // 17
    // Starts a thread and runs entry(object, args) on it at once; returns its id, 0 on failure.
    virtual uint32_t CreateThread(const char* name, kvQOObject* object, qoThreadEntry entry,
                                  void* args) = 0;                                          // 18
    // As CreateThread (the encounter network's threads).
    virtual uint32_t CreateNetworkThread(const char* name, kvQOObject* object,
                                         qoThreadEntry entry, void* args) = 0;              // 19
    virtual void Reserved20() = 0;                                                          // 20
    virtual void Reserved21() = 0;                                                          // 21
    // Owner and name of a live thread (qoCurrentThread: the caller); false outside threads.
    virtual bool GetThreadContext(uint32_t thread, qoThreadContext* out) = 0;               // 22
    // Ends every thread of the object with exactly this name.
    virtual void EndThreadsByName(const char* name, kvQOObject* object) = 0;                // 23
    // Ends the thread (qoCurrentThread: the caller), unwinding it; 0 and unknown ids: nothing.
    virtual void EndThread(uint32_t thread) = 0;                                            // 24
    // True until the thread returned or was ended; false for 0 and unknown ids.
    virtual bool IsThreadRunning(uint32_t thread) = 0;                                      // 25
    // Id of the calling thread; 0 outside threads.
    virtual uint32_t CurrentThread() = 0;                                                   // 26
    // At least size bytes, 8-byte aligned, recorded with the tag; null when exhausted.
    virtual void* Allocate(size_t size, uint32_t tag) = 0;                                  // 27
    // Frees a block of Allocate; the module passes the block's own tag, never null.
    virtual void Free(void* memory, uint32_t tag) = 0;                                      // 28
    // The current memory tag (strings and lists record it when constructed).
    virtual uint32_t GetMemoryTag() = 0;                                                    // 29
    // Sets the current memory tag and returns the previous one.
    virtual uint32_t SetMemoryTag(uint32_t tag) = 0;                                        // 30
    // Prints to the console with printf semantics (the module uses %s only). Never suspends.
    virtual void Printf(const char* format, ...) = 0;                                       // 31
    // Suspends the calling thread for game seconds, at least one frame (also 0, < 0, NaN).
    virtual void WaitSeconds(float seconds) = 0;                                            // 32
    // Suspends the calling thread until the next frame; outside threads returns at once.
    virtual void WaitFrame() = 0;                                                           // 33
    // Suspends until the thread ended or for a frame; ended ids return, own id: one frame.
    virtual void WaitForThread(uint32_t thread) = 0;                                        // 34
    // Random integer 0 .. n-1; 0 for n <= 0.
    virtual int32_t RandomInt(int32_t n) = 0;                                               // 35
    // Random float, 0 <= r < 1.
    virtual float RandomFloat() = 0;                                                        // 36
    // Game time in milliseconds since the level began; never decreases.
    virtual int32_t GameTimeMs() = 0;                                                       // 37
    // Duration of the last frame in milliseconds (0 is read as 1).
    virtual int32_t FrameTimeMs() = 0;                                                      // 38
    // Draws a line for lifetime seconds (0: one frame). May do nothing.
    virtual void DebugLine(const qoColor* color, const qoVector* start, const qoVector* end,
                           float lifetime, bool depthTest) = 0;                            // 39
    virtual void Reserved40() = 0;                                                          // 40
    // Draws an arrow for lifetime seconds. May do nothing.
    virtual void DebugArrow(const qoColor* color, const qoVector* start, const qoVector* end,
                            int size, float lifetime) = 0;                                  // 41
    // Draws a circle of radius around origin, normal dir. May do nothing.
    virtual void DebugCircle(const qoColor* color, const qoVector* origin, const qoVector* dir,
                             float radius, int points, float lifetime, bool depthTest) = 0;  // 42
    // Draws a box (mins, maxs around origin, turned by angles). May do nothing.
    virtual void DebugBox(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                          const qoVector* origin, const qoVector* angles, float lifetime,
                          bool depthTest) = 0;                                              // 43
    // Draws a sphere. May do nothing.
    virtual void DebugSphere(const qoColor* color, const qoVector* origin, float radius,
                             float lifetime, bool depthTest) = 0;                           // 44
    virtual void Reserved45() = 0;                                                          // 45
    // Draws text at a world position in colour rgb for lifetime seconds. May do nothing.
    virtual void DebugText(const char* text, const qoVector* rgb, const qoVector* position,
                           float scale, int alignment, bool flag1, bool flag2,
                           float lifetime) = 0;                                             // 46
    // Draws the bounds mins .. maxs. May do nothing.
    virtual void DebugBounds(const qoColor* color, const qoVector* mins, const qoVector* maxs,
                             float lifetime) = 0;                                           // 47
    virtual void Reserved48() = 0;                                                          // 48
    // Sets a console variable as text.
    virtual void SetCvarString(const char* name, const char* value) = 0;                    // 49
    // Sets a console variable as a bool.
    virtual void SetCvarBool(const char* name, bool value) = 0;                             // 50
    // Sets a console variable as an integer (not called by the module today).
    virtual void SetCvarInt(const char* name, int32_t value) = 0;                           // 51
    // Sets a console variable as a float.
    virtual void SetCvarFloat(const char* name, float value) = 0;                           // 52
    // Registers the variable with the default if new, returns its value (copied at once).
    virtual const char* GetCvarString(const char* name, const char* defaultValue,
                                      const char* reserved, int zero) = 0;                  // 53
    // Registers the variable with the default if new, returns its value.
    virtual bool GetCvarBool(const char* name, bool defaultValue) = 0;                      // 54
    // Registers the variable with the default if new, returns its value.
    virtual int32_t GetCvarInt(const char* name, int32_t defaultValue) = 0;                 // 55
    // Registers the variable with the default if new, returns its value.
    virtual float GetCvarFloat(const char* name, float defaultValue) = 0;                   // 56
    // Spawns an entity from an entity def decl; its handle, 0 on failure.
    virtual uint32_t SpawnEntityFromDef(const void* entityDef) = 0;                         // 57
    virtual void Reserved58() = 0;                                                          // 58
    // Starts a ray test; returns its handle.
    virtual int32_t StartTrace(const qoVector* start, const qoVector* end, uint32_t contentMask,
                               uint32_t ignoreEntity) = 0;                                  // 59
    // Fraction travelled (1: no hit), hit normal and hit entity (0: none) of a trace.
    virtual void GetTraceResult(int32_t trace, float* fraction, qoVector* normal,
                                uint32_t* hitEntity) = 0;                                   // 60
    // True once the trace result can be read; must become true for every handle.
    virtual bool IsTraceDone(int32_t trace) = 0;                                            // 61
    // Runs the named function (GetFunction) of each object of the entity on a new thread.
    virtual void CallScriptFunction(uint32_t entity, const char* functionName) = 0;         // 62
    virtual void Reserved63() = 0;                                                          // 63
    virtual void Reserved64() = 0;                                                          // 64
    virtual void Reserved65() = 0;                                                          // 65
    virtual void Reserved66() = 0;                                                          // 66
    // Number of players.
    virtual int32_t NumPlayers() = 0;                                                       // 67
    virtual void Reserved68() = 0;                                                          // 68
    // Entity of the player with that 0-based index; 0 out of range.
    virtual uint32_t GetPlayer(int32_t index) = 0;                                          // 69
    // One item of a debug watch window; the first is its title.
    virtual void DevWindowItem(const char* name, const char* value) = 0;                    // 70
    // Ends the window whose items came since the last flush.
    virtual void DevWindowFlush() = 0;                                                      // 71
    // The stream SyncState hands members to; null: nothing is synced.
    virtual qoStateStream* GetStateStream() = 0;                                            // 72

protected:
    ~kvQuorinSystem() = default;
};

// Thread id that names the calling script thread.
constexpr uint32_t qoCurrentThread = 0xFFFFFFFFu;
