#include "configurator/command_line.h"

#include <stdexcept>

namespace levrano::configurator {

namespace {

[[noreturn]] void Fail(const std::string& reason) { throw std::invalid_argument(reason); }

// The value after an option that needs one.
const std::string& ValueOf(const std::vector<std::string>& args, std::size_t& i) {
    if (i + 1 >= args.size() || args[i + 1].empty()) Fail(args[i] + " needs a value");
    return args[++i];
}

void CheckComplete(const CommandLine& options) {
    if (options.help || !options.demoFolder.empty()) return;
    if (options.configFile.empty()) Fail("no configuration file given");
    if (options.database.database.empty()) Fail("no station database given (--database)");
}

}  // namespace

CommandLine ParseCommandLine(const std::vector<std::string>& args, const std::string& defaultModule) {
    CommandLine options;
    options.module = defaultModule;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--help" || arg == "-h")
            options.help = true;
        else if (arg == "--configure")
            options.configureAtOnce = true;
        else if (arg == "--database")
            options.database.database = ValueOf(args, i);
        else if (arg == "--user")
            options.database.user = ValueOf(args, i);
        else if (arg == "--password")
            options.database.password = ValueOf(args, i);
        else if (arg == "--module")
            options.module = ValueOf(args, i);
        else if (arg == "--init-demo")
            options.demoFolder = ValueOf(args, i);
        else if (arg.starts_with("-"))
            Fail("unknown option " + arg);
        else if (!options.configFile.empty())
            Fail("more than one configuration file given (" + options.configFile + ", " + arg + ")");
        else
            options.configFile = arg;
    }
    CheckComplete(options);
    return options;
}

std::string HelpText(const std::string& defaultModule) {
    return "Usage: levrano-configurator --database DATABASE [OPTIONS] CONFIG_FILE\n"
           "       levrano-configurator --init-demo FOLDER\n"
           "\n"
           "The reference configurator host of the Levrano gauge module: attaches to the station's\n"
           "Firebird database, loads the module as a configurator host for CONFIG_FILE and opens the\n"
           "module's configuration dialog, from the main window's button or at once.\n"
           "\n"
           "Options:\n"
           "  --database DATABASE  the station's database: a local file, opened by the embedded\n"
           "                       engine, or a server's database as HOST:PATH or HOST/PORT:PATH.\n"
           "                       Texts are exchanged in WIN1251.\n"
           "  --user NAME          user name for the database (default SYSDBA)\n"
           "  --password SECRET    password; a server asks for one, the embedded engine does not\n"
           "                       (without this option the client takes ISC_PASSWORD)\n"
           "  --module FILE        the module to load (default " + defaultModule + ")\n"
           "  --configure          open the configuration dialog at once and exit when it closes\n"
           "  --init-demo FOLDER   create a demo station in FOLDER and exit: the database\n"
           "                       FOLDER/station.fdb (tables \"Tank\" and \"ErrorMsg\", four tanks)\n"
           "                       and the starter configuration file FOLDER/levrano.xml.\n"
           "                       Existing files are never overwritten.\n"
           "  --help               show this text\n"
           "\n"
           "After each configuration the program prints \"confirmed\" (the user pressed OK and the\n"
           "file was saved) or \"not confirmed\" on standard output.\n"
           "The window system is Qt's: QT_QPA_PLATFORM=offscreen runs without a display.\n"
           "Exit status: 0 when the last configuration was confirmed, 1 when it was not (or none\n"
           "ran), 2 on an error (options, database, module loading).\n";
}

}  // namespace levrano::configurator
