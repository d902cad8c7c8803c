#pragma once

#include "render/base_render.h"
#include "render/job_output.h"
#include "render/obj_ref.h"
#include "render/page_assembler.h"
#include "render/settings.h"

#include <cups/raster.h>

#include <atomic>
#include <cstddef>
#include <cstdint>

// One print job through the engine: its render object, its pages and its
// state, and nothing shared with any other job. Both front ends drive it the
// same way: Start, then per page BeginPage, the page's lines, PrintPage and
// EndPage, and Finish at the end. A front end may run many jobs at once, one
// thread each; Cancel may come from any thread.
class CPrintJob {
public:
    // Adopts the render object (its initial reference) and sends everything
    // the job produces to `output`, which must outlive the job.
    CPrintJob(CBaseRender *render, IJobOutput &output);
    CPrintJob(const CPrintJob &) = delete;
    CPrintJob &operator=(const CPrintJob &) = delete;

    CBaseRender *Render() const { return render; }

    // Takes the job's settings, `settings` or, without them, the render
    // object's own (GetPrinterParameters), names the model and starts the
    // document. False when the job cannot go on.
    bool Start(const char *modelName, const tagJobSettings *settings = nullptr);

    // Settings for the next page only (a page that IPP overrides cover), in
    // place of the job's, which come back at EndPage.
    void OverridePage(const tagJobSettings &settings);

    // Starts the next page from its raster header: counts it, and creates
    // the page image. False, with the reason reported, when no image can
    // come from the header or memory runs out for it: the caller then drops
    // the page's lines, and calls EndPage.
    bool BeginPage(const cups_page_header2_t &header);
    // Counts the next page as one the front end found it cannot print, and
    // reports it as BeginPage reports its own refusals; the caller drops the
    // page's lines and calls EndPage.
    void SkipPage(const cups_page_header2_t &header, const char *reason);
    // Where the lines of a begun page go, one or many at a time.
    CPageAssembler &Lines() { return lines; }
    // The next line of the begun page (the bytes past the image row are
    // dropped).
    void AddLine(const uint8_t *line, size_t length) { lines.AddLine(line, length); }
    // Prints the begun page: rows no line reached are white, and the page
    // goes through preparation and the back-end. False when the job cannot go
    // on (its reason reported).
    bool PrintPage();
    // Ends the page, printed or not.
    bool EndPage();
    // Ends the document. False when the job failed at any point.
    bool Finish();

    void Cancel() { canceled.store(true, std::memory_order_relaxed); }
    bool IsCanceled() const { return canceled.load(std::memory_order_relaxed); }
    // Pages begun so far.
    int Pages() const { return pages; }
    bool Failed() const { return render == nullptr || render->Failed() || outOfMemory; }

private:
    // Runs an engine step; memory running out fails this job, never the
    // process or another job.
    template <class Step>
    bool Guarded(Step step);
    // Reports the current page as one that cannot be printed.
    void Refuse(const char *reason);
    void LogHeader();

    CStdRefPtr<CBaseRender> render;
    IJobOutput &output;
    CPageAssembler lines;
    cups_page_header2_t header{};
    bool pageReady = false;
    // The job's own settings while a page has its own.
    bool overridden = false;
    tagJobSettings jobSettings;
    int pages = 0;
    std::atomic<bool> canceled{false};
    bool outOfMemory = false;
};
