#include "app/page_overrides.h"

#include "app/job_request.h"

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
    if (pages == nullptr || (page != 0 && !InRanges(pages, static_cast<int>(page))))
        return false;
    // A job holds one document, number 1.
    for (const char *name : {"document-numbers", "document-number"}) {
        ipp_attribute_t *documents = ippFindAttribute(collection, name, IPP_TAG_RANGE);
        if (documents != nullptr && !InRanges(documents, 1))
            return false;
    }
    return true;
}

}  // namespace

std::vector<std::string> OverridableAttributes(const tagDriverInfo &driver)
{
    const tagPrinterModel &model = *driver.model;
    std::vector<std::string> names = {"document-number", "document-numbers", "pages", "orientation-requested",
                                      "print-color-mode"};
    if (model.darknessLevels > 0)
        names.emplace_back("print-darkness");
    if (model.maxSpeedIps > 0)
        names.emplace_back("print-speed");
    for (const tagModelOption &option : model.options)
        names.emplace_back(JobOptionInfo(option.option).ippName);
    return names;
}

OverrideResult ApplyOverrides(const tagDriverInfo &driver, ipp_attribute_t *overrides, unsigned page,
                              JobRequest &request)
{
    OverrideResult result;
    for (int i = 0; i < ippGetCount(overrides); ++i) {
        ipp_t *collection = ippGetCollection(overrides, i);
        if (collection == nullptr || !Covers(collection, page))
            continue;
        result.covered = true;
        for (ipp_attribute_t *member = ippFirstAttribute(collection); member != nullptr;
             member = ippNextAttribute(collection)) {
            const std::string name = ippGetName(member) != nullptr ? ippGetName(member) : "";
            if (name == "pages" || name == "document-numbers" || name == "document-number")
                continue;
            switch (ApplyOverrideMember(driver, member, request, result.refused)) {
            case MemberResult::Applied: break;
            case MemberResult::Ignored: result.ignored.push_back(name); break;
            case MemberResult::Refused: return result;
            }
        }
    }
    return result;
}
