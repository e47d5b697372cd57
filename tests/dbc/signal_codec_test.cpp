#include <gtest/gtest.h>

#include <vector>

#include "dbc/dbc_reader.h"
#include "dbc/decoded_csv.h"
#include "dbc/signal_decoder.h"
#include "dbc/signal_encoder.h"

namespace {

dbc::Message Read(const std::string& text) {
    dbc::ReadResult r = dbc::ParseDbc(text, "t.dbc");
    EXPECT_TRUE(r.database) << r.error;
    return r.database ? r.database->messages.at(0) : dbc::Message{};
}

std::vector<dbc::DecodedSignal> DecodeAll(const dbc::Message& m, std::vector<std::uint8_t> data) {
    std::vector<dbc::DecodedSignal> out(m.signals.size());
    dbc::Decode(m, data, out);
    return out;
}

const std::vector<std::uint8_t> kPayload = {0x12, 0x34, 0xFE, 0xDC, 0xBC, 0x0A, 0x05, 0x80};

TEST(SignalCodec, DecodesTheWorkedCaseAndAShortFrame) {
    const dbc::Message m = Read(R"(BO_ 1 M: 8 X
 SG_ A : 7|12@0+ (1,0) [0|0] "" X
 SG_ B : 23|12@0- (0.5,-10) [0|0] "" X
 SG_ C : 50|5@0+ (1,0) [0|0] "" X
 SG_ D : 32|12@1+ (1,0) [0|0] "" X
)");
    const struct {
        std::int64_t raw;
        double value;
    } expected[] = {{291, 291}, {-19, -19.5}, {22, 22}, {2748, 2748}};
    const auto full = DecodeAll(m, kPayload);
    const auto cut = DecodeAll(m, {0x12, 0x34, 0xFE, 0xDC});
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(full[i].state, dbc::SignalState::kValue);
        EXPECT_EQ(static_cast<std::int64_t>(full[i].raw), expected[i].raw) << i;
        EXPECT_EQ(full[i].value, expected[i].value) << i;
        EXPECT_EQ(cut[i].state, i < 2 ? dbc::SignalState::kValue : dbc::SignalState::kShortFrame);
    }
}

// Top selects Sub at 1; Sub selects X at 3-5 and 7; Y is Top's at 0 and 2-3; Old is Top's m2.
constexpr const char* kMultiplexed = R"(BO_ 1 M: 8 X
 SG_ Top M : 0|2@1+ (1,0) [0|0] "" X
 SG_ Sub m1M : 8|4@1+ (1,0) [0|0] "" X
 SG_ X m3 : 16|8@1+ (1,0) [0|0] "" X
 SG_ Y m0 : 24|8@1+ (1,0) [0|0] "" X
 SG_ Old m2 : 32|8@1+ (1,0) [0|0] "" X
SG_MUL_VAL_ 1 Sub Top 1-1;
SG_MUL_VAL_ 1 X Sub 3-5, 7-7;
SG_MUL_VAL_ 1 Y Top 0-0, 2-3;
)";

TEST(SignalCodec, MultiplexersChooseSignalsDownTheChain) {
    const dbc::Message m = Read(kMultiplexed);
    const struct {
        std::uint8_t top, sub;
        std::string present;  // one letter per signal with a value: T S X Y O
    } cases[] = {{1, 3, "TSX"}, {1, 5, "TSX"}, {1, 6, "TS"}, {1, 7, "TSX"},
                 {0, 3, "TY"},  {2, 3, "TYO"}, {3, 4, "TY"}};
    for (const auto& c : cases) {
        std::string present;
        const auto d = DecodeAll(m, {c.top, c.sub, 0, 0, 0, 0, 0, 0});
        for (std::size_t i = 0; i < d.size(); ++i) {
            if (d[i].state == dbc::SignalState::kValue)
                present += m.signals[i].symbol[0];
        }
        EXPECT_EQ(present, c.present) << int(c.top) << " " << int(c.sub);
    }
}

