#pragma once

#include "render/page_layout.h"

#include <cups/raster.h>
#include <pappl/pappl.h>

#include <optional>

struct tagDriverInfo;

// A job's pages laid out on the media loaded in its printer: the size of
// every page printed, whatever size the client sent, with the job's
// print-scaling and orientation-requested.
class MediaFit {
public:
    // Empty when the printer has no media of a known size.
    static std::optional<MediaFit> ForJob(pappl_job_t *job, const pappl_pr_options_t &options,
                                          const tagDriverInfo &driver);

    // Whether a client's page is printed as it came: it is already the
    // loaded media's size (on a roll, its width), or not at the printer's
    // resolution, which the engine judges on its own.
    bool Keeps(const cups_page_header2_t &page) const;
    // Where content of that box lands, as the page's orientation-requested
    // asks; ppi: its pixels per inch, 0 unknown.
    std::optional<tagPageLayout> Place(const tagPageBox &content, uint32_t ppi, ipp_orient_t orientation) const;
    // The header of the laid-out page, from the header of the page sent.
    cups_page_header2_t Header(const cups_page_header2_t &page, const tagPageLayout &layout) const;

    const tagLayoutMedia &Media() const { return media; }

private:
    tagLayoutMedia media;
    pappl_media_col_t loaded{};
    EPageScaling scaling = EPageScaling::Auto;
};
