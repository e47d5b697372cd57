#include "dbc/dbc_reader.h"

#include <gtest/gtest.h>

#include <clocale>
#include <locale>
#include <stdexcept>
#include <string>

namespace {

using dbc::ParseDbc;

// Sections out of the usual order: references come before what they name.
constexpr const char* kMotor = R"(VERSION "1.0"
CM_ SG_ 256 Drehzahl "Umdrehungen \"pro\"
Minute";
BA_DEF_ BO_ "GenMsgCycleTime" INT 0 10000;
BA_DEF_ SG_ "GenSigStartValue" FLOAT 0 100;
BA_DEF_ SG_ "SystemSignalLongSymbol" STRING;
BA_DEF_ "ProtocolType" STRING;
BA_DEF_DEF_ "GenMsgCycleTime" 50;
NS_ :
	CM_
	BA_
BS_:
BU_: Motor Anzeige
BO_ 256 Motor: 8 Motor
 SG_ Drehzahl : 7|12@0+ (0.25,0) [0|1000] "U/min" Anzeige,Motor
 SG_ Temp : 23|8@1- (1,-40) [0|0] "°C" Anzeige
BO_ 2147483904 MotorExt: 4 Motor
 SG_ Wert : 0|32@1- (1,0) [0|0] "" Anzeige
BO_ 2566914047 Pgn: 8 Motor
FOO_ irgendwas;
BA_ "GenMsgCycleTime" BO_ 2147483904 100;
BA_ "GenSigStartValue" SG_ 256 Temp 42;
BA_ "SystemSignalLongSymbol" SG_ 256 Temp "Temperatur_des_Kuehlwassers";
BA_ "ProtocolType" "J1939";
VAL_ 256 Temp -1 "Fehler" 0 "Null";
SIG_VALTYPE_ 2147483904 Wert : 1;
SIG_GROUP_ 256 Gruppe 1 : Drehzahl Temp;
BA_ "Unbekannt" BO_ 256 1;
CM_ BO_ 999 "weg";
BO_ 3221225472 Frei: 0 X
 SG_ Lose : 0|8@1+ (1,0) [0|0] "" X
)";

TEST(DbcReader, ReadsTheModelWhateverTheOrder) {
    const dbc::ReadResult r = ParseDbc(kMotor, "motor.dbc");
    ASSERT_TRUE(r.database) << r.error;
    const dbc::Database& db = *r.database;
    ASSERT_EQ(db.messages.size(), 3u);
    const dbc::Message& motor = db.messages[0];
    EXPECT_EQ(motor.cycleTimeMs, 50);  // the default
    const dbc::Signal& speed = motor.signals[0];
    EXPECT_EQ(speed.byteOrder, dbc::ByteOrder::kMotorola);
    EXPECT_EQ(speed.comment, "Umdrehungen \"pro\"\nMinute");
    EXPECT_EQ(speed.receivers, (std::vector<std::string>{"Anzeige", "Motor"}));
    EXPECT_EQ(speed.maximum, 1000);
    const dbc::Signal& temp = motor.signals[1];
    EXPECT_EQ(temp.name, "Temperatur_des_Kuehlwassers");
    EXPECT_EQ(temp.symbol, "Temp");
    EXPECT_TRUE(temp.isSigned);
    EXPECT_EQ(temp.offset, -40);
    EXPECT_EQ(temp.unit, "°C");
    EXPECT_EQ(temp.startValue, 42u);
    ASSERT_NE(temp.Label(~std::uint64_t{0}), nullptr);
    EXPECT_EQ(*temp.Label(~std::uint64_t{0}), "Fehler");
    ASSERT_EQ(motor.groups.size(), 1u);
    EXPECT_EQ(motor.groups[0].signals.size(), 2u);
    EXPECT_EQ(db.FindMessage(256, false), &motor);
    ASSERT_NE(db.FindMessage(256, true), nullptr);
    EXPECT_EQ(db.FindMessage(256, true)->cycleTimeMs, 100);
    EXPECT_EQ(db.FindMessage(256, true)->signals[0].valueType, dbc::ValueType::kFloat32);
    EXPECT_NE(db.FindMessage(0x18FFFFFF, true), nullptr);
    EXPECT_TRUE(db.IsJ1939());
    EXPECT_EQ(r.warnings,
              (std::vector<std::string>{
                  "motor.dbc, Zeile 20: unbekannter Abschnitt \"FOO_\" übersprungen.",
                  "motor.dbc, Zeile 29: CM_ nennt die unbekannte Botschaft 999; übersprungen.",
                  "motor.dbc, Zeile 28: Attribut \"Unbekannt\" ist nicht definiert (BA_DEF_ "
                  "fehlt); übersprungen."}));
}

