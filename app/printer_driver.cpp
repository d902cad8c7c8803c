#include "app/printer_driver.h"

#include "app/document_filters.h"
#include "app/driver_table.h"
#include "app/file_device.h"
#include "app/job_settings.h"
#include "app/media_types.h"
#include "app/page_overrides.h"
#include "app/preview_web_page.h"
#include "app/printer_home_guard.h"
#include "app/raster_callbacks.h"
#include "app/raw_formats.h"
#include "app/serial_device.h"
#include "app/vendor_options.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
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

pappl_media_col_t DefaultMediaCol(const DriverRow &row)
{
    pappl_media_col_t media{};
    const pwg_media_t *size = pwgMediaForPWG(row.defaultMedia);
    std::snprintf(media.size_name, sizeof(media.size_name), "%s", row.defaultMedia);
    media.size_width = size != nullptr ? size->width : 0;
    media.size_length = size != nullptr ? size->length : 0;
    media.left_margin = media.right_margin = row.sideMargin;
    std::snprintf(media.source, sizeof(media.source), "main-roll");
    std::snprintf(media.type, sizeof(media.type), "%s", DefaultMediaType(row.engine.printerClass));
    media.tracking = DefaultTracking(row.engine.printerClass);
    return media;
}

pappl_kind_t KindOf(const DriverRow &row)
{
    switch (row.engine.printerClass) {
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

void AddVendorAttributes(const DriverRow &row, pappl_pr_driver_data_t &data, ipp_t *attributes)
{
    for (const VendorOption &option : VendorOptions()) {
        if (!Offers(row, option) || data.num_vendor >= PAPPL_MAX_VENDOR)
            continue;
        data.vendor[data.num_vendor++] = option.attribute;
        const std::string supported = std::string(option.attribute) + "-supported";
        const std::string byDefault = std::string(option.attribute) + "-default";
        const std::string value = IppValue(option, DefaultChoice(row, option));
        switch (option.kind) {
        case VendorKind::Keyword: {
            std::vector<const char *> names;
            for (const VendorChoice &choice : option.choices)
                names.push_back(choice.ipp);
            ippAddStrings(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(),
                          static_cast<int>(names.size()), nullptr, names.data());
            ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, byDefault.c_str(), nullptr, value.c_str());
            break;
        }
        case VendorKind::Integer:
            ippAddRange(attributes, IPP_TAG_PRINTER, supported.c_str(), option.min, option.max);
            ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER, byDefault.c_str(), std::stoi(value));
            break;
        case VendorKind::Boolean:
            ippAddBoolean(attributes, IPP_TAG_PRINTER, supported.c_str(), 1);
            ippAddBoolean(attributes, IPP_TAG_PRINTER, byDefault.c_str(), value == "true");
            break;
        }
    }
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
    for (const DriverRow &row : AppDrivers())
        drivers.push_back({row.name, row.engine.modelName, nullptr, nullptr});
    return drivers;
}

void SetLoadingSavedPrinters(bool loading)
{
    g_loadingSavedPrinters = loading;
}

bool DescribeDriver(pappl_system_t *system, const char *driverName, const char *deviceUri, const char *,
                    pappl_pr_driver_data_t *data, ipp_t **attributes, void *)
{
    const DriverRow *row = FindAppDriver(driverName);
    if (row == nullptr || data == nullptr || attributes == nullptr)
        return false;
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
    data->delete_cb = [](pappl_printer_t *printer, pappl_pr_driver_data_t *) { RemovePreviewPage(printer); };
    // PNG and JPEG reach dotweave's document filters to this type.
    data->format = RawFormat(row->engine.language);
    data->printfile_cb = RefuseRawDocument;

    std::snprintf(data->make_and_model, sizeof(data->make_and_model), "dotweave %s", row->engine.modelName);
    data->ppm = 10;
    data->kind = KindOf(*row);
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
    data->x_resolution[0] = data->y_resolution[0] = row->engine.dpi;
    data->x_default = data->y_default = row->engine.dpi;
    data->identify_supported = PAPPL_IDENTIFY_ACTIONS_DISPLAY;
    data->identify_default = PAPPL_IDENTIFY_ACTIONS_DISPLAY;

    data->left_right = row->sideMargin;
    data->bottom_top = 0;
    data->num_media = 0;
    for (const char *name : row->media)
        data->media[data->num_media++] = name;
    data->media[data->num_media++] = row->customMin;
    data->media[data->num_media++] = row->customMax;
    data->media_default = DefaultMediaCol(*row);
    data->num_source = 1;
    data->source[0] = "main-roll";
    data->media_ready[0] = data->media_default;

    data->num_type = 0;
    for (const MediaTypeRow &type : MediaTypes(row->engine.printerClass))
        data->type[data->num_type++] = type.type;
    data->tracking_supported = SupportedTracking(row->engine.printerClass);
    const int top = TopOffsetRange(*row);
    const int left = LeftOffsetRange(*row);
    data->top_offset_supported[0] = -top;
    data->top_offset_supported[1] = top;
    data->left_offset_supported[0] = -left;
    data->left_offset_supported[1] = left;

    if (const int levels = DarknessLevels(*row); levels > 0) {
        data->darkness_supported = levels;
        data->darkness_configured = 50;
        data->darkness_default = 0;
    }
    if (const int ips = MaxSpeedIps(*row); ips > 0) {
        data->speed_supported[0] = 2540;
        data->speed_supported[1] = ips * 2540;
        data->speed_default = 0;
    }

    *attributes = ippNew();
    AddFixedAttributes(*attributes);
    const std::vector<std::string> overridable = OverridableAttributes(*row);
    std::vector<const char *> names;
    for (const std::string &name : overridable)
        names.push_back(name.c_str());
    ippAddStrings(*attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, "overrides-supported", static_cast<int>(names.size()),
                  nullptr, names.data());
    AddVendorAttributes(*row, *data, *attributes);
    return true;
}

const char *MatchDriver(const char *, const char *, const char *deviceId, void *)
{
    if (deviceId == nullptr)
        return nullptr;
    const std::string id = deviceId;
    if (id.find("TSPL") != std::string::npos)
        return "tspl_203dpi";
    if (id.find("ESC/POS") != std::string::npos || id.find("ESCPOS") != std::string::npos)
        return "escpos_203dpi";
    if (id.find("CPCL") != std::string::npos)
        return "cpcl_203dpi";
    return nullptr;
}

void SetUpPrinter(pappl_printer_t *printer, void *)
{
    // Thermal printers burn the paper itself: the roll is the one supply,
    // and they report no level for it.
    pappl_supply_t supply{};
    supply.color = PAPPL_SUPPLY_COLOR_NO_COLOR;
    std::snprintf(supply.description, sizeof(supply.description), "Thermal paper");
    supply.is_consumed = true;
    supply.level = -1;
    supply.type = PAPPL_SUPPLY_TYPE_OTHER;
    papplPrinterSetSupplies(printer, 1, &supply);
    AddPreviewPage(printer);
    GuardPrinterHomePage(printer);
}
