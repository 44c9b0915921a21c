// sheetora-layout: plans one layout request; the request's JSON on standard input, the answer on
// standard output, the same bytes as POST /api/v1/layout but for elapsed_ms; or the layout as
// cut data for the guillotine, the same bytes as /plan.ppf and /plan.jdf.
#include <iostream>
#include <iterator>
#include <string>
#include <string_view>

#include "layout/api.h"
#include "layout/gang/gang_api.h"
#include "press/cut_data.h"

namespace {

constexpr std::string_view kUsage =
    R"(Usage: sheetora-layout [--gang | --format json|ppf|jdf] < request.json > answer
Plans the press sheet layout of one request: reads the request's JSON on standard input and
writes the answer's JSON on standard output. A request that cannot be planned is answered on
standard error as {"error": ..., "field": ...}, with exit status 2.
  --gang          plan a gang run: several jobs on shared sheets (the body of POST /api/v1/gang)
  --format json   the answer's JSON (the default)
  --format ppf    the layout as CIP3 PPF 3.0 cut data for the guillotine
  --format jdf    the layout as a JDF cutting process
  --help          show this text
Example:
  echo '{"sheet": {"length": 1092, "width": 787}, "piece": {"length": 210, "width": 140}}' |
    sheetora-layout
)";

}  // namespace

int main(int argc, char** argv) {
  const std::string_view first = argc > 1 ? argv[1] : "";
  if (argc == 2 && (first == "--help" || first == "-h")) {
    std::cout << kUsage;
    return 0;
  }
  const bool gang = argc == 2 && first == "--gang";
  const std::string_view format = argc == 3 && first == "--format" ? argv[2] : "json";
  if (argc != 1 && !gang &&
      !(argc == 3 && (format == "json" || format == "ppf" || format == "jdf"))) {
    std::cerr << "sheetora-layout: takes --gang, --format json, ppf or jdf, or no arguments\n\n"
              << kUsage;
    return 2;
  }
  // One byte past the limit is enough to refuse a request as too large.
  std::string body;
  char chunk[4096];
  while (body.size() <= sheetora::layout::kMaxRequestBytes) {
    std::cin.read(chunk, sizeof chunk);
    if (std::cin.gcount() == 0) break;
    body.append(chunk, static_cast<std::size_t>(std::cin.gcount()));
  }
  const sheetora::layout::ApiAnswer answer = gang ? sheetora::layout::gang::HandleGangRequest(body)
                                             : format == "json"
                                                 ? sheetora::layout::HandleLayoutRequest(body)
                                                 : sheetora::press::CutDataForRequest(format, body);
  (answer.status == 200 ? std::cout : std::cerr) << answer.body << std::flush;
  return answer.status == 200 ? 0 : 2;
}
