#pragma once

#include <cstdint>

// Printer settings, filled from the PPD's marked options once per job.
struct tagREGSTRUCT {
    int32_t iSpeed = 14;           // -1: the printer's own setting
    int32_t iDensity = 8;          // -1: the printer's own setting
    int32_t iReference[2] = {0, 0};
    int32_t iRotate = 0;           // 0 none, 1 by 180, 2 by 90, 3 by 270 degrees
    bool iMirror = false;
    bool iNegative = false;
    int32_t iScale = 100;          // percent
    bool iDottedline = false;
    bool iPauseKey = true;
    bool iWaterMark = true;
    int32_t iGap[3] = {0, 3, 0};   // media tracking type, gap length mm, gap offset mm
    int32_t iOffset = 0;
    int32_t iCutterMode = 0;       // TSPL: 1 tear, 2 cutter, 3 peel, 4 partial cutter
    int32_t iPrinttype = 0;        // 0 direct thermal, 1 thermal transfer
    int32_t iCutMode = 0;          // ESC/POS: 1/2 at job end, 3/4 after every page
    int32_t iFeedBefore = 0;
    int32_t iFeedLength = 0;
    int32_t iCashDrawer = 0;       // 1 before the page, 2 after
};

// Image settings.
struct tagREGSTRUCTWITHALFTONE {
    int32_t iGrayMethod = 3;       // < 1: fixed threshold; 11: automatic; other n >= 1: dither n - 1
    int32_t iThreValue = 175;
    int32_t iLiangdu = 0;          // brightness
    int32_t iDuibidu = 0;          // contrast
    int32_t iCropTopEdge = 0;      // millimetres; 0 keep, negative no limit
    int32_t iCropBottomEdge = 0;
    int32_t iCropLeftEdge = 0;
    int32_t iCropRightEdge = 0;
    bool ImageCompress = false;
};

// Watermark record; no option sets it and nothing reads it yet.
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
