#pragma once

#include <optional>

namespace veq {

// Enumerations with raw values: each specialises EnumTraits with
//   using Raw = ...;                       // the raw value's type
//   static constexpr std::array allCases;  // every case, in declaration order
//   static constexpr Raw raw(E);           // the raw value of a case
// and then gets rawValue(e), allCases<E>() and fromRaw<E>(raw) from here.
template <class E>
struct EnumTraits;

template <class E>
constexpr auto rawValue(E e) -> typename EnumTraits<E>::Raw {
    return EnumTraits<E>::raw(e);
}

template <class E>
constexpr const auto& allCases() {
    return EnumTraits<E>::allCases;
}

template <class E>
constexpr std::optional<E> fromRaw(const typename EnumTraits<E>::Raw& raw) {
    for (E e : EnumTraits<E>::allCases) {
        if (EnumTraits<E>::raw(e) == raw) return e;
    }
    return std::nullopt;
}

} // namespace veq
