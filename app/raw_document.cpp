#include "app/raw_document.h"

#include "app/file_device.h"
#include "app/job_output.h"
#include "app/printer_status.h"
#include "printers/stream_signature.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <span>
#include <unistd.h>
#include <vector>

namespace {

class FileCloser {
public:
    explicit FileCloser(int fd) : fd(fd) {}
    ~FileCloser()
    {
        if (fd >= 0)
            close(fd);
    }
    FileCloser(const FileCloser &) = delete;
    FileCloser &operator=(const FileCloser &) = delete;

private:
    int fd;
};

bool Fail(pappl_job_t *job, const char *why)
{
    papplLogJob(job, PAPPL_LOGLEVEL_ERROR, "The document cannot be sent: %s.", why);
    papplJobSetMessage(job, "The document cannot be sent: %s.", why);
    return false;
}

}  // namespace

bool PrintRawDocument(pappl_job_t *job, pappl_pr_options_t *, pappl_device_t *device)
{
    const char *file = papplJobGetFilename(job);
    const int fd = file != nullptr ? open(file, O_RDONLY | O_CLOEXEC) : -1;
    if (fd < 0)
        return Fail(job, file == nullptr ? "the job has no document" : std::strerror(errno));
    FileCloser closer(fd);
    if (!WaitUntilPrinterCanPrint(job, device))
        return false;
    papplLogJob(job, PAPPL_LOGLEVEL_INFO, "Sending printer commands (%s) unchanged.", papplJobGetFormat(job));

    PapplJobOutput output(job, device);
    std::vector<char> buffer(64 * 1024);
    bool sent = true;
    for (;;) {
        const ssize_t got = read(fd, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            sent = Fail(job, std::strerror(errno));
            break;
        }
        if (got == 0)
            break;
        // A cancelled job stops between whole buffers; raw commands have
        // no page boundary dotweave knows of.
        if (papplJobIsCanceled(job) || !output.Write(buffer.data(), static_cast<size_t>(got))) {
            sent = false;
            break;
        }
    }
    papplDeviceFlush(device);
    if (sent)
        sent = CheckPrinterAfterJob(job, device);
    EndJobFile(papplJobGetPrinter(job), device);

    output.KeepAsLastJob();
    return sent;
}

const char *RecogniseRawDocument(const unsigned char *header, size_t size, void *)
{
    const tagPrinterModel *model = LanguageOfStream(std::span<const uint8_t>(header, size));
    return model != nullptr ? model->rawMimeType : nullptr;
}
