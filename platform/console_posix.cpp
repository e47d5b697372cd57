#include "platform/console.h"

namespace platform {

void UseCallersConsole() {}

}  // namespace platform
