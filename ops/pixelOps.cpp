#include "pixelOps.h"

#include "opMenu.h"
#include "pixelItems.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct pixelIds {
    int32 top = -1;
    int32 below[PX_ITEMS] = {};
};
pixelIds ids;

} // namespace

int32 pixelOpsMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("SET SCOPE|B & W|BURN IN LUTS|PSEUDOCOLOR|INFOMETRIC ~|CONVOLUTION|"
                         "SWAP GUNS|WAVELET    ~|MN CURV DIF~|FFT        ~|CANNY|ADAPTIVE|"
                         "FRACTAL|RANDOM");
    // An item's own links come after its link from the top menu, so that a sub-menu's place
    // is known before its own sub-menus are placed from it.
    std::vector<pupLink> itemLinks;
    for (int32 k = 0; k < PX_ITEMS; ++k) {
        ids.below[k] = pixelItems[k].menu ? pixelItems[k].menu(itemLinks) : -1;
        // Items count from 0 in the links.
        if (ids.below[k] >= 0)
            links.push_back(pupLink{&ids.top, k, &ids.below[k]});
    }
    links.insert(links.end(), itemLinks.begin(), itemLinks.end());
    return ids.top;
}

void PIXEL_OPS(viewState* vs, const int32* pupvals, bufdes* bd)
{
    if (!bd || pupvals[1] < 1 || pupvals[1] > PX_ITEMS)
        return;
    pixelItems[pupvals[1] - 1].run(vs, pupvals, bd);
}
