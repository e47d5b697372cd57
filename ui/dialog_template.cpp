#include "ui/dialog_template.h"

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>

#include "ui/utf8_text.h"

wxPoint DluToPixels(const wxWindow& dialog, int x, int y) {
    return dialog.ConvertDialogToPixels(wxPoint(x, y));
}

wxSize DluToPixels(const wxWindow& dialog, wxSize dlu) {
    return dialog.ConvertDialogToPixels(dlu);
}

namespace {

wxArrayString Entries(std::span<const char* const> entries) {
    wxArrayString result;
    for (const char* entry : entries)
        result.Add(U8(entry));
    return result;
}

void CreateControl(wxDialog& dialog, const ControlTemplate& t) {
    const wxPoint pos = DluToPixels(dialog, t.x, t.y);
    // A size of 0 × 0 lets the control take the size its text needs.
    const wxSize size = t.cx > 0 ? DluToPixels(dialog, wxSize(t.cx, t.cy)) : wxDefaultSize;
    const wxString text = U8(t.text);
    wxWindow* control = nullptr;
    switch (t.kind) {
        case ControlKind::kLabel: {
            // One-line labels take the width their text needs in the platform's font; a label
            // of several lines keeps its box and wraps in it.
            const bool multiLine = t.cy > 12;
            auto* label =
                new wxStaticText(&dialog, t.id, text, pos, multiLine ? size : wxDefaultSize);
            if (multiLine)
                label->Wrap(size.x);
            control = label;
            break;
        }
        case ControlKind::kGroupBox:
            control = new wxStaticBox(&dialog, t.id, text, pos, size);
            break;
        case ControlKind::kEdit:
            control = new wxTextCtrl(&dialog, t.id, wxString(), pos, size);
            break;
        case ControlKind::kCheckBox:
            // The template's box is just the square; the platform's check box needs its own size.
            control = new wxCheckBox(&dialog, t.id, text, pos, wxDefaultSize);
            break;
        case ControlKind::kPushButton:
        case ControlKind::kDefaultButton: {
            auto* button = new wxButton(&dialog, t.id, text, pos, size);
            if (t.kind == ControlKind::kDefaultButton)
                button->SetDefault();
            control = button;
            break;
        }
        case ControlKind::kSimpleCombo:
        case ControlKind::kDropDownList: {
            // A template's combo height includes the opened list. Where the list drops down, the
            // control takes the height of its edit part instead.
            const bool simple = t.kind == ControlKind::kSimpleCombo;
#ifdef __WXMSW__
            const wxSize comboSize = simple ? size : wxSize(size.x, wxDefaultCoord);
            const long style = simple ? wxCB_SIMPLE : wxCB_READONLY;
#else
            const wxSize comboSize(size.x, wxDefaultCoord);
            const long style = simple ? wxCB_DROPDOWN : wxCB_READONLY;
#endif
            control = new wxComboBox(&dialog, t.id, wxString(), pos, comboSize, Entries(t.entries),
                                     style);
            break;
        }
    }
    if (t.disabled)
        control->Disable();
}

}  // namespace

bool CreateFromTemplate(wxDialog& dialog, wxWindow* parent, const DialogTemplate& dialogTemplate) {
    if (!dialog.Create(parent, wxID_ANY, U8(dialogTemplate.caption), wxDefaultPosition,
                       wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)) {
        return false;
    }
    dialog.SetClientSize(DluToPixels(dialog, wxSize(dialogTemplate.cx, dialogTemplate.cy)));
    for (const ControlTemplate& t : dialogTemplate.controls)
        CreateControl(dialog, t);
    dialog.CentreOnParent();
    return true;
}
