#include "printers/printer_model.h"

bool Takes(const tagPrinterModel &model, EJobOption option)
{
    for (const tagModelOption &taken : model.options)
        if (taken.option == option)
            return true;
    return false;
}

int32_t DefaultValue(const tagPrinterModel &model, EJobOption option)
{
    for (const tagModelOption &taken : model.options)
        if (taken.option == option)
            return taken.defaultValue;
    return 0;
}

const char *MediaKindOf(const tagPrinterModel &model, std::string_view ippType, unsigned sensing)
{
    if (sensing != 0 && (model.sensingSupported & sensing) == 0)
        return nullptr;
    for (const tagMediaType &type : model.mediaTypes) {
        if (ippType != type.ippType)
            continue;
        if (type.kind != nullptr)
            return type.kind;
        if (sensing == kSenseMark)
            return "BLine";
        if (sensing == kSenseContinuous)
            return "Continuous";
        return "Gap";
    }
    return nullptr;
}
