#include <windows.h>

#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <utility>
#include <vector>

#include "install_setup.hpp"
#include "install_win.hpp"
#include "lib.hpp"
#include "win_error.hpp"

namespace {

using shared::win::wide;
using Bytes = std::vector<std::uint8_t>;

const std::string signed_dir = VT_SIGNED_DIR;

std::string signed_file(const std::string& variant, std::string_view name) {
  return signed_dir + "\\" + variant + "\\" + std::string(name);
}

std::string own_folder() {
  wchar_t buffer[MAX_PATH];
  const DWORD n = GetModuleFileNameW(nullptr, buffer, MAX_PATH);
  std::string path = shared::win::narrow(std::wstring_view(buffer, n));
  return path.substr(0, path.find_last_of('\\'));
}

Bytes read_bytes(const std::string& path) {
  std::ifstream in(std::filesystem::path(wide(path)), std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), {});
}

void write_bytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(std::filesystem::path(wide(path)), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

bool exists(const std::string& path) {
  return GetFileAttributesW(wide(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<std::string> names_in(const std::string& dir) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(wide(dir), error)) {
    names.push_back(shared::win::narrow(entry.path().filename().wstring()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

FILETIME write_time(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  GetFileAttributesExW(wide(path).c_str(), GetFileExInfoStandard, &data);
  return data.ftLastWriteTime;
}

bool same_time(FILETIME a, FILETIME b) {
  return a.dwLowDateTime == b.dwLowDateTime && a.dwHighDateTime == b.dwHighDateTime;
}

std::string dacl_of_descriptor(PSECURITY_DESCRIPTOR descriptor);

// The DACL of the file in the platform's own SDDL rendering.
std::string dacl_of_file(const std::string& path) {
  DWORD size = 0;
  GetFileSecurityW(wide(path).c_str(), DACL_SECURITY_INFORMATION, nullptr, 0, &size);
  std::vector<std::uint8_t> buffer(size);
  if (!GetFileSecurityW(wide(path).c_str(), DACL_SECURITY_INFORMATION, buffer.data(), size,
                        &size)) {
    return "unreadable";
  }
  return dacl_of_descriptor(buffer.data());
}

// The SDDL as the platform renders it once parsed, so the comparison does not depend on
// how it abbreviates access masks.
std::string rendered(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  ConvertStringSecurityDescriptorToSecurityDescriptorW(wide(sddl).c_str(), SDDL_REVISION_1,
                                                       &descriptor, nullptr);
  std::string result = dacl_of_descriptor(descriptor);
  LocalFree(descriptor);
  return result;
}

std::string dacl_of_descriptor(PSECURITY_DESCRIPTOR descriptor) {
  wchar_t* text = nullptr;
  ConvertSecurityDescriptorToStringSecurityDescriptorW(descriptor, SDDL_REVISION_1,
                                                       DACL_SECURITY_INFORMATION, &text, nullptr);
  std::string result = text ? shared::win::narrow(text) : "none";
  LocalFree(text);
  return result;
}

// Wine derives a file's DACL from its Unix mode whenever the file is opened again, so a DACL
// set on a file never reads back there; Windows keeps it.
bool platform_keeps_file_dacls(const std::string& scratch) {
  write_bytes(scratch, Bytes(1, 0));
  const shared::Result<install::Descriptor> probe = install::Descriptor::create("D:P(A;;FA;;;WD)");
  const bool kept =
      probe && probe->apply(scratch) && dacl_of_file(scratch) == rendered("D:P(A;;FA;;;WD)");
  DeleteFileW(wide(scratch).c_str());
  return kept;
}

// Deletes a file even when it is read-only.
void remove_file(const std::string& path) {
  SetFileAttributesW(wide(path).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(wide(path).c_str());
}

void delete_tree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(std::filesystem::path(wide(path)), error);
}

void clear_registration() {
  for (unsigned slot = 0; slot < shared::SLOT_COUNT; ++slot) {
    RegDeleteTreeW(HKEY_LOCAL_MACHINE, wide(install::clsid_key(slot)).c_str());
  }
}

// Each case starts without an installation and ships DLLs beside this executable, where the
// installer takes them from.
class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = shared::install_dir();
    clean();
  }
  void TearDown() override {
    clean();
    remove_file(beside(install::PROXY_DLL));
    remove_file(beside(install::BACKEND_DLL));
  }

  static void clean() {
    remove_file(shared::join_path(shared::install_dir(), install::staged_name()));
    delete_tree(shared::install_dir());
    clear_registration();
  }

  static std::string beside(std::string_view name) { return shared::join_path(own_folder(), name); }

  // Ships the proxy and the backend of the given signed variants; an empty variant ships none.
  static void ship(const std::string& proxy, const std::string& backend) {
    for (const auto& [variant, name] :
         {std::pair{proxy, install::PROXY_DLL}, std::pair{backend, install::BACKEND_DLL}}) {
      const std::wstring target = wide(beside(name));
      remove_file(beside(name));
      if (!variant.empty()) {
        ASSERT_TRUE(CopyFileW(wide(signed_file(variant, name)).c_str(), target.c_str(), FALSE))
            << variant;
      }
    }
  }
  static void ship(const std::string& variant) { ship(variant, variant); }

  std::string path(std::string_view name) const { return shared::join_path(dir_, name); }
  std::string config() const {
    const Bytes bytes = read_bytes(path(install::CONFIG_FILE));
    return std::string(bytes.begin(), bytes.end());
  }
  std::string rel_of(const std::string& variant) const {
    return install::backend_relative(read_bytes(signed_file(variant, install::BACKEND_DLL)));
  }
  std::string hash_of(const std::string& variant) const {
    const std::string rel = rel_of(variant);
    const std::size_t first = rel.find('\\') + 1;
    return rel.substr(first, rel.rfind('\\') - first);
  }

  std::string dir_;
};

TEST_F(Installer, FreshInstallCreatesLayoutStateFileAndRegistration) {
  ship("good");
  const shared::Result<void> done = install::install_elevated();
  ASSERT_TRUE(done) << done.error().text();

  EXPECT_EQ(names_in(dir_),
            (std::vector<std::string>{"VantorelVirtualCamera.cfg", "VantorelVirtualCamera.dll",
                                      "backends", "state.bin"}));
  EXPECT_EQ(read_bytes(path(install::PROXY_DLL)),
            read_bytes(signed_file("good", install::PROXY_DLL)));
  EXPECT_EQ(config(), rel_of("good"));
  EXPECT_EQ(names_in(path("backends")), std::vector<std::string>{hash_of("good")});
  EXPECT_EQ(read_bytes(path(rel_of("good"))),
            read_bytes(signed_file("good", install::BACKEND_DLL)));

  const Bytes state = read_bytes(path("state.bin"));
  EXPECT_EQ(state, Bytes(8192, 0));
  if (platform_keeps_file_dacls(path("probe.bin"))) {
    EXPECT_EQ(dacl_of_file(path("state.bin")), rendered(install::state_sddl()));
  }

  const std::string proxy = path(install::PROXY_DLL);
  for (unsigned slot = 0; slot < 4; ++slot) {
    const std::string key = "SOFTWARE\\Classes\\CLSID\\{4E8B1A2C-6D3F-4A7B-9E51-3C2D8F6A0B9" +
                            std::to_string(slot) + "}";
    EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, key), "VantorelVirtualCamera") << slot;
    EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, key + "\\InprocServer32"), proxy) << slot;
    EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, key + "\\InprocServer32", "ThreadingModel"),
              "Both")
        << slot;
  }
  EXPECT_TRUE(install::is_installed());
}

