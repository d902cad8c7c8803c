// Reference counting and the hook order the job driver drives.
#include "filter/cups_instance.h"
#include "filter/system_log.h"
#include "filter/cups_render.h"
#include "support/ppd_writer.h"
#include "support/raster_writer.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::vector<std::string> g_calls;
int g_destroyed = 0;

// A TSPL render object that records every hook instead of printing.
class RecordingRender : public CCupsRender<CPrinterTSPL> {
public:
    ~RecordingRender() override { ++g_destroyed; }
    bool OnStartDoc(unsigned long) override { return Record("OnStartDoc"); }
    bool OnEndDoc() override
    {
        g_calls.push_back("OnEndDoc");
        return CCupsRender<CPrinterTSPL>::OnEndDoc();
    }
    bool OnInit() override { return Record("OnInit"); }
    bool OnDestroy() override { return Record("OnDestroy"); }
    bool OnStartPage() override { return Record("OnStartPage"); }
    bool OnEndPage() override { return Record("OnEndPage"); }
    bool OnBeginBmp() override
    {
        g_calls.push_back("OnBeginBmp");
        return CCupsRender<CPrinterTSPL>::OnBeginBmp();
    }
    bool OnEndBmp() override { return Record("OnEndBmp"); }
    bool OnPaintBmp() override { return Record("OnPaintBmp"); }
    bool WriteSpool(const void *, int) override { return Record("WriteSpool"); }
    void GetPrinterParameters() override
    {
        g_calls.push_back("GetPrinterParameters");
        CCupsRender<CPrinterTSPL>::GetPrinterParameters();
    }

private:
    static bool Record(const char *hook)
    {
        g_calls.push_back(hook);
        return true;
    }
};

CBaseRender *MakeRecordingRender(int)
{
    g_calls.push_back("create");
    return new RecordingRender();
}

void IgnoreLog(int, const char *) {}

class HookOrder : public ::testing::Test {
protected:
    void SetUp() override
    {
        g_calls.clear();
        g_destroyed = 0;
        SetRenderFactory(MakeRecordingRender);
        SetSystemLogTap(IgnoreLog);
        WritePpdFile(dir.File("test.ppd"), PpdDescription{});
        setenv("PPD", dir.File("test.ppd").c_str(), 1);
    }
    void TearDown() override
    {
        SetRenderFactory(nullptr);
        SetSystemLogTap(nullptr);
        unsetenv("PPD");
    }
    int RunJob(const std::vector<RasterPage> &pages)
    {
        const std::string raster = dir.File("job.ras");
        WriteRasterFile(raster, pages);
        std::vector<std::string> words = {"dotweave", "1", "user", "title", "1", "", raster};
        std::vector<char *> argv;
        for (std::string &word : words)
            argv.push_back(word.data());
        CCupsInstance instance;
        testing::internal::CaptureStderr();
        const int status = instance.Run(static_cast<int>(argv.size()), argv.data());
        testing::internal::GetCapturedStderr();
        return status;
    }

    ScopedTempDir dir;
};

TEST_F(HookOrder, JobOfThreePages)
{
    EXPECT_EQ(RunJob({MakeRasterPage(32, 2, 1), MakeRasterPage(32, 2, 8), MakeRasterPage(32, 2, 24)}), 0);
    std::vector<std::string> expected = {"create", "GetPrinterParameters", "OnStartDoc"};
    for (int page = 0; page < 3; ++page) {
        for (const char *hook : {"OnStartPage", "OnBeginBmp"})
            expected.push_back(hook);
        if (page == 0)
            expected.push_back("OnInit");  // once, inside the first page's OnBeginBmp
        for (const char *hook : {"OnPaintBmp", "OnEndBmp", "OnEndPage"})
            expected.push_back(hook);
    }
    expected.push_back("OnEndDoc");
    expected.push_back("OnDestroy");
    EXPECT_EQ(g_calls, expected);

    // The render object belongs to the job: it is gone with it.
    EXPECT_EQ(g_destroyed, 1);
}

