#pragma once

#include <cstddef>
#include <cstdint>

// Growable byte array for page rasters and printer command streams.
// Grows to exactly the size an append needs; past its ceiling an append
// starts the buffer over instead of growing it.
//
// Such a restart, or memory that could not be had, leaves the buffer without
// some of what was appended to it since it was last initialised: it is then
// no longer intact, and must never reach a printer.
class CMyBuffer {
public:
    static constexpr int kDefaultMaxBufferSize = 104857600;  // 100 MiB

    CMyBuffer();
    virtual ~CMyBuffer();
    CMyBuffer(const CMyBuffer &) = delete;
    CMyBuffer &operator=(const CMyBuffer &) = delete;

    char *GetBuffer() { return buffer; }
    const char *GetBuffer() const { return buffer; }
    int GetBufferLength() const { return bufferLength; }
    int GetBufferSize() const { return bufferSize; }
    int GetMaxBufferSize() const { return maxBufferSize; }

    void SetMaxBufferSize(int n) { maxBufferSize = n; }
    void SetBufferSize(int n);
    void InitBuffer(int n);
    void AddBuffer(const void *p, int n);
    void AddByte(unsigned char b) { AddBuffer(&b, 1); }
    void AddStringA(const char *s);
    void AddInt(int v);

    // Whether everything appended since the last InitBuffer is held.
    bool IsIntact() const { return !restarted && !outOfMemory; }
    // Whether memory ran out since the last InitBuffer.
    bool RanOutOfMemory() const { return outOfMemory; }

private:
    int bufferLength = 0;
    char *buffer = nullptr;
    int bufferSize = 0;
    int maxBufferSize = kDefaultMaxBufferSize;
    bool restarted = false;
    bool outOfMemory = false;
};
