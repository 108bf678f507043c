#pragma once

// What the nested enumeration accepts of a pair value, for those who judge its results later.

namespace tarven::engine::nested {

// A cumulative value that drops by this much or more below its predecessor was integrated badly
// and is retried; a smaller drop is accepted, so a split probability may fall below zero by less.
inline constexpr double kFallTolerance = 4e-5;

}  // namespace tarven::engine::nested
