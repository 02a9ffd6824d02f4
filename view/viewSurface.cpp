#include "viewSurface.h"

namespace {

// The real view: whatever drawing backend the text layer draws with.
class backendSurface final : public viewSurface {
public:
    void displayBox(int32 box[4]) override { twBack->displayBox(box); }
    bool getPixels(const twBox& b, int32u* dst) override { return twBack->getPixels(b, dst); }
    void putPixels(const twBox& b, const int32u* src) override { twBack->putPixels(b, src); }
    void fillRect(const twBox& b, int32u pixel) override { twBack->fillRect(b, pixel); }
};

backendSurface backend;
viewSurface* installed = nullptr;

} // namespace

viewSurface* activeSurface()
{
    if (installed)
        return installed;
    return twBack ? &backend : nullptr;
}

void setViewSurface(viewSurface* s)
{
    installed = s;
}
