// Test-only script classes for the thread and event tests, declared with the class machinery
// like real ones, and a module interface that can create them next to the module's own
// classes, so a reference-host world makes, binds and destroys them as it does any object.
#pragma once

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "core/qoDiagnostics.h"
#include "core/qoList.h"
#include "host/world/World.h"
#include "object/qoClass.h"
#include "object/qoThreads.h"
#include "quorin/kvQuorin.h"
#include "tests/support/ExtraClassesFixture.h"
#include "tests/support/HostFixture.h"

namespace threads_test {

// What the test scripts saw, in order.
inline std::vector<std::string> journal;

inline void Note(const std::string& text) { journal.push_back(text); }

inline std::string Text(const qoEntity& e) { return std::to_string(e.handle); }
inline std::string Text(int32_t i) { return std::to_string(i); }
inline std::string Text(bool b) { return b ? "true" : "false"; }
inline std::string Text(float f) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", f);
    return buf;
}
inline std::string Text(const qoVector& v) { return Text(v.x) + "," + Text(v.y) + "," + Text(v.z); }
inline std::string Text(const qoString& s) { return std::string("'") + s.c_str() + "'"; }

template <class... A>
void NoteCall(const char* name, const A&... args) {
    std::string line = name;
    ((line += " " + Text(args)), ...);
    Note(line);
}

inline int32_t NowMs() { return qoSys->GameTimeMs(); }

// Threads of many shapes on one object.
class threadProbe : public kvQuorinObject {
    QO_SCRIPT_CLASS(threadProbe, kvQuorinObject)
    QO_FUNCTIONS(QO_FUNCTION(Update), QO_FUNCTION_NAMED("Idle", Idle))

public:
    // Counts frames for ever.
    void Update() {
        for (;;) {
            ++frames;
            qoWaitFrame();
        }
    }
    // Waits for ever holding a string and lists, like script locals.
    void Idle() {
        qoString text("held by the thread");
        qoList<int32_t> numbers;
        numbers.Append(1);
        qoList<qoString> texts;
        texts.Append(text);
        for (;;) qoWaitFrame();
    }
    // The same locals, then an error report, then the next suspension point.
    void IdleThenFail() {
        qoString text("held by the thread");
        qoList<qoString> texts;
        texts.Append(text);
        qoWaitFrame();
        qoWaitFrame();
        ReportError("giving up");
        Note("after error");
        qoWaitFrame();
        Note("never");
    }
    void Run(qoEntity target, float delay) {
        qoWaitFrame();
        NoteCall("Run", target, delay);
    }
    void Take(const qoEntity& e, int32_t i, float f, const qoVector& v, qoString s) {
        qoWaitFrame();
        NoteCall("Take", e, i, f, v, s);
    }
    void Warn() {
        const int32_t before = NowMs();
        ReportWarning("careful");
        Note("warned after " + std::to_string(NowMs() - before) + " ms");
    }
    void Fail() {
        ReportError("boom");
        Note("after error");
        qoWaitFrame();
        Note("never");
    }
    // One copy of a job: a second copy takes it over and the first bows out.
    void Job() {
        qoClaimJobThread(jobThread);
        for (int pass = 0; pass < 3; ++pass) {
            if (!qoIsJobThread(jobThread)) {
                Note("job " + std::to_string(qoCurrentThreadId()) + " quits");
                return;
            }
            qoWaitFrame();
        }
        Note("job " + std::to_string(qoCurrentThreadId()) + " done");
    }

    // Starters, as a script would write them.
    uint32_t StartRunWithLocal(uint32_t handle) {
        qoEntity target(handle);
        const uint32_t id = QO_THREAD(Run, target, 2.5f);
        target = qoEntity(handle + 100);  // the creator changes its variable at once
        return id;
    }
    uint32_t StartTake() {
        qoEntity e(5);
        qoVector v{1.0f, 2.0f, 3.0f};
        qoString s("first");
        const uint32_t id = QO_THREAD(Take, e, 7, 0.5, v, s);
        e = qoEntity(6);
        v.x = 100.0f;
        s = "changed";
        return id;
    }

    int32_t frames = 0;
    uint32_t jobThread = 0;
};

// The stand-in for a class that threads are started on from other objects.
class healthPickup : public kvQuorinObject {
    QO_SCRIPT_CLASS(healthPickup, kvQuorinObject)

public:
    void Run(float amount) {
        NoteCall("healthPickup::Run", amount);
        qoWaitFrame();
    }
};

// Handles every event slot, noting the handler and its arguments.
class eventProbe : public kvQuorinObject {
    QO_SCRIPT_CLASS(eventProbe, kvQuorinObject)
    QO_EVENTS("OnActivate", "OnDamage", "OnAnimNotify", "OnWaveActivate", "OnAnimEnd")

public:
#define THREADS_TEST_NAMES_E , entity
#define THREADS_TEST_NAMES_N
#define THREADS_TEST_NAMES_EEB , entity, other, flag
#define THREADS_TEST_NAMES_EF , entity, value
#define THREADS_TEST_NAMES_S , text
#define THREADS_TEST_NAMES_I , value
#define THREADS_TEST_NAMES_EE , entity, other
#define THREADS_TEST_HANDLER(slot, id, name, shape) \
    void id(QO_HANDLER_PARAMS_##shape) override { NoteCall(#id THREADS_TEST_NAMES_##shape); }
    QO_EVENT_TABLE(THREADS_TEST_HANDLER)
#undef THREADS_TEST_HANDLER
};

// Names two events in its answers without a handler for either.
class eventAnnouncer : public kvQuorinObject {
    QO_SCRIPT_CLASS(eventAnnouncer, kvQuorinObject)
    QO_EVENTS("OnItemPickup", "OnRemove")
};

// Keeps the text it is given (a member copy), so the test can tell copy from argument.
class textKeeper : public kvQuorinObject {
    QO_SCRIPT_CLASS(textKeeper, kvQuorinObject)
    QO_EVENTS("OnAnimNotify")

public:
    void OnAnimNotify(qoString text) override {
        kept = text;
        argumentData = text.data;
        argumentTag = text.tag;
    }
    qoString kept;
    const char* argumentData = nullptr;
    uint32_t argumentTag = 0;
};

// The module interface with the classes above added to the factory.
using TestClassesModule =
    qohost::test::ExtraClassesModule<threadProbe, healthPickup, eventProbe, eventAnnouncer, textKeeper>;

// A world with the linked module and the test classes attached.
class TestClassesFixture : public qohost::test::ExtraClassesFixture<TestClassesModule> {
protected:
    void SetUp() override {
        ExtraClassesFixture::SetUp();
        journal.clear();
    }

    // A new entity carrying one object of the class.
    template <class T>
    T* Make(const char* entityName) {
        qohost::Entity& e = world->SpawnEntity(entityName, "kvEntity");
        const uint32_t index = world->AddScriptObject(e, T::qoName);
        return static_cast<T*>(world->ScriptObject(e.handle, index));
    }
};

}  // namespace threads_test
