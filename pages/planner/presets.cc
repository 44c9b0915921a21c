#include "pages/planner/presets.h"

namespace sheetora::planner {
namespace {

constexpr layout::Micrometres Mm(layout::Micrometres mm) { return mm * layout::kMicrometresPerMm; }
/// Inches that are whole micrometres, as every size here is.
consteval layout::Micrometres In(double in) {
  const auto micrometres = static_cast<layout::Micrometres>(in * kMicrometresPerInch);
  if (static_cast<double>(micrometres) != in * kMicrometresPerInch) throw "not whole micrometres";
  return micrometres;
}

constexpr auto kSheet = PresetKind::kSheet, kPiece = PresetKind::kPiece;
constexpr auto kMm = Unit::kMm, kIn = Unit::kIn;
constexpr Msg kNoName = Msg::kCount;

constexpr Preset kPresets[] = {
    // Chinese full sheets and their common parts.
    {kSheet, Msg::kPresetFullZheng, "", Mm(1092), Mm(787), kMm},
    {kSheet, Msg::kPresetHalfZheng, "", Mm(787), Mm(546), kMm},
    {kSheet, Msg::kPresetQuarterZheng, "", Mm(546), Mm(393), kMm},
    {kSheet, Msg::kPresetEighthZheng, "", Mm(393), Mm(273), kMm},
    {kSheet, Msg::kPresetFullDa, "", Mm(1194), Mm(889), kMm},
    {kSheet, Msg::kPresetHalfDa, "", Mm(889), Mm(597), kMm},
    {kSheet, Msg::kPresetQuarterDa, "", Mm(597), Mm(444), kMm},
    {kSheet, Msg::kPresetEighthDa, "", Mm(444), Mm(298), kMm},
    {kSheet, kNoName, "SRA3", Mm(450), Mm(320), kMm},
    {kSheet, kNoName, "SRA2", Mm(640), Mm(450), kMm},
    {kSheet, kNoName, "SRA1", Mm(900), Mm(640), kMm},
    {kSheet, kNoName, "B2", Mm(707), Mm(500), kMm},
    {kSheet, kNoName, "B1", Mm(1000), Mm(707), kMm},
    // Press sheets in inches.
    {kSheet, Msg::kPresetPressSheet, "", In(18), In(12), kIn},
    {kSheet, Msg::kPresetPressSheet, "", In(19), In(13), kIn},
    {kSheet, Msg::kPresetPressSheet, "", In(25), In(19), kIn},
    {kSheet, Msg::kPresetPressSheet, "", In(35), In(23), kIn},
    {kSheet, Msg::kPresetPressSheet, "", In(38), In(25), kIn},
    {kSheet, Msg::kPresetPressSheet, "", In(40), In(28), kIn},
    // Pieces.
    {kPiece, kNoName, "A3", Mm(420), Mm(297), kMm},
    {kPiece, kNoName, "A4", Mm(297), Mm(210), kMm},
    {kPiece, kNoName, "A5", Mm(210), Mm(148), kMm},
    {kPiece, kNoName, "A6", Mm(148), Mm(105), kMm},
    {kPiece, kNoName, "DL", Mm(220), Mm(110), kMm},
    {kPiece, Msg::kPresetLetter, "", In(11), In(8.5), kIn},
    {kPiece, Msg::kPresetLegal, "", In(14), In(8.5), kIn},
    {kPiece, Msg::kPresetTabloid, "", In(17), In(11), kIn},
    {kPiece, Msg::kPresetBusinessCard, "", Mm(90), Mm(54), kMm},
    {kPiece, Msg::kPresetBusinessCard, "", Mm(85), Mm(55), kMm},
    {kPiece, Msg::kPresetBusinessCard, "", In(3.5), In(2), kIn},
    {kPiece, Msg::kPresetPostcard, "", Mm(165), Mm(102), kMm},
    {kPiece, Msg::kPresetPostcard, "", Mm(148), Mm(100), kMm},
    {kPiece, Msg::kPresetPostcard, "", In(6), In(4), kIn},
};

}  // namespace

std::span<const Preset> Presets() { return kPresets; }

}  // namespace sheetora::planner
