#pragma once

// The PPD option keywords the settings are read from, spelt as the shipped
// PPDs and the printers' drivers spell them ("AdjustHoriaontal" included).
namespace ppdkeyword {

inline constexpr char kMediaMethod[] = "MediaMethod";
inline constexpr char kAdjustHorizontal[] = "AdjustHoriaontal";
inline constexpr char kAdjustVertical[] = "AdjustVertical";
inline constexpr char kMediaTracking[] = "zeMediaTracking";
inline constexpr char kFeedOffset[] = "FeedOffset";
inline constexpr char kRotate[] = "Rotate";
inline constexpr char kDarkness[] = "Darkness";
inline constexpr char kPrintRate[] = "zePrintRate";
inline constexpr char kAutoDotted[] = "AutoDotted";
inline constexpr char kBrightness[] = "Brightness";
inline constexpr char kContrast[] = "Contrast";
inline constexpr char kImageFilter[] = "ImageFilter";
inline constexpr char kThreshold[] = "Threshold";
inline constexpr char kImageCompress[] = "ImageCompress";
inline constexpr char kCropEdgeTop[] = "CropEdgeTop";
inline constexpr char kCropEdgeBottom[] = "CropEdgeBottom";
inline constexpr char kCropEdgeLeft[] = "CropEdgeLeft";
inline constexpr char kCropEdgeRight[] = "CropEdgeRight";
inline constexpr char kCutMode[] = "CutMode";
inline constexpr char kCashDrawer[] = "CashDrawer";
inline constexpr char kCutterMode[] = "CutterMode";

// The choice of Darkness and zePrintRate that leaves the printer's own setting.
inline constexpr char kPrinterDefault[] = "Default";

}  // namespace ppdkeyword
