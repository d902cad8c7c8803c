#pragma once

#include <cstdint>

// Choices that the settings fields store as numbers.

// iRotate.
enum ERotation : int32_t { kRotateNone = 0, kRotate180 = 1, kRotate90 = 2, kRotate270 = 3 };

// iGap[0]: how the printer finds the start of the next label or sheet.
enum EMediaTracking : int32_t {
    kMediaContinuous = 0,
    kMediaGap = 1,
    kMediaBlackMark = 2,
    kMediaPerforated = 3,
    kMediaRoll = 4,
    kMediaRecording = 5,
    kMediaTattoo = 6,
    kMediaTattooWrinkle = 7,
};

// iPrinttype.
enum EPrintType : int32_t { kDirectThermal = 0, kThermalTransfer = 1 };

// iCutMode (ESC/POS).
enum ECutMode : int32_t { kCutNone = 0, kCutJobFull = 1, kCutJobPartial = 2, kCutPageFull = 3, kCutPagePartial = 4 };

// iCashDrawer (ESC/POS).
enum ECashDrawer : int32_t { kDrawerNone = 0, kDrawerBeforePage = 1, kDrawerAfterPage = 2 };

// iCutterMode (TSPL).
enum ECutterMode : int32_t { kCutterNone = 0, kCutterTear = 1, kCutterCut = 2, kCutterPeel = 3, kCutterPartial = 4 };

// iReferenceUnit: what iReference counts. The PPD's shift options give
// millimetres, which the printer commands convert at the page's resolution;
// the printer application knows the resolution and gives dots, exact to the
// dot.
enum ELengthUnit : int32_t { kUnitMillimetre = 0, kUnitDot = 1 };

// iGrayMethod, the one numbering of half-tone methods (the PPD's ImageFilter
// choices are these numbers): below kFloydSteinberg the fixed threshold,
// kAutomatic the automatic half-tone (hard edges thresholded, the rest
// diffused), otherwise a dither of the image library (LibraryDitherMethod).
enum EHalftone : int32_t {
    kThreshold = 0,
    kFloydSteinberg = 1,
    kOrderedBayer4 = 2,
    kBurkes = 3,
    kStucki = 4,
    kJarvisJudiceNinke = 5,
    kSierra = 6,
    kStevensonArce = 7,
    kOrderedInterleaved4 = 8,
    kOrderedBayer8 = 9,
    kOrdered16 = 10,
    kAutomatic = 11,
};

// The image library counts its dither methods from Floyd-Steinberg as 0.
constexpr int32_t LibraryDitherMethod(int32_t halftone)
{
    return halftone - kFloydSteinberg;
}

// Printer settings, filled from the job's options once per job.
//
// iMirror, iNegative, iScale and iFeedBefore are set by no settings source
// and read by nothing: they keep their place and defaults in the record only.
struct tagREGSTRUCT {
    int32_t iSpeed = 14;           // -1: the printer's own setting
    int32_t iDensity = 8;          // -1: the printer's own setting
    int32_t iReference[2] = {0, 0};  // horizontal, vertical shift in iReferenceUnit
    int32_t iRotate = kRotateNone;
    bool iMirror = false;
    bool iNegative = false;
    int32_t iScale = 100;          // percent
    bool iDottedline = false;
    bool iPauseKey = true;
    bool iWaterMark = true;
    int32_t iGap[3] = {kMediaContinuous, 3, 0};  // media tracking, gap length mm, gap offset mm
    int32_t iOffset = 0;
    int32_t iCutterMode = kCutterNone;
    int32_t iPrinttype = kDirectThermal;
    int32_t iCutMode = kCutNone;
    int32_t iFeedBefore = 0;
    int32_t iFeedLength = 0;
    int32_t iCashDrawer = kDrawerNone;
    int32_t iReferenceUnit = kUnitMillimetre;
};

// Image settings.
struct tagREGSTRUCTWITHALFTONE {
    int32_t iGrayMethod = kBurkes;
    int32_t iThreValue = 175;
    int32_t iLiangdu = 0;          // brightness
    int32_t iDuibidu = 0;          // contrast
    int32_t iCropTopEdge = 0;      // millimetres; 0 keep, negative no limit
    int32_t iCropBottomEdge = 0;
    int32_t iCropLeftEdge = 0;
    int32_t iCropRightEdge = 0;
    bool ImageCompress = false;
};

// Both settings records of a job, as a front end fills them.
struct tagJobSettings {
    tagREGSTRUCT regStruct;
    tagREGSTRUCTWITHALFTONE halftone;
};

// Watermark record; no option sets it and nothing reads it.
struct tagWaterMarkConfig {
    bool bEnable = false;
    char szText[4096] = {};
    int32_t iFontSize = 40;
    int32_t iColor = 16777215;
    int32_t iPosition = 3;
    int32_t iOffsetX = 0;
    int32_t iOffsetY = 0;
    bool bBold = false;
    int32_t iAngle = 9;
    int32_t iSpaceX = 10;
    int32_t iSpaceY = 10;
    int32_t iScaleX = 100;
    int32_t iScaleY = 100;
};
