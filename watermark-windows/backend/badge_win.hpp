#pragma once
// The watermark badge drawn with Direct2D and DirectWrite. Everything it draws, and where, comes
// from the portable geometry in badge.hpp; this side measures the label and makes the calls.
//
// Threads: a Badge is used by one frame at a time (the compositor's); the Direct2D factory it is
// made from is the compositor's multithreaded one.

#include <windows.h>

#include <d2d1.h>
#include <dwrite.h>

#include <string_view>
#include <utility>

#include "com_win.hpp"
#include "error.hpp"

namespace badge {

class Badge {
 public:
  // Builds the brand mark's path geometry on `factory` and a shared DirectWrite factory.
  static shared::Result<Badge> create(ID2D1Factory* factory);

  // Draws the badge for a frame of `width` x `height` on `target`, between its BeginDraw and
  // EndDraw: the brand mark when `label` (UTF-8) is the brand name, the label as text
  // otherwise, and the level bars for `level` at `t` seconds. Keeps nothing between calls; the
  // target's transform is the identity afterwards. The first failure is returned, and what was
  // drawn before it stays on the target.
  shared::Result<void> draw(ID2D1RenderTarget* target, std::string_view label, float width,
                            float height, double level, double t) const;

 private:
  Badge(shared::win::ComRef<ID2D1PathGeometry> logo, shared::win::ComRef<IDWriteFactory> dwrite)
      : logo_(std::move(logo)), dwrite_(std::move(dwrite)) {}

  shared::win::ComRef<ID2D1PathGeometry> logo_;
  shared::win::ComRef<IDWriteFactory> dwrite_;
};

}  // namespace badge
