#include "app/printer_driver.h"

#include "app/document_filters.h"
#include "app/file_device.h"
#include "app/page_overrides.h"
#include "app/preview_web_page.h"
#include "app/printer_home_guard.h"
#include "app/printer_status.h"
#include "app/raw_document.h"
#include "app/raster_callbacks.h"
#include "app/serial_device.h"
#include "app/vendor_options.h"
#include "printers/driver_table.h"

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>
#include <sys/stat.h>

namespace {

bool g_loadingSavedPrinters = false;

// Why the device address does not reach a printer; empty when it may.
std::string DeviceProblem(const char *uri)
{
    const std::string address = uri != nullptr ? uri : "";
    if (address.rfind("serial:", 0) == 0) {
        const std::optional<SerialAddress> serial = ParseSerialUri(uri);
        if (!serial)
            return "Serial addresses are serial:/dev/NAME or serial:/dev/NAME?baud=RATE.";
        // A serial line that is unplugged or not yet bound (RFCOMM) is no
        // device file yet: it is checked when it opens.
        struct stat info{};
        if (stat(serial->path.c_str(), &info) != 0 && errno == ENOENT)
            return {};
        return SerialLineProblem(serial->path);
    }
    if (address.rfind("jobfile:", 0) == 0) {
        const std::optional<std::string> folder = ParseJobFileUri(uri);
        return folder ? JobFileFolderProblem(*folder) : "Job-file addresses are jobfile:/FOLDER.";
    }
    return {};
}

pappl_media_tracking_t Tracking(unsigned sensing)
{
    pappl_media_tracking_t tracking = 0;
    if ((sensing & kSenseContinuous) != 0)
        tracking |= PAPPL_MEDIA_TRACKING_CONTINUOUS;
    if ((sensing & kSenseGap) != 0)
        tracking |= PAPPL_MEDIA_TRACKING_GAP;
    if ((sensing & kSenseMark) != 0)
        tracking |= PAPPL_MEDIA_TRACKING_MARK;
    return tracking;
}

pappl_media_col_t DefaultMediaCol(const tagDriverInfo &driver)
{
    const tagPrinterModel &model = *driver.model;
    pappl_media_col_t media{};
    const pwg_media_t *size = pwgMediaForPWG(model.defaultMedia);
    std::snprintf(media.size_name, sizeof(media.size_name), "%s", model.defaultMedia);
    media.size_width = size != nullptr ? size->width : 0;
    media.size_length = size != nullptr ? size->length : 0;
    media.left_margin = media.right_margin = driver.sideMargin;
    std::snprintf(media.source, sizeof(media.source), "main-roll");
    std::snprintf(media.type, sizeof(media.type), "%s", model.defaultMediaType);
    media.tracking = Tracking(model.defaultSensing);
    return media;
}

pappl_kind_t KindOf(const tagPrinterModel &model)
{
    switch (model.printerClass) {
    case EPrinterClass::Label: return PAPPL_KIND_LABEL;
    case EPrinterClass::Mobile: return PAPPL_KIND_LABEL | PAPPL_KIND_RECEIPT | PAPPL_KIND_ROLL;
    case EPrinterClass::Receipt:
    case EPrinterClass::Pocket: break;
    }
    return PAPPL_KIND_RECEIPT | PAPPL_KIND_ROLL;
}

// Attributes PAPPL leaves to the driver, each true of these printers: one
// side only, nothing to colour-manage, no job preferences to report.
void AddFixedAttributes(ipp_t *attributes)
{
    ippAddBoolean(attributes, IPP_TAG_PRINTER, "preferred-attributes-supported", 0);
    ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-default", nullptr, "auto");
    ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "print-rendering-intent-supported", nullptr, "auto");
    ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "pwg-raster-document-sheet-back", nullptr, "normal");
}

