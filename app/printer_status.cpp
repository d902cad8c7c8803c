#include "app/printer_status.h"

#include "app/device_reader.h"
#include "app/socket_address.h"
#include "printers/driver_table.h"
#include "printers/status_query.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Clients ask for a printer's attributes often; the printer is asked at
// most this often for them.
constexpr auto kAskInterval = std::chrono::seconds(3);
// A device that would not open (a printer switched off) is not tried again
// sooner for a client's request: opening may take PAPPL 30 seconds.
constexpr auto kOpenBackOff = std::chrono::seconds(60);
// A network printer that takes no connection within this time is shown off
// line, and tried again for clients no sooner than after the pause.
constexpr int kReachTimeoutMs = 500;
constexpr auto kUnreachablePause = std::chrono::seconds(10);
// How often a waiting job asks whether the printer can print again.
constexpr auto kWaitInterval = std::chrono::seconds(2);
constexpr int kSilentTriesBeforeGivingUp = 3;

constexpr pappl_preason_t kReportedReasons =
    PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_NEEDED | PAPPL_PREASON_MEDIA_LOW | PAPPL_PREASON_MEDIA_JAM |
    PAPPL_PREASON_COVER_OPEN | PAPPL_PREASON_MARKER_SUPPLY_EMPTY | PAPPL_PREASON_OFFLINE | PAPPL_PREASON_OTHER;

struct Tracked {
    std::string uri;
    int silentTries = 0;
    bool notReporting = false;
    // Questions sent as a job began, to a printer not yet known to answer;
    // their answers are looked for when it ends.
    bool questionsPending = false;
    Clock::time_point nextAsk{};
    Clock::time_point nextOpen{};
    // The last answer; none while the printer is not known to answer.
    std::optional<tagPrinterStatus> last;
};

std::atomic<bool> g_enabled{true};
std::mutex g_mutex;
std::map<int, Tracked> g_printers;

enum class When { ClientAsks, BeforeJob, AfterJob, Waiting };

const tagPrinterModel *ModelOf(pappl_printer_t *printer)
{
    const char *name = papplPrinterGetDriverName(printer);
    const tagDriverInfo *driver = name != nullptr ? FindDriver(name) : nullptr;
    return driver != nullptr ? driver->model : nullptr;
}

std::string DeviceUri(pappl_printer_t *printer)
{
    const char *uri = papplPrinterGetDeviceURI(printer);
    return uri != nullptr ? uri : "";
}

// The printer's entry, started afresh when its device address changed.
Tracked &Entry(pappl_printer_t *printer, const std::string &uri)
{
    Tracked &entry = g_printers[papplPrinterGetID(printer)];
    if (entry.uri != uri) {
        entry = Tracked();
        entry.uri = uri;
    }
    return entry;
}

pappl_preason_t ReasonsOf(unsigned conditions)
{
    pappl_preason_t reasons = PAPPL_PREASON_NONE;
    if ((conditions & kConditionMediaEmpty) != 0)
        reasons |= PAPPL_PREASON_MEDIA_EMPTY | PAPPL_PREASON_MEDIA_NEEDED;
    if ((conditions & kConditionMediaLow) != 0)
        reasons |= PAPPL_PREASON_MEDIA_LOW;
    if ((conditions & kConditionMediaJam) != 0)
        reasons |= PAPPL_PREASON_MEDIA_JAM;
    if ((conditions & kConditionCoverOpen) != 0)
        reasons |= PAPPL_PREASON_COVER_OPEN;
    if ((conditions & kConditionRibbonEmpty) != 0)
        reasons |= PAPPL_PREASON_MARKER_SUPPLY_EMPTY;
    if ((conditions & kConditionOffline) != 0)
        reasons |= PAPPL_PREASON_OFFLINE;
    if ((conditions & kConditionOther) != 0)
        reasons |= PAPPL_PREASON_OTHER;
    return reasons;
}

std::string Names(unsigned conditions)
{
    std::string names;
    for (unsigned bit = 1; bit <= kConditionBatteryLow; bit <<= 1) {
        if ((conditions & bit) == 0)
            continue;
        if (!names.empty())
            names += ", ";
        names += ConditionName(static_cast<EPrinterCondition>(bit));
    }
    return names;
}

void Show(pappl_printer_t *printer, const tagPrinterStatus &status)
{
    const pappl_preason_t reasons = ReasonsOf(status.conditions);
    papplPrinterSetReasons(printer, reasons, kReportedReasons & ~reasons);
    int battery = status.batteryPercent;
    // A printer that only says its battery is low has some 10 % left.
    if (battery < 0 && (status.conditions & kConditionBatteryLow) != 0)
        battery = 10;
    if (battery >= 0)
        SetPrinterSupplies(printer, battery);
}

// How a printer is asked at a given moment.
enum class Asking { Not, Wait, Cached, SendOnly, Collect };

