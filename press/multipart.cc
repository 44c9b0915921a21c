#include "press/multipart.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <functional>
#include <optional>

namespace sheetora::press {
namespace {

constexpr std::size_t kMaxParts = 16;
constexpr std::size_t kMaxPartHeaders = 8 * 1024;

bool EqualNoCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string_view Trim(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

/// The value of `name` among the `; name=value` parameters of a header value, unquoted
/// (a backslash quotes the next character).
std::optional<std::string> Parameter(std::string_view header, std::string_view name) {
  std::size_t at = header.find(';');
  while (at != std::string_view::npos) {
    std::string_view rest = Trim(header.substr(at + 1));
    const std::size_t equals = rest.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const bool match = EqualNoCase(Trim(rest.substr(0, equals)), name);
    rest = Trim(rest.substr(equals + 1));
    std::string value;
    std::size_t end = 0;
    if (!rest.empty() && rest.front() == '"') {
      for (end = 1; end < rest.size() && rest[end] != '"'; ++end) {
        if (rest[end] == '\\' && end + 1 < rest.size()) ++end;
        value += rest[end];
      }
      ++end;
    } else {
      end = std::min(rest.find(';'), rest.size());
      value = std::string(Trim(rest.substr(0, end)));
    }
    if (match) return value;
    const std::size_t next = rest.find(';', std::min(end, rest.size()));
    if (next == std::string_view::npos) return std::nullopt;
    at = static_cast<std::size_t>(rest.data() + next - header.data());
  }
  return std::nullopt;
}

}  // namespace

MappedFile::MappedFile(const std::filesystem::path& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return;
  struct stat info {};
  if (::fstat(fd, &info) == 0 && info.st_size > 0) {
    void* data =
        ::mmap(nullptr, static_cast<std::size_t>(info.st_size), PROT_READ, MAP_PRIVATE, fd, 0);
    if (data != MAP_FAILED) {
      data_ = data;
      size_ = static_cast<std::size_t>(info.st_size);
    }
  }
  ::close(fd);
}

MappedFile::~MappedFile() {
  if (data_ != nullptr) ::munmap(data_, size_);
}

std::variant<std::vector<FormPart>, std::string> ParseMultipart(std::string_view content_type,
                                                                std::string_view body) {
  const std::string_view type = Trim(content_type.substr(0, content_type.find(';')));
  if (!EqualNoCase(type, "multipart/form-data")) return "the body must be multipart/form-data";
  const std::optional<std::string> boundary = Parameter(content_type, "boundary");
  if (!boundary || boundary->empty() || boundary->size() > 70) {
    return "the multipart body has no valid boundary";
  }
  const std::string delimiter = "\r\n--" + *boundary;
  const std::boyer_moore_horspool_searcher search(delimiter.begin(), delimiter.end());
  // The first delimiter may open the body without the line break before it.
  std::size_t at = 0;
  if (body.starts_with(std::string_view(delimiter).substr(2))) {
    at = delimiter.size() - 2;
  } else {
    const auto found = std::search(body.begin(), body.end(), search);
    if (found == body.end()) return "the multipart body has no parts";
    at = static_cast<std::size_t>(found - body.begin()) + delimiter.size();
  }
  std::vector<FormPart> parts;
  while (true) {
    // After a delimiter: "--" ends the body; otherwise a line break and a part's headers.
    if (body.substr(at, 2) == "--") return parts;
    if (body.substr(at, 2) != "\r\n") return "the multipart body is malformed";
    at += 2;
    if (parts.size() == kMaxParts) return "the multipart body has too many parts";
    const std::size_t headers_end = body.find("\r\n\r\n", at);
    if (headers_end == std::string_view::npos || headers_end - at > kMaxPartHeaders) {
      return "a part's headers are malformed or too long";
    }
    FormPart part;
    bool disposition = false;
    std::string_view headers = body.substr(at, headers_end - at);
    while (!headers.empty()) {
      const std::size_t line_end = std::min(headers.find("\r\n"), headers.size());
      const std::string_view line = headers.substr(0, line_end);
      headers.remove_prefix(std::min(line_end + 2, headers.size()));
      const std::size_t colon = line.find(':');
      if (colon == std::string_view::npos) return "a part's headers are malformed";
      const std::string_view name = Trim(line.substr(0, colon));
      const std::string_view value = Trim(line.substr(colon + 1));
      if (EqualNoCase(name, "Content-Disposition")) {
        if (!EqualNoCase(Trim(value.substr(0, value.find(';'))), "form-data")) {
          return "a part is not form data";
        }
        disposition = true;
        part.name = Parameter(value, "name").value_or("");
        part.filename = Parameter(value, "filename").value_or("");
      } else if (EqualNoCase(name, "Content-Type")) {
        part.content_type = std::string(value);
      }
    }
    if (!disposition || part.name.empty()) return "a part has no name";
    const std::size_t data_start = headers_end + 4;
    const auto found =
        std::search(body.begin() + static_cast<std::ptrdiff_t>(data_start), body.end(), search);
    if (found == body.end()) return "the multipart body is cut short";
    const std::size_t data_end = static_cast<std::size_t>(found - body.begin());
    part.data = body.substr(data_start, data_end - data_start);
    parts.push_back(std::move(part));
    at = data_end + delimiter.size();
  }
}

}  // namespace sheetora::press
