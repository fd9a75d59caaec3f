// Our XML reader and writer against pugixml on one configuration file: a "port" element and
// 20,000 tank entries (about 3 MB) written by our writer. Parse: LoadXmlDocument against
// pugixml's load_file; write: SaveXmlDocument against pugixml's save_file with indentation, both
// on a tmpfs folder where one exists, so that the figures are the libraries' own work and not
// the disk's. Google Benchmark times each; the Markdown summary goes to standard output, the
// benchmark log to standard error. Usage: bench_xml_files [--benchmark_repetitions=N] ...
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>
#include <pugixml.hpp>
#include <stdexcept>

#include "summary.h"
#include "xml/xmldoc.h"

namespace {

namespace fs = std::filesystem;
using namespace levrano;

constexpr int kTanks = 20000;

fs::path WorkFolder() {
    const fs::path shm = "/dev/shm";
    const fs::path base = fs::is_directory(shm) && ::access(shm.c_str(), W_OK) == 0 ? shm : fs::temp_directory_path();
    return base / ("levrano-bench-xml-" + std::to_string(::getpid()));
}

const fs::path& Folder() {
    static const fs::path folder = [] {
        fs::create_directories(WorkFolder());
        return WorkFolder();
    }();
    return folder;
}

std::string InFolder(const char* name) { return (Folder() / name).string(); }

// The file the configuration dialog would write for this many tanks, one probe each.
std::unique_ptr<TXmlDocument> Configuration() {
    auto doc = NewXmlDocument();
    doc->Name = "Levrano";
    WriteString(doc.get(), "boot", "name", "Levrano");
    WriteInteger(doc.get(), "port", "number", 1);
    WriteString(doc.get(), "port", "mode", "9600N8");
    WriteInteger(doc.get(), "port", "timeout", 500);
    WriteInteger(doc.get(), "port", "delay", 500);
    TXmlNode* tanks = FindNode(doc.get(), "Tanks", true);
    WriteBool(tanks, "", "default", false);
    for (int i = 0; i < kTanks; ++i) {
        TXmlNode* item = AddElement(tanks, "item", "");
        WriteInteger(item, "", "tankid", 100000 + i);
        WriteInteger(item, "", "address", i % 99 + 1);
        WriteBool(item, "", "hasH", true);
        WriteBool(item, "", "hasV", true);
        WriteBool(item, "", "hasD", i % 3 != 0);
        WriteBool(item, "", "hasT", true);
        WriteBool(item, "", "hasW", i % 2 == 0);
    }
    return doc;
}

const std::string& SourceFile() {
    static const std::string path = [] {
        const std::string file = InFolder("levrano.xml");
        if (!SaveXmlDocument(Configuration().get(), file)) throw std::runtime_error("cannot write " + file);
        return file;
    }();
    return path;
}

std::size_t FileBytes(const std::string& path) { return static_cast<std::size_t>(fs::file_size(path)); }

// Both parsers must see the same tanks, or the comparison means nothing.
void CheckSameContent() {
    auto ours = LoadXmlDocument(SourceFile());
    pugi::xml_document theirs;
    if (!theirs.load_file(SourceFile().c_str())) throw std::runtime_error("pugixml cannot read the file");
    const auto items = theirs.document_element().child("Tanks").children("item");
    const auto count = static_cast<std::int32_t>(std::distance(items.begin(), items.end()));
    const auto lastId = theirs.document_element().child("Tanks").last_child().attribute("tankid").as_int();
    TXmlNode* tanks = FindNode(ours.get(), "tanks", false);
    if (count != kTanks || Count(tanks) != kTanks || ReadInteger(Child(tanks, kTanks - 1), "", "tankid", 0) != lastId)
        throw std::runtime_error("the two parsers read different trees");
}

void SetBytes(benchmark::State& state, std::size_t bytes) {
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * bytes));
    state.counters["file_bytes"] = static_cast<double>(bytes);
}

void ParseLevrano(benchmark::State& state) {
    for (auto _ : state) {
        auto doc = LoadXmlDocument(SourceFile());
        benchmark::DoNotOptimize(doc.get());
    }
    SetBytes(state, FileBytes(SourceFile()));
}

void ParsePugixml(benchmark::State& state) {
    for (auto _ : state) {
        pugi::xml_document doc;
        if (!doc.load_file(SourceFile().c_str())) state.SkipWithError("pugixml cannot read the file");
        benchmark::DoNotOptimize(doc.first_child());
    }
    SetBytes(state, FileBytes(SourceFile()));
}

void WriteLevrano(benchmark::State& state) {
    const auto doc = LoadXmlDocument(SourceFile());
    const std::string target = InFolder("levrano-out.xml");
    for (auto _ : state)
        if (!SaveXmlDocument(doc.get(), target)) state.SkipWithError("cannot save");
    SetBytes(state, FileBytes(target));
}

void WritePugixml(benchmark::State& state) {
    pugi::xml_document doc;
    doc.load_file(SourceFile().c_str());
    const std::string target = InFolder("pugixml-out.xml");
    for (auto _ : state)
        if (!doc.save_file(target.c_str(), "  ", pugi::format_indent)) state.SkipWithError("cannot save");
    SetBytes(state, FileBytes(target));
}

// Heap bytes that one loaded document holds. Memory of freed documents is kept for the next
// one, so ours is measured on a third document while two are held, when none is left to reuse.
struct TFootprint {
    double ours = 0;
    double theirs = 0;
};

