#include "platform/file_association.h"

namespace platform {

// The install rules put the desktop entry and the MIME type in place; nothing to do at run time.
std::string RegisterFileAssociation(const FileAssociation&) {
    return {};
}

std::string UnregisterFileAssociation(const FileAssociation&) {
    return {};
}

}  // namespace platform
