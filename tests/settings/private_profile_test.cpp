#include "settings/private_profile.h"

#include <gtest/gtest.h>
#if !defined(_WIN32)
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <chrono>
#include <random>
#include <thread>

#include "settings/profile_file.h"
#include "tests/settings/scratch_folder.h"

using settings_test::ReadAll;
using settings_test::SavedVariable;
using settings_test::ScratchFolder;
using settings_test::WriteAll;

namespace {

std::string GetString(const char* section, const char* key, const char* fallback,
                      const std::string& file, unsigned size = 256, unsigned* result = nullptr) {
    std::string buffer(size, '#');
    const unsigned count =
        GetPrivateProfileStringA(section, key, fallback, buffer.data(), size, file.c_str());
    if (result != nullptr) {
        *result = count;
    }
    return buffer.substr(0, count);
}

#if !defined(_WIN32)
std::vector<std::string> Files(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

bool RunningAsSuperuser() {
    return ::geteuid() == 0;
}
#endif

TEST(PrivateProfileRead, MissingFileGivesDefaults) {
    ScratchFolder folder;
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Baudrate", 20000, "Vesk.ini"), 20000u);
    EXPECT_EQ(GetPrivateProfileIntA("Options", "AcceptanceCode", -1, "Vesk.ini"), 0xFFFFFFFFu);
    EXPECT_EQ(GetString("Data", "Id1", "dflt  ", folder.File()), "dflt");
    EXPECT_EQ(GetString("Data", "Id1", nullptr, folder.File()), "");
    EXPECT_FALSE(std::filesystem::exists(folder.File()));
}

TEST(PrivateProfileRead, TruncatesToSizeMinusOneAndReturnsTheCountCopied) {
    ScratchFolder folder;
    WriteAll(folder.File(), "[S]\nk=abcdef\n");
    unsigned result = 0;
    EXPECT_EQ(GetString("S", "k", "", folder.File(), 4, &result), "abc");
    EXPECT_EQ(result, 3u);
    EXPECT_EQ(GetString("S", "k", "", folder.File(), 7, &result), "abcdef");
    EXPECT_EQ(result, 6u);
    EXPECT_EQ(GetString("S", "absent", "default", folder.File(), 5, &result), "defa");

    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, 1, folder.File().c_str()), 0u);
    EXPECT_EQ(buffer[0], '\0');
    buffer[0] = 'x';
    EXPECT_EQ(GetPrivateProfileStringA("S", "k", "", buffer, 0, folder.File().c_str()), 0u);
    EXPECT_EQ(buffer[0], 'x');
}

TEST(PrivateProfileRead, NullKeyListsKeysAndNullSectionListsSections) {
    ScratchFolder folder;
    WriteAll(folder.File(), "[One]\nab=1\nc=2\n[Two]\n");
    unsigned result = 0;
    EXPECT_EQ(GetString("one", nullptr, "", folder.File(), 64, &result), std::string("ab\0c\0", 5));
    // The terminator after the last name is there too.
    std::string buffer(64, '#');
    GetPrivateProfileStringA("One", nullptr, "", buffer.data(), 64, folder.File().c_str());
    EXPECT_EQ(buffer[5], '\0');
    EXPECT_EQ(GetString(nullptr, nullptr, "", folder.File(), 64), std::string("One\0Two\0", 8));
    // Too small: the last name is cut and followed by two terminators; the result is size - 2.
    buffer.assign(64, '#');
    result = GetPrivateProfileStringA("One", nullptr, "", buffer.data(), 5, folder.File().c_str());
    EXPECT_EQ(result, 3u);
    EXPECT_EQ(buffer.substr(0, 5), std::string("ab\0\0\0", 5));
    // A name that would fill the buffer exactly leaves no room for the closing terminator.
    buffer.assign(64, '#');
    result = GetPrivateProfileStringA("One", nullptr, "", buffer.data(), 4, folder.File().c_str());
    EXPECT_EQ(result, 2u);
    EXPECT_EQ(buffer.substr(0, 5), std::string("ab\0\0#", 5));
    EXPECT_EQ(GetString("Two", nullptr, "none", folder.File()), "none");
}

// The number rules themselves are the document suite's; here, what the reader adds to them.
TEST(PrivateProfileRead, EmptyOrAbsentIntegerTakesTheDefault) {
    ScratchFolder folder;
    WriteAll(folder.File(), "[N]\r\nminus=-1\r\nempty=\r\nblank=  \r\nquoted=\" 7\"\r\n");
    auto get = [&](const char* key) {
        return GetPrivateProfileIntA("n", key, 99, folder.File().c_str());
    };
    EXPECT_EQ(get("MINUS"), 0xFFFFFFFFu);
    EXPECT_EQ(get("empty"), 99u);
    EXPECT_EQ(get("blank"), 99u);
    EXPECT_EQ(get("quoted"), 7u);
    EXPECT_EQ(get("absent"), 99u);
}

TEST(PrivateProfileWrite, CreatesFolderAndFileAndKeepsTheRestByteForByte) {
    ScratchFolder folder;
    const std::string file = (folder.Path() / "deeper" / "still" / "x.ini").string();
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "125000", file.c_str()), 1);
    // A new file has the system's line ends; an existing one keeps its own.
