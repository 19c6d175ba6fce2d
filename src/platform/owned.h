#pragma once

#include <utility>

// Owns one system resource and gives it back exactly once, when the owner
// goes away or is given another. Moves, never copies. `Traits` says what an
// empty value is and how the resource is given back.
template <typename Traits>
class Owned {
public:
    using Value = typename Traits::Value;

    Owned() = default;
    explicit Owned(Value value) : value_(value) {}
    ~Owned() { Reset(); }
    Owned(Owned&& other) noexcept : value_(other.Release()) {}
    Owned& operator=(Owned&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    Owned(const Owned&) = delete;
    Owned& operator=(const Owned&) = delete;

    Value Get() const { return value_; }
    explicit operator bool() const { return Traits::IsHeld(value_); }
    // Gives back what is held, then holds `value`.
    void Reset(Value value = Traits::kEmpty) {
        if (Traits::IsHeld(value_)) Traits::GiveBack(value_);
        value_ = value;
    }
    // For a function that hands over a new resource through a pointer.
    Value* Receive() {
        Reset();
        return &value_;
    }
    // Stops owning and hands the value to the caller.
    Value Release() { return std::exchange(value_, Traits::kEmpty); }

private:
    Value value_ = Traits::kEmpty;
};
