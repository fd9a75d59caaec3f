// The station's tank calibrations: the volume a tank holds at a level, as the host answers
// ITank.LevelToVolume. Levels are in metres, volumes in cubic metres.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace levrano::station {

class Calibration {
public:
    // "linear:K": K litres per millimetre of level (the same number as cubic metres per metre),
    // for upright tanks of constant cross-section.
    // "cylinder:D,L": a horizontal cylinder of diameter D and length L metres.
    // Throws std::invalid_argument saying what is wrong.
    static Calibration Parse(std::string_view text);
    // 10 litres per millimetre.
    Calibration() = default;

    // The volume at a level; levels below 0 hold nothing, a cylinder holds nothing more above
    // its top.
    double Volume(double level) const;
    const std::string& Text() const { return text_; }

private:
    enum class Shape { Linear, Cylinder };
    Shape shape_ = Shape::Linear;
    double litresPerMillimetre_ = 10;
    double diameter_ = 0, length_ = 0;
    std::string text_ = "linear:10";
};

// The calibration of every tank: one default and any number given by tank number.
class CalibrationTable {
public:
    // "[NUMBER=]KIND:PARAMETERS"; without a number it replaces the default. Throws
    // std::invalid_argument.
    void Add(std::string_view setting);
    const Calibration& For(std::int32_t tankNumber) const;

private:
    Calibration default_;
    std::map<std::int32_t, Calibration> byTank_;
};

}  // namespace levrano::station
