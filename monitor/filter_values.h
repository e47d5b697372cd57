// The hardware and the software acceptance filter as the operator set them: loaded from the
// settings when the view is created, changed only by the two filter commands, applied at every
// open, shown by the status bar.
#pragma once

#include <cstdint>

struct FilterValues {
    std::uint32_t acceptanceCode = 0xFFFFFFFFu;
    std::uint32_t acceptanceMask = 0xFFFFFFFFu;
    std::uint32_t softAcceptanceCode = 0;
    std::uint32_t softAcceptanceMask = 0;
};
