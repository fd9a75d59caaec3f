#include "summary.h"

#include <algorithm>
#include <cstdio>

namespace levrano::bench {

TSummary Summarize(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const std::size_t n = samples.size();
    const double median = n % 2 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {median, samples.front(), samples.back(), n};
}

std::string Fixed(double value, int decimals) {
    char text[64];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

std::string MedianText(const TSummary& summary, int decimals) {
    return Fixed(summary.median, decimals) + " (" + Fixed(summary.min, decimals) + " to " + Fixed(summary.max, decimals) + ")";
}

namespace {

void PrintLine(const std::vector<std::string>& cells) {
    std::string line = "|";
    for (const std::string& cell : cells) line += " " + cell + " |";
    std::puts(line.c_str());
}

}  // namespace

void TTable::Print() const {
    PrintLine(header_);
    PrintLine(std::vector<std::string>(header_.size(), "---"));
    for (const auto& row : rows_) PrintLine(row);
    std::puts("");
    std::fflush(stdout);
}

void Section(const std::string& title, const std::string& note) {
    std::printf("## %s\n\n", title.c_str());
    if (!note.empty()) std::printf("%s\n\n", note.c_str());
    std::fflush(stdout);
}

}  // namespace levrano::bench
