// The CAN databases a session decodes with: loaded one file at a time, each read whole or
// refused whole (whatever was loaded before stays), and kept in the settings file so that the
// next start loads them again.
//
// Runs on the thread that drives the session. The set it publishes is never changed once
// published: a change builds a new one, so readers of the old one (the receive thread, a view
// that decodes a row) keep a consistent set for as long as they hold it.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "dbc/database_set.h"

class SignalDatabases {
  public:
    SignalDatabases();

    // Adds the file; false and the reader's German text (file and line) when it cannot be
    // read. `warnings` gets what the reader skipped. A file that is loaded already is read
    // again in its place.
    bool Load(const std::string& path, std::string& error, std::vector<std::string>& warnings);
    void Clear();

    const std::vector<std::string>& Files() const { return m_files; }
    bool Empty() const { return m_files.empty(); }
    // The names of the files without their folders, comma-separated ("motor.dbc, body.dbc").
    std::string Names() const;
    std::shared_ptr<const dbc::DatabaseSet> Set() const { return m_set; }

  private:
    void Publish();

    std::vector<std::string> m_files;
    std::vector<std::shared_ptr<const dbc::Database>> m_databases;
    std::shared_ptr<const dbc::DatabaseSet> m_set;
};
