#include <gtest/gtest.h>

#include <locale.h>

#include <array>
#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <string>

#include "platform/error.h"

// In the user's language and in UTF-8, whatever codeset LC_CTYPE names.
TEST(ErrorText, TheUsersLanguageInUtf8) {
    const locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (german == static_cast<locale_t>(0))
        GTEST_SKIP() << "de_DE.UTF-8 is not generated (scripts/install-deps does it)";
    freelocale(german);
    using Env = std::array<const char*, 5>;  // nullptr: unset
    const char* const names[] = {"LANG", "LC_CTYPE", "LANGUAGE", "LC_ALL", "LC_MESSAGES"};
    const auto set = [&](const Env& values) {
        for (std::size_t i = 0; i < values.size(); ++i)
            values[i] ? setenv(names[i], values[i], 1) : unsetenv(names[i]);
    };
    std::string saved[5];
    Env before{};
    for (std::size_t i = 0; i < before.size(); ++i) {
        if (const char* value = std::getenv(names[i]))
            before[i] = (saved[i] = value).c_str();
    }
    // glibc keeps the first translation for a locale name whatever its codeset: the ASCII
    // LC_CTYPE goes first, or it would find the text another case cached.
    for (const Env& env :
         {Env{"de_DE.UTF-8", "C"}, Env{"de_DE.UTF-8"}, Env{"de_DE.UTF-8", nullptr, "de"}}) {
        set(env);
        EXPECT_NE(platform::ErrorText(ENODEV).find("Gerät"), std::string::npos)
            << platform::ErrorText(ENODEV) << " with LC_CTYPE " << (env[1] ? env[1] : "unset")
            << ", LANGUAGE " << (env[2] ? env[2] : "unset");
    }
    set(before);
}

// Linux has no text for the pending request's code, which is the other platform's.
TEST(ErrorText, ThePendingRequestsCodeHasNoText) {
    EXPECT_EQ(platform::ErrorText(platform::kErrorIoPending), "Unbekannter Fehler 997");
}
