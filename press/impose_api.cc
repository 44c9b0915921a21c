#include "press/impose_api.h"

#include <algorithm>
#include <ctime>
#include <variant>

#include "layout/answer_cache.h"
#include "layout/api.h"
#include "layout/gang/gang_json.h"
#include "layout/json.h"
#include "layout/json_reader.h"
#include "press/impose.h"
#include "press/multipart.h"

namespace sheetora::press {
namespace {

ImposeAnswer Refuse(unsigned status, std::string message, std::string field = "") {
  return {.status = status,
          .content_type = std::string(layout::kJsonContentType),
          .body = layout::ErrorJson({.message = std::move(message), .field = std::move(field)})};
}

const FormPart* Find(const std::vector<FormPart>& parts, std::string_view name) {
  for (const FormPart& part : parts) {
    if (part.name == name) return &part;
  }
  return nullptr;
}

/// The job's name for the slug and the file: the artwork's file name without its folder and
/// extension, printable ASCII only.
std::string JobName(std::string_view filename) {
  filename = filename.substr(filename.find_last_of("/\\") + 1);
  if (filename.size() > 4 && filename.substr(filename.size() - 4) == ".pdf") {
    filename.remove_suffix(4);
  }
  std::string name;
  for (const char c : filename.substr(0, 60)) {
    name += (c >= 0x20 && c < 0x7f && c != '"') ? c : '_';
  }
  return name.empty() ? "artwork" : name;
}

std::string Today() {
  const std::time_t now = std::time(nullptr);
  std::tm utc{};
  gmtime_r(&now, &utc);
  char text[16];
  std::strftime(text, sizeof text, "%Y-%m-%d", &utc);
  return text;
}

ImposeAnswer Pdf(std::string pdf, const std::string& job) {
  return {
      .status = 200,
      .content_type = "application/pdf",
      .body = std::move(pdf),
      .headers = {{"Content-Disposition", "attachment; filename=\"" + job + "-press-sheet.pdf\""}}};
}

/// A gang request's items, not a layout request's piece, tell the two apart.
bool IsGangRequest(std::string_view json) {
  auto tree = layout::json_io::ParseTree(json, 8, false);
  const auto* top = std::get_if<layout::json_io::Node>(&tree);
  return top != nullptr && top->type == layout::json_io::Node::Type::kObject &&
         std::find(top->keys.begin(), top->keys.end(), "items") != top->keys.end();
}

constexpr std::string_view kArtworkPrefix = "artwork.";

/// A gang: one part artwork.<job id> per item, each checked before the gang is planned.
ImposeAnswer ImposeGang(std::string_view request_json, const std::vector<FormPart>& parts,
                        const std::stop_token& stop, const std::string& today) {
  auto parsed = layout::gang::ParseGangRequest(request_json);
  if (const auto* error = std::get_if<layout::RequestError>(&parsed)) {
    return {.status = 400,
            .content_type = std::string(layout::kJsonContentType),
            .body = layout::ErrorJson(*error)};
  }
  const auto& request = std::get<layout::gang::GangRequest>(parsed);
  std::vector<std::string_view> artworks;
  for (const layout::gang::GangItem& item : request.items) {
    const std::string name = std::string(kArtworkPrefix) + item.id;
    const FormPart* part = Find(parts, name);
    if (part == nullptr) {
      return Refuse(400,
                    "the form has no part named " + name + " (the artwork of job " + item.id + ")",
                    name);
    }
    artworks.push_back(part->data);
  }
  for (const FormPart& part : parts) {
    if (part.name == "request") continue;
    const bool known =
        part.name.starts_with(kArtworkPrefix) &&
        std::any_of(request.items.begin(), request.items.end(), [&](const auto& item) {
          return part.name.substr(kArtworkPrefix.size()) == item.id;
        });
    if (!known)
      return Refuse(400, "the part " + part.name + " names no job of the request", part.name);
  }
  auto imposition = Imposition::OpenGang(request, artworks);
  if (const auto* refusal = std::get_if<Refusal>(&imposition)) {
    return Refuse(400, refusal->message, "artwork");
  }
  const layout::gang::GangAnswer answer = layout::gang::Plan(request, stop);
  if (stop.stop_requested()) return Refuse(503, "the request was cancelled");
  if (answer.layouts.empty()) {
    return Refuse(400, "no plan was found that prints every item on so few layouts", "max_layouts");
  }
  auto pdf = std::get<Imposition>(imposition).ImposeGang(answer, {.job = "gang", .date = today});
  if (const auto* refusal = std::get_if<Refusal>(&pdf)) {
    return Refuse(400, refusal->message, "artwork");
  }
  return Pdf(std::get<std::string>(std::move(pdf)), "gang");
}

}  // namespace

ImposeAnswer ImposeEndpoint(std::string_view method, std::string_view content_type,
                            std::string_view body, const std::stop_token& stop,
                            std::string_view date) {
  if (method != "POST") {
    ImposeAnswer answer = Refuse(405, "this address takes POST");
    answer.headers.emplace_back("Allow", "POST");
    return answer;
  }
  if (body.size() > kMaxImposeBodyBytes) return Refuse(413, "the upload is larger than 50 MiB");
  auto parsed = ParseMultipart(content_type, body);
  if (const auto* error = std::get_if<std::string>(&parsed)) return Refuse(400, *error);
  const auto& parts = std::get<std::vector<FormPart>>(parsed);
  const FormPart* request_part = Find(parts, "request");
  if (request_part == nullptr) return Refuse(400, "the form has no part named request");
  // The request part keeps the limit of the planner's other endpoints; only artwork is large.
  if (request_part->data.size() > layout::kMaxRequestBytes) {
    return Refuse(413, "the request part is larger than 64 KiB", "request");
  }
  const std::string today = date.empty() ? Today() : std::string(date);
  if (IsGangRequest(request_part->data)) return ImposeGang(request_part->data, parts, stop, today);
  auto request = layout::ParseRequest(request_part->data);
  if (const auto* error = std::get_if<layout::RequestError>(&request)) {
    return {.status = 400,
            .content_type = std::string(layout::kJsonContentType),
            .body = layout::ErrorJson(*error)};
  }
  const FormPart* artwork = Find(parts, "artwork");
  if (artwork == nullptr) {
    return Refuse(400, "the form has no part named artwork (the artwork PDF)", "artwork");
  }
  auto imposition = Imposition::Open(std::get<layout::Request>(request), artwork->data);
  if (const auto* refusal = std::get_if<Refusal>(&imposition)) {
    return Refuse(400, refusal->message, "artwork");
  }
  const layout::Answer layout = layout::PlanOnce(std::get<layout::Request>(request), stop);
  if (stop.stop_requested()) return Refuse(503, "the request was cancelled");
  const std::string job = JobName(artwork->filename);
  auto pdf = std::get<Imposition>(imposition).Impose(layout, {.job = job, .date = today});
  if (const auto* refusal = std::get_if<Refusal>(&pdf)) {
    return Refuse(400, refusal->message, "artwork");
  }
  return Pdf(std::get<std::string>(std::move(pdf)), job);
}

}  // namespace sheetora::press
