# Writes OUTPUT, a C++ source whose OpenApiDocument() returns the bytes of INPUT.
file(READ "${INPUT}" content)
string(FIND "${content}" ")openapi\"" clash)
if(NOT clash EQUAL -1)
  message(FATAL_ERROR "${INPUT} holds the raw string's closing delimiter")
endif()
file(WRITE "${OUTPUT}" "// Generated at build time from layout/openapi.json.
#include \"layout/api.h\"

namespace sheetora::layout {

std::string_view OpenApiDocument() {
  static constexpr char kDocument[] = R\"openapi(${content})openapi\";
  return {kDocument, sizeof kDocument - 1};
}

}  // namespace sheetora::layout
")
