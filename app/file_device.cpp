#include "app/file_device.h"

#include "render/write_whole.h"

#include <pappl/pappl.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char kPrefix[] = "jobfile:";
constexpr int kMaxFiles = 1000000;

struct JobFile {
    std::string folder;
    int fd = -1;
    std::string partName;
    std::string finalName;
};

std::string FileName(const std::string &folder, int number)
{
    char name[32];
    std::snprintf(name, sizeof(name), "/job-%05d.prn", number);
    return folder + name;
}

// Claims the first number whose file and part file are both free; O_EXCL on
// the part file keeps two printers on one folder off the same number.
bool StartFile(pappl_device_t *device, JobFile &file)
{
    for (int number = 1; number < kMaxFiles; ++number) {
        const std::string finalName = FileName(file.folder, number);
        struct stat existing{};
        if (stat(finalName.c_str(), &existing) == 0)
            continue;
        const std::string partName = finalName + ".part";
        const int fd = open(partName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            papplDeviceError(device, "Unable to create '%s': %s", partName.c_str(), std::strerror(errno));
            return false;
        }
        file.fd = fd;
        file.partName = partName;
        file.finalName = finalName;
        return true;
    }
    papplDeviceError(device, "No free job file name in '%s'.", file.folder.c_str());
    return false;
}

void EndFile(JobFile &file)
{
    if (file.fd < 0)
        return;
    close(file.fd);
    rename(file.partName.c_str(), file.finalName.c_str());
    file.fd = -1;
}

bool OpenFile(pappl_device_t *device, const char *uri, const char *)
{
    const std::optional<std::string> folder = ParseJobFileUri(uri);
    struct stat info{};
    if (!folder || stat(folder->c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
        papplDeviceError(device, "'%s' does not name an existing folder.", uri);
        return false;
    }
    // PAPPL's device data is a plain pointer: the device owns the record
    // until its close callback.
    auto *file = new JobFile;
    file->folder = *folder;
    papplDeviceSetData(device, file);
    return true;
}

void CloseFile(pappl_device_t *device)
{
    auto *file = static_cast<JobFile *>(papplDeviceGetData(device));
    if (file == nullptr)
        return;
    EndFile(*file);
    delete file;
    papplDeviceSetData(device, nullptr);
}

ssize_t ReadFile(pappl_device_t *, void *, size_t)
{
    return 0;
}

ssize_t WriteFile(pappl_device_t *device, const void *buffer, size_t bytes)
{
    auto *file = static_cast<JobFile *>(papplDeviceGetData(device));
    if (file == nullptr || (file->fd < 0 && !StartFile(device, *file)))
        return -1;
    if (const int error = WriteWhole(file->fd, buffer, bytes); error != 0) {
        papplDeviceError(device, "Unable to write '%s': %s", file->partName.c_str(), std::strerror(error));
        return -1;
    }
    return static_cast<ssize_t>(bytes);
}

}  // namespace

std::optional<std::string> ParseJobFileUri(const char *uri)
{
    if (uri == nullptr || std::strncmp(uri, kPrefix, sizeof(kPrefix) - 1) != 0)
        return std::nullopt;
    std::string folder = uri + sizeof(kPrefix) - 1;
    // "jobfile:///folder" and "jobfile:/folder" name the same folder.
    if (folder.rfind("//", 0) == 0)
        folder.erase(0, 2);
    if (folder.empty() || folder[0] != '/' || folder.find('?') != std::string::npos)
        return std::nullopt;
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return folder;
}

void AddJobFileScheme()
{
    papplDeviceAddScheme("jobfile", PAPPL_DEVTYPE_FILE, nullptr, OpenFile, CloseFile, ReadFile, WriteFile, nullptr,
                         nullptr);
}

void EndJobFile(pappl_printer_t *printer, pappl_device_t *device)
{
    if (!ParseJobFileUri(papplPrinterGetDeviceURI(printer)))
        return;
    if (auto *file = static_cast<JobFile *>(papplDeviceGetData(device)); file != nullptr)
        EndFile(*file);
}
