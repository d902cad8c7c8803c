#include "filter/cups_instance.h"

#include "filter/system_log.h"
#include "printers/printer_cpcl.h"
#include "printers/printer_escpos.h"
#include "printers/printer_paperang.h"
#include "printers/printer_peripage.h"
#include "printers/printer_tspl.h"
#include "render/cups_render.h"

#include <cups/cups.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <syslog.h>
#include <unistd.h>
#include <vector>

// The scheduler's message functions of libcups: prefix, colon, blank, the
// localised message and a line end.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));
extern "C" int _cupsLangPrintError(const char *prefix, const char *message);

int ModelNumber = 0;
int Page = 0;
volatile sig_atomic_t Canceled = 0;
CStdRefPtr<CBaseRender> g_pRender;

extern "C" void CancelJob(int)
{
    Canceled = 1;
}

namespace {
RenderFactory g_renderFactory = nullptr;

// Lines of a refused page are skipped in pieces of at most this size.
constexpr uint32_t kSkipPieceBytes = 65536;

// Lines are read many to a call: on an uncompressed stream libcups makes one
// system call per call, and one per line cost more than the page's own work.
constexpr uint32_t kReadPieceBytes = 65536;
}

void SetRenderFactory(RenderFactory factory)
{
    g_renderFactory = factory;
}

CBaseRender *CreateRenderForModel(int modelNumber)
{
    if (g_renderFactory != nullptr)
        return g_renderFactory(modelNumber);
    switch (modelNumber) {
    case 20: return new CCupsRender<CPrinterTSPL>();
    case 21: return new CCupsRender<CPrinterESCPOS>();
    case 22: return new CCupsRender<CPrinterCPCL>();
    case 23: return new CCupsRender<CPrinterPaperang>();
    case 24: return new CCupsRender<CPrinterPeriPage>();
    default: return nullptr;
    }
}

namespace {

// The stream may set the header's enumerated fields to any 32-bit value, which
// the enumerations cannot hold; they are read as the plain numbers sent.
template <class Field>
int32_t EnumField(const Field &field)
{
    static_assert(sizeof(Field) == sizeof(int32_t));
    int32_t value;
    std::memcpy(&value, &field, sizeof(value));
    return value;
}

// Reads and drops `bytes` bytes of the stream in pieces of a bounded size;
// false when the stream ends first.
bool SkipBytes(cups_raster_t *ras, uint64_t bytes)
{
    std::vector<unsigned char> piece(static_cast<size_t>(std::min<uint64_t>(bytes, kSkipPieceBytes)) + 1);
    while (bytes > 0) {
        const uint32_t take = static_cast<uint32_t>(std::min<uint64_t>(bytes, kSkipPieceBytes));
        if (cupsRasterReadPixels(ras, piece.data(), take) == 0)
            return false;
        bytes -= take;
    }
    return true;
}

// Reads and drops the lines of a page that is not printed, so the next page
// header is read where it starts. The header of a refused page may claim
// lines of any length: they are read in pieces, never into a buffer of the
// claimed size.
void SkipPageLines(cups_raster_t *ras, const cups_page_header2_t &header)
{
    SkipBytes(ras, uint64_t{header.cupsBytesPerLine} * header.cupsHeight);
}

uint32_t LinesPerRead(uint32_t lineBytes)
{
    return lineBytes == 0 || lineBytes >= kReadPieceBytes ? 1 : kReadPieceBytes / lineBytes;
}

}  // namespace

bool ReadLines(cups_raster_t *ras, uint8_t *target, uint32_t lineBytes, uint32_t lines)
{
    const uint32_t perRead = LinesPerRead(lineBytes);
    for (uint32_t done = 0; done < lines;) {
        const uint32_t count = std::min(perRead, lines - done);
        const size_t bytes = static_cast<size_t>(count) * lineBytes;
        // White first: if the stream ends inside the piece, what it delivered
        // stays and the rest prints as paper.
        std::memset(target, 0xFF, bytes);
        if (cupsRasterReadPixels(ras, target, static_cast<unsigned>(bytes)) == 0) {
            std::memset(target + bytes, 0xFF, static_cast<size_t>(lines - done - count) * lineBytes);
            return false;
        }
        target += bytes;
        done += count;
    }
    return true;
}

