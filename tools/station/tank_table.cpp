#include "station/tank_table.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

#include "common/cp1251.h"
#include "common/intf_ptr.h"

namespace levrano::station {

namespace {

constexpr std::string_view kNoticeFormat = "резервуар %d -> датчик %d"_cp;

// Column widths, in characters.
constexpr int kNumberWidth = 5, kAddressWidth = 6, kStatusWidth = 21, kValueWidth = 10;
const char* const kValueHeadings[7] = {"Level m", "Volume m3", "Water m", "Water m3", "Density", "Temp C", "Mass kg"};
const char* const kValueFormats[7] = {"%.5f", "%.3f", "%.5f", "%.3f", "%.2f", "%.1f", "%.2f"};

// Characters of a UTF-8 text (what a terminal column counts).
std::size_t Characters(const std::string& utf8) {
    std::size_t n = 0;
    for (unsigned char c : utf8)
        if ((c & 0xC0) != 0x80) ++n;
    return n;
}

std::string PadRight(const std::string& text, int width) {
    const std::size_t n = Characters(text);
    return n >= static_cast<std::size_t>(width) ? text + " " : text + std::string(width - n, ' ');
}

std::string PadLeft(const std::string& text, int width) {
    const std::size_t n = Characters(text);
    return n >= static_cast<std::size_t>(width) ? " " + text : std::string(width - n, ' ') + text;
}

std::string Format(const char* format, double value) {
    char text[64];
    std::snprintf(text, sizeof text, format, value);
    return text;
}

}  // namespace

std::optional<std::pair<std::int32_t, std::int32_t>> ParseNotice(const std::string& notice) {
    int number = 0, address = 0;
    if (std::sscanf(notice.c_str(), kNoticeFormat.data(), &number, &address) != 2) return std::nullopt;
    return std::pair{number, address};
}

TankTable::TankTable(const std::vector<TankRecord>& tanks, std::ostream& out, bool terminal)
    : out_(out), terminal_(terminal) {
    for (const TankRecord& tank : tanks) rows_.push_back(Row{tank, {}, false, 0, "not served", {}, {}});
}

void TankTable::SetAddress(std::int32_t tankNumber, std::int32_t address) {
    for (Row& row : rows_)
        if (row.tank.number == tankNumber && !row.address) row.address = address;
}

void TankTable::Update(std::size_t tank, ITankState* state) {
    if (tank >= rows_.size() || !state) return;
    Row& row = rows_[tank];
    row.served = true;
    const auto status = IntfPtr<IStatus>::Adopt(state->GetStatus());
    char text[64] = {};  // the module's texts hold at most 34 characters
    row.code = status ? status->GetCode() : -1;
    row.status = !status ? "no status" : row.code == 0 ? "OK" : cp1251::ToUtf8(status->GetText(text));
    const double values[7] = {state->GetLevel(),   state->GetVolume(),      state->GetWaterLevel(),
                              state->GetWaterVolume(), state->GetDensity(), state->GetTemperature(),
                              state->GetMass()};
    std::copy(std::begin(values), std::end(values), row.values);
}

std::string TankTable::Header() {
    std::string line = PadLeft("Tank", kNumberWidth) + PadLeft("Probe", kAddressWidth) + "  " +
                       PadRight("Status", kStatusWidth);
    for (const char* heading : kValueHeadings) line += PadLeft(heading, kValueWidth);
    return line;
}

std::string TankTable::RowText(std::size_t tank) const {
    const Row& row = rows_.at(tank);
    std::string line = PadLeft(std::to_string(row.tank.number), kNumberWidth) +
                       PadLeft(row.address ? std::to_string(*row.address) : "-", kAddressWidth) + "  " +
                       PadRight(row.status, kStatusWidth);
    // A tank without a valid reading has no values to show (its state carries zeros).
    for (int i = 0; i < 7; ++i)
        line += PadLeft(row.served && row.code == 0 ? Format(kValueFormats[i], row.values[i]) : "-", kValueWidth);
    return line;
}

void TankTable::Show() {
    if (terminal_)
        Redraw();
    else
        PrintChanges();
    out_.flush();
}

void TankTable::Redraw() {
    // Back to the first line of the table drawn last time, then over it line by line.
    if (headerShown_) out_ << "\x1b[" << rows_.size() + 1 << "F";
    out_ << "\x1b[2K" << Header() << "\n";
    for (std::size_t i = 0; i < rows_.size(); ++i) out_ << "\x1b[2K" << RowText(i) << "\n";
    headerShown_ = true;
}

void TankTable::PrintChanges() {
    if (!headerShown_) out_ << std::string(10, ' ') << Header() << "\n";
    headerShown_ = true;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - started_).count();
    for (std::size_t i = 0; i < rows_.size(); ++i) {
        std::string text = RowText(i);
        if (text == rows_[i].shown) continue;
        out_ << Format("%7.1f s ", seconds) << text << "\n";
        rows_[i].shown = std::move(text);
    }
}

}  // namespace levrano::station
