// Script threads as scripts start, stop and wait on them.
//
// The host owns the threads (create, end, wait, query); the module supplies the entry points
// it runs. A function without arguments is entered through its entry thunk (object/qoThunk.h),
// the same entry GetFunction hands out. A function with arguments is entered through the
// argument trampoline of its argument types: the creator passes a block in its own frame
// holding an invoker, then one pointer per argument; the trampoline copies the arguments into
// its own frame before the creator goes on, then calls the invoker, which checks the object
// and runs the member with the copies.
//
// In a script class (declared with QO_SCRIPT_CLASS):
//
//   updateThread = qoStartThread<&myClass::Update>(this, "Update");
//   qoStartThread<&myClass::Run>(this, "Run", target, 2.5f);
//   QO_THREAD(Update);                      // the same, named after the function
//   QO_THREAD(Run, target, 2.5f);
//   qoStartThreadOn<&healthPickup::Run>(pickup, "Run");  // thread "&healthPickup::Run"
//   QO_THREAD_ON(pickup, healthPickup, Run);
//   qoStopThread(updateThread);             // ends it if the id is 1 or more, stores 0
//   qoEndThreads(this, "CloseDoor");         // every "CloseDoor" thread of this object
//   qoWaitFrame();  qoWait(0.5f);  qoWaitForThread(id);
//
// Argument types: qoEntity, int, float, qoVector, qoString, and script structs that copy as
// plain bytes (a member may take them by value or by const reference). Arguments are converted
// to the member's parameter types first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <tuple>
#include <type_traits>
#include <utility>

#include "hostcalls/qoEntity.h"
#include "core/qoString.h"
#include "core/qoSystem.h"
#include "object/kvQuorinObject.h"
#include "object/qoThunk.h"
#include "quorin/qoTypes.h"

// ---- the entry protocol ------------------------------------------------------------------------

template <class T>
inline constexpr bool qoIsThreadArgument =
    std::is_same_v<T, qoEntity> || std::is_same_v<T, int32_t> || std::is_same_v<T, float> ||
    std::is_same_v<T, qoVector> || std::is_same_v<T, qoString> ||
    (std::is_class_v<T> && std::is_trivially_copyable_v<T> && requires { T::qoName; });

// The creator's block: invoker first, then the address of each argument in parameter order.
template <class... A>
struct qoThreadArgBlock {
    void (*invoker)(kvQOObject* object, const A&... args);
    const void* args[sizeof...(A)];
};

// One trampoline per list of argument types, shared by every function with that list.
template <class... A>
struct qoThreadTrampoline {
    static_assert((qoIsThreadArgument<A> && ...),
                  "thread arguments are qoEntity, int, float, qoVector, qoString or plain script structs");

    static void Entry(kvQOObject* object, void* block) {
        Run(object, *static_cast<const qoThreadArgBlock<A...>*>(block),
            std::index_sequence_for<A...>{});
    }

private:
    template <size_t... I>
    static void Run(kvQOObject* object, const qoThreadArgBlock<A...>& block,
                    std::index_sequence<I...>) {
        const auto invoker = block.invoker;
        std::tuple<A...> copies{*static_cast<const A*>(block.args[I])...};
        // The creator's block is not read from here on.
        invoker(object, std::get<I>(copies)...);
    }
};

// The member function behind a thread: its class and argument types.
template <class F>
struct qoThreadMember;

template <class C, class R, class... P>
struct qoThreadMember<R (C::*)(P...)> {
    using Class = C;
    using Args = std::tuple<std::remove_cvref_t<P>...>;
};

// Per-function entry with parameters: a null object is an assertion, else the member runs.
template <auto Fn, class... A>
void qoThreadInvoker(kvQOObject* object, const A&... args) {
    if (object == nullptr) {
        qoAssertFailed("object != NULL");
        return;
    }
    using C = typename qoThreadMember<decltype(Fn)>::Class;
    (static_cast<C*>(object)->*Fn)(args...);
}

// Host slot 18 (or 19 for network threads) with the name's text; the name is the caller's.
uint32_t qoCreateThread(const qoString& name, kvQOObject* target, qoThreadEntry entry,
                        void* block, bool network = false);

template <auto Fn, class Args = typename qoThreadMember<decltype(Fn)>::Args>
struct qoThreadStarter;

template <auto Fn, class... A>
struct qoThreadStarter<Fn, std::tuple<A...>> {
    static uint32_t Start(kvQOObject* target, const qoString& name, bool network,
                          const A&... values) {
        if constexpr (sizeof...(A) == 0) {
            return qoCreateThread(name, target, &qoEntryThunk<Fn>, nullptr, network);
        } else {
            qoThreadArgBlock<A...> block{&qoThreadInvoker<Fn, A...>, {&values...}};
            return qoCreateThread(name, target, &qoThreadTrampoline<A...>::Entry, &block, network);
        }
    }
};

// ---- starting threads --------------------------------------------------------------------------

