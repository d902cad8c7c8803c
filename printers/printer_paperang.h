#pragma once

#include "render/base_render.h"
#include "render/my_buffer.h"

#include <cstdint>

// Paperang pocket printers: every page is a self-contained run of framed,
// CRC-checked packets carrying a Huffman-coded bitmap.
class CPrinterPaperang : public CBaseRender {
public:
    // Start value of the frame CRC, fixed by the printers' protocol.
    static constexpr uint32_t kCrcStart = 0x35769521;

    CPrinterPaperang();
    ~CPrinterPaperang() override;

    bool OnPaintBmp() override;

    // Codes the page image and appends the tree packet and every band packet;
    // false (and nothing appended) when the page cannot be coded or framed.
    bool SendBitmap_withHFM();

    void cmdBeginPrinting();
    void cmdEndPrinting();
    void cmdFeed(int length);
    void cmdPaperLocate(int distance);
    void cmdHfmTree(const unsigned char *tree, int length);
    void cmdBitmap(int index, bool coded, const unsigned char *data, int length);
    // Frames a packet and appends the frame to the page command buffer; a
    // packet longer than the frame's 16-bit length field is dropped whole.
    bool cmdChildClassPackage(const unsigned char *packet, int length);
    // The same for a packet given as its head and its body, so that a band
    // travels without being copied into a packet of its own first.
    bool cmdChildClassPackage(const unsigned char *head, int headLength, const unsigned char *body, int bodyLength);

    uint32_t MakeCrc32(const unsigned char *data, unsigned int length) const;

    void AddToBuffer(CMyBuffer &buffer);
    void AddToBuffer(const void *data, int length);

protected:
    void DropPage(const char *reason);

    uint32_t crcTable[256];
    CMyBuffer pageBuffer;
};
