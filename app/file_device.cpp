#include "app/file_device.h"

#include "render/write_whole.h"

#include <pappl/pappl.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

constexpr const char kPrefix[] = "jobfile:";
constexpr int kMaxFiles = 1000000;

// Set once while the server starts, before any device opens.
std::string g_allowedFolder;

struct JobFile {
    std::string folder;
    int folderFd = -1;
    int fd = -1;
    // Names inside the folder.
    std::string partName;
    std::string finalName;
};

std::string FileName(int number)
{
    char name[32];
    std::snprintf(name, sizeof(name), "job-%05d.prn", number);
    return name;
}

// Claims the first number whose file and part file are both free; O_EXCL on
// the part file keeps two printers on one folder off the same number. Files
// are made in the folder that was checked and opened, whatever its path
// names meanwhile.
bool StartFile(pappl_device_t *device, JobFile &file)
{
    for (int number = 1; number < kMaxFiles; ++number) {
        const std::string finalName = FileName(number);
        struct stat existing{};
        if (fstatat(file.folderFd, finalName.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0)
            continue;
        const std::string partName = finalName + ".part";
        const int fd =
            openat(file.folderFd, partName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            papplDeviceError(device, "Unable to create '%s/%s': %s", file.folder.c_str(), partName.c_str(),
                             std::strerror(errno));
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
    renameat(file.folderFd, file.partName.c_str(), file.folderFd, file.finalName.c_str());
    file.fd = -1;
}

bool GoesUp(const std::string &path)
{
    for (size_t start = 0; start <= path.size();) {
        size_t end = path.find('/', start);
        if (end == std::string::npos)
            end = path.size();
        if (path.compare(start, end - start, "..") == 0)
            return true;
        start = end + 1;
    }
    return false;
}

// Whether a resolved path is the job-file folder or below it.
bool InAllowedFolder(const std::string &real)
{
    char allowed[PATH_MAX];
    if (g_allowedFolder.empty() || realpath(g_allowedFolder.c_str(), allowed) == nullptr)
        return false;
    const std::string top = allowed;
    return real == top || top == "/" || real.rfind(top + "/", 0) == 0;
}

bool OpenFile(pappl_device_t *device, const char *uri, const char *)
{
    const std::optional<std::string> folder = ParseJobFileUri(uri);
    if (!folder) {
        papplDeviceError(device, "'%s' is not a job-file device address.", uri);
        return false;
    }
    if (const std::string problem = JobFileFolderProblem(*folder); !problem.empty()) {
        papplDeviceError(device, "%s", problem.c_str());
        return false;
    }
    const int folderFd = open(folder->c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (folderFd < 0) {
        papplDeviceError(device, "Unable to open '%s': %s", folder->c_str(), std::strerror(errno));
        return false;
    }
    // The folder opened must be one checked: a link on its path may have
    // changed since.
    char opened[PATH_MAX];
    const std::string self = "/proc/self/fd/" + std::to_string(folderFd);
    const ssize_t length = readlink(self.c_str(), opened, sizeof(opened) - 1);
    if (length <= 0 || !InAllowedFolder(std::string(opened, static_cast<size_t>(length)))) {
        close(folderFd);
        papplDeviceError(device, "%s is outside the job-file folder %s.", folder->c_str(), g_allowedFolder.c_str());
        return false;
    }
    // PAPPL's device data is a plain pointer: the device owns the record
    // until its close callback.
    auto *file = new JobFile;
    file->folder = *folder;
    file->folderFd = folderFd;
    papplDeviceSetData(device, file);
    return true;
}

void CloseFile(pappl_device_t *device)
{
    auto *file = static_cast<JobFile *>(papplDeviceGetData(device));
    if (file == nullptr)
        return;
    EndFile(*file);
    close(file->folderFd);
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
        papplDeviceError(device, "Unable to write '%s/%s': %s", file->folder.c_str(), file->partName.c_str(),
                         std::strerror(error));
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

void SetJobFileFolder(const std::string &folder)
{
    g_allowedFolder = folder;
}

std::string JobFileFolderProblem(const std::string &folder)
{
    if (g_allowedFolder.empty())
        return "No job-file folder is set: the server takes one with -o jobfile-directory=FOLDER.";
    if (GoesUp(folder))
        return folder + " goes up a folder (\"..\"): job files stay in the job-file folder " + g_allowedFolder + ".";
    char real[PATH_MAX];
    if (realpath(folder.c_str(), real) == nullptr)
        return folder + ": " + std::strerror(errno) + ".";
    struct stat info{};
    if (stat(real, &info) != 0 || !S_ISDIR(info.st_mode))
        return folder + " is not a folder.";
    if (!InAllowedFolder(real))
        return folder + " is outside the job-file folder " + g_allowedFolder + ".";
    return {};
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
