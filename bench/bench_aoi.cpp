// FG AOI kernels timed on a seeded picture: FILL CORNERS, X & Y, MIRROR, FLIP, ROT 90 and a
// free turn by 30 degrees; and the whole-buffer work of BUFF OPS: turns into a new block
// (ROT 90, ROT -90, ROT '?' 30 with anti-aliasing into the bounding box), JOIN RIGHT of a
// second buffer of the same size into a new block, and RGB/BGR. Prints the seconds
// of each of N calls, one per line, so that a script can put them beside the peers timed the
// same way in the same run.
//
//   bench_aoi KERNEL WIDTH HEIGHT N
//
// KERNEL: corners, xy, mirror, flip, rot90, rot30, bufrot90, bufrotm90, bufrot30, join,
// rgbbgr.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "aoiKernels.h"
#include "bigBlock.h"
#include "buffKernels.h"

namespace {

// The same seeded picture on every run; the kernels' cost does not depend on the values, but
// fills read the edges and turns read everywhere.
std::vector<int32u> seeded(int32 w, int32 h)
{
    std::mt19937 rng(20261207u);
    std::vector<int32u> px(std::size_t(w) * std::size_t(h));
    for (int32u& p : px)
        p = rng();
    return px;
}

// A turn as ROTATE does it: a new block of the turned size, the old one released.
void bufferTurn(const pixArea& a, int32 deg)
{
    int32 ow = a.h, oh = a.w;
    if (deg % 90 != 0)
        rotatedSize(a.w, a.h, deg, &ow, &oh);
    auto* out = static_cast<int32u*>(bigAlloc(std::size_t(ow) * std::size_t(oh) * 4));
    if (deg % 90 == 0)
        rotateRight(a, pixArea{out, ow, oh, ow}, deg);
    else
        rotateAny(a, pixArea{out, ow, oh, ow}, deg, true);
    bigFree(out);
}

// JOIN RIGHT as the buffer does it: the joined block made and filled, the current block
// released.
void bufferJoin(const std::vector<int32u>& px, int32 w, int32 h)
{
    const std::size_t bytes = std::size_t(w) * std::size_t(h) * 4;
    auto* joined = static_cast<int32u*>(bigAlloc(bytes * 2));
    joinBlocks(joined, px.data(), w, h, px.data(), w, h, JOIN_RIGHT);
    bigFree(joined);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 5) {
        std::fprintf(stderr,
                     "usage: bench_aoi corners|xy|mirror|flip|rot90|rot30|bufrot90|bufrotm90|"
                     "bufrot30|join|rgbbgr W H N\n");
        return 2;
    }
    const std::string k = argv[1];
    const int32 w = std::atoi(argv[2]), h = std::atoi(argv[3]), n = std::atoi(argv[4]);
    if (w < 3 || h < 3 || n < 1)
        return 2;
    std::vector<int32u> src = seeded(w, h), work = src;
    std::vector<int32u> out(std::size_t(w) * std::size_t(h));
    const pixArea a{work.data(), w, h, w};
    for (int32 i = 0; i <= n; ++i) {
        work = src;
        const auto t0 = std::chrono::steady_clock::now();
        if (k == "corners")
            fillArea(a, FILL_CORNERS);
        else if (k == "xy")
            fillArea(a, FILL_XY);
        else if (k == "mirror")
            mirrorArea(a);
        else if (k == "flip")
            flipArea(a);
        else if (k == "rot90")
            rotateRight(a, pixArea{out.data(), h, w, h}, 90);
        else if (k == "rot30")
            rotateAny(a, pixArea{out.data(), w, h, w}, 30.0, true);
        else if (k == "bufrot90" || k == "bufrotm90" || k == "bufrot30")
            bufferTurn(a, k == "bufrot90" ? 90 : k == "bufrotm90" ? 270 : 30);
        else if (k == "join")
            bufferJoin(src, w, h);
        else if (k == "rgbbgr")
            swapRedBlue(work.data(), work.size());
        else
            return 2;
        const double s =
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        if (i > 0) // the first call warms the caches and the pages
            std::printf("%.9f\n", s);
    }
    return 0;
}
