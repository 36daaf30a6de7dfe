#include "referencedecode.h"

#include <csetjmp>
#include <cstdio>
#include <memory>
#include <vector>

#include <jpeglib.h>
#include <png.h>

namespace quiltana::bench {

namespace {

struct FileCloser {
    void operator()(std::FILE *file) const { std::fclose(file); }
};

struct JpegFailure {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

extern "C" void JpegFail(j_common_ptr cinfo)
{
    auto *failure = reinterpret_cast<JpegFailure *>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, failure->message);
    std::longjmp(failure->jump, 1);
}

extern "C" void JpegQuiet(j_common_ptr) {}

// Plain C state only between setjmp and longjmp; the row buffer belongs to libjpeg's pool.
bool RunJpeg(std::FILE *file, int denominator, jpeg_decompress_struct *cinfo, JpegFailure *failure)
{
    cinfo->err = jpeg_std_error(&failure->pub);
    failure->pub.error_exit = JpegFail;
    failure->pub.output_message = JpegQuiet;
    if (setjmp(failure->jump)) {
        jpeg_destroy_decompress(cinfo);
        return false;
    }
    jpeg_create_decompress(cinfo);
    jpeg_stdio_src(cinfo, file);
    jpeg_read_header(cinfo, TRUE);
    cinfo->scale_num = 1;
    cinfo->scale_denom = static_cast<unsigned>(denominator);
    if (cinfo->jpeg_color_space != JCS_CMYK && cinfo->jpeg_color_space != JCS_YCCK)
        cinfo->out_color_space = JCS_RGB;
    jpeg_start_decompress(cinfo);
    JSAMPARRAY row = (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                                 cinfo->output_width * cinfo->output_components, 1);
    while (cinfo->output_scanline < cinfo->output_height)
        jpeg_read_scanlines(cinfo, row, 1);
    jpeg_finish_decompress(cinfo);
    jpeg_destroy_decompress(cinfo);
    return true;
}

struct PngState {
    png_structp png = nullptr;
    png_infop info = nullptr;
    png_bytep whole = nullptr;
    png_bytepp rows = nullptr;
    char message[256] = {};
};

extern "C" void PngFail(png_structp png, png_const_charp message)
{
    auto *state = static_cast<PngState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

extern "C" void PngQuiet(png_structp, png_const_charp) {}

void ReleasePng(PngState *state)
{
    std::free(state->whole);
    std::free(state->rows);
    png_destroy_read_struct(&state->png, &state->info, nullptr);
}

bool RunPng(std::FILE *file, PngState *state)
{
    state->png = png_create_read_struct(PNG_LIBPNG_VER_STRING, state, PngFail, PngQuiet);
    state->info = state->png ? png_create_info_struct(state->png) : nullptr;
    if (!state->info) {
        std::snprintf(state->message, sizeof state->message, "out of memory");
        ReleasePng(state);
        return false;
    }
    if (setjmp(png_jmpbuf(state->png))) {
        ReleasePng(state);
        return false;
    }
    png_init_io(state->png, file);
    png_read_info(state->png, state->info);
    png_set_expand(state->png);
    png_set_strip_16(state->png);
    png_set_strip_alpha(state->png);
    png_set_gray_to_rgb(state->png);
    const int passes = png_set_interlace_handling(state->png);
    png_read_update_info(state->png, state->info);
    const png_uint_32 height = png_get_image_height(state->png, state->info);
    const png_size_t rowBytes = png_get_rowbytes(state->png, state->info);
    if (passes == 1) {
        state->whole = static_cast<png_bytep>(std::malloc(rowBytes));
        for (png_uint_32 y = 0; y < height; ++y)
            png_read_row(state->png, state->whole, nullptr);
    } else {
        state->whole = static_cast<png_bytep>(std::malloc(rowBytes * height));
        state->rows = static_cast<png_bytepp>(std::malloc(sizeof(png_bytep) * height));
        for (png_uint_32 y = 0; y < height; ++y)
            state->rows[y] = state->whole + rowBytes * y;
        png_read_image(state->png, state->rows);
    }
    png_read_end(state->png, nullptr);
    ReleasePng(state);
    return true;
}

} // namespace

bool DecodeJpegReference(const std::string &path, int denominator, std::string *error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = path + ": cannot open";
        return false;
    }
    auto cinfo = std::make_unique<jpeg_decompress_struct>();
    auto failure = std::make_unique<JpegFailure>();
    if (!RunJpeg(file.get(), denominator, cinfo.get(), failure.get())) {
        *error = path + ": " + failure->message;
        return false;
    }
    return true;
}

bool DecodePngReference(const std::string &path, std::string *error)
{
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (!file) {
        *error = path + ": cannot open";
        return false;
    }
    auto state = std::make_unique<PngState>();
    if (!RunPng(file.get(), state.get())) {
        *error = path + ": " + state->message;
        return false;
    }
    return true;
}

} // namespace quiltana::bench
