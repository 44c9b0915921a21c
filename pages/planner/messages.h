// The planner's words in each language it speaks, and how it writes numbers and lengths in them.
// Every text the planner pages, their drawing, cut list and PDF show comes from one table per
// language in messages.cc; another language is one more table there.
#pragma once

#include <array>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

#include "layout/layout.h"
#include "pages/planner/units.h"

namespace sheetora::planner {

/// One text of the planner. A text with "{0}", "{1}"... takes arguments (Locale::Fill), so each
/// language orders them as it needs.
enum class Msg : std::uint16_t {
  // The page.
  kTitle,
  kClassicLink,
  kSubmit,
  kLanguageSwitch,  ///< the switch's accessible name
  kSkipToResult,
  kRowNumber,  ///< the head of a table's column of row numbers, for screen readers
  kGroupSheet,
  kGroupLayout,
  kGroupJob,
  kSheet,
  kPiece,
  kUnit,
  kBleed,
  kGutter,
  kGripper,
  kTail,
  kLeft,
  kRight,
  kGrain,
  kCut,
  kQuantity,
  kOvers,
  kMakeready,
  kParent,
  kGrammage,
  kPrice,
  kPricePer,
  kCopiesSuffix,
  kSheetsSuffix,
  kSameAsSheet,
  kPresets,     ///< hint that the size fields offer sizes as one types
  kSizeFormat,  ///< how a size is typed, for the size fields' description
  kUnitMm,
  kUnitIn,
  kGrainAny,
  kGrainLength,
  kGrainWidth,
  kCutGuillotine,
  kCutDie,
  kPerTonne,
  kPerReam,
  kPerSheet,
  kPerSquareMetre,
  kDrawingLinks,
  kPdfLink,
  kSvgLink,
  // Presets.
  kPresetFullZheng,
  kPresetHalfZheng,
  kPresetQuarterZheng,
  kPresetEighthZheng,
  kPresetFullDa,
  kPresetHalfDa,
  kPresetQuarterDa,
  kPresetEighthDa,
  kPresetBusinessCard,
  kPresetPostcard,
  kPresetLetter,
  kPresetLegal,
  kPresetTabloid,
  kPresetPressSheet,
  // Form errors.
  kErrRequired,
  kErrNumber,
  kErrWhole,
  kErrTooLarge,
  kErrSize,
  kErrChoice,
  kErrQuantityNeeded,
  kErrOutOfRange,
  kErrPerTonneNeedsGrammage,
  kErrNoPrintableArea,
  kErrRefused,
  // The answer.
  kSummary,  ///< "{0} {1}" label and value in the one-line summary
  kUps,
  kProof,
  kBound,
  kUtilisation,
  kProofOptimal,
  kProofBestGuillotine,
  kProofNone,
  kJob,
  kJobNoPieceFits,
  kJobParentTooSmall,
  kRunSheets,
  kPressSheets,
  kPerParent,
  kParentSheets,
  kWeight,
  kCost,
  kParentUtilisation,
  kSheetCount,  ///< "{0} sheets"
  kPerParentCount,
  kMoney,  ///< "{0} 元"
  kNoGrammage,
  kNoPrice,
  kCutList,
  kWholeSheet,
  kStack,      ///< "stack #{0}"
  kCutAlongX,  ///< {0} the stack, {1} its size, {2} the distance from its left edge
  kCutAlongY,  ///< {0} the stack, {1} its size, {2} the distance from its gripper edge
  kNoCutsDie,
  kNoCutsNothingFits,
  kNoCutsTooMany,  ///< {0} the limit
  kNoCuts,
  kGripperEdge,
  kGripperWidth,  ///< "gripper {0}"
  kDrawingWords,  ///< {0} ups, {1} piece size, {2} sheet size, {3} the blocks
  kBlockWords,    ///< {0} columns, {1} rows, {2} upright or turned, {3} x, {4} y
  kUpright,
  kTurned,
  kBlockSeparator,
  kCutSheetTitle,
  kFigure,  ///< "{0}: {1}" in the PDF
  // The gang page.
  kGangTitle,
  kPlanLink,
  kGroupGangSheet,
  kGroupJobs,
  kGroupGangPlan,
  kJobName,
  kAddRow,
  kMaxLayouts,
  kLayoutsSuffix,
  kMakereadyPerLayout,
  kSetupSheets,
  kErrNoJobs,
  kErrNoSuchLayout,
  kLayoutCount,
  kGangCost,
  kGangBound,
  kGap,
  kGangOptimal,
  kGangNotProven,
  kSearch,
  kCutShort,
  kPaper,
  kProduced,
  kOverCount,
  kLayoutTitle,  ///< {0} the layout's number, {1} its run in sheets
  kRuns,
  kPiecesPerSheet,
  kLegendEntry,  ///< {0} the job, {1} its size, {2} its pieces a sheet
  kJobCount,
  kMostLayouts,
  kGangPdfTitle,
  kLayoutNumber,
  kGangPdfLink,
  kExampleFlyer,
  // The files for the press and the guillotine.
  kGroupPress,
  kSides,
  kSidesSingle,
  kSidesSheetwise,
  kSidesTurn,
  kSidesTumble,
  kMaxStack,
  kLayersSuffix,
  kCropMarks,
  kRegistrationMarks,
  kSlugLine,
  kMarkOn,
  kMarkOff,
  kLiftList,
  kLiftStacked,  ///< "{0} strips stacked"
  kLiftOne,      ///< one strip
  kLiftTurn,     ///< the strips turned a quarter first, "" when not
  kLiftOneCycle,
  kLiftCycles,  ///< "{0} cuts"
  kLiftAlongX,
  kLiftAlongY,
  kLiftSeparator,  ///< between offsets
  kLiftStep,       ///< {0} strips, {1} size, {2} turn, {3} cycles, {4} way, {5} offsets, {6} unit
  kCycles,
  kCyclesValue,  ///< {0} stacked, {1} one strip at a time
  kPpfLink,
  kJdfLink,
  kArtwork,
  kImposeSubmit,
  kCount
};

/// A language the planner speaks: its table and how it writes numbers.
struct Language {
  std::string_view code;  ///< the value of the `lang` query field
  std::string_view tag;   ///< for lang attributes and the PDF
  std::string_view name;  ///< in the language itself, for the switch
  std::string_view decimal_point;
  std::string_view group_separator;
  std::array<std::string_view, static_cast<std::size_t>(Msg::kCount)> texts;
};

/// Every language; the first is the default.
std::span<const Language> Languages();

/// The language a `lang` query field names, else the one an Accept-Language header prefers
/// (by its weights; "zh-TW" asks for "zh"), else the default.
const Language& ChooseLanguage(std::string_view lang_field, std::string_view accept_language);

/// How one answer speaks: its language and the unit of its lengths.
class Locale {
 public:
  /// The default language in millimetres.
  Locale() : Locale(Languages().front(), Unit::kMm) {}
  Locale(const Language& language, Unit unit) : language_(&language), unit_(unit) {}

  const Language& language() const { return *language_; }
  Unit unit() const { return unit_; }
  std::string_view UnitName() const { return unit_ == Unit::kIn ? "in" : "mm"; }

  std::string_view operator[](Msg msg) const {
    return language_->texts[static_cast<std::size_t>(msg)];
  }
  /// The text with "{i}" replaced by the i-th argument.
  std::string Fill(Msg msg, std::initializer_list<std::string_view> args) const;

  /// A whole number with the language's grouping: "1,250".
  std::string Count(std::int64_t n) const;
  /// At most `decimals` decimals, without trailing zeros unless `keep_zeros`; beyond what a
  /// double holds exactly (1e15) as "6.45743 × 10²²" rather than digits it never had.
  std::string Number(double value, int decimals, bool keep_zeros = false) const;
  /// A length in this locale's unit without the unit: "3.5", "8.5".
  std::string Bare(layout::Micrometres length) const;
  /// "3.5 mm", "0.125 in".
  std::string Length(layout::Micrometres length) const;
  /// "1092 × 787" in this locale's unit.
  std::string Size(layout::Micrometres length, layout::Micrometres width) const;

 private:
  const Language* language_;
  Unit unit_;
};

}  // namespace sheetora::planner
