#include "ui/baudrate_dlg.h"

#include "ui/dialog_template.h"
#include "ui/field_validators.h"

namespace {

const ControlTemplate kControls[] = {
    {ControlKind::kEdit, kIdBaudrate, "", 13, 16, 71, 14},
    {ControlKind::kDefaultButton, wxID_OK, "OK", 129, 7, 50, 14},
    {ControlKind::kPushButton, wxID_CANCEL, "Abbrechen", 129, 24, 50, 14},
};

const DialogTemplate kTemplate = {"Baudrate", 186, 46, kControls};

}  // namespace

CBaudrateDlg::CBaudrateDlg(wxWindow* parent) {
    CreateFromTemplate(*this, parent, kTemplate);
    Exchange(kIdBaudrate, CUnsignedRangeValidator(&m_dwBaudrate, kMinBaudrate, kMaxBaudrate));
}
