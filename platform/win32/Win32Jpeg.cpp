#include "panels/Jpeg.h"

#include <windows.h>

#include <objbase.h>
#include <wincodec.h>
#include <wrl/client.h>

#include <utility>

// Decoding through the Windows Imaging Component, which every Windows since XP SP3 has. Encoding is
// the artwork tool's, which runs on Linux at build time only, so this build has none.
namespace Jpeg {
namespace {

using Microsoft::WRL::ComPtr;

// COM for the calling thread, for as long as a decoding takes; a thread that has it already, in
// either apartment model, keeps it as it was.
class ComUse {
public:
    ComUse() : started_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComUse() {
        if (started_) CoUninitialize();
    }
    ComUse(const ComUse&) = delete;
    ComUse& operator=(const ComUse&) = delete;

private:
    bool started_;
};

// The JPEG decoder itself, not whichever one the data claims to be for: this reads skins only.
ComPtr<IWICBitmapFrameDecode> firstFrame(IWICImagingFactory* factory, std::span<const std::uint8_t> data) {
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    // WIC only reads the memory; the cast is its interface's.
    auto* bytes = const_cast<BYTE*>(reinterpret_cast<const BYTE*>(data.data()));
    if (FAILED(factory->CreateStream(&stream)) ||
        FAILED(stream->InitializeFromMemory(bytes, static_cast<DWORD>(data.size()))) ||
        FAILED(factory->CreateDecoder(GUID_ContainerFormatJpeg, nullptr, &decoder)) ||
        FAILED(decoder->Initialize(stream.Get(), WICDecodeMetadataCacheOnDemand)) ||
        FAILED(decoder->GetFrame(0, &frame)))
        return nullptr;
    return frame;
}

std::optional<Pixels> pixelsOf(IWICImagingFactory* factory, IWICBitmapFrameDecode* frame) {
    UINT width = 0;
    UINT height = 0;
    if (FAILED(frame->GetSize(&width, &height)) || !plausiblePictureSize(width, height)) return std::nullopt;
    ComPtr<IWICFormatConverter> converter;
    // Blue, green, red is the one 24-bit order every Windows converts to.
    if (FAILED(factory->CreateFormatConverter(&converter)) ||
        FAILED(converter->Initialize(frame, GUID_WICPixelFormat24bppBGR, WICBitmapDitherTypeNone, nullptr, 0.0,
                                     WICBitmapPaletteTypeCustom)))
        return std::nullopt;
    Pixels picture = blankPixels(static_cast<int>(width), static_cast<int>(height));
    if (FAILED(converter->CopyPixels(nullptr, width * 3, static_cast<UINT>(picture.rgb.size()), picture.rgb.data())))
        return std::nullopt;
    for (std::size_t i = 0; i + 2 < picture.rgb.size(); i += 3)
        std::swap(picture.rgb[i], picture.rgb[i + 2]);
    return picture;
}

} // namespace

std::optional<Pixels> decode(std::span<const std::uint8_t> data) {
    if (data.empty() || data.size() > MAXDWORD) return std::nullopt;
    const ComUse com;
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_PPV_ARGS(&factory))))
        return std::nullopt;
    const ComPtr<IWICBitmapFrameDecode> frame = firstFrame(factory.Get(), data);
    if (!frame) return std::nullopt;
    return pixelsOf(factory.Get(), frame.Get());
}

} // namespace Jpeg
