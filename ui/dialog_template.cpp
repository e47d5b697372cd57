#include "ui/dialog_template.h"

#include <functional>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/statbox.h>
#include <wx/stattext.h>
#include <wx/textctrl.h>
#include <wx/utils.h>
#include <wx/weakref.h>

#include "ui/simple_combo_box.h"
#include "ui/utf8_text.h"

wxPoint DluToPixels(const wxWindow& dialog, int x, int y) {
    return dialog.ConvertDialogToPixels(wxPoint(x, y));
}

wxSize DluToPixels(const wxWindow& dialog, wxSize dlu) {
    return dialog.ConvertDialogToPixels(dlu);
}

void PlaceOnceOver(wxWindow& dialog, const wxWindow& mainWindow, bool& placed) {
    if (placed)
        return;
    const wxRect main = mainWindow.GetScreenRect();
    const wxSize size = dialog.GetSize();
    dialog.SetPosition(
        wxPoint(main.x + (main.width - size.x) / 2, main.y + (main.height - size.y) / 2));
    placed = true;
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
            // The list stays open below the field, as tall as the template says.
            control = new CSimpleComboBox(&dialog, t.id, pos, size, Entries(t.entries));
            break;
        case ControlKind::kDropDownList:
            // A template's combo height includes the opened list; where the list drops down,
            // the control takes the height of its field instead.
            control = new wxComboBox(&dialog, t.id, wxString(), pos, wxSize(size.x, wxDefaultCoord),
                                     Entries(t.entries), wxCB_READONLY);
            break;
    }
    if (t.disabled)
        control->Disable();
}

// Every edit field, also those inside composite controls.
void ForEachEdit(wxWindow* window, const std::function<void(wxTextCtrl*)>& fn) {
    for (wxWindow* child : window->GetChildren()) {
        if (auto* edit = dynamic_cast<wxTextCtrl*>(child))
            fn(edit);
        ForEachEdit(child, fn);
    }
}

void SelectAllOnFocus(wxFocusEvent& event) {
    event.Skip();
    // A click places the cursor where it lands; only the keyboard and the opening of the
    // dialog take the field whole.
    if (wxGetMouseState().LeftIsDown())
        return;
    if (auto* edit = dynamic_cast<wxTextCtrl*>(event.GetEventObject())) {
        wxWeakRef<wxTextCtrl> field(edit);
        // After the toolkit's own handling of the focus, which would place the cursor.
        edit->CallAfter([field] {
            if (field)
                field->SelectAll();
        });
    }
}

bool Contains(const wxWindow* outer, const wxWindow* inner) {
    for (const wxWindow* w = inner; w; w = w->GetParent()) {
        if (w == outer)
            return true;
    }
    return false;
}

// The first control in tab order that can take the focus, inside composite controls too.
wxWindow* FirstFocusable(wxWindow* window) {
    for (wxWindow* child : window->GetChildren()) {
        if (!child->IsShown() || !child->IsEnabled() || child->IsTopLevel())
            continue;
        if (child->GetChildren().empty()) {
            if (child->AcceptsFocus())
                return child;
        } else if (wxWindow* inner = FirstFocusable(child)) {
            return inner;
        }
    }
    return nullptr;
}

// What a desktop dialog does when it opens: the focus goes to its first control, unless a
// control of the dialog has it already, and a field with the focus is taken whole. A button with
// the focus is the toolkit's choice (it takes the first control by place, OK in the baud-rate
// dialog), not the dialog's, and would swallow what the operator types.
void FocusOnOpen(wxDialog* dialog) {
    wxWindow* focus = wxWindow::FindFocus();
    if (!Contains(dialog, focus) || focus == dialog || dynamic_cast<wxButton*>(focus)) {
        focus = FirstFocusable(dialog);
        if (focus)
            focus->SetFocus();
    }
    if (auto* edit = dynamic_cast<wxTextCtrl*>(focus))
        edit->SelectAll();
}

void OnShowDialog(wxShowEvent& event) {
    event.Skip();
    auto* dialog = dynamic_cast<wxDialog*>(event.GetEventObject());
    if (!event.IsShown() || !dialog)
        return;
    // Once the dialog has its values (they come with the show) and the toolkit has placed its
    // own focus.
    wxWeakRef<wxDialog> opened(dialog);
    dialog->CallAfter([opened] {
        if (opened && opened->IsShown())
            FocusOnOpen(opened.get());
    });
}

void PressDefaultOnEnter(wxKeyEvent& event) {
    const int key = event.GetKeyCode();
    auto* dialog = dynamic_cast<wxDialog*>(event.GetEventObject());
    // The key comes from the window with the focus; the dialog itself passes it on only when
    // nothing inside it has the focus.
    wxWindow* from = dynamic_cast<wxWindow*>(event.GetEventObject());
    if (from && from == dialog)
        from = wxWindow::FindFocus();
    for (wxWindow* w = from; w && !dialog; w = w->GetParent())
        dialog = dynamic_cast<wxDialog*>(w);
    const bool enter = (key == WXK_RETURN || key == WXK_NUMPAD_ENTER) && !event.HasAnyModifiers();
    // A push button with the focus takes Enter itself.
    if (!enter || !dialog || dynamic_cast<wxButton*>(from)) {
        event.Skip();
        return;
    }
    wxWindow* button = dialog->GetDefaultItem();
    if (!button || !button->IsEnabled()) {
        event.Skip();
        return;
    }
    wxCommandEvent press(wxEVT_BUTTON, button->GetId());
    press.SetEventObject(button);
    button->ProcessWindowEvent(press);
}

}  // namespace

bool CreateFromTemplate(wxDialog& dialog, wxWindow* parent, const DialogTemplate& dialogTemplate,
                        bool centre) {
    if (!dialog.Create(parent, wxID_ANY, U8(dialogTemplate.caption), wxDefaultPosition,
                       wxDefaultSize, wxCAPTION | wxSYSTEM_MENU | wxCLOSE_BOX)) {
        return false;
    }
    dialog.SetClientSize(DluToPixels(dialog, wxSize(dialogTemplate.cx, dialogTemplate.cy)));
    for (const ControlTemplate& t : dialogTemplate.controls)
        CreateControl(dialog, t);
    // As desktop dialogs do: a field reached by the keyboard is taken whole, so that typing
    // replaces it, and Enter in any field or list presses the default button.
    ForEachEdit(&dialog, [](wxTextCtrl* edit) { edit->Bind(wxEVT_SET_FOCUS, &SelectAllOnFocus); });
    dialog.Bind(wxEVT_CHAR_HOOK, &PressDefaultOnEnter);
    dialog.Bind(wxEVT_SHOW, &OnShowDialog);
    if (centre)
        dialog.CentreOnParent();
    return true;
}
