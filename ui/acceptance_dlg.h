// The two filter dialogs: "Akzeptanzfilter (Hardwareregister)" for the controller's acceptance
// registers and "Akzeptanzfilter" for the driver's software filter. Both edit code and mask as
// hexadecimal text; the command that runs them reads the texts back.
#pragma once

#include <wx/string.h>

#include "ui/exchange_dialog.h"

struct DialogTemplate;

inline constexpr int kIdFilterMask = 1014;
inline constexpr int kIdFilterCode = 1015;

class CFilterDlg : public CExchangeDialog {
  public:
    wxString m_strCode;
    wxString m_strMask;

  protected:
    CFilterDlg(wxWindow* parent, const DialogTemplate& dialogTemplate);
};

class CAcceptanceDlg : public CFilterDlg {
  public:
    explicit CAcceptanceDlg(wxWindow* parent);
};

class CSoftAcceptanceDlg : public CFilterDlg {
  public:
    explicit CSoftAcceptanceDlg(wxWindow* parent);
};
