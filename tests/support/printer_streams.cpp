#include "support/printer_streams.h"

#include "preview/stream_decoder.h"
#include "printers/driver_table.h"

#include <cstdint>

StreamCheck CheckStreamOfModel(int modelNumber, const std::string &stream)
{
    StreamCheck check;
    const tagPrinterModel *model = FindModel(modelNumber);
    const std::optional<StreamLanguage> language =
        model != nullptr ? ParseLanguage(model->streamName) : std::nullopt;
    if (!language) {
        check.problem = "no printer language has model number " + std::to_string(modelNumber);
        return check;
    }
    const DecodedStream decoded =
        DecodeStream(*language, reinterpret_cast<const uint8_t *>(stream.data()), stream.size());
    if (decoded.error.failed) {
        check.problem = decoded.error.Message();
        return check;
    }
    for (size_t i = 0; i < decoded.pages.size(); ++i) {
        if (!decoded.pages[i].Oddities().empty()) {
            check.problem = "page " + std::to_string(i + 1) + ": " + decoded.pages[i].Oddities().front();
            return check;
        }
    }
    check.pages = static_cast<int>(decoded.pages.size());
    check.whole = true;
    return check;
}
