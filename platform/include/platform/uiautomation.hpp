#pragma once
// The client side of UI Automation. The Windows SDK and mingw-w64 from 11 on declare it in
// uiautomationclient.h. mingw-w64 10 has only the property identifiers there, and its
// uiautomation.h does not compile as C++, so for it the interfaces, the class and the
// enumerations the snapshots use are declared here. Every method keeps its place in the vtable,
// used or not.

#include <windows.h>

#include <ole2.h>
#include <uiautomationclient.h>
#include <uiautomationcore.h>

#if !defined(__IUIAutomation_INTERFACE_DEFINED__)

typedef void* UIA_HWND;

enum TreeScope {
  TreeScope_None = 0x0,
  TreeScope_Element = 0x1,
  TreeScope_Children = 0x2,
  TreeScope_Descendants = 0x4,
  TreeScope_Parent = 0x8,
  TreeScope_Ancestors = 0x10,
  TreeScope_Subtree = 0x7,
};

enum AutomationElementMode { AutomationElementMode_None = 0, AutomationElementMode_Full = 1 };

// Parameter types of methods this program never calls.
enum OrientationType : int;
enum PropertyConditionFlags : int;
struct IUIAutomationTreeWalker;
struct IUIAutomationEventHandler;
struct IUIAutomationPropertyChangedEventHandler;
struct IUIAutomationStructureChangedEventHandler;
struct IUIAutomationFocusChangedEventHandler;
struct IUIAutomationProxyFactory;
struct IUIAutomationProxyFactoryEntry;
struct IUIAutomationProxyFactoryMapping;

struct IUIAutomationElement;
struct IUIAutomationElementArray;

struct IUIAutomationCondition : IUnknown {};
__CRT_UUID_DECL(IUIAutomationCondition, 0x352ffba8, 0x0973, 0x437c, 0xa6, 0x1f, 0xf6, 0x4c, 0xaf,
                0xd8, 0x1d, 0xf9)

struct IUIAutomationCacheRequest : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE AddProperty(PROPERTYID property) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPattern(PATTERNID pattern) = 0;
  virtual HRESULT STDMETHODCALLTYPE Clone(IUIAutomationCacheRequest** clone) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TreeScope(TreeScope* scope) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TreeScope(TreeScope scope) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TreeFilter(IUIAutomationCondition** filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TreeFilter(IUIAutomationCondition* filter) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_AutomationElementMode(AutomationElementMode* mode) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AutomationElementMode(AutomationElementMode mode) = 0;
};
__CRT_UUID_DECL(IUIAutomationCacheRequest, 0xb32a92b5, 0xbc25, 0x4078, 0x9c, 0x08, 0xd7, 0xee, 0x95,
                0xc4, 0x8e, 0x03)

struct IUIAutomationElementArray : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE get_Length(int* length) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetElement(int index, IUIAutomationElement** element) = 0;
};
__CRT_UUID_DECL(IUIAutomationElementArray, 0x14314595, 0xb4bc, 0x4055, 0x95, 0xf2, 0x58, 0xf2, 0xe4,
                0x2c, 0x98, 0x55)

