// The document language of a finished PDF, for PDFs drawn by a library that cannot set it.
#pragma once

#include <string>
#include <string_view>

namespace sheetora::press {

/// The same document with the catalog's /Lang set to `tag` ("zh", "en"); its streams are copied
/// as they are, neither decoded nor compressed again.
std::string WithDocumentLanguage(std::string_view pdf, std::string_view tag);

}  // namespace sheetora::press
