// A page that page preparation had to drop reaches no printer.
#include "printer_test_util.h"
#include "printers/driver_table.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <class T>
std::string PaintEmptyPage()
{
    printertest::SpoolCapture<T> render;
    render.iDpi = 203;
    render.regStruct.iGap[0] = kMediaGap;
    EXPECT_TRUE(render.OnPaintBmp());
    return render.All();
}

}  // namespace

TEST(DroppedPage, EveryBackEndSendsNothingForAnEmptyImage)
{
    EXPECT_EQ(PaintEmptyPage<CPrinterTSPL>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterESCPOS>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterCPCL>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterPeriPage>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterPaperang>(), "");
}
