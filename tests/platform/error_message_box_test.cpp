#include <gtest/gtest.h>

#include <locale.h>

#include <cerrno>
#include <clocale>
#include <cstdlib>
#include <optional>
#include <string>

#include "platform/error.h"
#include "platform/message_box.h"
#include "tests/support/message_box_capture.h"

TEST(ErrorText, KnownCodesGetTheSystemsText) {
    std::string text = platform::ErrorText(ENOENT);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Unbekannter Fehler"), std::string::npos);
    EXPECT_NE(platform::ErrorText(ENOENT), platform::ErrorText(EBUSY));
}

// In the user's language and in UTF-8, whatever codeset LC_CTYPE names.
TEST(ErrorText, TheUsersLanguageInUtf8) {
    const locale_t german = newlocale(LC_ALL_MASK, "de_DE.UTF-8", static_cast<locale_t>(0));
    if (german == static_cast<locale_t>(0))
        GTEST_SKIP() << "de_DE.UTF-8 is not generated (scripts/install-deps does it)";
    freelocale(german);
    struct Case {
        const char* ctype;     // nullptr: unset
        const char* language;  // nullptr: unset
    };
    // glibc keeps the first translation for the locale name, whatever its codeset: the ASCII
    // LC_CTYPE goes first, or it would find the text another case cached.
    const Case cases[] = {{"C", nullptr}, {nullptr, nullptr}, {nullptr, "de"}};
    const char* const names[] = {"LANG", "LC_CTYPE", "LANGUAGE", "LC_ALL", "LC_MESSAGES"};
    std::optional<std::string> saved[std::size(names)];
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (const char* value = std::getenv(names[i]))
            saved[i] = value;
    }
    for (const Case& c : cases) {
        const char* values[] = {"de_DE.UTF-8", c.ctype, c.language, nullptr, nullptr};
        for (std::size_t i = 0; i < std::size(names); ++i) {
            if (values[i] != nullptr)
                setenv(names[i], values[i], 1);
            else
                unsetenv(names[i]);
        }
        EXPECT_NE(platform::ErrorText(ENODEV).find("Gerät"), std::string::npos)
            << platform::ErrorText(ENODEV) << " with LC_CTYPE " << (c.ctype ? c.ctype : "unset")
            << ", LANGUAGE " << (c.language ? c.language : "unset");
    }
    for (std::size_t i = 0; i < std::size(names); ++i) {
        if (saved[i])
            setenv(names[i], saved[i]->c_str(), 1);
        else
            unsetenv(names[i]);
    }
}

TEST(ErrorText, UnknownCodesGetTheGermanFallback) {
    EXPECT_EQ(platform::ErrorText(123456), "Unbekannter Fehler 123456");
    EXPECT_EQ(platform::ErrorText(-7), "Unbekannter Fehler -7");
    EXPECT_EQ(platform::ErrorText(platform::kErrorIoPending), "Unbekannter Fehler 997");
}

TEST(MessageBox, TheHookSeesEveryBoxAndCanBeRestored) {
    {
        testsupport::MessageBoxCapture outer;
        {
            testsupport::MessageBoxCapture inner;
            platform::MessageBox("Can't set baudrate", "Error", platform::MessageIcon::kError);
            ASSERT_EQ(inner.Boxes().size(), 1u);
            EXPECT_EQ(inner.Boxes()[0].text, "Can't set baudrate");
            EXPECT_EQ(inner.Boxes()[0].caption, "Error");
        }
        platform::MessageBox("Zurück", "Info", platform::MessageIcon::kInformation);
        ASSERT_EQ(outer.Boxes().size(), 1u) << "the previous hook is back";
        EXPECT_EQ(outer.Boxes()[0].text, "Zurück");
    }
    // An empty hook restores the default, which writes to stderr.
    platform::SetMessageBoxHook(nullptr);
    ::testing::internal::CaptureStderr();
    platform::MessageBox("text", "caption", platform::MessageIcon::kExclamation);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "caption: text\n");
}
