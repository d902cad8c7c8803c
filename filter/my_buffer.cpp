#include "filter/my_buffer.h"

#include "filter/out_of_memory.h"

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
    if (buffer == nullptr) {
        // Room for at least one byte so that an empty buffer still owns storage.
        buffer = static_cast<char *>(std::malloc(n > 0 ? static_cast<size_t>(n) : 1));
        if (buffer == nullptr)
            OutOfMemory();
        bufferSize = n;
    } else if (bufferSize < n) {
        char *grown = static_cast<char *>(std::realloc(buffer, static_cast<size_t>(n)));
        if (grown == nullptr)
            OutOfMemory();
        buffer = grown;
        bufferSize = n;
    }
}

void CMyBuffer::InitBuffer(int n)
{
    if (n > 0)
        SetBufferSize(n);
    if (buffer != nullptr && bufferSize > 0)
        std::memset(buffer, 0, static_cast<size_t>(bufferSize));
    bufferLength = n > 0 ? n : 0;
}

void CMyBuffer::AddBuffer(const void *p, int n)
{
    if (n <= 0 || p == nullptr)
        return;
    // A length that cannot be stored in an int any more is refused whole, so
    // nothing is ever written past the storage.
    if (n > 0x7FFFFFFF - bufferLength)
        OutOfMemory();
    int need = bufferLength + n;
    if (bufferSize < need) {
        if (maxBufferSize > 0 && need > maxBufferSize) {
            InitBuffer(0);
            need = n;
        }
        // After starting over the block may still be larger than the storage:
        // grow to hold it rather than write past the end.
        if (bufferSize < need)
            SetBufferSize(need);
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
