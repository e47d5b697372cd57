#include <gtest/gtest.h>

#include <array>
#include <string>

#include "platform/error.h"
#include "platform/message_box.h"
#include "tests/support/message_box_capture.h"

TEST(ErrorText, KnownCodesGetTheSystemsText) {
    std::string text = platform::ErrorText(platform::kErrorNotFound);
    EXPECT_FALSE(text.empty());
    EXPECT_EQ(text.find("Unbekannter Fehler"), std::string::npos);
    EXPECT_NE(platform::ErrorText(platform::kErrorNotFound),
              platform::ErrorText(platform::kErrorBusy));
}

TEST(ErrorText, UnknownCodesGetTheGermanFallback) {
    EXPECT_EQ(platform::ErrorText(123456), "Unbekannter Fehler 123456");
    EXPECT_EQ(platform::ErrorText(-7), "Unbekannter Fehler -7");
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
