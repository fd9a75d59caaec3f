#include "host_programs.h"

#include <gtest/gtest.h>

#include <sstream>

namespace levrano::test {

SimulatedLine::SimulatedLine(std::vector<gauge_sim::ProbeSettings> probes) {
    gauge_sim::SimulatorOptions options;
    options.probes = std::move(probes);
    sim_ = std::make_unique<gauge_sim::Simulator>(options);
    device_ = sim_->OpenPseudoTerminal();
    sim_->Start();
}

gauge_sim::ProbeSettings Probe(int address, double level, bool silent) {
    gauge_sim::Reading reading;
    reading.level = level;
    gauge_sim::ProbeSettings p;
    p.address = address;
    p.values = gauge_sim::ValueSource::Constant(reading);
    p.faults.silent = silent;
    return p;
}

std::unique_ptr<QProcess> StartProgram(const std::string& program, const QStringList& args) {
    auto process = std::make_unique<QProcess>();
    process->start(QString::fromStdString(program), args);
    EXPECT_TRUE(process->waitForStarted()) << program << ": " << process->errorString().toStdString();
    return process;
}

ProgramRun RunProgram(const std::string& program, const QStringList& args) {
    const auto process = StartProgram(program, args);
    if (!process->waitForFinished(120'000)) {
        ADD_FAILURE() << program << " still runs after two minutes";
        process->kill();
        process->waitForFinished();
    }
    ProgramRun run;
    run.exitedNormally = process->exitStatus() == QProcess::NormalExit;
    run.exitCode = process->exitCode();
    run.out = process->readAllStandardOutput().toStdString();
    run.err = process->readAllStandardError().toStdString();
    return run;
}

std::vector<std::vector<std::string>> TableRows(const std::string& out) {
    std::vector<std::vector<std::string>> rows;
    std::istringstream lines(out);
    for (std::string line; std::getline(lines, line);) {
        std::istringstream in(line);
        std::vector<std::string> words;
        for (std::string word; in >> word;) words.push_back(word);
        if (words.size() > 2 && words[1] == "s") rows.emplace_back(words.begin() + 2, words.end());
    }
    return rows;
}

}  // namespace levrano::test
