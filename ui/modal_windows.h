// The modal windows that are open right now, innermost last, and a way to end them all.
//
// A request to end the program (SIGTERM, SIGINT) may arrive while a dialog or a message box runs
// its own event loop, with the command that opened it waiting further up the stack for its
// answer. Closing the main window from in there would destroy that command's view and dialog
// under it. Instead every modal window is answered with Cancel, each command finishes as after a
// Cancel, and the window closes once control is back in the main loop.
#pragma once

#include <vector>

#include <wx/dialog.h>
#include <wx/modalhook.h>
#include <wx/weakref.h>

class CModalWindows : public wxModalDialogHook {
  public:
    bool Empty();

    // From now on a modal window that is about to open is answered with Cancel at once.
    void RefuseNew() { m_refuse = true; }

    // Ends the innermost open modal window as its Cancel would. Only the innermost: a loop can be
    // told to end only while it runs, so the next one is ended once control is back in it.
    void CancelInnermost();

  protected:
    int Enter(wxDialog* dialog) override;
    void Exit(wxDialog* dialog) override;

  private:
    // Weak: a dialog that another hook answered before it ever ran never reports its end here,
    // and is forgotten when it goes.
    std::vector<wxWeakRef<wxDialog>> m_open;
    bool m_refuse = false;
};
