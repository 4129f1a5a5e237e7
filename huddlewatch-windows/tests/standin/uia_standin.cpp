// Stand-in for the UI Automation client object, for the tests only: Wine has none. It answers
// exactly the calls huddlewatch makes and serves each window's element tree from a file named
// after the window's title. As on Windows, it serves two classes: CUIAutomation8's object answers
// IUIAutomation2 (the time-outs), CUIAutomation's answers IUIAutomation alone.
//
// The interfaces are plain tables of function pointers filled slot by slot from the published
// vtable order, never from the program's own declarations: a method declared in the wrong place
// there calls a slot here that answers E_NOTIMPL, and the end-to-end test sees it.
//
// Environment: HW_STANDIN_TREES is the folder of the tree files ("<title>.tree");
// HW_STANDIN_LOG, when set, is a file that gets one line per set-up call.
//
// Tree file: UTF-8 lines. "!delay MS" makes the snapshot request take that long (or answer
// UIA_E_TIMEOUT when the transaction time-out is reached first); "!result 0x8..." makes it fail
// with that code. Every other non-empty line is one element in pre-order: two blanks of indent
// per level, then control type, TAB, class name, TAB, name.

#include <windows.h>

#include <oleauto.h>

#include <array>
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace {

using Fn = void (*)();
// The longest table, IUIAutomationElement, ends at slot 84.
constexpr std::size_t SLOTS = 85;

constexpr HRESULT TIMEOUT_RESULT = static_cast<HRESULT>(0x80131505);
constexpr DWORD NO_TIMEOUT = INFINITE;

// IUnknown
constexpr std::size_t QUERY_INTERFACE = 0, ADD_REF = 1, RELEASE = 2;
// IUIAutomation, IUIAutomation2
constexpr std::size_t ELEMENT_FROM_HANDLE = 6, GET_RAW_VIEW_CONDITION = 17,
                      CREATE_CACHE_REQUEST = 20, PUT_CONNECTION_TIMEOUT = 61,
                      PUT_TRANSACTION_TIMEOUT = 63;
// IUIAutomationCacheRequest
constexpr std::size_t ADD_PROPERTY = 3, PUT_TREE_SCOPE = 7, PUT_TREE_FILTER = 9,
                      PUT_ELEMENT_MODE = 11;
// IUIAutomationElementArray
constexpr std::size_t GET_LENGTH = 3, GET_ELEMENT = 4;
// IUIAutomationElement
constexpr std::size_t BUILD_UPDATED_CACHE = 9, GET_CACHED_CHILDREN = 19,
                      GET_CACHED_CONTROL_TYPE = 53, GET_CACHED_NAME = 55,
                      GET_CACHED_CLASS_NAME = 62;

constexpr GUID CLSID_AUTOMATION{
    0xff48dba4, 0x60ef, 0x4201, {0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59, 0x4e}};
constexpr GUID CLSID_AUTOMATION8{
    0xe22ad333, 0xb25f, 0x460c, {0x83, 0xd0, 0x05, 0x81, 0x10, 0x73, 0x95, 0xc9}};
constexpr GUID IID_AUTOMATION{
    0x30cbe57d, 0xd9d0, 0x452a, {0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25, 0xee}};
constexpr GUID IID_AUTOMATION2{
    0x34723aff, 0x0c9d, 0x49d0, {0x98, 0x96, 0x7a, 0xb5, 0x2d, 0xf8, 0xcd, 0x8a}};
constexpr GUID IID_ELEMENT{
    0xd22108aa, 0x8ac5, 0x49a5, {0x83, 0x7b, 0x37, 0xbb, 0xb3, 0xd7, 0x59, 0x1e}};
constexpr GUID IID_CACHE_REQUEST{
    0xb32a92b5, 0xbc25, 0x4078, {0x9c, 0x08, 0xd7, 0xee, 0x95, 0xc4, 0x8e, 0x03}};
constexpr GUID IID_CONDITION{
    0x352ffba8, 0x0973, 0x437c, {0xa6, 0x1f, 0xf6, 0x4c, 0xaf, 0xd8, 0x1d, 0xf9}};
constexpr GUID IID_ELEMENT_ARRAY{
    0x14314595, 0xb4bc, 0x4055, {0x95, 0xf2, 0x58, 0xf2, 0xe4, 0x2c, 0x98, 0x55}};
constexpr GUID IID_UNKNOWN{
    0x00000000, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};
constexpr GUID IID_CLASS_FACTORY{
    0x00000001, 0x0000, 0x0000, {0xc0, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x46}};

// The properties, scope and mode that huddlewatch's cache request must carry.
constexpr std::array<int, 3> CACHED_PROPERTIES{30005, 30012, 30003};
constexpr int SUBTREE_SCOPE = 7;
constexpr int ELEMENT_MODE_NONE = 0;

HRESULT STDMETHODCALLTYPE not_implemented(void*) {
  return E_NOTIMPL;
}

template <class F>
Fn fn(F* function) {
  return reinterpret_cast<Fn>(function);
}

std::wstring environment(const wchar_t* name) {
  wchar_t buffer[1024];
  const DWORD length = GetEnvironmentVariableW(name, buffer, 1024);
  return length > 0 && length < 1024 ? std::wstring(buffer, length) : std::wstring();
}

void log(const std::string& line) {
  const std::wstring path = environment(L"HW_STANDIN_LOG");
  if (path.empty()) return;
  const HANDLE file =
      CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return;
  const std::string whole = line + "\n";
  DWORD written = 0;
  WriteFile(file, whole.data(), static_cast<DWORD>(whole.size()), &written, nullptr);
  CloseHandle(file);
}

std::wstring widen(std::string_view text) {
  if (text.empty()) return {};
  const int size = static_cast<int>(text.size());
  std::wstring out(
      static_cast<std::size_t>(MultiByteToWideChar(CP_UTF8, 0, text.data(), size, nullptr, 0)),
      L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), size, out.data(), static_cast<int>(out.size()));
  return out;
}

