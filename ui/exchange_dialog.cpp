#include "ui/exchange_dialog.h"

bool CExchangeDialog::TransferDataToWindow() {
    for (wxWindow* control : m_exchange) {
        if (!control->GetValidator()->TransferToWindow())
            return false;
    }
    return true;
}

bool CExchangeDialog::TransferDataFromWindow() {
    for (wxWindow* control : m_exchange) {
        wxValidator* validator = control->GetValidator();
        if (!validator->Validate(this) || !validator->TransferFromWindow())
            return false;
    }
    return true;
}

void CExchangeDialog::Exchange(int id, const wxValidator& validator) {
    wxWindow* control = FindWindow(id);
    wxCHECK_RET(control, "no control with this id in the dialog");
    control->SetValidator(validator);
    m_exchange.push_back(control);
}
