#pragma once

// What the job settings target and its seeds share: the names an attribute
// may carry and the numbers a selector byte picks.
#include "render/job_options.h"

#include <climits>
#include <cstdint>
#include <string>
#include <vector>

namespace fuzz {

// Values at the edges of every range the application checks; a selector
// byte below 0x80 picks one, any other is followed by a 32-bit value.
inline constexpr int32_t kJobNumbers[] = {INT_MIN, INT_MAX, 0, 1, -1, 2, 3, 4, 5, 6, 7, 8, 10, 50, 100, -100, 101,
                                          -101, 200, -200, 255, 256, -255, -256, 1000, 1001, 2400, -2400, 2401,
                                          -2401, 2540, 2539, 9144, 30480, 30481, INT_MIN + 1, INT_MAX - 1, 1 << 30,
                                          -(1 << 30)};
inline constexpr uint8_t kRawNumber = 0xFF;

// The names a vendor attribute or an override member may carry: the
// standard ones the application reads, some it does not, and every option.
inline std::vector<std::string> JobMemberNames()
{
    std::vector<std::string> names = {"orientation-requested", "print-color-mode", "print-darkness",
                                      "print-speed",           "media",            "pages",
                                      "document-numbers",      "no-such-attribute"};
    for (const tagJobOptionInfo &option : JobOptions())
        names.emplace_back(option.ippName);
    return names;
}

}  // namespace fuzz
