#include "ui/field_validators.h"

#include <wx/checkbox.h>
#include <wx/ctrlsub.h>
#include <wx/textentry.h>

#include "platform/message_box.h"
#include "ui/number_text.h"
#include "ui/utf8_text.h"

namespace {

wxTextEntry* TextOf(wxWindow* window) {
    return dynamic_cast<wxTextEntry*>(window);
}

// Shows the prompt and puts the operator back into the refused field with its text selected.
void Refuse(wxWindow* field, const wxString& prompt) {
    platform::MessageBox(prompt.utf8_string(), "vesk", platform::MessageIcon::kExclamation);
    if (field) {
        field->SetFocus();
        if (wxTextEntry* text = TextOf(field))
            text->SelectAll();
    }
}

}  // namespace

wxString RangePrompt(std::int64_t min, std::int64_t max) {
    return wxString::Format(U8("Geben Sie eine ganze Zahl zwischen %lld und %lld ein."),
                            static_cast<long long>(min), static_cast<long long>(max));
}

wxString IntegerPrompt() {
    return U8("Geben Sie eine ganze Zahl ein.");
}

CCheckValidator::CCheckValidator(const CCheckValidator& other)
    : wxValidator(), m_value(other.m_value) {
    Copy(other);
}

bool CCheckValidator::TransferToWindow() {
    auto* box = dynamic_cast<wxCheckBox*>(GetWindow());
    if (!box)
        return false;
    box->SetValue(*m_value != 0);
    return true;
}

bool CCheckValidator::TransferFromWindow() {
    auto* box = dynamic_cast<wxCheckBox*>(GetWindow());
    if (!box)
        return false;
    *m_value = box->GetValue() ? 1 : 0;
    return true;
}

CSelectionValidator::CSelectionValidator(const CSelectionValidator& other)
    : wxValidator(), m_value(other.m_value) {
    Copy(other);
}

bool CSelectionValidator::TransferToWindow() {
    auto* list = dynamic_cast<wxItemContainer*>(GetWindow());
    if (!list)
        return false;
    const bool inRange = *m_value >= 0 && static_cast<unsigned>(*m_value) < list->GetCount();
    list->SetSelection(inRange ? *m_value : wxNOT_FOUND);
    return true;
}

bool CSelectionValidator::TransferFromWindow() {
    auto* list = dynamic_cast<wxItemContainer*>(GetWindow());
    if (!list)
        return false;
    *m_value = list->GetSelection();
    return true;
}

CUnsignedRangeValidator::CUnsignedRangeValidator(const CUnsignedRangeValidator& other)
    : wxValidator(), m_value(other.m_value), m_min(other.m_min), m_max(other.m_max) {
    Copy(other);
}

bool CUnsignedRangeValidator::Validate(wxWindow*) {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    auto value = ParseUnsignedDecimal(text->GetValue().utf8_string());
    if (value && *value >= m_min && *value <= m_max)
        return true;
    Refuse(GetWindow(), RangePrompt(m_min, m_max));
    return false;
}

bool CUnsignedRangeValidator::TransferToWindow() {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    text->ChangeValue(wxString::Format("%u", *m_value));
    return true;
}

bool CUnsignedRangeValidator::TransferFromWindow() {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    auto value = ParseUnsignedDecimal(text->GetValue().utf8_string());
    if (!value)
        return false;
    *m_value = *value;
    return true;
}

CSignedValidator::CSignedValidator(const CSignedValidator& other)
    : wxValidator(), m_value(other.m_value), m_min(other.m_min), m_max(other.m_max) {
    Copy(other);
}

bool CSignedValidator::Validate(wxWindow*) {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    const auto value = ParseSignedDecimal(text->GetValue().utf8_string());
    if (value && *value >= m_min && *value <= m_max)
        return true;
    const bool ranged = m_min != INT32_MIN || m_max != INT32_MAX;
    Refuse(GetWindow(), value && ranged ? RangePrompt(m_min, m_max) : IntegerPrompt());
    return false;
}

bool CSignedValidator::TransferToWindow() {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    text->ChangeValue(wxString::Format("%d", static_cast<int>(*m_value)));
    return true;
}

bool CSignedValidator::TransferFromWindow() {
    wxTextEntry* text = TextOf(GetWindow());
    if (!text)
        return false;
    auto value = ParseSignedDecimal(text->GetValue().utf8_string());
    if (!value || *value < m_min || *value > m_max)
        return false;
    *m_value = *value;
    return true;
}
