#include "app/png_image.h"

#include <png.h>

#include <cerrno>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <memory>

namespace {

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};

// What the decoding step shares with its caller. libpng leaves that step by
// longjmp on a damaged file, so the step itself holds no object with a
// destructor: everything it fills lives here, owned by the caller.
struct DecodeState {
    FILE *file = nullptr;
    const GreyPicture::Limits *limits = nullptr;
    std::vector<uint8_t> *grey = nullptr;
    std::vector<uint8_t> *row = nullptr;
    uint32_t width = 0, height = 0, xPpi = 0, yPpi = 0;
    bool tooLarge = false;
    bool noMemory = false;
    char message[160] = "";
};

void OnError(png_structp png, png_const_charp message)
{
    auto *state = static_cast<DecodeState *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof(state->message), "%s", message);
    png_longjmp(png, 1);
}

void OnWarning(png_structp, png_const_charp) {}

// Opaque grey from grey and alpha, laid over white.
inline uint8_t OverWhite(unsigned grey, unsigned alpha)
{
    return static_cast<uint8_t>((grey * alpha + 255u * (255u - alpha) + 127u) / 255u);
}

bool Decode(png_structp png, png_infop info, DecodeState &state)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_init_io(png, state.file);
#if defined(PNG_SKIP_sRGB_CHECK_PROFILE) && defined(PNG_SET_OPTION_SUPPORTED)
    // Profiles that some editors write wrongly are no reason to refuse a picture.
    png_set_option(png, PNG_SKIP_sRGB_CHECK_PROFILE, PNG_OPTION_ON);
#endif
#if defined(PNG_IGNORE_ADLER32) && defined(PNG_SET_OPTION_SUPPORTED)
    // Every chunk's own CRC already guards the picture data; its second
    // checksum costs a sixth of the decoding.
    png_set_option(png, PNG_IGNORE_ADLER32, PNG_OPTION_ON);
#endif
    png_read_info(png, info);
    state.width = png_get_image_width(png, info);
    state.height = png_get_image_height(png, info);
    if (!GreyPicture::Fits(state.width, state.height, *state.limits)) {
        state.tooLarge = true;
        return false;
    }
    const uint64_t count = static_cast<uint64_t>(state.width) * state.height;
    state.xPpi = png_get_x_pixels_per_inch(png, info);
    state.yPpi = png_get_y_pixels_per_inch(png, info);

    // Palette, small grey depths and a transparent colour become 8-bit
    // samples with alpha; 16 bits are rounded to 8; colour becomes grey.
    png_set_expand(png);
    png_set_scale_16(png);
    const int colourType = png_get_color_type(png, info);
    if ((colourType & PNG_COLOR_MASK_COLOR) != 0)
        png_set_rgb_to_gray_fixed(png, PNG_ERROR_ACTION_NONE, -1, -1);
    const int passes = png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t channels = png_get_channels(png, info);
    const size_t rowBytes = png_get_rowbytes(png, info);
    if ((channels != 1 && channels != 2) || rowBytes != state.width * channels) {
        std::snprintf(state.message, sizeof(state.message), "unexpected sample layout");
        return false;
    }

    std::vector<uint8_t> &grey = *state.grey;
    std::vector<uint8_t> &row = *state.row;
    // Opaque grey goes straight into the picture. Grey with alpha goes
    // through a row (all rows when interlaced, as the passes revisit them)
    // and is laid over white.
    const bool direct = channels == 1;
    try {
        grey.resize(static_cast<size_t>(count));
        if (!direct)
            row.resize(passes > 1 ? rowBytes * state.height : rowBytes);
    } catch (const std::bad_alloc &) {
        state.noMemory = true;
        return false;
    }
    uint8_t *const base = direct ? grey.data() : row.data();
    const size_t step = direct || passes > 1 ? rowBytes : 0;
    for (int pass = 0; pass < passes; ++pass)
        for (uint32_t y = 0; y < state.height; ++y) {
            uint8_t *samples = base + static_cast<size_t>(y) * step;
            png_read_row(png, samples, nullptr);
            if (!direct && passes == 1)
                for (uint32_t x = 0; x < state.width; ++x)
                    grey[static_cast<size_t>(y) * state.width + x] = OverWhite(samples[2 * x], samples[2 * x + 1]);
        }
    if (!direct && passes > 1)
        for (size_t i = 0; i < static_cast<size_t>(count); ++i)
            grey[i] = OverWhite(row[2 * i], row[2 * i + 1]);
    png_read_end(png, nullptr);
    return true;
}

}  // namespace

bool PngImage::Read(const std::string &path, const Limits &limits)
{
    Clear();
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        error = std::string("cannot open the PNG file: ") + std::strerror(errno);
        return false;
    }
    return Read(file.get(), limits);
}

bool PngImage::Read(std::FILE *file, const Limits &limits)
{
    Clear();
    DecodeState state;
    state.file = file;
    state.limits = &limits;
    std::vector<uint8_t> grey, row;
    state.grey = &grey;
    state.row = &row;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, OnError, OnWarning);
    png_infop info = png != nullptr ? png_create_info_struct(png) : nullptr;
    if (info == nullptr) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        error = "not enough memory to read the PNG file";
        return false;
    }
    const bool decoded = Decode(png, info, state);
    png_destroy_read_struct(&png, &info, nullptr);
    if (!decoded) {
        if (state.tooLarge)
            error = "the PNG image (" + std::to_string(state.width) + "x" + std::to_string(state.height) +
                    ") is too large to print";
        else if (state.noMemory)
            error = "not enough memory to read the PNG file";
        else
            error = std::string("the PNG file is damaged (") + state.message + ")";
        return false;
    }
    width = state.width;
    height = state.height;
    xPpi = state.xPpi;
    yPpi = state.yPpi;
    pixels = std::move(grey);
    return true;
}
