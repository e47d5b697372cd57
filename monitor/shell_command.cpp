#include "monitor/shell_command.h"

#include "trace/trace_format.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>
#include <optional>

namespace {

std::string Lower(std::string_view s) {
    std::string r(s);
    std::transform(r.begin(), r.end(), r.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return r;
}

// What the switches have said so far, beyond what goes straight into the command.
struct Parsing {
    ShellCommand cmd;
    std::vector<std::string> plain;  // documents, printer, driver and port, in their order
    bool print = false;
    bool printTo = false;
    bool automation = false;
    bool unregister = false;
    bool registerType = false;
    bool help = false;
    bool loop = false;
    bool headlessOnly = false;  // a switch that belongs to --headless was given

    // The switch being read, as written, and its value: for the error texts.
    std::string name;
    std::string value;

    bool Wrong(const std::string& expected) {
        cmd.error = "Option " + name + ": " + expected + ", nicht " + value;
        return false;
    }
    // A trace file's name must say its format (.log, .asc).
    bool TracePath(std::string& into) {
        if (!trace::FormatForPath(value, cmd.error))
            return false;
        into = value;
        return true;
    }
    // The value as one of `names`, as its index.
    bool Choice(int& into, std::initializer_list<const char*> names, const char* expected) {
        int index = 0;
        for (const char* choice : names) {
            if (Lower(value) == choice) {
                into = index;
                return true;
            }
            ++index;
        }
        return Wrong(expected);
    }
};

// Reads one switch (and its value, for a switch that takes one); false with `cmd.error` set.
using SwitchParser = bool (*)(Parsing&);

struct SwitchRow {
    // The names it goes by, blank-separated; a name written "/x" is also recognised as /x.
    const char* names;
    bool takesValue;
    bool headlessOnly;
    SwitchParser parse;
};

constexpr bool kFlag = false;
constexpr bool kValue = true;
constexpr bool kAnyRun = false;
constexpr bool kHeadless = true;

// One row a switch; the order is that of the error text naming the switches of --headless.
constexpr SwitchRow kSwitches[] = {
    {"/p /print", kFlag, kAnyRun, [](Parsing& p) { return p.print = true; }},
    {"/pt print-to", kFlag, kAnyRun, [](Parsing& p) { return p.printTo = true; }},
    // Shell opening through a conversation: nothing to do here.
    {"/dde", kFlag, kAnyRun, [](Parsing&) { return true; }},
    {"/automation /embedding", kFlag, kAnyRun, [](Parsing& p) { return p.automation = true; }},
    {"/regserver /register", kFlag, kAnyRun, [](Parsing& p) { return p.registerType = true; }},
    {"/unregserver /unregister", kFlag, kAnyRun, [](Parsing& p) { return p.unregister = true; }},
    {"h help /?", kFlag, kAnyRun, [](Parsing& p) { return p.help = true; }},
    {"scenario", kValue, kAnyRun,
     [](Parsing& p) {
         p.cmd.scenario = p.value;
         return true;
     }},
    {"device", kValue, kAnyRun,
     [](Parsing& p) {
         p.cmd.deviceMappings.push_back(p.value);
         return true;
     }},
    {"open-channel", kFlag, kAnyRun, [](Parsing& p) { return p.cmd.openChannel = true; }},
    {"overview", kFlag, kAnyRun, [](Parsing& p) { return p.cmd.showOverview = true; }},
    {"headless", kFlag, kAnyRun, [](Parsing& p) { return p.cmd.headless = true; }},
    {"adapter", kValue, kHeadless,
     [](Parsing& p) {
         return p.Choice(p.cmd.adapter, {"0", "1", "2", "3"}, "0 bis 3");
     }},
    {"mode", kValue, kHeadless,
     [](Parsing& p) {
         return p.Choice(p.cmd.mode, {"basic", "peli"}, "basic oder peli");
     }},
    {"format", kValue, kHeadless,
     [](Parsing& p) {
         return p.Choice(p.cmd.format, {"std", "ext"}, "std oder ext");
     }},
    {"record", kValue, kAnyRun, [](Parsing& p) { return p.TracePath(p.cmd.recordPath); }},
    {"duration", kValue, kHeadless,
     [](Parsing& p) {
         char* end = nullptr;
         const double seconds = std::strtod(p.value.c_str(), &end);
         if (end == p.value.c_str() || *end != '\0' || !(seconds > 0) || seconds > 1e9)
             return p.Wrong("Sekunden größer 0");
         p.cmd.duration = seconds;
         return true;
     }},
    {"play", kValue, kHeadless, [](Parsing& p) { return p.TracePath(p.cmd.playPath); }},
    {"loop", kValue, kHeadless,
     [](Parsing& p) {
         p.loop = true;
         char* end = nullptr;
         const long n = std::strtol(p.value.c_str(), &end, 10);
         if (end == p.value.c_str() || *end != '\0' || n < 0 || n > 1000000)
             return p.Wrong("eine Anzahl ab 0 (0: ohne Ende)");
         p.cmd.playPasses = static_cast<int>(n);
         return true;
     }},
    {"dbc", kValue, kAnyRun,
     [](Parsing& p) {
         p.cmd.databases.push_back(p.value);
         return true;
     }},
    {"decode", kValue, kAnyRun, [](Parsing& p) { return p.TracePath(p.cmd.decodePath); }},
    {"send", kValue, kHeadless,
     [](Parsing& p) {
         p.cmd.sends.push_back({p.value, std::nullopt});
         return true;
     }},
    {"cycle", kValue, kHeadless,
     [](Parsing& p) {
         if (p.cmd.sends.empty() || p.cmd.sends.back().cycleMs) {
             p.cmd.error = "--cycle gilt für das --send davor";
             return false;
         }
         char* end = nullptr;
         const unsigned long long ms = std::strtoull(p.value.c_str(), &end, 10);
         if (end == p.value.c_str() || *end != '\0' || p.value[0] == '-' || ms > 0xFFFFFFFFull)
             return p.Wrong("Millisekunden");
         p.cmd.sends.back().cycleMs = static_cast<std::uint32_t>(ms);
         return true;
     }},
    {"plot", kValue, kAnyRun, [](Parsing& p) { return p.TracePath(p.cmd.plotPath); }},
    {"signal", kValue, kAnyRun,
     [](Parsing& p) {
         if (p.value.find('.') == std::string::npos)
             return p.Wrong("BOTSCHAFT.SIGNAL");
         p.cmd.plotSignals.push_back(p.value);
         return true;
     }},
};

// Calls `visit(name, slashToo)` for each name of `row`.
template <typename Visit>
void ForEachName(const SwitchRow& row, Visit visit) {
    std::string_view names(row.names);
    while (!names.empty()) {
        const std::size_t blank = names.find(' ');
        std::string_view name = names.substr(0, blank);
        const bool slashToo = name.front() == '/';
        if (slashToo)
            name.remove_prefix(1);
        visit(name, slashToo);
        names.remove_prefix(blank == std::string_view::npos ? names.size() : blank + 1);
    }
}

// The switch an argument names, with the value written after '=' if any. Nothing for a plain
// argument (a file or a value).
struct Parsed {
    const SwitchRow* row = nullptr;
    std::optional<std::string> inlineValue;
    bool looksLikeSwitch = false;
};

Parsed ParseArgument(const std::string& arg) {
    Parsed p;
    if (arg.size() < 2)
        return p;
    const bool slash = arg[0] == '/';
    const bool dash = arg[0] == '-';
    if (!slash && !dash)
        return p;
    std::string_view body(arg);
    body.remove_prefix(1);
    if (dash && !body.empty() && body[0] == '-')
        body.remove_prefix(1);
    std::string_view key = body;
    if (const auto eq = body.find('='); eq != std::string_view::npos && !slash) {
        key = body.substr(0, eq);
        p.inlineValue = std::string(body.substr(eq + 1));
    }
    const std::string lower = Lower(key);
    for (const SwitchRow& row : kSwitches) {
        ForEachName(row, [&](std::string_view name, bool slashToo) {
            if (!p.row && lower == name && (!slash || slashToo))
                p.row = &row;
        });
    }
    p.looksLikeSwitch = dash;  // a slash word that is no switch is a path
    return p;
}

// The text naming every switch that belongs to --headless: "--a, --b und --c".
std::string HeadlessSwitches() {
    std::vector<std::string> names;
    for (const SwitchRow& row : kSwitches) {
        if (row.headlessOnly)
            ForEachName(row, [&](std::string_view name, bool) {
                names.push_back("--" + std::string(name));
            });
    }
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i)
        text += (i == 0 ? "" : i + 1 == names.size() ? " und " : ", ") + names[i];
    return text;
}

// What the switches together mean: the action, and the combinations that make no sense.
ShellCommand Decide(Parsing& p) {
    ShellCommand& cmd = p.cmd;
    if (p.help) {
        cmd.action = ShellCommand::Action::kHelp;
        return cmd;
    }
    if (p.headlessOnly && !cmd.headless) {
        cmd.error = HeadlessSwitches() + " gelten nur mit --headless";
        return cmd;
    }
    if (!cmd.sends.empty() && cmd.databases.empty()) {
        cmd.error = "--send braucht mindestens eine Datenbank (--dbc DATEI)";
        return cmd;
    }
    if (p.loop && cmd.playPath.empty()) {
        cmd.error = "--loop gilt nur mit --play";
        return cmd;
    }
    const bool document = p.automation || p.print || p.printTo || p.unregister || p.registerType;
    if (!cmd.decodePath.empty()) {
        if (cmd.headless || document || cmd.openChannel || cmd.showOverview || !p.plain.empty() ||
            !cmd.recordPath.empty() || !cmd.plotPath.empty()) {
            cmd.error = "--decode nimmt nur --dbc dazu";
            return cmd;
        }
        if (cmd.databases.empty()) {
            cmd.error = "--decode braucht mindestens eine Datenbank (--dbc DATEI)";
            return cmd;
        }
        cmd.action = ShellCommand::Action::kDecode;
        return cmd;
    }
    if (!cmd.plotPath.empty() || !cmd.plotSignals.empty()) {
        if (cmd.headless || document) {
            cmd.error = "--plot und --signal gelten nur mit dem Fenster";
            return cmd;
        }
        if (cmd.databases.empty()) {
            cmd.error = "--plot und --signal brauchen mindestens eine Datenbank (--dbc DATEI)";
            return cmd;
        }
    }
    if (cmd.headless) {
        if (document || cmd.openChannel || cmd.showOverview || !p.plain.empty()) {
            cmd.error = "--headless nimmt kein Dokument und keine Fensteroption";
            return cmd;
        }
        cmd.action = ShellCommand::Action::kHeadless;
        return cmd;
    }
    if (p.registerType && p.unregister) {
        cmd.error = "--register und --unregister schließen einander aus";
        return cmd;
    }
    if (p.registerType || p.unregister) {
        cmd.action =
            p.registerType ? ShellCommand::Action::kRegister : ShellCommand::Action::kUnregister;
        return cmd;
    }
    if (p.automation) {
        cmd.action = ShellCommand::Action::kAutomation;
        return cmd;
    }

    // The first plain argument is the document; print-to takes printer, driver and port after it.
    std::size_t next = 0;
    if (next < p.plain.size())
        cmd.file = p.plain[next++];
    if (p.printTo) {
        for (std::string* field : {&cmd.printer, &cmd.driver, &cmd.port}) {
            if (next < p.plain.size())
                *field = p.plain[next++];
        }
    }
    if (next < p.plain.size()) {
        cmd.error = "Zu viele Argumente: " + p.plain[next];
        return cmd;
    }

    if (p.printTo) {
        cmd.action = ShellCommand::Action::kFilePrintTo;
    } else if (p.print) {
        cmd.action = ShellCommand::Action::kFilePrint;
    } else if (!cmd.file.empty()) {
        cmd.action = ShellCommand::Action::kFileOpen;
    }
    if ((p.print || p.printTo) && cmd.file.empty())
        cmd.error = "Zum Drucken fehlt die Datei";
    return cmd;
}

}  // namespace

