#include "pages/planner/messages.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>
#include <vector>

#include "pages/planner/units.h"

namespace sheetora::planner {
namespace {

constexpr std::size_t kMsgCount = static_cast<std::size_t>(Msg::kCount);

struct Row {
  Msg msg;
  std::string_view text;
};

/// A language's rows as its table; refuses to compile when a text is missing or given twice.
template <std::size_t N>
consteval std::array<std::string_view, kMsgCount> Table(const Row (&rows)[N]) {
  static_assert(N == kMsgCount, "each language gives every text once");
  std::array<std::string_view, kMsgCount> texts{};
  std::array<bool, kMsgCount> given{};
  for (const Row& row : rows) {
    const auto i = static_cast<std::size_t>(row.msg);
    if (given[i] || row.text.empty()) throw "a text is given twice or empty";
    given[i] = true;
    texts[i] = row.text;
  }
  return texts;
}

constexpr Row kChinese[] = {
    {Msg::kTitle, "拼版计划"},
    {Msg::kClassicLink, "经典计算器"},
    {Msg::kSubmit, "计算"},
    {Msg::kLanguageSwitch, "语言"},
    {Msg::kSkipToResult, "跳到结果"},
    {Msg::kRowNumber, "序号"},
    {Msg::kGroupSheet, "纸张与成品"},
    {Msg::kGroupLayout, "版面"},
    {Msg::kGroupJob, "印件（选填）"},
    {Msg::kSheet, "上机纸尺寸"},
    {Msg::kPiece, "成品尺寸"},
    {Msg::kUnit, "单位"},
    {Msg::kBleed, "出血"},
    {Msg::kGutter, "成品间距"},
    {Msg::kGripper, "咬口"},
    {Msg::kTail, "拖梢"},
    {Msg::kLeft, "左边空"},
    {Msg::kRight, "右边空"},
    {Msg::kGrain, "纸纹"},
    {Msg::kCut, "切法"},
    {Msg::kQuantity, "印数"},
    {Msg::kOvers, "加放"},
    {Msg::kMakeready, "校版纸"},
    {Msg::kParent, "全张尺寸"},
    {Msg::kGrammage, "克重"},
    {Msg::kPrice, "纸价"},
    {Msg::kPricePer, "计价"},
    {Msg::kCopiesSuffix, "件"},
    {Msg::kSheetsSuffix, "张"},
    {Msg::kSameAsSheet, "同上机纸"},
    {Msg::kPresets, "常用尺寸"},
    {Msg::kSizeFormat, "长x宽，可选常用尺寸"},
    {Msg::kUnitMm, "毫米"},
    {Msg::kUnitIn, "英寸"},
    {Msg::kGrainAny, "不限"},
    {Msg::kGrainLength, "成品长边顺纸张长边"},
    {Msg::kGrainWidth, "成品长边顺纸张短边"},
    {Msg::kCutGuillotine, "直刀裁切"},
    {Msg::kCutDie, "模切"},
    {Msg::kPerTonne, "元/吨"},
    {Msg::kPerReam, "元/令"},
    {Msg::kPerSheet, "元/张"},
    {Msg::kPerSquareMetre, "元/平方米"},
    {Msg::kDrawingLinks, "下载"},
    {Msg::kPdfLink, "打印裁切单（PDF）"},
    {Msg::kSvgLink, "排版图（SVG）"},
    {Msg::kPresetFullZheng, "正度全开"},
    {Msg::kPresetHalfZheng, "正度对开"},
    {Msg::kPresetQuarterZheng, "正度四开"},
    {Msg::kPresetEighthZheng, "正度八开"},
    {Msg::kPresetFullDa, "大度全开"},
    {Msg::kPresetHalfDa, "大度对开"},
    {Msg::kPresetQuarterDa, "大度四开"},
    {Msg::kPresetEighthDa, "大度八开"},
    {Msg::kPresetBusinessCard, "名片"},
    {Msg::kPresetPostcard, "明信片"},
    {Msg::kPresetLetter, "美式信纸"},
    {Msg::kPresetLegal, "美式法律文件纸"},
    {Msg::kPresetTabloid, "小报"},
    {Msg::kPresetPressSheet, "上机纸"},
    {Msg::kErrRequired, "必填"},
    {Msg::kErrNumber, "请填写数字"},
    {Msg::kErrWhole, "请填写整数"},
    {Msg::kErrTooLarge, "数值过大"},
    {Msg::kErrSize, "请按“长x宽”填写，如 1092x787"},
    {Msg::kErrChoice, "没有这个选项"},
    {Msg::kErrQuantityNeeded, "计算印件用纸需要填写印数"},
    {Msg::kErrPerTonneNeedsGrammage, "按吨计价需要填写克重"},
    {Msg::kErrOutOfRange, "超出允许范围"},
    {Msg::kErrNoPrintableArea, "边空占满了纸张，没有可印的地方"},
    {Msg::kErrRefused, "无法按此计算"},
    {Msg::kSummary, "{0} {1}"},
    {Msg::kUps, "拼版数"},
    {Msg::kProof, "结论"},
    {Msg::kBound, "理论上限"},
    {Msg::kUtilisation, "纸张利用率"},
    {Msg::kProofOptimal, "已证明最优：没有任何排法能放更多"},
    {Msg::kProofBestGuillotine, "所有直刀裁切排法中的最优"},
    {Msg::kProofNone, "时限内找到的最好排法"},
    {Msg::kJob, "印件"},
    {Msg::kJobNoPieceFits, "上机纸放不下任何成品"},
    {Msg::kJobParentTooSmall, "全张放不下一张上机纸"},
    {Msg::kRunSheets, "正数用纸"},
    {Msg::kPressSheets, "上机用纸（含加放、校版）"},
    {Msg::kPerParent, "全张开数"},
    {Msg::kParentSheets, "全张用纸"},
    {Msg::kWeight, "纸张重量"},
    {Msg::kCost, "纸张费用"},
    {Msg::kParentUtilisation, "全张利用率"},
    {Msg::kSheetCount, "{0} 张"},
    {Msg::kPerParentCount, "{0} 开"},
    {Msg::kMoney, "{0} 元"},
    {Msg::kNoGrammage, "—（未填克重）"},
    {Msg::kNoPrice, "—（未填价格）"},
    {Msg::kCutList, "裁切顺序"},
    {Msg::kWholeSheet, "整张"},
    {Msg::kStack, "叠 #{0}"},
    {Msg::kCutAlongX, "{0}（{1}）竖切，距左侧 {2}"},
    {Msg::kCutAlongY, "{0}（{1}）横切，距咬口侧 {2}"},
    {Msg::kNoCutsDie, "模切排法：不列裁切顺序"},
    {Msg::kNoCutsNothingFits, "放不下任何成品"},
    {Msg::kNoCutsTooMany, "拼版数超过 {0}：不列裁切顺序"},
    {Msg::kNoCuts, "没有裁切顺序"},
    {Msg::kGripperEdge, "咬口边"},
    {Msg::kGripperWidth, "咬口 {0}"},
    {Msg::kDrawingWords, "{2} 的纸上排 {0} 个 {1} 的成品，咬口边在下：{3}。"},
    {Msg::kBlockWords, "{0} 列 × {1} 行{2}，起点距左 {3}、距咬口边 {4}"},
    {Msg::kUpright, "正放"},
    {Msg::kTurned, "横放"},
    {Msg::kBlockSeparator, "；"},
    {Msg::kCutSheetTitle, "拼版裁切单"},
    {Msg::kFigure, "{0}：{1}"},
    {Msg::kGangTitle, "拼版组合"},
    {Msg::kPlanLink, "拼版计划"},
    {Msg::kGroupGangSheet, "纸张与版面"},
    {Msg::kGroupJobs, "印件"},
    {Msg::kGroupGangPlan, "计划（选填）"},
    {Msg::kJobName, "名称"},
    {Msg::kAddRow, "添加一行"},
    {Msg::kMaxLayouts, "最多版数"},
    {Msg::kLayoutsSuffix, "版"},
    {Msg::kMakereadyPerLayout, "每版校版纸"},
    {Msg::kSetupSheets, "每版另计"},
    {Msg::kErrNoJobs, "请至少填写一个印件"},
    {Msg::kErrNoSuchLayout, "没有这一版"},
    {Msg::kLayoutCount, "版数"},
    {Msg::kGangCost, "成本（折合纸张）"},
    {Msg::kGangBound, "成本下界"},
    {Msg::kGap, "与下界相差"},
    {Msg::kGangOptimal, "已证明最优：没有更省的计划"},
    {Msg::kGangNotProven, "未证明最优"},
    {Msg::kSearch, "搜索"},
    {Msg::kCutShort, "时限已到，未搜索完"},
    {Msg::kPaper, "纸张"},
    {Msg::kProduced, "产出"},
    {Msg::kOverCount, "多出"},
    {Msg::kLayoutTitle, "版 {0} · 印 {1}"},
    {Msg::kRuns, "印张"},
    {Msg::kPiecesPerSheet, "每张成品"},
    {Msg::kLegendEntry, "{0} · {1} · 每张 {2}"},
    {Msg::kJobCount, "印件 {0} 个"},
    {Msg::kMostLayouts, "最多 {0} 版"},
    {Msg::kGangPdfTitle, "拼版组合计划"},
    {Msg::kLayoutNumber, "版"},
    {Msg::kGangPdfLink, "打印计划与裁切单（PDF）"},
    {Msg::kExampleFlyer, "宣传单"},
    {Msg::kGroupPress, "印刷与裁切"},
    {Msg::kSides, "印刷方式"},
    {Msg::kSidesSingle, "单面印刷"},
    {Msg::kSidesSheetwise, "正反版（两套版）"},
    {Msg::kSidesTurn, "自翻版（左右翻）"},
    {Msg::kSidesTumble, "滚翻版（天地翻）"},
    {Msg::kMaxStack, "每刀叠切"},
    {Msg::kLayersSuffix, "层"},
    {Msg::kCropMarks, "裁切线"},
    {Msg::kRegistrationMarks, "套准标"},
    {Msg::kSlugLine, "版边信息"},
    {Msg::kMarkOn, "有"},
    {Msg::kMarkOff, "无"},
    {Msg::kLiftList, "叠切顺序"},
    {Msg::kLiftStacked, "叠 {0} 条"},
    {Msg::kLiftOne, "单条"},
    {Msg::kLiftTurn, "，转向"},
    {Msg::kLiftOneCycle, "一刀"},
    {Msg::kLiftCycles, "{0} 刀"},
    {Msg::kLiftAlongX, "竖切，距左侧 "},
    {Msg::kLiftAlongY, "横切，距咬口侧 "},
    {Msg::kLiftSeparator, "、"},
    {Msg::kLiftStep, "{0}（{1}）{2}，{3}：{4}{5} {6}"},
    {Msg::kCycles, "裁切刀数"},
    {Msg::kCyclesValue, "{0} 刀（不叠切 {1} 刀）"},
    {Msg::kPpfLink, "裁切数据（PPF）"},
    {Msg::kJdfLink, "裁切工单（JDF）"},
    {Msg::kArtwork, "成品文件（PDF：第 1 页正面，第 2 页反面）"},
    {Msg::kImposeSubmit, "生成印刷拼版（PDF）"},
};

constexpr Row kEnglish[] = {
    {Msg::kTitle, "Job planner"},
    {Msg::kClassicLink, "Classic calculators"},
    {Msg::kSubmit, "Plan"},
    {Msg::kLanguageSwitch, "Language"},
    {Msg::kSkipToResult, "Skip to the result"},
    {Msg::kRowNumber, "Row"},
    {Msg::kGroupSheet, "Sheet and piece"},
    {Msg::kGroupLayout, "Layout"},
    {Msg::kGroupJob, "Job (optional)"},
    {Msg::kSheet, "Press sheet"},
    {Msg::kPiece, "Piece"},
    {Msg::kUnit, "Unit"},
    {Msg::kBleed, "Bleed"},
    {Msg::kGutter, "Gutter"},
    {Msg::kGripper, "Gripper"},
    {Msg::kTail, "Tail"},
    {Msg::kLeft, "Left margin"},
    {Msg::kRight, "Right margin"},
    {Msg::kGrain, "Grain"},
    {Msg::kCut, "Cutting"},
    {Msg::kQuantity, "Quantity"},
    {Msg::kOvers, "Overs"},
    {Msg::kMakeready, "Make-ready"},
    {Msg::kParent, "Parent sheet"},
    {Msg::kGrammage, "Grammage"},
    {Msg::kPrice, "Paper price"},
    {Msg::kPricePer, "Priced"},
    {Msg::kCopiesSuffix, "copies"},
    {Msg::kSheetsSuffix, "sheets"},
    {Msg::kSameAsSheet, "as press sheet"},
    {Msg::kPresets, "Common sizes"},
    {Msg::kSizeFormat, "length x width, or pick a common size"},
    {Msg::kUnitMm, "millimetres"},
    {Msg::kUnitIn, "inches"},
    {Msg::kGrainAny, "any"},
    {Msg::kGrainLength, "piece's long side along the sheet's long side"},
    {Msg::kGrainWidth, "piece's long side along the sheet's short side"},
    {Msg::kCutGuillotine, "guillotine"},
    {Msg::kCutDie, "die-cut"},
    {Msg::kPerTonne, "per tonne"},
    {Msg::kPerReam, "per ream"},
    {Msg::kPerSheet, "per sheet"},
    {Msg::kPerSquareMetre, "per m²"},
    {Msg::kDrawingLinks, "Downloads"},
    {Msg::kPdfLink, "Print the cut sheet (PDF)"},
    {Msg::kSvgLink, "Drawing (SVG)"},
    {Msg::kPresetFullZheng, "Chinese standard full sheet"},
    {Msg::kPresetHalfZheng, "Chinese standard half sheet"},
    {Msg::kPresetQuarterZheng, "Chinese standard quarter sheet"},
    {Msg::kPresetEighthZheng, "Chinese standard eighth sheet"},
    {Msg::kPresetFullDa, "Chinese large full sheet"},
    {Msg::kPresetHalfDa, "Chinese large half sheet"},
    {Msg::kPresetQuarterDa, "Chinese large quarter sheet"},
    {Msg::kPresetEighthDa, "Chinese large eighth sheet"},
    {Msg::kPresetBusinessCard, "Business card"},
    {Msg::kPresetPostcard, "Postcard"},
    {Msg::kPresetLetter, "Letter"},
    {Msg::kPresetLegal, "Legal"},
    {Msg::kPresetTabloid, "Tabloid"},
    {Msg::kPresetPressSheet, "Press sheet"},
    {Msg::kErrRequired, "Required"},
    {Msg::kErrNumber, "Enter a number"},
    {Msg::kErrWhole, "Enter a whole number"},
    {Msg::kErrTooLarge, "Too large"},
    {Msg::kErrSize, "Enter length x width, e.g. 1092x787"},
    {Msg::kErrChoice, "Not one of the options"},
    {Msg::kErrQuantityNeeded, "The job's paper needs a quantity"},
    {Msg::kErrPerTonneNeedsGrammage, "A price per tonne needs the grammage"},
    {Msg::kErrOutOfRange, "Out of the allowed range"},
    {Msg::kErrNoPrintableArea, "The margins leave nothing of the sheet to print on"},
    {Msg::kErrRefused, "Cannot plan with this value"},
    {Msg::kSummary, "{0} {1}"},
    {Msg::kUps, "Ups"},
    {Msg::kProof, "Proof"},
    {Msg::kBound, "Upper bound"},
    {Msg::kUtilisation, "Sheet utilisation"},
    {Msg::kProofOptimal, "Proven optimal: no layout holds more"},
    {Msg::kProofBestGuillotine, "Best of all guillotine layouts"},
    {Msg::kProofNone, "Best layout found within the time limit"},
    {Msg::kJob, "Job"},
    {Msg::kJobNoPieceFits, "No piece fits the press sheet"},
    {Msg::kJobParentTooSmall, "The press sheet does not fit the parent sheet"},
    {Msg::kRunSheets, "Run sheets"},
    {Msg::kPressSheets, "Press sheets (with overs and make-ready)"},
    {Msg::kPerParent, "Press sheets per parent"},
    {Msg::kParentSheets, "Parent sheets"},
    {Msg::kWeight, "Paper weight"},
    {Msg::kCost, "Paper cost"},
    {Msg::kParentUtilisation, "Parent sheet utilisation"},
    {Msg::kSheetCount, "{0} sheets"},
    {Msg::kPerParentCount, "{0} up"},
    {Msg::kMoney, "{0}"},
    {Msg::kNoGrammage, "— (no grammage given)"},
    {Msg::kNoPrice, "— (no price given)"},
    {Msg::kCutList, "Cut sequence"},
    {Msg::kWholeSheet, "Whole sheet"},
    {Msg::kStack, "Stack #{0}"},
    {Msg::kCutAlongX, "{0} ({1}): vertical cut {2} from the left edge"},
    {Msg::kCutAlongY, "{0} ({1}): horizontal cut {2} from the gripper edge"},
    {Msg::kNoCutsDie, "Die-cut layout: no cut sequence"},
    {Msg::kNoCutsNothingFits, "No piece fits"},
    {Msg::kNoCutsTooMany, "More than {0} ups: no cut sequence listed"},
    {Msg::kNoCuts, "No cut sequence"},
    {Msg::kGripperEdge, "gripper edge"},
    {Msg::kGripperWidth, "gripper {0}"},
    {Msg::kDrawingWords, "{0} pieces of {1} on a {2} sheet, gripper edge at the bottom: {3}."},
    {Msg::kBlockWords,
     "{0} across × {1} down {2}, starting {3} from the left and {4} from the gripper edge"},
    {Msg::kUpright, "upright"},
    {Msg::kTurned, "turned"},
    {Msg::kBlockSeparator, "; "},
    {Msg::kCutSheetTitle, "Cut sheet"},
    {Msg::kFigure, "{0}: {1}"},
    {Msg::kGangTitle, "Gang run"},
    {Msg::kPlanLink, "Job planner"},
    {Msg::kGroupGangSheet, "Sheet and margins"},
    {Msg::kGroupJobs, "Jobs"},
    {Msg::kGroupGangPlan, "Plan (optional)"},
    {Msg::kJobName, "Name"},
    {Msg::kAddRow, "Add a row"},
    {Msg::kMaxLayouts, "Most layouts"},
    {Msg::kLayoutsSuffix, "layouts"},
    {Msg::kMakereadyPerLayout, "Makeready a layout"},
    {Msg::kSetupSheets, "Setup a layout"},
    {Msg::kErrNoJobs, "Enter at least one job"},
    {Msg::kErrNoSuchLayout, "No such layout"},
    {Msg::kLayoutCount, "Layouts"},
    {Msg::kGangCost, "Cost (in sheets)"},
    {Msg::kGangBound, "Lower bound on cost"},
    {Msg::kGap, "Gap to the bound"},
    {Msg::kGangOptimal, "Proven optimal: no plan costs less"},
    {Msg::kGangNotProven, "Not proven optimal"},
    {Msg::kSearch, "Search"},
    {Msg::kCutShort, "cut short by the time limit"},
    {Msg::kPaper, "Paper"},
    {Msg::kProduced, "Produced"},
    {Msg::kOverCount, "Over"},
    {Msg::kLayoutTitle, "Layout {0} · {1}"},
    {Msg::kRuns, "Run"},
    {Msg::kPiecesPerSheet, "Pieces a sheet"},
    {Msg::kLegendEntry, "{0} · {1} · {2} a sheet"},
    {Msg::kJobCount, "{0} jobs"},
    {Msg::kMostLayouts, "at most {0} layouts"},
    {Msg::kGangPdfTitle, "Gang run plan"},
    {Msg::kLayoutNumber, "Layout"},
    {Msg::kGangPdfLink, "Print the plan and cut sheets (PDF)"},
    {Msg::kExampleFlyer, "Flyer"},
    {Msg::kGroupPress, "Printing and cutting"},
    {Msg::kSides, "Printed"},
    {Msg::kSidesSingle, "One side"},
    {Msg::kSidesSheetwise, "Sheetwise (two plates)"},
    {Msg::kSidesTurn, "Work and turn"},
    {Msg::kSidesTumble, "Work and tumble"},
    {Msg::kMaxStack, "Strips per lift"},
    {Msg::kLayersSuffix, "layers"},
    {Msg::kCropMarks, "Crop marks"},
    {Msg::kRegistrationMarks, "Registration marks"},
    {Msg::kSlugLine, "Slug line"},
    {Msg::kMarkOn, "Yes"},
    {Msg::kMarkOff, "No"},
    {Msg::kLiftList, "Lifts"},
    {Msg::kLiftStacked, "{0} strips stacked"},
    {Msg::kLiftOne, "One strip"},
    {Msg::kLiftTurn, ", turned a quarter"},
    {Msg::kLiftOneCycle, "one cut"},
    {Msg::kLiftCycles, "{0} cuts"},
    {Msg::kLiftAlongX, "vertical, from the left edge at "},
    {Msg::kLiftAlongY, "horizontal, from the gripper edge at "},
    {Msg::kLiftSeparator, ", "},
    {Msg::kLiftStep, "{0} ({1}){2}, {3}: {4}{5} {6}"},
    {Msg::kCycles, "Knife cycles"},
    {Msg::kCyclesValue, "{0} (one strip at a time: {1})"},
    {Msg::kPpfLink, "Cut data (PPF)"},
    {Msg::kJdfLink, "Cutting job (JDF)"},
    {Msg::kArtwork, "Artwork (PDF: page 1 the front, page 2 the back)"},
    {Msg::kImposeSubmit, "Make the press sheet (PDF)"},
};

constexpr Language kLanguages[] = {
    {.code = "zh",
     .tag = "zh-CN",
     .name = "中文",
     .decimal_point = ".",
     .group_separator = ",",
     .texts = Table(kChinese)},
    {.code = "en",
     .tag = "en",
     .name = "English",
     .decimal_point = ".",
     .group_separator = ",",
     .texts = Table(kEnglish)},
};

const Language* ByCode(std::string_view code) {
  for (const Language& language : kLanguages) {
    if (language.code == code) return &language;
  }
  return nullptr;
}

/// A plain decimal text ("-1234567.5") with the language's decimal point and, when `grouped`,
/// its digit groups.
std::string Localise(std::string_view plain, const Language& language, bool grouped = true) {
  const bool negative = plain.starts_with('-');
  if (negative) plain.remove_prefix(1);
  const auto point = plain.find('.');
  const std::string_view whole = plain.substr(0, point);
  std::string text = negative ? "-" : "";
  for (std::size_t i = 0; i < whole.size(); ++i) {
    if (grouped && i > 0 && (whole.size() - i) % 3 == 0) text += language.group_separator;
    text += whole[i];
  }
  if (point != std::string_view::npos) {
    text.append(language.decimal_point).append(plain.substr(point + 1));
  }
  return text;
}

}  // namespace

std::span<const Language> Languages() { return kLanguages; }

const Language& ChooseLanguage(std::string_view lang_field, std::string_view accept_language) {
  if (const Language* chosen = ByCode(Trim(lang_field))) return *chosen;
  // "en-US,en;q=0.9,zh;q=0.8": the highest weight wins, the first of equal weights.
  const Language* best = nullptr;
  double best_weight = 0;
  while (!accept_language.empty()) {
    const auto comma = accept_language.find(',');
    std::string_view item = accept_language.substr(0, comma);
    accept_language.remove_prefix(comma == std::string_view::npos ? accept_language.size()
                                                                  : comma + 1);
    double weight = 1;
    if (const auto semicolon = item.find(';'); semicolon != std::string_view::npos) {
      std::string_view parameter = Trim(item.substr(semicolon + 1));
      item = item.substr(0, semicolon);
      if (parameter.starts_with("q=")) {
        parameter.remove_prefix(2);
        const auto [end, error] =
            std::from_chars(parameter.data(), parameter.data() + parameter.size(), weight);
        if (error != std::errc() || weight < 0 || weight > 1) weight = 0;
      }
    }
    std::string code(Trim(item).substr(0, Trim(item).find('-')));
    std::transform(code.begin(), code.end(), code.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const Language* language = ByCode(code);
    if (language != nullptr && weight > best_weight) {
      best = language;
      best_weight = weight;
    }
  }
  return best != nullptr ? *best : kLanguages[0];
}

std::string Locale::Fill(Msg msg, std::initializer_list<std::string_view> args) const {
  // libstdc++ 12 has no <format>; positional "{i}" is all the tables need.
  const std::string_view pattern = (*this)[msg];
  std::string text;
  for (std::size_t i = 0; i < pattern.size(); ++i) {
    if (pattern[i] == '{' && i + 2 < pattern.size() && pattern[i + 2] == '}' &&
        pattern[i + 1] >= '0' && pattern[i + 1] <= '9') {
      const auto arg = static_cast<std::size_t>(pattern[i + 1] - '0');
      if (arg < args.size()) text += *(args.begin() + arg);
      i += 2;
    } else {
      text += pattern[i];
    }
  }
  return text;
}

std::string Locale::Count(std::int64_t n) const { return Localise(std::to_string(n), *language_); }

std::string Locale::Number(double value, int decimals, bool keep_zeros) const {
  // A double holds 15 significant digits; printed whole past 1e15 it would show binary noise.
  if (std::fabs(value) >= 1e15) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.5e", value);
    std::string_view text(buffer);
    const auto e = text.find('e');
    std::string mantissa(text.substr(0, e));
    mantissa.erase(mantissa.find_last_not_of('0') + 1);
    if (mantissa.back() == '.') mantissa.pop_back();
    const int exponent = std::atoi(buffer + e + 1);
    static constexpr std::string_view kSuperscripts[] = {"⁰", "¹", "²", "³", "⁴",
                                                         "⁵", "⁶", "⁷", "⁸", "⁹"};
    std::string power;
    for (const char digit : std::to_string(exponent)) {
      power += digit == '-' ? "⁻" : kSuperscripts[digit - '0'];
    }
    return Localise(mantissa, *language_) + " × 10" + power;
  }
  return Localise(Decimal(value, decimals, keep_zeros), *language_);
}

std::string Locale::Bare(layout::Micrometres length) const {
  return Localise(LengthText(length, unit_), *language_, false);
}

std::string Locale::Length(layout::Micrometres length) const {
  return Bare(length) + " " + std::string(UnitName());
}

std::string Locale::Size(layout::Micrometres length, layout::Micrometres width) const {
  return Bare(length) + " × " + Bare(width);
}

}  // namespace sheetora::planner
