// Searches of one attribute list from many threads at once all find what is
// there (the server's threads search a printer's attributes concurrently).
#include <cups/ipp.h>
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

TEST(IppFindLock, ConcurrentSearchesOfOneListFindEveryAttribute)
{
    ipp_t *attributes = ippNew();
    constexpr int kAttributes = 64;
    for (int i = 0; i < kAttributes; ++i)
        ippAddInteger(attributes, IPP_TAG_PRINTER, IPP_TAG_INTEGER, ("attribute-" + std::to_string(i)).c_str(), i);
    // A path into a collection searches again inside the search.
    ipp_t *size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "x-dimension", 10160);
    ipp_t *media = ippNew();
    ippAddCollection(media, IPP_TAG_ZERO, "media-size", size);
    ippAddCollection(attributes, IPP_TAG_PRINTER, "media-col-default", media);
    ippDelete(size);
    ippDelete(media);
    std::atomic<int> misses{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int n = 0; n < 20000; ++n) {
                const int wanted = (n * 7 + t * 13) % kAttributes;
                const std::string name = "attribute-" + std::to_string(wanted);
                ipp_attribute_t *found = ippFindAttribute(attributes, name.c_str(), IPP_TAG_INTEGER);
                if (found == nullptr || ippGetInteger(found, 0) != wanted)
                    ++misses;
                if (n % 16 == 0) {
                    found = ippFindAttribute(attributes, "media-col-default/media-size/x-dimension", IPP_TAG_INTEGER);
                    if (found == nullptr || ippGetInteger(found, 0) != 10160)
                        ++misses;
                }
            }
        });
    }
    for (std::thread &thread : threads)
        thread.join();
    ippDelete(attributes);
    EXPECT_EQ(misses.load(), 0);
}

// A path through a member that is not a collection finds nothing (libcups
// answers with that member, which PAPPL then reads as a size).
TEST(IppFindLock, APathFindsOnlyWhatItNames)
{
    ipp_t *media = ippNew();
    ippAddString(media, IPP_TAG_ZERO, IPP_TAG_KEYWORD, "media-size", nullptr, "big");
    ipp_t *size = ippNew();
    ippAddInteger(size, IPP_TAG_ZERO, IPP_TAG_INTEGER, "y-dimension", 15240);
    ippAddCollection(media, IPP_TAG_ZERO, "media-margins", size);
    ippDelete(size);
    EXPECT_EQ(ippFindAttribute(media, "media-size/x-dimension", IPP_TAG_ZERO), nullptr);
    EXPECT_EQ(ippFindAttribute(media, "media-margins/x-dimension", IPP_TAG_ZERO), nullptr);
    ipp_attribute_t *found = ippFindAttribute(media, "media-margins/y-dimension", IPP_TAG_INTEGER);
    ASSERT_NE(found, nullptr);
    EXPECT_EQ(ippGetInteger(found, 0), 15240);
    ippDelete(media);
}
