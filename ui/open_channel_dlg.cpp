#include "ui/open_channel_dlg.h"

#include <array>

#include "ui/dialog_template.h"
#include "ui/field_validators.h"

namespace {

constexpr std::array<const char*, 4> kDevices = {"\\\\KVARO", "\\\\KVARO1 (nur NT)",
                                                 "\\\\KVARO2 (nur NT)", "\\\\KVARO3 (nur NT)"};
constexpr std::array<const char*, 2> kModes = {"Basic CAN (2.0A)", "PeliCan (2.0B)"};
constexpr std::array<const char*, 2> kFormats = {"Standard (11 Bit)", "Extended (29 Bit)"};

const ControlTemplate kControls[] = {
    {ControlKind::kSimpleCombo, kIdOpenDevice, "", 7, 7, 112, 57, kDevices},
    {ControlKind::kDropDownList, kIdOpenMode, "", 7, 70, 112, 38, kModes},
    // The format matters only in PeliCAN mode; choosing that mode enables the list.
    {ControlKind::kDropDownList, kIdOpenFormat, "", 7, 87, 112, 40, kFormats, true},
    {ControlKind::kDefaultButton, wxID_OK, "OK", 129, 7, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbrechen", 129, 24, 50, 14},
};

const DialogTemplate kTemplate = {"CAN öffnen", 186, 106, kControls};

}  // namespace

COpenChannelDlg::COpenChannelDlg(wxWindow* parent) {
    CreateFromTemplate(*this, parent, kTemplate);
    m_cbFormat = dynamic_cast<wxComboBox*>(FindWindow(kIdOpenFormat));
    m_cbDevice = dynamic_cast<CSimpleComboBox*>(FindWindow(kIdOpenDevice));
    Exchange(kIdOpenFormat, CSelectionValidator(&m_nFormat));
    Exchange(kIdOpenMode, CSelectionValidator(&m_nMode));
    Bind(wxEVT_INIT_DIALOG, &COpenChannelDlg::OnInitDialog, this);
    Bind(wxEVT_COMBOBOX, &COpenChannelDlg::OnSelchangeMode, this, kIdOpenMode);
    Bind(wxEVT_BUTTON, &COpenChannelDlg::OnOK, this, wxID_OK);
}

void COpenChannelDlg::OnInitDialog(wxInitDialogEvent&) {
    TransferDataToWindow();
    const bool inRange =
        m_nDevice >= 0 && static_cast<unsigned>(m_nDevice) < m_cbDevice->GetCount();
    m_cbDevice->SetSelection(inRange ? m_nDevice : wxNOT_FOUND);
}

void COpenChannelDlg::OnSelchangeMode(wxCommandEvent&) {
    TransferDataFromWindow();
    m_cbFormat->Enable(m_nMode == 1);
}

void COpenChannelDlg::OnOK(wxCommandEvent&) {
    TransferDataFromWindow();
    m_nDevice = m_cbDevice->GetSelection();
    AcceptAndClose();
}
