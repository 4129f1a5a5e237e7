// libFuzzer target for standard input: every byte string is possible input. Besides crashes and
// sanitizer findings it checks that the decoded text is valid UTF-8, that an accepted list holds
// no application twice and reads back the same when written as a line of its own, and that
// reading the bytes through read_input in pieces of any size leaves the filter that applying
// the lines one by one leaves.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "main/input.hpp"

namespace {

using huddlewatch::AppList;

// Hands out the data in pieces whose sizes cycle through the given ones.
class PieceReader final : public huddlewatch::ByteReader {
 public:
  PieceReader(std::string_view data, std::size_t piece) : data_(data), piece_(piece) {}

  std::ptrdiff_t read(char* buffer, std::size_t size) override {
    const std::size_t n = std::min({size, piece_, data_.size()});
    std::memcpy(buffer, data_.data(), n);
    data_.remove_prefix(n);
    return static_cast<std::ptrdiff_t>(n);
  }

 private:
  std::string_view data_;
  std::size_t piece_;
};

std::string apps_line(const std::vector<readers::App>& apps) {
  std::string line = "{\"apps\":[";
  for (std::size_t i = 0; i < apps.size(); ++i) {
    if (i > 0) line += ',';
    line += '"';
    line.append(apps[i].name());
    line += '"';
  }
  return line + "]}\n";
}

void check_line(std::string_view bytes) {
  const std::string text = huddlewatch::decode_utf8(bytes);
  if (huddlewatch::decode_utf8(text) != text) std::abort();  // not valid UTF-8
  const std::optional<AppList> parsed = huddlewatch::parse_apps_line(text);
  if (!parsed || !*parsed) return;
  const std::vector<readers::App>& apps = **parsed;
  for (std::size_t i = 0; i < apps.size(); ++i) {
    if (std::count(apps.begin(), apps.end(), apps[i]) != 1) std::abort();
  }
  if (huddlewatch::parse_apps_line(apps_line(apps)) != parsed) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);

  // The lines one by one, the last one without its LF too.
  AppList expected = std::vector<readers::App>{readers::App::Zoom};
  for (std::string_view rest = input; !rest.empty();) {
    const std::size_t lf = rest.find('\n');
    const std::string_view line =
        rest.substr(0, lf == std::string_view::npos ? rest.size() : lf + 1);
    check_line(line);
    if (auto parsed = huddlewatch::parse_apps_line(huddlewatch::decode_utf8(line))) {
      expected = *parsed;
    }
    rest.remove_prefix(line.size());
  }

  const std::size_t piece = size == 0 ? 1 : 1 + data[0] % 7;
  huddlewatch::AppFilter filter(std::vector<readers::App>{readers::App::Zoom});
  PieceReader reader(input, piece);
  if (huddlewatch::read_input(reader, filter) != 0) std::abort();
  if (filter.get() != expected) std::abort();
  return 0;
}
