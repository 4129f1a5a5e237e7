#include <windows.h>

#include <sddl.h>
#include <shellapi.h>

#include <algorithm>
#include <cstddef>
#include <span>
#include <vector>

#include "handle_win.hpp"
#include "install_setup.hpp"
#include "install_win.hpp"
#include "lib.hpp"
#include "output_win.hpp"
#include "shared_state.hpp"
#include "signature.hpp"
#include "win_error.hpp"

namespace install {
namespace {

using shared::Error;
using shared::Result;
using shared::win::UniqueHandle;
using shared::win::wide;
using Bytes = std::vector<std::uint8_t>;

// Security, CreateFileW and registry failures carry the HRESULT form of the Win32 code, shown
// with the system message of that code.
Error hresult_io(DWORD code) {
  return Error::from_io(static_cast<std::int32_t>(HRESULT_FROM_WIN32(code)),
                        shared::win::io_error(code).message());
}

Error file_error() {
  return shared::win::io_error(GetLastError());
}

// Creates or truncates the file.
Result<void> write_file(const std::string& path, std::span<const std::uint8_t> bytes) {
  const UniqueHandle file(CreateFileW(wide(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(file_error());
  std::size_t done = 0;
  while (done < bytes.size()) {
    const DWORD part = static_cast<DWORD>(std::min<std::size_t>(bytes.size() - done, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(file.get(), bytes.data() + done, part, &written, nullptr)) {
      return std::unexpected(file_error());
    }
    done += written;
  }
  return {};
}

bool holds(const std::string& path, std::span<const std::uint8_t> bytes) {
  const Result<Bytes> current = read_whole_file(path);
  return current && std::equal(current->begin(), current->end(), bytes.begin(), bytes.end());
}

Result<void> rename_replacing(const std::string& from, const std::string& to) {
  if (!MoveFileExW(wide(from).c_str(), wide(to).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    return std::unexpected(file_error());
  }
  return {};
}

bool is_folder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder and every missing parent.
Result<void> create_folders(const std::string& path) {
  std::size_t end = 0;
  for (;;) {
    end = path.find_first_of("\\/", end + 1);
    const std::string part = path.substr(0, end);
    // A drive ("C:") or a share ("\\server\share") is not created.
    const bool share_root =
        path.starts_with("\\\\") && std::count(part.begin(), part.end(), '\\') < 4;
    if (!part.empty() && part.back() != ':' && !share_root) {
      if (!CreateDirectoryW(wide(part).c_str(), nullptr)) {
        const DWORD error = GetLastError();
        if (error != ERROR_ALREADY_EXISTS || !is_folder(part)) {
          return std::unexpected(shared::win::io_error(error));
        }
      }
    }
    if (end == std::string::npos) return {};
  }
}

std::string parent_of(const std::string& path) {
  const std::size_t separator = path.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : path.substr(0, separator);
}

struct Entry {
  std::string name;
  bool folder;
};

// The entries of a folder without "." and "..".
Result<std::vector<Entry>> list(const std::string& dir) {
  WIN32_FIND_DATAW found;
  const HANDLE search = FindFirstFileW(wide(shared::join_path(dir, "*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return std::unexpected(file_error());
  std::vector<Entry> entries;
  do {
    const std::wstring_view name(found.cFileName);
    if (name == L"." || name == L"..") continue;
    entries.push_back(
        {shared::win::narrow(name), (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0});
  } while (FindNextFileW(search, &found));
  FindClose(search);
  return entries;
}

// Deletes a folder with everything in it as far as it can; a link is removed, not followed.
void delete_tree(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(wide(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return;
  if (!(attributes & FILE_ATTRIBUTE_REPARSE_POINT)) {
    if (const Result<std::vector<Entry>> entries = list(path)) {
      for (const Entry& entry : *entries) {
        const std::string child = shared::join_path(path, entry.name);
        if (entry.folder) {
          delete_tree(child);
        } else {
          DeleteFileW(wide(child).c_str());
        }
      }
    }
  }
  RemoveDirectoryW(wide(path).c_str());
}

bool copy_replacing(const std::string& from, const std::string& to) {
  return CopyFileW(wide(from).c_str(), wide(to).c_str(), FALSE) != FALSE;
}

bool set_file_security(const std::string& path, std::uint32_t information, void* descriptor) {
  return SetFileSecurityW(wide(path).c_str(), information, descriptor) != FALSE;
}

std::expected<void*, std::uint32_t> shell_execute_runas(const std::string& exe) {
  const std::wstring file = wide(exe);
  const std::wstring parameters = wide(ELEVATED_ARGUMENT);
  SHELLEXECUTEINFOW info{};
  info.cbSize = sizeof(info);
  info.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_NOASYNC;
  info.lpVerb = L"runas";
  info.lpFile = file.c_str();
  info.lpParameters = parameters.c_str();
  info.nShow = SW_HIDE;
  if (!ShellExecuteExW(&info)) return std::unexpected(GetLastError());
  return info.hProcess;
}

}  // namespace

int install() {
  return install(shell_execute_runas);
}

int install(const LaunchElevated& launch) {
  const Result<std::string> exe = module_path();
  if (!exe) return 1;
  const std::expected<void*, std::uint32_t> launched = launch(*exe);
  if (!launched) {
    if (launch_declined(launched.error())) output::write_error_line(ELEVATION_DECLINED);
    return 1;
  }

  const UniqueHandle process(*launched);
  DWORD code = 1;
  if (process && WaitForSingleObject(process.get(), INFINITE) == WAIT_OBJECT_0) {
    DWORD exit_code = 1;
    if (GetExitCodeProcess(process.get(), &exit_code)) code = exit_code;
  }
  return exit_code_of(code, is_installed);
}

Result<void> install_elevated() {
  const std::string dir = shared::install_dir();
  if (Result<void> made = create_folders(dir); !made) return made;

  const auto backend = stage_backend(dir);
  if (!backend) return std::unexpected(backend.error());
  const auto& [backend_path, rel] = *backend;

  const Result<std::string> staged = stage_proxy(dir);
  if (!staged) return std::unexpected(staged.error());

  const std::vector<std::string> staged_files{*staged, backend_path};
  if (!signature::dlls_trusted(staged_files)) {
    DeleteFileW(wide(*staged).c_str());
    const Result<Bytes> config = read_whole_file(shared::join_path(dir, CONFIG_FILE));
    const bool configured =
        config &&
        config_current(
            std::string_view(reinterpret_cast<const char*>(config->data()), config->size()), rel);
    if (!configured) delete_tree(parent_of(backend_path));
    return std::unexpected(Error::own(std::string(SIGNATURE_FAILURE)));
  }

  const Result<std::string> proxy = commit_proxy(dir, *staged);
  if (!proxy) return std::unexpected(proxy.error());
  if (Result<void> done = commit_backend(dir, backend_path, rel); !done) return done;
  if (Result<void> done = secure_state_file(shared::state_path()); !done) return done;
  for (const RegistryValue& value : registry_values(*proxy)) {
    if (Result<void> done = write_string(value.subkey, value.name, value.data); !done) return done;
  }
  return {};
}

Result<std::pair<std::string, std::string>> stage_backend(const std::string& dir) {
  const Result<std::string> source = bundled(BACKEND_DLL);
  if (!source) return std::unexpected(source.error());
  const Result<Bytes> bytes = read_whole_file(*source);
  if (!bytes) return std::unexpected(bytes.error());
  std::string rel = backend_relative(*bytes);
  std::string dest = shared::join_path(dir, rel);
  if (Result<void> made = create_folders(parent_of(dest)); !made) {
    return std::unexpected(made.error());
  }
  if (!holds(dest, *bytes)) {
    const std::string partial = partial_path(dest);
    if (Result<void> written = write_file(partial, *bytes); !written) {
      return std::unexpected(written.error());
    }
    if (Result<void> moved = rename_replacing(partial, dest); !moved) {
      return std::unexpected(moved.error());
    }
  }
  return std::pair{std::move(dest), std::move(rel)};
}

Result<std::string> stage_proxy(const std::string& dir) {
  return stage_proxy(dir, copy_replacing);
}

Result<std::string> stage_proxy(const std::string& dir, const CopyReplacing& copy) {
  std::string staged = shared::join_path(dir, staged_name());
  const Result<std::string> source = bundled(PROXY_DLL);
  if (!source) return std::unexpected(source.error());
  // A leftover from a run stopped before its attributes were cleared, or from an installer that
  // kept them: Windows copies over no read-only or hidden file, so every install would fail.
  SetFileAttributesW(wide(staged).c_str(), FILE_ATTRIBUTE_NORMAL);
  DeleteFileW(wide(staged).c_str());
  if (!copy(*source, staged)) return std::unexpected(file_error());
  // The copy takes the shipped file's attributes. A read-only staged copy could not be deleted
  // after the check, and the next install could not copy over it.
  const DWORD attributes = GetFileAttributesW(wide(staged).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return std::unexpected(file_error());
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    const DWORD cleared = attributes & ~DWORD{FILE_ATTRIBUTE_READONLY};
    // No attribute at all is written as "normal", which must stand alone.
    if (!SetFileAttributesW(wide(staged).c_str(), cleared ? cleared : FILE_ATTRIBUTE_NORMAL)) {
      return std::unexpected(file_error());
    }
  }
  return staged;
}

Result<std::string> commit_proxy(const std::string& dir, const std::string& staged) {
  const Result<std::vector<Entry>> entries = list(dir);
  if (!entries) return std::unexpected(entries.error());
  for (const Entry& entry : *entries) {
    // A leftover that a running process still has loaded stays until a later install.
    if (is_old_proxy(entry.name)) DeleteFileW(wide(shared::join_path(dir, entry.name)).c_str());
  }

  const Result<Bytes> bytes = read_whole_file(staged);
  if (!bytes) return std::unexpected(bytes.error());
  std::string target = shared::join_path(dir, PROXY_DLL);
  if (!holds(target, *bytes) && !write_file(target, *bytes)) {
    // A loaded DLL cannot be written over, but it can be renamed.
    const std::string aside = shared::join_path(dir, old_proxy_name(shared::unix_ms()));
    if (Result<void> moved = rename_replacing(target, aside); !moved) {
      return std::unexpected(moved.error());
    }
    if (Result<void> written = write_file(target, *bytes); !written) {
      return std::unexpected(written.error());
    }
  }
  DeleteFileW(wide(staged).c_str());
  return target;
}

Result<void> commit_backend(const std::string& dir, const std::string& backend_path,
                            const std::string& rel) {
  const std::string config = shared::join_path(dir, CONFIG_FILE);
  const std::string partial = partial_path(config);
  const std::span<const std::uint8_t> text(reinterpret_cast<const std::uint8_t*>(rel.data()),
                                           rel.size());
  if (Result<void> written = write_file(partial, text); !written) return written;
  if (Result<void> moved = rename_replacing(partial, config); !moved) return moved;

  const std::string keep = parent_of(backend_path);
  const std::string backends = shared::join_path(dir, BACKENDS_FOLDER);
  const Result<std::vector<Entry>> entries = list(backends);
  if (!entries) return std::unexpected(entries.error());
  for (const Entry& entry : *entries) {
    const std::string path = shared::join_path(backends, entry.name);
    // A backend that a running process still has loaded stays until a later install.
    if (entry.folder && path != keep) delete_tree(path);
  }
  return {};
}

Result<void> secure_state_file(const std::string& path) {
  return secure_state_file(path, set_file_security);
}

Result<void> secure_state_file(const std::string& path, const SetFileAccess& set_security) {
  const Result<Descriptor> descriptor = Descriptor::create(state_sddl());
  if (!descriptor) return std::unexpected(descriptor.error());
  SECURITY_ATTRIBUTES attributes = descriptor->attributes();
  const UniqueHandle file(CreateFileW(wide(path).c_str(), GENERIC_READ | GENERIC_WRITE,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE, &attributes, OPEN_ALWAYS,
                                      FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return std::unexpected(hresult_io(GetLastError()));
  if (Result<void> applied = descriptor->apply(path, set_security); !applied) return applied;

  LARGE_INTEGER size;
  if (!GetFileSizeEx(file.get(), &size)) return std::unexpected(file_error());
  if (static_cast<std::uint64_t>(size.QuadPart) < STATE_MIN_SIZE) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = static_cast<LONGLONG>(STATE_MIN_SIZE);
    if (!SetFileInformationByHandle(file.get(), FileEndOfFileInfo, &end, sizeof end)) {
      return std::unexpected(file_error());
    }
  }
  return {};
}

Result<Descriptor> Descriptor::create(const std::string& sddl) {
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(wide(sddl).c_str(), SDDL_REVISION_1,
                                                            &descriptor, nullptr)) {
    return std::unexpected(hresult_io(GetLastError()));
  }
  return Descriptor(descriptor);
}

Descriptor::~Descriptor() {
  if (descriptor_) LocalFree(descriptor_);
}

SECURITY_ATTRIBUTES Descriptor::attributes() const {
  SECURITY_ATTRIBUTES attributes{};
  attributes.nLength = sizeof(attributes);
  attributes.lpSecurityDescriptor = descriptor_;
  attributes.bInheritHandle = FALSE;
  return attributes;
}

Result<void> Descriptor::apply(const std::string& path) const {
  return apply(path, set_file_security);
}

Result<void> Descriptor::apply(const std::string& path, const SetFileAccess& set_security) const {
  if (!set_security(path, DACL_SECURITY_INFORMATION, descriptor_)) {
    return std::unexpected(hresult_io(GetLastError()));
  }
  return {};
}

Result<void> write_string(const std::string& subkey, const std::optional<std::string>& name,
                          const std::string& data) {
  HKEY key = nullptr;
  const LSTATUS created =
      RegCreateKeyExW(HKEY_LOCAL_MACHINE, wide(subkey).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_WRITE, nullptr, &key, nullptr);
  if (created != ERROR_SUCCESS) return std::unexpected(hresult_io(static_cast<DWORD>(created)));
  const std::wstring value_name = name ? wide(*name) : std::wstring();
  const std::wstring text = wide(data);
  const LSTATUS set = RegSetValueExW(key, name ? value_name.c_str() : nullptr, 0, REG_SZ,
                                     reinterpret_cast<const BYTE*>(text.c_str()),
                                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  RegCloseKey(key);
  if (set != ERROR_SUCCESS) return std::unexpected(hresult_io(static_cast<DWORD>(set)));
  return {};
}

}  // namespace install