TFootprint Footprint() {
    TFootprint footprint;
    {
        auto first = LoadXmlDocument(SourceFile());
        auto second = LoadXmlDocument(SourceFile());
        const auto held = mallinfo2().uordblks;
        auto third = LoadXmlDocument(SourceFile());
        footprint.ours = static_cast<double>(mallinfo2().uordblks - held);
    }
    const auto before = mallinfo2().uordblks;
    {
        pugi::xml_document doc;
        doc.load_file(SourceFile().c_str());
        footprint.theirs = static_cast<double>(mallinfo2().uordblks - before);
    }
    return footprint;
}

// Keeps every repetition's wall and CPU time per iteration, and shows the usual console report
// on stderr.
class TCollector : public benchmark::ConsoleReporter {
public:
    TCollector() : ConsoleReporter(OO_Tabular) {
        SetOutputStream(&std::cerr);
        SetErrorStream(&std::cerr);
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred) continue;
            auto& entry = results_[run.run_name.function_name];
            entry.wall.push_back(run.GetAdjustedRealTime());
            entry.cpu.push_back(run.GetAdjustedCPUTime());
            entry.bytes = run.counters.at("file_bytes");
        }
    }

    struct TResult {
        std::vector<double> wall;  // milliseconds
        std::vector<double> cpu;
        double bytes = 0;
    };
    bool Has(const std::string& name) const { return results_.count(name) != 0; }
    const TResult& Result(const std::string& name) const { return results_.at(name); }

private:
    std::map<std::string, TResult> results_;
};

double MegabytesPerSecond(double bytes, double milliseconds) { return bytes / 1e6 / (milliseconds / 1e3); }

void AddRow(bench::TTable& table, const char* what, const TCollector::TResult& result, const TCollector::TResult& anchor) {
    const bench::TSummary wall = bench::Summarize(result.wall);
    const bench::TSummary cpu = bench::Summarize(result.cpu);
    table.Row({what, bench::Fixed(result.bytes / 1e6, 2), bench::MedianText(wall, 2), bench::MedianText(cpu, 2),
               bench::Fixed(MegabytesPerSecond(result.bytes, wall.median), 1),
               bench::Fixed(wall.median / bench::Summarize(anchor.wall).median, 2),
               bench::Fixed(cpu.median / bench::Summarize(anchor.cpu).median, 2)});
}

void PrintSummary(const TCollector& collector) {
    for (const char* name : {"ParseLevrano", "ParsePugixml", "WriteLevrano", "WritePugixml"})
        if (!collector.Has(name)) return;  // a filter left some out
    const auto& parseOurs = collector.Result("ParseLevrano");
    const auto& parseTheirs = collector.Result("ParsePugixml");
    const auto& writeOurs = collector.Result("WriteLevrano");
    const auto& writeTheirs = collector.Result("WritePugixml");

    bench::Section("XML: our reader and writer against pugixml",
                   "A configuration file with a \"port\" element and " + std::to_string(kTanks) +
                       " tank entries of seven attributes, written by our writer; files on " + Folder().parent_path().string() +
                       ". Time per file: median (min to max) of " + std::to_string(parseOurs.wall.size()) +
                       " Google Benchmark repetitions, wall and CPU time of the thread; MB/s at the median wall time; "
                       "ratios = our median / pugixml's (CPU time is the steadier on a shared machine). "
                       "Goal: both ratios at most 2.");
    bench::TTable table({"step", "file MB", "wall ms per file", "CPU ms per file", "MB/s", "wall / pugixml", "CPU / pugixml"});
    AddRow(table, "parse: LoadXmlDocument", parseOurs, parseTheirs);
    AddRow(table, "parse: pugixml load_file", parseTheirs, parseTheirs);
    AddRow(table, "write: SaveXmlDocument (atomic replace, fsync)", writeOurs, writeTheirs);
    AddRow(table, "write: pugixml save_file, indent", writeTheirs, writeTheirs);
    table.Print();

    const TFootprint footprint = Footprint();
    bench::TTable memory({"loaded document", "heap MB", "bytes per tank entry"});
    memory.Row({"ours", bench::Fixed(footprint.ours / 1e6, 2), bench::Fixed(footprint.ours / kTanks, 0)});
    memory.Row({"pugixml", bench::Fixed(footprint.theirs / 1e6, 2), bench::Fixed(footprint.theirs / kTanks, 0)});
    memory.Print();
}

}  // namespace

BENCHMARK(ParseLevrano)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(ParsePugixml)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WriteLevrano)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(WritePugixml)->Unit(benchmark::kMillisecond)->UseRealTime();

int main(int argc, char** argv) {
    std::vector<char*> args(argv, argv + argc);
    std::string repetitions = "--benchmark_repetitions=5";
    args.insert(args.begin() + 1, repetitions.data());  // a later argument overrides it
    int count = static_cast<int>(args.size());
    benchmark::Initialize(&count, args.data());
    int status = 0;
    try {
        CheckSameContent();
        TCollector collector;
        benchmark::RunSpecifiedBenchmarks(&collector);
        PrintSummary(collector);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "xml_files: %s\n", e.what());
        status = 1;
    }
    benchmark::Shutdown();
    fs::remove_all(Folder());
    return status;
}