struct Element {
  std::wstring name;
  std::wstring classes;
  int control_type = 0;
  std::vector<std::size_t> children;
};

struct Tree {
  std::vector<Element> elements;  // pre-order; the root first
  DWORD delay_ms = 0;
  HRESULT result = S_OK;
};

std::string read_file(const std::wstring& path, bool& found) {
  found = false;
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return {};
  std::string data;
  char buffer[65536];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0)
    data.append(buffer, read);
  CloseHandle(file);
  found = true;
  return data;
}

std::shared_ptr<Tree> parse_tree(std::string_view text) {
  auto tree = std::make_shared<Tree>();
  std::vector<std::size_t> open;  // the element open at each depth
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.starts_with("!delay ")) {
      tree->delay_ms =
          static_cast<DWORD>(std::strtoul(std::string(line.substr(7)).c_str(), nullptr, 10));
      continue;
    }
    if (line.starts_with("!result ")) {
      tree->result =
          static_cast<HRESULT>(std::strtoul(std::string(line.substr(8)).c_str(), nullptr, 16));
      continue;
    }
    const std::size_t indent = line.find_first_not_of(' ');
    if (indent == std::string_view::npos) continue;
    const std::size_t depth = indent / 2;
    line.remove_prefix(indent);
    Element element;
    const std::size_t tab1 = line.find('\t');
    element.control_type = std::atoi(std::string(line.substr(0, tab1)).c_str());
    if (tab1 != std::string_view::npos) {
      const std::string_view rest = line.substr(tab1 + 1);
      const std::size_t tab2 = rest.find('\t');
      element.classes = widen(rest.substr(0, tab2));
      if (tab2 != std::string_view::npos) element.name = widen(rest.substr(tab2 + 1));
    }
    const std::size_t index = tree->elements.size();
    if (depth > open.size() || (depth == 0 && index > 0)) return nullptr;  // malformed
    open.resize(depth);
    if (depth > 0) tree->elements[open.back()].children.push_back(index);
    open.push_back(index);
    tree->elements.push_back(std::move(element));
  }
  return tree->elements.empty() ? nullptr : tree;
}

