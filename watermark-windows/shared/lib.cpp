#include "lib.hpp"

#include <cstdio>

#include "utf.hpp"

namespace shared {
namespace {

constexpr std::uint32_t CLSID_DATA1 = 0x4E8B1A2C;
constexpr std::uint16_t CLSID_DATA2 = 0x6D3F;
constexpr std::uint16_t CLSID_DATA3 = 0x4A7B;
constexpr std::array<std::uint8_t, 7> CLSID_DATA4_HEAD = {0x9E, 0x51, 0x3C, 0x2D, 0x8F, 0x6A, 0x0B};
constexpr std::uint8_t CLSID_LAST_BYTE_BASE = 0x90;
constexpr std::string_view CLSID_TEXT_HEAD = "{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9";

constexpr std::uint64_t FNV_OFFSET_BASIS = 0xcbf29ce484222325ULL;
constexpr std::uint64_t FNV_PRIME = 0x100000001b3ULL;

}  // namespace

std::string join_path(std::string_view first, std::string_view second) {
  std::string out(first);
  if (!out.empty() && out.back() != '\\' && out.back() != '/') out.push_back('\\');
  out.append(second);
  return out;
}

std::string program_files_or_default(std::optional<std::u16string_view> reported) {
  if (reported) {
    if (auto text = utf16_to_utf8(*reported)) return *text;
  }
  return std::string(DEFAULT_PROGRAM_FILES);
}

std::string clsid_text(unsigned slot) {
  return std::string(CLSID_TEXT_HEAD) + std::to_string(slot) + "}";
}

ClsidFields clsid_fields(unsigned slot) {
  ClsidFields fields{CLSID_DATA1, CLSID_DATA2, CLSID_DATA3, {}};
  for (std::size_t i = 0; i < CLSID_DATA4_HEAD.size(); ++i) fields.data4[i] = CLSID_DATA4_HEAD[i];
  fields.data4[7] = static_cast<std::uint8_t>(CLSID_LAST_BYTE_BASE + slot);
  return fields;
}

std::optional<unsigned> slot_of(const ClsidFields& fields) {
  for (unsigned slot = 0; slot < SLOT_COUNT; ++slot) {
    if (clsid_fields(slot) == fields) return slot;
  }
  return std::nullopt;
}

std::string camera_name(std::string_view physical_name, std::string_view brand) {
  std::string name(physical_name);
  name += " - ";
  name += brand;
  name += " Watermark";
  return name;
}

bool is_virtual_camera(std::string_view link) {
  const auto lower = [](char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
  };
  // Compared in place: the capture thread calls this for every attempt, without allocating.
  const std::size_t marker = VIRTUAL_CAMERA_MARKER.size();
  for (std::size_t at = 0; at + marker <= link.size(); ++at) {
    std::size_t i = 0;
    while (i < marker && lower(link[at + i]) == VIRTUAL_CAMERA_MARKER[i]) ++i;
    if (i == marker) return true;
  }
  return false;
}

std::string content_hash(std::span<const std::uint8_t> bytes) {
  std::uint64_t hash = FNV_OFFSET_BASIS;
  for (const std::uint8_t byte : bytes) {
    hash ^= byte;
    hash *= FNV_PRIME;
  }
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(hash));
  return text;
}

}  // namespace shared