// The image then holds what CreateFromArray would build from the collected
// lines, without a page buffer (a whole raster of memory) and its copies.
bool ReadPageIntoImage(cups_raster_t *ras, const cups_page_header2_t &header, CRasterImage &image)
{
    CPageAssembler page;
    if (!page.Begin(header, image))
        return false;
    const uint32_t lineBytes = page.LineBytes();
    const uint32_t perRead = LinesPerRead(lineBytes);
    if (page.TakesPackedLines()) {
        // A piece of lines is read packed at the start of its rows, then
        // each line moves to its own row.
        while (page.RowsLeft() > 0) {
            const uint32_t count = std::min(perRead, page.RowsLeft());
            const bool complete = ReadLines(ras, page.PackedTarget(), lineBytes, count);
            page.PlacePacked(count);
            if (!complete)
                break;
        }
    } else if (lineBytes <= kReadPieceBytes) {
        // Lines longer than their rows, or of 32 bits per pixel, go through
        // a buffer of one piece.
        std::vector<uint8_t> piece(static_cast<size_t>(perRead) * lineBytes);
        while (page.RowsLeft() > 0) {
            const uint32_t count = std::min(perRead, page.RowsLeft());
            const bool complete = ReadLines(ras, piece.data(), lineBytes, count);
            for (uint32_t i = 0; i < count; ++i)
                page.AddLine(piece.data() + static_cast<size_t>(i) * lineBytes, lineBytes);
            if (!complete)
                break;
        }
    } else {
        // Long lines: the bytes a row keeps go through a buffer of one row,
        // the padding after them is read in pieces and dropped.
        std::vector<uint8_t> line(page.KeptBytes());
        while (page.RowsLeft() > 0) {
            const bool complete = ReadLines(ras, line.data(), page.KeptBytes(), 1) &&
                                  SkipBytes(ras, lineBytes - page.KeptBytes());
            page.AddLine(line.data(), line.size());
            if (!complete)
                break;
        }
    }
    page.Finish();
    return true;
}