TEST(DbcReader, NumbersIgnoreTheUsersLocale) {
    // A decimal comma in the C++ and the C locale where the runtime has named C++ locales
    // (Linux), in the C locale where it has only the classic one (Windows, by its own names).
    const std::locale before = std::locale();
    const std::string beforeC = std::setlocale(LC_ALL, nullptr);
    try {
        std::locale::global(std::locale("de_DE.UTF-8"));
    } catch (const std::runtime_error&) {
        if (std::setlocale(LC_ALL, "German_Germany.1252") == nullptr &&
            std::setlocale(LC_ALL, "de-DE") == nullptr)
            GTEST_SKIP() << "no German locale";
    }
    const dbc::ReadResult r =
        ParseDbc("BO_ 1 M: 8 X\n SG_ S : 0|8@1+ (0.01,-1.5E+1) [0|2.5] \"\" X\n", "m.dbc");
    std::locale::global(before);
    std::setlocale(LC_ALL, beforeC.c_str());
    ASSERT_TRUE(r.database) << r.error;
    const dbc::Signal& s = r.database->messages[0].signals[0];
    EXPECT_EQ(s.factor, 0.01);
    EXPECT_EQ(s.offset, -15);
    EXPECT_EQ(s.maximum, 2.5);
}

TEST(DbcReader, TextBecomesUtf8) {
    const struct {
        std::string unit;  // as the file holds it
        std::string expected;
    } cases[] = {
        {"km/h \xC2\xB5", "km/h µ"},  // valid UTF-8
        {"\xB0"
         "C \x80 \x9F \x81",
         "°C € Ÿ \xC2\x81"},  // cp1252, its 0x80-0x9F range too
        {"\xC3", "Ã"},        // a cut UTF-8 sequence: cp1252
    };
    for (const auto& c : cases) {
        for (const std::string bom : {"", "\xEF\xBB\xBF"}) {
            const auto r = ParseDbc(
                bom + "BO_ 1 M: 8 X\n SG_ S : 0|8@1+ (1,0) [0|0] \"" + c.unit + "\" X\n", "m.dbc");
            ASSERT_TRUE(r.database) << r.error;
            EXPECT_EQ(r.database->messages[0].signals[0].unit, c.expected) << c.unit;
        }
    }
}

TEST(DbcReader, RefusesWhatCannotBeReadWithFileAndLine) {
    const std::string msg = "VERSION \"\"\nBO_ 100 Motor: 8 X\n";
    const struct {
        std::string body;
        std::string error;
    } cases[] = {
        {" SG_ Drehzahl : 60|8@1+ (1,0) [0|0] \"\" X\n",
         "motor.dbc, Zeile 3: Signal \"Drehzahl\" passt nicht in die 8 Bytes der Botschaft "
         "\"Motor\"."},
        {" SG_ Drehzahl : 59|8@0+ (1,0) [0|0] \"\" X\n",  // Motorola runs past byte 7
         "motor.dbc, Zeile 3: Signal \"Drehzahl\" passt nicht in die 8 Bytes der Botschaft "
         "\"Motor\"."},
        {" SG_ A M : 0|4@1+ (1,0) [0|0] \"\" X\n SG_ B M : 4|4@1+ (1,0) [0|0] \"\" X\n"
         " SG_ C m1 : 8|8@1+ (1,0) [0|0] \"\" X\n",
         "motor.dbc, Zeile 5: Botschaft \"Motor\" hat mehrere Multiplexer (\"A\", \"B\"); ohne "
         "SG_MUL_VAL_ ist nicht eindeutig, welcher Signal \"C\" wählt."},
        {" SG_ C m1 : 8|8@1+ (1,0) [0|0] \"\" X\n",
         "motor.dbc, Zeile 3: Signal \"C\" ist gemultiplext, aber Botschaft \"Motor\" hat keinen "
         "Multiplexer (M)."},
        {" SG_ Drehzahl : 7|12@0+ (0.5,-10 [0|0] \"\" X\n",
         "motor.dbc, Zeile 3: SG_-Zeile fehlerhaft: \")\" erwartet statt \"[\"."},
        {" SG_ Drehzahl : 7|12@0+ (1,0) [0|0]\nBO_ 2 N: 8 X\n",
         "motor.dbc, Zeile 3: SG_-Zeile fehlerhaft: Einheit erwartet statt Zeilenende."},
        {"CM_ BO_ 100 \"offen;\n",
         "motor.dbc, Zeile 3: Zeichenkette ohne schließendes "
         "Anführungszeichen."},
        {"BO_ 100 Zwei: 8 X\n",
         "motor.dbc, Zeile 3: Botschaft \"Zwei\" hat dieselbe Kennung wie "
         "\"Motor\" (Zeile 2)."},
    };
    for (const auto& c : cases) {
        const dbc::ReadResult r = ParseDbc(msg + c.body, "motor.dbc");
        EXPECT_FALSE(r.database) << c.body;
        EXPECT_EQ(r.error, c.error);
    }
}

}  // namespace
