// PNG documents. PAPPL 1.3.1's own PNG step prints a colour picture's red
// channel as its grey (red text comes out white) and reads grey pictures of
// fewer than 8 bits as nearly black; it also copies grey pixels to the
// printer's lines one library call per pixel. PAPPL reaches that step
// through its symbol table, so this executable's definition of it runs
// instead: the picture is read by PngImage and laid out by PAPPL's own
// papplJobFilterImage, as before.
#include "app/png_image.h"

#include <pappl/pappl.h>

extern "C" __attribute__((visibility("default"))) bool _papplJobFilterPNG(pappl_job_t *job, pappl_device_t *device,
                                                                          void *)
{
    int maxWidth = 0, maxHeight = 0;
    PngImage::Limits limits;
    limits.maxPixels = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), &maxWidth, &maxHeight);
    limits.maxWidth = static_cast<uint32_t>(maxWidth);
    limits.maxHeight = static_cast<uint32_t>(maxHeight);
    PngImage image;
    const char *file = papplJobGetFilename(job);
    if (file == nullptr || !image.Read(file, limits)) {
        const char *why = file == nullptr ? "the job has no document" : image.Error().c_str();
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The picture cannot be printed: %s.", why);
        papplJobSetMessage(job, "The picture cannot be printed: %s.", why);
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    // Pixels that are not square have no single size in inches: the picture
    // is fitted to the label instead.
    const int ppi = image.XPpi() == image.YPpi() ? static_cast<int>(image.XPpi()) : 0;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "PNG image dimensions are %ux%u, %d pixels per inch", image.Width(),
                image.Height(), ppi);

    pappl_pr_options_t *options = papplJobCreatePrintOptions(job, 1, false);
    if (options == nullptr)
        return false;
    // PAPPL lays out black-on-white grey (0 is paper) in a tight loop, while
    // it copies white-on-black grey a pixel at a time: ask for the former,
    // the raster callbacks turn the lines back.
    if (options->header.cupsBitsPerPixel == 8 && options->header.cupsColorSpace == CUPS_CSPACE_SW)
        options->header.cupsColorSpace = CUPS_CSPACE_K;
    const bool printed =
        papplJobFilterImage(job, device, options, image.Pixels().data(), static_cast<int>(image.Width()),
                            static_cast<int>(image.Height()), 1, ppi, false);
    papplJobDeletePrintOptions(options);
    return printed;
}
