// The simulated adapters behind the four device paths, as the command line chooses them.
#pragma once

#include <string>

#include "monitor/shell_command.h"

// Registers the default adapters, then applies --scenario and each --device mapping in order.
// Returns an empty text, or what was wrong (German) — then nothing of the command line applies.
std::string ApplySimulationOptions(const ShellCommand& cmd);
