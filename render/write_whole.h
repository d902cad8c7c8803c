#pragma once

#include <cstddef>

// Writes the whole block to a file descriptor, as printers need every byte
// of a command in order: a write cut short goes on from where it stopped,
// one interrupted by a signal is made again, and a non-blocking descriptor
// that is full is waited for. 0 once every byte is written, else the errno
// of the write that failed.
int WriteWhole(int fd, const void *data, size_t length);
