// The workarounds for PAPPL 1.3 are reached by libpappl itself: a PAPPL
// system runs in this program, which exports them as dotweave-app does, and
// each test makes libpappl, not the test, call one of them.
#include "app/document_filters.h"
#include "app/file_device.h"
#include "app/interposition_check.h"
#include "app/pappl_hooks.h"
#include "app/printer_driver.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <pappl/pappl.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <future>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

// One printer on the job-file device, in a PAPPL system that runs in a
// thread of this program for the whole suite.
class InProcessServer : public ::testing::Test {
protected:
    // A failure here must fail every test of the suite: gtest would only
    // skip them. SetUp reports what went wrong.
    static void SetUpTestSuite()
    {
        dir = new ScopedTempDir;
        std::filesystem::create_directory(dir->File("spool"));
        std::filesystem::create_directory(dir->File("out"));
        system = papplSystemCreate(PAPPL_SOPTIONS_MULTI_QUEUE | PAPPL_SOPTIONS_NO_TLS, "hooks", 0, nullptr,
                                   dir->File("spool").c_str(), dir->File("log").c_str(), PAPPL_LOGLEVEL_DEBUG,
                                   nullptr, false);
        if (system == nullptr || !papplSystemAddListeners(system, dir->File("socket").c_str())) {
            problem = "no PAPPL system";
            return;
        }
        papplDeviceIsSupported("socket://localhost");
        AddJobFileScheme();
        SetJobFileFolder(dir->path());
        AddDocumentFilters(system);
        drivers = PapplDrivers();
        papplSystemSetPrinterDrivers(system, static_cast<int>(drivers.size()), drivers.data(), MatchDriver,
                                     SetUpPrinter, DescribeDriver, nullptr);
        printer = papplPrinterCreate(system, 0, "hooks", "tspl_203dpi", nullptr,
                                     ("jobfile:" + dir->File("out")).c_str());
        if (printer == nullptr) {
            problem = "no printer: see " + dir->File("log");
            return;
        }
        running = std::thread([] { papplSystemRun(system); });
        for (int i = 0; i < 200 && !papplSystemIsRunning(system); ++i)
            std::this_thread::sleep_for(10ms);
        if (!papplSystemIsRunning(system))
            problem = "the PAPPL system does not run";
    }

    static void TearDownTestSuite()
    {
        if (running.joinable()) {
            // A job's thread goes on for a moment after its job has ended;
            // it holds the printer's start lock until it leaves PAPPL's code,
            // so taking the lock once here keeps the system from being
            // deleted under it.
            if (printer != nullptr)
                std::lock_guard<std::mutex> lastJobLeft(JobStartLock(printer));
            papplSystemShutdown(system);
            // PAPPL looks at the request between connections: one wakes it.
            const int wake = socket(AF_UNIX, SOCK_STREAM, 0);
            sockaddr_un address{};
            address.sun_family = AF_UNIX;
            std::snprintf(address.sun_path, sizeof(address.sun_path), "%s", dir->File("socket").c_str());
            connect(wake, reinterpret_cast<sockaddr *>(&address), sizeof(address));
            close(wake);
            running.join();
        }
        papplSystemDelete(system);
        delete dir;
    }

    void SetUp() override { ASSERT_TRUE(problem.empty()) << problem; }

    static pappl_job_t *Submit()
    {
        return papplJobCreateWithFile(printer, "tester", "image/png", "picture", 0, nullptr,
                                      DOTWEAVE_SOURCE_DIR "/samples/photo.png");
    }

    static ipp_jstate_t WaitForEnd(pappl_job_t *job)
    {
        for (int i = 0; i < 600 && papplJobGetState(job) < IPP_JSTATE_CANCELED; ++i)
            std::this_thread::sleep_for(50ms);
        return papplJobGetState(job);
    }

    static inline ScopedTempDir *dir = nullptr;
    static inline pappl_system_t *system = nullptr;
    static inline pappl_printer_t *printer = nullptr;
    static inline std::vector<pappl_pr_driver_t> drivers;
    static inline std::thread running;
    static inline std::string problem;
};

