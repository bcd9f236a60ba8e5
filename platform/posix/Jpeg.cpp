#include "panels/Jpeg.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio> // jpeglib.h needs FILE

#include <jpeglib.h>

namespace Jpeg {
namespace {

// libjpeg reports fatal errors through error_exit, which must not return; it longjmps back to the
// frame that called setjmp. Those frames hold only trivially destructible objects; the vectors live
// in callers the jump never crosses.
struct Errors {
    jpeg_error_mgr manager;
    std::jmp_buf escape;
};

[[noreturn]] void escapeOnError(j_common_ptr info) {
    std::longjmp(reinterpret_cast<Errors*>(info->err)->escape, 1);
}

// Corrupt-data warnings would otherwise hand back a half-grey picture.
void escapeOnWarning(j_common_ptr info, int level) {
    if (level < 0) escapeOnError(info);
}

void keepQuiet(j_common_ptr) {}

void installErrors(Errors& errors) {
    jpeg_std_error(&errors.manager);
    errors.manager.error_exit = escapeOnError;
    errors.manager.emit_message = escapeOnWarning;
    errors.manager.output_message = keepQuiet;
}

// Compressed bytes go straight into a vector owned by the caller, so nothing leaks when libjpeg
// gives up half way.
struct ByteSink {
    jpeg_destination_mgr manager;
    std::vector<std::uint8_t>* bytes;
};

ByteSink& sinkOf(j_compress_ptr info) {
    return *reinterpret_cast<ByteSink*>(info->dest);
}

void startSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    sink.bytes->resize(64 * 1024);
    sink.manager.next_output_byte = sink.bytes->data();
    sink.manager.free_in_buffer = sink.bytes->size();
}

boolean growSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    const std::size_t used = sink.bytes->size();
    sink.bytes->resize(used * 2);
    sink.manager.next_output_byte = sink.bytes->data() + used;
    sink.manager.free_in_buffer = used;
    return TRUE;
}

void finishSink(j_compress_ptr info) {
    ByteSink& sink = sinkOf(info);
    sink.bytes->resize(sink.bytes->size() - sink.manager.free_in_buffer);
}

bool compress(const Pixels& picture, int quality, std::vector<std::uint8_t>* out) {
    jpeg_compress_struct info;
    Errors errors;
    ByteSink sink{{}, out};
    sink.manager.init_destination = startSink;
    sink.manager.empty_output_buffer = growSink;
    sink.manager.term_destination = finishSink;
    info.err = &errors.manager;
    installErrors(errors);
    if (setjmp(errors.escape)) {
        jpeg_destroy_compress(&info);
        return false;
    }
    jpeg_create_compress(&info);
    info.dest = &sink.manager;
    info.image_width = static_cast<JDIMENSION>(picture.width);
    info.image_height = static_cast<JDIMENSION>(picture.height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    // Full-resolution colour keeps small coloured print sharp.
    info.comp_info[0].h_samp_factor = 1;
    info.comp_info[0].v_samp_factor = 1;
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(picture.row(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    return true;
}

bool decompress(std::span<const std::uint8_t> data, Pixels* picture) {
    jpeg_decompress_struct info;
    Errors errors;
    info.err = &errors.manager;
    installErrors(errors);
    if (setjmp(errors.escape)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, data.data(), static_cast<unsigned long>(data.size()));
    jpeg_read_header(&info, TRUE);
    if (!plausiblePictureSize(info.image_width, info.image_height)) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    if (info.output_components != 3) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    // Sized before the loop, so the jump above never crosses a growing vector.
    *picture = blankPixels(static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = picture->row(static_cast<int>(info.output_scanline));
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    return true;
}

} // namespace

std::vector<std::uint8_t> encode(const Pixels& picture, int quality) {
    if (picture.width <= 0 || picture.height <= 0) return {};
    std::vector<std::uint8_t> out;
    if (!compress(picture, std::clamp(quality, 1, 100), &out)) return {};
    return out;
}

std::optional<Pixels> decode(std::span<const std::uint8_t> data) {
    if (data.empty()) return std::nullopt;
    Pixels picture;
    if (!decompress(data, &picture)) return std::nullopt;
    return picture;
}

} // namespace Jpeg