TEST_F(HookOrder, JobWithoutPagesNeverInitialises)
{
    const std::string empty = dir.File("empty.ras");
    WriteFileBytes(empty, "");
    std::vector<std::string> words = {"dotweave", "1", "user", "title", "1", "", empty};
    std::vector<char *> argv;
    for (std::string &word : words)
        argv.push_back(word.data());
    CCupsInstance instance;
    testing::internal::CaptureStderr();
    EXPECT_EQ(instance.Run(static_cast<int>(argv.size()), argv.data()), 1);
    testing::internal::GetCapturedStderr();
    const std::vector<std::string> expected = {"create", "GetPrinterParameters", "OnStartDoc", "OnEndDoc",
                                               "OnDestroy"};
    EXPECT_EQ(g_calls, expected);
}

TEST_F(HookOrder, RefusedPageSkipsItsBitmapHooksButEndsThePage)
{
    EXPECT_EQ(RunJob({MakeRasterPage(32, 2, 16), MakeRasterPage(32, 2, 8)}), 0);
    const std::vector<std::string> expected = {
        "create",     "GetPrinterParameters", "OnStartDoc", "OnEndPage",  "OnStartPage", "OnBeginBmp", "OnInit",
        "OnPaintBmp", "OnEndBmp",             "OnEndPage",  "OnEndDoc",   "OnDestroy"};
    EXPECT_EQ(g_calls, expected);
}

TEST(RenderObject, FreshObjectHasItsDefaults)
{
    CCupsRender<CPrinterTSPL> *render = new CCupsRender<CPrinterTSPL>();
    EXPECT_EQ(render->GetRefCount(), 1);
    EXPECT_FALSE(render->initialized);
    EXPECT_FALSE(render->Failed());
    EXPECT_EQ(render->ppd, nullptr);
    EXPECT_EQ(render->header, nullptr);
    EXPECT_TRUE(render->modelName.empty());
    EXPECT_FALSE(render->image.IsValid());
    const tagREGSTRUCT &reg = render->regStruct;
    EXPECT_EQ(reg.iSpeed, 14);
    EXPECT_EQ(reg.iDensity, 8);
    EXPECT_EQ(reg.iScale, 100);
    EXPECT_TRUE(reg.iPauseKey);
    EXPECT_TRUE(reg.iWaterMark);
    EXPECT_EQ(reg.iGap[1], 3);
    EXPECT_EQ(render->halftone.iGrayMethod, 3);
    EXPECT_EQ(render->halftone.iThreValue, 175);
    EXPECT_EQ(render->waterMark.iColor, 16777215);
    EXPECT_EQ(render->waterMark.iScaleY, 100);
    EXPECT_EQ(render->Release(), 0);
}

TEST(RenderObject, SmartPointerAdoptsAndReleases)
{
    g_destroyed = 0;
    {
        CStdRefPtr<CBaseRender> holder;
        RecordingRender *object = new RecordingRender();
        holder = MakeRefPtr<CBaseRender>(object);
        EXPECT_EQ(object->GetRefCount(), 1);
        // Assigning the pointer already held changes nothing.
        holder = MakeRefPtr<CBaseRender>(object);
        EXPECT_EQ(object->GetRefCount(), 1);
        EXPECT_TRUE(holder == static_cast<CBaseRender *>(object));
        object->AddRef();
        EXPECT_EQ(object->Release(), 1);
        EXPECT_EQ(g_destroyed, 0);
    }
    EXPECT_EQ(g_destroyed, 1);
}

TEST(RenderObject, BeginBmpWithoutHeaderDoesNothing)
{
    g_calls.clear();
    RecordingRender render;
    EXPECT_TRUE(render.OnBeginBmp());
    EXPECT_FALSE(render.initialized);
    EXPECT_EQ(g_calls, std::vector<std::string>{"OnBeginBmp"});
}

}  // namespace
