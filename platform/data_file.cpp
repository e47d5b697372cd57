#include "platform/data_file.h"

namespace platform {

bool WriteWholeFile(const std::string& path, std::string_view bytes) {
    DataFile file = DataFile::CreateForWriting(path);
    bool ok = file.IsOpen() &&
              file.Write(bytes.data(), bytes.size()) == static_cast<std::int64_t>(bytes.size());
    ok = file.Close() && ok;
    return ok;
}

}  // namespace platform
