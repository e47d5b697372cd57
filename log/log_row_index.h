// The rows of the log that an identifier filter lets through, as indexes into the LogModel: the
// list shows item i as the model's row ModelRow(i). Nothing is copied; the index holds one
// number per shown row and is allocated once, as the model is.
//
// Without a filter the index is the identity and holds nothing. The model's own indexes move
// with every Drain (new rows go on top), so the index keeps each row's place in the order of
// arrival instead and turns it into a model index when asked.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "log/id_filter.h"
#include "log/log_model.h"

class LogRowIndex {
  public:
    explicit LogRowIndex(const LogModel& model);

    // Applies `filter` to the rows the model holds now (a copy of it is kept).
    void SetFilter(const IdFilter& filter);
    const IdFilter& Filter() const { return m_filter; }

    // After model.Drain() returned `added`: takes the new rows that pass and lets go of those the
    // model dropped; returns how many shown rows were added on top.
    std::size_t AfterDrain(std::size_t added);
    // After model.Clear().
    void Clear();

    std::size_t Count() const;
    std::size_t Hidden() const { return m_model.RowCount() - Count(); }
    // The model's index of shown item `item` (< Count()).
    std::size_t ModelRow(std::size_t item) const;

    static bool Passes(const IdFilter& filter, const LogRow& row);

  private:
    const LogModel& m_model;
    IdFilter m_filter;
    std::uint64_t m_arrived = 0;  // rows the model has taken in since the last clear
    // Arrival numbers of the shown rows, newest first: a ring of kMaxRows.
    std::vector<std::uint64_t> m_shown;
    std::size_t m_first = 0;
    std::size_t m_count = 0;
};
