// "N=socketcan:IFACE": the SocketCAN interface IFACE (can0, vcan0, ...), its name as written.
#pragma once

#include "devices/common/adapter_kind.h"

namespace socketcan {

extern const devices::AdapterKind kAdapterKind;

}  // namespace socketcan
