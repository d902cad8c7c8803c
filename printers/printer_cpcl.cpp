#include "printers/printer_cpcl.h"

#include "filter/my_buffer.h"

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

void CPrinterCPCL::OnPaintBmp()
{
    // A page the preparation had to drop (left without pixels) sends nothing.
    if (!image.IsValid())
        return;
    // The printer burns 1 bits; the prepared page has 0 = black, and the
    // white row tails become 0 and print nothing.
    Negative();
    cmdBegin();
    cmdPageWidth();
    cmdCG();
    cmdFORM();
    cmdPrint();
}

void CPrinterCPCL::cmdBegin()
{
    // The label header always declares 200 dpi both ways; the horizontal
    // offset is in the printer's 8-dots-per-millimetre units. The product is
    // formed in 64 bits so an extreme reference is written as it is.
    CMyBuffer line;
    line.AddStringA("! ");
    AddNumber(line, static_cast<long long>(regStruct.iReference[0]) * 8);
    line.AddStringA(" 200 200 ");
    AddNumber(line, image.GetHeight());
    line.AddStringA(" 1\r\n");
    WriteSpool(line.GetBuffer(), line.GetBufferLength());
}

void CPrinterCPCL::cmdPageWidth()
{
    CMyBuffer line;
    line.AddStringA("PAGE-WIDTH ");
    AddNumber(line, image.GetWidth());
    line.AddStringA("\r\n");
    WriteSpool(line.GetBuffer(), line.GetBufferLength());
}

void CPrinterCPCL::cmdCG()
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
    WriteSpool(line.GetBuffer(), line.GetBufferLength());

    const uint8_t *bits = image.GetBits(0);
    if (bits == nullptr)
        return;
    // One write in practice; a bitmap beyond what one write call can carry
    // goes out in consecutive pieces rather than being cut short.
    size_t left = effWidth * rows;
    while (left > 0) {
        const size_t piece = std::min(left, static_cast<size_t>(INT_MAX));
        WriteSpool(bits, static_cast<int>(piece));
        bits += piece;
        left -= piece;
    }
}

void CPrinterCPCL::cmdFORM()
{
    // Only gap and black-mark media have a next label to feed to.
    if (regStruct.iGap[0] != 1 && regStruct.iGap[0] != 2)
        return;
    CMyBuffer line;
    line.AddStringA("FORM\r\n");
    WriteSpool(line.GetBuffer(), line.GetBufferLength());
}

void CPrinterCPCL::cmdPrint()
{
    CMyBuffer line;
    line.AddStringA("PRINT\r\n");
    WriteSpool(line.GetBuffer(), line.GetBufferLength());
}