TEST_F(Installer, SecondInstallWithTheSameDllsRewritesNeither) {
  ship("good");
  ASSERT_TRUE(install::install_elevated());
  const FILETIME proxy = write_time(path(install::PROXY_DLL));
  const FILETIME backend = write_time(path(rel_of("good")));
  Sleep(50);

  const shared::Result<void> again = install::install_elevated();
  ASSERT_TRUE(again) << again.error().text();
  EXPECT_TRUE(same_time(write_time(path(install::PROXY_DLL)), proxy));
  EXPECT_TRUE(same_time(write_time(path(rel_of("good"))), backend));
  EXPECT_EQ(config(), rel_of("good"));
  EXPECT_TRUE(install::is_installed());
}

// A proxy shipped read-only, as a packager may leave it: its staged copy must not keep the
// attribute, or it could not be deleted and every later install would fail to stage.
TEST_F(Installer, ReadOnlyShippedProxyInstallsAgainAndAgain) {
  ship("good");
  ASSERT_TRUE(
      SetFileAttributesW(wide(beside(install::PROXY_DLL)).c_str(), FILE_ATTRIBUTE_READONLY));
  for (int run = 1; run <= 2; ++run) {
    SCOPED_TRACE(run);
    const shared::Result<void> done = install::install_elevated();
    ASSERT_TRUE(done) << done.error().text();
    EXPECT_FALSE(exists(path(install::staged_name())));
    EXPECT_EQ(read_bytes(path(install::PROXY_DLL)),
              read_bytes(signed_file("good", install::PROXY_DLL)));
    EXPECT_TRUE(install::is_installed());
  }
}

