// The database layer's costs: reading a large database (about 7 MB, generated here: thousands of
// messages and tens of thousands of signals with comments, attributes and value tables), decoding
// a frame of 8 signals on the receive thread, and the lookup a frame pays whether or not the
// databases define it.
//
//   build/bench/dbc/dbc_bench
#include <benchmark/benchmark.h>

#include <array>
#include <string>

#include "bench/common/allocation_count.h"
#include "dbc/database_set.h"
#include "dbc/dbc_reader.h"
#include "dbc/signal_decoder.h"

namespace {

constexpr int kMessages = 5600;
constexpr int kSignalsPerMessage = 12;

// Laid out the way database editors write: nodes, messages with their signals, then comments,
// attributes and value tables.
std::string GenerateDatabase() {
    std::string text =
        "VERSION \"\"\n\nNS_ :\n\tCM_\n\tBA_DEF_\n\tBA_\n\tVAL_\n\nBS_:\n\n"
        "BU_: Motor Getriebe Anzeige Bremse\n\n";
    std::string tail =
        "BA_DEF_ BO_  \"GenMsgCycleTime\" INT 0 65535;\nBA_DEF_ SG_  \"GenSigStartValue\" FLOAT "
        "0 100000;\nBA_DEF_DEF_  \"GenMsgCycleTime\" 0;\nBA_DEF_DEF_  \"GenSigStartValue\" 0;\n";
    for (int m = 0; m < kMessages; ++m) {
        const std::string id = std::to_string(m < 2000 ? m : (0x80000000u | (0x18FE0000u + m)));
        const std::string name = "Botschaft_" + std::to_string(m);
        text += "BO_ " + id + " " + name + ": 8 Motor\n";
        for (int s = 0; s < kSignalsPerMessage; ++s) {
            const bool intel = s % 3 != 0;
            const int start = intel ? s * 5 % 56 : 7 + 8 * (s % 7);
            text += " SG_ Signal_" + std::to_string(m) + "_" + std::to_string(s) + " : " +
                    std::to_string(start) + "|" + std::to_string(4 + s % 5) + "@" +
                    (intel ? "1" : "0") + (s % 2 ? "-" : "+") +
                    " (0.0625,-40) [-40|4055.9375] \"km/h\" Getriebe,Anzeige\n";
        }
        text += "\n";
        tail += "CM_ BO_ " + id + " \"Botschaft " + std::to_string(m) +
                " des Motorsteuergeraets, zyklisch gesendet\";\n";
        tail += "CM_ SG_ " + id + " Signal_" + std::to_string(m) +
                "_0 \"Fahrzeuggeschwindigkeit aus den Raddrehzahlen berechnet\";\n";
        tail += "BA_ \"GenMsgCycleTime\" BO_ " + id + " 100;\n";
        tail += "BA_ \"GenSigStartValue\" SG_ " + id + " Signal_" + std::to_string(m) + "_1 3;\n";
        tail += "VAL_ " + id + " Signal_" + std::to_string(m) +
                "_2 0 \"Aus\" 1 \"Ein\" 2 \"Fehler\" 3 \"Nicht verfuegbar\" ;\n";
    }
    return text + tail;
}

const std::string& Database() {
    static const std::string text = GenerateDatabase();
    return text;
}

void BM_ReadDatabase(benchmark::State& state) {
    const std::string& text = Database();
    std::size_t signals = 0;
    for (auto _ : state) {
        dbc::ReadResult r = dbc::ParseDbc(text, "bench.dbc");
        if (!r.database)
            state.SkipWithError(r.error.c_str());
        signals = r.database ? r.database->messages.size() * kSignalsPerMessage : 0;
        benchmark::DoNotOptimize(r);
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * text.size()));
    state.counters["MB"] = static_cast<double>(text.size()) / 1e6;
    state.counters["signals"] = static_cast<double>(signals);
}
BENCHMARK(BM_ReadDatabase)->Unit(benchmark::kMillisecond);

constexpr const char* kEightSignals = R"(BO_ 2566914047 Motor: 8 Motor
 SG_ Drehzahl : 7|12@0+ (0.25,0) [0|0] "U/min" X
 SG_ Moment : 23|12@0- (0.5,-10) [0|0] "Nm" X
 SG_ Gang : 50|5@0+ (1,0) [0|0] "" X
 SG_ Temp : 32|12@1+ (0.1,-40) [0|0] "°C" X
 SG_ Status : 44|4@1+ (1,0) [0|0] "" X
 SG_ Last : 56|8@1- (0.5,0) [0|0] "%" X
 SG_ Zaehler : 12|4@1+ (1,0) [0|0] "" X
 SG_ Bremse : 48|2@1+ (1,0) [0|0] "" X
VAL_ 2566914047 Status 0 "Aus" 10 "Bereit" 11 "Fehler";
)";

void BM_DecodeEightSignals(benchmark::State& state) {
    dbc::ReadResult r = dbc::ParseDbc(kEightSignals, "bench.dbc");
    const dbc::Message& m = r.database->messages.at(0);
    const std::array<std::uint8_t, 8> data = {0x12, 0x34, 0xFE, 0xDC, 0xBC, 0x0A, 0x05, 0x80};
    std::array<dbc::DecodedSignal, 8> out;
    const std::uint64_t allocationsBefore = ThreadAllocations();
    for (auto _ : state) {
        benchmark::DoNotOptimize(data);
        benchmark::DoNotOptimize(dbc::Decode(m, data, out));
        benchmark::ClobberMemory();
    }
    state.counters["allocations"] = static_cast<double>(ThreadAllocations() - allocationsBefore);
}
BENCHMARK(BM_DecodeEightSignals);

// Arg 1: a frame the databases define; 0: one they do not.
void BM_FindMessage(benchmark::State& state) {
    dbc::DatabaseSet set;
    set.Add(std::make_shared<const dbc::Database>(*dbc::ParseDbc(Database(), "b.dbc").database));
    const std::uint32_t id = state.range(0) ? 0x18FE0000u + 3000 : 0x18FF0000u + 3000;
    std::uint32_t i = 0;
    const std::uint64_t allocationsBefore = ThreadAllocations();
    for (auto _ : state)
        benchmark::DoNotOptimize(set.Find(id + (i++ & 15), true));
    state.counters["allocations"] = static_cast<double>(ThreadAllocations() - allocationsBefore);
}
BENCHMARK(BM_FindMessage)->Arg(1)->Arg(0);

}  // namespace

BENCHMARK_MAIN();
