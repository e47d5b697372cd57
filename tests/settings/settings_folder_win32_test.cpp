// Where the settings file lives on Windows: %APPDATA%\vesk, unless VESK_INI names another file.
#include <gtest/gtest.h>

#include <optional>
#include <string>

#include "platform/wide_text.h"
#include "platform/windows_headers.h"
#include "settings/profile_file.h"

namespace {

void Set(const char* name, const char* value) {
    ::SetEnvironmentVariableW(platform::WideText(name).c_str(),
                              value ? platform::WideText(value).c_str() : nullptr);
}

TEST(SettingsFolder, TheFileIsInTheUsersApplicationDataUnlessVeskIniNamesOne) {
    struct Case {
        const char* appData;
        const char* veskIni;
        const char* name;
        std::optional<std::string> path;
    };
    const Case cases[] = {
        {"C:\\Users\\op\\AppData\\Roaming", nullptr, "Vesk.ini",
         "C:\\Users\\op\\AppData\\Roaming\\vesk\\Vesk.ini"},
        // Letters beyond the ANSI code page survive the trip through the environment.
        {"C:\\Users\\J\xc3\xb6rg \xce\xa9\\AppData\\Roaming", nullptr, "Vesk.ini",
         "C:\\Users\\J\xc3\xb6rg \xce\xa9\\AppData\\Roaming\\vesk\\Vesk.ini"},
        {"C:\\Users\\op\\AppData\\Roaming", "D:\\eigen.ini", "Vesk.ini", "D:\\eigen.ini"},
        {"C:\\Users\\op\\AppData\\Roaming", nullptr, "D:\\x.ini", "D:\\x.ini"},
        {"C:\\Users\\op\\AppData\\Roaming", nullptr, "sub\\x.ini", "sub\\x.ini"},
        {"C:\\Users\\op\\AppData\\Roaming", nullptr, "sub/x.ini", "sub/x.ini"},
        {nullptr, nullptr, "Vesk.ini", std::nullopt},
        {"", nullptr, "Vesk.ini", std::nullopt},
    };
    for (const Case& c : cases) {
        Set("APPDATA", c.appData);
        Set("VESK_INI", c.veskIni);
        EXPECT_EQ(settings::ResolveProfilePath(c.name), c.path)
            << (c.appData ? c.appData : "(none)") << " " << c.name;
    }
    Set("VESK_INI", nullptr);
}

}  // namespace
