// A dialog whose data exchange runs field by field in a fixed order.
//
// wx validates every control first and transfers afterwards; here each field is validated and
// transferred before the next one is looked at, and reading the controls stops at the first field
// that is refused. The fields before it have then taken their new values and the fields after it
// keep their old ones, which is what the operator sees the next time the dialog is filled.
#pragma once

#include <vector>

#include <wx/dialog.h>
#include <wx/validate.h>

class CExchangeDialog : public wxDialog {
  public:
    // Validation happens inside TransferDataFromWindow, field by field.
    bool Validate() override { return true; }
    bool TransferDataToWindow() override;
    bool TransferDataFromWindow() override;

  protected:
    // Binds the control with this id to a member through the validator; call in exchange order.
    void Exchange(int id, const wxValidator& validator);

  private:
    std::vector<wxWindow*> m_exchange;
};
