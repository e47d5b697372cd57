#include "monitor/signal_databases.h"

#include "dbc/dbc_reader.h"
#include "platform/file_identity.h"

SignalDatabases::SignalDatabases() : m_set(std::make_shared<dbc::DatabaseSet>()) {}

bool SignalDatabases::Load(const std::string& path, std::string& error,
                           std::vector<std::string>& warnings) {
    dbc::ReadResult read = dbc::ReadDbc(path);
    warnings = std::move(read.warnings);
    if (!read.database) {
        error = std::move(read.error);
        return false;
    }
    auto database = std::make_shared<const dbc::Database>(std::move(*read.database));
    for (std::size_t i = 0; i < m_files.size(); ++i) {
        if (m_files[i] == path || platform::SameFile(m_files[i], path)) {
            m_databases[i] = std::move(database);
            Publish();
            return true;
        }
    }
    m_files.push_back(path);
    m_databases.push_back(std::move(database));
    Publish();
    return true;
}

void SignalDatabases::Clear() {
    m_files.clear();
    m_databases.clear();
    Publish();
}

std::string SignalDatabases::Names() const {
    std::string names;
    for (const std::string& file : m_files) {
        if (!names.empty())
            names += ", ";
        const auto slash = file.find_last_of('/');
        names += slash == std::string::npos ? file : file.substr(slash + 1);
    }
    return names;
}

void SignalDatabases::Publish() {
    auto set = std::make_shared<dbc::DatabaseSet>();
    for (const auto& database : m_databases)
        set->Add(database);
    m_set = std::move(set);
}