// CopyFileW as Windows documents it: a file that exists with the read-only or the hidden
// attribute is not copied over (access denied). Wine running as root copies over it.
bool copy_as_windows(const std::string& from, const std::string& to) {
  const DWORD target = GetFileAttributesW(wide(to).c_str());
  if (target != INVALID_FILE_ATTRIBUTES &&
      (target & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN))) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  }
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != FALSE;
}

// A staged copy left by an earlier installer that kept the attribute, or by a run stopped between
// the copy and clearing it, must not block every later install.
TEST_F(Installer, StagedLeftoverWithAttributesIsReplaced) {
  ship("good");
  ASSERT_TRUE(CreateDirectoryW(wide(dir_).c_str(), nullptr));
  const std::string staged = path(install::staged_name());
  const DWORD cases[] = {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN,
                         FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_ARCHIVE};
  for (const DWORD attributes : cases) {
    SCOPED_TRACE(attributes);
    remove_file(staged);
    write_bytes(staged, Bytes{'o', 'l', 'd'});
    ASSERT_TRUE(SetFileAttributesW(wide(staged).c_str(), attributes));

    const shared::Result<std::string> done = install::stage_proxy(dir_, copy_as_windows);
    ASSERT_TRUE(done) << done.error().text();
    EXPECT_EQ(*done, staged);
    EXPECT_EQ(read_bytes(staged), read_bytes(signed_file("good", install::PROXY_DLL)));
    EXPECT_FALSE(GetFileAttributesW(wide(staged).c_str()) & FILE_ATTRIBUTE_READONLY);
  }
}

TEST_F(Installer, UpdateSwitchesToTheNewBackendAndDropsTheOld) {
  ship("good");
  ASSERT_TRUE(install::install_elevated());
  ship("good2");
  const shared::Result<void> done = install::install_elevated();
  ASSERT_TRUE(done) << done.error().text();
  EXPECT_NE(hash_of("good"), hash_of("good2"));
  EXPECT_EQ(config(), rel_of("good2"));
  EXPECT_EQ(names_in(path("backends")), std::vector<std::string>{hash_of("good2")});
  EXPECT_EQ(read_bytes(path(install::PROXY_DLL)),
            read_bytes(signed_file("good2", install::PROXY_DLL)));
  EXPECT_TRUE(install::is_installed());
}

TEST_F(Installer, FailedSignatureCheckLeavesTheEarlierInstallation) {
  struct Case {
    const char* proxy;
    const char* backend;
    bool new_folder_kept;  // the configuration already names the shipped backend
  };
  const Case cases[] = {
      {"subject", "subject", false}, {"issuer", "good2", false},      {"good2", "unsigned", false},
      {"nocn", "good", true},        {"tampered", "tampered", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.proxy) + " / " + c.backend);
    clean();
    ship("good");
    ASSERT_TRUE(install::install_elevated());
    const Bytes proxy_before = read_bytes(path(install::PROXY_DLL));

    ship(c.proxy, c.backend);
    const shared::Result<void> done = install::install_elevated();
    ASSERT_FALSE(done);
    EXPECT_EQ(done.error().text(), "watermark camera DLLs failed signature verification");

    EXPECT_EQ(config(), rel_of("good"));
    EXPECT_EQ(read_bytes(path(install::PROXY_DLL)), proxy_before);
    EXPECT_FALSE(exists(path("VantorelVirtualCamera.dll.staged")));
    EXPECT_EQ(exists(path(rel_of(c.backend))), c.new_folder_kept);
    EXPECT_TRUE(exists(path(rel_of("good"))));
    EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, install::server_key(0)),
              path(install::PROXY_DLL));
    // The earlier installation is current for the helper that shipped it.
    ship("good");
    EXPECT_TRUE(install::is_installed());
  }
}

