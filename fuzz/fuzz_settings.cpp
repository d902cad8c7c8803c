// The settings reader with arbitrary option choices. Byte 0 chooses the model
// number; then, for each of the options the filter reads, a choice name
// (empty: the PPD lacks the option); then a small page. The PPD is built from
// those choices, marked, read by the job's render object, and the page goes
// through page preparation and the model's back-end.
#include "fuzz_support.h"

#include "filter/cups_instance.h"
#include "filter/cups_render.h"
#include "support/ppd_writer.h"

#include <cups/ppd.h>

#include <cstring>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

// Characters a PPD choice name may hold that also steer the number parsing.
constexpr char kChoiceAlphabet[] = "0123456789-+._0123456789abcdefxyzDGLT";

std::string ChoiceFrom(fuzz::InputReader &input, const fuzz::FilterOption &option)
{
    const uint8_t kind = input.Byte();
    if (kind >= 0xC0)
        return option.choices[kind % option.choices.size()];
    std::string text = input.Text(24);
    for (char &c : text)
        c = kChoiceAlphabet[static_cast<uint8_t>(c) % (sizeof(kChoiceAlphabet) - 1)];
    return text;
}

constexpr uint32_t kBitsPerPixel[] = {1, 4, 8, 24, 32};
constexpr uint32_t kResolutions[] = {203, 300, 100, 200, 600, 72, 1, 2400, 150, 203};

}  // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzz::QuietProcess();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::InputReader input(data, size);
    PpdDescription description;
    description.modelNumber = 20 + input.Byte() % 5;
    for (const fuzz::FilterOption &option : fuzz::FilterOptions()) {
        const std::string choice = ChoiceFrom(input, option);
        if (!choice.empty())
            description.options.push_back(Option(option.keyword, choice));
    }

    cups_page_header2_t header;
    std::memset(&header, 0, sizeof(header));
    header.cupsWidth = 1 + input.U16() % 512;
    header.cupsHeight = 1 + input.Byte();
    header.cupsBitsPerPixel = kBitsPerPixel[input.Byte() % std::size(kBitsPerPixel)];
    header.cupsBitsPerColor = header.cupsBitsPerPixel >= 24 ? 8 : header.cupsBitsPerPixel;
    header.cupsBytesPerLine = (header.cupsWidth * header.cupsBitsPerPixel + 7) / 8;
    header.HWResolution[0] = kResolutions[input.Byte() % std::size(kResolutions)];
    header.HWResolution[1] = kResolutions[input.Byte() % std::size(kResolutions)];
    if (RefusePage(header) != nullptr)
        return 0;

    const std::string ppdText = MakePpdText(description);
    const int fd = fuzz::MemoryFile(ppdText.data(), ppdText.size());
    if (fd < 0)
        return 0;
    ppd_file_t *ppd = ppdOpenFd(fd);
    close(fd);
    if (ppd == nullptr)
        return 0;
    ppdMarkDefaults(ppd);

    CBaseRender *render = CreateRenderForModel(description.modelNumber);
    if (auto *binding = dynamic_cast<CCupsBinding *>(render); binding != nullptr)
        binding->ppd = ppd;
    fuzz::DroppedOutput output;
    {
        CPrintJob job(render, output);
        job.Start("fuzz");
        if (job.BeginPage(header)) {
            // The page's bytes repeat the rest of the input, or are white
            // without any.
            std::vector<uint8_t> line(header.cupsBytesPerLine, 0xFF);
            size_t at = 0;
            for (uint32_t y = 0; y < header.cupsHeight; ++y) {
                for (uint8_t &byte : line)
                    byte = input.RestSize() > 0 ? input.Rest()[at++ % input.RestSize()] : 0xFF;
                job.AddLine(line.data(), line.size());
            }
            job.PrintPage();
        }
        job.EndPage();
        job.Finish();
        if (auto *binding = dynamic_cast<CCupsBinding *>(job.Render()); binding != nullptr)
            binding->ppd = nullptr;
    }
    ppdClose(ppd);
    return 0;
}
