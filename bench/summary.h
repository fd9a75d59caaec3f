// What every benchmark reports: the median of its runs with the fastest and the slowest, laid
// out as Markdown tables that bench/run gathers into RESULTS.md.
#pragma once

#include <string>
#include <vector>

namespace levrano::bench {

struct TSummary {
    double median = 0;
    double min = 0;
    double max = 0;
    std::size_t runs = 0;
};

TSummary Summarize(std::vector<double> samples);

// "median (min to max)" with the given number of decimals.
std::string MedianText(const TSummary& summary, int decimals);
std::string Fixed(double value, int decimals);

class TTable {
public:
    explicit TTable(std::vector<std::string> header) : header_(std::move(header)) {}
    void Row(std::vector<std::string> cells) { rows_.push_back(std::move(cells)); }
    void Print() const;  // on standard output, followed by a blank line

private:
    std::vector<std::string> header_;
    std::vector<std::vector<std::string>> rows_;
};

// A heading and a short note under it, on standard output.
void Section(const std::string& title, const std::string& note);

}  // namespace levrano::bench