// Every object starts with its table and a reference count; `Kind` knows how to delete it.
struct Object {
  const Fn* table;
  std::atomic<ULONG> refs{1};
};

template <class Kind>
HRESULT STDMETHODCALLTYPE query_interface(Kind* self, const GUID* riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!self->answers(*riid)) return E_NOINTERFACE;
  ++self->refs;
  *out = self;
  return S_OK;
}

template <class Kind>
ULONG STDMETHODCALLTYPE add_ref(Kind* self) {
  return ++self->refs;
}

template <class Kind>
ULONG STDMETHODCALLTYPE release(Kind* self) {
  const ULONG left = --self->refs;
  if (left == 0) delete self;
  return left;
}

template <class Kind>
std::array<Fn, SLOTS> fill_table(std::initializer_list<std::pair<std::size_t, Fn>> methods) {
  std::array<Fn, SLOTS> slots;
  slots.fill(fn(&not_implemented));
  slots[QUERY_INTERFACE] = fn(&query_interface<Kind>);
  slots[ADD_REF] = fn(&add_ref<Kind>);
  slots[RELEASE] = fn(&release<Kind>);
  for (const auto& [slot, method] : methods) slots[slot] = method;
  return slots;
}

template <class Kind>
void** make(Kind* object) {
  object->table = Kind::TABLE.data();
  return reinterpret_cast<void**>(object);
}

struct Condition : Object {
  static bool answers(const GUID& iid) { return iid == IID_UNKNOWN || iid == IID_CONDITION; }
  static const std::array<Fn, SLOTS> TABLE;
};
const std::array<Fn, SLOTS> Condition::TABLE = fill_table<Condition>({});

struct CacheRequest : Object {
  std::vector<int> properties;
  int scope = -1;
  void* filter = nullptr;
  int mode = -1;

  static bool answers(const GUID& iid) { return iid == IID_UNKNOWN || iid == IID_CACHE_REQUEST; }
  static const std::array<Fn, SLOTS> TABLE;
};

struct Automation : Object {
  bool offers_timeouts = false;  // made by CUIAutomation8
  DWORD transaction_timeout = NO_TIMEOUT;
  Condition* raw_condition = nullptr;

  ~Automation() {
    if (raw_condition) release(raw_condition);
  }
  bool answers(const GUID& iid) const {
    return iid == IID_UNKNOWN || iid == IID_AUTOMATION ||
           (offers_timeouts && iid == IID_AUTOMATION2);
  }
  static const std::array<Fn, SLOTS> TABLE;
};

// A window's element (`tree` empty: only BuildUpdatedCache works on it) or a cached element.
struct CachedElement : Object {
  HWND window = nullptr;
  DWORD transaction_timeout = NO_TIMEOUT;
  void* raw_condition = nullptr;
  std::shared_ptr<const Tree> tree;
  std::size_t index = 0;

  static bool answers(const GUID& iid) { return iid == IID_UNKNOWN || iid == IID_ELEMENT; }
  static const std::array<Fn, SLOTS> TABLE;
};

struct ElementArray : Object {
  std::shared_ptr<const Tree> tree;
  std::size_t parent = 0;

  static bool answers(const GUID& iid) { return iid == IID_UNKNOWN || iid == IID_ELEMENT_ARRAY; }
  static const std::array<Fn, SLOTS> TABLE;
};

