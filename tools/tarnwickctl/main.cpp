// tarnwickctl: the administrator's view of the system store (registry, services, event log) in
// the conventions of Windows' reg.exe and sc.exe.
#include <CLI/CLI.hpp>
#include <algorithm>
#include <cctype>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include "Commands.h"

using namespace tarnwick::ctl;

namespace {

// reg.exe's switches of each reg command: those that take a value, and flags.
struct Switches {
    const char* command;
    std::set<std::string> withValue;
    std::set<std::string> flags;
};
const Switches kRegSwitches[] = {
    {"query", {"v"}, {"ve", "s"}},
    {"add", {"v", "t", "s", "d"}, {"ve", "f"}},
    {"delete", {"v"}, {"ve", "va", "f"}},
    {"export", {}, {"y"}},
    {"import", {}, {}},
};

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// Rewrites reg.exe's switches (/v NAME, -ve, /F ...) into the long options declared below
// ("--v=NAME", "--ve", "--f"). Only exact switch names of the command are rewritten, so absolute
// paths such as /tmp/x.reg stay arguments, and a switch's value is passed whole, so data may
// begin with '/' or '-'.
std::vector<std::string> translateRegSwitches(int argc, char** argv) {
    std::vector<std::string> args(argv, argv + argc);
    if (args.size() < 3 || lower(args[1]) != "reg") return args;
    const Switches* table = nullptr;
    for (const auto& entry : kRegSwitches) {
        if (lower(args[2]) == entry.command) table = &entry;
    }
    if (table == nullptr) return args;
    std::vector<std::string> out(args.begin(), args.begin() + 3);
    for (std::size_t i = 3; i < args.size(); ++i) {
        const std::string& arg = args[i];
        std::string name = arg.size() > 1 && (arg[0] == '/' || arg[0] == '-') ? lower(arg.substr(1))
                                                                              : std::string();
        if (table->withValue.count(name) != 0 && i + 1 < args.size()) {
            const std::string& value = args[++i];
            if (value.empty()) {  // "--d=" would take the next argument as the value
                out.push_back("--" + name);
                out.push_back(value);
            } else {
                out.push_back("--" + name + "=" + value);
            }
        } else if (name == "?") {
            out.push_back("--help");
        } else if (table->flags.count(name) != 0) {
            out.push_back("--" + name);
        } else {
            out.push_back(arg);
        }
    }
    return out;
}

const char* const kDescription =
    "The system store's registry, services and event log.\n"
    "The store is the file named by TARNWICK_SYSTEM_DB, else /var/lib/tarnwick/system.db for\n"
    "root, else $XDG_STATE_HOME/tarnwick/system.db (~/.local/state/tarnwick/system.db).\n"
    "Exit code: 0 on success, 1 on failure.";

}  // namespace