TEST_F(InProcessServer, PapplStartsEveryJobThroughTheJobStartGuard)
{
    pappl_job_t *job = nullptr;
    {
        // While the guard holds the printer, the thread PAPPL starts for the
        // job waits inside it.
        std::lock_guard<std::mutex> held(JobStartLock(printer));
        job = Submit();
        ASSERT_NE(job, nullptr);
        std::this_thread::sleep_for(500ms);
        EXPECT_EQ(papplJobGetState(job), IPP_JSTATE_PENDING);
    }
    EXPECT_EQ(WaitForEnd(job), IPP_JSTATE_COMPLETED);
}

TEST_F(InProcessServer, PapplSearchesAttributesThroughTheLock)
{
    pappl_job_t *job = Submit();
    ASSERT_NE(job, nullptr);
    ASSERT_EQ(WaitForEnd(job), IPP_JSTATE_COMPLETED);
    std::unique_lock<std::recursive_mutex> held(AttributeSearchLock());
    std::future<ipp_attribute_t *> found =
        std::async(std::launch::async, [job] { return papplJobGetAttribute(job, "job-name"); });
    EXPECT_EQ(found.wait_for(300ms), std::future_status::timeout);
    held.unlock();
    EXPECT_NE(found.get(), nullptr);
}

void SomeOtherFunction() {}

TEST(PapplHooks, TheStartUpCheckSeesWhereLibpapplsCallsGo)
{
    std::string why;
    EXPECT_TRUE(PapplHooksBound(why)) << why;

    struct Case {
        const char *library;
        const char *symbol;
        const void *definition;
        const char *reason;
    };
    const Case cases[] = {
        {"libpappl.so", "_papplJobProcess", reinterpret_cast<const void *>(&SomeOtherFunction), "do not reach"},
        {"libpappl.so", "dotweaveNoSuchFunction", reinterpret_cast<const void *>(&SomeOtherFunction),
         "do not go through"},
        {"libnot-loaded.so", "_papplJobProcess", reinterpret_cast<const void *>(&SomeOtherFunction), "not loaded"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.symbol);
        EXPECT_FALSE(LibraryCallsReach(c.library, c.symbol, c.definition, why));
        EXPECT_NE(why.find(c.reason), std::string::npos) << why;
    }
}

// The application built without exporting them says so and does not start.
TEST(PapplHooks, TheApplicationRefusesToStartWithoutThem)
{
    ScopedTempDir scratch;
    const std::string output = scratch.File("output");
    const pid_t child = fork();
    if (child == 0) {
        std::freopen(output.c_str(), "w", stderr);
        execl(DOTWEAVE_UNBOUND_APP_PATH, DOTWEAVE_UNBOUND_APP_PATH, "drivers", static_cast<char *>(nullptr));
        _exit(127);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    const std::string said = ReadFileBytes(output);
    EXPECT_NE(said.find("Refusing to start"), std::string::npos) << said;
    EXPECT_NE(said.find("_papplJobProcess"), std::string::npos) << said;
}

// A path through a member that is not a collection finds nothing (libcups
// answers with that member, which PAPPL then reads as a size).
TEST(PapplHooks, APathFindsOnlyWhatItNames)
{
    ipp_t *media = ippNew();
    ippAddString(media, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-size", nullptr, "big");
    ipp_t *size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", 15240);
    ippAddCollection(media, IPP_TAG_ZERO, "media-margins", size);
    ippDelete(size);
    EXPECT_EQ(ippFindAttribute(media, "media-size/x-dimension", IPP_TAG_ZERO), nullptr);
    EXPECT_EQ(ippFindAttribute(media, "media-margins/x-dimension", IPP_TAG_ZERO), nullptr);
    ipp_attribute_t *found = ippFindAttribute(media, "media-margins/y-dimension", IPP_TAG_INTEGER);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(ippGetInteger(found, 0), 15240);
    ippDelete(media);
}

}  // namespace
