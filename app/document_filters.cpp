#include "app/document_filters.h"

#include "app/jpeg_image.h"
#include "app/picture_printer.h"
#include "app/png_image.h"
#include "printers/driver_table.h"

#include <cstring>

namespace {

template <class Picture>
bool PrintDocument(pappl_job_t *job, pappl_device_t *device, void *)
{
    int maxWidth = 0, maxHeight = 0;
    GreyPicture::Limits limits;
    limits.maxPixels = papplSystemGetMaxImageSize(papplPrinterGetSystem(papplJobGetPrinter(job)), &maxWidth, &maxHeight);
    limits.maxWidth = static_cast<uint32_t>(maxWidth);
    limits.maxHeight = static_cast<uint32_t>(maxHeight);
    Picture picture;
    const char *file = papplJobGetFilename(job);
    if (file == nullptr || !picture.Read(file, limits)) {
        const char *why = file == nullptr ? "the job has no document" : picture.Error().c_str();
        papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The picture cannot be printed: %s.", why);
        papplJobSetMessage(job, "The picture cannot be printed: %s.", why);
        papplJobSetReasons(job, PAPPL_JREASON_DOCUMENT_FORMAT_ERROR, PAPPL_JREASON_NONE);
        return false;
    }
    return PrintPicture(job, device, picture);
}

struct PictureFilter {
    const char *format;
    pappl_mime_filter_cb_t print;
};

constexpr PictureFilter kPictureFilters[] = {
    {"image/png", PrintDocument<PngImage>},
    {"image/jpeg", PrintDocument<JpegImage>},
};

}  // namespace

void AddDocumentFilters(pappl_system_t *system)
{
    for (const tagPrinterModel *model : AllModels())
        for (const PictureFilter &filter : kPictureFilters)
            papplSystemAddMIMEFilter(system, filter.format, model->rawMimeType, filter.print, nullptr);
}

bool HasDocumentFilter(const char *format, const char *driverFormat)
{
    if (format == nullptr)
        return false;
    for (const PictureFilter &filter : kPictureFilters)
        if (std::strcmp(format, filter.format) == 0)
            return true;
    return driverFormat != nullptr && std::strcmp(format, driverFormat) == 0;
}
