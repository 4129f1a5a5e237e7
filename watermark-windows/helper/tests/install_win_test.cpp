// Runs against the Wine prefix's real install folder, HKLM class keys and consent keys
// (ctest lock install_dir). Every test removes what it wrote.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "install_win.hpp"
#include "lib.hpp"
#include "win_error.hpp"

namespace {

using shared::win::wide;

void write_file(const std::string& path, std::string_view bytes) {
  HANDLE file = CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr));
  CloseHandle(file);
}

bool exists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

void set_string(HKEY root, const std::string& key, const wchar_t* name, const std::wstring& value) {
  ASSERT_EQ(RegSetKeyValueW(root, wide(key).c_str(), name, REG_SZ, value.c_str(),
                            static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t))),
            ERROR_SUCCESS)
      << key;
}

void delete_tree(HKEY root, const std::string& key) {
  RegDeleteTreeW(root, wide(key).c_str());
}

std::string temp_dir() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetTempPathW(MAX_PATH, buffer);
  return shared::win::narrow(std::wstring_view(buffer, n));
}

// Keeps a file that exists before a test and puts it back afterwards.
class SavedFile {
 public:
  explicit SavedFile(std::string path) : path_(std::move(path)), saved_(path_ + ".saved-by-test") {
    had_ = MoveFileExW(wide(path_).c_str(), wide(saved_).c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  ~SavedFile() {
    DeleteFileW(wide(path_).c_str());
    if (had_) MoveFileExW(wide(saved_).c_str(), wide(path_).c_str(), MOVEFILE_REPLACE_EXISTING);
  }

 private:
  std::string path_, saved_;
  BOOL had_;
};

TEST(Bundled, ReplacesTheExecutablesFileName) {
  const shared::Result<std::string> self = install::bundled("install_win_tests.exe");
  ASSERT_TRUE(self) << self.error().text();
  EXPECT_TRUE(exists(*self)) << *self;
  const shared::Result<std::string> dll = install::bundled(install::BACKEND_DLL);
  ASSERT_TRUE(dll);
  EXPECT_EQ(dll->substr(0, dll->size() - install::BACKEND_DLL.size()),
            self->substr(0, self->size() - std::string_view("install_win_tests.exe").size()));
}

TEST(ReadString, DefaultAndNamedValuesUpTo2048Bytes) {
  const std::string key = "SOFTWARE\\VantorelTest\\ReadString";
  delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\VantorelTest");
  set_string(HKEY_CURRENT_USER, key, nullptr, L"default text \u00E9");
  set_string(HKEY_CURRENT_USER, key, L"Fits", std::wstring(1023, L'a'));  // 2048 bytes with NUL
  set_string(HKEY_CURRENT_USER, key, L"TooLong", std::wstring(1024, L'b'));
  const DWORD number = 7;
  RegSetKeyValueW(HKEY_CURRENT_USER, wide(key).c_str(), L"Number", REG_DWORD, &number,
                  sizeof number);

  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key), "default text \xC3\xA9");
  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key, "Fits"), std::string(1023, 'a'));
  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key, "TooLong"), std::nullopt);
  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key, "Number"), std::nullopt);
  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key, "Missing"), std::nullopt);
  EXPECT_EQ(install::read_string(HKEY_CURRENT_USER, key + "\\Missing"), std::nullopt);
  delete_tree(HKEY_CURRENT_USER, "SOFTWARE\\VantorelTest");
}

