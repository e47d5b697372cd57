#include "dbc/database_set.h"

#include <gtest/gtest.h>

#include "dbc/dbc_reader.h"

namespace {

std::shared_ptr<const dbc::Database> Read(const std::string& text) {
    dbc::ReadResult r = dbc::ParseDbc(text, "t.dbc");
    EXPECT_TRUE(r.database) << r.error;
    return std::make_shared<const dbc::Database>(std::move(*r.database));
}

TEST(DatabaseSet, FindsByIdentifierFormatAndJ1939Group) {
    dbc::DatabaseSet set;
    set.Add(Read("BO_ 291 Std: 8 X\nBO_ 2147483939 Ext: 8 X\nBO_ 2566844672 Plain: 8 X\n"));
    set.Add(
        Read("BA_DEF_ \"ProtocolType\" STRING;\nBA_ \"ProtocolType\" \"J1939\";\n"
             "BO_ 291 Later: 8 X\nBO_ 2364539904 Eec1: 8 X\nBO_ 2565472256 Request: 8 X\n"));
    const struct {
        std::uint32_t id;
        bool extended;
        const char* found;  // null: none
    } cases[] = {
        {0x123, false, "Std"},                                      // the first database wins
        {0x123, true, "Ext"},                                       // same number, other format
        {0x124, false, nullptr},       {0x0CF00400, true, "Eec1"},  // exact
        {0x18F004FE, true, "Eec1"},     // PDU2: other priority and source
        {0x18EA21FE, true, "Request"},  // PDU1: other destination and source
        {0x18EB21FE, true, nullptr},    // another group
        {0x18FEF200, true, nullptr},    // the plain database does not match by group
        {0x18FEF100, true, "Plain"},
    };
    for (const auto& c : cases) {
        const dbc::MessageMatch match = set.Find(c.id, c.extended);
        EXPECT_EQ(match.message ? match.message->name : "-", c.found ? c.found : "-")
            << std::hex << c.id;
    }
}

}  // namespace
