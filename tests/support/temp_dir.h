#pragma once

#include <string>

// A fresh folder under $TMPDIR (or /tmp), removed with its contents.
class ScopedTempDir {
public:
    ScopedTempDir();
    ~ScopedTempDir();
    ScopedTempDir(const ScopedTempDir &) = delete;
    ScopedTempDir &operator=(const ScopedTempDir &) = delete;

    const std::string &path() const { return dir; }
    std::string File(const std::string &name) const { return dir + "/" + name; }

private:
    std::string dir;
};

std::string ReadFileBytes(const std::string &path);
void WriteFileBytes(const std::string &path, const std::string &bytes);