TEST(StateReady, NeedsAFileOfTheMappingSize) {
  const std::string path = temp_dir() + "vantorel-state-ready.bin";
  struct Case {
    std::size_t size;
    bool ready;
  };
  for (const Case c : {Case{0, false}, Case{8191, false}, Case{8192, true}, Case{9000, true}}) {
    write_file(path, std::string(c.size, '\0'));
    EXPECT_EQ(install::state_ready_at(path), c.ready) << c.size;
  }

  // The open needs write access, shared with the other users of the file.
  HANDLE exclusive = CreateFileW(wide(path).c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(exclusive, INVALID_HANDLE_VALUE);
  EXPECT_FALSE(install::state_ready_at(path));
  CloseHandle(exclusive);
  HANDLE sharing = CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                               FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(sharing, INVALID_HANDLE_VALUE);
  EXPECT_TRUE(install::state_ready_at(path));
  CloseHandle(sharing);

  DeleteFileW(wide(path).c_str());
  EXPECT_FALSE(install::state_ready_at(path));
  EXPECT_FALSE(install::state_ready_at(temp_dir()));  // a folder is no state file
}

// A complete installation in the prefix, which each test then spoils in one way.
class Installation : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = shared::install_dir();
    CreateDirectoryW(wide(shared::program_files()).c_str(), nullptr);
    CreateDirectoryW(wide(folder_).c_str(), nullptr);
    servers_ = temp_dir() + "vantorel-servers";
    CreateDirectoryW(wide(servers_).c_str(), nullptr);
    for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
      const std::string server = servers_ + "\\proxy" + std::to_string(slot) + ".dll";
      write_file(server, "MZ");
      register_slot(slot, server);
    }
    write_file(shared::state_path(), std::string(8192, '\0'));

    const shared::Result<std::string> bundled = install::bundled(install::BACKEND_DLL);
    ASSERT_TRUE(bundled);
    saved_bundle_ = std::make_unique<SavedFile>(*bundled);
    write_file(*bundled, backend_bytes_);
    relative_ = install::backend_relative(std::span(
        reinterpret_cast<const std::uint8_t*>(backend_bytes_.data()), backend_bytes_.size()));
    backend_dir_ = shared::join_path(folder_, relative_.substr(0, relative_.rfind('\\')));
    CreateDirectoryW(wide(shared::join_path(folder_, "backends")).c_str(), nullptr);
    CreateDirectoryW(wide(backend_dir_).c_str(), nullptr);
    write_file(shared::join_path(folder_, relative_), backend_bytes_);
    write_config(relative_);
  }

  void TearDown() override {
    for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
      delete_tree(HKEY_LOCAL_MACHINE, install::clsid_key(slot));
      DeleteFileW(wide(servers_ + "\\proxy" + std::to_string(slot) + ".dll").c_str());
    }
    RemoveDirectoryW(wide(servers_).c_str());
    DeleteFileW(wide(shared::join_path(folder_, relative_)).c_str());
    RemoveDirectoryW(wide(backend_dir_).c_str());
    RemoveDirectoryW(wide(shared::join_path(folder_, "backends")).c_str());
    DeleteFileW(wide(shared::join_path(folder_, install::CONFIG_FILE)).c_str());
    DeleteFileW(wide(shared::state_path()).c_str());
    saved_bundle_.reset();
  }

  void register_slot(unsigned slot, const std::string& server) {
    set_string(HKEY_LOCAL_MACHINE, install::clsid_key(slot), nullptr, L"VantorelVirtualCamera");
    set_string(HKEY_LOCAL_MACHINE, install::server_key(slot), nullptr, wide(server));
  }
  void write_config(std::string_view content) {
    write_file(shared::join_path(folder_, install::CONFIG_FILE), content);
  }

  const std::string backend_bytes_ = std::string("MZ backend build 1\0\x01\x02", 22);
  std::string folder_, servers_, relative_, backend_dir_;
  std::unique_ptr<SavedFile> saved_bundle_;
};

TEST_F(Installation, CompleteInstallationIsCurrent) {
  EXPECT_TRUE(install::is_registered());
  EXPECT_TRUE(install::state_ready());
  EXPECT_EQ(install::backend_relative_path(), relative_);
  EXPECT_TRUE(install::is_installed());
}