HRESULT STDMETHODCALLTYPE add_property(CacheRequest* self, int property) {
  log("AddProperty " + std::to_string(property));
  self->properties.push_back(property);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE put_tree_scope(CacheRequest* self, int scope) {
  log("put_TreeScope " + std::to_string(scope));
  self->scope = scope;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE put_tree_filter(CacheRequest* self, void* filter) {
  log("put_TreeFilter");
  self->filter = filter;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE put_element_mode(CacheRequest* self, int mode) {
  log("put_AutomationElementMode " + std::to_string(mode));
  self->mode = mode;
  return S_OK;
}
const std::array<Fn, SLOTS> CacheRequest::TABLE = fill_table<CacheRequest>({
    {ADD_PROPERTY, fn(&add_property)},
    {PUT_TREE_SCOPE, fn(&put_tree_scope)},
    {PUT_TREE_FILTER, fn(&put_tree_filter)},
    {PUT_ELEMENT_MODE, fn(&put_element_mode)},
});

HRESULT STDMETHODCALLTYPE element_from_handle(Automation* self, HWND window, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!IsWindow(window)) return E_INVALIDARG;
  auto* element = new CachedElement;
  element->window = window;
  element->transaction_timeout = self->transaction_timeout;
  element->raw_condition = self->raw_condition;
  *out = make(element);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE get_raw_view_condition(Automation* self, void** out) {
  log("get_RawViewCondition");
  if (!out) return E_POINTER;
  if (!self->raw_condition) {
    self->raw_condition = new Condition;
    make(self->raw_condition);
  }
  ++self->raw_condition->refs;
  *out = self->raw_condition;
  return S_OK;
}
HRESULT STDMETHODCALLTYPE create_cache_request(Automation*, void** out) {
  log("CreateCacheRequest");
  if (!out) return E_POINTER;
  *out = make(new CacheRequest);
  return S_OK;
}
HRESULT STDMETHODCALLTYPE put_connection_timeout(Automation*, DWORD milliseconds) {
  log("put_ConnectionTimeout " + std::to_string(milliseconds));
  return S_OK;
}
HRESULT STDMETHODCALLTYPE put_transaction_timeout(Automation* self, DWORD milliseconds) {
  log("put_TransactionTimeout " + std::to_string(milliseconds));
  self->transaction_timeout = milliseconds;
  return S_OK;
}
const std::array<Fn, SLOTS> Automation::TABLE = fill_table<Automation>({
    {ELEMENT_FROM_HANDLE, fn(&element_from_handle)},
    {GET_RAW_VIEW_CONDITION, fn(&get_raw_view_condition)},
    {CREATE_CACHE_REQUEST, fn(&create_cache_request)},
    {PUT_CONNECTION_TIMEOUT, fn(&put_connection_timeout)},
    {PUT_TRANSACTION_TIMEOUT, fn(&put_transaction_timeout)},
});

void** cached_element(std::shared_ptr<const Tree> tree, std::size_t index) {
  auto* element = new CachedElement;
  element->tree = std::move(tree);
  element->index = index;
  return make(element);
}

bool is_expected_request(const CachedElement& self, const CacheRequest* request) {
  return request && request->table == CacheRequest::TABLE.data() &&
         request->properties ==
             std::vector<int>(CACHED_PROPERTIES.begin(), CACHED_PROPERTIES.end()) &&
         request->scope == SUBTREE_SCOPE && request->filter &&
         request->filter == self.raw_condition && request->mode == ELEMENT_MODE_NONE;
}

HRESULT STDMETHODCALLTYPE build_updated_cache(CachedElement* self, CacheRequest* request,
                                              void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (self->tree) return E_NOTIMPL;
  if (!is_expected_request(*self, request)) {
    log("BuildUpdatedCache: unexpected cache request");
    return E_INVALIDARG;
  }
  wchar_t title[512] = {};
  GetWindowTextW(self->window, title, 512);
  bool found = false;
  const std::string text =
      read_file(environment(L"HW_STANDIN_TREES") + L"\\" + title + L".tree", found);
  if (!found) return E_FAIL;
  std::shared_ptr<Tree> tree = parse_tree(text);
  if (!tree) return E_FAIL;
  if (tree->delay_ms >= self->transaction_timeout) {
    Sleep(self->transaction_timeout);
    return TIMEOUT_RESULT;
  }
  Sleep(tree->delay_ms);
  if (FAILED(tree->result)) return tree->result;
  *out = cached_element(std::move(tree), 0);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE get_cached_children(CachedElement* self, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (!self->tree) return E_NOTIMPL;
  if (self->tree->elements[self->index].children.empty()) return S_OK;  // no array: no children
  auto* array = new ElementArray;
  array->tree = self->tree;
  array->parent = self->index;
  *out = make(array);
  return S_OK;
}

HRESULT STDMETHODCALLTYPE get_cached_control_type(CachedElement* self, int* out) {
  if (!out) return E_POINTER;
  if (!self->tree) return E_NOTIMPL;
  *out = self->tree->elements[self->index].control_type;
  return S_OK;
}

HRESULT text_result(const std::wstring& text, BSTR* out) {
  if (!out) return E_POINTER;
  *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
  return *out ? S_OK : E_OUTOFMEMORY;
}
HRESULT STDMETHODCALLTYPE get_cached_name(CachedElement* self, BSTR* out) {
  if (!self->tree) return E_NOTIMPL;
  return text_result(self->tree->elements[self->index].name, out);
}
HRESULT STDMETHODCALLTYPE get_cached_class_name(CachedElement* self, BSTR* out) {
  if (!self->tree) return E_NOTIMPL;
  return text_result(self->tree->elements[self->index].classes, out);
}
const std::array<Fn, SLOTS> CachedElement::TABLE = fill_table<CachedElement>({
    {BUILD_UPDATED_CACHE, fn(&build_updated_cache)},
    {GET_CACHED_CHILDREN, fn(&get_cached_children)},
    {GET_CACHED_CONTROL_TYPE, fn(&get_cached_control_type)},
    {GET_CACHED_NAME, fn(&get_cached_name)},
    {GET_CACHED_CLASS_NAME, fn(&get_cached_class_name)},
});

HRESULT STDMETHODCALLTYPE get_length(ElementArray* self, int* out) {
  if (!out) return E_POINTER;
  *out = static_cast<int>(self->tree->elements[self->parent].children.size());
  return S_OK;
}
HRESULT STDMETHODCALLTYPE get_element(ElementArray* self, int index, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  const std::vector<std::size_t>& children = self->tree->elements[self->parent].children;
  if (index < 0 || static_cast<std::size_t>(index) >= children.size()) return E_INVALIDARG;
  *out = cached_element(self->tree, children[static_cast<std::size_t>(index)]);
  return S_OK;
}
const std::array<Fn, SLOTS> ElementArray::TABLE = fill_table<ElementArray>({
    {GET_LENGTH, fn(&get_length)},
    {GET_ELEMENT, fn(&get_element)},
});

// The class objects live as long as the DLL.
struct Factory {
  const Fn* table;
  bool offers_timeouts;
};

HRESULT STDMETHODCALLTYPE factory_query_interface(void* self, const GUID* riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (*riid != IID_UNKNOWN && *riid != IID_CLASS_FACTORY) return E_NOINTERFACE;
  *out = self;
  return S_OK;
}
ULONG STDMETHODCALLTYPE factory_add_ref(void*) {
  return 2;
}
ULONG STDMETHODCALLTYPE factory_release(void*) {
  return 1;
}
HRESULT STDMETHODCALLTYPE create_instance(Factory* self, IUnknown* outer, const GUID* riid,
                                          void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (outer) return CLASS_E_NOAGGREGATION;
  auto* automation = new Automation;
  automation->offers_timeouts = self->offers_timeouts;
  make(automation);
  const HRESULT hr = query_interface(automation, riid, out);
  release(automation);
  return hr;
}
const std::array<Fn, 5> FACTORY_TABLE{fn(&factory_query_interface), fn(&factory_add_ref),
                                      fn(&factory_release), fn(&create_instance),
                                      fn(&not_implemented)};
Factory automation_factory{FACTORY_TABLE.data(), false};
Factory automation8_factory{FACTORY_TABLE.data(), true};

}  // namespace

extern "C" HRESULT STDMETHODCALLTYPE DllGetClassObject(REFCLSID clsid, REFIID riid, void** out) {
  if (!out) return E_POINTER;
  *out = nullptr;
  if (clsid == CLSID_AUTOMATION) return factory_query_interface(&automation_factory, &riid, out);
  if (clsid == CLSID_AUTOMATION8) return factory_query_interface(&automation8_factory, &riid, out);
  return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT STDMETHODCALLTYPE DllCanUnloadNow() {
  return S_FALSE;
}
