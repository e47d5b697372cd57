// Signal values as text: what --send, the settings file and the send dialog share.
#include "dbc/signal_assignments.h"

#include <gtest/gtest.h>

namespace {

std::string Show(const dbc::SignalAssignments& a) {
    std::string s = a.message + ":";
    for (const dbc::SignalAssignment& v : a.values) {
        char number[32];
        std::snprintf(number, sizeof number, "%g", v.physical);
        s += " " + v.signal + (v.label.empty() ? "=" + std::string(number) : "='" + v.label + "'");
    }
    return s;
}

TEST(SignalAssignments, TextsReadAsTheirMessageAndValuesAndWriteBackAsRead) {
    struct Case {
        const char* text;
        const char* read;       // empty: refused
        const char* refusal;    // part of the German text
        const char* written;    // FormatSignalValues of what was read
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
    const auto message = [](std::uint32_t id, bool extended, const char* name,
                            const char* symbol) {
        dbc::Message m;
        m.id = id;
        m.extended = extended;
        m.name = name;
        m.symbol = symbol;
        return m;
    };
    dbc::Database first, second;
    first.messages.push_back(message(0x123, false, "Motor", "MOT"));
    second.messages.push_back(message(0x123, true, "Ext", "Ext"));
    second.messages.push_back(message(0x124, false, "Motor", "Motor2"));
    const dbc::Database* both[] = {&first, &second};
    struct Case {
        const char* text;
        const char* found;  // nullptr: none
    };
    const Case cases[] = {{"Motor", "Motor"}, {"MOT", "Motor"}, {"Motor2", "Motor"},
                          {"0x123", "Motor"}, {"0x124", "Motor"}, {"0x7ff", nullptr},
                          {"0x12g", nullptr}, {"Gang", nullptr}};
    for (const Case& c : cases) {
        const dbc::Message* m = dbc::FindMessageByText(both, c.text);
        if (!c.found) {
            EXPECT_EQ(m, nullptr) << c.text;
            continue;
        }
        ASSERT_NE(m, nullptr) << c.text;
        EXPECT_EQ(m->name, c.found) << c.text;
    }
    const dbc::Database* extOnly[] = {&second};
    ASSERT_NE(dbc::FindMessageByText(extOnly, "0x123"), nullptr);
    EXPECT_EQ(dbc::FindMessageByText(extOnly, "0x123")->name, "Ext");
}

}  // namespace
