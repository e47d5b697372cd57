#include "ui/shell_command.h"

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

enum class Switch {
    kPrint,
    kPrintTo,
    kDde,
    kAutomation,
    kEmbedding,
    kRegister,
    kUnregister,
    kHelp,
    kScenario,
    kDevice,
    kOpenChannel,
    kOverview,
    kHeadless,
    kAdapter,
    kMode,
    kFormat,
    kRecord,
    kDuration,
    kPlay,
    kLoop,
    kDbc,
    kDecode,
    kSend,
    kCycle,
    kPlot,
    kSignal,
};

struct SwitchName {
    const char* name;
    Switch which;
    bool slashToo;  // also recognised as /name
};

constexpr SwitchName kSwitches[] = {
    {"p", Switch::kPrint, true},
    {"print", Switch::kPrint, true},
    {"pt", Switch::kPrintTo, true},
    {"print-to", Switch::kPrintTo, false},
    {"dde", Switch::kDde, true},
    {"automation", Switch::kAutomation, true},
    {"embedding", Switch::kEmbedding, true},
    {"regserver", Switch::kRegister, true},
    {"register", Switch::kRegister, true},
    {"unregserver", Switch::kUnregister, true},
    {"unregister", Switch::kUnregister, true},
    {"h", Switch::kHelp, false},
    {"help", Switch::kHelp, false},
    {"?", Switch::kHelp, true},
    {"scenario", Switch::kScenario, false},
    {"device", Switch::kDevice, false},
    {"open-channel", Switch::kOpenChannel, false},
    {"overview", Switch::kOverview, false},
    {"headless", Switch::kHeadless, false},
    {"adapter", Switch::kAdapter, false},
    {"mode", Switch::kMode, false},
    {"format", Switch::kFormat, false},
    {"record", Switch::kRecord, false},
    {"duration", Switch::kDuration, false},
    {"play", Switch::kPlay, false},
    {"loop", Switch::kLoop, false},
    {"dbc", Switch::kDbc, false},
    {"decode", Switch::kDecode, false},
    {"send", Switch::kSend, false},
    {"cycle", Switch::kCycle, false},
    {"plot", Switch::kPlot, false},
    {"signal", Switch::kSignal, false},
};

// The value of a switch that takes one; nullopt and an error for anything else.
std::optional<int> Choice(const std::string& value, std::initializer_list<const char*> names) {
    int index = 0;
    for (const char* name : names) {
        if (Lower(value) == name)
            return index;
        ++index;
    }
    return std::nullopt;
}

// The switch an argument names, with the value written after '=' if any. Nothing for a plain
// argument (a file or a value).
struct Parsed {
    std::optional<Switch> which;
    std::string name;  // as written, for the error text
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
    for (const SwitchName& s : kSwitches) {
        if (lower == s.name && (!slash || s.slashToo)) {
            p.which = s.which;
            break;
        }
    }
    p.name = arg;
    p.looksLikeSwitch = dash;  // a slash word that is no switch is a path
    return p;
}

}  // namespace

