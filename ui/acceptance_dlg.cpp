#include "ui/acceptance_dlg.h"

#include <wx/valgen.h>

#include "ui/dialog_template.h"

namespace {

const ControlTemplate kHardwareControls[] = {
    {ControlKind::kLabel, wxID_STATIC, "Mask", 7, 9, 0, 0},
    {ControlKind::kEdit, kIdFilterMask, "", 33, 7, 51, 14},
    {ControlKind::kLabel, wxID_STATIC, "Code", 7, 31, 0, 0},
    {ControlKind::kEdit, kIdFilterCode, "", 33, 28, 51, 14},
    {ControlKind::kLabel, wxID_STATIC, "Basic CAN:", 7, 51, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "Es werden 11 Bit verwendet", 47, 50, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "PeliCAN:", 7, 63, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "Es werden 29 Bit verwendet", 47, 63, 0, 0},
    {ControlKind::kLabel, wxID_STATIC, "Die Werte werden direkt in den SJA1000 geschrieben", 7, 78,
     149, 25},
    {ControlKind::kDefaultButton, wxID_OK, "OK", 106, 7, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbrechen", 106, 24, 50, 14},
};

const DialogTemplate kHardwareTemplate = {"Akzeptanzfilter (Hardwareregister)", 163, 110,
                                          kHardwareControls};

const ControlTemplate kSoftwareControls[] = {
    {ControlKind::kLabel, wxID_STATIC, "Mask", 7, 10, 0, 0},
    {ControlKind::kEdit, kIdFilterMask, "", 39, 7, 56, 14},
    {ControlKind::kLabel, wxID_STATIC, "Code", 7, 31, 0, 0},
    {ControlKind::kEdit, kIdFilterCode, "", 39, 26, 56, 14},
    {ControlKind::kDefaultButton, wxID_OK, "OK", 115, 7, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbrechen", 115, 26, 50, 14},
};

const DialogTemplate kSoftwareTemplate = {"Akzeptanzfilter", 172, 47, kSoftwareControls};

}  // namespace

CFilterDlg::CFilterDlg(wxWindow* parent, const DialogTemplate& dialogTemplate) {
    CreateFromTemplate(*this, parent, dialogTemplate);
    Exchange(kIdFilterCode, wxGenericValidator(&m_strCode));
    Exchange(kIdFilterMask, wxGenericValidator(&m_strMask));
}

CAcceptanceDlg::CAcceptanceDlg(wxWindow* parent) : CFilterDlg(parent, kHardwareTemplate) {}

CSoftAcceptanceDlg::CSoftAcceptanceDlg(wxWindow* parent) : CFilterDlg(parent, kSoftwareTemplate) {}
