#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

enum class DeflateWrapper {
    Zlib,  // two-byte header, deflate data, Adler-32 trailer
    Raw,   // deflate data only
};

// No page the filter can prepare holds more bitmap bytes than this, so a
// larger declared size is refused before inflating.
constexpr size_t kMaxInflatedBitmap = 268435456;

// Inflates one compressed stream into out, which never grows past limit
// bytes (a stream that would yield more is refused), so a hostile size
// cannot make us allocate more than the declared bitmap. consumed reports
// how many input bytes the stream used. On failure, problem says why.
bool InflateLimited(const uint8_t *input, size_t inputSize, DeflateWrapper wrapper, size_t limit,
                    std::vector<uint8_t> &out, size_t &consumed, std::string &problem);
