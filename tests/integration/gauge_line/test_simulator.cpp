// The probe simulator's own behaviour: frame formats, request recognition, values, faults, its
// command line, and the program itself on a pseudo-terminal.
#include <gtest/gtest.h>

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "gauge-sim/command_line.h"
#include "gauge-sim/simulator.h"
#include "line_fixture.h"

extern char** environ;

namespace levrano::gauge_sim {
namespace {

using std::chrono::milliseconds;

TEST(FrameFormat, ParsesTheLineFormatsAndTimesACharacter) {
    struct Case {
        const char* text;
        int dataBits;
        serial::Parity parity;
        int bitsPerChar;
    };
    const Case cases[] = {{"9600N8", 8, serial::Parity::None, 10},
                          {"9600E7", 7, serial::Parity::Even, 10},
                          {"9600O7", 7, serial::Parity::Odd, 10},
                          {"19200E8", 8, serial::Parity::Even, 11}};
    for (const Case& c : cases) {
        const FrameFormat f = ParseFrameFormat(c.text);
        EXPECT_EQ(c.dataBits, f.dataBits) << c.text;
        EXPECT_EQ(c.parity, f.parity) << c.text;
        EXPECT_EQ(c.bitsPerChar, f.BitsPerChar()) << c.text;
        EXPECT_EQ(c.text, f.Name());
    }
    EXPECT_EQ(std::chrono::nanoseconds(1'041'666), ParseFrameFormat("9600N8").CharTime());
    for (const char* bad : {"", "9600", "9600X8", "9600N9", "N8", "0N8", "9600N8x", "9600n8"})
        EXPECT_THROW(ParseFrameFormat(bad), std::invalid_argument) << bad;
}

TEST(FrameFormat, SevenBitFramesCarryTheParityBitAboveTheData) {
    const FrameFormat even = ParseFrameFormat("9600E7"), odd = ParseFrameFormat("9600O7");
    const FrameFormat eight = ParseFrameFormat("9600N8");
    EXPECT_EQ(0x82, even.OnLine(0x02));  // one bit set: even parity adds one
    EXPECT_EQ(0x03, even.OnLine(0x03));
    EXPECT_EQ(0x02, odd.OnLine(0x02));
    EXPECT_EQ(0x83, odd.OnLine(0x03));
    EXPECT_EQ(0x82, eight.OnLine(0x82));
    EXPECT_EQ(0x02, even.Data(0x82));
}

TEST(RequestReader, FindsRequestsAmongNoiseAndBrokenFrames) {
    RequestReader reader;
    std::string badCheck = RequestFrame('M', 12);
    badCheck.back() ^= 1;
    const std::string good = RequestFrame('L', 5);
    reader.Feed("noise" + badCheck + good.substr(0, 3));
    EXPECT_FALSE(reader.Next()) << "half a request waits for the rest";
    reader.Feed(good.substr(3) + RequestFrame('M', 99));
    const auto first = reader.Next();
    ASSERT_TRUE(first);
    EXPECT_EQ('L', first->command);
    EXPECT_EQ(5, first->address);
    const auto second = reader.Next();
    ASSERT_TRUE(second);
    EXPECT_EQ(99, second->address);
    EXPECT_FALSE(reader.Next());
    EXPECT_EQ(5 + 6, reader.Discarded());
}

TEST(ProbeValues, RampMovesTheLevelWithinItsBoundsAndTheVolumeFollows) {
    Reading start;
    start.level = 2.0;
    start.volume = 20.0;
    const ValueSource filling = ValueSource::Ramp(start, 0.01, 2.5);
    EXPECT_DOUBLE_EQ(2.1, filling.At(10).level);
    EXPECT_DOUBLE_EQ(21.0, filling.At(10).volume);
    EXPECT_DOUBLE_EQ(2.5, filling.At(1000).level);
    const ValueSource draining = ValueSource::Ramp(start, -0.01, 2.5);
    EXPECT_DOUBLE_EQ(1.5, draining.At(50).level);
    EXPECT_DOUBLE_EQ(0.0, draining.At(1000).level);
    EXPECT_DOUBLE_EQ(0.0, draining.At(1000).volume);
    EXPECT_DOUBLE_EQ(start.density, draining.At(1000).density);
}

TEST(ProbeValues, ScriptRowsHoldUntilTheNext) {
    std::istringstream csv(
        "seconds,level,water-level,volume,water-volume,temperature,density\n"
        "# filling\n"
        "0,1.0,0,10,0,15,830\n"
        "\n"
        "5,1.5,0,15,0,15.5,831\n");
    const ValueSource script = ValueSource::Script(ParseScript(csv, "tank.csv"));
    EXPECT_DOUBLE_EQ(1.0, script.At(-1).level);
    EXPECT_DOUBLE_EQ(1.0, script.At(4.9).level);
    EXPECT_DOUBLE_EQ(1.5, script.At(5).level);
    EXPECT_DOUBLE_EQ(831, script.At(100).density);
}

TEST(ProbeValues, BadScriptsNameTheirLine) {
    struct Case {
        const char* text;
        const char* error;
    };
    const Case cases[] = {
        {"0,1,0,10,0,15\n", "tank.csv:1: expected 7 numbers"},
        {"0,1,0,10,0,15,830\nx,1,0,10,0,15,830\n", "tank.csv:2: a field is not a number"},
        {"5,1,0,10,0,15,830\n1,1,0,10,0,15,830\n", "tank.csv:2: time goes back"},
        {"header\nheader again\n", "tank.csv:2: a field is not a number"},
        {"# nothing\n", "tank.csv: no rows"},
    };
    for (const Case& c : cases) {
        std::istringstream csv(c.text);
        try {
            ParseScript(csv, "tank.csv");
            ADD_FAILURE() << c.text << " was accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_EQ(0u, std::string(e.what()).find(c.error)) << e.what();
        }
    }
    EXPECT_THROW(LoadScript("/nonexistent/levrano.csv"), std::invalid_argument);
}

TEST(SimProbe, EachFaultShapesTheAnswer) {
    const std::string healthy = AnswerFrame(5, LevelData(Reading{}));
    struct Case {
        const char* what;
        Faults faults;
        char command;
        std::string bytes;
        const char* noted;
    };
    const auto with = [](auto set) {
        Faults f;
        set(f);
        return f;
    };
    std::string badCheck = healthy;
    badCheck.back() ^= 1;
    const Case cases[] = {
        {"healthy", {}, 'L', healthy, ""},
        {"silent", with([](Faults& f) { f.silent = true; }), 'L', "", "silent"},
        {"silent-m on L", with([](Faults& f) { f.silentOnDensity = true; }), 'L', healthy, ""},
        {"silent-m on M", with([](Faults& f) { f.silentOnDensity = true; }), 'M', "", "silent-m"},
        {"silent-after, not yet", with([](Faults& f) { f.silentAfter = 20; }), 'L', healthy, ""},
        {"bad check", with([](Faults& f) { f.badCheck = true; }), 'L', badCheck, "bad-check"},
        {"wrong address", with([](Faults& f) { f.wrongAddress = 6; }), 'L', AnswerFrame(6, LevelData(Reading{})), "wrong-address=6"},
        {"stray", with([](Faults& f) { f.strayBytes = 3; }), 'L', std::string(3, '\0') + healthy, "stray=3"},
        {"cut", with([](Faults& f) { f.cutAfter = 0; }), 'L', healthy.substr(0, 21), "cut=21"},
        {"short", with([](Faults& f) { f.shortData = true; }), 'M', AnswerFrame(5, "8351"), "short"},
        {"unknown command", with([](Faults& f) { f.silent = true; }), 'X', "", ""},
    };
    for (const Case& c : cases) {
        ProbeSettings p;
        p.address = 5;
        p.faults = c.faults;
        const Response r = Respond(p, c.command, 0, 10);
        EXPECT_EQ(c.bytes, r.bytes) << c.what;
        EXPECT_EQ(c.noted, r.faults) << c.what;
    }
    ProbeSettings later;
    later.faults.silentAfter = 20;
    EXPECT_EQ("", Respond(later, 'L', 0, 20).bytes);
    later.faults = {};
    later.faults.late = milliseconds(400);
    EXPECT_EQ(milliseconds(400), Respond(later, 'L', 0, 0).delay);
}

TEST(CommandLine, ProbesWithValuesAndFaults) {
    const CommandLine line = ParseCommandLine({"--mode", "9600O7", "--probe", "3-5:level=2.5,ramp=-0.001,max-level=3",
                                               "--probe", "7:silent-m,stray=4,late=250,wrong-address,cut",
                                               "--probe", "9:silent-after=20", "--trace"});
    EXPECT_EQ(serial::Parity::Odd, line.format.parity);
    EXPECT_TRUE(line.trace);
    ASSERT_EQ(5u, line.probes.size());
    EXPECT_EQ(3, line.probes[0].address);
    EXPECT_EQ(5, line.probes[2].address);
    EXPECT_DOUBLE_EQ(2.4, line.probes[1].values.At(100).level);
    const Faults& f = line.probes[3].faults;
    EXPECT_TRUE(f.silentOnDensity);
    EXPECT_EQ(4, f.strayBytes);
    EXPECT_EQ(milliseconds(250), f.late);
    EXPECT_EQ(8, f.wrongAddress);
    EXPECT_EQ(0, f.cutAfter);
    EXPECT_EQ(20.0, line.probes[4].faults.silentAfter);
    EXPECT_EQ(1, ParseProbe("99:wrong-address")[0].faults.wrongAddress) << "the next address after 99 is 1";
}

TEST(CommandLine, MistakesAreNamed) {
    struct Case {
        std::vector<std::string> args;
        const char* mentions;
    };
    const Case cases[] = {
        {{}, "no probe"},
        {{"--probe", "0"}, "--probe 0"},
        {{"--probe", "100"}, "--probe 100"},
        {{"--probe", "5-3"}, "--probe 5-3"},
        {{"--probe", "5:level"}, "level: needs a value"},
        {{"--probe", "5:level=high"}, "\"high\" is not a number"},
        {{"--probe", "5:silent=1"}, "silent: takes no value"},
        {{"--probe", "5:colour=red"}, "colour: unknown setting"},
        {{"--probe", "5:script=x.csv,level=1"}, "a script gives every value"},
        {{"--probe", "5:stray=0"}, "stray"},
        {{"--probe"}, "--probe: needs a value"},
        {{"--mode", "9600X9", "--probe", "1"}, "9600X9"},
        {{"--speed", "9600"}, "--speed: unknown option"},
    };
    for (const Case& c : cases) {
        try {
            ParseCommandLine(c.args);
            ADD_FAILURE() << c.mentions << ": accepted";
        } catch (const std::invalid_argument& e) {
            EXPECT_NE(std::string::npos, std::string(e.what()).find(c.mentions)) << e.what();
        }
    }
    EXPECT_THROW(Simulator({{}, {ParseProbe("4")[0], ParseProbe("4")[0]}}), std::invalid_argument);
}

TEST(CommandLine, HelpDocumentsEveryOptionAndSetting) {
    const std::string help = HelpText();
    for (const char* word : {"--probe", "--mode", "--device", "--trace", "--help", "level=", "water-level=",
                             "volume=", "water-volume=", "temperature=", "density=", "ramp=", "max-level=",
                             "script=", "silent ", "silent-m", "silent-after=", "bad-check", "wrong-address",
                             "stray=", "cut", "short", "late=", "9600N8", "9600E7", "9600O7"})
        EXPECT_NE(std::string::npos, help.find(word)) << word;
}

TEST(Simulator, PacesAnswersAtLineSpeedAndCountsPerProbe) {
    SimulatorOptions options;
    options.probes = {ParseProbe("5")[0], ParseProbe("6:silent")[0]};
    std::ostringstream trace;
    options.trace = &trace;
    Simulator sim(options);
    const std::string slave = sim.OpenPseudoTerminal();
    sim.Start();
    auto port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(slave)->GetPort());
    port->SetState(test::MakeDcb(8, kNoParity));
    port->SetTimeout(200);

