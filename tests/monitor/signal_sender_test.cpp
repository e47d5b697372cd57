// Database messages sent by their signals on a channel opened on a scripted adapter.
#include "monitor/signal_sender.h"

#include <gtest/gtest.h>

#include <memory>
#include <mutex>

#include "dbc/dbc_reader.h"
#include "tests/support/scripted_device.h"

namespace {

constexpr const char* kDatabase =
    "BO_ 291 Motor: 2 X\n"
    " SG_ Drehzahl : 0|8@1+ (10,0) [0|2000] \"1/min\" X\n"
    " SG_ Gang : 8|4@1+ (1,0) [0|0] \"\" X\n"
    "BO_ 2566844672 Ext: 1 X\n"
    " SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n"
    "BO_ 1024 Lang: 12 X\n"
    " SG_ S : 0|8@1+ (1,0) [0|0] \"\" X\n"
    "VAL_ 291 Gang 2 \"Fahrt\" ;\n";

class SignalSenderTest : public testing::Test {
  protected:
    void SetUp() override {
        auto read = dbc::ParseDbc(kDatabase, "t.dbc");
        ASSERT_TRUE(read.database) << read.error;
        database = std::make_shared<const dbc::Database>(std::move(*read.database));
        set.Add(database);
        channel = CanCreateChannel(nullptr, nullptr, nullptr);
    }
    void TearDown() override {
        sender.StopAll();
        CanDestroyChannel(channel);
    }
    void Open(int mode) {
        int error = 0;
        ASSERT_EQ(CanOpen(channel, device.path(), mode, 0, &error), 1);
        device->ClearRequests();
    }
    NamedSend Named(const char* text) {
        std::string error;
        auto send = FindNamedSend(set, text, error);
        EXPECT_TRUE(send) << text << ": " << error;
        return send ? *send : NamedSend{};
    }

    std::shared_ptr<const dbc::Database> database;
    dbc::DatabaseSet set;
    testsupport::RegisteredDevice device;
    CanChannel* channel = nullptr;
    SignalSender sender{channel};
};

// Each refusal says why in German and sends nothing.
TEST_F(SignalSenderTest, RefusalsSayWhyAndSendNothing) {
    struct Case {
        int mode;  // -1: channel closed
        const char* text;
        std::uint32_t cycleMs;  // 0 with once: sent once
        bool cyclic;
        const char* says;
    };
    const Case cases[] = {
        {-1, "Motor Drehzahl=100", 0, false, "nicht geöffnet"},
        {CAN_MODE_PELICAN, "Lang S=1", 0, false, "hat 12 Bytes; ein CAN-Frame trägt höchstens 8"},
        {CAN_MODE_BASIC, "Ext S=1", 0, false, "29-Bit-Identifier; im Modus Basic CAN"},
        {CAN_MODE_PELICAN, "Motor Gang=16", 0, false, "passt nicht in 4 Bits"},
        {CAN_MODE_PELICAN, "Motor Drehzahl=100", 0, true, "Zykluszeit 0 ms liegt außerhalb"},
        {CAN_MODE_PELICAN, "Motor Drehzahl=100", 3'600'001, true, "außerhalb von 1 … 3600000"},
    };
    for (const Case& c : cases) {
        if (c.mode >= 0)
            Open(c.mode);
        const NamedSend send = Named(c.text);
        ASSERT_NE(send.message, nullptr);
        std::string error;
        const bool sent = c.cyclic ? sender.SendCyclic(*send.message, send.values, c.cycleMs, error)
                                   : sender.SendOnce(*send.message, send.values, error);
        EXPECT_FALSE(sent) << c.text;
        EXPECT_NE(error.find(c.says), std::string::npos) << c.text << ": " << error;
        EXPECT_EQ(device->Count(IOCTL_CAN_WRITE), 0u) << c.text;
        EXPECT_TRUE(sender.Jobs().empty()) << c.text;
        CanClose(channel);
    }
    std::string error;
    EXPECT_FALSE(FindNamedSend(set, "Bremse S=1", error));
    EXPECT_EQ(error, "Keine geladene Datenbank kennt die Botschaft \"Bremse\".");
}

// The record carries the message's own format and length; a cyclic message's job takes new
// values and a new cycle time under its key (a refused value leaves it as it was); jobs are
// bounded and their keys stay clear of the transmit dialog's.
TEST_F(SignalSenderTest, FramesKeepTheMessageFormatAndJobsTakeNewValuesUnderTheirKey) {
    Open(CAN_MODE_PELICAN);
    std::string error;
    const NamedSend ext = Named("Ext S=7");
    ASSERT_TRUE(sender.SendOnce(*ext.message, ext.values, error)) << error;
    const NamedSend motor = Named("Motor Drehzahl=1204 Gang=Fahrt");
    ASSERT_TRUE(sender.SendCyclic(*motor.message, motor.values, 1000, error)) << error;
    ASSERT_TRUE(device->WaitUntil([&] { return device->Count(IOCTL_CAN_WRITE) >= 2; }));
    const std::vector<CanMsg> writes = device->Writes();
    ASSERT_EQ(writes.size(), 2u);
    EXPECT_EQ(writes[0].type, CAN_EV_TX_EXT);
    EXPECT_EQ(writes[0].id, 0x18FEF100u);
    EXPECT_EQ(writes[0].dlc, 1);
    EXPECT_EQ(writes[0].data[0], 7);
    EXPECT_EQ(writes[1].type, CAN_EV_TX_STD);
    EXPECT_EQ(writes[1].id, 0x123u);
    EXPECT_EQ(writes[1].dlc, 2);
    EXPECT_EQ(writes[1].data[0], 120);  // 1204 / 10 rounded
    EXPECT_EQ(writes[1].data[1], 2);

    ASSERT_EQ(sender.Jobs().size(), 1u);
    const int key = sender.Jobs()[0].key;
    EXPECT_EQ(key, kSignalJobFirstKey);
    const NamedSend refused = Named("Motor Drehzahl=5000");
    EXPECT_FALSE(sender.Update(*refused.message, refused.values, error));
    const NamedSend changed = Named("Motor Drehzahl=15 Gang=3");
    ASSERT_TRUE(sender.SendCyclic(*changed.message, changed.values, 1, error)) << error;
    ASSERT_EQ(sender.Jobs().size(), 1u);
    EXPECT_EQ(sender.Jobs()[0].cycleMs, 1u);
    CyclicJob* job = CanFindCyclic(channel, key);
    EXPECT_EQ(job->interval, 1u);
    {
        std::lock_guard<std::mutex> lock(job->msgLock);
        EXPECT_EQ(job->msg.data[0], 2);  // 15 / 10 rounded away from zero
        EXPECT_EQ(job->msg.data[1], 3);
    }

    // The bound: 63 more messages, each a job of its own.
    dbc::Message many = *ext.message;
    for (int i = 1; i < kMaxSignalJobs; ++i) {
        many.id = 0x1000 + static_cast<std::uint32_t>(i);
        ASSERT_TRUE(sender.SendCyclic(many, {}, 1000, error)) << i << error;
    }
    many.id = 0x2000;
    EXPECT_FALSE(sender.SendCyclic(many, {}, 1000, error));
    EXPECT_NE(error.find("Es laufen schon 64 zyklische Botschaften"), std::string::npos) << error;
    EXPECT_EQ(sender.Jobs().back().key, kSignalJobFirstKey + kMaxSignalJobs - 1);
    EXPECT_EQ(CanFindCyclic(channel, 1), nullptr);
}

}  // namespace