TEST_F(Installer, FailedSignatureCheckOnAFreshMachineLeavesNoBackend) {
  ship("case");
  ASSERT_FALSE(install::install_elevated());
  EXPECT_EQ(names_in(path("backends")), std::vector<std::string>{});
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{"backends"});
  EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, install::clsid_key(0)), std::nullopt);
}

TEST_F(Installer, MissingShippedDllFailsItsStagingStep) {
  ship("", "good");
  shared::Result<void> done = install::install_elevated();
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error().kind(), shared::Error::Kind::io);
  EXPECT_EQ(done.error().code(), ERROR_FILE_NOT_FOUND);
  // The backend was staged before the proxy was missed.
  EXPECT_EQ(names_in(path("backends")), std::vector<std::string>{hash_of("good")});
  EXPECT_FALSE(exists(path(install::CONFIG_FILE)));

  clean();
  ship("good", "");
  done = install::install_elevated();
  ASSERT_FALSE(done);
  EXPECT_EQ(done.error().code(), ERROR_FILE_NOT_FOUND);
  EXPECT_TRUE(done.error().text().ends_with(" (os error 2)")) << done.error().text();
  EXPECT_EQ(names_in(dir_), std::vector<std::string>{});
}

TEST_F(Installer, StateFileReachesItsSizeAndKeepsItsBytes) {
  ASSERT_TRUE(CreateDirectoryW(wide(dir_).c_str(), nullptr));
  struct Case {
    std::size_t size;
    std::size_t expected;
  };
  const Case cases[] = {{0, 8192}, {100, 8192}, {8192, 8192}, {10000, 10000}};
  const std::string state = path("state.bin");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    DeleteFileW(wide(state).c_str());
    Bytes before(c.size);
    for (std::size_t i = 0; i < c.size; ++i) before[i] = static_cast<std::uint8_t>(i * 7 + 1);
    if (c.size > 0) write_bytes(state, before);
    const shared::Result<void> done = install::secure_state_file(state);
    ASSERT_TRUE(done) << done.error().text();
    Bytes expected = before;
    expected.resize(c.expected, 0);
    EXPECT_EQ(read_bytes(state), expected);
  }
}

TEST_F(Installer, StateFileGetsTheAccessListInPlaceOfAnother) {
  ASSERT_TRUE(CreateDirectoryW(wide(dir_).c_str(), nullptr));
  if (!platform_keeps_file_dacls(path("probe.bin"))) {
    GTEST_SKIP() << "this platform derives file DACLs from Unix modes";
  }
  const std::string state = path("state.bin");
  write_bytes(state, Bytes(8192, 3));
  ASSERT_TRUE(install::Descriptor::create("D:P(A;;FA;;;WD)")->apply(state));
  ASSERT_TRUE(install::secure_state_file(state));
  EXPECT_EQ(dacl_of_file(state), rendered(install::state_sddl()));
  EXPECT_EQ(read_bytes(state), Bytes(8192, 3));
}

// Wine does not keep file access lists, so what is handed to the platform is recorded instead:
// the state file's access list, for a new file and an existing one alike.
TEST_F(Installer, StateFileAccessListIsHandedToThePlatform) {
  ASSERT_TRUE(CreateDirectoryW(wide(dir_).c_str(), nullptr));
  const std::string state = path("state.bin");
  struct Call {
    std::string path;
    std::uint32_t information;
    std::string dacl;
  };
  std::vector<Call> calls;
  const install::SetFileAccess record = [&](const std::string& file, std::uint32_t information,
                                            void* descriptor) {
    calls.push_back({file, information, dacl_of_descriptor(descriptor)});
    return true;
  };
  for (const char* which : {"new", "existing"}) {
    SCOPED_TRACE(which);
    calls.clear();
    const shared::Result<void> done = install::secure_state_file(state, record);
    ASSERT_TRUE(done) << done.error().text();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].path, state);
    EXPECT_EQ(calls[0].information, static_cast<std::uint32_t>(DACL_SECURITY_INFORMATION));
    EXPECT_EQ(calls[0].dacl, rendered(install::state_sddl()));
  }

  // A refused access list fails the step with the HRESULT form of the code.
  const install::SetFileAccess refuse = [](const std::string&, std::uint32_t, void*) {
    SetLastError(ERROR_ACCESS_DENIED);
    return false;
  };
  const shared::Result<void> refused = install::secure_state_file(state, refuse);
  ASSERT_FALSE(refused);
  EXPECT_EQ(static_cast<std::uint32_t>(refused.error().code()), 0x80070005u);
}