// A printer not known to answer is never waited for on a job's way: the
// questions go out as the job begins and the answers are looked for when
// it ends, so a printer that ignores them costs its jobs nothing. Silence
// is counted only where the answer was waited for.
Asking HowToAsk(Tracked &entry, When when)
{
    if (entry.notReporting)
        return Asking::Not;
    const bool known = entry.last.has_value();
    if (when == When::BeforeJob && !known)
        return Asking::SendOnly;
    if (when == When::AfterJob && !known)
        return entry.questionsPending ? Asking::Collect : Asking::Not;
    // An answer given lately serves clients asking again soon after.
    if (when == When::ClientAsks && known && Clock::now() < entry.nextAsk)
        return Asking::Cached;
    return Asking::Wait;
}

// Reads the answers to all of the language's questions, each within waitMs
// (after sending it, unless the questions went out before).
bool ReadAnswers(DeviceReader &reader, EPrinterLanguage language, bool send, int waitMs, tagPrinterStatus &status)
{
    const std::span<const tagStatusQuery> queries = StatusQueries(language);
    for (size_t i = 0; i < queries.size(); ++i) {
        uint8_t answer[8] = {};
        const std::span<uint8_t> expected(answer, std::min(queries[i].answerSize, sizeof(answer)));
        if ((send && !reader.Send(queries[i].command)) || !reader.Read(expected, waitMs) ||
            !ReadStatusAnswer(language, i, expected, status))
            return false;
    }
    return true;
}

// Asks the printer through the open device, unless its last answer is
// recent enough or it does not report; the status known, if any.
std::optional<tagPrinterStatus> Ask(pappl_printer_t *printer, pappl_device_t *device, When when)
{
    const tagPrinterModel *model = ModelOf(printer);
    if (!g_enabled || model == nullptr || StatusQueries(model->language).empty())
        return std::nullopt;
    const std::string uri = DeviceUri(printer);
    const int id = papplPrinterGetID(printer);
    Asking asking;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        Tracked &entry = Entry(printer, uri);
        asking = HowToAsk(entry, when);
        if (asking == Asking::Not || asking == Asking::Cached)
            return entry.last;
        entry.questionsPending = false;
        if (asking == Asking::Wait)
            entry.nextAsk = Clock::now() + kAskInterval;
    }
    std::optional<DeviceReader> reader = DeviceReader::For(device, uri.c_str());
    if (!reader)
        return std::nullopt;
    if (asking != Asking::Collect)
        reader->Drain();
    if (asking == Asking::SendOnly) {
        bool sent = true;
        for (const tagStatusQuery &query : StatusQueries(model->language))
            sent = sent && reader->Send(query.command);
        std::lock_guard<std::mutex> lock(g_mutex);
        auto found = g_printers.find(id);
        if (found != g_printers.end() && found->second.uri == uri)
            found->second.questionsPending = sent;
        return std::nullopt;
    }
    tagPrinterStatus status;
    if (asking == Asking::Collect) {
        // Answered after all: from now on asked like any printer that answers.
        if (!ReadAnswers(*reader, model->language, false, 0, status))
            return std::nullopt;
        {
            std::lock_guard<std::mutex> lock(g_mutex);
            auto found = g_printers.find(id);
            if (found == g_printers.end() || found->second.uri != uri)
                return std::nullopt;
            found->second.last = status;
        }
        // That answer is from before the job: ask how it is now.
        return Ask(printer, device, when);
    }
    const bool answered = ReadAnswers(*reader, model->language, true, reader->TimeoutMs(), status);

    bool givingUp = false;
    int tries = 0;
    {
        std::lock_guard<std::mutex> lock(g_mutex);
        auto found = g_printers.find(id);
        if (found == g_printers.end() || found->second.uri != uri)
            return std::nullopt;
        Tracked &entry = found->second;
        if (answered) {
            entry.silentTries = 0;
            entry.last = status;
        } else {
            entry.last.reset();
            tries = ++entry.silentTries;
            givingUp = entry.notReporting = tries >= kSilentTriesBeforeGivingUp;
        }
    }
    if (answered) {
        Show(printer, status);
        return status;
    }
    // What it said before may no longer be so.
    papplPrinterSetReasons(printer, PAPPL_PREASON_NONE, kReportedReasons);
    if (givingUp)
        papplLogPrinter(printer, PAPPL_LOGLEVEL_WARN,
                        "The printer does not report its status: it is not asked again until its device address "
                        "changes or the server restarts.");
    else
        papplLogPrinter(printer, PAPPL_LOGLEVEL_INFO, "No status from the printer within %d ms (try %d of %d).",
                        reader->TimeoutMs(), tries, kSilentTriesBeforeGivingUp);
    return std::nullopt;
}