ShellCommand ParseShellCommand(std::span<const std::string> args) {
    ShellCommand cmd;
    std::vector<std::string> plain;
    bool print = false;
    bool printTo = false;
    bool automation = false;
    bool unregister = false;
    bool registerType = false;
    bool help = false;
    struct {
        bool adapter = false, mode = false, format = false, duration = false, play = false,
             loop = false, send = false;
    } seen;

    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--") {
            plain.insert(plain.end(), args.begin() + static_cast<std::ptrdiff_t>(i) + 1,
                         args.end());
            break;
        }
        const Parsed p = ParseArgument(arg);
        if (!p.which) {
            if (p.looksLikeSwitch) {
                cmd.error = "Unbekannte Option: " + arg;
                return cmd;
            }
            plain.push_back(arg);
            continue;
        }
        auto value = [&]() -> std::optional<std::string> {
            if (p.inlineValue)
                return p.inlineValue;
            if (i + 1 < args.size())
                return args[++i];
            return std::nullopt;
        };
        const bool takesValue = *p.which == Switch::kScenario || *p.which == Switch::kDevice ||
                                *p.which == Switch::kAdapter || *p.which == Switch::kMode ||
                                *p.which == Switch::kFormat || *p.which == Switch::kRecord ||
                                *p.which == Switch::kDuration || *p.which == Switch::kPlay ||
                                *p.which == Switch::kLoop || *p.which == Switch::kDbc ||
                                *p.which == Switch::kDecode || *p.which == Switch::kSend ||
                                *p.which == Switch::kCycle || *p.which == Switch::kPlot ||
                                *p.which == Switch::kSignal;
        if (!takesValue && p.inlineValue) {
            cmd.error = "Option " + p.name + " nimmt keinen Wert";
            return cmd;
        }
        switch (*p.which) {
            case Switch::kPrint:
                print = true;
                break;
            case Switch::kPrintTo:
                printTo = true;
                break;
            case Switch::kDde:
                break;  // shell opening through a conversation: nothing to do here
            case Switch::kAutomation:
            case Switch::kEmbedding:
                automation = true;
                break;
            case Switch::kRegister:
                registerType = true;
                break;
            case Switch::kUnregister:
                unregister = true;
                break;
            case Switch::kHelp:
                help = true;
                break;
            case Switch::kOpenChannel:
                cmd.openChannel = true;
                break;
            case Switch::kOverview:
                cmd.showOverview = true;
                break;
            case Switch::kHeadless:
                cmd.headless = true;
                break;
            case Switch::kScenario:
            case Switch::kDevice:
            case Switch::kAdapter:
            case Switch::kMode:
            case Switch::kFormat:
            case Switch::kRecord:
            case Switch::kDuration:
            case Switch::kPlay:
            case Switch::kLoop:
            case Switch::kDbc:
            case Switch::kDecode:
            case Switch::kSend:
            case Switch::kCycle:
            case Switch::kPlot:
            case Switch::kSignal: {
                const auto v = value();
                if (!v || v->empty()) {
                    cmd.error = "Option " + p.name + " braucht einen Wert";
                    return cmd;
                }
                const auto wrong = [&](const std::string& expected) {
                    cmd.error = "Option " + p.name + ": " + expected + ", nicht " + *v;
                };
                // A trace file's name must say its format (.log, .asc).
                const auto tracePath = [&](std::string& into) {
                    if (!trace::FormatForPath(*v, cmd.error))
                        return false;
                    into = *v;
                    return true;
                };
                if (*p.which == Switch::kScenario) {
                    cmd.scenario = *v;
                } else if (*p.which == Switch::kDevice) {
                    cmd.deviceMappings.push_back(*v);
                } else if (*p.which == Switch::kAdapter) {
                    seen.adapter = true;
                    const auto n = Choice(*v, {"0", "1", "2", "3"});
                    if (!n) {
                        wrong("0 bis 3");
                        return cmd;
                    }
                    cmd.adapter = *n;
                } else if (*p.which == Switch::kMode) {
                    seen.mode = true;
                    const auto n = Choice(*v, {"basic", "peli"});
                    if (!n) {
                        wrong("basic oder peli");
                        return cmd;
                    }
                    cmd.mode = *n;
                } else if (*p.which == Switch::kFormat) {
                    seen.format = true;
                    const auto n = Choice(*v, {"std", "ext"});
                    if (!n) {
                        wrong("std oder ext");
                        return cmd;
                    }
                    cmd.format = *n;
                } else if (*p.which == Switch::kPlay) {
                    seen.play = true;
                    if (!tracePath(cmd.playPath))
                        return cmd;
                } else if (*p.which == Switch::kLoop) {
                    seen.loop = true;
                    char* end = nullptr;
                    const long n = std::strtol(v->c_str(), &end, 10);
                    if (end == v->c_str() || *end != '\0' || n < 0 || n > 1000000) {
                        wrong("eine Anzahl ab 0 (0: ohne Ende)");
                        return cmd;
                    }
                    cmd.playPasses = static_cast<int>(n);
                } else if (*p.which == Switch::kSend) {
                    seen.send = true;
                    cmd.sends.push_back({*v, std::nullopt});
                } else if (*p.which == Switch::kCycle) {
                    if (cmd.sends.empty() || cmd.sends.back().cycleMs) {
                        cmd.error = "--cycle gilt für das --send davor";
                        return cmd;
                    }
                    char* end = nullptr;
                    const unsigned long long ms = std::strtoull(v->c_str(), &end, 10);
                    if (end == v->c_str() || *end != '\0' || (*v)[0] == '-' || ms > 0xFFFFFFFFull) {
                        wrong("Millisekunden");
                        return cmd;
                    }
                    cmd.sends.back().cycleMs = static_cast<std::uint32_t>(ms);
                } else if (*p.which == Switch::kDbc) {
                    cmd.databases.push_back(*v);
                } else if (*p.which == Switch::kDecode) {
                    if (!tracePath(cmd.decodePath))
                        return cmd;
                } else if (*p.which == Switch::kPlot) {
                    if (!tracePath(cmd.plotPath))
                        return cmd;
                } else if (*p.which == Switch::kSignal) {
                    if (v->find('.') == std::string::npos) {
                        wrong("BOTSCHAFT.SIGNAL");
                        return cmd;
                    }
                    cmd.plotSignals.push_back(*v);
                } else if (*p.which == Switch::kRecord) {
                    if (!tracePath(cmd.recordPath))
                        return cmd;
                } else {
                    seen.duration = true;
                    char* end = nullptr;
                    const double seconds = std::strtod(v->c_str(), &end);
                    if (end == v->c_str() || *end != '\0' || !(seconds > 0) || seconds > 1e9) {
                        wrong("Sekunden größer 0");
                        return cmd;
                    }
                    cmd.duration = seconds;
                }
                break;
            }
        }
    }

    if (help) {
        cmd.action = ShellCommand::Action::kHelp;
        return cmd;
    }
    const bool headlessOnly = seen.adapter || seen.mode || seen.format || seen.duration ||
                              seen.play || seen.loop || seen.send;
    if (headlessOnly && !cmd.headless) {
        cmd.error =
            "--adapter, --mode, --format, --duration, --play, --loop, --send und --cycle "
            "gelten nur mit --headless";
        return cmd;
    }
    if (seen.send && cmd.databases.empty()) {
        cmd.error = "--send braucht mindestens eine Datenbank (--dbc DATEI)";
        return cmd;
    }
    if (seen.loop && !seen.play) {
        cmd.error = "--loop gilt nur mit --play";
        return cmd;
    }
    if (!cmd.decodePath.empty()) {
        if (cmd.headless || automation || print || printTo || unregister || registerType ||
            cmd.openChannel || cmd.showOverview || !plain.empty() || !cmd.recordPath.empty() ||
            !cmd.plotPath.empty()) {
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
        if (cmd.headless || automation || print || printTo || unregister || registerType) {
            cmd.error = "--plot und --signal gelten nur mit dem Fenster";
            return cmd;
        }
        if (cmd.databases.empty()) {
            cmd.error = "--plot und --signal brauchen mindestens eine Datenbank (--dbc DATEI)";
            return cmd;
        }
    }
    if (cmd.headless) {
        if (automation || print || printTo || unregister || registerType || cmd.openChannel ||
            cmd.showOverview || !plain.empty()) {
            cmd.error = "--headless nimmt kein Dokument und keine Fensteroption";
            return cmd;
        }
        cmd.action = ShellCommand::Action::kHeadless;
        return cmd;
    }
    if (registerType && unregister) {
        cmd.error = "--register und --unregister schließen einander aus";
        return cmd;
    }
    if (registerType || unregister) {
        cmd.action =
            registerType ? ShellCommand::Action::kRegister : ShellCommand::Action::kUnregister;
        return cmd;
    }
    if (automation) {
        cmd.action = ShellCommand::Action::kAutomation;
        return cmd;
    }

    // The first plain argument is the document; print-to takes printer, driver and port after it.
    std::size_t next = 0;
    if (next < plain.size())
        cmd.file = plain[next++];
    if (printTo) {
        if (next < plain.size())
            cmd.printer = plain[next++];
        if (next < plain.size())
            cmd.driver = plain[next++];
        if (next < plain.size())
            cmd.port = plain[next++];
    }
    if (next < plain.size()) {
        cmd.error = "Zu viele Argumente: " + plain[next];
        return cmd;
    }

    if (printTo) {
        cmd.action = ShellCommand::Action::kFilePrintTo;
    } else if (print) {
        cmd.action = ShellCommand::Action::kFilePrint;
    } else if (!cmd.file.empty()) {
        cmd.action = ShellCommand::Action::kFileOpen;
    }
    if ((print || printTo) && cmd.file.empty()) {
        cmd.error = "Zum Drucken fehlt die Datei";
    }
    return cmd;
}

std::vector<std::string> KnownSwitches() {
    std::vector<std::string> names;
    for (const SwitchName& s : kSwitches)
        names.emplace_back(s.name);
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
