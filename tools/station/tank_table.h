// The live table of the station's tanks: one row per tank with its probe address, status and the
// seven values of its gauge's latest state. On a terminal the table is redrawn in place; on
// anything else each row that changed is printed as a new line, after the seconds since start.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "host/OperatorIntf.h"
#include "station/station_database.h"

namespace levrano::station {

// The tank number and probe address of a module notice ("резервуар N -> датчик A", Windows-1251).
std::optional<std::pair<std::int32_t, std::int32_t>> ParseNotice(const std::string& notice);

class TankTable {
public:
    TankTable(const std::vector<TankRecord>& tanks, std::ostream& out, bool terminal);

    // The probe address of a tank, by its number (from the notices).
    void SetAddress(std::int32_t tankNumber, std::int32_t address);
    // The latest state of the tank at a position; a tank never given one is not served.
    void Update(std::size_t tank, ITankState* state);
    // Draws the table (terminal), or prints the rows changed since the last call.
    void Show();

    // The row of the tank at a position as shown, without the time.
    std::string RowText(std::size_t tank) const;
    static std::string Header();

private:
    struct Row {
        TankRecord tank;
        std::optional<std::int32_t> address;
        bool served = false;
        std::int32_t code = 0;
        std::string status;  // UTF-8
        double values[7] = {};
        std::string shown;   // as last printed
    };

    void Redraw();
    void PrintChanges();

    std::vector<Row> rows_;
    std::ostream& out_;
    const bool terminal_;
    bool headerShown_ = false;
    const std::chrono::steady_clock::time_point started_ = std::chrono::steady_clock::now();
};

}  // namespace levrano::station
