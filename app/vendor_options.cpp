#include "app/vendor_options.h"

#include <string>
#include <vector>

void AddVendorAttributes(const tagDriverInfo &driver, pappl_pr_driver_data_t &data, ipp_t *attributes)
{
    for (const tagModelOption &taken : driver.model->options) {
        if (data.num_vendor >= PAPPL_MAX_VENDOR)
            break;
        const tagJobOptionInfo &option = JobOptionInfo(taken.option);
        data.vendor[data.num_vendor++] = option.ippName;
        const std::string supported = std::string(option.ippName) + "-supported";
        const std::string byDefault = std::string(option.ippName) + "-default";
        switch (option.kind) {
        case EOptionKind::Keyword: {
            std::vector<const char *> names;
            for (const tagOptionChoice &choice : option.choices)
                names.push_back(choice.ipp);
            ippAddStrings(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, supported.c_str(),
                          static_cast<int>(names.size()), nullptr, names.data());
            const tagOptionChoice *value = FindChoice(option, taken.defaultValue);
            ippAddString(attributes, IPP_TAG_PRINTER, IPP_TAG_KEYWORD, byDefault.c_str(), nullptr,
                         value != nullptr ? value->ipp : "");
            break;
        }
        case EOptionKind::Integer:
            ippAddRange(attributes, IPP_TAG_PRINTER, supported.c_str(), option.min, option.max);
            ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER, byDefault.c_str(), taken.defaultValue);
            break;
        case EOptionKind::Boolean:
            ippAddBoolean(attributes, IPP_TAG_PRINTER, supported.c_str(), 1);
            ippAddBoolean(attributes, IPP_TAG_PRINTER, byDefault.c_str(), taken.defaultValue != 0);
            break;
        }
    }
}