// Starts Fn on `self` as a thread called `name` and returns its id. The arguments are copied
// by the new thread before this returns.
template <auto Fn, class... Given>
uint32_t qoStartThread(typename qoThreadMember<decltype(Fn)>::Class* self, const char* name,
                       Given&&... args) {
    return qoThreadStarter<Fn>::Start(self, qoString(name), false, std::forward<Given>(args)...);
}

// The same through host slot 19 (the encounter network's threads).
template <auto Fn, class... Given>
uint32_t qoStartNetworkThread(typename qoThreadMember<decltype(Fn)>::Class* self,
                              const char* name, Given&&... args) {
    return qoThreadStarter<Fn>::Start(self, qoString(name), true, std::forward<Given>(args)...);
}

// The object of a class on an entity (host slot 2 with create 1, then slot 3); null after the
// warning "Could not create thread <name> on null object".
kvQOObject* qoThreadTarget(const qoEntity& entity, const char* className,
                           const qoString& threadName);
// The warning for a thread that has no object to run on.
void qoWarnNullThreadTarget(const qoString& threadName);
// "&" + class name + "::" + function name.
qoString qoForeignThreadName(const char* className, const char* function);

// Starts Fn on the entity's object of Fn's class, as the thread "&Class::function". Returns
// 0 and starts nothing when there is no such object.
template <auto Fn, class... Given>
uint32_t qoStartThreadOn(const qoEntity& entity, const char* function, Given&&... args) {
    using C = typename qoThreadMember<decltype(Fn)>::Class;
    const qoString name = qoForeignThreadName(C::qoName, function);
    kvQOObject* target = qoThreadTarget(entity, C::qoName, name);
    if (!target) return 0;
    return qoThreadStarter<Fn>::Start(target, name, false, std::forward<Given>(args)...);
}

// Starts Fn on an object already resolved (through a reference bound with the create flag the
// caller chose), as the thread "&Class::function". A null target gives the warning "Could not
// create thread <name> on null object" and starts nothing (0).
template <auto Fn, class... Given>
uint32_t qoStartThreadOnTarget(kvQOObject* target, const char* function, Given&&... args) {
    using C = typename qoThreadMember<decltype(Fn)>::Class;
    const qoString name = qoForeignThreadName(C::qoName, function);
    if (!target) {
        qoWarnNullThreadTarget(name);
        return 0;
    }
    return qoThreadStarter<Fn>::Start(target, name, false, std::forward<Given>(args)...);
}

// Thread named after the function: QO_THREAD(Update), QO_THREAD(Run, target, 2.5f).
#define QO_THREAD(Function, ...) \
    qoStartThread<&qoSelf::Function>(this, #Function __VA_OPT__(, ) __VA_ARGS__)
// Thread "&Class::Function" on the entity's Class object: QO_THREAD_ON(e, healthPickup, Run).
#define QO_THREAD_ON(entity, Class, Function, ...) \
    qoStartThreadOn<&Class::Function>(entity, #Function __VA_OPT__(, ) __VA_ARGS__)

// ---- stopping and waiting ----------------------------------------------------------------------

// Ends the thread of a stored id when the id is 1 or more (host slot 24), then stores 0.
template <class Id>
void qoStopThread(Id& id) {
    static_assert(std::is_integral_v<Id> && sizeof(Id) == 4, "thread ids are 32-bit members");
    if (id >= 1) qoSys->EndThread(static_cast<uint32_t>(id));
    id = 0;
}

// True while the thread of a stored id runs; an id of 0 is no thread and asks nothing.
bool qoIsThreadRunning(uint32_t id);
// The calling thread's id (host slot 26), 0 outside threads.
uint32_t qoCurrentThreadId();
// Ends every thread of the object that carries the name (host slot 23).
void qoEndThreads(kvQOObject* object, const char* name);

// Host slot 33: resume on the next frame.
void qoWaitFrame();
// Host slot 32: resume after that much game time.
void qoWait(float seconds);
// Host slots 34 and 25: wait until the thread has ended.
void qoWaitForThread(uint32_t id);

// ---- conventions -------------------------------------------------------------------------------

// One copy of a job: the thread that runs it records itself (qoClaimJobThread) and checks on
// every pass of its loop that it is still the one; another thread gets the warning
// "Multiple ExecuteSequence threads started on this object.  Only 1 thread can be active at a
// time" and false, and should return.
void qoClaimJobThread(uint32_t& jobThread);
bool qoIsJobThread(uint32_t jobThread);

// A latent host action (an Action_ method: the host holds the calling thread until the action
// is over) with the busy-flag convention: nothing happens while the actor's script is already
// waiting on an action; otherwise the flag is raised, the action runs, and the flag is lowered
// when it returns. Returns whether the action ran.
//   qoRunLatentAction(entity, walking, [&] { entity.Action_MoveToPoint(p, 1, r, false, fwd); });
template <class Flag, class Action>
bool qoRunLatentAction(const qoEntity& actor, Flag& busy, Action&& action) {
    if (actor.IsScriptWaitingOnAction()) return false;
    busy = true;
    std::forward<Action>(action)();
    busy = false;
    return true;
}
