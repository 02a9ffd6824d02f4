// SAVE IMAGE through the real menus and prompts: BUFFER, PNG, RGB, a typed name, the saved
// notice acknowledged; the file holds the loaded image pixel for pixel.
#include <gtest/gtest.h>

#include <png.h>

#include "session.h"

using namespace tavtest;

namespace {

class SaveView : public Session {
protected:
    void chooseSave(std::initializer_list<int> rows) { chooseMenuPath(7, rows); }
};

TEST_F(SaveView, BufferSavedAsPngHoldsTheImage)
{
    writeFile(home.file("TAVdefaults.txt"), "ISAVE_PATH=" + home.file("") + "\n");
    ASSERT_NO_FATAL_FAILURE(startOnImage(300, 200));
    ASSERT_NO_FATAL_FAILURE(chooseSave({1, 0, 0})); // BUFFER, PNG, RGB
    ASSERT_FALSE(log.waitFor("msg show", waitMs).empty()) << log.text();
    drv->type("saved\n");
    ASSERT_TRUE(waitText("Saved:")) << log.text();
    click(1, 20, 20);
    ASSERT_FALSE(log.waitFor("idle main", waitMs).empty()) << log.text();

    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&im, home.file("saved.png").c_str()));
    ASSERT_EQ(im.width, 300u);
    ASSERT_EQ(im.height, 200u);
    im.format = PNG_FORMAT_RGB;
    std::vector<unsigned char> px(PNG_IMAGE_SIZE(im));
    ASSERT_TRUE(png_image_finish_read(&im, nullptr, px.data(), 0, nullptr));
    int bad = 0;
    for (int y = 0; y < 200 && bad < 5; ++y)
        for (int x = 0; x < 300 && bad < 5; ++x) {
            const uint32_t p = pattern(x, y);
            const unsigned char* q = &px[(std::size_t(y) * 300 + std::size_t(x)) * 3];
            if (q[0] != (p >> 16 & 0xff) || q[1] != (p >> 8 & 0xff) || q[2] != (p & 0xff)) {
                ADD_FAILURE() << "pixel " << x << "," << y;
                ++bad;
            }
        }
    exitByMenu();
}

} // namespace
