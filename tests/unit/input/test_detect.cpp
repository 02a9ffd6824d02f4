// Format detection: signature order, text signatures, extension fallback, short files.
#include <gtest/gtest.h>

#include <cstring>

#include "input_fixture.h"
#include "vslReaders.h"

using namespace tavtest;

namespace {

struct detectCase {
    const char* name;
    std::vector<std::uint8_t> head; // first bytes; the rest of the 1 KiB block is filler
    const char* ext;
    int format;
};

std::vector<std::uint8_t> withText(std::vector<std::uint8_t> v, const char* text, std::size_t at)
{
    if (v.size() < at + std::strlen(text))
        v.resize(at + std::strlen(text), 0);
    std::memcpy(v.data() + at, text, std::strlen(text));
    return v;
}

int detect(const std::vector<std::uint8_t>& head, const char* ext, int* status = nullptr)
{
    std::vector<std::uint8_t> bytes = head;
    bytes.resize(1100, 0x11);
    const std::string path = tmpPath(std::string("detect.") + ext);
    writeFile(path, bytes);
    std::FILE* fp = std::fopen(path.c_str(), "rb");
    ides id;
    initIdes(&id);
    bufdes b{};
    b.imgDes = &id;
    int32 n = 0;
    charu* anc[4];
    const int st = GETHEADER(fp, &b, path.c_str(), &n, anc, true);
    FREE_PALETTE(anc, &n);
    std::fclose(fp);
    if (status)
        *status = st;
    return id.fd[0].format;
}

} // namespace

TEST(FormatDetect, SignaturesInPriorityOrder)
{
    const std::vector<std::uint8_t> png = {0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<std::uint8_t> jp2(24, 0);
    const std::uint8_t box[12] = {0, 0, 0, 12, 0x6A, 0x50, 0x20, 0x20, 0x0D, 0x0A, 0x87, 0x0A};
    std::memcpy(jp2.data() + 8, box, 12);
    std::vector<std::uint8_t> jp2le(24, 0);
    const std::uint8_t boxLe[12] = {12, 0, 0, 0, 0x20, 0x20, 0x50, 0x6A, 0x0A, 0x87, 0x0A, 0x0D};
    std::memcpy(jp2le.data() + 4, boxLe, 12);
    const detectCase cases[] = {
        {"jpeg", withText({0xFF, 0xD8}, "GIF89a", 40), "gif", FMT_JPEG},
        {"png beats gif text", withText(png, "GIF89a", 100), "x", FMT_PNG},
        {"tiff II", {'I', 'I', 0x2A, 0}, "x", FMT_TIFF},
        {"tiff MM", {'M', 'M', 0, 0x2A}, "x", FMT_TIFF},
        {"gif anywhere", withText({'a', 0, 'b'}, "GIF87a", 300), "x", FMT_GIF},
        {"fits", withText(withText(withText({' '}, "SIMPLE", 0), "BITPIX", 80), "NAXIS", 160), "x",
         FMT_FITS},
        {"fits needs upper case",
         withText(withText(withText({' '}, "simple", 0), "BITPIX", 80), "NAXIS", 160), "x",
         FMT_GENERIC},
        {"jp2 box", jp2, "x", FMT_JP2},
        {"jp2 box little-endian", jp2le, "x", FMT_JP2},
        {"webp any case", withText(withText({' '}, "riff", 0), "webpVP8", 8), "x", FMT_WEBP},
        {"avif", withText({' '}, "ftypAVIF", 4), "x", FMT_AVIF},
    };
    for (const auto& c : cases)
        EXPECT_EQ(detect(c.head, c.ext), c.format) << c.name;
}

TEST(FormatDetect, ExtensionDecidesWhenContentIsSilent)
{
    const std::vector<std::uint8_t> junk = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12};
    EXPECT_EQ(detect(junk, "J2K"), FMT_JP2);
    EXPECT_EQ(detect(junk, "tif"), FMT_TIFF);
    EXPECT_EQ(detect(junk, "tiff"), FMT_GENERIC);
    EXPECT_EQ(detect(junk, "jpg"), FMT_GENERIC);
    EXPECT_EQ(detect(junk, "Gif"), FMT_GIF);
}

TEST(FormatDetect, RecognisedSignaturesOverJunkAreRefusedByTheirReaders)
{
    // Recognised by their words and refused by their readers, never loaded as raw.
    int st = 0;
    const auto fits = withText(withText(withText({' '}, "SIMPLE", 0), "BITPIX", 80), "NAXIS", 160);
    EXPECT_EQ(detect(fits, "x", &st), FMT_FITS);
    EXPECT_EQ(st, FITS_NO_OPEN);
    EXPECT_EQ(detect(withText({' '}, "ftypavif", 4), "x", &st), FMT_AVIF);
    EXPECT_EQ(st, AVIF_PARSE);
}

TEST(FormatDetect, SmallFilesAreSniffedOnWhatTheyHave)
{
    // An 8x2 PGM is far below one kilobyte and still loads.
    writePnm(tmpPath("small.pgm"), 16, 16, 1, 255, std::vector<std::uint16_t>(256, 77));
    const auto r = runLoad(tmpPath("small.pgm"));
    EXPECT_EQ(r.hdr, 0);
    EXPECT_EQ(r.load, 0);
    EXPECT_EQ(r.gun(15, 15, 0), 77);

    writeFile(tmpPath("tiny.pgm"), {'P', '5', ' ', '1'});
    EXPECT_EQ(runLoad(tmpPath("tiny.pgm")).hdr, HDR_READ_FAIL);
}
