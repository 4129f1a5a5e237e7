#include "png_win.hpp"

#include <windows.h>

#include <wincodec.h>

#include <expected>
#include <string>

#include "com_win.hpp"
#include "win_error.hpp"

namespace test_png {

using shared::win::ComRef;
using shared::win::hresult_error;

shared::Result<void> write_png(std::string_view path, std::span<const std::uint8_t> pixels,
                               std::uint32_t width, std::uint32_t height, std::uint32_t stride) {
  const std::size_t size = std::size_t{stride} * height;
  if (width == 0 || height == 0 || stride / 4 < width || pixels.size() < size || size > MAXUINT) {
    return std::unexpected(hresult_error(E_INVALIDARG));
  }
  ComRef<IWICImagingFactory> factory;
  HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(factory.put()));
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  ComRef<IWICStream> stream;
  hr = factory->CreateStream(stream.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  const std::wstring file = shared::win::wide(path);
  hr = stream->InitializeFromFilename(file.c_str(), GENERIC_WRITE);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  ComRef<IWICBitmapEncoder> encoder;
  hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.put());
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = encoder->Initialize(stream.get(), WICBitmapEncoderNoCache);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));

  ComRef<IWICBitmapFrameEncode> frame;
  hr = encoder->CreateNewFrame(frame.put(), nullptr);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = frame->Initialize(nullptr);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = frame->SetSize(width, height);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
  hr = frame->SetPixelFormat(&format);
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  // The encoder may only offer a nearby format; our bytes would then be read wrongly.
  if (format != GUID_WICPixelFormat32bppBGRA) {
    return std::unexpected(hresult_error(WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT));
  }
  hr =
      frame->WritePixels(height, stride, static_cast<UINT>(size), const_cast<BYTE*>(pixels.data()));
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = frame->Commit();
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  hr = encoder->Commit();
  if (FAILED(hr)) return std::unexpected(hresult_error(hr));
  return {};
}

}  // namespace test_png
