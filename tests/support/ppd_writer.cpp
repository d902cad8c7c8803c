#include "support/ppd_writer.h"

#include "support/temp_dir.h"

#include <algorithm>
#include <sstream>

PpdOption Option(const std::string &keyword, const std::string &defaultChoice, std::vector<std::string> otherChoices)
{
    PpdOption option{keyword, defaultChoice, {defaultChoice}};
    for (std::string &choice : otherChoices) {
        if (std::find(option.choices.begin(), option.choices.end(), choice) == option.choices.end())
            option.choices.push_back(std::move(choice));
    }
    return option;
}

std::string MakePpdText(const PpdDescription &description)
{
    std::ostringstream ppd;
    ppd << "*PPD-Adobe: \"4.3\"\n"
        << "*FormatVersion: \"4.3\"\n"
        << "*FileVersion: \"1.0\"\n"
        << "*LanguageVersion: English\n"
        << "*LanguageEncoding: ISOLatin1\n"
        << "*PCFileName: \"DWTEST.PPD\"\n"
        << "*Manufacturer: \"dotweave\"\n"
        << "*Product: \"(dotweave Test)\"\n"
        << "*cupsVersion: 2.4\n"
        << "*cupsModelNumber: " << description.modelNumber << "\n"
        << "*cupsFilter: \"application/vnd.cups-raster 50 dotweave\"\n";
    if (description.modelName)
        ppd << "*ModelName: \"" << *description.modelName << "\"\n"
            << "*ShortNickName: \"" << *description.modelName << "\"\n"
            << "*NickName: \"" << *description.modelName << "\"\n";
    if (description.personality)
        ppd << "*Personality: \"" << *description.personality << "\"\n";
    ppd << "*PSVersion: \"(3010.000) 0\"\n"
        << "*LanguageLevel: \"3\"\n"
        << "*ColorDevice: False\n"
        << "*DefaultColorSpace: Gray\n"
        << "*FileSystem: False\n"
        << "*Throughput: \"1\"\n"
        << "*LandscapeOrientation: Plus90\n"
        << "*TTRasterizer: Type42\n"
        << "*OpenUI *PageSize/Media Size: PickOne\n"
        << "*DefaultPageSize: w288h216\n"
        << "*PageSize w288h216/4x3in: \"<</PageSize[288 216]/ImagingBBox null>>setpagedevice\"\n"
        << "*CloseUI: *PageSize\n"
        << "*OpenUI *PageRegion: PickOne\n"
        << "*DefaultPageRegion: w288h216\n"
        << "*PageRegion w288h216/4x3in: \"<</PageSize[288 216]/ImagingBBox null>>setpagedevice\"\n"
        << "*CloseUI: *PageRegion\n"
        << "*DefaultImageableArea: w288h216\n"
        << "*ImageableArea w288h216/4x3in: \"0 0 288 216\"\n"
        << "*DefaultPaperDimension: w288h216\n"
        << "*PaperDimension w288h216/4x3in: \"288 216\"\n";
    for (const PpdOption &option : description.options) {
        ppd << "*OpenUI *" << option.keyword << "/" << option.keyword << ": PickOne\n"
            << "*OrderDependency: 10 AnySetup *" << option.keyword << "\n"
            << "*Default" << option.keyword << ": " << option.defaultChoice << "\n";
        for (const std::string &choice : option.choices)
            ppd << "*" << option.keyword << " " << choice << "/" << choice << ": \"\"\n";
        ppd << "*CloseUI: *" << option.keyword << "\n";
    }
    ppd << description.extra;
    return ppd.str();
}

void WritePpdFile(const std::string &path, const PpdDescription &description)
{
    WriteFileBytes(path, MakePpdText(description));
}
