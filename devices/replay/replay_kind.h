// "N=replay:FILE" and "N=replay:FILE:loop": a simulated bus that plays the trace FILE (.log or
// .asc) once, or over and over. FILE is everything up to a trailing ":loop", so it may contain
// colons; a relative FILE is made absolute when the mapping is applied, as the file is read at
// every open and the current folder must not change its meaning meanwhile.
#pragma once

#include "devices/common/adapter_kind.h"

namespace replay {

extern const devices::AdapterKind kAdapterKind;

}  // namespace replay
