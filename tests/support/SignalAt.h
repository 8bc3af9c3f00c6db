// Signals for the tests, written as two designated lists: where the signal was seen and what
// else it holds, since a list of the signal alone cannot name the fields of its place.
#pragma once

#include "record/Signals.h"

template <class Signal>
Signal at(const SignalPlace& place, Signal signal) {
    static_cast<SignalPlace&>(signal) = place;
    return signal;
}
