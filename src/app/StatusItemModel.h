// SPDX-License-Identifier: MIT
// What the status item shows, apart from how a desktop draws it: the settings
// the menu reflects, the lid angle the icon and its text follow, and the
// bellows icon's geometry.
#pragma once

#include "core/Availability.h"
#include "cover/CoverMode.h"
#include "render/FoldStyle.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace orvane {

struct FoldSettings;

namespace StatusMenuText {
inline constexpr std::string_view pause = "Pause Orvane";
inline constexpr std::string_view resume = "Resume Orvane";
inline constexpr std::string_view style = "Style";
inline constexpr std::string_view cover = "Cover";
inline constexpr std::string_view coverIntro =
    "When the lid rests half closed, frost the screen or show a clock.";
inline constexpr std::string_view accordion = "Accordion";
inline constexpr std::string_view settings = "Settings…";
inline constexpr std::string_view updates = "Check for Updates…";
inline constexpr std::string_view about = "About Orvane";
inline constexpr std::string_view quit = "Quit Orvane";
} // namespace StatusMenuText

class StatusItemModel {
public:
    // The settings the menu shows.
    struct State {
        bool paused = false;
        FoldStyle style = FoldStyle::vellum;
        CoverMode coverMode = CoverMode::off;
        bool accordion = false;
        bool showAngle = false;
        bool operator==(const State&) const = default;
    };

    const State& state() const { return state_; }
    const StatusPresentation& presentation() const { return presentation_; }
    double displayedAngle() const { return displayedAngle_; }
    bool hasReading() const { return hasReading_; }

    // True when the icon variant changed.
    bool apply(const Availability& availability);
    // True when the angle text changed.
    bool apply(const FoldSettings& settings);
    // True when the icon and the angle text must be drawn again. The shown angle
    // moves only with a brisk lid, in steps of at least a few degrees, so the
    // icon does not flicker with sensor noise. A non-finite angle counts as no reading.
    bool applyLidSample(std::optional<double> angle, double velocity);

    // Empty unless the angle is shown; whole degrees, or an en dash without a reading.
    std::string angleText() const;
    // The presentation's tool tip, led by the angle when there is one to show.
    std::string toolTip() const;
    std::string_view pauseTitle() const;

private:
    State state_;
    StatusPresentation presentation_ = Availability::ready().presentation();
    double displayedAngle_ = 0;
    bool hasReading_ = false;
};

// The bellows icon in points, y upward: two posts and a zig-zag between them,
// and the variant's mark.
inline constexpr double bellowsIconWidth = 16;
inline constexpr double bellowsIconHeight = 14;

struct IconPoint {
    double x = 0;
    double y = 0;
    bool operator==(const IconPoint&) const = default;
};

// A polyline with round caps and joins.
struct IconStroke {
    std::vector<IconPoint> points;
    double width = 1;
    bool operator==(const IconStroke&) const = default;
};

struct BellowsDrawing {
    std::vector<IconStroke> strokes;
    double opacity = 1;
};

// Half the distance between the posts: narrowest for a lid nearly closed,
// widest for one wide open.
double bellowsHalfWidth(double angle);
BellowsDrawing bellowsDrawing(double angle, IconVariant variant);

} // namespace orvane
