#include "app/jpeg_image.h"

// libjpeg's header needs the standard types declared first.
#include <cstddef>
#include <cstdio>
#include <jpeglib.h>

#include <cerrno>
#include <csetjmp>
#include <cstring>
#include <memory>
#include <new>

namespace {

// libjpeg's own working memory for one picture (a progressive picture keeps
// all its coefficients); beyond it the picture is refused.
constexpr long kDecoderMemory = 256L << 20;
// Progressive pictures can hold scan after scan that each revisit the whole
// picture: past this many, the file is treated as damaged.
constexpr int kMaxScans = 1000;

struct FileCloser {
    void operator()(FILE *file) const { std::fclose(file); }
};

// What the decoding step shares with its caller. libjpeg leaves that step by
// longjmp on a damaged file, so the step itself holds no object with a
// destructor: everything it fills lives here, owned by the caller.
struct DecodeState {
    jpeg_error_mgr errors{};
    jmp_buf jump{};
    jpeg_progress_mgr progress{};
    FILE *file = nullptr;
    const GreyPicture::Limits *limits = nullptr;
    std::vector<uint8_t> *grey = nullptr;
    uint32_t width = 0, height = 0, xPpi = 0, yPpi = 0;
    bool tooLarge = false;
    bool noMemory = false;
    bool cmyk = false;
    char message[JMSG_LENGTH_MAX] = "";
};

DecodeState &StateOf(j_common_ptr decoder)
{
    // The error manager is the state's first member.
    return *reinterpret_cast<DecodeState *>(decoder->err);
}

void OnError(j_common_ptr decoder)
{
    DecodeState &state = StateOf(decoder);
    (*decoder->err->format_message)(decoder, state.message);
    longjmp(state.jump, 1);
}

// Warnings (damaged data libjpeg can skip) are no reason to stop.
void OnMessage(j_common_ptr, int) {}

void OnProgress(j_common_ptr decoder)
{
    const auto *jpeg = reinterpret_cast<j_decompress_ptr>(decoder);
    if (jpeg->input_scan_number > kMaxScans) {
        DecodeState &state = StateOf(decoder);
        std::snprintf(state.message, sizeof(state.message), "more than %d scans", kMaxScans);
        longjmp(state.jump, 1);
    }
}

uint32_t PerInch(unsigned density, int unit)
{
    switch (unit) {
    case 1: return density;                                 // dots per inch
    case 2: return static_cast<uint32_t>((density * 254u + 50u) / 100u);  // dots per centimetre
    default: return 0;                                      // an aspect ratio only
    }
}

bool Decode(jpeg_decompress_struct &jpeg, DecodeState &state)
{
    if (setjmp(state.jump))
        return false;
    jpeg_create_decompress(&jpeg);
    jpeg.mem->max_memory_to_use = kDecoderMemory;
    jpeg.progress = &state.progress;
    jpeg_stdio_src(&jpeg, state.file);
    jpeg_read_header(&jpeg, TRUE);
    state.width = jpeg.image_width;
    state.height = jpeg.image_height;
    if (jpeg.jpeg_color_space == JCS_CMYK || jpeg.jpeg_color_space == JCS_YCCK) {
        state.cmyk = true;
        return false;
    }
    if (!GreyPicture::Fits(state.width, state.height, *state.limits)) {
        state.tooLarge = true;
        return false;
    }
    if (jpeg.X_density == jpeg.Y_density) {
        state.xPpi = state.yPpi = PerInch(jpeg.X_density, jpeg.density_unit);
    }
    // libjpeg gives the luminance of colour pictures itself.
    jpeg.out_color_space = JCS_GRAYSCALE;
    jpeg_start_decompress(&jpeg);
    if (jpeg.output_width != state.width || jpeg.output_height != state.height || jpeg.output_components != 1) {
        std::snprintf(state.message, sizeof(state.message), "unexpected sample layout");
        return false;
    }
    std::vector<uint8_t> &grey = *state.grey;
    try {
        grey.resize(static_cast<size_t>(state.width) * state.height);
    } catch (const std::bad_alloc &) {
        state.noMemory = true;
        return false;
    }
    while (jpeg.output_scanline < jpeg.output_height) {
        JSAMPROW row = grey.data() + static_cast<size_t>(jpeg.output_scanline) * state.width;
        jpeg_read_scanlines(&jpeg, &row, 1);
    }
    jpeg_finish_decompress(&jpeg);
    return true;
}

}  // namespace

bool JpegImage::Read(const std::string &path, const Limits &limits)
{
    Clear();
    std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        error = std::string("cannot open the JPEG file: ") + std::strerror(errno);
        return false;
    }
    return Read(file.get(), limits);
}

bool JpegImage::Read(std::FILE *file, const Limits &limits)
{
    Clear();
    DecodeState state;
    state.file = file;
    state.limits = &limits;
    std::vector<uint8_t> grey;
    state.grey = &grey;
    jpeg_decompress_struct jpeg{};
    jpeg.err = jpeg_std_error(&state.errors);
    state.errors.error_exit = OnError;
    state.errors.emit_message = OnMessage;
    state.progress.progress_monitor = OnProgress;
    const bool decoded = Decode(jpeg, state);
    jpeg_destroy_decompress(&jpeg);
    if (!decoded) {
        if (state.cmyk)
            error = "CMYK JPEG pictures cannot be printed";
        else if (state.tooLarge)
            error = "the JPEG image (" + std::to_string(state.width) + "x" + std::to_string(state.height) +
                    ") is too large to print";
        else if (state.noMemory)
            error = "not enough memory to read the JPEG file";
        else
            error = std::string("the JPEG file is damaged (") + state.message + ")";
        return false;
    }
    width = state.width;
    height = state.height;
    xPpi = state.xPpi;
    yPpi = state.yPpi;
    pixels = std::move(grey);
    return true;
}
