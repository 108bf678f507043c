#pragma once

// The look shared by every chart: one place for colours, type sizes and strokes.

#include <array>
#include <string_view>

namespace tarven::plot::style {

// The Okabe-Ito palette, which stays distinguishable under the common colour-vision
// deficiencies. Ordered for lines on white: the yellow, faint on white, comes last.
inline constexpr std::array<std::string_view, 8> kSeriesColours = {
    "#0072B2", "#D55E00", "#009E73", "#E69F00", "#CC79A7", "#56B4E9", "#000000", "#F0E442"};

inline constexpr std::string_view kFontFamily = "Helvetica, Arial, 'DejaVu Sans', sans-serif";
inline constexpr std::string_view kBackground = "#FFFFFF";
inline constexpr std::string_view kInk = "#222222";       // titles, axis lines
inline constexpr std::string_view kMutedInk = "#555555";  // tick labels, notes, subtitles
inline constexpr std::string_view kGrid = "#E6E6E6";
inline constexpr std::string_view kStrip = "#EFEFEF";  // facet title strips
inline constexpr std::string_view kBar = "#0072B2";
inline constexpr std::string_view kUndefinedBar = "#999999";
inline constexpr std::string_view kThreshold = "#D55E00";
inline constexpr std::string_view kExpected = "#222222";

inline constexpr double kTitleSize = 16;
inline constexpr double kSubtitleSize = 12;
inline constexpr double kLabelSize = 11;  // tick labels, annotations, legend entries
inline constexpr double kAxisTitleSize = 12;
inline constexpr double kNoteSize = 11;

inline constexpr double kTickLength = 5;
inline constexpr double kLineWidth = 2;

}  // namespace tarven::plot::style
