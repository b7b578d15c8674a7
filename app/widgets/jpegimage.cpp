#include "app/widgets/jpegimage.h"

#include <csetjmp>
#include <cstdio>
#include <jpeglib.h>

namespace qm {

namespace {

struct ErrorExit {
    jpeg_error_mgr base;
    std::jmp_buf jump;
};

[[noreturn]] void JumpOut(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorExit*>(info->err)->jump, 1);
}

// Warnings are counted by libjpeg itself (num_warnings), not printed.
void Quiet(j_common_ptr info, int level) {
    if (level < 0) {
        ++info->err->num_warnings;
    }
}

// Only plain C data lives in here: libjpeg leaves by longjmp on any error, which would skip
// the destructors of C++ objects. Returns false when the picture cannot be read; `rows`
// may then be partly written.
bool DecodeInto(const unsigned char* bytes, unsigned long size,
                unsigned char* (*allocate)(void*, int, int), void* target) {
    jpeg_decompress_struct info;
    ErrorExit error;
    info.err = jpeg_std_error(&error.base);
    error.base.error_exit = JumpOut;
    error.base.emit_message = Quiet;
    if (setjmp(error.jump) != 0) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    jpeg_create_decompress(&info);
    jpeg_mem_src(&info, bytes, size);
    jpeg_read_header(&info, TRUE);
    info.out_color_space = JCS_RGB;
    jpeg_start_decompress(&info);
    unsigned char* pixels =
        allocate(target, static_cast<int>(info.output_width), static_cast<int>(info.output_height));
    if (pixels == nullptr) {
        jpeg_destroy_decompress(&info);
        return false;
    }
    const unsigned long stride = info.output_width * 3;
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels + stride * info.output_scanline;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    jpeg_destroy_decompress(&info);
    // A truncated or damaged picture decodes with warnings into grey rows: no picture is
    // better than a half one.
    return error.base.num_warnings == 0;
}

// Packed RGB rows, filled by the decoder and then copied into a QImage outside it.
struct Pixels {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};

unsigned char* Allocate(void* target, int width, int height) {
    auto* pixels = static_cast<Pixels*>(target);
    if (width <= 0 || height <= 0 || width > 16384 || height > 16384) {
        return nullptr;
    }
    pixels->width = width;
    pixels->height = height;
    pixels->bytes.resize(static_cast<qsizetype>(width) * height * 3);
    return reinterpret_cast<unsigned char*>(pixels->bytes.data());
}

} // namespace

QImage DecodeJpeg(const QByteArray& data) {
    if (data.isEmpty()) {
        return {};
    }
    Pixels pixels;
    if (!DecodeInto(reinterpret_cast<const unsigned char*>(data.constData()),
                    static_cast<unsigned long>(data.size()), Allocate, &pixels)) {
        return {};
    }
    const QImage view(reinterpret_cast<const uchar*>(pixels.bytes.constData()), pixels.width,
                      pixels.height, pixels.width * 3, QImage::Format_RGB888);
    return view.copy();
}

} // namespace qm
