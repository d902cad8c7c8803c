#include "filter/cups_instance.h"

#include "filter/cups_render.h"
#include "filter/filter_output.h"
#include "filter/system_log.h"
#include "printers/driver_table.h"

#include <cups/cups.h>
#include <cups/ppd.h>

#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <string>
#include <syslog.h>
#include <unistd.h>

// The scheduler's message functions of libcups: prefix, colon, blank, the
// localised message and a line end.
extern "C" int _cupsLangPrintFilter(FILE *fp, const char *prefix, const char *message, ...)
    __attribute__((format(printf, 3, 4)));
extern "C" int _cupsLangPrintError(const char *prefix, const char *message);

volatile sig_atomic_t Canceled = 0;

extern "C" void CancelJob(int)
{
    Canceled = 1;
}

namespace {
RenderFactory g_renderFactory = nullptr;
}

void SetRenderFactory(RenderFactory factory)
{
    g_renderFactory = factory;
}

CBaseRender *CreateRenderForModel(int modelNumber)
{
    if (g_renderFactory != nullptr)
        return g_renderFactory(modelNumber);
    const tagPrinterModel *model = FindModel(modelNumber);
    return model != nullptr ? CreateRender<CCupsRender>(model->language) : nullptr;
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

    modelNumber = ppd->model_number;
    SysLog(LOG_DEBUG, "ModelNumber = %d\n", modelNumber);

    CBaseRender *render = CreateRenderForModel(modelNumber);
    if (render == nullptr) {
        SysLog(LOG_ERR, "ERR: Unknow ModelNumber = %d\n", modelNumber);
        _cupsLangPrintFilter(stderr, "ERROR", "Unknow ModelNumber.");
        ppdClose(ppd);
        releaseEarly();
        return 1;
    }
    if (auto *binding = dynamic_cast<CCupsBinding *>(render); binding != nullptr)
        binding->ppd = ppd;

    CFilterOutput output;
    CPrintJob job(render, output);
    job.Start(modelName.c_str());

    cups_page_header2_t header;
    while (!job.Failed() && cupsRasterReadHeader2(ras, &header)) {
        if (Canceled)
            job.Cancel();
        if (job.IsCanceled())
            break;
        const int page = job.Pages() + 1;
        fprintf(stderr, "PAGE: %d 1\n", page);
        _cupsLangPrintFilter(stderr, "INFO", "Starting page %d.", page);

        if (job.BeginPage(header)) {
            ReadPageLines(ras, job.Lines());
            StartPage(job);
        } else {
            SkipPageLines(ras, header);
        }
        // A failed job has cut the printer stream: it ends here.
        if (job.Failed())
            break;
        _cupsLangPrintFilter(stderr, "INFO", "Finished page %d.", page);
        EndPage(job);
        if (Canceled)
            break;
    }

    const bool succeeded = job.Finish();

    cupsRasterClose(ras);
    if (fd != 0)
        close(fd);
    // The render object outlives the PPD; it must not reach it any more.
    if (auto *binding = dynamic_cast<CCupsBinding *>(job.Render()); binding != nullptr)
        binding->ppd = nullptr;
    ppdClose(ppd);
    cupsFreeOptions(numOptions, options);

    if (!succeeded)
        return 1;
    if (job.Pages() == 0) {
        _cupsLangPrintFilter(stderr, "ERROR", "No pages were found.");
        return 1;
    }
    return 0;
}

void CCupsInstance::StartPage(CPrintJob &job)
{
    job.PrintPage();
}

void CCupsInstance::EndPage(CPrintJob &job)
{
    job.EndPage();
}
