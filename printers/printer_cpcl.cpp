#include "printers/printer_cpcl.h"

#include "render/my_buffer.h"

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace {

void AddNumber(CMyBuffer &line, long long value)
{
    char text[24];
    const int length = std::snprintf(text, sizeof(text), "%lld", value);
    line.AddBuffer(text, length);
}

}  // namespace

CPrinterCPCL::CPrinterCPCL() = default;

CPrinterCPCL::~CPrinterCPCL() = default;

bool CPrinterCPCL::OnPaintBmp()
{
    // A page the preparation had to drop (left without pixels) sends nothing.
    if (!image.IsValid())
        return true;
    // The printer burns 1 bits; the prepared page has 0 = black, and the
    // white row tails become 0 and print nothing.
    Negative();
    return cmdBegin() && cmdPageWidth() && cmdCG() && cmdFORM() && cmdPrint();
}

bool CPrinterCPCL::cmdBegin()
{
    // The label header always declares 200 dpi both ways; the horizontal
    // offset is in the printer's dots, 8 to the millimetre. The product is
    // formed in 64 bits so an extreme reference is written as it is.
    CMyBuffer line;
    line.AddStringA("! ");
    const long long offset = regStruct.iReference[0];
    AddNumber(line, regStruct.iReferenceUnit == kUnitDot ? offset : offset * 8);
    line.AddStringA(" 200 200 ");
    AddNumber(line, image.GetHeight());
    line.AddStringA(" 1\r\n");
    return SpoolBuffer(line);
}

bool CPrinterCPCL::cmdPageWidth()
{
    CMyBuffer line;
    line.AddStringA("PAGE-WIDTH ");
    AddNumber(line, image.GetWidth());
    line.AddStringA("\r\n");
    return SpoolBuffer(line);
}

bool CPrinterCPCL::cmdCG()
{
    // The graphic carries the full stored rows, tails included.
    const size_t effWidth = image.GetEffWidth();
    const size_t rows = image.GetHeight();
    CMyBuffer line;
    line.AddStringA("CG ");
    AddNumber(line, static_cast<long long>(effWidth));
    line.AddStringA(" ");
    AddNumber(line, static_cast<long long>(rows));
    line.AddStringA(" 0 0\r\n");
    if (!SpoolBuffer(line))
        return false;

    const uint8_t *bits = image.GetBits(0);
    if (bits == nullptr)
        return true;
    // One write in practice; a bitmap beyond what one write call can carry
    // goes out in consecutive pieces rather than being cut short.
    size_t left = effWidth * rows;
    while (left > 0) {
        const size_t piece = std::min(left, static_cast<size_t>(INT_MAX));
        if (!WriteSpool(bits, static_cast<int>(piece)))
            return false;
        bits += piece;
        left -= piece;
    }
    return true;
}

bool CPrinterCPCL::cmdFORM()
{
    // Only gap and black-mark media have a next label to feed to.
    if (regStruct.iGap[0] != kMediaGap && regStruct.iGap[0] != kMediaBlackMark)
        return true;
    CMyBuffer line;
    line.AddStringA("FORM\r\n");
    return SpoolBuffer(line);
}

bool CPrinterCPCL::cmdPrint()
{
    CMyBuffer line;
    line.AddStringA("PRINT\r\n");
    return SpoolBuffer(line);
}