TEST_F(Installation, EachClassKeyNeedsAnExistingServerFile) {
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    register_slot(slot, servers_ + "\\missing.dll");
    EXPECT_FALSE(install::is_registered()) << slot;
    EXPECT_FALSE(install::is_installed()) << slot;
    register_slot(slot, servers_);  // a folder is not a server file
    EXPECT_FALSE(install::is_registered()) << slot;
    delete_tree(HKEY_LOCAL_MACHINE, install::clsid_key(slot));
    EXPECT_FALSE(install::is_registered()) << slot;
    // Any existing file counts, wherever it lies.
    register_slot(slot, shared::state_path());
    EXPECT_TRUE(install::is_registered()) << slot;
  }
  // A server path needing more than 2048 bytes reads as absent.
  register_slot(1, servers_ + "\\" + std::string(1100, 'p'));
  EXPECT_FALSE(install::is_registered());
}

TEST_F(Installation, ConfigMustNameTheShippedBackend) {
  std::string upper = relative_;
  for (std::size_t i = 9; i < 25; ++i) upper[i] = static_cast<char>(toupper(upper[i]));
  std::string other = relative_;
  other[9] = other[9] == '0' ? '1' : '0';
  struct Case {
    std::string content;
    bool current;
  };
  const Case cases[] = {
      {relative_ + "\r\n", true},
      {" " + relative_, true},
      {other, false},
      {upper, false},
      {relative_ + "\xFF", false},
      {"", false},
  };
  for (const Case& c : cases) {
    write_config(c.content);
    EXPECT_EQ(install::is_installed(), c.current) << c.content;
  }
}

TEST_F(Installation, MissingPiecesAreNotInstalled) {
  write_file(shared::state_path(), std::string(8191, '\0'));
  EXPECT_FALSE(install::state_ready());
  EXPECT_FALSE(install::is_installed());
  DeleteFileW(wide(shared::state_path()).c_str());
  EXPECT_FALSE(install::is_installed());
  write_file(shared::state_path(), std::string(8192, '\0'));
  ASSERT_TRUE(install::is_installed());

  DeleteFileW(wide(shared::join_path(folder_, relative_)).c_str());
  EXPECT_FALSE(install::is_installed());
  write_file(shared::join_path(folder_, relative_), backend_bytes_);
  ASSERT_TRUE(install::is_installed());

  DeleteFileW(wide(*install::bundled(install::BACKEND_DLL)).c_str());
  const shared::Result<std::string> relative = install::backend_relative_path();
  ASSERT_FALSE(relative);
  EXPECT_EQ(relative.error().kind(), shared::Error::Kind::io);
  EXPECT_EQ(relative.error().code(), ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(install::is_installed());
}

// The three consent keys, cleared before and after.
class Consent : public ::testing::Test {
 protected:
  static std::string non_packaged() {
    return std::string(install::CONSENT_KEY) + std::string(install::NON_PACKAGED);
  }
  void clear() {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      RegDeleteKeyValueW(root, wide(install::CONSENT_KEY).c_str(), L"Value");
    }
    RegDeleteKeyValueW(HKEY_CURRENT_USER, wide(non_packaged()).c_str(), L"Value");
  }
  void SetUp() override { clear(); }
  void TearDown() override { clear(); }
};

TEST_F(Consent, ExactDenyUnderAnyOfTheThreeKeys) {
  EXPECT_FALSE(install::camera_denied());
  struct Place {
    HKEY root;
    std::string key;
  };
  const Place places[] = {{HKEY_LOCAL_MACHINE, std::string(install::CONSENT_KEY)},
                          {HKEY_CURRENT_USER, std::string(install::CONSENT_KEY)},
                          {HKEY_CURRENT_USER, non_packaged()}};
  for (const Place& place : places) {
    for (const wchar_t* other : {L"Allow", L"deny", L"DENY"}) {
      set_string(place.root, place.key, L"Value", other);
      EXPECT_FALSE(install::camera_denied()) << place.key;
    }
    set_string(place.root, place.key, L"Value", L"Deny");
    EXPECT_TRUE(install::camera_denied()) << place.key;
    clear();
  }
  // Another place allowing does not undo a denial.
  set_string(HKEY_LOCAL_MACHINE, std::string(install::CONSENT_KEY), L"Value", L"Allow");
  set_string(HKEY_CURRENT_USER, non_packaged(), L"Value", L"Deny");
  EXPECT_TRUE(install::camera_denied());
}

}  // namespace