bool Stopped(const std::optional<tagPrinterStatus> &status)
{
    return status && (status->conditions & kConditionsStoppingJobs) != 0;
}

}  // namespace

void EnableStatusQueries(bool enabled)
{
    g_enabled = enabled;
}

void SetPrinterSupplies(pappl_printer_t *printer, int batteryPercent)
{
    // Thermal printers burn the paper itself: the roll is the one supply
    // that is used up, and they report no level for it.
    pappl_supply_t supplies[2] = {};
    supplies[0].color = PAPPL_SUPPLY_COLOR_NO_COLOR;
    std::snprintf(supplies[0].description, sizeof(supplies[0].description), "Thermal paper");
    supplies[0].is_consumed = true;
    supplies[0].level = -1;
    supplies[0].type = PAPPL_SUPPLY_TYPE_OTHER;
    int count = 1;
    if (batteryPercent >= 0) {
        supplies[1].color = PAPPL_SUPPLY_COLOR_NO_COLOR;
        std::snprintf(supplies[1].description, sizeof(supplies[1].description), "Battery");
        supplies[1].is_consumed = false;
        supplies[1].level = batteryPercent > 100 ? 100 : batteryPercent;
        supplies[1].type = PAPPL_SUPPLY_TYPE_OTHER;
        count = 2;
    }
    papplPrinterSetSupplies(printer, count, supplies);
}

bool RefreshPrinterStatus(pappl_printer_t *printer)
{
    const tagPrinterModel *model = ModelOf(printer);
    const std::string uri = DeviceUri(printer);
    if (!g_enabled || model == nullptr || StatusQueries(model->language).empty() || !DeviceReader::Reads(uri))
        return true;
    {
        // Opening the device is itself a cost: not before an answer is due.
        std::lock_guard<std::mutex> lock(g_mutex);
        Tracked &entry = Entry(printer, uri);
        if (Clock::now() < entry.nextOpen || HowToAsk(entry, When::ClientAsks) != Asking::Wait)
            return true;
    }
    if (uri.rfind("socket://", 0) == 0 && !SocketPrinterReachable(uri, kReachTimeoutMs)) {
        // What it reported before is no longer known.
        papplPrinterSetReasons(printer, PAPPL_PREASON_OFFLINE, kReportedReasons & ~PAPPL_PREASON_OFFLINE);
        std::lock_guard<std::mutex> lock(g_mutex);
        Entry(printer, uri).nextOpen = Clock::now() + kUnreachablePause;
        return true;
    }
    pappl_device_t *device = papplPrinterOpenDevice(printer);
    if (device == nullptr) {
        std::lock_guard<std::mutex> lock(g_mutex);
        Entry(printer, uri).nextOpen = Clock::now() + kOpenBackOff;
        return true;
    }
    Ask(printer, device, When::ClientAsks);
    papplPrinterCloseDevice(printer);
    return true;
}

bool WaitUntilPrinterCanPrint(pappl_job_t *job, pappl_device_t *device)
{
    pappl_printer_t *printer = papplJobGetPrinter(job);
    std::optional<tagPrinterStatus> status = Ask(printer, device, When::BeforeJob);
    if (!Stopped(status))
        return true;
    const std::string why = Names(status->conditions & kConditionsStoppingJobs);
    papplLogJob(job, PAPPL_LOGLEVEL_WARN, "Waiting: the printer reports %s.", why.c_str());
    while (Stopped(status)) {
        papplJobSetMessage(job, "Waiting: the printer reports %s.",
                           Names(status->conditions & kConditionsStoppingJobs).c_str());
        papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
        const auto until = Clock::now() + kWaitInterval;
        while (Clock::now() < until) {
            if (papplJobIsCanceled(job))
                return false;
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        status = Ask(printer, device, When::Waiting);
    }
    papplJobSetReasons(job, PAPPL_JREASON_NONE, PAPPL_JREASON_PRINTER_STOPPED);
    papplJobSetMessage(job, "Printing: the printer is ready again.");
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "The printer is ready again.");
    return true;
}

bool CheckPrinterAfterJob(pappl_job_t *job, pappl_device_t *device)
{
    const std::optional<tagPrinterStatus> status = Ask(papplJobGetPrinter(job), device, When::AfterJob);
    if (!Stopped(status))
        return true;
    const std::string why = Names(status->conditions & kConditionsStoppingJobs);
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The printer reports %s after the job: pages may be missing.", why.c_str());
    papplJobSetMessage(job, "The printer reports %s after the job: pages may be missing.", why.c_str());
    papplJobSetReasons(job, PAPPL_JREASON_PRINTER_STOPPED, PAPPL_JREASON_NONE);
    return false;
}

void ForgetPrinterStatus(pappl_printer_t *printer)
{
    std::lock_guard<std::mutex> lock(g_mutex);
    g_printers.erase(papplPrinterGetID(printer));
}