int main(int argc, char** argv) {
    CLI::App app{kDescription, "tarnwickctl"};
    app.require_subcommand(1);
    int result = 0;

    // reg: reg.exe's syntax; /option and -option in any case become the --options below.
    auto* reg = app.add_subcommand("reg", "Query and change the registry (reg.exe's syntax)");
    reg->footer("Switches are written as in reg.exe: /v NAME, /ve, /t TYPE, /d DATA, /f ...");
    reg->require_subcommand(1);
    reg->ignore_case();

    RegQueryOptions query;
    auto* q = reg->add_subcommand("query", "Show a key's values and subkeys")->ignore_case();
    q->add_option("KEY", query.key, "HKLM\\path or HKCU\\path")->required();
    q->add_option("--v", query.value, "/v NAME: show only this value");
    q->add_flag("--ve", query.defaultValue, "/ve: show only the default value");
    q->add_flag("--s", query.recursive, "/s: show all subkeys and their values");
    q->callback([&] { result = regQuery(query); });

    RegAddOptions add;
    auto* a = reg->add_subcommand("add", "Create a key or set a value")->ignore_case();
    a->add_option("KEY", add.key, "HKLM\\path or HKCU\\path")->required();
    a->add_option("--v", add.value, "/v NAME: the value to set");
    a->add_flag("--ve", add.defaultValue, "/ve: set the default value");
    a->add_option("--t", add.type,
                  "/t TYPE: REG_SZ (default), REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_QWORD, "
                  "REG_BINARY or REG_NONE");
    a->add_option("--s", add.separator, "/s SEP: separator of REG_MULTI_SZ strings (default \\0)");
    a->add_option("--d", add.data, "/d DATA: the data");
    a->add_flag("--f", add.force, "/f: overwrite without asking");
    a->callback([&] { result = regAdd(add); });

    RegDeleteOptions del;
    auto* d =
        reg->add_subcommand("delete", "Delete a key with its subkeys, or values")->ignore_case();
    d->add_option("KEY", del.key, "HKLM\\path or HKCU\\path")->required();
    d->add_option("--v", del.value, "/v NAME: delete this value");
    d->add_flag("--ve", del.defaultValue, "/ve: delete the default value");
    d->add_flag("--va", del.allValues, "/va: delete all values of the key");
    d->add_flag("--f", del.force, "/f: delete without asking");
    d->callback([&] { result = regDelete(del); });

    std::string exportKey, exportFile;
    bool exportOverwrite = false;
    auto* e = reg->add_subcommand("export", "Write a key and everything below it to a .reg file")
                  ->ignore_case();
    e->add_option("KEY", exportKey, "HKLM\\path or HKCU\\path")->required();
    e->add_option("FILE", exportFile, "File to write")->required();
    e->add_flag("--y", exportOverwrite, "/y: overwrite an existing file without asking");
    e->callback([&] { result = regExport(exportKey, exportFile, exportOverwrite); });

    std::string importFile;
    auto* i =
        reg->add_subcommand("import", "Apply a .reg file, all of it or nothing")->ignore_case();
    i->add_option("FILE", importFile, ".reg file (UTF-16LE or UTF-8)")->required();
    i->callback([&] { result = regImport(importFile); });

    // sc: sc.exe's verbs. A service here is a record: start and stop change its recorded state
    // and start no process.
    auto* sc = app.add_subcommand("sc",
                                  "Service records (sc.exe's manner). No process is started or "
                                  "stopped: start and stop only change the recorded state.");
    sc->require_subcommand(1);
    std::string serviceName, stateText;
    std::vector<std::string> settings;
    sc->add_subcommand("query", "Show a service's state")
        ->callback([&] { result = scQuery(serviceName); })
        ->add_option("NAME", serviceName)
        ->required();
    auto* create = sc->add_subcommand(
        "create",
        "Create a service: NAME [binPath= PATH] [type= own|share|kernel|filesys] "
        "[start= boot|system|auto|demand|disabled] [error= ...] [DisplayName= TEXT]");
    create->add_option("NAME", serviceName)->required();
    create->add_option("SETTINGS", settings, "option= value pairs");
    create->callback([&] { result = scCreate(serviceName, settings); });
    sc->add_subcommand("start", "Record the service as running (no process is started)")
        ->callback([&] { result = scStart(serviceName); })
        ->add_option("NAME", serviceName)
        ->required();
    sc->add_subcommand("stop", "Record the service as stopped")
        ->callback([&] { result = scStop(serviceName); })
        ->add_option("NAME", serviceName)
        ->required();
    sc->add_subcommand("delete", "Delete the service (when stopped; else once it stops)")
        ->callback([&] { result = scDelete(serviceName); })
        ->add_option("NAME", serviceName)
        ->required();
    auto* setState = sc->add_subcommand(
        "set-state",
        "Set any state: 1 to 7 or STOPPED, START_PENDING, STOP_PENDING, RUNNING, "
        "CONTINUE_PENDING, PAUSE_PENDING, PAUSED");
    setState->add_option("NAME", serviceName)->required();
    setState->add_option("STATE", stateText)->required();
    setState->callback([&] { result = scSetState(serviceName, stateText); });

    std::optional<std::string> source;
    auto* log = app.add_subcommand("eventlog", "Show the recorded events, newest last");
    log->add_option("--source", source, "Only events of this source");
    log->callback([&] { result = eventLog(source); });

    try {
        std::vector<std::string> args = translateRegSwitches(argc, argv);
        args.erase(args.begin());
        std::reverse(args.begin(), args.end());  // CLI11 takes them last first
        app.parse(args);
    } catch (const CLI::CallForHelp& help) {
        return app.exit(help);
    } catch (const CLI::CallForAllHelp& help) {
        return app.exit(help);
    } catch (const CLI::ParseError& error) {
        std::cerr << "ERROR: " << error.what() << "\n"
                  << "Type \"tarnwickctl --help\" (or the command followed by --help) for "
                     "usage.\n";
        return 1;
    }
    return result;
}