int CCupsInstance::Run(int argc, char **argv)
{
    setbuf(stderr, nullptr);

    if (argc < 6 || argc > 7) {
        _cupsLangPrintFilter(stderr, "ERROR", "%s job-id user title copies options [file]", "dotweave");
        return 1;
    }

    int fd = 0;
    if (argc == 7) {
        fd = open(argv[6], O_RDONLY);
        if (fd == -1) {
            _cupsLangPrintError("ERROR", "Unable to open raster file");
            sleep(1);
            return 1;
        }
    }
    cups_raster_t *ras = cupsRasterOpen(fd, CUPS_RASTER_READ);
    cups_option_t *options = nullptr;
    int numOptions = 0;
    // Failures before the page loop end the job at once; what was opened up
    // to then is released here rather than left to process exit.
    auto releaseEarly = [&] {
        cupsRasterClose(ras);
        if (fd != 0)
            close(fd);
        cupsFreeOptions(numOptions, options);
    };

    Canceled = 0;
    struct sigaction action;
    std::memset(&action, 0, sizeof(action));
    sigemptyset(&action.sa_mask);
    action.sa_handler = CancelJob;
    sigaction(SIGTERM, &action, nullptr);
    // A printer pipe whose reader went away fails the write with EPIPE, which
    // ends the job with a message, instead of killing the filter silently.
    std::signal(SIGPIPE, SIG_IGN);

    numOptions = cupsParseOptions(argv[5], 0, &options);

    ppd_file_t *ppd = ppdOpenFile(getenv("PPD"));
    if (ppd == nullptr) {
        int line = 0;
        const ppd_status_t status = ppdLastError(&line);
        _cupsLangPrintFilter(stderr, "ERROR", "The PPD file could not be opened.");
        fprintf(stderr, "DEBUG: %s on line %d.\n", ppdErrorString(status), line);
        releaseEarly();
        return 1;
    }
    ppdMarkDefaults(ppd);
    cupsMarkOptions(ppd, numOptions, options);

    std::string modelName;
    if (ppd_attr_t *attr = ppdFindAttr(ppd, "ModelName", nullptr); attr != nullptr) {
        SysLog(LOG_DEBUG, "ModelName=%s", attr->value != nullptr ? attr->value : "");
        modelName = attr->value != nullptr ? attr->value : "";
    }
    if (ppd_attr_t *attr = ppdFindAttr(ppd, "Personality", nullptr); attr != nullptr)
        SysLog(LOG_DEBUG, "lang=%s", attr->value != nullptr ? attr->value : "");

    ModelNumber = ppd->model_number;
    SysLog(LOG_DEBUG, "ModelNumber = %d\n", ModelNumber);

    CBaseRender *render = CreateRenderForModel(ModelNumber);
    if (render == nullptr) {
        SysLog(LOG_ERR, "ERR: Unknow ModelNumber = %d\n", ModelNumber);
        _cupsLangPrintFilter(stderr, "ERROR", "Unknow ModelNumber.");
        ppdClose(ppd);
        releaseEarly();
        return 1;
    }
    g_pRender = MakeRefPtr<CBaseRender>(render);
    g_pRender->ppd = ppd;
    g_pRender->GetPrinterParameters();
    g_pRender->SetModelName(modelName.c_str());

    g_pRender->OnStartDoc(0);
    Page = 0;

    cups_page_header2_t header;
    while (cupsRasterReadHeader2(ras, &header)) {
        if (Canceled)
            break;
        ++Page;
        fprintf(stderr, "PAGE: %d 1\n", Page);
        _cupsLangPrintFilter(stderr, "INFO", "Starting page %d.", Page);

        if (const char *reason = RefusePage(header); reason != nullptr) {
            _cupsLangPrintFilter(stderr, "ERROR", "Page %d cannot be printed: %s (%ux%u, %u bits per pixel, %u bytes per line).",
                                 Page, reason, header.cupsWidth, header.cupsHeight, header.cupsBitsPerPixel,
                                 header.cupsBytesPerLine);
            SkipPageLines(ras, header);
        } else if (ReadPageIntoImage(ras, header, g_pRender->image)) {
            // An empty buffer tells StartPage the page image is already built.
            CMyBuffer built;
            StartPage(ppd, &header, built);
        } else {
            SysLog(LOG_ERR, "create image error\n");
            // A page that silently does not print would be a failure reported as success.
            _cupsLangPrintFilter(stderr, "ERROR", "Page %d cannot be printed: the page image could not be built (%s).",
                                 Page, g_pRender->image.GetLastError());
            // No image left over from an earlier page may pass for this one.
            g_pRender->image.Destroy();
            SkipPageLines(ras, header);
        }
        // A failed write has cut the printer stream: the job ends here.
        if (g_pRender->OutputFailed())
            break;
        _cupsLangPrintFilter(stderr, "INFO", "Finished page %d.", Page);
        EndPage(ppd, &header);
        if (Canceled)
            break;
    }

    g_pRender->OnEndDoc();

    cupsRasterClose(ras);
    if (fd != 0)
        close(fd);
    ppdClose(ppd);
    // The render object outlives the PPD; it must not reach it any more.
    g_pRender->ppd = nullptr;
    g_pRender->header = nullptr;
    cupsFreeOptions(numOptions, options);

    if (g_pRender->OutputFailed())
        return 1;
    if (Page == 0) {
        _cupsLangPrintFilter(stderr, "ERROR", "No pages were found.");
        return 1;
    }
    return 0;
}