ShellCommand ParseShellCommand(std::span<const std::string> args) {
    Parsing p;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            p.plain.insert(p.plain.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                           args.end());
            break;
        }
        const Parsed parsed = ParseArgument(arg);
        if (!parsed.row) {
            if (parsed.looksLikeSwitch) {
                p.cmd.error = "Unbekannte Option: " + arg;
                return p.cmd;
            }
            p.plain.push_back(arg);
            continue;
        }
        p.name = arg;
        p.value.clear();
        if (!parsed.row->takesValue && parsed.inlineValue) {
            p.cmd.error = "Option " + p.name + " nimmt keinen Wert";
            return p.cmd;
        }
        if (parsed.row->takesValue) {
            if (parsed.inlineValue)
                p.value = *parsed.inlineValue;
            else if (i + 1 < args.size())
                p.value = args[++i];
            if (p.value.empty()) {
                p.cmd.error = "Option " + p.name + " braucht einen Wert";
                return p.cmd;
            }
        }
        p.headlessOnly = p.headlessOnly || parsed.row->headlessOnly;
        if (!parsed.row->parse(p))
            return p.cmd;
    }
    return Decide(p);
}

std::vector<std::string> KnownSwitches() {
    std::vector<std::string> names;
    for (const SwitchRow& row : kSwitches)
        ForEachName(row, [&](std::string_view name, bool) { names.emplace_back(name); });
    return names;
}

