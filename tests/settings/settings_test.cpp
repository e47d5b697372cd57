#include "settings/settings.h"

#include <gtest/gtest.h>

#include "settings/private_profile.h"
#include "tests/settings/scratch_folder.h"

using settings_test::NewFileText;
using settings_test::ReadAll;
using settings_test::ScratchFolder;
using settings_test::WriteAll;

namespace {

TEST(Settings, MissingFileLoadsEveryDefault) {
    ScratchFolder folder;
    const auto options = settings::LoadOptions();
    EXPECT_EQ(options.acceptanceCode, 0xFFFFFFFFu);
    EXPECT_EQ(options.acceptanceMask, 0xFFFFFFFFu);
    EXPECT_EQ(options.softAcceptanceCode, 0u);
    EXPECT_EQ(options.softAcceptanceMask, 0u);
    EXPECT_EQ(options.baudrate, 20000);
    for (const auto& reply : settings::LoadReplies()) {
        EXPECT_EQ(reply.triggerId, 0u);
        EXPECT_EQ(reply.replyId, 0u);
        EXPECT_EQ(reply.triggerData, "");
        EXPECT_EQ(reply.replyData, "");
    }
    const auto send = settings::LoadSendSettings();
    EXPECT_EQ(send.wait, 50);
    EXPECT_EQ(send.chk, (std::array<int, 4>{0, 0, 0, 0}));
    for (std::size_t i = 0; i < send.id.size(); ++i) {
        EXPECT_EQ(send.id[i], "");
        EXPECT_EQ(send.msg[i], "");
    }
    EXPECT_FALSE(std::filesystem::exists(folder.File())) << "loading must not create the file";
}

TEST(Settings, OptionsAreWrittenAsSigned32BitDecimalAndReadBack) {
    ScratchFolder folder;
    EXPECT_TRUE(settings::SaveAcceptance(0xFFFFFFFF, 0x80000000));
    EXPECT_TRUE(settings::SaveSoftAcceptance(0x7FF, 0x1FFFFFFF));
    EXPECT_TRUE(settings::SaveBaudrate(-5));
    EXPECT_EQ(ReadAll(folder.File()), NewFileText("[Options]\n"
                                                  "AcceptanceCode=-1\n"
                                                  "AcceptanceMask=-2147483648\n"
                                                  "SoftAcceptanceCode=2047\n"
                                                  "SoftAcceptanceMask=536870911\n"
                                                  "Baudrate=-5\n"));
    const auto options = settings::LoadOptions();
    EXPECT_EQ(options.acceptanceCode, 0xFFFFFFFFu);
    EXPECT_EQ(options.acceptanceMask, 0x80000000u);
    EXPECT_EQ(options.softAcceptanceCode, 0x7FFu);
    EXPECT_EQ(options.softAcceptanceMask, 0x1FFFFFFFu);
    EXPECT_EQ(options.baudrate, -5);

    EXPECT_TRUE(settings::SaveBaudrate(1000000));
    EXPECT_EQ(settings::LoadOptions().baudrate, 1000000);
}

TEST(Settings, RepliesRoundTripWithTextsOfAnyLength) {
    ScratchFolder folder;
    std::array<settings::ReplySettings, 4> replies;
    replies[0] = {0x7FF, "11 22 33", 0x123, "aa bb"};
    replies[1] = {0xFFFFFFFF, std::string(60, '1'), 0x80000000, std::string(300, '2')};
    replies[3] = {5, "", 6, "08"};
    EXPECT_TRUE(settings::SaveReplies(replies));

    EXPECT_EQ(ReadAll(folder.File()), NewFileText("[AutoTriggerIDs]\n0=2047\n1=-1\n2=0\n3=5\n"
                                                  "[AutoIds]\n0=291\n1=-2147483648\n2=0\n3=6\n"
                                                  "[AutoTriggerData]\n0=11 22 33\n1=" +
                                                  std::string(60, '1') +
                                                  "\n2=\n3=\n"
                                                  "[AutoData]\n0=aa bb\n1=" +
                                                  std::string(300, '2') + "\n2=\n3=08\n"));

    const auto loaded = settings::LoadReplies();
    for (std::size_t i = 0; i < replies.size(); ++i) {
        EXPECT_EQ(loaded[i].triggerId, replies[i].triggerId) << i;
        EXPECT_EQ(loaded[i].replyId, replies[i].replyId) << i;
        EXPECT_EQ(loaded[i].triggerData, replies[i].triggerData) << i;
        EXPECT_EQ(loaded[i].replyData, replies[i].replyData) << i;
    }
}

TEST(Settings, SendSettingsWriteAllFifteenKeysInOrderAndReadBackWhole) {
    ScratchFolder folder;
    settings::SendSettings send;
    send.id = {"7ff", "", "123", "1", "2a"};
    send.msg = {"11 22", std::string(500, '3'), "", "ff", "01 02 03"};
    send.wait = 250;
    send.chk = {1, 0, 7, 0};
    EXPECT_TRUE(settings::SaveSendSettings(send));
    EXPECT_EQ(ReadAll(folder.File()),
              NewFileText("[Data]\nId1=7ff\nMsg1=11 22\nId2=\nMsg2=" + std::string(500, '3') +
                          "\nId3=123\nMsg3=\nId4=1\nMsg4=ff\nId5=2a\nMsg5=01 02 03\nWait5=250\n"
                          "Chk1=1\nChk2=0\nChk3=1\nChk4=0\n"));

    const auto loaded = settings::LoadSendSettings();
    EXPECT_EQ(loaded.id, send.id);
    EXPECT_EQ(loaded.msg, send.msg);
    EXPECT_EQ(loaded.wait, 250);
    EXPECT_EQ(loaded.chk, (std::array<int, 4>{1, 0, 1, 0}));
}

TEST(Settings, SavesKeepHandEditedContentAndOnlyTouchTheirKeys) {
    ScratchFolder folder;
    WriteAll(folder.File(),
             "; my adapter\r\n[options]\r\nbaudrate = 500000\r\nColour=blue\r\n\r\n"
             "[Data]\r\nChk2=0\r\nWait5=\r\n");
    EXPECT_EQ(settings::LoadOptions().baudrate, 500000);
    const auto send = settings::LoadSendSettings();
    EXPECT_EQ(send.chk[1], 0);
    EXPECT_EQ(send.wait, 50) << "an empty number reads as its default";

    EXPECT_TRUE(settings::SaveAcceptance(1, 2));
    EXPECT_EQ(ReadAll(folder.File()),
              "; my adapter\r\n[options]\r\nbaudrate = 500000\r\nColour=blue\r\n"
              "AcceptanceCode=1\r\nAcceptanceMask=2\r\n\r\n[Data]\r\nChk2=0\r\nWait5=\r\n");
}

TEST(Settings, ColumnWidthsRoundTripInTheirOwnSectionAndNonsenseReadsAsUnset) {
    ScratchFolder folder;
    WriteAll(folder.File(), "[Options]\nBaudrate=125000\n");
    EXPECT_EQ(settings::LoadColumnWidths(), (std::array<int, 8>{}));
    EXPECT_TRUE(settings::SaveColumnWidths({110, 170, 80, 90, 50, 60, 290, 70}));
    EXPECT_EQ(settings::LoadColumnWidths(),
              (std::array<int, 8>{110, 170, 80, 90, 50, 60, 290, 70}));
    EXPECT_EQ(settings::LoadOptions().baudrate, 125000) << "the other sections stay";

    WriteAll(folder.File(), "[LogColumns]\nWidth0=-5\nWidth1=abc\nWidth2=99999\nWidth3=42\n");
    EXPECT_EQ(settings::LoadColumnWidths(), (std::array<int, 8>{0, 0, 0, 42, 0, 0, 0, 0}));
}

TEST(Settings, GarbageFileLoadsDefaultsAndAFailedSaveReportsIt) {
    ScratchFolder folder;
    WriteAll(folder.File(), std::string("\x01\x02[Opt\xff\n==\n\n[]\n", 15));
    EXPECT_EQ(settings::LoadOptions().acceptanceMask, 0xFFFFFFFFu);
    EXPECT_EQ(settings::LoadReplies()[2].replyData, "");

    std::filesystem::remove(folder.File());
    std::filesystem::create_directory(folder.File());
    EXPECT_FALSE(settings::SaveBaudrate(1));
    EXPECT_FALSE(settings::SaveSendSettings({}));
}

}  // namespace
