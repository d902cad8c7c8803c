#include "preview/report.h"

std::string PageReport(int number, const PreviewPage &page, const std::string &picture)
{
    std::string text = "Page " + std::to_string(number) + ": ";
    if (page.HasBitmap())
        text += std::to_string(page.WidthDots()) + " x " + std::to_string(page.Height()) + " dots -> " + picture + "\n";
    else
        text += "no bitmap, no picture\n";
    for (const std::string &line : page.Commands())
        text += "  " + line + "\n";
    for (const std::string &line : page.Oddities())
        text += "  odd: " + line + "\n";
    return text;
}