struct IUIAutomationElement : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE SetFocus() = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRuntimeId(SAFEARRAY** id) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindFirst(TreeScope scope, IUIAutomationCondition* condition,
                                              IUIAutomationElement** found) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindAll(TreeScope scope, IUIAutomationCondition* condition,
                                            IUIAutomationElementArray** found) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindFirstBuildCache(TreeScope scope,
                                                        IUIAutomationCondition* condition,
                                                        IUIAutomationCacheRequest* request,
                                                        IUIAutomationElement** found) = 0;
  virtual HRESULT STDMETHODCALLTYPE FindAllBuildCache(TreeScope scope,
                                                      IUIAutomationCondition* condition,
                                                      IUIAutomationCacheRequest* request,
                                                      IUIAutomationElementArray** found) = 0;
  virtual HRESULT STDMETHODCALLTYPE BuildUpdatedCache(IUIAutomationCacheRequest* request,
                                                      IUIAutomationElement** updated) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValue(PROPERTYID property,
                                                            VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPropertyValueEx(PROPERTYID property,
                                                              BOOL ignore_default,
                                                              VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedPropertyValue(PROPERTYID property, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedPropertyValueEx(PROPERTYID property,
                                                             BOOL ignore_default,
                                                             VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPatternAs(PATTERNID pattern, REFIID riid,
                                                        void** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedPatternAs(PATTERNID pattern, REFIID riid,
                                                       void** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCurrentPattern(PATTERNID pattern, IUnknown** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedPattern(PATTERNID pattern, IUnknown** object) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedParent(IUIAutomationElement** parent) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetCachedChildren(IUIAutomationElementArray** children) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentProcessId(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentControlType(CONTROLTYPEID* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentLocalizedControlType(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAcceleratorKey(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAccessKey(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentHasKeyboardFocus(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsKeyboardFocusable(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsEnabled(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAutomationId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentClassName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentHelpText(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentCulture(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsControlElement(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsContentElement(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsPassword(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentNativeWindowHandle(UIA_HWND* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentItemType(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsOffscreen(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentOrientation(OrientationType* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentFrameworkId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsRequiredForForm(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentItemStatus(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentBoundingRectangle(RECT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentLabeledBy(IUIAutomationElement** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAriaRole(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentAriaProperties(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentIsDataValidForForm(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentControllerFor(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentDescribedBy(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentFlowsTo(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CurrentProviderDescription(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedProcessId(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedControlType(CONTROLTYPEID* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedLocalizedControlType(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedAcceleratorKey(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedAccessKey(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedHasKeyboardFocus(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsKeyboardFocusable(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsEnabled(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedAutomationId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedClassName(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedHelpText(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedCulture(int* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsControlElement(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsContentElement(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsPassword(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedNativeWindowHandle(UIA_HWND* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedItemType(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsOffscreen(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedOrientation(OrientationType* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedFrameworkId(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsRequiredForForm(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedItemStatus(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedBoundingRectangle(RECT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedLabeledBy(IUIAutomationElement** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedAriaRole(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedAriaProperties(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedIsDataValidForForm(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedControllerFor(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedDescribedBy(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedFlowsTo(IUIAutomationElementArray** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_CachedProviderDescription(BSTR* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetClickablePoint(POINT* point, BOOL* got_clickable) = 0;
};
__CRT_UUID_DECL(IUIAutomationElement, 0xd22108aa, 0x8ac5, 0x49a5, 0x83, 0x7b, 0x37, 0xbb, 0xb3,
                0xd7, 0x59, 0x1e)

struct IUIAutomation : IUnknown {
  virtual HRESULT STDMETHODCALLTYPE CompareElements(IUIAutomationElement* a,
                                                    IUIAutomationElement* b, BOOL* same) = 0;
  virtual HRESULT STDMETHODCALLTYPE CompareRuntimeIds(SAFEARRAY* a, SAFEARRAY* b, BOOL* same) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRootElement(IUIAutomationElement** root) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromHandle(UIA_HWND window,
                                                      IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromPoint(POINT point,
                                                     IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFocusedElement(IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetRootElementBuildCache(IUIAutomationCacheRequest* request,
                                                             IUIAutomationElement** root) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromHandleBuildCache(UIA_HWND window,
                                                                IUIAutomationCacheRequest* request,
                                                                IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromPointBuildCache(POINT point,
                                                               IUIAutomationCacheRequest* request,
                                                               IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetFocusedElementBuildCache(IUIAutomationCacheRequest* request,
                                                                IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateTreeWalker(IUIAutomationCondition* condition,
                                                     IUIAutomationTreeWalker** walker) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ControlViewWalker(IUIAutomationTreeWalker** walker) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ContentViewWalker(IUIAutomationTreeWalker** walker) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RawViewWalker(IUIAutomationTreeWalker** walker) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_RawViewCondition(IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_ControlViewCondition(IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_ContentViewCondition(IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateCacheRequest(IUIAutomationCacheRequest** request) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateTrueCondition(IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateFalseCondition(IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreatePropertyCondition(PROPERTYID property, VARIANT value,
                                                            IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  CreatePropertyConditionEx(PROPERTYID property, VARIANT value, PropertyConditionFlags flags,
                            IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateAndCondition(IUIAutomationCondition* a,
                                                       IUIAutomationCondition* b,
                                                       IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  CreateAndConditionFromArray(SAFEARRAY* conditions, IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateAndConditionFromNativeArray(
      IUIAutomationCondition** conditions, int count, IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateOrCondition(IUIAutomationCondition* a,
                                                      IUIAutomationCondition* b,
                                                      IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  CreateOrConditionFromArray(SAFEARRAY* conditions, IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateOrConditionFromNativeArray(
      IUIAutomationCondition** conditions, int count, IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateNotCondition(IUIAutomationCondition* inner,
                                                       IUIAutomationCondition** condition) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddAutomationEventHandler(
      EVENTID event, IUIAutomationElement* element, TreeScope scope,
      IUIAutomationCacheRequest* request, IUIAutomationEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAutomationEventHandler(
      EVENTID event, IUIAutomationElement* element, IUIAutomationEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPropertyChangedEventHandlerNativeArray(
      IUIAutomationElement* element, TreeScope scope, IUIAutomationCacheRequest* request,
      IUIAutomationPropertyChangedEventHandler* handler, PROPERTYID* properties, int count) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddPropertyChangedEventHandler(
      IUIAutomationElement* element, TreeScope scope, IUIAutomationCacheRequest* request,
      IUIAutomationPropertyChangedEventHandler* handler, SAFEARRAY* properties) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemovePropertyChangedEventHandler(
      IUIAutomationElement* element, IUIAutomationPropertyChangedEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddStructureChangedEventHandler(
      IUIAutomationElement* element, TreeScope scope, IUIAutomationCacheRequest* request,
      IUIAutomationStructureChangedEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveStructureChangedEventHandler(
      IUIAutomationElement* element, IUIAutomationStructureChangedEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE AddFocusChangedEventHandler(
      IUIAutomationCacheRequest* request, IUIAutomationFocusChangedEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  RemoveFocusChangedEventHandler(IUIAutomationFocusChangedEventHandler* handler) = 0;
  virtual HRESULT STDMETHODCALLTYPE RemoveAllEventHandlers() = 0;
  virtual HRESULT STDMETHODCALLTYPE IntNativeArrayToSafeArray(int* values, int count,
                                                              SAFEARRAY** array) = 0;
  virtual HRESULT STDMETHODCALLTYPE IntSafeArrayToNativeArray(SAFEARRAY* array, int** values,
                                                              int* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE RectToVariant(RECT rect, VARIANT* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE VariantToRect(VARIANT value, RECT* rect) = 0;
  virtual HRESULT STDMETHODCALLTYPE SafeArrayToRectNativeArray(SAFEARRAY* array, RECT** rects,
                                                               int* count) = 0;
  virtual HRESULT STDMETHODCALLTYPE CreateProxyFactoryEntry(
      IUIAutomationProxyFactory* factory, IUIAutomationProxyFactoryEntry** entry) = 0;
  virtual HRESULT STDMETHODCALLTYPE
  get_ProxyFactoryMapping(IUIAutomationProxyFactoryMapping** mapping) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPropertyProgrammaticName(PROPERTYID property,
                                                                BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE GetPatternProgrammaticName(PATTERNID pattern, BSTR* name) = 0;
  virtual HRESULT STDMETHODCALLTYPE PollForPotentialSupportedPatterns(IUIAutomationElement* element,
                                                                      SAFEARRAY** ids,
                                                                      SAFEARRAY** names) = 0;
  virtual HRESULT STDMETHODCALLTYPE PollForPotentialSupportedProperties(
      IUIAutomationElement* element, SAFEARRAY** ids, SAFEARRAY** names) = 0;
  virtual HRESULT STDMETHODCALLTYPE CheckNotSupported(VARIANT value, BOOL* not_supported) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReservedNotSupportedValue(IUnknown** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ReservedMixedAttributeValue(IUnknown** value) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromIAccessible(IAccessible* accessible, int child,
                                                           IUIAutomationElement** element) = 0;
  virtual HRESULT STDMETHODCALLTYPE ElementFromIAccessibleBuildCache(
      IAccessible* accessible, int child, IUIAutomationCacheRequest* request,
      IUIAutomationElement** element) = 0;
};
__CRT_UUID_DECL(IUIAutomation, 0x30cbe57d, 0xd9d0, 0x452a, 0xab, 0x13, 0x7a, 0xc5, 0xac, 0x48, 0x25,
                0xee)

struct IUIAutomation2 : IUIAutomation {
  virtual HRESULT STDMETHODCALLTYPE get_AutoSetFocus(BOOL* value) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_AutoSetFocus(BOOL value) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_ConnectionTimeout(DWORD* milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_ConnectionTimeout(DWORD milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE get_TransactionTimeout(DWORD* milliseconds) = 0;
  virtual HRESULT STDMETHODCALLTYPE put_TransactionTimeout(DWORD milliseconds) = 0;
};
__CRT_UUID_DECL(IUIAutomation2, 0x34723aff, 0x0c9d, 0x49d0, 0x98, 0x96, 0x7a, 0xb5, 0x2d, 0xf8,
                0xcd, 0x8a)

// The classes, named for __uuidof as the SDK names them. Only CUIAutomation8's object (Windows 8
// and later) answers IUIAutomation2; CUIAutomation's answers IUIAutomation alone.
class CUIAutomation;
__CRT_UUID_DECL(CUIAutomation, 0xff48dba4, 0x60ef, 0x4201, 0xaa, 0x87, 0x54, 0x10, 0x3e, 0xef, 0x59,
                0x4e)
class CUIAutomation8;
__CRT_UUID_DECL(CUIAutomation8, 0xe22ad333, 0xb25f, 0x460c, 0x83, 0xd0, 0x05, 0x81, 0x10, 0x73,
                0x95, 0xc9)

#endif

namespace platform {

// The element and everything below it. mingw-w64 11 spells the enumerator TreeScope_SubTree, 12
// and the SDK TreeScope_Subtree; the flags it combines are spelt alike in all of them.
inline constexpr TreeScope TREE_SCOPE_SUBTREE =
    static_cast<TreeScope>(TreeScope_Element | TreeScope_Children | TreeScope_Descendants);

}  // namespace platform
