#pragma once

// Split probabilities are differences of neighbouring cumulative values, each computed to some
// accuracy; a difference a little below zero is a zero that the errors hid. These settle such
// differences, and tell when one falls further than the errors can explain.

#include <functional>
#include <vector>

#include "tarven/result.h"

namespace tarven::core {

// Sets to zero every split probability below zero by no more than `allowed(r)` (r the row), and
// builds the cumulative column again. Returns the first row that falls further (left as it is),
// or rows.size() when none does.
std::size_t settle_negative_splits(std::vector<DistributionRow>& rows,
                                   const std::function<double(std::size_t)>& allowed);

// The single-integral engine's splits: row r may fall by the error estimates of the two pairs it
// is the difference of. A row that falls further marks the later of its pairs unconverged.
void settle_single_splits(Result& result);

// The nested engine's splits: a row may fall by what the enumeration accepts of a pair. Sums and
// percentiles are computed again. False when a row falls further.
bool settle_nested_splits(Result& result);

}  // namespace tarven::core
