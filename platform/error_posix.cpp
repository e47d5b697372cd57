#include "platform/error.h"

#include <locale.h>
#include <cerrno>
#include <clocale>
#include <cstdio>
#include <cstring>

namespace platform {

static_assert(kErrorNotFound == ENOENT && kErrorIo == EIO && kErrorInvalidHandle == EBADF &&
                  kErrorTryAgain == EAGAIN && kErrorBusy == EBUSY &&
                  kErrorInvalidParameter == EINVAL && kErrorNoBuffers == ENOBUFS,
              "the named codes are the system's errno values");

int GetLastError() {
    return errno;
}

void SetLastError(int code) {
    errno = code;
}

std::string ErrorText(int code) {
    // The language from LC_MESSAGES (and LANGUAGE), the codeset from C.UTF-8: converted to the
    // user's LC_CTYPE the text could lose its umlauts ("?" in ASCII). glibc caches a translation
    // by locale name and not by codeset, so a strerror with an ASCII LC_CTYPE for the same
    // language in this process would still hand its "?" text to later calls.
    locale_t loc = newlocale(LC_ALL_MASK, "C.UTF-8", static_cast<locale_t>(0));
    if (loc != static_cast<locale_t>(0)) {
        if (locale_t user = newlocale(LC_MESSAGES_MASK, "", loc); user != static_cast<locale_t>(0))
            loc = user;
    }
    // A system without the C.UTF-8 locale (a small guest) still has the untranslated texts.
    std::string text = loc ? strerror_l(code, loc) : std::strerror(code);
    if (loc)
        freelocale(loc);

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
