#pragma once

#include "support/temp_dir.h"

#include <cups/cups.h>

#include <string>
#include <sys/types.h>
#include <vector>

// A private dotweave-app server on a free loopback port, with its own home,
// spool, state file and control socket; stopped and removed on destruction.
// Its job-file devices may write anywhere below its folder.
class AppServer {
public:
    // extraOptions: further "-o name=value" settings for the server;
    // environment: "NAME=value" settings for the server process alone; user:
    // the user the server and its sub-commands run as (empty: this one).
    explicit AppServer(std::vector<std::string> extraOptions = {}, std::vector<std::string> environment = {},
                       std::string user = "");
    ~AppServer();
    AppServer(const AppServer &) = delete;
    AppServer &operator=(const AppServer &) = delete;

    int Port() const { return port; }
    // The control socket of a server run by root.
    std::string ControlSocket() const;
    std::string PrinterUri(const std::string &printer) const;
    const ScopedTempDir &Dir() const { return dir; }
    std::string Log() const;
    // The server's standard error and the error lines of its log: what a
    // failing test should show.
    std::string Problems() const;

    // Runs a sub-command ("add", "-d", ...) against this server; its exit
    // status, with standard output and error in output.
    int Run(const std::vector<std::string> &args, std::string *output = nullptr) const;
    // Adds a printer and waits until it answers.
    void AddPrinter(const std::string &name, const std::string &driver, const std::string &deviceUri) const;
    // Adds a printer on the job-file device, in a folder of its own; the folder.
    std::string AddFilePrinter(const std::string &name, const std::string &driver) const;

    // Print-Job over IPP with "name=value" job attributes (cupsEncodeOptions
    // syntax); the job id, or 0 when the printer refused the job.
    int Print(const std::string &printer, const std::string &file, const std::string &format,
              const std::string &attributes = "", std::string *status = nullptr) const;
    // Waits for the job to stop; its state, or 0 on time-out.
    ipp_jstate_t WaitForJob(const std::string &printer, int jobId, int seconds = 60) const;
    // The job's state now, or 0 when the server does not answer.
    ipp_jstate_t JobState(const std::string &printer, int jobId) const;
    // A job operation (Release-Job, Cancel-Job, ...) as the user who printed
    // the job; the status of the answer.
    ipp_status_t JobOperation(ipp_op_t operation, const std::string &printer, int jobId) const;
    std::string JobMessage(const std::string &printer, int jobId) const;
    // Waits until the printer's up-time is at least one second.
    void WaitUntilUp(const std::string &printer) const;

    void Stop();
    // Ends the server at once, as a crash would (SIGKILL).
    void Kill();
    void Start();
    // Whether the server process is still running (it may have crashed).
    bool Running() const;

private:
    ScopedTempDir dir;
    std::string program;
    std::vector<std::string> extra;
    std::vector<std::string> environment;
    std::string user;
    int port = 0;
    pid_t pid = -1;
};

// Files of a job-file device folder with their final names, in order.
std::vector<std::string> JobFiles(const std::string &folder);
// Waits until the folder holds `count` finished job files.
std::vector<std::string> WaitForJobFiles(const std::string &folder, size_t count, int seconds = 60);
