// The kinds of adapter the program knows, by scheme: a constant table, one row a kind. A new kind
// is a folder of its own that defines its devices::AdapterKind, and one row in adapter_kinds.cpp.
#pragma once

#include <span>
#include <string_view>

#include "devices/common/adapter_kind.h"

std::span<const devices::AdapterKind* const> AdapterKinds();

// The kind with this scheme (without regard to case), or nullptr.
const devices::AdapterKind* FindAdapterKind(std::string_view scheme);
