#include "app/raw_formats.h"

namespace {

// The names other printer applications use where there are any; Paperang
// and PeriPage streams have none, so they carry the project's own.
constexpr const char *kRawFormats[] = {
    "application/vnd.tsc-tspl",         "application/vnd.epson-escpos",       "application/vnd.zebra-cpcl",
    "application/vnd.dotweave-paperang", "application/vnd.dotweave-peripage",
};

}  // namespace

const char *RawFormat(EPrinterLanguage language)
{
    switch (language) {
    case EPrinterLanguage::TSPL: return kRawFormats[0];
    case EPrinterLanguage::ESCPOS: return kRawFormats[1];
    case EPrinterLanguage::CPCL: return kRawFormats[2];
    case EPrinterLanguage::Paperang: return kRawFormats[3];
    case EPrinterLanguage::PeriPage: return kRawFormats[4];
    }
    return kRawFormats[0];
}

std::span<const char *const> RawFormats()
{
    return kRawFormats;
}
