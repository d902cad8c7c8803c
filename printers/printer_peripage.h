#pragma once

#include "printers/printer_escpos.h"

#include <cstddef>
#include <cstdint>
#include <vector>

// PeriPage pocket printers: an ESC/POS stream with the printer's own
// initialisation, media, density and end-of-page commands, and the page
// bitmap either as the ESC/POS raster command or as a deflate block.
class CPrinterPeriPage : public CPrinterESCPOS {
public:
    // Compresses bytes into a complete zlib stream (two-byte header, deflate
    // data, Adler-32 trailer); false when it cannot.
    using Compressor = bool (*)(const uint8_t *data, size_t length, std::vector<uint8_t> &stream);

    CPrinterPeriPage();
    ~CPrinterPeriPage() override;

    bool OnInit() override;
    bool OnDestroy() override;
    bool OnPaintBmp() override;
    void cmdInit() override;
    void PrintBMP(int dpi1, int dpi2, int widthBytes, int height, const void *data, int length) override;
    void cmdEndPrint() override;

    void cmdDENSITY(int density);
    void cmdCutLine();

    // The printer's own stream format: zlib with a 1 KiB window.
    static bool DeflateWindow10(const uint8_t *data, size_t length, std::vector<uint8_t> &stream);
    // Lets tests make compression fail; returns the compressor replaced.
    static Compressor SetCompressorForTest(Compressor compressor);

private:
    // Appends one compressed-bitmap block for rows of widthBytes bytes to
    // out; false when compression failed.
    static bool AddCompressedBlock(std::vector<uint8_t> &out, int widthBytes, int rows, const uint8_t *data, size_t length);

    static Compressor compressor;
};
