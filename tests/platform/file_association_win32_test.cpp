// The link from ".vsk" to the program in the current user's registry, as --register writes it and
// --unregister takes it back.
#include "platform/file_association.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/wide_text.h"
#include "platform/windows_headers.h"

namespace {

const platform::FileAssociation kAssociation{".vsktest", "Vesk.TestDocument", "Dateityp Vesk",
                                             "C:\\Programme\\vesk\\vesk.exe", "/p"};

// The key's default value; "-" when the key is not there.
std::string Default(const std::string& key) {
    const std::wstring path = platform::WideText("Software\\Classes\\" + key);
    DWORD size = 0;
    if (::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, nullptr,
                       &size) != ERROR_SUCCESS)
        return "-";
    std::vector<wchar_t> value(size / sizeof(wchar_t) + 1);
    ::RegGetValueW(HKEY_CURRENT_USER, path.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, value.data(),
                   &size);
    return platform::Utf8Text(value.data());
}

struct Key {
    const char* key;
    const char* registered;
};

const Key kKeys[] = {
    {".vsktest", "Vesk.TestDocument"},
    {"Vesk.TestDocument", "Dateityp Vesk"},
    {"Vesk.TestDocument\\DefaultIcon", "\"C:\\Programme\\vesk\\vesk.exe\",0"},
    {"Vesk.TestDocument\\shell\\open\\command", "\"C:\\Programme\\vesk\\vesk.exe\" \"%1\""},
    {"Vesk.TestDocument\\shell\\print\\command", "\"C:\\Programme\\vesk\\vesk.exe\" /p \"%1\""},
};

TEST(FileAssociation, RegisterWritesOpenAndPrintAndUnregisterTakesThemBack) {
    ASSERT_EQ(platform::RegisterFileAssociation(kAssociation), "");
    for (const Key& k : kKeys)
        EXPECT_EQ(Default(k.key), k.registered) << k.key;
    ASSERT_EQ(platform::UnregisterFileAssociation(kAssociation), "");
    for (const Key& k : kKeys)
        EXPECT_EQ(Default(k.key), "-") << k.key;
    // Nothing left to take back is no failure.
    EXPECT_EQ(platform::UnregisterFileAssociation(kAssociation), "");
}

TEST(FileAssociation, UnregisterLeavesAnExtensionAnotherProgramHasTaken) {
    ASSERT_EQ(platform::RegisterFileAssociation(kAssociation), "");
    const std::wstring extension = L"Software\\Classes\\.vsktest";
    const std::wstring other = L"Other.Program";
    ASSERT_EQ(
        ::RegSetKeyValueW(HKEY_CURRENT_USER, extension.c_str(), nullptr, REG_SZ, other.c_str(),
                          static_cast<DWORD>((other.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    ASSERT_EQ(platform::UnregisterFileAssociation(kAssociation), "");
    EXPECT_EQ(Default(".vsktest"), "Other.Program");
    EXPECT_EQ(Default("Vesk.TestDocument"), "-");
    ::RegDeleteTreeW(HKEY_CURRENT_USER, extension.c_str());
    ::RegDeleteKeyW(HKEY_CURRENT_USER, extension.c_str());
}

}  // namespace
