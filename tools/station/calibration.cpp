#include "station/calibration.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace levrano::station {

namespace {

[[noreturn]] void Fail(std::string_view text, const std::string& reason) {
    throw std::invalid_argument("calibration \"" + std::string(text) + "\": " + reason +
                                " (expected linear:LITRES_PER_MM or cylinder:DIAMETER,LENGTH)");
}

double Positive(std::string_view text, std::string_view number) {
    double value = 0;
    const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
    if (number.empty() || error != std::errc() || end != number.data() + number.size() || !(value > 0) ||
        !std::isfinite(value))
        Fail(text, "\"" + std::string(number) + "\" is not a positive number");
    return value;
}

// Cross-section of a horizontal cylinder of radius r filled to height h (0 <= h <= 2r): the
// circular segment below the liquid's surface.
double SegmentArea(double r, double h) {
    const double d = r - h;
    return r * r * std::acos(d / r) - d * std::sqrt(std::max(0.0, 2 * r * h - h * h));
}

}  // namespace

Calibration Calibration::Parse(std::string_view text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos) Fail(text, "no ':'");
    const std::string_view kind = text.substr(0, colon);
    const std::string_view parameters = text.substr(colon + 1);
    Calibration c;
    c.text_ = std::string(text);
    if (kind == "linear") {
        c.shape_ = Shape::Linear;
        c.litresPerMillimetre_ = Positive(text, parameters);
    } else if (kind == "cylinder") {
        const std::size_t comma = parameters.find(',');
        if (comma == std::string_view::npos) Fail(text, "a cylinder needs its diameter and its length");
        c.shape_ = Shape::Cylinder;
        c.diameter_ = Positive(text, parameters.substr(0, comma));
        c.length_ = Positive(text, parameters.substr(comma + 1));
    } else {
        Fail(text, "unknown kind \"" + std::string(kind) + "\"");
    }
    return c;
}

double Calibration::Volume(double level) const {
    if (!(level > 0)) return 0;
    if (shape_ == Shape::Linear) return litresPerMillimetre_ * level;  // L/mm = m3/m
    const double r = diameter_ / 2;
    return length_ * SegmentArea(r, std::min(level, diameter_));
}

void CalibrationTable::Add(std::string_view setting) {
    const std::size_t equals = setting.find('=');
    if (equals == std::string_view::npos) {
        default_ = Calibration::Parse(setting);
        return;
    }
    const std::string_view numberText = setting.substr(0, equals);
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(numberText.data(), numberText.data() + numberText.size(), number);
    if (numberText.empty() || error != std::errc() || end != numberText.data() + numberText.size())
        throw std::invalid_argument("calibration \"" + std::string(setting) + "\": \"" + std::string(numberText) +
                                    "\" is not a tank number");
    byTank_.insert_or_assign(number, Calibration::Parse(setting.substr(equals + 1)));
}

const Calibration& CalibrationTable::For(std::int32_t tankNumber) const {
    const auto it = byTank_.find(tankNumber);
    return it == byTank_.end() ? default_ : it->second;
}

}  // namespace levrano::station