std::optional<int> ExitBeforeWindow(const ShellCommand& cmd, std::FILE* out, std::FILE* err) {
    if (!cmd.error.empty()) {
        std::fprintf(err, "vesk: %s\n\n%s", cmd.error.c_str(), ShellCommandUsage().c_str());
        return kExitUsage;
    }
    if (cmd.action == ShellCommand::Action::kHelp) {
        std::fputs(ShellCommandUsage().c_str(), out);
        return 0;
    }
    return std::nullopt;
}

std::string ShellCommandUsage() {
    return "Aufruf: vesk [Optionen] [DATEI.vsk]\n"
           "\n"
           "  DATEI.vsk               öffnet das Dokument\n"
           "  -p, --print DATEI       druckt das Dokument und endet\n"
           "  --pt, --print-to DATEI DRUCKER [TREIBER [ANSCHLUSS]]\n"
           "                          druckt das Dokument auf DRUCKER und endet\n"
           "  --embedding, --automation\n"
           "                          startet ohne Fenster; endet mit SIGTERM oder SIGINT\n"
           "  --dde                   vom Desktop zum Öffnen gestartet (ohne Wirkung)\n"
           "  --regserver, --register\n"
           "                          Windows: öffnet und druckt .vsk-Dateien des Benutzers\n"
           "                          künftig mit diesem Programm, und endet (Linux: das\n"
           "                          erledigt die Installation)\n"
           "  --unregserver, --unregister\n"
           "                          nimmt das wieder zurück, und endet\n"
           "  --scenario NAME         Verkehr der simulierten Busse: default, quiet, flood\n"
           "  --device N=sim          Adapter N (0 bis 3) simuliert\n"
           "  --device N=sim:NAME     Adapter N simuliert, mit eigenem Szenario\n"
           "  --device N=driver       Adapter N ist das Gerät des Systems (der Adaptertreiber)\n"
           "  --device N=socketcan:IFACE\n"
           "                          Adapter N ist die SocketCAN-Schnittstelle IFACE (can0, "
           "vcan0)\n"
           "  --open-channel          öffnet nach dem Start Adapter 0 wie \"CAN Kanal öffnen\"\n"
           "                          mit dessen Vorgaben\n"
           "  --overview              zeigt nach dem Start die Übersicht nach ID statt des\n"
           "                          Protokolls\n"
           "  --record DATEI          zeichnet vom Start an auf: DATEI.log (candump) oder\n"
           "                          DATEI.asc\n"
           "  --headless              ohne Fenster und ohne Bildschirm: öffnet den Adapter,\n"
           "                          zeigt jede Sekunde eine Zeile auf stderr, endet mit\n"
           "                          SIGINT/SIGTERM oder nach --duration\n"
           "    --adapter N           Adapter 0 bis 3 (Vorgabe 0)\n"
           "    --mode basic|peli     Basic CAN (Vorgabe) oder PeliCAN\n"
           "    --format std|ext      11-Bit- (Vorgabe) oder 29-Bit-Identifier\n"
           "    --duration SEKUNDEN   endet nach dieser Zeit\n"
           "    --play DATEI          sendet die Botschaften der Aufzeichnung DATEI (.log, .asc)\n"
           "                          in ihren Abständen; ohne --duration endet es danach\n"
           "    --loop N              sendet sie N-mal (0: bis zum Ende des Laufs)\n"
           "    --send \"BOTSCHAFT SIGNAL=WERT ...\"\n"
           "                          sendet die Botschaft der Datenbank mit diesen "
           "physikalischen\n"
           "                          Werten (oder Texten der Wertetabelle), auch mehrmals; ohne\n"
           "                          --duration endet es, wenn sie gesendet sind\n"
           "    --cycle MS            sendet die Botschaft des --send davor alle MS ms, bis der\n"
           "                          Lauf endet\n"
           "  --dbc DATEI             dekodiert mit der CAN-Datenbank DATEI (auch mehrmals),\n"
           "                          im Fenster, mit --headless und mit --decode\n"
           "  --decode AUFZEICHNUNG   dekodiert die Aufzeichnung (.log, .asc) ohne Fenster und\n"
           "                          schreibt je Signal eine CSV-Zeile auf stdout\n"
           "  --plot AUFZEICHNUNG     wertet die Aufzeichnung (.log, .asc) mit den Datenbanken\n"
           "                          aus und zeigt ihre Signale im Fenster „Signalverlauf“\n"
           "  --signal BOTSCHAFT.SIGNAL  zeigt dieses Signal im „Signalverlauf“ (auch mehrmals):\n"
           "                          live, oder mit --plot statt der ersten vier der "
           "Aufzeichnung\n"
           "  -h, --help, /?          zeigt diese Hilfe\n"
           "\n"
           "Schalter lassen sich auch /p, /pt, /dde, /Embedding, /Automation, /Regserver,\n"
           "/Unregserver schreiben. Unbekannte Schalter beenden das Programm mit Status 2.\n";
}
