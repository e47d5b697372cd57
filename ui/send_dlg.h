// "Botschaft senden": the modeless transmit dialog. Four rows sent once each on "Start" (or
// Enter), one row repeated endlessly as the cyclic job with key 1. Every field persists in the
// [Data] section; the dialog reads it once when its window is created and writes it whenever one
// of the two Start buttons is pressed.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <wx/string.h>

#include "ui/exchange_dialog.h"

struct CanChannel;

inline constexpr int kIdSendWait = 1000;
inline constexpr int kIdSendMsg1 = 1001;
inline constexpr int kIdSendId1 = 1002;
inline constexpr int kIdSendClose = 1003;
inline constexpr int kIdSendStartEndless = 1004;
inline constexpr int kIdSendStopEndless = 1005;
inline constexpr int kIdSendChk1 = 1006;
inline constexpr int kIdSendId2 = 1007;
inline constexpr int kIdSendMsg2 = 1011;
inline constexpr int kIdSendChk2 = 1012;
inline constexpr int kIdSendId3 = 1016;
inline constexpr int kIdSendMsg3 = 1017;
inline constexpr int kIdSendChk3 = 1018;
inline constexpr int kIdSendId4 = 1022;
inline constexpr int kIdSendMsg4 = 1023;
inline constexpr int kIdSendChk4 = 1024;
inline constexpr int kIdSendId5 = 1028;
inline constexpr int kIdSendMsg5 = 1029;

// The cyclic job that the endless row runs as.
inline constexpr int kEndlessJobKey = 1;

class CSendDlg : public CExchangeDialog {
  public:
    // Members only; the window comes with Create.
    CSendDlg() = default;

    // Creates the hidden window on the channel that the rows are sent on (may be null: then
    // nothing is sent) and runs OnInitDialog. False when the window could not be created.
    bool Create(wxWindow* parent, CanChannel* channel);

    wxString m_strId1;
    wxString m_strMsg1;
    std::int32_t m_nWait = 0;  // ms between two frames of the endless row
    wxString m_strId2;
    wxString m_strId3;
    wxString m_strId4;
    wxString m_strId5;
    wxString m_strMsg2;
    wxString m_strMsg3;
    wxString m_strMsg4;
    wxString m_strMsg5;
    int m_bChk1 = 0;
    int m_bChk2 = 0;
    int m_bChk3 = 0;
    int m_bChk4 = 0;

    // Fills the controls from the members, then loads the members from [Data]; the controls
    // show the loaded values from the first time the dialog is shown.
    bool OnInitDialog();
    void OnOK(wxCommandEvent& event);      // single send
    void OnCancel(wxCommandEvent& event);  // abort transmission; also Escape and the close box
    void OnClose(wxCommandEvent& event);   // validate and hide
    void OnStartEndless(wxCommandEvent& event);
    void OnStopEndless(wxCommandEvent& event);

    // Shows the dialog with the members in its controls: the first time centred on the main
    // window, and whenever it was hidden with the focus in the first identifier field.
    void Present(const wxWindow& mainWindow);

    void SaveSettings();
    void SendFrame(const wxString& idText, const wxString& dataText);
    void StartEndless(const wxString& idText, const wxString& dataText);

    // Why the last Start sent nothing (empty when it sent): a text that the reading rules would
    // send as another frame than typed — an identifier that is no hexadecimal number or too wide
    // for the channel's frame format, a data value that is no hexadecimal number. Such fields
    // are marked, and the main window's status line gives the first reason.
    const wxString& Problem() const { return m_problem; }

  private:
    struct FieldProblem {
        int field;
        std::string text;
    };
    void CheckRow(const wxString& idText, const wxString& dataText, int idField, int dataField,
                  std::vector<FieldProblem>& problems) const;
    // Marks the refused fields and clears the others; true when nothing was refused.
    bool ShowProblems(const std::vector<FieldProblem>& problems);
    void OnCloseWindow(wxCloseEvent& event);

    CanChannel* m_channel = nullptr;
    bool m_placed = false;  // centred on the main window once; after that where the operator put it
    wxString m_problem;
};