// The value of an IEEE 1284 device ID key ("MFG:Acme;MDL:X1;"), under its
// short or long name, in capitals; empty when the ID has neither.
std::string DeviceIdValue(std::string_view id, std::string_view shortKey, std::string_view longKey)
{
    while (!id.empty()) {
        const size_t end = id.find(';');
        const std::string_view pair = id.substr(0, end);
        id = end == std::string_view::npos ? std::string_view() : id.substr(end + 1);
        const size_t colon = pair.find(':');
        if (colon == std::string_view::npos)
            continue;
        std::string_view key = pair.substr(0, colon);
        while (!key.empty() && key.front() == ' ')
            key.remove_prefix(1);
        if (key != shortKey && key != longKey)
            continue;
        std::string value(pair.substr(colon + 1));
        for (char &c : value)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return value;
    }
    return std::string();
}

// Whether a device ID value holds a pattern part (in capitals); an empty
// part matches anything.
bool Contains(const std::string &value, const char *part)
{
    return part == nullptr || *part == '\0' || value.find(part) != std::string::npos;
}

// Thermal printers have no display or sound of their own: the printer's web
// page shows the message.
void Identify(pappl_printer_t *printer, pappl_identify_actions_t, const char *message)
{
    papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "Identify-Printer: %s", message != nullptr ? message : "");
    DisplayMessage(printer, message);
}

}  // namespace

std::vector<pappl_pr_driver_t> PapplDrivers()
{
    std::vector<pappl_pr_driver_t> drivers;
    for (const tagDriverInfo *driver : AllDrivers())
        drivers.push_back({driver->name, driver->modelName, nullptr, nullptr});
    return drivers;
}

void SetLoadingSavedPrinters(bool loading)
{
    g_loadingSavedPrinters = loading;
}

bool DescribeDriver(pappl_system_t *system, const char *driverName, const char *deviceUri, const char *,
                    pappl_pr_driver_data_t *data, ipp_t **attributes, void *)
{
    const tagDriverInfo *driver = driverName != nullptr ? FindDriver(driverName) : nullptr;
    if (driver == nullptr || data == nullptr || attributes == nullptr)
        return false;
    const tagPrinterModel &model = *driver->model;
    // PAPPL asks the driver before it makes a printer, whether by IPP, the
    // web page or the command line; it checks no more than the scheme.
    if (const std::string problem = DeviceProblem(deviceUri); !problem.empty()) {
        if (!g_loadingSavedPrinters) {
            papplLog(system, PAPPL_LOGLEVEL_ERROR, "Refused device '%s': %s", deviceUri, problem.c_str());
            return false;
        }
        papplLog(system, PAPPL_LOGLEVEL_WARN, "Saved printer on device '%s' will not print: %s", deviceUri,
                 problem.c_str());
    }

    data->rstartjob_cb = StartRasterJob;
    data->rstartpage_cb = StartRasterPage;
    data->rwriteline_cb = WriteRasterLine;
    data->rendpage_cb = EndRasterPage;
    data->rendjob_cb = EndRasterJob;
    data->identify_cb = Identify;
    data->delete_cb = [](pappl_printer_t *printer, pappl_pr_driver_data_t *) {
        RemovePreviewPage(printer);
        ForgetPrinterStatus(printer);
    };
    data->status_cb = RefreshPrinterStatus;
    // PNG and JPEG reach dotweave's document filters to this type; documents
    // of this type are the printer's own commands, passed on unchanged.
    data->format = model.rawMimeType;
    data->printfile_cb = PrintRawDocument;

    std::snprintf(data->make_and_model, sizeof(data->make_and_model), "dotweave %s", driver->modelName);
    data->ppm = 10;
    data->kind = KindOf(model);
    data->has_supplies = true;
    data->orient_default = IPP_ORIENT_PORTRAIT;
    data->color_supported = PAPPL_COLOR_MODE_AUTO | PAPPL_COLOR_MODE_MONOCHROME | PAPPL_COLOR_MODE_BI_LEVEL;
    data->color_default = PAPPL_COLOR_MODE_MONOCHROME;
    data->content_default = PAPPL_CONTENT_AUTO;
    data->quality_default = IPP_QUALITY_NORMAL;
    data->scaling_default = PAPPL_SCALING_AUTO;
    // dotweave half-tones the page itself: PAPPL hands over 8-bit grey.
    data->raster_types = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->force_raster_type = PAPPL_PWG_RASTER_TYPE_SGRAY_8;
    data->duplex = PAPPL_DUPLEX_NONE;
    data->sides_supported = PAPPL_SIDES_ONE_SIDED;
    data->sides_default = PAPPL_SIDES_ONE_SIDED;
    data->num_resolution = 1;
    data->x_resolution[0] = data->y_resolution[0] = driver->dpi;
    data->x_default = data->y_default = driver->dpi;
    data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;

    data->left_right = driver->sideMargin;
    data->bottom_top = 0;
    data->num_media = 0;
    for (const char *name : model.mediaSizes)
        data->media[data->num_media++] = name;
    data->media[data->num_media++] = model.customMin;
    data->media[data->num_media++] = driver->customMax;
    data->media_default = DefaultMediaCol(*driver);
    data->num_source = 1;
    data->source[0] = "main-roll";
    data->media_ready[0] = data->media_default;

    data->num_type = 0;
    for (const tagMediaType &type : model.mediaTypes)
        data->type[data->num_type++] = type.ippType;
    data->tracking_supported = Tracking(model.sensingSupported);
    data->top_offset_supported[0] = -model.topOffsetRange;
    data->top_offset_supported[1] = model.topOffsetRange;
    data->left_offset_supported[0] = -model.leftOffsetRange;
    data->left_offset_supported[1] = model.leftOffsetRange;

    if (model.darknessLevels > 0) {
        data->darkness_supported = model.darknessLevels;
        data->darkness_configured = 50;
        data->darkness_default = 0;
    }
    if (model.maxSpeedIps > 0) {
        data->speed_supported[0] = 2540;
        data->speed_supported[1] = model.maxSpeedIps * 2540;
        data->speed_default = 0;
    }

    *attributes = ippNew();
    AddFixedAttributes(*attributes);
    const std::vector<std::string> overridable = OverridableAttributes(*driver);
    std::vector<const char *> names;
    for (const std::string &name : overridable)
        names.push_back(name.c_str());
    ippAddStrings(*attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "overrides-supported", static_cast<int>(names.size()),
                  nullptr, names.data());
    AddVendorAttributes(*driver, *data, *attributes);
    return true;
}

