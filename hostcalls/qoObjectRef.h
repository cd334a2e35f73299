// Typed references to script objects on other entities (16 bytes, layout qoObjectRefLayout).
//
// A reference holds an entity and the host's index of a script object on it, never a pointer:
// it is resolved through the host on every use. qoObject<T> derives from qoObject<B> when the
// script class T derives from the script class B, down to qoObjectBase, so a reference to a
// derived class can be used wherever a reference to its base is expected.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <type_traits>
#include <utility>

#include "core/qoDiagnostics.h"
#include "hostcalls/qoEntity.h"
#include "core/qoSystem.h"
#include "quorin/kvQOObject.h"
#include "quorin/qoTypes.h"

class kvQuorinObject;

class qoObjectBase {
public:
    qoObjectBase() : entity(0), objectIndex(0) {}
    qoObjectBase(uint32_t e, uint32_t index) : entity(e), objectIndex(index) {}
    qoObjectBase(const qoObjectBase&) = default;
    qoObjectBase& operator=(const qoObjectBase&) = default;

    // Asks the host for the script object of className on the entity (host slot 2); with
    // create 1 the host attaches a new one when the entity carries none. The reference keeps
    // the entity and the index.
    void Bind(const qoEntity& e, const char* className, int create = 0) {
        entity = e.handle;
        objectIndex = qoSys ? qoSys->FindScriptObject(e.handle, className, create) : 0u;
    }

    // The target object (host slot 3), or null when it does not exist.
    virtual kvQOObject* Resolve() const {
        return qoSys ? qoSys->GetScriptObject(entity, objectIndex) : nullptr;
    }

    bool IsBound() const { return entity != 0; }
    qoEntity Entity() const { return qoEntity(entity); }

    bool operator==(const qoObjectBase& o) const { return entity == o.entity && objectIndex == o.objectIndex; }
    bool operator!=(const qoObjectBase& o) const { return !(*this == o); }

    uint32_t entity;
    uint32_t objectIndex;
};

// The script base class of a script class: its nested qoScriptBase type when it declares one,
// else kvQuorinObject. The class machinery may also specialise this trait.
template <class T, class = void>
struct qoScriptBaseOf {
    using type = kvQuorinObject;
};
template <class T>
struct qoScriptBaseOf<T, std::void_t<typename T::qoScriptBase>> {
    using type = typename T::qoScriptBase;
};

template <class T>
class qoObject;

// The root of the chain: a reference to "any script object".
template <>
class qoObject<kvQuorinObject> : public qoObjectBase {
public:
    using qoObjectBase::qoObjectBase;
};

// The forwarding operations of the references to T: virtual operations of the reference that
// call the same operation of the resolved target, for the operations of T that scripts call
// through a reference. Empty by default; a class that has them specialises this template next to
// its declaration (the reference's table then holds them after its bases' operations).
template <class T, class Base>
class qoObjectForwards : public Base {
public:
    using Base::Base;
};

template <class T>
class qoObject : public qoObjectForwards<T, qoObject<typename qoScriptBaseOf<T>::type>> {
    using Base = qoObjectForwards<T, qoObject<typename qoScriptBaseOf<T>::type>>;

public:
    using Base::Base;
    using qoObjectBase::Bind;  // by class name; the bases' own-class Bind is hidden by the one below

    // Binds to the object of class T itself, by the class's declared name.
    void Bind(const qoEntity& e, int create = 0)
        requires requires { T::qoName; }
    {
        qoObjectBase::Bind(e, T::qoName, create);
    }

    // The target as a T, or null. The host hands out the object this reference was bound to,
    // which is of class T.
    T* Get() const { return static_cast<T*>(this->Resolve()); }

    // Calls fn (a member function of T or of one of its bases, or anything invocable with a T&)
    // on the target. A missing target reports "Assertion failed: 0" and yields the zero value
    // of the result.
    template <class Fn, class... Args>
    auto Call(Fn&& fn, Args&&... args) const {
        using Result = std::invoke_result_t<Fn, T&, Args...>;
        T* target = Get();
        if (!target) {
            qoAssertFailed("0");
            if constexpr (std::is_void_v<Result>) {
                return;
            } else {
                return std::remove_cvref_t<Result>();
            }
        }
        if constexpr (std::is_reference_v<Result> && !std::is_void_v<Result>) {
            // A member read through a reference yields a copy, not an alias into the target.
            return std::remove_cvref_t<Result>(std::invoke(std::forward<Fn>(fn), *target, std::forward<Args>(args)...));
        } else {
            return std::invoke(std::forward<Fn>(fn), *target, std::forward<Args>(args)...);
        }
    }

    // Copies a data member of the target (of T or one of its bases); zero value when missing.
    template <class M, class C>
    M Read(M C::*member) const {
        static_assert(std::is_base_of_v<C, T>, "member of another class");
        return Call([member](T& target) -> M { return target.*member; });
    }
};

static_assert(sizeof(qoObjectBase) == sizeof(qoObjectRefLayout));
static_assert(offsetof(qoObjectBase, entity) == offsetof(qoObjectRefLayout, entity));
static_assert(offsetof(qoObjectBase, objectIndex) == offsetof(qoObjectRefLayout, objectIndex));
