// A page that page preparation had to drop reaches no printer.
#include "render/cups_render.h"

#include <gtest/gtest.h>

#include <string>

namespace {

template <class T>
class Capture : public CCupsRender<T> {
public:
    void WriteSpool(const void *data, int length) override
    {
        if (length > 0)
            written.append(static_cast<const char *>(data), static_cast<size_t>(length));
    }
    std::string written;
};

template <class T>
std::string PaintEmptyPage()
{
    Capture<T> *render = new Capture<T>();
    render->iDpi = 203;
    render->regStruct.iGap[0] = 1;
    render->OnPaintBmp();
    std::string written = render->written;
    render->Release();
    return written;
}

}  // namespace

TEST(DroppedPage, EveryBackEndSendsNothingForAnEmptyImage)
{
    EXPECT_EQ(PaintEmptyPage<CPrinterTSPL>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterESCPOS>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterCPCL>(), "");
    EXPECT_EQ(PaintEmptyPage<CPrinterPeriPage>(), "");
    testing::internal::CaptureStderr();
    EXPECT_EQ(PaintEmptyPage<CPrinterPaperang>(), "");
    testing::internal::GetCapturedStderr();
}
