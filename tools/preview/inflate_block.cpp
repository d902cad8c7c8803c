#include "preview/inflate_block.h"

#include <zlib.h>

#include <algorithm>
#include <climits>

namespace {

// Output is grown in steps, so memory follows what the data really yields
// rather than what a header claims.
constexpr size_t kGrowStep = 1u << 20;

// One inflate stream that is always ended, whatever path leaves the call.
class InflateStream {
public:
    explicit InflateStream(int windowBits) { ok = inflateInit2(&stream, windowBits) == Z_OK; }
    ~InflateStream()
    {
        if (ok)
            inflateEnd(&stream);
    }
    InflateStream(const InflateStream &) = delete;
    InflateStream &operator=(const InflateStream &) = delete;

    z_stream stream{};
    bool ok = false;
};

}  // namespace

bool InflateLimited(const uint8_t *input, size_t inputSize, DeflateWrapper wrapper, size_t limit,
                    std::vector<uint8_t> &out, size_t &consumed, std::string &problem)
{
    out.clear();
    consumed = 0;
    if (limit > kMaxInflatedBitmap) {
        problem = "the declared " + std::to_string(limit) + " bytes are more than the " +
                  std::to_string(kMaxInflatedBitmap) + " a page can hold";
        return false;
    }
    InflateStream inflater(wrapper == DeflateWrapper::Zlib ? 15 : -15);
    if (!inflater.ok) {
        problem = "zlib could not start inflating";
        return false;
    }
    z_stream &zs = inflater.stream;
    size_t inputLeft = inputSize;
    size_t produced = 0;
    uint8_t overflowProbe = 0;
    zs.next_in = const_cast<Bytef *>(input);
    for (;;) {
        if (zs.avail_in == 0 && inputLeft > 0) {
            zs.avail_in = static_cast<uInt>(std::min<size_t>(inputLeft, UINT_MAX));
            inputLeft -= zs.avail_in;
        }
        bool probing = false;
        if (produced == out.size()) {
            if (produced < limit) {
                out.resize(produced + std::min(kGrowStep, limit - produced));
            } else {
                // Full: one spare byte tells a finished stream from one that
                // would overrun the declared size.
                probing = true;
            }
        }
        if (probing) {
            zs.next_out = &overflowProbe;
            zs.avail_out = 1;
        } else {
            zs.next_out = out.data() + produced;
            zs.avail_out = static_cast<uInt>(std::min<size_t>(out.size() - produced, UINT_MAX));
        }
        const uInt before = zs.avail_out;
        const int status = inflate(&zs, Z_NO_FLUSH);
        const size_t made = before - zs.avail_out;
        if (probing && made > 0) {
            problem = "the compressed data inflates to more than the declared " + std::to_string(limit) + " bytes";
            out.resize(produced);
            return false;
        }
        if (!probing)
            produced += made;
        if (status == Z_STREAM_END)
            break;
        if (status == Z_BUF_ERROR && zs.avail_in == 0 && inputLeft == 0) {
            problem = "the compressed data ends before its deflate stream does";
            out.resize(produced);
            return false;
        }
        if (status != Z_OK && status != Z_BUF_ERROR) {
            problem = std::string("the compressed data is not valid (zlib: ") +
                      (zs.msg != nullptr ? zs.msg : "error " + std::to_string(status)) + ")";
            out.resize(produced);
            return false;
        }
        if (status == Z_OK && made == 0 && zs.avail_in == 0 && inputLeft == 0) {
            problem = "the compressed data ends before its deflate stream does";
            out.resize(produced);
            return false;
        }
    }
    out.resize(produced);
    consumed = inputSize - inputLeft - zs.avail_in;
    return true;
}
