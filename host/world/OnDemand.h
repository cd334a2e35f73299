// OnDemand<T>: state that most of its holders never need, made on first use.
#pragma once

#include <memory>

namespace qohost {

// State most holders never need (plain targets hold none): made on first use. Reading it
// through a const reference before that gives the defaults without making it.
template <class T>
class OnDemand {
public:
    OnDemand() = default;
    OnDemand(const OnDemand& other) : state_(other.state_ ? std::make_unique<T>(*other.state_) : nullptr) {}
    OnDemand& operator=(const OnDemand& other) {
        if (this != &other) state_ = other.state_ ? std::make_unique<T>(*other.state_) : nullptr;
        return *this;
    }
    OnDemand(OnDemand&&) noexcept = default;
    OnDemand& operator=(OnDemand&&) noexcept = default;

    T& operator*() {
        if (!state_) state_ = std::make_unique<T>();
        return *state_;
    }
    const T& operator*() const {
        static const T defaults{};
        return state_ ? *state_ : defaults;
    }
    T* operator->() { return &**this; }
    const T* operator->() const { return &**this; }
    bool Made() const { return state_ != nullptr; }
    void Reset() { state_.reset(); }

private:
    std::unique_ptr<T> state_;
};

}  // namespace qohost