    const std::string request = RequestFrame('L', 5);
    const auto start = std::chrono::steady_clock::now();
    IntfPtr<IStatus>::Adopt(port->Write(request.data(), 6));
    std::string answer(43, '\0');
    std::int32_t received = 0;
    const auto status = IntfPtr<IStatus>::Adopt(port->Read(43, answer.data(), 43, &received));
    const auto took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(status->IsOk());
    EXPECT_EQ(AnswerFrame(5, LevelData(Reading{})), answer);
    // 49 characters of 10 bits at 9600 baud: the request's and the answer's line time.
    EXPECT_GE(took, std::chrono::microseconds(49 * 1'041));

    const std::string other = RequestFrame('L', 6) + RequestFrame('L', 50);
    IntfPtr<IStatus>::Adopt(port->Write(other.data(), 12));
    std::this_thread::sleep_for(milliseconds(200));
    sim.Stop();
    EXPECT_EQ((ProbeCounters{1, 1, 0}), sim.Counters(5));
    EXPECT_EQ((ProbeCounters{1, 0, 1}), sim.Counters(6));
    EXPECT_EQ(1, sim.Line().unknownAddress);
    EXPECT_NE(std::string::npos, trace.str().find("<< 05 L 02 4C 30 35 03 48")) << trace.str();
    EXPECT_NE(std::string::npos, trace.str().find("-- 06 L (no answer)  [silent]")) << trace.str();
}

// The program as a person runs it: the slave's path on standard output, answers on it, counters
// on standard error when it is told to stop.
TEST(SimulatorProgram, ServesAPseudoTerminalUntilTerminated) {
    const std::string program = LEVRANO_BINARY_DIR "/tools/gauge-sim/levrano-gauge-sim";
    int out[2], err[2];
    ASSERT_EQ(0, pipe(out));
    ASSERT_EQ(0, pipe(err));
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, err[1], 2);
    std::vector<std::string> args = {program, "--probe", "7:density=800"};
    std::vector<char*> argv;
    for (std::string& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = 0;
    ASSERT_EQ(0, posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ));
    posix_spawn_file_actions_destroy(&actions);
    close(out[1]);
    close(err[1]);

    FILE* output = fdopen(out[0], "r");
    char path[256] = {};
    ASSERT_NE(nullptr, fgets(path, sizeof path, output));
    std::string slave(path);
    slave.erase(slave.find_last_not_of('\n') + 1);

    {
        auto port = IntfPtr<ICPort>::Adopt(serial::OpenPortProvider(slave)->GetPort());
        port->SetState(test::MakeDcb(8, kNoParity));
        port->SetTimeout(1000);
        IntfPtr<IStatus>::Adopt(port->Write(RequestFrame('M', 7).data(), 6));
        std::string answer(16, '\0');
        std::int32_t received = 0;
        IntfPtr<IStatus>::Adopt(port->Read(16, answer.data(), 16, &received));
        EXPECT_EQ(AnswerFrame(7, "80000"), answer);
    }

    kill(pid, SIGTERM);
    int status = 0;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    std::string errors;
    char buffer[256];
    for (ssize_t n; (n = read(err[0], buffer, sizeof buffer)) > 0;) errors.append(buffer, static_cast<std::size_t>(n));
    EXPECT_NE(std::string::npos, errors.find("probe 7: 1 requests, 1 answers, 0 faults")) << errors;
    fclose(output);
    close(err[0]);
}

TEST(SimulatorProgram, HelpAndBadOptions) {
    const std::string program = LEVRANO_BINARY_DIR "/tools/gauge-sim/levrano-gauge-sim";
    EXPECT_EQ(0, std::system((program + " --help > /dev/null").c_str()));
    EXPECT_EQ(2, WEXITSTATUS(std::system((program + " --probe 0 2> /dev/null").c_str())));
}

}  // namespace
}  // namespace levrano::gauge_sim
