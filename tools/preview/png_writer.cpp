#include "preview/png_writer.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// libpng reports errors by longjmp; this frame holds only plain data so
// nothing with a destructor is skipped over.
bool WriteRows(FILE *file, const PreviewPage &page, char *message, size_t messageSize)
{
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (png == nullptr) {
        std::snprintf(message, messageSize, "libpng could not start");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (info == nullptr) {
        png_destroy_write_struct(&png, nullptr);
        std::snprintf(message, messageSize, "libpng could not start");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::snprintf(message, messageSize, "libpng failed while writing");
        return false;
    }
    png_init_io(png, file);
    // Long receipts are far taller than libpng's default limit.
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF);
    png_set_IHDR(png, info, page.WidthDots(), page.Height(), 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    // Grey one-bit PNG has 0 = black; the page has 1 = black dot.
    png_set_invert_mono(png);
    for (uint32_t y = 0; y < page.Height(); ++y)
        png_write_row(png, const_cast<png_bytep>(page.Row(y)));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WritePagePng(const std::string &path, const PreviewPage &page, std::string &problem)
{
    if (!page.HasBitmap()) {
        problem = "the page has no bitmap";
        return false;
    }
    FILE *file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        problem = "cannot create " + path + ": " + std::strerror(errno);
        return false;
    }
    char message[128] = {};
    const bool written = WriteRows(file, page, message, sizeof(message));
    const bool closed = std::fclose(file) == 0;
    if (!written) {
        problem = path + ": " + message;
        return false;
    }
    if (!closed) {
        problem = "cannot write " + path + ": " + std::strerror(errno);
        return false;
    }
    return true;
}

bool EncodePagePng(const PreviewPage &page, std::string &png, std::string &problem)
{
    if (!page.HasBitmap()) {
        problem = "the page has no bitmap";
        return false;
    }
    char *data = nullptr;
    size_t size = 0;
    FILE *memory = open_memstream(&data, &size);
    if (memory == nullptr) {
        problem = std::string("no memory for the picture: ") + std::strerror(errno);
        return false;
    }
    char message[128] = {};
    const bool written = WriteRows(memory, page, message, sizeof(message));
    const bool closed = std::fclose(memory) == 0;
    if (written && closed)
        png.assign(data, size);
    std::free(data);
    if (!written || !closed) {
        problem = written ? "the picture could not be finished" : message;
        return false;
    }
    return true;
}
