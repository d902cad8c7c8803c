#include "render/my_buffer.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

CMyBuffer::CMyBuffer()
{
    SetBufferSize(1024);
    InitBuffer(0);
}

CMyBuffer::~CMyBuffer()
{
    std::free(buffer);
    buffer = nullptr;
    bufferLength = 0;
    bufferSize = 0;
    maxBufferSize = 0;
}

void CMyBuffer::SetBufferSize(int n)
{
    if (n < 0)
        return;
    // Memory that cannot be had fails this buffer, never the process: the
    // storage stays as it was and the buffer is marked.
    if (buffer == nullptr) {
        // Room for at least one byte so that an empty buffer still owns storage.
        buffer = static_cast<char *>(std::malloc(n > 0 ? static_cast<size_t>(n) : 1));
        if (buffer == nullptr) {
            outOfMemory = true;
            bufferSize = 0;
            return;
        }
        bufferSize = n;
    } else if (bufferSize < n) {
        char *grown = static_cast<char *>(std::realloc(buffer, static_cast<size_t>(n)));
        if (grown == nullptr) {
            outOfMemory = true;
            return;
        }
        buffer = grown;
        bufferSize = n;
    }
}

void CMyBuffer::InitBuffer(int n)
{
    restarted = false;
    outOfMemory = false;
    if (n > 0)
        SetBufferSize(n);
    if (buffer != nullptr && bufferSize > 0)
        std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    bufferLength = n > 0 && n <= bufferSize ? n : 0;
}

void CMyBuffer::AddBuffer(const void *p, int n)
{
    if (n <= 0 || p == nullptr)
        return;
    // A length that cannot be stored in an int any more is refused whole, so
    // nothing is ever written past the storage.
    if (n > 0x7FFFFFFF - bufferLength) {
        outOfMemory = true;
        return;
    }
    int need = bufferLength + n;
    if (bufferSize < need) {
        if (maxBufferSize > 0 && need > maxBufferSize) {
            const bool failedBefore = outOfMemory;
            InitBuffer(0);
            // What was held is gone: the buffer no longer holds what was
            // appended to it.
            restarted = true;
            outOfMemory = failedBefore;
            need = n;
        }
        // After starting over the block may still be larger than the storage:
        // grow to hold it rather than write past the end.
        if (bufferSize < need)
            SetBufferSize(need);
        if (bufferSize < need)
            return;
    }
    std::memcpy(buffer + bufferLength, p, static_cast<size_t>(n));
    bufferLength += n;
}

void CMyBuffer::AddStringA(const char *s)
{
    if (s != nullptr)
        AddBuffer(s, static_cast<int>(std::strlen(s)));
}

void CMyBuffer::AddInt(int v)
{
    char text[16];
    int length = std::snprintf(text, sizeof(text), "%d", v);
    AddBuffer(text, length);
}
