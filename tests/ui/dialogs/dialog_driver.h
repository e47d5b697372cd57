// Plays the operator in dialogs: fills controls, chooses list entries, presses buttons, and
// answers modal dialogs that wxTestingModalHook intercepts before they are shown.
#pragma once

#include <functional>
#include <string>

#include <wx/button.h>
#include <wx/checkbox.h>
#include <wx/combobox.h>
#include <wx/dialog.h>
#include <wx/testing.h>
#include <wx/textctrl.h>

#include "ui/simple_combo_box.h"

namespace dialogtest {

template <class T>
T* Find(wxWindow* dialog, int id) {
    T* control = dynamic_cast<T*>(dialog->FindWindow(id));
    if (!control)
        ADD_FAILURE() << "no control " << id << " of the expected kind";
    return control;
}

inline void SetText(wxWindow* dialog, int id, const char* utf8) {
    if (auto* edit = Find<wxTextCtrl>(dialog, id))
        edit->ChangeValue(wxString::FromUTF8(utf8));
}

inline std::string Text(wxWindow* dialog, int id) {
    auto* edit = Find<wxTextCtrl>(dialog, id);
    return edit ? edit->GetValue().utf8_string() : std::string("<none>");
}

inline void SetCheck(wxWindow* dialog, int id, bool on) {
    if (auto* box = Find<wxCheckBox>(dialog, id))
        box->SetValue(on);
}

// Chooses a list entry the way a click does: the selection changes, then the dialog hears of it.
inline void Choose(wxWindow* dialog, int id, int index) {
    if (auto* simple = dynamic_cast<CSimpleComboBox*>(dialog->FindWindow(id))) {
        // A click into the list that stays open.
        simple->GetList()->SetSelection(index);
        wxCommandEvent event(wxEVT_LISTBOX, simple->GetList()->GetId());
        event.SetEventObject(simple->GetList());
        event.SetInt(index);
        simple->GetList()->ProcessWindowEvent(event);
        return;
    }
    auto* combo = Find<wxComboBox>(dialog, id);
    if (!combo)
        return;
    combo->SetSelection(index);
    wxCommandEvent event(wxEVT_COMBOBOX, id);
    event.SetEventObject(combo);
    event.SetInt(index);
    combo->ProcessWindowEvent(event);
}

inline void Press(wxWindow* dialog, int id) {
    auto* button = Find<wxButton>(dialog, id);
    if (!button)
        return;
    wxCommandEvent event(wxEVT_BUTTON, id);
    event.SetEventObject(button);
    button->ProcessWindowEvent(event);
}

// Presses OK; true when that closed the dialog (it did not refuse a field).
inline bool PressOk(wxDialog* dialog) {
    Press(dialog, wxID_OK);
    return !dialog->IsShown();
}

// Answers the modal dialog of type T: shows it (which initialises it, as ShowModal would), lets
// `act` play the operator, and returns act's result as ShowModal's result.
template <class T>
class Answer : public wxExpectModalBase<T, Answer<T>> {
  public:
    explicit Answer(std::function<int(T*)> act) : act_(std::move(act)) {}

  protected:
    int OnInvoked(T* dialog) const override {
        dialog->Show();
        const int result = act_(dialog);
        dialog->Hide();
        return result;
    }

  private:
    std::function<int(T*)> act_;
};

// Presses OK and answers wxID_OK, or fails the test when the dialog refused to close.
template <class T>
Answer<T> Confirm(std::function<void(T*)> fill = {}) {
    return Answer<T>([fill](T* dialog) {
        if (fill)
            fill(dialog);
        EXPECT_TRUE(PressOk(dialog)) << "the dialog refused OK";
        return static_cast<int>(wxID_OK);
    });
}

// Fills the dialog, then presses "Abbrechen".
template <class T>
Answer<T> Dismiss(std::function<void(T*)> fill = {}) {
    return Answer<T>([fill](T* dialog) {
        if (fill)
            fill(dialog);
        Press(dialog, wxID_CANCEL);
        return static_cast<int>(wxID_CANCEL);
    });
}

}  // namespace dialogtest
