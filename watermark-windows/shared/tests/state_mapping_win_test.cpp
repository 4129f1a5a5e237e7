// Runs under Wine (or Windows) on the real state file in the install folder.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <utility>
#include <vector>

#include "lib.hpp"
#include "state_mapping.hpp"
#include "win_error.hpp"

namespace {

namespace fs = std::filesystem;
using shared::StateMapping;

fs::path install_path() { return fs::path(shared::win::wide(shared::install_dir())); }
fs::path state_file() { return fs::path(shared::win::wide(shared::state_path())); }

std::vector<unsigned char> read_file(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

class StateMappingTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(install_path());
    fs::create_directories(install_path());
  }
  void TearDown() override { fs::remove_all(install_path()); }
};

TEST_F(StateMappingTest, MissingFileAndMissingFolderFailInBothModes) {
  for (bool writable : {true, false}) {
    auto missing_file = StateMapping::open(writable);
    ASSERT_FALSE(missing_file.has_value());
    EXPECT_EQ(static_cast<std::uint32_t>(missing_file.error().code()), 0x80070002u);
    EXPECT_FALSE(fs::exists(state_file()));
  }
  fs::remove_all(install_path());
  for (bool writable : {true, false}) {
    auto missing_folder = StateMapping::open(writable);
    ASSERT_FALSE(missing_folder.has_value());
    EXPECT_EQ(static_cast<std::uint32_t>(missing_folder.error().code()), 0x80070003u);
    EXPECT_NE(missing_folder.error().text().find("(0x80070003)"), std::string::npos);
  }
  EXPECT_FALSE(fs::exists(install_path()));
}

// A failed step leaves nothing open: the file, opened without delete sharing, can be deleted.
TEST_F(StateMappingTest, FailedOpenLeavesNoHandle) {
  // Too short to be mapped read-only at full size; a writable mapping would lengthen it.
  write_file(state_file(), std::vector<unsigned char>(100, 7));
  auto mapping = StateMapping::open(false);
  ASSERT_FALSE(mapping.has_value());
  EXPECT_EQ(read_file(state_file()), std::vector<unsigned char>(100, 7));
  EXPECT_TRUE(DeleteFileW(state_file().c_str())) << GetLastError();
}

TEST_F(StateMappingTest, FirstWritableOpenStampsVersionAndMagicOnly) {
  write_file(state_file(), std::vector<unsigned char>(shared::STATE_SIZE, 0));
  {
    auto mapping = StateMapping::open(true);
    ASSERT_TRUE(mapping.has_value()) << mapping.error().text();
    EXPECT_EQ(mapping->state().magic.load(), shared::STATE_MAGIC);
    EXPECT_EQ(mapping->state().version.load(), 1u);
  }
  std::vector<unsigned char> expected(shared::STATE_SIZE, 0);
  expected[0] = 0x4D, expected[1] = 0x57, expected[2] = 0x54, expected[3] = 0x56;
  expected[4] = 1;
  EXPECT_EQ(read_file(state_file()), expected);
}

TEST_F(StateMappingTest, OpenWithMagicPresentWritesNothingEvenWithAnotherVersion) {
  std::vector<unsigned char> bytes(shared::STATE_SIZE, 0);
  bytes[0] = 0x4D, bytes[1] = 0x57, bytes[2] = 0x54, bytes[3] = 0x56;
  bytes[4] = 9;
  bytes[5000] = 0xAB;  // past the record: nobody touches it
  write_file(state_file(), bytes);
  {
    auto mapping = StateMapping::open(true);
    ASSERT_TRUE(mapping.has_value()) << mapping.error().text();
    EXPECT_EQ(mapping->state().version.load(), 9u);
  }
  EXPECT_EQ(read_file(state_file()), bytes);
}

TEST_F(StateMappingTest, ReadOnlyMappingSeesWhatTheWriterStores) {
  write_file(state_file(), std::vector<unsigned char>(shared::STATE_SIZE, 0));
  auto writer = StateMapping::open(true);
  ASSERT_TRUE(writer.has_value()) << writer.error().text();
  auto reader = StateMapping::open(false);
  ASSERT_TRUE(reader.has_value()) << reader.error().text();

  const std::vector<std::string> slots = {"\\\\?\\usb#vid_046d&pid_085e#cam0", "", "cam2"};
  writer->state().write_text("Vantorel", slots);
  writer->state().set_audio_level(0.625f);
  writer->state().heartbeat_ms.store(1234567890123ULL, std::memory_order_relaxed);
  writer->state().badge_on.store(1, std::memory_order_relaxed);

  const shared::Texts texts = reader->state().read_text();
  EXPECT_EQ(texts.title, "Vantorel");
  EXPECT_EQ(texts.slots[0], slots[0]);
  EXPECT_EQ(texts.slots[2], "cam2");
  EXPECT_EQ(texts.slots[3], "");
  EXPECT_EQ(reader->state().audio_level(), 0.625f);
  EXPECT_EQ(reader->state().heartbeat_ms.load(std::memory_order_relaxed), 1234567890123ULL);
  EXPECT_EQ(reader->state().badge_on.load(std::memory_order_relaxed), 1u);
}

// A helper ended between the two counter stores leaves state.bin with an odd counter; the
// writable open keeps it, and the next helper's first write must still reach the readers.
TEST_F(StateMappingTest, FileLeftInsideAWriteIsReadableAfterTheNextWrite) {
  std::vector<unsigned char> bytes(shared::STATE_SIZE, 0);
  bytes[0] = 0x4D, bytes[1] = 0x57, bytes[2] = 0x54, bytes[3] = 0x56;
  bytes[4] = 1;
  bytes[24] = 0x2B;  // text_sequence 43
  write_file(state_file(), bytes);
  auto writer = StateMapping::open(true);
  ASSERT_TRUE(writer.has_value()) << writer.error().text();
  auto reader = StateMapping::open(false);
  ASSERT_TRUE(reader.has_value()) << reader.error().text();
  EXPECT_EQ(reader->state().read_text().title, "");

  writer->state().write_text("Vantorel", std::vector<std::string>{"cam0"});
  const shared::Texts texts = reader->state().read_text();
  EXPECT_EQ(texts.title, "Vantorel");
  EXPECT_EQ(texts.slots, (std::array<std::string, 4>{"cam0", "", "", ""}));
}

TEST_F(StateMappingTest, MovedMappingOwnsTheView) {
  write_file(state_file(), std::vector<unsigned char>(shared::STATE_SIZE, 0));
  auto opened = StateMapping::open(true);
  ASSERT_TRUE(opened.has_value());
  StateMapping moved = std::move(*opened);
  moved.state().badge_on.store(1);
  {
    StateMapping other = std::move(moved);
    EXPECT_EQ(other.state().badge_on.load(), 1u);
  }
  // All handles are closed: the file can be deleted.
  EXPECT_TRUE(DeleteFileW(state_file().c_str()));
}

}  // namespace
