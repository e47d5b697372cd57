// Dialogs built from a table of controls placed in dialog units, so a dialog keeps the proportions
// of its design whatever font the platform gives it. Dialog units are converted with the dialog's
// own font (a quarter of the average character width, an eighth of the character height).
#pragma once

#include <span>

#include <wx/dialog.h>
#include <wx/gdicmn.h>

enum class ControlKind {
    kLabel,
    kGroupBox,
    kEdit,  // single line, border, scrolls horizontally
    kCheckBox,
    kPushButton,
    kDefaultButton,  // the button that Enter presses
    kSimpleCombo,    // edit field over a list that stays open (CSimpleComboBox)
    kDropDownList,   // a list to choose from, no edit field
};

struct ControlTemplate {
    ControlKind kind;
    int id;                                     // wxID_STATIC for labels and group boxes
    const char* text;                           // UTF-8
    int x, y, cx, cy;                           // dialog units
    std::span<const char* const> entries = {};  // list entries of a combo box, in this order
    bool disabled = false;
};

struct DialogTemplate {
    const char* caption;                        // UTF-8
    int cx, cy;                                 // client size in dialog units
    std::span<const ControlTemplate> controls;  // in tab order
};

wxPoint DluToPixels(const wxWindow& dialog, int x, int y);
wxSize DluToPixels(const wxWindow& dialog, wxSize dlu);

// A modeless dialog opens centred on the main window the first time (`placed` false, then set);
// after that it stays where the operator put it.
void PlaceOnceOver(wxWindow& dialog, const wxWindow& mainWindow, bool& placed);

// Creates the dialog window (hidden, caption and close box, not resizable) and its controls,
// centred on its parent unless `centre` is false (a dialog that is shown later centres itself
// then). Edit fields are taken whole when the keyboard reaches them; Enter in any field or list
// presses the default button. Returns false when the window could not be created.
bool CreateFromTemplate(wxDialog& dialog, wxWindow* parent, const DialogTemplate& dialogTemplate,
                        bool centre = true);
