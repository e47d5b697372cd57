#include "settings/profile_document.h"

#include <gtest/gtest.h>

#include <random>

#include "tests/settings/scratch_folder.h"

using settings::ParseProfileInt;
using settings::ProfileDocument;

namespace {

std::string ValueOr(const ProfileDocument& document, std::string_view section, std::string_view key,
                    std::string_view fallback = "<absent>") {
    const auto value = document.Find(section, key);
    return std::string(value ? *value : fallback);
}

TEST(ProfileDocumentRead, NamesIgnoreCaseAndBlanksAndValuesLoseBlanksAndQuotes) {
    const ProfileDocument document(
        "  [ Options ]  \n"
        " AcceptanceCode =  -1  \n"
        "Double=\"quoted text\"\n"
        "Single='x y'\n"
        "Unmatched=\"abc'\n"
        "Lone=\"\n"
        "Inner=a \"b\" c\n"
        "Tab=\tvalue\t\n");
    EXPECT_EQ(ValueOr(document, "options", "ACCEPTANCECODE"), "-1");
    EXPECT_EQ(ValueOr(document, " Options ", " AcceptanceCode "), "-1");
    EXPECT_EQ(ValueOr(document, "Options", "Double"), "quoted text");
    EXPECT_EQ(ValueOr(document, "Options", "Single"), "x y");
    EXPECT_EQ(ValueOr(document, "Options", "Unmatched"), "\"abc'");
    EXPECT_EQ(ValueOr(document, "Options", "Lone"), "\"");
    EXPECT_EQ(ValueOr(document, "Options", "Inner"), "a \"b\" c");
    EXPECT_EQ(ValueOr(document, "Options", "Tab"), "value");
    EXPECT_EQ(ValueOr(document, "Option", "AcceptanceCode"), "<absent>");
}

TEST(ProfileDocumentRead, FirstSectionAndFirstKeyWinAndStrayLinesAreHarmless) {
    const ProfileDocument document(
        "Orphan=before any section\n"
        "[A]\n"
        "Key=first\n"
        "key=second\n"
        "no equals sign here\n"
        "Empty=\n"
        "Bare\n"
        "Bare=after the bare line\n"
        "[abc\n"
        "[B]\n"
        "Only=in B\n"
        "[a]\n"
        "Key=third\n"
        "Later=only in the second A\n");
    EXPECT_EQ(ValueOr(document, "A", "Key"), "first");
    EXPECT_EQ(ValueOr(document, "A", "Later"), "<absent>");
    EXPECT_EQ(ValueOr(document, "A", "Orphan"), "<absent>");
    EXPECT_EQ(ValueOr(document, "A", "Empty"), "");
    // A key line without '=' shadows a later line of the same key.
    EXPECT_EQ(ValueOr(document, "A", "Bare"), "<absent>");
    // A '[' line without ']' is a key line of the section it is in.
    EXPECT_EQ(ValueOr(document, "A", "[abc"), "<absent>");
    EXPECT_EQ(ValueOr(document, "B", "Only"), "in B");
    EXPECT_EQ(ValueOr(document, "B", "Key"), "<absent>");
}

TEST(ProfileDocumentRead, CrlfAndByteOrderMarkRead) {
    const ProfileDocument document("\xEF\xBB\xBF[Data]\r\nId1=123\r\nMsg1=11 22\r\n");
    EXPECT_EQ(ValueOr(document, "Data", "Id1"), "123");
    EXPECT_EQ(ValueOr(document, "Data", "Msg1"), "11 22");
    EXPECT_EQ(document.SectionNames(), std::vector<std::string_view>{"Data"});
}

TEST(ProfileDocumentRead, ListsLeaveOutCommentsBareLinesAndEmptyNames) {
    const ProfileDocument document(
        "[S]\n; comment=x\nA=1\nbare\n=nameless\nb=\n[]\n[T]\n[s]\nC=3\n");
    EXPECT_EQ(document.KeyNames("s"), (std::vector<std::string_view>{"A", "b"}));
    EXPECT_EQ(document.SectionNames(), (std::vector<std::string_view>{"S", "T", "s"}));
    EXPECT_TRUE(document.KeyNames("missing").empty());
}

TEST(ProfileDocumentEdit, ReplaceInPlaceKeepsEveryOtherByte) {
    const std::string before =
        "; written by hand\n"
        "[Options]\n"
        "  Baudrate = 125000   ; old\n"
        "Unknown=keep me\n"
        "\n"
        "[Data]\n"
        "Id1=7ff\n";
    ProfileDocument document(before);
    EXPECT_TRUE(document.Set("options", "Baudrate", "500000"));
    EXPECT_EQ(document.Text(),
              "; written by hand\n"
              "[Options]\n"
              "Baudrate=500000\n"
              "Unknown=keep me\n"
              "\n"
              "[Data]\n"
              "Id1=7ff\n");
    // Setting the same value again leaves the text alone.
    EXPECT_FALSE(document.Set("Options", "BAUDRATE", "500000"));
}

TEST(ProfileDocumentEdit, NewKeyEndsItsSectionAndNewSectionEndsTheText) {
    ProfileDocument document("[A]\nx=1\n; last words of A\n\n\n[B]\ny=2\n");
    EXPECT_TRUE(document.Set("A", "z", "3"));
    EXPECT_TRUE(document.Set("C", "w", "4"));
    EXPECT_TRUE(document.Set("B", "v", "5"));
    EXPECT_EQ(document.Text(), "[A]\nx=1\n; last words of A\nz=3\n\n\n[B]\ny=2\nv=5\n[C]\nw=4\n");
}

TEST(ProfileDocumentEdit, LineEndingsFollowTheFile) {
    ProfileDocument crlf("[A]\r\nx=1\r\n");
    crlf.Set("A", "y", "2");
    crlf.Set("B", "z", "3");
    crlf.Set("A", "x", "9");
    EXPECT_EQ(crlf.Text(), "[A]\r\nx=9\r\ny=2\r\n[B]\r\nz=3\r\n");

    ProfileDocument unterminated("[A]\nx=1");
    unterminated.Set("A", "y", "2");
    EXPECT_EQ(unterminated.Text(), "[A]\nx=1\ny=2\n");
    ProfileDocument noNewline("junk");
    noNewline.Set("A", "y", "2");
    EXPECT_EQ(noNewline.Text(), settings_test::NewFileText("junk\n[A]\ny=2\n"));
    ProfileDocument empty;
    empty.Set(" A ", " y ", "  2 ");
    EXPECT_EQ(empty.Text(), settings_test::NewFileText("[A]\ny=2 \n"));
}

TEST(ProfileDocumentEdit, LineBreaksInNamesOrValuesCannotInjectLines) {
    ProfileDocument document;
    document.Set("Data", "Msg1", "11 22\n[Options]\nBaudrate=1");
    EXPECT_EQ(document.Text(), settings_test::NewFileText("[Data]\nMsg1=11 22\n"));
    EXPECT_FALSE(document.Find("Options", "Baudrate"));
}

TEST(ProfileDocumentEdit, EraseKeyAndEveryDuplicateOfASection) {
    ProfileDocument document("[A]\nx=1\ny=2\n\n[B]\nz=3\n[a]\nw=4\n");
    EXPECT_TRUE(document.EraseKey("a", "X"));
    EXPECT_FALSE(document.EraseKey("A", "x"));
    EXPECT_EQ(document.Text(), "[A]\ny=2\n\n[B]\nz=3\n[a]\nw=4\n");
    EXPECT_TRUE(document.EraseSection("A"));
    EXPECT_EQ(document.Text(), "\n[B]\nz=3\n");
    EXPECT_FALSE(document.EraseSection("A"));
}

TEST(ProfileDocumentEdit, WriteIntoGarbageKeepsTheGarbage) {
    std::mt19937 random(7);
    std::string garbage(1 << 20, '\0');
    for (char& c : garbage) {
        c = static_cast<char>(random());
    }
    ProfileDocument document(garbage);
    EXPECT_FALSE(document.Find("vesk test", "key"));
    EXPECT_TRUE(document.Set("vesk test", "key", "value"));
    EXPECT_EQ(ValueOr(document, "vesk test", "key"), "value");
    EXPECT_EQ(document.Text().substr(0, garbage.size()), garbage);

    // Extremely long lines and sections.
    const std::string longLine(300000, 'k');
    ProfileDocument longDocument("[" + longLine + "]\n" + longLine + "=" + longLine + "\n");
    EXPECT_EQ(ValueOr(longDocument, longLine, longLine), longLine);
}

TEST(ProfileInt, SignedDecimalUpToTheFirstOtherCharacterModulo32Bits) {
    EXPECT_EQ(ParseProfileInt("-1"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseProfileInt("-2147483648"), 0x80000000u);
    EXPECT_EQ(ParseProfileInt("4294967295"), 0xFFFFFFFFu);
    EXPECT_EQ(ParseProfileInt("4294967296"), 0u);
    EXPECT_EQ(ParseProfileInt("12abc"), 12u);
    EXPECT_EQ(ParseProfileInt("  +42 "), 42u);
    EXPECT_EQ(ParseProfileInt("abc"), 0u);
    EXPECT_EQ(ParseProfileInt("-"), 0u);
    EXPECT_EQ(ParseProfileInt("- 5"), 0u);
    EXPECT_EQ(ParseProfileInt("0x10"), 0u);
    EXPECT_EQ(ParseProfileInt("007"), 7u);
}

}  // namespace
