#include "gauge-sim/command_line.h"

#include <charconv>
#include <functional>
#include <map>
#include <sstream>
#include <stdexcept>

namespace levrano::gauge_sim {

namespace {

// Each value option of a probe: where it goes in the reading.
const std::map<std::string, double Reading::*> kReadingKeys = {
    {"level", &Reading::level},      {"water-level", &Reading::waterLevel},
    {"volume", &Reading::volume},    {"water-volume", &Reading::waterVolume},
    {"temperature", &Reading::temperature}, {"density", &Reading::density},
};

// The maximum level a probe reports: 7 digits of hundredths of a millimetre.
constexpr double kLargestLevel = 99.99999;

[[noreturn]] void Fail(const std::string& context, const std::string& reason) {
    throw std::invalid_argument(context + ": " + reason);
}

double Number(const std::string& context, const std::string& text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) Fail(context, "\"" + text + "\" is not a number");
    return value;
}

int Integer(const std::string& context, const std::string& text, int low, int high) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < low || value > high)
        Fail(context, "\"" + text + "\" is not a whole number from " + std::to_string(low) + " to " + std::to_string(high));
    return value;
}

std::vector<std::string> Split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::stringstream in(text);
    std::string part;
    while (std::getline(in, part, separator)) parts.push_back(part);
    return parts;
}

// Collects the settings of one --probe option, then makes its probes.
struct ProbeBuilder {
    std::string context;
    Reading reading;
    std::optional<double> ramp;
    double maxLevel = kLargestLevel;
    std::string script;
    bool valuesGiven = false;
    bool wrongAddressNext = false;
    Faults faults;

    void Apply(const std::string& key, const std::optional<std::string>& value) {
        const std::string where = context + ", " + key;
        const auto needValue = [&]() -> const std::string& {
            if (!value) Fail(where, "needs a value (" + key + "=...)");
            return *value;
        };
        const auto noValue = [&] {
            if (value) Fail(where, "takes no value");
        };
        if (const auto field = kReadingKeys.find(key); field != kReadingKeys.end()) {
            reading.*(field->second) = Number(where, needValue());
            valuesGiven = true;
        } else if (key == "ramp") {
            ramp = Number(where, needValue());
        } else if (key == "max-level") {
            maxLevel = Number(where, needValue());
        } else if (key == "script") {
            script = needValue();
        } else if (key == "silent") {
            noValue();
            faults.silent = true;
        } else if (key == "silent-m") {
            noValue();
            faults.silentOnDensity = true;
        } else if (key == "silent-after") {
            faults.silentAfter = Number(where, needValue());
        } else if (key == "bad-check") {
            noValue();
            faults.badCheck = true;
        } else if (key == "wrong-address") {
            if (value)
                faults.wrongAddress = Integer(where, *value, 0, 99);
            else
                wrongAddressNext = true;
        } else if (key == "stray") {
            faults.strayBytes = Integer(where, needValue(), 1, 1000);
        } else if (key == "cut") {
            faults.cutAfter = value ? Integer(where, *value, 1, 1000) : 0;
        } else if (key == "short") {
            noValue();
            faults.shortData = true;
        } else if (key == "late") {
            faults.late = std::chrono::milliseconds(Integer(where, needValue(), 1, 600'000));
        } else {
            Fail(where, "unknown setting (--help lists them)");
        }
    }

    ProbeSettings Build(int address) const {
        ProbeSettings p;
        p.address = address;
        p.faults = faults;
        if (wrongAddressNext) p.faults.wrongAddress = address % 99 + 1;
        if (!script.empty())
            p.values = ValueSource::Script(LoadScript(script));
        else if (ramp)
            p.values = ValueSource::Ramp(reading, *ramp, maxLevel);
        else
            p.values = ValueSource::Constant(reading);
        return p;
    }
};

}  // namespace

std::vector<ProbeSettings> ParseProbe(const std::string& argument) {
    const std::string context = "--probe " + argument;
    const std::size_t colon = argument.find(':');
    const std::string addresses = argument.substr(0, colon);
    const std::size_t dash = addresses.find('-');
    const int first = Integer(context, addresses.substr(0, dash), 1, 99);
    const int last = dash == std::string::npos ? first : Integer(context, addresses.substr(dash + 1), first, 99);

    ProbeBuilder builder;
    builder.context = context;
    if (colon != std::string::npos) {
        for (const std::string& setting : Split(argument.substr(colon + 1), ',')) {
            const std::size_t equals = setting.find('=');
            builder.Apply(setting.substr(0, equals),
                          equals == std::string::npos ? std::nullopt : std::optional(setting.substr(equals + 1)));
        }
    }
    if (!builder.script.empty() && (builder.ramp || builder.valuesGiven))
        Fail(context, "a script gives every value: no values or ramp beside it");

    std::vector<ProbeSettings> probes;
    for (int address = first; address <= last; ++address) probes.push_back(builder.Build(address));
    return probes;
}

CommandLine ParseCommandLine(const std::vector<std::string>& args) {
    CommandLine line;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& option = args[i];
        const auto next = [&]() -> const std::string& {
            if (i + 1 >= args.size()) Fail(option, "needs a value");
            return args[++i];
        };
        if (option == "--help" || option == "-h") {
            line.help = true;
        } else if (option == "--trace") {
            line.trace = true;
        } else if (option == "--mode") {
            line.format = ParseFrameFormat(next());
        } else if (option == "--device") {
            line.device = next();
        } else if (option == "--probe") {
            for (ProbeSettings& p : ParseProbe(next())) line.probes.push_back(std::move(p));
        } else {
            Fail(option, "unknown option (--help lists them)");
        }
    }
    if (!line.help && line.probes.empty()) Fail("levrano-gauge-sim", "no probe: give at least one --probe");
    return line;
}