TEST_F(Installer, DescriptorHoldsExactlyTheStateAccessList) {
  const shared::Result<install::Descriptor> descriptor =
      install::Descriptor::create(install::state_sddl());
  ASSERT_TRUE(descriptor) << descriptor.error().text();
  const SECURITY_ATTRIBUTES attributes = descriptor->attributes();
  EXPECT_EQ(attributes.nLength, 24u);
  EXPECT_FALSE(attributes.bInheritHandle);
  EXPECT_EQ(dacl_of_descriptor(attributes.lpSecurityDescriptor),
            "D:P(A;;FA;;;SY)(A;;FA;;;BA)(A;;FR;;;LS)(A;;0x12008f;;;BU)");
}

TEST_F(Installer, StateFileCanBeSecuredWhileOthersHoldItOpen) {
  ASSERT_TRUE(CreateDirectoryW(wide(dir_).c_str(), nullptr));
  const std::string state = path("state.bin");
  write_bytes(state, Bytes(8192, 5));
  const HANDLE held = CreateFileW(wide(state).c_str(), GENERIC_READ | GENERIC_WRITE,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const shared::Result<void> done = install::secure_state_file(state);
  CloseHandle(held);
  ASSERT_TRUE(done) << done.error().text();
  EXPECT_EQ(read_bytes(state), Bytes(8192, 5));
}

TEST_F(Installer, BadAccessListIsAnErrorWithTheHresultCode) {
  const shared::Result<install::Descriptor> descriptor = install::Descriptor::create("D:(nonsense");
  ASSERT_FALSE(descriptor);
  EXPECT_EQ(descriptor.error().kind(), shared::Error::Kind::io);
  EXPECT_EQ(static_cast<std::uint32_t>(descriptor.error().code()) & 0xFFFF0000u, 0x80070000u);
}

TEST_F(Installer, WriteStringCreatesTheKeyPathAndWritesDefaultAndNamedValues) {
  const std::string key = install::clsid_key(2) + "\\Deeper\\Still";
  ASSERT_TRUE(install::write_string(key, std::nullopt, "default text"));
  ASSERT_TRUE(install::write_string(key, "Named", "\u00e9t\u00e9 \U0001F600"));
  EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, key), "default text");
  EXPECT_EQ(install::read_string(HKEY_LOCAL_MACHINE, key, "Named"), "\u00e9t\u00e9 \U0001F600");
}

TEST_F(Installer, LoadedProxyIsMovedAsideAndItsLeftoverDeletedLater) {
  ship("good");
  ASSERT_TRUE(install::install_elevated());
  const HMODULE loaded = LoadLibraryW(wide(path(install::PROXY_DLL)).c_str());
  ASSERT_NE(loaded, nullptr);

  ship("good2");
  const shared::Result<void> done = install::install_elevated();
  FreeLibrary(loaded);
  ASSERT_TRUE(done) << done.error().text();
  EXPECT_EQ(read_bytes(path(install::PROXY_DLL)),
            read_bytes(signed_file("good2", install::PROXY_DLL)));
  std::vector<std::string> leftovers;
  for (const std::string& name : names_in(dir_)) {
    if (install::is_old_proxy(name)) leftovers.push_back(name);
  }
  if (leftovers.empty()) {
    GTEST_SKIP() << "this platform lets a loaded DLL be written over";
  }
  ASSERT_EQ(leftovers.size(), 1u);
  EXPECT_EQ(read_bytes(path(leftovers[0])), read_bytes(signed_file("good", install::PROXY_DLL)));

  ship("good");
  ASSERT_TRUE(install::install_elevated());
  EXPECT_FALSE(exists(path(leftovers[0])));
}

