#include "app/page_overrides.h"

#include "app/vendor_options.h"

#include <algorithm>

namespace {

bool InRanges(ipp_attribute_t *ranges, int value)
{
    for (int i = 0; i < ippGetCount(ranges); ++i) {
        int upper = 0;
        const int lower = ippGetRange(ranges, i, &upper);
        if (value >= lower && value <= upper)
            return true;
    }
    return false;
}

bool Covers(ipp_t *collection, unsigned page)
{
    ipp_attribute_t *pages = ippFindAttribute(collection, "pages", IPP_TAG_RANGE);
    if (pages == nullptr || !InRanges(pages, static_cast<int>(page)))
        return false;
    // A job holds one document, number 1.
    for (const char *name : {"document-numbers", "document-number"}) {
        ipp_attribute_t *documents = ippFindAttribute(collection, name, IPP_TAG_RANGE);
        if (documents != nullptr && !InRanges(documents, 1))
            return false;
    }
    return true;
}

bool ApplyMember(const DriverRow &row, ipp_attribute_t *member, JobRequest &request)
{
    const std::string name = ippGetName(member);
    if (name == "orientation-requested" && ippGetValueTag(member) == IPP_TAG_ENUM) {
        request.orientation = static_cast<ipp_orient_t>(ippGetInteger(member, 0));
        return true;
    }
    if (name == "print-color-mode" && ippGetValueTag(member) == IPP_TAG_KEYWORD) {
        const std::string mode = ippGetString(member, 0, nullptr);
        request.colorMode = mode == "bi-level" ? PAPPL_COLOR_MODE_BI_LEVEL : PAPPL_COLOR_MODE_MONOCHROME;
        return mode == "bi-level" || mode == "monochrome" || mode == "auto";
    }
    if (name == "print-darkness" && ippGetValueTag(member) == IPP_TAG_INTEGER && DarknessLevels(row) > 0) {
        request.printDarkness = std::clamp(ippGetInteger(member, 0), -100, 100);
        return true;
    }
    if (name == "print-speed" && ippGetValueTag(member) == IPP_TAG_INTEGER && MaxSpeedIps(row) > 0) {
        request.printSpeed = ippGetInteger(member, 0);
        return true;
    }
    for (const VendorOption &option : VendorOptions()) {
        if (name != option.attribute || !Offers(row, option))
            continue;
        char value[256];
        ippAttributeString(member, value, sizeof(value));
        request.SetVendor(name, value);
        return true;
    }
    return false;
}

}  // namespace

std::vector<std::string> OverridableAttributes(const DriverRow &row)
{
    std::vector<std::string> names = {"document-number", "document-numbers", "pages", "orientation-requested",
                                      "print-color-mode"};
    if (DarknessLevels(row) > 0)
        names.emplace_back("print-darkness");
    if (MaxSpeedIps(row) > 0)
        names.emplace_back("print-speed");
    for (const VendorOption &option : VendorOptions())
        if (Offers(row, option))
            names.emplace_back(option.attribute);
    return names;
}

bool ApplyOverrides(const DriverRow &row, ipp_attribute_t *overrides, unsigned page, JobRequest &request,
                    std::vector<std::string> &ignored)
{
    bool covered = false;
    for (int i = 0; i < ippGetCount(overrides); ++i) {
        ipp_t *collection = ippGetCollection(overrides, i);
        if (collection == nullptr || !Covers(collection, page))
            continue;
        covered = true;
        for (ipp_attribute_t *member = ippFirstAttribute(collection); member != nullptr;
             member = ippNextAttribute(collection)) {
            const std::string name = ippGetName(member) != nullptr ? ippGetName(member) : "";
            if (name == "pages" || name == "document-numbers" || name == "document-number")
                continue;
            if (!ApplyMember(row, member, request))
                ignored.push_back(name);
        }
    }
    return covered;
}
