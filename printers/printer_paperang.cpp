#include "printers/printer_paperang.h"

#include "printers/hfm_code.h"

#include <climits>
#include <cstdio>

namespace {

constexpr unsigned char kFrameStart = 0xA5;
constexpr unsigned char kFrameVersion = 0x01;
constexpr unsigned char kFrameEnd = 0x5A;
constexpr int kFrameOverhead = 9;       // start, version, length, CRC, end
constexpr int kPacketHeader = 5;        // 05, command, 03, payload length
constexpr int kBandHeader = 12;         // band payload ahead of the band data
constexpr int kMaxPacket = 0xFFFF;      // the frame's length field
constexpr int kMaxBandData = kMaxPacket - kPacketHeader - kBandHeader;
constexpr int kMaxLineWidth = 0xFFFF;   // the band's line width field
constexpr int kBandSize = 256;

constexpr unsigned char kCmdFeed = 0x16;
constexpr unsigned char kCmdBeginPrinting = 0x19;
constexpr unsigned char kCmdEndPrinting = 0x1A;
constexpr unsigned char kCmdBitmap = 0x1B;
constexpr unsigned char kCmdHfmTree = 0x1C;
constexpr unsigned char kCmdPaperLocate = 0x21;


void PutLow16(unsigned char *at, unsigned value)
{
    at[0] = static_cast<unsigned char>(value);
    at[1] = static_cast<unsigned char>(value >> 8);
}

void PutLow32(unsigned char *at, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        at[i] = static_cast<unsigned char>(value >> (8 * i));
}

void PacketHeader(unsigned char *at, unsigned char command, int payloadLength)
{
    at[0] = 0x05;
    at[1] = command;
    at[2] = 0x03;
    PutLow16(at + 3, static_cast<unsigned>(payloadLength));
}

uint32_t CrcUpdate(const uint32_t *table, uint32_t reg, const unsigned char *data, size_t length)
{
    for (size_t i = 0; i < length; ++i)
        reg = table[(reg ^ data[i]) & 0xFF] ^ (reg >> 8);
    return reg;
}

}  // namespace

CPrinterPaperang::CPrinterPaperang()
{
    for (uint32_t n = 0; n < 256; ++n) {
        uint32_t c = n;
        for (int k = 0; k < 8; ++k)
            c = (c & 1) != 0 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
        crcTable[n] = c;
    }
    pageBuffer.SetMaxBufferSize(CMyBuffer::kDefaultMaxBufferSize);
}

CPrinterPaperang::~CPrinterPaperang() = default;

uint32_t CPrinterPaperang::MakeCrc32(const unsigned char *data, unsigned int length) const
{
    if (data == nullptr)
        length = 0;
    return ~CrcUpdate(crcTable, ~kCrcStart, data, length);
}

void CPrinterPaperang::AddToBuffer(CMyBuffer &buffer)
{
    AddToBuffer(buffer.GetBuffer(), buffer.GetBufferLength());
}

void CPrinterPaperang::AddToBuffer(const void *data, int length)
{
    pageBuffer.AddBuffer(data, length);
}

bool CPrinterPaperang::cmdChildClassPackage(const unsigned char *packet, int length)
{
    return cmdChildClassPackage(packet, length, nullptr, 0);
}

bool CPrinterPaperang::cmdChildClassPackage(const unsigned char *head, int headLength, const unsigned char *body,
                                            int bodyLength)
{
    if (head == nullptr || headLength <= 0 || bodyLength < 0 || (body == nullptr && bodyLength > 0) ||
        bodyLength > kMaxPacket - headLength)
        return false;
    const int length = headLength + bodyLength;
    unsigned char start[4] = {kFrameStart, kFrameVersion};
    PutLow16(start + 2, static_cast<unsigned>(length));
    uint32_t reg = CrcUpdate(crcTable, ~kCrcStart, head, static_cast<size_t>(headLength));
    reg = CrcUpdate(crcTable, reg, body, static_cast<size_t>(bodyLength));
    unsigned char end[5];
    PutLow32(end, ~reg);
    end[4] = kFrameEnd;

    AddToBuffer(start, sizeof(start));
    AddToBuffer(head, headLength);
    AddToBuffer(body, bodyLength);
    AddToBuffer(end, sizeof(end));
    return true;
}

void CPrinterPaperang::cmdBeginPrinting()
{
    unsigned char packet[kPacketHeader];
    PacketHeader(packet, kCmdBeginPrinting, 0);
    cmdChildClassPackage(packet, sizeof(packet));
    AddLog("MM_TP_CTRL_PRINT_START");
}

void CPrinterPaperang::cmdEndPrinting()
{
    unsigned char packet[kPacketHeader];
    PacketHeader(packet, kCmdEndPrinting, 0);
    cmdChildClassPackage(packet, sizeof(packet));
    AddLog("MM_TP_CTRL_PRINT_END");
}

void CPrinterPaperang::cmdFeed(int length)
{
    unsigned char packet[kPacketHeader + 2];
    PacketHeader(packet, kCmdFeed, 2);
    PutLow16(packet + kPacketHeader, static_cast<unsigned>(length));
    cmdChildClassPackage(packet, sizeof(packet));
}

void CPrinterPaperang::cmdPaperLocate(int distance)
{
    unsigned char packet[kPacketHeader + 4];
    PacketHeader(packet, kCmdPaperLocate, 4);
    PutLow32(packet + kPacketHeader, static_cast<uint32_t>(distance));
    cmdChildClassPackage(packet, sizeof(packet));
}

