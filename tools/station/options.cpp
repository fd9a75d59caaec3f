#include "station/options.h"

#include <charconv>
#include <cmath>
#include <stdexcept>

namespace levrano::station {

namespace {

[[noreturn]] void Fail(const std::string& option, const std::string& reason) {
    throw std::invalid_argument(option + ": " + reason);
}

int TankCount(const std::string& text) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < 1 || value > 999)
        Fail("--tanks", "\"" + text + "\" is not a whole number from 1 to 999");
    return value;
}

double Seconds(const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !(value > 0) ||
        !std::isfinite(value))
        Fail("--duration", "\"" + text + "\" is not a positive number of seconds");
    return value;
}

// Errors of the library objects name what they read; the option goes in front.
template <typename F>
void WithOption(const std::string& option, F&& add) {
    try {
        add();
    } catch (const std::invalid_argument& e) {
        Fail(option, e.what());
    }
}

}  // namespace

Options ParseOptions(const std::vector<std::string>& args, const std::string& defaultModule) {
    Options o;
    o.module = defaultModule;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        const auto value = [&]() -> const std::string& {
            if (i + 1 >= args.size()) Fail(option, "needs a value");
            return args[++i];
        };
        if (option == "--help" || option == "-h") {
            o.help = true;
        } else if (option == "--config") {
            o.config = value();
        } else if (option == "--module") {
            o.module = value();
        } else if (option == "--tanks") {
            o.tanks = TankCount(value());
        } else if (option == "--database") {
            o.database = value();
        } else if (option == "--user") {
            o.user = value();
        } else if (option == "--password") {
            o.password = value();
        } else if (option == "--port") {
            const std::string& mapping = value();
            WithOption(option, [&] { o.ports.Add(mapping); });
        } else if (option == "--calibration") {
            const std::string& setting = value();
            WithOption(option, [&] { o.calibrations.Add(setting); });
        } else if (option == "--log-states") {
            o.stateLog = value();
        } else if (option == "--duration") {
            o.duration = Seconds(value());
        } else {
            Fail(option, "unknown option (--help lists them)");
        }
    }
    if (o.help) return o;
    if (o.config.empty()) Fail("levrano-station", "no --config FILE");
    if (o.tanks && !o.database.empty()) Fail("levrano-station", "--tanks and --database exclude each other");
    if (!o.tanks && o.database.empty()) Fail("levrano-station", "no tanks: give --tanks N or --database PATH");
    return o;
}

std::string HelpText(const std::string& defaultModule) {
    return R"(Usage: levrano-station --config FILE (--tanks N | --database PATH) [OPTIONS]

The reference operator host of the Levrano gauge module. It loads liblevrano.so as a
station's operator workstation does (dlopen, LoadModule), serves it the station's tanks
and serial ports, starts polling, and shows a live table of every tank: number, probe
address, status, level, volume, water level, water volume, density, temperature and
mass. On a terminal the table is redrawn in place; otherwise every changed row is
printed as a new line with the seconds since the start. The module's notices
("резервуар N -> датчик A") are printed as they come. Ctrl-C or SIGTERM stops
polling (the host's stop event) and exits.

Options:
  --config FILE        the module's XML configuration file (required; it must exist)
  --tanks N            serve tanks 1 to N: tank ids and numbers 1 to N
  --database PATH      read the tanks from the station's Firebird database, table "Tank"
                       (columns "TankId", "Number"); a local file is opened in embedded
                       mode, HOST:PATH through a server
  --user NAME          database user [SYSDBA]
  --password TEXT      database password [none]
  --port N=DEVICE      serve port number N (the configuration's port "number") on a
                       serial device, e.g. 1=/dev/ttyUSB0 or a simulator's pseudo-terminal;
                       repeatable
  --calibration [N=]KIND:PARAMETERS
                       the volume a tank holds at a level, which the module asks for when
                       its probe measures no volume; N is a tank number, without it the
                       calibration of every other tank [linear:10]; repeatable:
                         linear:K       K litres per millimetre of level (upright tank)
                         cylinder:D,L   horizontal cylinder, diameter D and length L in
                                        metres: V = L (r² acos((r-h)/r) - (r-h) √(2rh-h²))
  --duration S         stop by itself after S seconds
  --log-states FILE    write every state the module publishes to FILE, one line each:
                       monotonic clock in microseconds, tank number, status code, then
                       level, volume, water level, water volume, density, temperature
                       and mass with every digit; "<microseconds> stopped" after a clean
                       stop
  --module FILE        the module library [)" +
           defaultModule + R"(]
  --help, -h           print this text

Units: levels in metres, volumes in cubic metres, density in kg/m³, temperature in °C,
mass in kg. Status texts are the module's, shown in UTF-8.

Exit status: 0 after a clean stop, 1 when the module cannot be loaded or the tanks cannot
be read, 2 for a wrong command line.

Example, with the probe simulator:
  levrano-gauge-sim --probe 1-3 &        # prints its pseudo-terminal, e.g. /dev/pts/7
  levrano-station --config levrano.xml --tanks 3 --port 1=/dev/pts/7
)";
}

}  // namespace levrano::station
