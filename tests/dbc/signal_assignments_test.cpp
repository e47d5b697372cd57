// Signal values as text: what --send, the settings file and the send dialog share.
#include "dbc/signal_assignments.h"

#include <gtest/gtest.h>

#include <tuple>

namespace {

std::string Show(const dbc::SignalAssignments& a) {
    std::string s = a.message + ":";
    for (const dbc::SignalAssignment& v : a.values) {
        char number[32];
        std::snprintf(number, sizeof number, "%g", v.physical);
        // Appended piece by piece: GCC 12 sees an overlap in the chain of temporaries that is
        // not there (-Wrestrict) when it builds for Windows.
        s += ' ';
        s += v.signal;
        if (v.label.empty()) {
            s += '=';
            s += number;
        } else {
            s += "='";
            s += v.label;
            s += '\'';
        }
    }
    return s;
}

TEST(SignalAssignments, TextsReadAsTheirMessageAndValuesAndWriteBackAsRead) {
    struct Case {
        const char* text;
        const char* read;     // empty: refused
        const char* refusal;  // part of the German text
        const char* written;  // FormatSignalValues of what was read
    };
    const Case cases[] = {
        {"Motor Drehzahl=1200 Gang=Rückwärts", "Motor: Drehzahl=1200 Gang='Rückwärts'", "",
         "Drehzahl=1200 Gang=Rückwärts"},
        {"  Motor\tTemp=-2,5  Modus=\"Stufe 2\" ", "Motor: Temp=-2.5 Modus='Stufe 2'", "",
         "Temp=-2.5 Modus=\"Stufe 2\""},
        {"Motor Gang=\"3\" X=+1e3 Y=0.1", "Motor: Gang='3' X=1000 Y=0.1", "",
         "Gang=\"3\" X=1000 Y=0.1"},
        {"0x18FEF100", "0x18FEF100:", "", ""},
        {"Motor Drehzahl", "", "Nach \"Drehzahl\" fehlt \"=WERT\"", ""},
        {"Motor Drehzahl=", "", "Der Wert von \"Drehzahl\" ist leer", ""},
        {"Motor =5", "", "fehlt \"=WERT\"", ""},
        {"Motor Modus=\"Stufe", "", "fehlt das schließende", ""},
        {"Drehzahl=5", "", "fehlt der Name der Botschaft", ""},
        {"", "", "fehlt der Name der Botschaft", ""},
    };
    for (const Case& c : cases) {
        std::string error;
        const auto read = dbc::ParseSignalAssignments(c.text, error);
        if (*c.read == '\0') {
            EXPECT_FALSE(read) << c.text;
            EXPECT_NE(error.find(c.refusal), std::string::npos) << c.text << ": " << error;
            continue;
        }
        ASSERT_TRUE(read) << c.text << ": " << error;
        EXPECT_EQ(Show(*read), c.read) << c.text;
        EXPECT_EQ(dbc::FormatSignalValues(read->values), c.written) << c.text;
        const auto again = dbc::ParseSignalValues(c.written, error);
        ASSERT_TRUE(again) << c.written;
        EXPECT_EQ(Show({read->message, *again}), c.read) << c.written;
    }
}

TEST(SignalAssignments, AMessageIsFoundByNameSymbolOrIdentifierInTheFirstDatabase) {
    dbc::Database first, second;
    for (auto [db, id, extended, name, symbol] :
         {std::tuple{&first, 0x123u, false, "Motor", "MOT"},
          std::tuple{&second, 0x123u, true, "Ext", "Ext"},
          std::tuple{&second, 0x124u, false, "Motor", "Motor2"}}) {
        db->messages.emplace_back();
        db->messages.back().id = id;
        db->messages.back().extended = extended;
        db->messages.back().name = name;
        db->messages.back().symbol = symbol;
    }
    const dbc::Database* both[] = {&first, &second};
    const dbc::Database* extOnly[] = {&second};
    // name, what both find, what the second alone finds ("" none)
    const char* cases[][3] = {{"MOT", "Motor", ""},      {"Motor2", "Motor", "Motor"},
                              {"0x123", "Motor", "Ext"}, {"0x124", "Motor", "Motor"},
                              {"0x12g", "", ""},         {"Gang", "", ""}};
    for (const auto& c : cases) {
        for (int i = 0; i < 2; ++i) {
            const dbc::Message* m =
                i == 0 ? dbc::FindMessageByText(both, c[0]) : dbc::FindMessageByText(extOnly, c[0]);
            EXPECT_EQ(m ? m->name : "", c[1 + i]) << c[0] << " " << i;
        }
    }
}

}  // namespace
