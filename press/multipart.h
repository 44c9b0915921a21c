// multipart/form-data bodies, read in place from a file mapped into memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace sheetora::press {

/// A file's bytes, mapped read-only for the object's life.
class MappedFile {
 public:
  /// Maps `path`; an empty or unreadable file gives no bytes.
  explicit MappedFile(const std::filesystem::path& path);
  ~MappedFile();
  MappedFile(const MappedFile&) = delete;
  MappedFile& operator=(const MappedFile&) = delete;

  std::string_view bytes() const { return {static_cast<const char*>(data_), size_}; }

 private:
  void* data_ = nullptr;
  std::size_t size_ = 0;
};

struct FormPart {
  std::string name;
  std::string filename;      ///< empty when the part is no file
  std::string content_type;  ///< as sent, possibly empty
  std::string_view data;     ///< a view into the body
};

/// The parts of a multipart/form-data body whose Content-Type header is `content_type`, or
/// why it cannot be read. Bounded: at most 16 parts, 8 KiB of headers each.
std::variant<std::vector<FormPart>, std::string> ParseMultipart(std::string_view content_type,
                                                                std::string_view body);

}  // namespace sheetora::press