std::string HelpText() {
    return R"(Usage: levrano-gauge-sim [OPTIONS] --probe PROBE [--probe PROBE ...]

Simulates Levrano tank gauge probes on a serial line. Without --device it opens a
pseudo-terminal and prints the path of its slave on standard output (connect the
station's port there). It answers the commands "L" and "M" at the speed of the line
until it is interrupted (Ctrl-C or SIGTERM), then prints each probe's counters on
standard error.

Options:
  --probe PROBE    one probe, or a range of probes with the same settings:
                   ADDRESS[-LAST][:SETTING,SETTING,...], addresses 1 to 99
  --mode FORMAT    frame format: 9600N8 (default), 9600E7 or 9600O7; every byte
                   takes start + data + parity + stop bits at the baud rate. In 7-bit
                   formats on a pseudo-terminal the parity bit is sent above the data
                   bits, as a real line delivers it to an 8-bit receiver
  --device PATH    answer on this serial device (set to FORMAT) instead of a new
                   pseudo-terminal
  --trace          print every request and answer on standard error: seconds since
                   start, << request, >> answer, -- no answer, then the address, the
                   command, the bytes in hexadecimal and the faults injected
  --help, -h       print this text

Probe values (constant unless ramp or script is given; defaults in brackets):
  level=M              product level, metres [1.23456]
  water-level=M        water level, metres [0.0152]
  volume=M3            product volume, cubic metres [23.456]
  water-volume=M3      water volume, cubic metres [0.12]
  temperature=C        temperature, degrees Celsius [15.3]
  density=KG/M3        density, kilograms per cubic metre [835.12]
  ramp=M/S             the level changes by M/S metres per second (negative:
                       draining) and the volume follows it in proportion
  max-level=M          the highest level a ramp reaches [99.99999]
  script=FILE          values from a CSV file, one row per line:
                       seconds,level,water-level,volume,water-volume,temperature,density
                       each row holds from its time until the next row's; one header
                       line, blank lines and lines starting with # are skipped
  A value beyond what its digits can carry is sent as the largest value they hold.

Probe faults:
  silent               answers nothing
  silent-m             answers "L" but not "M"
  silent-after=S       answers normally for S seconds, then nothing
  bad-check            sends a wrong check byte
  wrong-address[=N]    answers as probe N [the next address]
  stray=N              sends N stray bytes before the STX (the station skips 10)
  cut[=N]              stops the frame after N bytes [half of it]
  short                sends a data text one character shorter than the minimum
  late=MS              starts the answer MS milliseconds late

Examples:
  levrano-gauge-sim --probe 1-10
  levrano-gauge-sim --mode 9600E7 --probe 1:level=2.5,ramp=-0.001 --probe 2:silent-m
  levrano-gauge-sim --probe 3:silent-after=20 --probe 4:script=tank4.csv --trace
)";
}

}  // namespace levrano::gauge_sim