#if defined(_WIN32)
    EXPECT_EQ(ReadAll(file), "[Options]\r\nBaudrate=125000\r\n");
#else
    EXPECT_EQ(ReadAll(file), "[Options]\nBaudrate=125000\n");
#endif

    const std::string crlf =
        "; hand-written\r\n[Options]\r\nBaudrate=1\r\n\r\n[Other]\r\nx = y \r\n";
    WriteAll(folder.File(), crlf);
    EXPECT_EQ(WritePrivateProfileStringA("OPTIONS", "baudrate", "-1", "Vesk.ini"), 1);
    EXPECT_EQ(WritePrivateProfileStringA("Options", "AcceptanceCode", "0", "Vesk.ini"), 1);
    EXPECT_EQ(ReadAll(folder.File()),
              "; hand-written\r\n[Options]\r\nbaudrate=-1\r\nAcceptanceCode=0\r\n\r\n"
              "[Other]\r\nx = y \r\n");
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Baudrate", 0, "Vesk.ini"), 0xFFFFFFFFu);
}

TEST(PrivateProfileWrite, NullValueRemovesKeyAndNullKeyRemovesSection) {
    ScratchFolder folder;
    WriteAll(folder.File(), "[A]\nx=1\ny=2\n[B]\nz=3\n");
    EXPECT_EQ(WritePrivateProfileStringA("A", "x", nullptr, "Vesk.ini"), 1);
    EXPECT_EQ(WritePrivateProfileStringA("B", nullptr, nullptr, "Vesk.ini"), 1);
    EXPECT_EQ(WritePrivateProfileStringA(nullptr, "y", "9", "Vesk.ini"), 0);
    EXPECT_EQ(ReadAll(folder.File()), "[A]\ny=2\n");
}

TEST(PrivateProfileFile, BareNamesFollowVeskIniThenXdgThenHome) {
#if defined(_WIN32)
    GTEST_SKIP() << "the settings folder is %APPDATA%\\vesk there (settings_folder_test)";
#else
    SavedVariable ini("VESK_INI"), xdg("XDG_CONFIG_HOME"), home("HOME");
    testsupport::SetVariable("VESK_INI", "/somewhere/own.ini");
    testsupport::SetVariable("XDG_CONFIG_HOME", "/xdg");
    testsupport::SetVariable("HOME", "/home/op");
    EXPECT_EQ(settings::ResolveProfilePath("Vesk.ini"), "/somewhere/own.ini");
    EXPECT_EQ(settings::ResolveProfilePath("./Vesk.ini"), "./Vesk.ini");
    EXPECT_EQ(settings::ResolveProfilePath("/etc/x.ini"), "/etc/x.ini");
    testsupport::UnsetVariable("VESK_INI");
    EXPECT_EQ(settings::ResolveProfilePath("Vesk.ini"), "/xdg/vesk/Vesk.ini");
    testsupport::SetVariable("XDG_CONFIG_HOME", "relative");
    EXPECT_EQ(settings::ResolveProfilePath("Vesk.ini"), "/home/op/.config/vesk/Vesk.ini");
    testsupport::UnsetVariable("XDG_CONFIG_HOME");
    EXPECT_EQ(settings::ResolveProfilePath("Vesk.ini"), "/home/op/.config/vesk/Vesk.ini");
    EXPECT_EQ(settings::ResolveProfilePath(""), std::nullopt);
    EXPECT_EQ(settings::ResolveProfilePath(nullptr), std::nullopt);
#endif
}

TEST(PrivateProfileFile, BareNameWritesIntoTheSettingsFolder) {
#if defined(_WIN32)
    GTEST_SKIP() << "the settings folder is %APPDATA%\\vesk there (settings_folder_test)";
#else
    ScratchFolder folder;
    SavedVariable xdg("XDG_CONFIG_HOME");
    testsupport::UnsetVariable("VESK_INI");
    testsupport::SetVariable("XDG_CONFIG_HOME", folder.Path().string().c_str());
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "50000", "Vesk.ini"), 1);
    EXPECT_EQ(ReadAll(folder.Path() / "vesk" / "Vesk.ini"), "[Options]\nBaudrate=50000\n");
#endif
}

TEST(PrivateProfileFile, UnreadableOrMisplacedFileReadsDefaultsAndIsNotWritten) {
    ScratchFolder folder;
    // A folder where the file should be.
    std::filesystem::create_directory(folder.File());
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Baudrate", 20000, "Vesk.ini"), 20000u);
    EXPECT_EQ(GetString("Data", "Id1", "", folder.File()), "");
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "1", "Vesk.ini"), 0);
    EXPECT_TRUE(std::filesystem::is_directory(folder.File()));

    // A regular file where a folder of the path should be.
    WriteAll(folder.Path() / "plain", "not a folder");
    const std::string below = (folder.Path() / "plain" / "Vesk.ini").string();
    EXPECT_EQ(GetPrivateProfileIntA("Options", "Baudrate", 7, below.c_str()), 7u);
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "1", below.c_str()), 0);
    EXPECT_EQ(ReadAll(folder.Path() / "plain"), "not a folder");
}

