// UI Automation on Windows: the automation object with its one cache request, the Desktop over it
// and the window manager, and the cached elements that convert walks.
//
// Thread: everything here runs on the thread that called Automation::create, in the
// multithreaded apartment it entered.

#include <windows.h>

#include <oleauto.h>

#include <array>
#include <memory>
#include <utility>

#include "platform/uiautomation.hpp"
#include "uia/automation.hpp"
#include "uia/com_win.hpp"
#include "uia/desktop_win.hpp"
#include "uia/element.hpp"
#include "uia/error_win.hpp"

namespace uia {
namespace {

using win::ComRef;

constexpr std::array<PROPERTYID, 3> CACHED_PROPERTIES{UIA_NamePropertyId, UIA_ClassNamePropertyId,
                                                      UIA_ControlTypePropertyId};
constexpr DWORD TIMEOUT_MS = static_cast<DWORD>(REQUEST_TIMEOUT.count());

std::optional<std::u16string> take_text(HRESULT hr, BSTR text) {
  std::optional<std::u16string> result;
  if (SUCCEEDED(hr)) {
    static_assert(sizeof(OLECHAR) == sizeof(char16_t));
    result.emplace(reinterpret_cast<const char16_t*>(text), text ? SysStringLen(text) : 0);
  }
  SysFreeString(text);
  return result;
}

class UiaElement final : public CachedElement {
 public:
  explicit UiaElement(ComRef<IUIAutomationElement> element) : element_(std::move(element)) {}

  std::optional<std::u16string> cached_name() const override {
    BSTR name = nullptr;
    const HRESULT hr = element_->get_CachedName(&name);
    return take_text(hr, name);
  }
  std::optional<std::u16string> cached_class_name() const override {
    BSTR name = nullptr;
    const HRESULT hr = element_->get_CachedClassName(&name);
    return take_text(hr, name);
  }
  std::optional<std::int32_t> cached_control_type() const override {
    CONTROLTYPEID type = 0;
    if (FAILED(element_->get_CachedControlType(&type))) return std::nullopt;
    return type;
  }
  std::unique_ptr<CachedChildren> cached_children() const override;

 private:
  ComRef<IUIAutomationElement> element_;
};

class UiaChildren final : public CachedChildren {
 public:
  explicit UiaChildren(ComRef<IUIAutomationElementArray> array) : array_(std::move(array)) {}

  std::optional<std::int32_t> length() const override {
    int length = 0;
    if (FAILED(array_->get_Length(&length))) return std::nullopt;
    return length;
  }
  std::unique_ptr<CachedElement> element(std::int32_t index) const override {
    ComRef<IUIAutomationElement> element;
    if (FAILED(array_->GetElement(index, element.put())) || !element) return nullptr;
    return std::make_unique<UiaElement>(std::move(element));
  }

 private:
  ComRef<IUIAutomationElementArray> array_;
};

std::unique_ptr<CachedChildren> UiaElement::cached_children() const {
  ComRef<IUIAutomationElementArray> children;
  if (FAILED(element_->GetCachedChildren(children.put())) || !children) return nullptr;
  return std::make_unique<UiaChildren>(std::move(children));
}

class WindowsDesktop final : public Desktop {
 public:
  WindowsDesktop(ComRef<IUIAutomation> automation, ComRef<IUIAutomationCacheRequest> cache)
      : automation_(std::move(automation)), cache_(std::move(cache)) {}

  std::vector<WindowHandle> visible_windows() override { return win::visible_windows(); }
  WindowHandle foreground_window() override { return win::foreground_window(); }
  std::uint32_t process_id(WindowHandle window) override { return win::process_id(window); }
  std::optional<std::string> executable_name(std::uint32_t process_id) override {
    return win::executable_name(process_id);
  }
  std::string window_title(WindowHandle window) override { return win::window_title(window); }
  bool is_hidden(WindowHandle window) override { return win::is_hidden(window); }

  std::expected<std::unique_ptr<CachedElement>, std::int32_t> build_cache(
      WindowHandle window) override {
    ComRef<IUIAutomationElement> element;
    HRESULT hr = automation_->ElementFromHandle(reinterpret_cast<UIA_HWND>(window), element.put());
    if (SUCCEEDED(hr) && !element) hr = E_POINTER;
    if (FAILED(hr)) return std::unexpected(static_cast<std::int32_t>(hr));
    ComRef<IUIAutomationElement> cached;
    hr = element->BuildUpdatedCache(cache_.get(), cached.put());
    if (SUCCEEDED(hr) && !cached) hr = E_POINTER;
    if (FAILED(hr)) return std::unexpected(static_cast<std::int32_t>(hr));
    return std::make_unique<UiaElement>(std::move(cached));
  }

 private:
  ComRef<IUIAutomation> automation_;
  ComRef<IUIAutomationCacheRequest> cache_;
};

// The fetch that every snapshot makes: the window's element and its whole raw-view subtree, with
// the three properties and no live references.
Result<ComRef<IUIAutomationCacheRequest>> cache_request(IUIAutomation& automation) {
  ComRef<IUIAutomationCacheRequest> cache;
  HRESULT hr = automation.CreateCacheRequest(cache.put());
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  for (const PROPERTYID property : CACHED_PROPERTIES) {
    hr = cache->AddProperty(property);
    if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  }
  hr = cache->put_TreeScope(platform::TREE_SCOPE_SUBTREE);
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  ComRef<IUIAutomationCondition> raw_view;
  hr = automation.get_RawViewCondition(raw_view.put());
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  hr = cache->put_TreeFilter(raw_view.get());
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  hr = cache->put_AutomationElementMode(AutomationElementMode_None);
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));
  return cache;
}

}  // namespace

Result<Automation> Automation::create() {
  // Any success counts, also "already started on this thread". COM is never shut down again.
  HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));

  // Only CUIAutomation8's object offers IUIAutomation2 and with it the time-outs that keep one
  // hung application from stalling every poll; CUIAutomation is there for a system without it.
  ComRef<IUIAutomation> automation;
  hr = CoCreateInstance(__uuidof(CUIAutomation8), nullptr, CLSCTX_INPROC_SERVER,
                        __uuidof(IUIAutomation), reinterpret_cast<void**>(automation.put()));
  if (FAILED(hr)) {
    hr = CoCreateInstance(__uuidof(CUIAutomation), nullptr, CLSCTX_INPROC_SERVER,
                          __uuidof(IUIAutomation), reinterpret_cast<void**>(automation.put()));
  }
  if (FAILED(hr)) return std::unexpected(win::hresult_error(hr));

  // Without the newer interface the requests simply have no time-outs of ours.
  ComRef<IUIAutomation2> automation2;
  if (SUCCEEDED(automation->QueryInterface(__uuidof(IUIAutomation2),
                                           reinterpret_cast<void**>(automation2.put()))) &&
      automation2) {
    automation2->put_TransactionTimeout(TIMEOUT_MS);
    automation2->put_ConnectionTimeout(TIMEOUT_MS);
  }

  auto cache = cache_request(*automation.get());
  if (!cache) return std::unexpected(cache.error());
  return Automation(std::make_unique<WindowsDesktop>(std::move(automation), std::move(*cache)),
                    steady_clock());
}

}  // namespace uia