const char *MatchDriver(const char *, const char *, const char *deviceId, void *)
{
    if (deviceId == nullptr)
        return nullptr;
    const std::string manufacturer = DeviceIdValue(deviceId, "MFG", "MANUFACTURER");
    const std::string model = DeviceIdValue(deviceId, "MDL", "MODEL");
    const std::string commandSet = DeviceIdValue(deviceId, "CMD", "COMMAND SET");
    for (const tagPrinterModel *printerModel : AllModels())
        for (const tagDeviceIdMatch &match : printerModel->deviceIds)
            if (Contains(manufacturer, match.manufacturer) && Contains(model, match.model) &&
                Contains(commandSet, match.commandSet))
                return match.driver;
    return nullptr;
}

void LimitActiveJobs(pappl_printer_t *printer, void *)
{
    // PAPPL 1.3.1's AppSocket listener takes a connection only while the
    // printer has fewer active jobs than its limit, and a limit of 0
    // ("none", the default with several printers) lets it take none. With
    // the listener on, a limit no counter reaches keeps it working.
    const bool rawSocket = (papplSystemGetOptions(papplPrinterGetSystem(printer)) & PAPPL_SOPTIONS_RAW_SOCKET) != 0;
    papplPrinterSetMaxActiveJobs(printer, rawSocket ? kMaxActiveJobsWithRawSocket : 0);
}

void SetUpPrinter(pappl_printer_t *printer, void *)
{
    LimitActiveJobs(printer, nullptr);
    SetPrinterSupplies(printer, -1);
    AddPreviewPage(printer);
    GuardPrinterHomePage(printer);
}
