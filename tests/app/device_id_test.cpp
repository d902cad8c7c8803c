// Printers found on USB are matched to a driver by their IEEE 1284 device
// ID; what is not recognised is left alone.
#include "app/printer_driver.h"

#include <gtest/gtest.h>

#include <string>

namespace {

struct IdCase {
    const char *deviceId;
    const char *driver;  // null: not recognised
};

const IdCase kCases[] = {
    {"MFG:TSC;CMD:TSPL2;MDL:TE200;CLS:PRINTER;", "tspl_203dpi"},
    {"MFG:TSC;CMD:TSPL2;MDL:TE310;CLS:PRINTER;", "tspl_300dpi"},
    {"MFG:TSC;MDL:TTP-345;CLS:PRINTER;", "tspl_300dpi"},
    {"MFG:TSC;MDL:TTP-244 Pro;CLS:PRINTER;", "tspl_203dpi"},
    {"MANUFACTURER:Xprinter;COMMAND SET:TSPL;MODEL:XP-420B 300dpi;", "tspl_300dpi"},
    {"MFG:Xprinter;CMD:tspl;MDL:XP-365B;", "tspl_203dpi"},  // letter case aside
    {"MFG:EPSON;CMD:ESCPOS;MDL:TM-T20II;CLS:PRINTER;", "escpos_203dpi"},
    {"MFG:EPSON;MDL:TM-T88V;CLS:PRINTER;", "escpos_203dpi"},
    {"MFG:POS-80;CMD:ESC/POS;MDL:POS-80C;", "escpos_203dpi"},
    {"MFG:Zebra Technologies;CMD:CPCL,ZPL;MDL:QLn220;", "cpcl_203dpi"},
    {"MFG:Zebra Technologies;CMD:ZPL;MDL:ZD420;", nullptr},  // ZPL only
    {"MFG:PAPERANG;MDL:P2S;", "paperang_300dpi"},
    {"MFG:Paperang;MDL:P1;", "paperang_203dpi"},
    {"MFG:PeriPage;MDL:A6+;", "peripage_300dpi"},
    {"MFG:PeriPage;MDL:A6;", "peripage_203dpi"},
    // Other printers, and IDs without the keys, stay unmatched.
    {"MFG:EPSON;CMD:ESCPL2,BDC;MDL:ET-2750;", nullptr},
    {"MFG:HP;CMD:PCL,PJL;MDL:LaserJet;", nullptr},
    {"MDL:TSPL;CLS:PRINTER;", nullptr},  // the language named in the wrong key
    {"", nullptr},
    {";;;:;", nullptr},
};

TEST(DeviceId, MatchesKnownPrintersAndNothingElse)
{
    for (const IdCase &c : kCases) {
        SCOPED_TRACE(c.deviceId);
        const char *driver = MatchDriver("", "usb://x", c.deviceId, nullptr);
        EXPECT_EQ(driver != nullptr ? std::string(driver) : "(none)", c.driver != nullptr ? c.driver : "(none)");
    }
    EXPECT_EQ(MatchDriver("", "usb://x", nullptr, nullptr), nullptr);
}

}  // namespace
