// "N=sim" and "N=sim:SCENARIO": a simulated adapter, with the common scenario or one of its own.
#pragma once

#include "devices/common/adapter_kind.h"

namespace sim {

extern const devices::AdapterKind kAdapterKind;

}  // namespace sim
