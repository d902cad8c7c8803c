// dotweave-preview: decodes a printer stream written by dotweave back into
// one PNG per page and a short report, so a job can be checked before labels
// are spent on it.

#include "preview/png_writer.h"
#include "preview/report.h"
#include "preview/stream_decoder.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>
#include <vector>

namespace {

constexpr const char *kUsage =
    "usage: dotweave-preview [--lang tspl|escpos|cpcl|paperang|peripage] [-o DIR] [FILE]\n";

bool ReadAll(FILE *file, std::vector<uint8_t> &bytes)
{
    uint8_t chunk[65536];
    for (;;) {
        const size_t got = std::fread(chunk, 1, sizeof(chunk), file);
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (got < sizeof(chunk))
            return std::ferror(file) == 0;
    }
}

int Fail(const std::string &message)
{
    std::fprintf(stderr, "dotweave-preview: %s\n", message.c_str());
    return 1;
}

}  // namespace

int main(int argc, char **argv)
{
    std::optional<StreamLanguage> forced;
    std::string outDir = ".";
    std::string inputPath;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if ((arg == "--lang" || arg == "-o") && i + 1 < argc) {
            const std::string_view value = argv[++i];
            if (arg == "-o") {
                outDir = value;
                continue;
            }
            forced = ParseLanguage(value);
            if (!forced) {
                std::fprintf(stderr, "dotweave-preview: unknown language \"%s\"\n%s", argv[i], kUsage);
                return 2;
            }
        } else if (arg == "-h" || arg == "--help") {
            std::fputs(kUsage, stdout);
            return 0;
        } else if ((arg.size() > 1 && arg[0] == '-') || !inputPath.empty()) {
            std::fputs(kUsage, stderr);
            return 2;
        } else {
            inputPath = arg;
        }
    }

    std::vector<uint8_t> stream;
    const bool fromStdin = inputPath.empty() || inputPath == "-";
    FILE *input = fromStdin ? stdin : std::fopen(inputPath.c_str(), "rb");
    if (input == nullptr)
        return Fail("cannot open " + inputPath + ": " + std::strerror(errno));
    const bool read = ReadAll(input, stream);
    if (!fromStdin)
        std::fclose(input);
    if (!read)
        return Fail("cannot read " + (fromStdin ? std::string("standard input") : inputPath));

    std::optional<StreamLanguage> language = forced ? forced : DetectLanguage(stream.data(), stream.size());
    if (stream.empty())
        return Fail("offset 0: expected a printer stream, found an empty input");
    if (!language)
        return Fail("offset 0: expected the start of a TSPL, ESC/POS, CPCL, Paperang or PeriPage stream; "
                    "use --lang to name the language");

    if (mkdir(outDir.c_str(), 0777) != 0 && errno != EEXIST)
        return Fail("cannot create " + outDir + ": " + std::strerror(errno));

    const DecodedStream decoded = DecodeStream(*language, stream.data(), stream.size());
    std::printf("%s stream, %zu bytes, %zu %s\n", LanguageName(*language), stream.size(), decoded.pages.size(),
                decoded.pages.size() == 1 ? "page" : "pages");
    bool written = true;
    for (size_t i = 0; i < decoded.pages.size(); ++i) {
        const PreviewPage &page = decoded.pages[i];
        const std::string name = "page-" + std::to_string(i + 1) + ".png";
        std::string problem;
        if (page.HasBitmap() && !WritePagePng(outDir + "/" + name, page, problem)) {
            std::fprintf(stderr, "dotweave-preview: %s\n", problem.c_str());
            written = false;
        }
        std::fputs(PageReport(static_cast<int>(i + 1), page, outDir + "/" + name).c_str(), stdout);
    }
    std::fflush(stdout);
    if (decoded.error.failed)
        return Fail(decoded.error.Message());
    return written ? 0 : 1;
}
