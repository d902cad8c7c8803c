#include "render/settings_source.h"

std::string CSettingPairs::Choice(const char *keyword)
{
    for (auto pair = pairs.rbegin(); pair != pairs.rend(); ++pair)
        if (pair->first == keyword)
            return pair->second;
    return std::string();
}
