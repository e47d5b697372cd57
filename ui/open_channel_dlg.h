// "CAN öffnen": device entry, controller mode and frame format for opening the channel.
#pragma once

#include <string>

#include <wx/combobox.h>
#include <wx/event.h>

#include "ui/exchange_dialog.h"
#include "ui/simple_combo_box.h"

inline constexpr int kIdOpenDevice = 1011;
inline constexpr int kIdOpenMode = 1012;
inline constexpr int kIdOpenFormat = 1013;

class COpenChannelDlg : public CExchangeDialog {
  public:
    explicit COpenChannelDlg(wxWindow* parent);

    int m_nDevice = 0;  // index of the device entry; -1 when none is selected
    wxComboBox* m_cbFormat = nullptr;
    CSimpleComboBox* m_cbDevice = nullptr;
    int m_nFormat = -1;  // selection of the format list
    int m_nMode = -1;    // selection of the mode list

    void OnInitDialog(wxInitDialogEvent& event);
    void OnSelchangeMode(wxCommandEvent& event);
    void OnOK(wxCommandEvent& event);
};
