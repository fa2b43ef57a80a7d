#pragma once

#include <concepts>
#include <utility>

namespace veq {

// Stores `value` in an observable property and emits its change signal, but only when the value
// really changes. A type without equality cannot tell, so every assignment of it notifies.
template <class Owner, class T, class V>
void assignObservable(Owner* owner, T& field, V&& value, void (Owner::*changed)()) {
    if constexpr (std::equality_comparable<T>) {
        if (field == value) return;
    }
    field = std::forward<V>(value);
    (owner->*changed)();
}

} // namespace veq
