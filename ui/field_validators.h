// Validators that bind dialog controls to members the way the dialogs exchange their data.
// Texts bind through wxGenericValidator; these cover what it does not: int check states, list
// selections as int indexes, and numbers typed as decimal text, which are checked when read.
#pragma once

#include <cstdint>

#include <wx/validate.h>

// A check box's state as 0 or 1.
class CCheckValidator : public wxValidator {
  public:
    explicit CCheckValidator(int* value) : m_value(value) {}
    CCheckValidator(const CCheckValidator& other);
    wxObject* Clone() const override { return new CCheckValidator(*this); }
    bool Validate(wxWindow*) override { return true; }
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

  private:
    int* m_value;
};

// The selection index of a list or combo box; -1 when nothing is selected.
class CSelectionValidator : public wxValidator {
  public:
    explicit CSelectionValidator(int* value) : m_value(value) {}
    CSelectionValidator(const CSelectionValidator& other);
    wxObject* Clone() const override { return new CSelectionValidator(*this); }
    bool Validate(wxWindow*) override { return true; }
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

  private:
    int* m_value;
};

// An unsigned decimal number from min to max, both included. Anything else is refused with a
// prompt naming the limits, and the focus goes to the field.
class CUnsignedRangeValidator : public wxValidator {
  public:
    CUnsignedRangeValidator(std::uint32_t* value, std::uint32_t min, std::uint32_t max)
        : m_value(value), m_min(min), m_max(max) {}
    CUnsignedRangeValidator(const CUnsignedRangeValidator& other);
    wxObject* Clone() const override { return new CUnsignedRangeValidator(*this); }
    bool Validate(wxWindow* parent) override;
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

  private:
    std::uint32_t* m_value;
    std::uint32_t m_min;
    std::uint32_t m_max;
};

// A signed 32-bit decimal number, from min to max when a range is given; anything else is
// refused with a prompt (the range prompt when the number is out of a range).
class CSignedValidator : public wxValidator {
  public:
    explicit CSignedValidator(std::int32_t* value, std::int32_t min = INT32_MIN,
                              std::int32_t max = INT32_MAX)
        : m_value(value), m_min(min), m_max(max) {}
    CSignedValidator(const CSignedValidator& other);
    wxObject* Clone() const override { return new CSignedValidator(*this); }
    bool Validate(wxWindow* parent) override;
    bool TransferToWindow() override;
    bool TransferFromWindow() override;

  private:
    std::int32_t* m_value;
    std::int32_t m_min;
    std::int32_t m_max;
};

// The prompts, so that tests can tell which one was shown.
wxString RangePrompt(std::int64_t min, std::int64_t max);
wxString IntegerPrompt();