void CPrinterPaperang::cmdHfmTree(const unsigned char *tree, int length)
{
    if (length < 0 || length > kMaxPacket - kPacketHeader)
        return;
    unsigned char head[kPacketHeader];
    PacketHeader(head, kCmdHfmTree, length);
    cmdChildClassPackage(head, sizeof(head), tree, length);
}

void CPrinterPaperang::cmdBitmap(int index, bool coded, const unsigned char *data, int length)
{
    if (length < 0 || length > kMaxBandData)
        return;
    unsigned char head[kPacketHeader + kBandHeader];
    PacketHeader(head, kCmdBitmap, length + kBandHeader);
    unsigned char *band = head + kPacketHeader;
    // The band index has 16 bits on the wire; it counts on modulo 65536.
    PutLow16(band, static_cast<unsigned>(index) & 0xFFFF);
    PutLow16(band + 2, static_cast<unsigned>(length + 8));
    band[4] = 0x01;
    PutLow16(band + 5, image.GetEffWidth());
    band[7] = 0x00;
    band[8] = 0x00;
    band[9] = coded ? 0x01 : 0x00;
    PutLow16(band + 10, static_cast<unsigned>(length));
    cmdChildClassPackage(head, sizeof(head), data, length);
}

bool CPrinterPaperang::SendBitmap_withHFM()
{
    const uint8_t *bits = image.GetBits(0);
    const uint64_t width = image.GetEffWidth();
    const uint64_t height = image.GetHeight();
    if (bits == nullptr || width == 0 || height == 0) {
        DropPage("the page image has no pixel data");
        return false;
    }
    if (width > kMaxLineWidth || width * height > INT_MAX) {
        DropPage("the page image is too large for the printer");
        return false;
    }
    const int lineLength = static_cast<int>(width);
    const int lineCount = static_cast<int>(height);

    CHfmCode coder;
    int nodeCount = 0;
    const std::unique_ptr<HGMRNCODENODE[]> nodes = coder.GetHfmTree(bits, lineLength * lineCount, &nodeCount, 0, 0);
    if (nodes == nullptr) {
        DropPage("not enough memory to code the page image");
        return false;
    }
    const std::unique_ptr<uint16_t[]> preorder = coder.GetTreePreorder(nodes.get(), nodeCount);
    const std::unique_ptr<uint16_t[]> inorder = coder.GetTreeMiddleorder(nodes.get(), nodeCount);
    int bandCount = 0;
    const CHfmCode::HfmBands bands =
        coder.HFMDGencoding(nodes.get(), nodeCount, bits, lineLength, lineCount, kBandSize, &bandCount);
    if (preorder == nullptr || inorder == nullptr || !bands) {
        DropPage("not enough memory to code the page image");
        return false;
    }

    // Size the page command buffer for the whole page at once: the packets
    // are appended in small pieces, and a page of many bands must neither
    // reallocate on every piece nor be cut off by the buffer's growth limit.
    const int treeLength = 4 * nodeCount;
    int64_t pageLength = static_cast<int64_t>(pageBuffer.GetBufferLength()) + kFrameOverhead + kPacketHeader + treeLength;
    for (const tagHfmBand &band : bands.View()) {
        if (band.iLength > kMaxBandData) {
            DropPage("a line of the page image codes to more than a packet holds");
            return false;
        }
        pageLength += kFrameOverhead + kPacketHeader + kBandHeader + band.iLength;
    }
    // Room for the end packet and the locate or feed packet that follow.
    pageLength += 2 * (kFrameOverhead + kPacketHeader + 4);
    if (pageLength > INT_MAX) {
        DropPage("the coded page is too large");
        return false;
    }
    pageBuffer.SetBufferSize(static_cast<int>(pageLength));

    unsigned char tree[4 * CHfmCode::kMaxNodes];
    for (int i = 0; i < nodeCount; ++i) {
        PutLow16(tree + 2 * i, preorder[i]);
        PutLow16(tree + 2 * (nodeCount + i), inorder[i]);
    }
    cmdHfmTree(tree, treeLength);
    int index = 0;
    for (const tagHfmBand &band : bands.View())
        cmdBitmap(index++, true, band.pData, band.iLength);
    return true;
}

bool CPrinterPaperang::OnPaintBmp()
{
    AddLog("OnPaintBmp");
    if (image.GetBits(0) == nullptr || image.GetEffWidth() == 0 || image.GetHeight() == 0) {
        DropPage("the page image has no pixel data");
        return true;
    }
    if (image.GetBpp() != 1) {
        DropPage("the page image is not one bit per dot");
        return true;
    }
    // The printer burns 1 bits; the row padding turns to 0 with the rest.
    Negative();
    cmdBeginPrinting();
    if (!SendBitmap_withHFM()) {
        pageBuffer.InitBuffer(0);
        return true;
    }
    cmdEndPrinting();
    const int media = regStruct.iGap[0];
    if (media == kMediaGap || media == kMediaBlackMark)
        cmdPaperLocate(100);
    if (media == kMediaContinuous || media == kMediaRoll)
        cmdFeed(0);
    const bool sent = SpoolBuffer(pageBuffer);
    pageBuffer.InitBuffer(0);
    return sent;
}

void CPrinterPaperang::DropPage(const char *reason)
{
    // Nothing of a page that cannot be coded reaches the printer; the person
    // printing learns why.
    ReportError("The page was not printed: %s.", reason);
}
