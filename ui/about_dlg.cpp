#include "ui/about_dlg.h"

#include <algorithm>

#include <wx/button.h>
#include <wx/statbmp.h>
#include <wx/stattext.h>

#include "ui/app_icon.h"
#include "ui/utf8_text.h"

CAboutDlg::CAboutDlg(wxWindow* parent)
    : wxDialog(parent, wxID_ANY, U8("Info über vesk"), wxDefaultPosition, wxDefaultSize,
               wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX) {
    // Placed in dialog units, so the box keeps its proportions with any font.
    auto dlu = [this](int x, int y) { return ConvertDialogToPixels(wxPoint(x, y)); };
    auto dluSize = [this](int cx, int cy) { return ConvertDialogToPixels(wxSize(cx, cy)); };

    const wxSize iconSize = dluSize(20, 20);
    const int side = std::min(iconSize.x, iconSize.y);
    new wxStaticBitmap(this, wxID_ANY, AppIconBitmap(wxSize(side, side)), dlu(11, 17),
                       wxSize(side, side));
    new wxStaticText(this, wxID_STATIC, U8("vesk Version 1.3"), dlu(40, 10), dluSize(119, 8));
    auto* ok = new wxButton(this, wxID_OK, U8("OK"), dlu(178, 7), dluSize(50, 14));
    ok->SetDefault();
    ok->SetFocus();
    SetClientSize(dluSize(235, 55));
    CentreOnParent();
}
