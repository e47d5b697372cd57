// "Baudrate": the bus bit rate in bits per second.
#pragma once

#include <cstdint>

#include "ui/exchange_dialog.h"

inline constexpr int kIdBaudrate = 1000;
inline constexpr std::uint32_t kMinBaudrate = 10000;
inline constexpr std::uint32_t kMaxBaudrate = 1000000;

class CBaudrateDlg : public CExchangeDialog {
  public:
    explicit CBaudrateDlg(wxWindow* parent);

    std::uint32_t m_dwBaudrate = 0;
};