void CCupsInstance::StartPage(ppd_file_t *, cups_page_header2_t *header, CMyBuffer &buffer)
{
    SysLog(LOG_DEBUG, "DEBUG: Duplex = %d\n", EnumField(header->Duplex));
    SysLog(LOG_DEBUG, "DEBUG: HWResolution = [ %d %d ]\n", header->HWResolution[0], header->HWResolution[1]);
    SysLog(LOG_DEBUG, "DEBUG: ImagingBoundingBox = [ %d %d %d %d ]\n", header->ImagingBoundingBox[0],
           header->ImagingBoundingBox[1], header->ImagingBoundingBox[2], header->ImagingBoundingBox[3]);
    SysLog(LOG_DEBUG, "DEBUG: Margins = [ %d %d ]\n", header->Margins[0], header->Margins[1]);
    SysLog(LOG_DEBUG, "DEBUG: ManualFeed = %d\n", EnumField(header->ManualFeed));
    SysLog(LOG_DEBUG, "DEBUG: MediaPosition = %d\n", header->MediaPosition);
    SysLog(LOG_DEBUG, "DEBUG: NumCopies = %d\n", header->NumCopies);
    SysLog(LOG_DEBUG, "DEBUG: Orientation = %d\n", EnumField(header->Orientation));
    SysLog(LOG_DEBUG, "DEBUG: PageSize = [ %d %d ]\n", header->PageSize[0], header->PageSize[1]);
    SysLog(LOG_DEBUG, "DEBUG: cupsWidth = %d\n", header->cupsWidth);
    SysLog(LOG_DEBUG, "DEBUG: cupsHeight = %d\n", header->cupsHeight);
    SysLog(LOG_DEBUG, "DEBUG: cupsMediaType = %d\n", header->cupsMediaType);
    SysLog(LOG_DEBUG, "DEBUG: cupsBitsPerColor = %d\n", header->cupsBitsPerColor);
    SysLog(LOG_DEBUG, "DEBUG: cupsBitsPerPixel = %d\n", header->cupsBitsPerPixel);
    SysLog(LOG_DEBUG, "DEBUG: cupsBytesPerLine = %d\n", header->cupsBytesPerLine);
    SysLog(LOG_DEBUG, "DEBUG: cupsColorOrder = %d\n", EnumField(header->cupsColorOrder));
    SysLog(LOG_DEBUG, "DEBUG: cupsColorSpace = %d\n", EnumField(header->cupsColorSpace));
    SysLog(LOG_DEBUG, "DEBUG: cupsCompression = %d\n", header->cupsCompression);

    CBaseRender *render = g_pRender;
    render->header = header;
    render->iDpi = static_cast<int>(header->HWResolution[0]);

    const bool built = buffer.GetBufferLength() == 0 && render->image.IsValid();
    if (!built && !render->image.CreateFromArray(reinterpret_cast<const uint8_t *>(buffer.GetBuffer()), header->cupsWidth,
                                       header->cupsHeight, header->cupsBitsPerPixel, header->cupsBytesPerLine,
                                       false)) {
        SysLog(LOG_ERR, "create image error\n");
        // A page that silently does not print would be a failure reported as success.
        _cupsLangPrintFilter(stderr, "ERROR", "Page %d cannot be printed: the page image could not be built (%s).",
                             Page, render->image.GetLastError());
        return;
    }
    SysLog(LOG_DEBUG, "create image width=%d, height=%d, bitsPerPixel=%d, bytesPerLine=%d", header->cupsWidth,
           header->cupsHeight, header->cupsBitsPerPixel, header->cupsBytesPerLine);
    render->image.SetXDPI(static_cast<int>(header->HWResolution[0]));
    render->image.SetYDPI(static_cast<int>(header->HWResolution[1]));

    render->OnStartPage();
    render->OnBeginBmp();
    render->OnPaintBmp();
    render->OnEndBmp();
}

void CCupsInstance::EndPage(ppd_file_t *, cups_page_header2_t *)
{
    g_pRender->OnEndPage();
}
