// A field's definition keeps its member in the one slot of the member's type (`time`, `text`,
// `integer`, `real`, and for a signal's power curve `curve`), and its kind says which slot that
// is. The work-unit table and the signal tables both take kind and slot from the type here.
#pragma once

#include <cstdint>
#include <string>
#include <type_traits>

#include "record/ATime.h"

template <class Def, class Owner, class T>
constexpr void placeMember(Def& def, T Owner::*member) {
    using Kind = decltype(def.kind);
    if constexpr (std::is_same_v<T, ATime>) {
        def.kind = Kind::Time;
        def.time = member;
    } else if constexpr (std::is_same_v<T, std::string>) {
        def.kind = Kind::Text;
        def.text = member;
    } else if constexpr (std::is_same_v<T, std::int32_t>) {
        def.kind = Kind::Int;
        def.integer = member;
    } else if constexpr (std::is_same_v<T, double>) {
        def.kind = Kind::Real;
        def.real = member;
    } else {
        // Only a definition with a curve slot takes any other type.
        def.kind = Kind::Curve;
        def.curve = member;
    }
}