struct Finished {
  DWORD code;
  std::string error_output;
};

// Runs the program with standard error on a pipe and everything else closed.
Finished run_capturing_errors(std::wstring command) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE read_end = nullptr;
  HANDLE write_end = nullptr;
  if (!CreatePipe(&read_end, &write_end, &inherit, 0)) return {99, "no pipe"};
  SetHandleInformation(read_end, HANDLE_FLAG_INHERIT, 0);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdError = write_end;
  PROCESS_INFORMATION process{};
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(write_end);
  if (!started) {
    CloseHandle(read_end);
    return {99, "not started"};
  }
  std::string output;
  char buffer[256];
  DWORD read = 0;
  while (ReadFile(read_end, buffer, sizeof buffer, &read, nullptr) && read > 0) {
    output.append(buffer, read);
  }
  CloseHandle(read_end);
  WaitForSingleObject(process.hProcess, 60000);
  DWORD code = 99;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return {code, output};
}

// What the user's copy reports when the relaunch fails: only a declined prompt is told, in one
// line that ends in a bare LF.
TEST_F(Installer, FailedRelaunchReportsOnlyTheDeclinedPrompt) {
  struct Case {
    std::uint32_t error;
    std::string output;
  };
  const Case cases[] = {
      {ERROR_CANCELLED, "Administrator permission was declined\n"},
      {static_cast<std::uint32_t>(HRESULT_FROM_WIN32(ERROR_CANCELLED)),
       "Administrator permission was declined\n"},
      {ERROR_FILE_NOT_FOUND, ""},
      {ERROR_ACCESS_DENIED, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.error);
    const Finished finished = run_capturing_errors(
        L"\"" + wide(beside(VT_TEST_PROGRAM)) + L"\" --launch-fails " + std::to_wstring(c.error));
    EXPECT_EQ(finished.code, 1u);
    EXPECT_EQ(finished.error_output, c.output);
  }
}

// The real relaunch: a program that calls install::install starts its own elevated copy with
// "runas", and the elevated copy's outcome comes back as the exit code.
TEST_F(Installer, InstallRelaunchesElevatedAndReturnsItsOutcome) {
  const std::string folder = shared::join_path(own_folder(), "relaunch");
  delete_tree(folder);
  ASSERT_TRUE(CreateDirectoryW(wide(folder).c_str(), nullptr));
  const std::string program = shared::join_path(folder, "VantorelWatermark.exe");
  ASSERT_TRUE(CopyFileW(wide(beside(VT_TEST_PROGRAM)).c_str(), wide(program).c_str(), FALSE));

  struct Step {
    const char* proxy;
    const char* backend;
    DWORD code;
  };
  // In order: a good install; a failing signature check of the proxy while the backend beside
  // the program is the installed one, so only the elevated copy's exit code tells the failure;
  // a failing check on a machine without an installation.
  const Step steps[] = {{"good", "good", 0}, {"subject", "good", 1}, {"issuer", "issuer", 1}};
  for (const Step& step : steps) {
    SCOPED_TRACE(std::string(step.proxy) + " / " + step.backend);
    if (std::string_view(step.proxy) == "issuer") clean();
    for (const auto& [variant, name] : {std::pair{step.proxy, install::PROXY_DLL},
                                        std::pair{step.backend, install::BACKEND_DLL}}) {
      ASSERT_TRUE(CopyFileW(wide(signed_file(variant, name)).c_str(),
                            wide(shared::join_path(folder, name)).c_str(), FALSE));
    }

    std::wstring command = L"\"" + wide(program) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr,
                               nullptr, &startup, &process));
    const DWORD waited = WaitForSingleObject(process.hProcess, 60000);
    DWORD code = 99;
    GetExitCodeProcess(process.hProcess, &code);
    if (waited != WAIT_OBJECT_0) TerminateProcess(process.hProcess, 99);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0);
    EXPECT_EQ(code, step.code);
    // Only the elevated copy installs: the installation exists after the good run and stays.
    EXPECT_EQ(exists(path(install::CONFIG_FILE)), std::string_view(step.backend) == "good");
  }
  delete_tree(folder);
}

}  // namespace
