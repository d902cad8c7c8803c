#pragma once

#include "render/job_options.h"

#include <cstdint>
#include <span>
#include <string_view>

// What one printer language is, as data: the facts both front ends need
// about its printers. Each back-end has its model beside it
// (printer_tspl_model.cpp, ...); the CUPS filter finds a model by the PPD's
// model number, the printer application by the driver name.

// The printer languages dotweave speaks, one back-end each.
enum class EPrinterLanguage { TSPL, ESCPOS, CPCL, Paperang, PeriPage };

// What kind of printer a language's drivers are for.
enum class EPrinterClass { Label, Receipt, Mobile, Pocket };

// How the printer finds the start of the next label, as IPP's
// media-tracking names it.
enum EMediaSensing : unsigned { kSenseContinuous = 1, kSenseGap = 2, kSenseMark = 4 };

struct tagPrinterModel;

// One printer description: one resolution of a language, shipped as a PPD.
struct tagDriverInfo {
    const char *name;         // driver name, "tspl_203dpi"
    const char *modelName;    // the PPD's ModelName without the manufacturer
    const char *ppdFileName;  // the PPD it ships as
    int dpi;
    int sideMargin;           // left and right margin, hundredths of mm
    const char *customMax;    // the largest custom size, a PWG name
    const tagPrinterModel *model;
};

// A paper kind a printer takes: an IPP media-type, and the PPD's
// zeMediaTracking choice it is; null where IPP's media-tracking tells
// (continuous, gaps or black marks).
struct tagMediaType {
    const char *ippType;
    const char *kind;
};

// A setting a language takes, with its default.
struct tagModelOption {
    EJobOption option;
    int32_t defaultValue;
};

// An IEEE 1284 device ID pattern: each non-empty part, in capitals, must
// occur in the ID's manufacturer, model or command set (letter case aside).
struct tagDeviceIdMatch {
    const char *manufacturer;
    const char *model;
    const char *commandSet;
    const char *driver;
};

struct tagPrinterModel {
    const char *name;          // the language's name, the PPDs' Personality
    EPrinterLanguage language;
    int modelNumber;           // the PPDs' cupsModelNumber
    EPrinterClass printerClass;
    std::span<const tagDriverInfo> drivers;

    // Media: PWG size names in the PPD's order, the custom size range,
    // paper kinds and how the printer finds the next label.
    std::span<const char *const> mediaSizes;
    const char *defaultMedia;
    const char *customMin;
    std::span<const tagMediaType> mediaTypes;
    const char *defaultMediaType;
    unsigned sensingSupported;  // EMediaSensing bits
    EMediaSensing defaultSensing;

    // Settings beyond IPP's own attributes, with their defaults; what a
    // printer cannot do (cut, open a drawer, take compressed bitmaps) it
    // does not list.
    std::span<const tagModelOption> options;
    // Capabilities of IPP's own attributes; 0 where the language has none.
    int darknessLevels;        // darkness settings 0 .. levels - 1
    int maxSpeedIps;           // speeds 1 .. max inches per second
    int topOffsetRange;        // shifts in hundredths of mm, each way
    int leftOffsetRange;

    std::span<const tagDeviceIdMatch> deviceIds;
    const char *rawMimeType;   // the language's own stream as a document format
    const char *streamName;    // the language as dotweave-preview names it
};

// Whether the language takes the option, and its default where it does.
bool Takes(const tagPrinterModel &model, EJobOption option);
int32_t DefaultValue(const tagPrinterModel &model, EJobOption option);
// The paper kind (a zeMediaTracking choice) of an IPP media-type sensed
// the given way (EMediaSensing, 0 when not said); null when the printer has
// no such type or cannot sense that way.
const char *MediaKindOf(const tagPrinterModel &model, std::string_view ippType, unsigned sensing);