TEST(SignalCodec, PhysicalToRawRoundsTiesAwayAndRefusesWhatDoesNotFit) {
    const dbc::Message m = Read(R"(BO_ 1 M: 8 X
 SG_ U : 0|8@1+ (1,0) [0|0] "" X
 SG_ S : 8|8@1- (0.5,0) [0|0] "" X
 SG_ Drehzahl : 16|8@1+ (1,0) [0|255] "" X
)");
    const struct {
        int signal;
        double physical;
        std::optional<std::uint64_t> raw;
        std::string error;
    } cases[] = {
        {0, 2.5, 3, ""},
        {0, 3.5, 4, ""},
        {0, 255.4, 255, ""},
        {0, 255.5, std::nullopt,
         "Wert 255.5 für Signal \"U\" passt nicht in 8 Bits (Rohwert 0 … 255)."},
        {0, -0.6, std::nullopt,
         "Wert -0.6 für Signal \"U\" passt nicht in 8 Bits (Rohwert 0 … 255)."},
        {1, -1.25, static_cast<std::uint64_t>(-3), ""},
        {1, -64, static_cast<std::uint64_t>(-128), ""},
        {1, 64, std::nullopt,
         "Wert 64 für Signal \"S\" passt nicht in 8 Bits (Rohwert -128 … 127)."},
        {2, 300, std::nullopt, "Wert 300 für Signal \"Drehzahl\" außerhalb des Bereichs 0 … 255."},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_EQ(dbc::PhysicalToRaw(m.signals[c.signal], c.physical, error), c.raw) << c.physical;
        EXPECT_EQ(error, c.error);
    }
}

TEST(SignalCodec, EncodesAMessageWithStartValuesLabelsAndMultiplexers) {
    dbc::Message m = Read(std::string(kMultiplexed) + R"(
BA_DEF_ SG_ "GenSigStartValue" INT 0 255;
BA_ "GenSigStartValue" SG_ 1 X 170;
VAL_ 1 Sub 3 "Drei";
)");
    const struct {
        std::vector<dbc::SignalValue> values;
        std::string bytes;  // hex, or the error
    } cases[] = {
        {{{"Top", 1}, {"Sub", "Drei"}}, "0103AA0000000000"},
        {{{"Top", 1}, {"Sub", 3}, {"X", 5}}, "0103050000000000"},
        {{{"Top", 2}, {"Y", 9}}, "0200000900000000"},
        {{{"Top", 2}, {"X", 5}},
         "Signal \"X\" wird beim gegebenen Wert von \"Sub\" nicht gesendet."},
        {{{"Sub", "Vier"}}, "Signal \"Sub\" kennt den Wert \"Vier\" nicht."},
        {{{"Nichts", 1}}, "Botschaft \"M\" hat kein Signal \"Nichts\"."},
    };
    for (const auto& c : cases) {
        const dbc::EncodeResult r = dbc::Encode(m, c.values);
        std::string got = r.error;
        if (r.frame) {
            char hex[3];
            for (int i = 0; i < r.frame->length; ++i) {
                std::snprintf(hex, sizeof hex, "%02X", r.frame->data[i]);
                got += hex;
            }
        }
        EXPECT_EQ(got, c.bytes);
    }
}

TEST(SignalCodec, CsvLines) {
    const dbc::Message m = Read(R"(BO_ 2566914047 Motor: 8 X
 SG_ B : 23|12@0- (0.5,-10) [0|0] "km,h" X
VAL_ 2566914047 B -19 "sagt \"nein\"";
)");
    std::string out;
    dbc::AppendCsvLine(out, 12'000'250'400, m.id, m.extended, m, m.signals[0],
                       DecodeAll(m, kPayload)[0]);
    dbc::AppendCsvLine(out, 5'000, m.id, m.extended, m, m.signals[0], DecodeAll(m, {1})[0]);
    EXPECT_EQ(dbc::CsvHeader(), "time,id,extended,message,signal,raw,value,unit,label");
    EXPECT_EQ(out,
              "12.000250,18FFFFFF,1,Motor,B,-19,-19.5,\"km,h\",\"sagt \"\"nein\"\"\"\n"
              "0.000005,18FFFFFF,1,Motor,B,,,\"km,h\",fehlt: Rahmen zu kurz\n");
}

}  // namespace
