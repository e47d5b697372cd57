// "N=driver": adapter N is the system's device of its path, the adapter driver's (on Windows,
// "\\.\Kvaro" and the rest through CreateFileA and DeviceIoControl). Nothing in the program then
// claims the path.
#pragma once

#include "devices/common/adapter_kind.h"

namespace driver {

extern const devices::AdapterKind kAdapterKind;

}  // namespace driver
