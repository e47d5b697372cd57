// Files for recordings and traces: what a path names, and writing, cutting and closing.
#include "platform/data_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "platform/error.h"
#include "platform/file_identity.h"
#include "platform/utf8_path.h"

namespace fs = std::filesystem;

namespace {

class DataFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = fs::temp_directory_path() /
                  ("vesk-data-file-" +
                   std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(folder_);
        fs::create_directories(folder_ / "sub");
        std::ofstream(folder_ / "five.log", std::ios::binary) << "12345";
    }
    void TearDown() override { fs::remove_all(folder_); }

    fs::path folder_;
};

TEST_F(DataFileTest, OpeningForReadingSaysWhatThePathNames) {
    struct Case {
        const char* name;
        bool open;
        platform::FileKind kind;
        std::uint64_t size;
        int error;
    };
    for (const Case& c :
         {Case{"five.log", true, platform::FileKind::kRegular, 5, 0},
          Case{"sub", true, platform::FileKind::kFolder, 0, 0},
          Case{"missing.log", false, platform::FileKind::kRegular, 0, platform::kErrorNotFound}}) {
        const platform::DataFile file =
            platform::DataFile::OpenForReading((folder_ / c.name).string());
        EXPECT_EQ(file.IsOpen(), c.open) << c.name;
        EXPECT_EQ(file.Error(), c.error) << c.name;
        if (c.open) {
            EXPECT_EQ(file.Kind(), c.kind) << c.name;
        }
        // A folder's size is the file system's business.
        if (c.open && c.kind == platform::FileKind::kRegular) {
            EXPECT_EQ(file.Size(), c.size) << c.name;
        }
    }
}

TEST_F(DataFileTest, WritingStartsEmptyAndTruncatingCutsTheTail) {
    const std::string path = (folder_ / "five.log").string();
    platform::DataFile file = platform::DataFile::CreateForWriting(path);
    ASSERT_TRUE(file.IsOpen());
    ASSERT_EQ(file.Write("line one\nline t", 15), 15);
    ASSERT_TRUE(file.Truncate(9));
    ASSERT_TRUE(file.Close());
    std::ifstream in(path, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), "line one\n");

    char byte = 0;
    platform::DataFile reader = platform::DataFile::OpenForReading(path);
    ASSERT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.Size(), 9u);
    EXPECT_EQ(reader.Read(&byte, 1), 1);
    EXPECT_EQ(byte, 'l');
}

TEST_F(DataFileTest, CreatingInAMissingFolderFailsWithTheSystemsCode) {
    const platform::DataFile file =
        platform::DataFile::CreateForWriting((folder_ / "none" / "x.log").string());
    EXPECT_FALSE(file.IsOpen());
    EXPECT_NE(file.Error(), 0);
    EXPECT_FALSE(platform::ErrorText(file.Error()).empty());
}

// Names are UTF-8 throughout the program; on Windows a narrow system call would read them in the
// ANSI code page and miss the file. The same file under two spellings is one file.
TEST_F(DataFileTest, AUtf8NameNamesThatFile) {
    const std::string folder = platform::Utf8FromPath(folder_);
    const std::string name = folder + "/Messung_\u00e4\u00f6\u00fc_\u03a9.log";
    ASSERT_TRUE(platform::WriteWholeFile(name, "x"));
    EXPECT_TRUE(fs::exists(folder_ / fs::path(u8"Messung_\u00e4\u00f6\u00fc_\u03a9.log")));
    EXPECT_EQ(platform::Utf8FromPath(platform::PathFromUtf8(name)), name);
    EXPECT_TRUE(platform::SameFile(name, folder + "/sub/../Messung_\u00e4\u00f6\u00fc_\u03a9.log"));
    EXPECT_FALSE(platform::SameFile(name, folder + "/five.log"));
}

}  // namespace