TEST(PrivateProfileFile, ReadOnlyFileOrFolderIsLeftAlone) {
#if defined(_WIN32)
    GTEST_SKIP() << "a read-only attribute on a folder does not stop writing into it";
#else
    if (RunningAsSuperuser()) {
        GTEST_SKIP() << "permissions do not stop the superuser";
    }
    ScratchFolder folder;
    WriteAll(folder.File(), "[Options]\nBaudrate=1\n");
    std::filesystem::permissions(folder.File(), std::filesystem::perms::owner_read);
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "2", "Vesk.ini"), 0);
    std::filesystem::permissions(
        folder.File(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    std::filesystem::permissions(
        folder.Path(), std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
    EXPECT_EQ(WritePrivateProfileStringA("Options", "Baudrate", "3", "Vesk.ini"), 0);
    EXPECT_EQ(ReadAll(folder.File()), "[Options]\nBaudrate=1\n");
#endif
}

TEST(PrivateProfileFile, FullDiskChangesNothingAndLeavesNoTemporaryFile) {
#if defined(_WIN32)
    GTEST_SKIP() << "no fork and no file size limit";
#else
    ScratchFolder folder;
    const std::string before = "[Options]\nBaudrate=1\n; " + std::string(200, 'c') + "\n";
    WriteAll(folder.File(), before);
    // A file size limit makes every write beyond 100 bytes fail as a full disk would.
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{100, 100};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(WritePrivateProfileStringA("Options", "Baudrate", "2", "Vesk.ini") == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the write did not fail";
    EXPECT_EQ(ReadAll(folder.File()), before);
    EXPECT_EQ(Files(folder.Path()), std::vector<std::string>{"Vesk.ini"});
#endif
}

TEST(PrivateProfileFile, WriteKeepsPermissionsAndSymbolicLinks) {
#if defined(_WIN32)
    GTEST_SKIP() << "no POSIX permission bits; symbolic links need a privilege";
#else
    ScratchFolder folder;
    const auto real = folder.Path() / "real.ini";
    WriteAll(real, "[A]\nx=1\n");
    std::filesystem::permissions(real, std::filesystem::perms::owner_read |
                                           std::filesystem::perms::owner_write |
                                           std::filesystem::perms::group_read);
    std::filesystem::create_symlink("real.ini", folder.File());
    EXPECT_EQ(WritePrivateProfileStringA("A", "x", "2", "Vesk.ini"), 1);
    EXPECT_TRUE(std::filesystem::is_symlink(folder.File()));
    EXPECT_EQ(ReadAll(real), "[A]\nx=2\n");
    EXPECT_EQ(std::filesystem::status(real).permissions() & std::filesystem::perms::all,
              std::filesystem::perms::owner_read | std::filesystem::perms::owner_write |
                  std::filesystem::perms::group_read);
#endif
}

#if !defined(_WIN32)
// The file as the kill test's writer leaves it for a counter value: every byte of it depends on
// the value, so a torn or mixed file cannot pass for a whole one.
std::string CounterValue(unsigned long counter) {
    return std::to_string(counter) + ":" + std::string(3000, static_cast<char>('a' + counter % 26));
}
std::string CounterFile(unsigned long counter) {
    return "; kept as it is\n[Other]\nkey=value\n\n[Data]\nCounter=" + CounterValue(counter) +
           "\nAfter=also kept\n";
}
#endif

TEST(PrivateProfileFile, KilledWriterLeavesTheOldOrTheNewFile) {
#if defined(_WIN32)
    GTEST_SKIP() << "no fork";
#else
    ScratchFolder folder;
    WriteAll(folder.File(), CounterFile(0));
    std::mt19937 random(std::random_device{}());
    unsigned long last = 0;
    int changedFiles = 0;
    for (int round = 0; round < 300; ++round) {
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        ASSERT_NE(child, -1);
        if (child == 0) {
            const unsigned long start = std::stoul(GetString("Data", "Counter", "", "Vesk.ini"));
            ::close(ready[0]);
            if (::write(ready[1], "r", 1) != 1) {
                ::_exit(1);
            }
            for (unsigned long n = start + 1;; ++n) {
                WritePrivateProfileStringA("Data", "Counter", CounterValue(n).c_str(), "Vesk.ini");
            }
        }
        ::close(ready[1]);
        char byte = 0;
        ASSERT_EQ(::read(ready[0], &byte, 1), 1);
        ::close(ready[0]);
        // Only to spread the kill over every moment of a write.
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 3000));
        ::kill(child, SIGKILL);
        ASSERT_EQ(::waitpid(child, nullptr, 0), child);

        const std::string text = ReadAll(folder.File());
        const unsigned long counter = std::stoul(GetString("Data", "Counter", "0", "Vesk.ini"));
        ASSERT_EQ(text, CounterFile(counter)) << "round " << round;
        ASSERT_GE(counter, last);
        changedFiles += counter != last;
        last = counter;
    }
    EXPECT_GT(changedFiles, 0);
#endif
}

}  // namespace
