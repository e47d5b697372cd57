#include "platform/error.h"

#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>
#include <locale.h>

namespace platform {

int GetLastError() { return errno; }

void SetLastError(int code) { errno = code; }

std::string ErrorText(int code) {
    // strerror_l with the user's LC_MESSAGES locale; "Unknown error N" means the system has none.
    locale_t loc = newlocale(LC_MESSAGES_MASK, "", static_cast<locale_t>(0));
    if (loc == static_cast<locale_t>(0)) loc = newlocale(LC_MESSAGES_MASK, "C", static_cast<locale_t>(0));
    std::string text = loc ? strerror_l(code, loc) : "";
    if (loc) freelocale(loc);

    char unknownC[64];
    std::snprintf(unknownC, sizeof unknownC, "Unknown error %d", code);
    if (text.empty() || text == unknownC) {
        char german[64];
        std::snprintf(german, sizeof german, "Unbekannter Fehler %d", code);
        return german;
    }
    return text;
}

}  // namespace platform
