// Cut data for the guillotine: the layout's pieces as cut blocks, in CIP3 PPF and in JDF.
//
// Both files use the imposed sheet's convention: origin at the sheet's lower-left corner, x to
// the right along the sheet's length, y up along its width, the gripper edge at the bottom (the
// side lay at the left), lengths in PostScript points (1/72 in).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "layout/api.h"
#include "layout/layout.h"

namespace sheetora::press {

/// A block of equal pieces that a cutting controller takes as one: its lower-left corner, its
/// size, and its subdivision into columns x rows elements of one size (all in micrometres).
struct CutBlock {
  std::string name;
  layout::Micrometres x = 0, y = 0, length = 0, width = 0;
  std::int64_t columns = 1, rows = 1;
  layout::Micrometres element_length = 0, element_width = 0;
};

/// The cut blocks of a layout. A layout block whose pieces abut (no bleed, no gutter) is one
/// subdivided cut block; otherwise each piece is a cut block of its own, since a subdivision
/// has no room for the strips cut away between elements.
std::vector<CutBlock> CutBlocks(const layout::Request& request, const layout::Answer& answer);

/// CIP3 PPF 3.0 cut data of the sheet.
std::string PpfCutData(const layout::Request& request, const layout::Answer& answer,
                       std::string_view job_name);

/// A JDF cutting process: the sheet as its Media, the cut blocks in its CuttingParams.
std::string JdfCutting(const layout::Request& request, const layout::Answer& answer,
                       std::string_view job_name);

/// A request's JSON planned and written as `format`, "ppf" or "jdf": 200 with the file, or the
/// layout API's refusal. The job's name in the file is "layout".
layout::ApiAnswer CutDataForRequest(std::string_view format, std::string_view body);

}  // namespace sheetora::press
