#include "buffOps.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

#include "bTransl.h"
#include "bigBlock.h"
#include "buff_utl.h"
#include "diag.h"
#include "dispAccum.h"
#include "fit.h"
#include "folio_utl.h"
#include "hdrMenu.h"
#include "hdrScale.h"
#include "hdrSettings.h"
#include "lexical.h"
#include "lutFile.h"
#include "lutKernels.h"
#include "lutOps.h"
#include "opMenu.h"
#include "panZoom.h"
#include "pixKernels.h"
#include "renderPix.h"
#include "sbuffActive.h"
#include "tavPaths.h"
#include "ldrRequest.h"
#include "uiPort.h"
#include "warp.h"

namespace {

// Menu ids of the loop in progress; the link table points at them.
struct buffIds {
    int32 root = -1, ibuff = -1, sbuff = -1, alpha = -1, rotate = -1, align = -1, image = -1;
    int32 chooser = -1, group[4] = {-1, -1, -1, -1}, statusChooser = -1;
    int32 cropTarget = -1, cropGuns = -1, crop = -1, join = -1, resize = -1, destroy = -1;
    int32 planes = -1, onOffRelease = -1, sbuffItems = -1, render = -1, autov = -1;
    int32 accums = -1, bands = -1, inOut = -1;
};
buffIds ids;

// Rotation of the whole buffer blends four pixels when on.
bool rotAntiAlias = false;

// Items of the BUFF OPS root, iBUFF and sBUFF~ (untitled menus count from 1 in the values).
enum : int32 { B_IBUFF = 1, B_SBUFF };
enum : int32 {
    I_SELECT = 1,
    I_IMAGE,
    I_ALPHA,
    I_ROTATE,
    I_ALIGN,
    I_CROP,
    I_CREATE,
    I_JOIN,
    I_RESIZE,
    I_STATUS,
    I_LOADTO,
    I_SWAP,
    I_RGBBGR,
    I_DESTROY
};
enum : int32 { S_STATUS = 1, S_SCALING, S_RENDER, S_ACCESS, S_INOUT };
enum : int32 { R_MIRROR = 1, R_FLIP, R_90, R_180, R_M90, R_ANY, R_ANTIALIAS };
enum : int32 {
    AL_ENABLE = 1,
    AL_CLEAR,
    AL_EDIT,
    AL_READ,
    AL_RESET,
    AL_ASSIGN,
    AL_SWAP,
    AL_DESTROY,
    AL_BURN,
    AL_STATUS
};
enum : int32 { ON = 1, OFF, RELEASE };

bool globalView(const viewState* vs)
{
    return vs->dmode & modeGLOBALV;
}

// The buffer of a chooser's group and item: 0..15, -1 when the values name none.
int32 chosenBuffer(int32 group, int32 item)
{
    if (group < 1 || group > 4 || item < 1 || item > 4)
        return -1;
    return (group - 1) * 4 + item - 1;
}

bool holdsImages(const bufdes& b)
{
    return b.numImgs > 0 && b.imgbuf;
}

std::size_t pixelCount(const bufdes* bd)
{
    return std::size_t(std::max(bd->width, 0)) * std::size_t(std::max(bd->height, 0));
}

// The view's size, as the buffers store it.
void viewSize(int32* w, int32* h)
{
    *w = curTransl.viewW;
    *h = curTransl.viewH;
}

// What every operation that changed the buffer or the view ends with.
void viewUpdate(viewState* vs, bufdes* bd, const std::string& status = {})
{
    // A joined or turned buffer no longer matches its accumulator.
    if (bd->bufCtlm & (bufJOINED | bufFLIPPED))
        bd->bufCtlm &= ~bufIS_HDR;
    vs->gunMask = 7;
    vs->dfltLutOn = true;
    vs->dmode |= modeDFLT_LUTS;
    vs->lutsChanged = true;
    int32 vw = 0, vh = 0;
    viewSize(&vw, &vh);
    if (INIT_I_TRANSL(bd)) {
        const bool saved =
            (bd->bufCtlm & bufVIEW_SAVED) && bd->transl.viewW == vw && bd->transl.viewH == vh;
        if (saved && !globalView(vs)) {
            SET_I_TRANSL(curTransl.x, curTransl.y, curTransl.zoom);
            CLEAR_VIEW();
            VIEW_MEM(nullptr, false);
        } else if (saved || bd->width > vw || bd->height > vh) {
            // The whole buffer reduced to fit, as PAN leaves it.
            vs->dmode |= modeGLOBALV;
            const globalGeom g = globalGeometry();
            SET_I_TRANSL(-g.box.x0, -g.box.y0, 1);
            bd->fgAoi = bd->bgAoi = g.box;
            vs->globalF = g.f;
            SHOW_GLOBAL_VIEW();
        } else {
            vs->dmode &= ~modeGLOBALV;
            FIT_INIT_IMG((vs->ancil & ancROAM) != 0);
            bd->bgAoi = curTransl.mapped;
            CLEAR_VIEW();
            VIEW_MEM(nullptr, false);
        }
    }
    bd->transl.viewW = vw;
    bd->transl.viewH = vh;
    bd->bufCtlm |= bufVIEW_SAVED;
    vs->refresh |= RFR_VIEW | RFR_STATS;
    const aoiRec m = globalView(vs) ? bd->fgAoi : curTransl.mapped;
    testLog("view place %d %d %d %d %d", m.x0, m.y0, m.x1, m.y1, curTransl.zoom);
    if (!status.empty())
        ack(status);
}

// The view takes bd's records as the current buffer's.
void takeBuffer(viewState* vs, shortu* curB, shortu n)
{
    bufdes* nb = &vs->bufObjs[n];
    *curB = n;
    vs->currB = n;
    vs->loadTarget = -1;
    vs->bd = nb;
    MANAGE_PAN_ACCUM(nb->bufNum);
    INIT_I_TRANSL(nb);
    for (int g = 0; g < 3; ++g)
        std::memcpy(vs->tranLut[g], nb->tLut[g], 256);
}

// ---- iBUFF SELECT --------------------------------------------------------------------------

void selectBuffer(viewState* vs, shortu* curB, int32 n, const std::string& status = {})
{
    if (n < 0)
        return;
    bufdes* cur = vs->bd;
    cur->viewMode = vs->dmode;
    cur->gunMask = vs->gunMask;
    if (n == int32(vs->currB)) {
        ack("Selected CURRENT image buffer.");
        return;
    }
    bufdes* nb = &vs->bufObjs[n];
    // The view cannot show a buffer below 16 x 16: it is refused like an empty one.
    if (!holdsImages(*nb) || nb->width < 16 || nb->height < 16) {
        ack("Selected EMPTY image buffer.");
        return;
    }
    emptyFolios(touchSlots);
    int32 vw = 0, vh = 0;
    viewSize(&vw, &vh);
    if (!(nb->bufCtlm & bufVIEW_SAVED) || nb->transl.viewW != vw || nb->transl.viewH != vh) {
        nb->bufCtlm &= ~bufVIEW_SAVED;
        emptyFolios(1u << slotGLOBALV);
    }
    takeBuffer(vs, curB, shortu(n));
    const int32u viewBits = modeGLOBALV | modeALPHA | modeALPHA_PASTE;
    if (nb->bufCtlm & bufVIEW_SAVED)
        vs->dmode = (vs->dmode & ~viewBits) | (nb->viewMode & viewBits);
    else
        vs->dmode &= ~modeGLOBALV;
    if (nb->bufCtlm & bufALPHA)
        vs->dmode |= modeALPHA_PASTE;
    else
        vs->dmode &= ~(modeALPHA | modeALPHA_PASTE);
    if (!(nb->bufCtlm & bufIS_HDR))
        for (int g = 0; g < 4; ++g)
            std::snprintf(nb->imgDes[nb->curImg].scal[g].curve, sizeof nb->imgDes[0].scal[g].curve,
                          "%s", "UNSCALED");
    viewUpdate(vs, nb, status);
}

// ---- IMAGE ---------------------------------------------------------------------------------

void splitPath(const std::string& path, std::string* dir, std::string* file)
{
    const std::size_t s = path.rfind('/');
    if (s == std::string::npos) {
        *dir = "./";
        *file = path;
    } else {
        *dir = path.substr(0, s + 1);
        *file = path.substr(s + 1);
    }
}

std::string imageStatus(const bufdes* bd)
{
    const ides& d = bd->imgDes[bd->curImg];
    const fdes& f = d.fd[d.curGun & 3];
    std::string dir, file;
    splitPath(f.path, &dir, &file);
    return strPrintf("      BUFFER: %d   IMAGE: %d     \nPath: %s\nFile: %s\nfBand,Bands: %d  %d "
                     "%d %d %d\nfCols,fRows: %d  %d\ndCols,dRows: %d  %d\nfXofs,fYofs: %d  "
                     "%d\nbXofs,bYofs: %d  %d",
                     bd->bufNum, bd->curImg + 1, dir.c_str(), file.c_str(), int(d.planeCount),
                     int(d.planeBands[0]), int(d.planeBands[1]), int(d.planeBands[2]),
                     int(d.planeBands[3]), int(f.fCols), int(f.fRows), int(f.dCols), int(f.dRows),
                     int(f.fXofs), int(f.fYofs), int(f.bXofs), int(f.bYofs));
}

fdes& currentFdes(bufdes* bd)
{
    ides& d = bd->imgDes[bd->curImg];
    return d.fd[d.curGun & 3];
}

void imageSelect(viewState* vs, shortu* curB, bufdes* bd)
{
    if (bd->bufCtlm & bufFLIPPED) {
        ack("WARN: Buffer has rotated.\n      Image boundaries undefined.");
        return;
    }
    if (bd->numImgs > 1) {
        const std::string a = viewUi().ask(strPrintf("Enter image ID (1-%d): ", int(bd->numImgs)));
        int32 id = 0;
        if (!toInt32(trimBlanks(a).c_str(), id) || id < 1 || id > bd->numImgs) {
            ack("Invalid image ID");
            return;
        }
        bd->curImg = id - 1;
    }
    bd->bufCtlm &= ~bufVIEW_SAVED;
    (void)curB;
    viewUpdate(vs, bd, imageStatus(bd));
}

void imageDelete(bufdes* bd)
{
    fdes& f = currentFdes(bd);
    const std::string path = f.path;
    if (path.empty())
        return;
    std::string dir, file;
    splitPath(path, &dir, &file);
    if (!viewUi().askYesNo(strPrintf("***DELETING IMAGE FILE***\n %s\n   %s\n\nConfirm [Y/N]: ",
                                     dir.c_str(), file.c_str()))) {
        ack("Delete canceled");
        return;
    }
    if (std::remove(path.c_str()) != 0) {
        ack(strPrintf("DELETE FAIL:\n  %s\n\nCheck file permissions.", path.c_str()));
        return;
    }
    ack(strPrintf("DELETED:\n %s\n   %s", dir.c_str(), file.c_str()));
    f.path[0] = '\0';
}

void imageRename(bufdes* bd)
{
    uiPort& ui = viewUi();
    fdes& f = currentFdes(bd);
    const std::string path = f.path;
    if (path.empty())
        return;
    std::string dir, file;
    splitPath(path, &dir, &file);
    std::string name = trimBlanks(
        ui.ask(strPrintf("     ***RENAMING IMAGE FILE***      \n %s\n   %s\n\nNew filename? ",
                         dir.c_str(), file.c_str())));
    // A name, not a path: the file stays in its directory.
    if (name.empty() || name.find('/') != std::string::npos) {
        ack("Rename canceled");
        return;
    }
    if (name.find('.') == std::string::npos) {
        const std::size_t dot = file.rfind('.');
        if (dot != std::string::npos)
            name += file.substr(dot);
    }
    const std::string to = (path.find('/') == std::string::npos ? std::string() : dir) + name;
    if (to.size() > TAV_PATH_MAX || to.size() >= sizeof f.path) {
        ack("Rename canceled");
        return;
    }
    struct stat st {
    }, from{};
    if (::stat(to.c_str(), &st) == 0) {
        // The image's own file under its own name: deleting "the other" file would delete it.
        if (::stat(path.c_str(), &from) == 0 && from.st_dev == st.st_dev &&
            from.st_ino == st.st_ino) {
            ack("Rename canceled");
            return;
        }
        if (!ui.askYesNo(
                strPrintf("File:\n  %s\nalready exists. Delete?\nConfirm [Y/N]?", to.c_str()))) {
            ack("Rename canceled");
            return;
        }
        // rename replaces the existing file in one step: removed first, a rename that then
        // failed would have lost it and left the image under its old name only.
    }
    if (std::rename(path.c_str(), to.c_str()) != 0) {
        ack(strPrintf("RENAME FAIL:\n  %s\n\nCheck file permissions.", to.c_str()));
        return;
    }
    std::string ndir, nfile;
    splitPath(to, &ndir, &nfile);
    ack(strPrintf("RENAMED:\n %s\n   %s", ndir.c_str(), nfile.c_str()));
    std::snprintf(f.path, sizeof f.path, "%s", to.c_str());
}

void image(viewState* vs, shortu* curB, bufdes* bd, int32 item)
{
    switch (item) {
    case 1:
        imageSelect(vs, curB, bd);
        return;
    case 2:
        ack(imageStatus(bd));
        return;
    case 3:
        imageDelete(bd);
        return;
    case 4:
        imageRename(bd);
        return;
    default:
        return;
    }
}

// ---- ALPHA ---------------------------------------------------------------------------------

constexpr int32u alphaBoth = modeALPHA | modeALPHA_PASTE;

void alphaChanged(viewState* vs, bufdes* bd)
{
    NEW_GENERATION(bd);
    emptyFolios(1u << slotGLOBALV);
    vs->refresh |= RFR_CUT;
}

void alpha(viewState* vs, bufdes* bd, int32 item, int32 plane)
{
    const std::size_t n = pixelCount(bd);
    const bool present = bd->bufCtlm & bufALPHA;
    switch (item) {
    case AL_ENABLE:
        if (vs->gunMask != 7) {
            ack("Cannot Enable ALPHA if\nTransform LUTs are active");
            return;
        }
        if (!(vs->dmode & modeALPHA_PASTE))
            brief("ALPHA Empty... Enabling.");
        vs->dmode |= alphaBoth;
        vs->refresh |= RFR_PASTE_A;
        ack("ALPHA Enabled");
        return;
    case AL_CLEAR:
        if ((vs->dmode & alphaBoth) == alphaBoth) {
            vs->dmode &= ~modeALPHA;
            vs->refresh |= RFR_PASTE_A;
            ack("ALPHA Disabled");
        } else
            ack((vs->dmode & modeALPHA_PASTE) ? "ALPHA not Enabled" : "ALPHA Empty");
        return;
    case AL_EDIT:
        if (!LUT_DRAW_RAMP(vs, bd->tLut[3]))
            return;
        if ((vs->dmode & alphaBoth) == alphaBoth)
            vs->refresh |= RFR_CUT | RFR_PASTE_A;
        ack("ALPHA Display LUT set");
        return;
    case AL_READ: {
        const std::string name = trimBlanks(viewUi().ask("Enter alpha LUT file name.\n> "));
        if (name.empty())
            return;
        std::FILE* f = std::fopen(name.c_str(), "rb");
        lutSet luts{};
        const int32 rc = f ? readLutFile(f, luts) : -1;
        if (f)
            std::fclose(f);
        if (rc != 0) {
            ack(strPrintf("Cannot read LUT file\n%s", name.c_str()));
            return;
        }
        // The file's first table becomes the alpha display table.
        std::memcpy(bd->tLut[3], luts[0], 256);
        if ((vs->dmode & alphaBoth) == alphaBoth)
            vs->refresh |= RFR_CUT | RFR_PASTE_A;
        ack("ALPHA Display LUT read");
        return;
    }
    case AL_RESET:
        if (!viewUi().askYesNo("WARNING: Existing LUT will be lost.\nProceed? (Y|N) >")) {
            ack("Canceled");
            return;
        }
        for (int i = 0; i < 256; ++i)
            bd->tLut[3][i] = charu(i);
        ack("ALPHA Display LUT reset");
        return;
    case AL_ASSIGN:
        if (globalView(vs)) {
            ack("GLOBAL VIEW: ALPHA undefined.");
            return;
        }
        if (plane != 1 && plane != 2 && plane != 4)
            return;
        alphaFromPlane(bd->imgbuf, n, plane);
        bd->bufCtlm |= bufALPHA;
        vs->dmode |= alphaBoth;
        alphaChanged(vs, bd);
        return;
    case AL_SWAP:
        if (!present) {
            ack("ALPHA Empty");
            return;
        }
        if (plane != 1 && plane != 2 && plane != 4)
            return;
        alphaSwapPlane(bd->imgbuf, n, plane);
        vs->dmode |= alphaBoth;
        alphaChanged(vs, bd);
        ack("ALPHA swapped with selected color plane");
        return;
    case AL_DESTROY:
        if (!present) {
            ack("ALPHA Empty");
            return;
        }
        for (std::size_t k = 0; k < n; ++k)
            bd->imgbuf[k] &= 0x00FFFFFFu;
        bd->bufCtlm &= ~bufALPHA;
        vs->dmode &= ~alphaBoth;
        alphaChanged(vs, bd);
        ack("ALPHA destroyed");
        return;
    case AL_BURN:
        alphaBurnIn(bd->imgbuf, n, bd->tLut[3]);
        bd->bufCtlm &= ~bufALPHA;
        vs->dmode &= ~alphaBoth;
        alphaChanged(vs, bd);
        vs->refresh |= RFR_DATA;
        ack("ALPHA burned into RGB and ERASED");
        return;
    case AL_STATUS:
        if (!present)
            ack("ALPHA plane empty");
        else
            ack((vs->dmode & alphaBoth) == alphaBoth ? "ALPHA present and Enabled for Display"
                                                     : "ALPHA present but not Enabled for Display");
        return;
    default:
        return;
    }
}

// ---- ROTATE --------------------------------------------------------------------------------

bool staticGoesOn(const bufdes* bd)
{
    if (!(bd->bufCtlm & bufSTATIC))
        return true;
    const std::string a =
        viewUi().ask("WARNING: Static Buffer.\n         Size will be changed!\nContinue? [Y/N] > ");
    return !(!a.empty() && (a[0] == 'n' || a[0] == 'N'));
}

// The buffer turned into a new block; 0 or a negative status.
int32 rotateInto(bufdes* bd, int32 degrees, double anyDegrees)
{
    int32 ow = bd->width, oh = bd->height;
    if (anyDegrees > 0) {
        // The bounding box of the turned rectangle must stay within the sizes a buffer holds.
        if (double(bd->width) + double(bd->height) > double(INT32_MAX))
            return -4;
        rotatedSize(bd->width, bd->height, anyDegrees, &ow, &oh);
    } else if (degrees != 180) {
        std::swap(ow, oh);
    }
    std::string msg;
    if (!SAFE_MEM_REQ_WH(ow, oh, &msg))
        return -4;
    auto* out = static_cast<int32u*>(bigAlloc(std::size_t(ow) * std::size_t(oh) * 4));
    if (!out)
        return -2;
    const pixArea src{bd->imgbuf, bd->width, bd->height, bd->width};
    const pixArea dst{out, ow, oh, ow};
    if (anyDegrees > 0)
        rotateAny(src, dst, anyDegrees, rotAntiAlias);
    else if (!rotateRight(src, dst, degrees)) {
        bigFree(out);
        return -3;
    }
    bigFree(bd->imgbuf);
    bd->imgbuf = out;
    NEW_GENERATION(bd);
    bd->width = ow;
    bd->height = oh;
    return 0;
}

void rotate(viewState* vs, bufdes* bd, int32 item, int32 sub)
{
    uiPort& ui = viewUi();
    vs->dmode &= ~modeAUTO_RENDER;
    if (item == R_ANTIALIAS) {
        if (sub < ON || sub > RELEASE)
            return;
        rotAntiAlias = sub == ON;
        ack(rotAntiAlias ? "Anti-aliasing ON" : "Anti-aliasing OFF");
        return;
    }
    const pixArea all{bd->imgbuf, bd->width, bd->height, bd->width};
    if (item == R_MIRROR || item == R_FLIP) {
        brief(item == R_MIRROR ? "MIRRORING BUFFER" : "FLIPPING BUFFER");
        ui.setCursor(2);
        if (item == R_MIRROR)
            mirrorArea(all);
        else
            flipArea(all);
        ui.setCursor(1);
        NEW_GENERATION(bd);
        bd->bufCtlm |= bufFLIPPED | bufLOADED;
        emptyFolios(1u << slotGLOBALV);
        viewUpdate(vs, bd);
        return;
    }
    int32 degrees = 0;
    double any = 0;
    switch (item) {
    case R_90:
        degrees = 90;
        break;
    case R_180:
        degrees = 180;
        break;
    case R_M90:
        degrees = 270;
        break;
    case R_ANY:
        if (!parseRotAngle(ui.ask("Enter rotation angle.\n> "), &any)) {
            ack("Invalid angle.\n  Use -180 <= angle <= 180, or\n  clockwise 0 <  angle <  360");
            return;
        }
        break;
    default:
        return;
    }
    if (!staticGoesOn(bd))
        return;
    brief("ROTATING BUFFER");
    ui.setCursor(2);
    const int32 rc = rotateInto(bd, degrees, any);
    ui.setCursor(1);
    if (rc != 0) {
        ack(strPrintf("ROTATE aborted.\nStatus=%d", int(rc)));
        return;
    }
    bd->bufCtlm |= bufFLIPPED | bufLOADED;
    if (degrees != 180) {
        // A new shape: laid out anew, and the accumulator no longer maps to it.
        bd->bufCtlm &= ~(bufVIEW_SAVED | bufIS_HDR);
        UNLINK_CLONE(vs->bufObjs, bd);
    }
    emptyFolios(1u << slotGLOBALV);
    viewUpdate(vs, bd);
}

// ---- ALIGN ---------------------------------------------------------------------------------

// Planes of the ALIGN masks in alignment-offset order: red, green, blue, alpha.
constexpr int32 alignBits[4] = {1, 2, 4, 8};

void shiftPlaneBy(bufdes* bd, int p, int32 dx, int32 dy)
{
    shiftPlanes(bd->imgbuf, bd->width, bd->height, gunByteMask(alignBits[p]), dx, dy);
    bd->align[p] += dx;
    bd->align[4 + p] += dy;
}

void alignChanged(viewState* vs, bufdes* bd)
{
    NEW_GENERATION(bd);
    emptyFolios(1u << slotGLOBALV);
    bd->bufCtlm |= bufLOADED;
    viewUpdate(vs, bd);
}

void align(viewState* vs, bufdes* bd, int32 mask)
{
    uiPort& ui = viewUi();
    if (mask == 0) {
        const int32* a = bd->align;
        ack(strPrintf(" ALIGN X,Y OFFSETS\n  RED   %4d %4d\n  GREEN %4d %4d\n  BLUE  %4d %4d\n  "
                      "ALPHA %4d %4d\n(+)->BXY Ld tag\n(-)->FXY Ld tag",
                      a[0], a[4], a[1], a[5], a[2], a[6], a[3], a[7]));
        return;
    }
    if (mask == 0x20) {
        ack("Operation not available");
        return;
    }
    if (mask == 0x10) {
        bool any = false;
        for (int p = 0; p < 3; ++p)
            if (bd->align[p] || bd->align[4 + p]) {
                shiftPlaneBy(bd, p, -bd->align[p], -bd->align[4 + p]);
                any = true;
            }
        if (any)
            alignChanged(vs, bd);
        return;
    }
    if (mask < 1 || mask > 15)
        return;
    if (globalView(vs)) {
        ack("Operation not available\nin GLOBAL VIEW");
        return;
    }
    // Two clicks: a feature of the chosen planes, then where it belongs.
    ui.message("ALIGN\nClick L Mouse on a feature of the planes,\nthen on its place.\nR Mouse to "
               "exit",
               MSG_BRIEF);
    int32 x[2] = {0, 0}, y[2] = {0, 0};
    for (int k = 0; k < 2; ++k)
        for (;;) {
            const int e = ui.mouseEvent(&x[k], &y[k], 0);
            if (e == MOUSE_LEFT)
                break;
            if (e == MOUSE_RIGHT || e == MOUSE_REDRAW || e == MOUSE_CLOSE)
                return;
        }
    const int32 z = std::max(1, curTransl.zoom);
    const int32 dx = (x[1] - x[0]) / z, dy = (y[1] - y[0]) / z;
    if (dx == 0 && dy == 0)
        return;
    for (int p = 0; p < 4; ++p)
        if (mask & alignBits[p])
            shiftPlaneBy(bd, p, dx, dy);
    alignChanged(vs, bd);
}

// ---- CROP TO, CREATE, JOIN, RESIZE ---------------------------------------------------------

constexpr int32u cropModes[6] = {0, CROP_CLONE, CROP_DRAW, CROP_BOX, CROP_FG_AOI, CROP_DISPL};

void cropTo(viewState* vs, bufdes* bd, int32 item, int32 targetItem, int32 sub)
{
    if (item < 1 || item > 5 || targetItem < 1 || targetItem > 8)
        return;
    int32u mode = cropModes[item];
    cropBoxSize box;
    if (mode & CROP_BOX) {
        const int rc =
            viewUi().askIntPair("Enter COLS [X] and ROWS [Y] of crop area\n> ", box.cols, box.rows);
        if (rc != PAIR_OK) {
            ack("Invalid input");
            return;
        }
        const int32 chk = cropBoxCheck(box.cols, box.rows, bd->width, bd->height);
        if (chk == BOX_TOO_SMALL) {
            ack("Crop dimension is too small");
            return;
        }
        if (chk == BOX_EXCEEDS) {
            ack("Crop dimension exceeds buffer");
            return;
        }
    }
    short target = 0, band = 0;
    if (targetItem <= 4) {
        const int32 n = chosenBuffer(targetItem, sub);
        if (n < 0)
            return;
        if (n == int32(vs->currB)) {
            ack("Cannot crop to current buffer");
            return;
        }
        const bufdes& t = vs->bufObjs[n];
        if (t.numImgs > 0 || t.imgbuf) {
            ack("Selected buffer is not empty");
            return;
        }
        target = short(n);
    } else {
        if (sub != 7 && sub != 1 && sub != 2 && sub != 4)
            return;
        target = short(targetItem - 5);
        band = short(sub);
        mode |= CROP_TO_ACCUM;
    }
    if (vs->gunMask != 7 && !vs->dfltLutOn) {
        brief("Transform LUTs will be applied");
        mode |= CROP_APPLY_LUTS;
    }
    const int32 rc = CROP(vs, target, shortu(mode), band, box);
    if (rc != CROP_OK)
        ack(strPrintf("CROP failed. Status %d", int(rc)));
}

void create(viewState* vs, int32 n)
{
    if (n < 0)
        return;
    bufdes* b = &vs->bufObjs[n];
    if (n == int32(vs->currB) || b->numImgs > 0 || b->imgbuf) {
        ack("Selected buffer already exists");
        return;
    }
    int32 w = 0, h = 0;
    if (viewUi().askIntPair("Enter COLS [X] and ROWS [Y] of new buffer\n> ", w, h) != PAIR_OK ||
        w < 1 || h < 1) {
        ack("Invalid input");
        return;
    }
    int st = 0;
    if (!CREATE_iBUFF(b, w, h, &st)) {
        ack(strPrintf("Buffer %d Create operation Failed: %d", n + 1, st));
        return;
    }
    ack(strPrintf("Created iBUFF %d", n + 1));
}

void join(viewState* vs, bufdes* bd, int32 side, int32 other)
{
    if (side < 1 || side > 4 || other < 0)
        return;
    if (other == int32(vs->currB)) {
        ack("Cannot JOIN iBUFF to itself");
        return;
    }
    brief("Joining Buffers...");
    const int32 rc = JOIN_BUFFERS(vs, side - 1, other);
    if (rc != JOIN_OK) {
        DIAG("\nJOIN_BUFFERS() fail= %d", rc);
        ack("Failed. Incompatible Dimensions or Insufficient Memory");
        return;
    }
    bd->bufCtlm &= ~bufVIEW_SAVED;
    emptyFolios(1u << slotGLOBALV);
    vs->dmode &= ~modeAUTO_RENDER;
    viewUpdate(vs, bd);
}

// The view's zoom interpolation; a mode word without one magnifies by replication.
int32 zoomMethod(const viewState* vs)
{
    const int32 m = int32(vs->dmode & 0xF);
    return m != 0 ? m : WARP_REPLICATE;
}

void resize(viewState* vs, bufdes* bd, int32 item)
{
    uiPort& ui = viewUi();
    if (item != 1 && item != 2)
        return;
    if (!staticGoesOn(bd))
        return;
    double fx = 0, fy = 0;
    int32 rc = RSZ_INVALID;
    if (item == 1) {
        double a = 0, b = 0;
        if (ui.askDoublePair("Enter [X] and [Y] scaling factors.\n> ", a, b) == PAIR_OK)
            rc = resizeByFactors(a, b, &fx, &fy);
    } else {
        int32 c = 0, r = 0;
        if (ui.askIntPair("Enter desired cols [X] and rows [Y].\n> ", c, r) == PAIR_OK)
            rc = resizeToSize(c, r, bd->width, bd->height, &fx, &fy);
    }
    switch (rc) {
    case RSZ_OK:
        break;
    case RSZ_UNCHANGED:
        ack("Buffer size not changed");
        return;
    case RSZ_RANGE:
        ack("Warp factor out of range");
        return;
    case RSZ_NOTHING:
        return;
    default:
        ack("Invalid input");
        return;
    }
    brief("WARP Calculating...");
    ui.setCursor(2);
    int32 cols = bd->width, rows = bd->height;
    const double f[2] = {fx, fy};
    std::string msg;
    int32u* out = nullptr;
    if (SAFE_MEM_REQ_SCALED(cols, rows, &msg, fx, fy))
        out = WARP(bd->imgbuf, &cols, &rows, f, zoomMethod(vs), &msg);
    ui.setCursor(1);
    if (!out) {
        ack("Buffer WARP operation Failed");
        return;
    }
    // WARP's block comes from the C allocator, as the buffers' blocks do.
    bigFree(bd->imgbuf);
    bd->imgbuf = out;
    NEW_GENERATION(bd);
    for (int32 k = 0; k < bd->numImgs; ++k) {
        ides& d = bd->imgDes[k];
        d.x0 = int32(d.x0 * fx);
        d.y0 = int32(d.y0 * fy);
        d.x1 = int32(d.x1 * fx);
        d.y1 = int32(d.y1 * fy);
        d.width = d.x1 - d.x0 + 1;
        d.height = d.y1 - d.y0 + 1;
    }
    bd->width = cols;
    bd->height = rows;
    UNLINK_CLONE(vs->bufObjs, bd);
    bd->bufCtlm = bufLOADED | bufJOINED;
    std::fill(std::begin(bd->align), std::end(bd->align), 0);
    emptyFolios(1u << slotGLOBALV);
    vs->dmode &= ~(modeGLOBALV | modeALPHA_PASTE | modeAUTO_RENDER);
    INIT_I_TRANSL(bd);
    int32 vw = 0, vh = 0;
    viewSize(&vw, &vh);
    if (cols <= vw && rows <= vh && FIT_INIT_IMG((vs->ancil & ancROAM) != 0)) {
        bd->bgAoi = curTransl.mapped;
        bd->transl.viewW = vw;
        bd->transl.viewH = vh;
        bd->bufCtlm |= bufVIEW_SAVED;
    }
    viewUpdate(vs, bd);
}

// ---- STATUS, LOAD TO, SWAP, RGB/BGR, DESTROY -----------------------------------------------

void status(viewState* vs, int32 group)
{
    if (group < 1 || group > 4)
        return;
    const bufdes* t = vs->bufObjs;
    const int32 k0 = (group - 1) * 4;
    const auto row = [&](auto get) {
        std::string s;
        for (int32 k = k0; k < k0 + 4; ++k)
            s += get(t[k]);
        return s;
    };
    const auto num = [](int32 v) { return strPrintf(" %6d", int(v)); };
    std::string text = "             Image Buffer Info\nBuffer: ";
    text += row([&](const bufdes& b) { return num(b.bufNum); });
    text += "\nImages: " + row([&](const bufdes& b) { return num(b.numImgs); });
    text += "\nXdimen: " + row([&](const bufdes& b) { return num(b.imgbuf ? b.width : 0); });
    text += "\nYdimen: " + row([&](const bufdes& b) { return num(b.imgbuf ? b.height : 0); });
    text += "\nMbytes: " + row([&](const bufdes& b) {
                const std::uint64_t bytes =
                    holdsImages(b) ? std::uint64_t(b.width) * std::uint64_t(b.height) * 4 : 0;
                return strPrintf(" %6.1f", double(bytes) / 1e6);
            });
    const bufdes* bd = vs->bd;
    const std::string path = currentFdes(const_cast<bufdes*>(bd)).path;
    const std::size_t s = path.rfind('/');
    const std::string file = s == std::string::npos ? path : path.substr(s);
    std::uint64_t ram = 0, swp = 0;
    freeMemory(ram, swp);
    text +=
        strPrintf("\n       Active: Buf %2d, Img %d\n  %s\nFree RAM: %6.1f Mb  SWAP: %6.1f Mb",
                  bd->bufNum, bd->curImg + 1, file.c_str(), double(ram) / 1e6, double(swp) / 1e6);
    ack(text);
}

void loadTo(viewState* vs, int32 n)
{
    if (n < 0)
        return;
    vs->loadTarget = n;
    ldrState.autob = false;
    ack(strPrintf("Target for image loads is\niBUFF %d until changed", n + 1));
}

void swapBuffers(viewState* vs, shortu* curB, int32 n)
{
    if (n < 0)
        return;
    if (n == int32(vs->currB)) {
        ack("Selected CURRENT image buffer.");
        return;
    }
    bufdes* t = vs->bufObjs;
    const int32 a = vs->currB;
    bufdes& A = t[a];
    bufdes& B = t[n];
    A.viewMode = vs->dmode;
    A.gunMask = vs->gunMask;
    // The contents change places; the numbers stay with the slots, as every message counts
    // them, and links to either slot follow the contents.
    std::swap(A, B);
    std::swap(A.bufNum, B.bufNum);
    NEW_GENERATION(&A);
    NEW_GENERATION(&B);
    const int32 na = a + 1, nb = n + 1;
    for (int32 k = 0; k < NUM_iBUFF; ++k) {
        int32& l = t[k].linkBuf;
        if (l == na)
            l = nb;
        else if (l == nb)
            l = na;
    }
    // An accumulator that maps to either buffer follows its contents too.
    for (int id : {SBUFF_LOADER, SBUFF_EXPLOIT}) {
        auto& src = sbuffInstance(id).desc.srcBuf;
        if (src == na)
            src = std::int16_t(nb);
        else if (src == nb)
            src = std::int16_t(na);
    }
    SWAP_PAN_ACCUMS(na, nb);
    takeBuffer(vs, curB, shortu(n));
    t[n].bufCtlm &= ~bufVIEW_SAVED;
    viewUpdate(vs, &t[n], "Buffers Swapped");
}

void rgbBgr(viewState* vs, bufdes* bd)
{
    swapGuns(bd->imgbuf, pixelCount(bd), 5); // red <-> blue
    NEW_GENERATION(bd);
    bd->bufCtlm |= bufLOADED;
    emptyFolios(1u << slotGLOBALV);
    viewUpdate(vs, bd);
}

void release(viewState* vs, int32 k)
{
    bufdes* b = &vs->bufObjs[k];
    UNLINK_CLONE(vs->bufObjs, b);
    FREE_iBUFF(b);
    DROP_PAN_ACCUM(k + 1);
}

void destroy(viewState* vs, int32 item, int32 group, int32 sub)
{
    const int32 cur = vs->currB;
    bufdes* t = vs->bufObjs;
    int32 from = 0, to = -1;
    std::string text;
    switch (item) {
    case 1: {
        const int32 n = chosenBuffer(group, sub);
        if (n < 0)
            return;
        if (n == cur) {
            ack("Cannot release CURRENT buffer");
            return;
        }
        if (t[n].numImgs < 1 && !t[n].imgbuf) {
            ack("Selected EMPTY buffer");
            return;
        }
        from = to = n;
        text = strPrintf("RELEASING buffer %d      \n", n + 1);
        break;
    }
    case 2:
        from = 0;
        to = NUM_iBUFF - 1;
        text = "RELEASING all buffers except current\n";
        break;
    case 3:
        from = cur + 1;
        to = NUM_iBUFF - 1;
        break;
    case 4:
        from = 0;
        to = cur - 1;
        break;
    default:
        return;
    }
    if (from > to)
        return;
    if (text.empty())
        text = strPrintf("RELEASING active buffers in range %d thru %d\n", from + 1, to + 1);
    if (!viewUi().askYesNo(text + "Confirm [Y/N]: ")) {
        ack("Operation Declined...");
        return;
    }
    int32 released = 0, last = -1;
    for (int32 k = from; k <= to; ++k) {
        // A buffer made by CREATE holds a block but no image yet: it is released as well.
        if (k == cur || (t[k].numImgs < 1 && !t[k].imgbuf))
            continue;
        release(vs, k);
        ++released;
        last = k;
    }
    if (item == 1 && released == 1)
        ack(strPrintf("Image buffer %d Released!", last + 1));
    else
        ack(strPrintf("Released %d buffers", int(released)));
}

void ibuffChoice(viewState* vs, const int32* pv, shortu* curB)
{
    bufdes* bd = vs->bd;
    if (!bd || !vs->bufObjs)
        return;
    switch (pv[0]) {
    case I_SELECT:
        selectBuffer(vs, curB, chosenBuffer(pv[1], pv[2]));
        return;
    case I_IMAGE:
        image(vs, curB, bd, pv[1]);
        return;
    case I_ALPHA:
        alpha(vs, bd, pv[1], pv[2]);
        return;
    case I_ROTATE:
        rotate(vs, bd, pv[1], pv[2]);
        return;
    case I_ALIGN:
        align(vs, bd, pv[1]);
        return;
    case I_CROP:
        cropTo(vs, bd, pv[1], pv[2], pv[3]);
        return;
    case I_CREATE:
        create(vs, chosenBuffer(pv[1], pv[2]));
        return;
    case I_JOIN:
        join(vs, bd, pv[1], chosenBuffer(pv[2], pv[3]));
        return;
    case I_RESIZE:
        resize(vs, bd, pv[1]);
        return;
    case I_STATUS:
        status(vs, pv[1]);
        return;
    case I_LOADTO:
        loadTo(vs, chosenBuffer(pv[1], pv[2]));
        return;
    case I_SWAP:
        swapBuffers(vs, curB, chosenBuffer(pv[1], pv[2]));
        return;
    case I_RGBBGR:
        rgbBgr(vs, bd);
        return;
    case I_DESTROY:
        destroy(vs, pv[1], pv[2], pv[3]);
        return;
    default:
        return;
    }
}

// ---- sBUFF~ --------------------------------------------------------------------------------

// SCALING of an sBUFF: the HDR scaling menu, with the values chosen from its top menu down.
void sbuffScaling(viewState* vs, int32 which, const int32* hdrVals)
{
    SBUFF_SCALING(vs, which - 1, hdrVals);
}

const char* sbuffName(int id)
{
    return id == SBUFF_LOADER ? "LOADER" : "EXPLOIT";
}

bool sbuffHasData(int id)
{
    const int slot = id == SBUFF_LOADER ? SBUFF_LOADER_SLOT : SBUFF_EXPLOIT_SLOT;
    return (foliosDefined() & (1u << slot)) && sbuffInstance(id).desc.defined == 1;
}

void renderChoice(viewState* vs, shortu* curB, int id, int32 item, int32 a, int32 b)
{
    const char* name = sbuffName(id);
    switch (item) {
    case 1: // AUTOV
        if (a == ON) {
            vs->dmode |= modeAUTO_RENDER;
            hdrSet.autoMode = true;
            ack("        AutoView ON\nAUTOMATIC HDR sBUFF refresh");
        } else if (a == OFF) {
            vs->dmode &= ~modeAUTO_RENDER;
            hdrSet.autoMode = false;
            ack("        AutoView OFF\nSelect RENDER for HDR sBUFF refresh");
        }
        return;
    case 2: { // AOI
        if (!sbuffHasData(id)) {
            ack(strPrintf("%s sBUFF is Empty", name));
            return;
        }
        const folioDesc& d = activeSbuff().desc;
        const aoiRec fg = vs->bd->fgAoi;
        if (int32(d.aoi[0]) != fg.x0 || int32(d.aoi[1]) != fg.y0 || int32(d.aoi[2]) != fg.x1 ||
            int32(d.aoi[3]) != fg.y1) {
            ack(strPrintf("%s sBUFF does not map to Display FG AOI.\nRender sBUFF to image "
                          "buffer to view",
                          name));
            return;
        }
        const int rc = RENDER_sBUFF(&fg, vs->bd, RSB_TO_DISPLAY);
        if (rc != 0) {
            ack(strPrintf("Error rendering sBuff: %d", rc));
            return;
        }
        vs->gunMask = 7;
        vs->dfltLutOn = true;
        vs->dmode |= modeDFLT_LUTS;
        vs->refresh |= RFR_VIEW;
        vs->ancil |= ancREDRAW;
        ack(strPrintf("%s sBUFF rendered to FG_AOI.\nNote: HDR descaling undefined outside FG_AOI",
                      name));
        return;
    }
    case 3: { // iBUFF
        const int32 n = chosenBuffer(a, b);
        if (n < 0)
            return;
        bufdes* t = &vs->bufObjs[n];
        const bool had = holdsImages(*t);
        if (had && !(n == int32(vs->currB) && (t->bufCtlm & bufIS_HDR))) {
            ack("No mapping to selected Image Buffer");
            return;
        }
        if (!had) {
            const folioDesc& d = activeSbuff().desc;
            int st = 0;
            if (!CREATE_iBUFF(t, int32(d.cols), int32(d.rows), &st)) {
                ack(strPrintf("Image Buffer creation failed. Status= %d", st));
                return;
            }
        }
        vs->gunMask = 7;
        vs->dfltLutOn = true;
        vs->dmode |= modeDFLT_LUTS;
        brief("Rendering sBUFF...");
        const int rc = RENDER_sBUFF(nullptr, t, RSB_TO_iBUFF);
        if (rc != 0) {
            ack(strPrintf("Error rendering sBUFF to iBUFF.\nStatus: %d", rc));
            if (n != int32(vs->currB))
                FREE_iBUFF(t);
            return;
        }
        t->bufCtlm = (t->bufCtlm | bufIS_HDR | bufLOADED) & ~bufVIEW_SAVED;
        NEW_GENERATION(t);
        ack(strPrintf("sBUFF rendered to image buffer %d\n     Click to view...", n + 1));
        if (n != int32(vs->currB))
            selectBuffer(vs, curB, n);
        else
            viewUpdate(vs, t);
        return;
    }
    case 4: { // ACCUM
        if (a < 1 || a > 4 || b < 1 || b > 4)
            return;
        if (!sbuffHasData(id)) {
            ack(strPrintf("%s sBUFF is Empty", name));
            return;
        }
        const int rc = CUT_SBUFFtoACCUM(a - 1, b, vs->bd->bufNum);
        if (rc != 0)
            ack(strPrintf("ERROR: CUT_SBUFFtoACCUM() status= %d", rc));
        else
            ack(strPrintf("%s sBUFF HDR Band %d written to User Accumulator %d\nSee "
                          "TAVusrGuide.txt : iCALC for use",
                          name, int(b), int(a)));
        return;
    }
    default:
        return;
    }
}

void access(viewState* vs, int id, int32 item)
{
    uiPort& ui = viewUi();
    if (item == ON) {
        if (id == SBUFF_LOADER) {
            ack("HDR scaling defined by Loader sBUFF");
            return;
        }
        if ((vs->dmode & modeGLOBAL_SCOPE) &&
            !ui.askYesNo("WARN: GLOBAL SCOPE rendering Enabled.\n  Active Exploit sBUFF is not "
                         "advisable for\n  GLOBAL SCOPE on very large images.\n  Enable sBUFF "
                         "anyway? (Y|N) > ")) {
            ack("Cancelled");
            return;
        }
        vs->dmode |= modeSBUFF_WRITE;
        ack("  Exploitation sBUFF\n        - ON -\nWrite-Enabled for ~Apps \n    with HDR output");
    } else if (item == OFF) {
        if (id == SBUFF_LOADER) {
            ack("Loader sBUFF is managed by Loader");
            return;
        }
        vs->dmode &= ~modeSBUFF_WRITE;
        ack("  Exploitation sBUFF\n       - OFF -\n sBUFF Write-Protected ");
    } else if (item == RELEASE) {
        if (!ui.askYesNo(id == SBUFF_LOADER
                             ? "WARN: Releasing Loader sBUFF content.\nProceed? (Y|N) >"
                             : "WARN: Releasing Exploit sBUFF content.\nProceed? (Y|N) >")) {
            ack("Cancelled");
            return;
        }
        CLAIM_FOLIOS(1u << (id == SBUFF_LOADER ? SBUFF_LOADER_SLOT : SBUFF_EXPLOIT_SLOT));
        sbuffInstance(id).desc = folioDesc{};
        ack("sBUFF storage\n  RELEASED");
    }
}

void inOut(viewState* vs, int id, int32 item)
{
    uiPort& ui = viewUi();
    std::string& dir = vs->sbuffDir;
    if (dir.empty())
        dir = "./";
    if (item == 1) { // READ
        const std::string name = trimBlanks(ui.ask(strPrintf(
            "Reading Exploit sBUFF from File.\nPath: %s\nEnter filename:                  \n> ",
            dir.c_str())));
        if (name.empty())
            return;
        const std::string path = dir + name;
        int32 cols = 0, rows = 0;
        const int rc = file_to_sbuff(path.c_str(), cols, rows);
        if (rc != 0) {
            ack(strPrintf("sBUFF injest failed\nFile= %s\nStatus= %d", path.c_str(), rc));
            return;
        }
        ack(strPrintf("Exploit sBUFF ingest successful. Cols= %d Rows %d\nRENDER it to an "
                      "image buffer to view;\nSCALING sets its display.",
                      int(cols), int(rows)));
    } else if (item == 2) { // WRITE
        if (!sbuffHasData(id)) {
            ack("sBUFF is Empty");
            return;
        }
        std::string name = trimBlanks(ui.ask(strPrintf(
            "Path: %s\nEnter filename to receive scaling buffer             \n> ", dir.c_str())));
        if (name.empty())
            return;
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos || name.substr(dot) != ".tav")
            name += ".tav";
        const std::string path = dir + name;
        if (path.size() > TAV_PATH_MAX) {
            ack(strPrintf("Error writing file %s\nStatus= %d", path.c_str(), -2));
            return;
        }
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 &&
            !ui.askYesNo(
                strPrintf("File: %s\n  already exists.\nOverwrite? [Y/N]\n> ", path.c_str())))
            return;
        brief("Saving file...");
        const int rc = sbuff_to_file(path.c_str());
        if (rc != 0)
            ack(strPrintf("Error writing file %s\nStatus= %d", path.c_str(), rc));
        else
            ack(strPrintf("File: %s\nSuccessfully saved", path.c_str()));
    } else if (item == 3) { // SET PATH
        const std::string q =
            dir != "./" ? strPrintf("sBUFF File path: %s               \nPath? > ", dir.c_str())
                        : std::string("Set path to sBUF I/O directory.               \n> ");
        std::string a = ui.ask(q);
        if (a.empty())
            return;
        if (a[0] == ' ') {
            dir = "./";
            return;
        }
        a = trimBlanks(a);
        ENV_EXPAND(a);
        struct stat st {};
        if (::stat(a.c_str(), &st) != 0 || !S_ISDIR(st.st_mode) || a.size() >= TAV_PATH_MAX) {
            ack(strPrintf("Not a directory or cannot access:\n%s", a.c_str()));
            return;
        }
        if (a.back() != '/')
            a += '/';
        dir = a;
    }
}

void sbuffChoice(viewState* vs, const int32* pv, shortu* curB)
{
    const int32 which = pv[0]; // 1 LOAD, 2 EXPL
    if (which < 1 || which > 2)
        return;
    const int id = which == 1 ? SBUFF_LOADER : SBUFF_EXPLOIT;
    if (SET_ACTIVE_sBUFF(id) < 0) {
        ack("***SEVERE; BUFF_OPS() Invalid sBUFF");
        return;
    }
    switch (pv[1]) {
    case S_STATUS:
        ack(SHOW_sBUFF_STATUS(activeSbuffSlot(), (vs->dmode & modeSBUFF_WRITE) != 0));
        return;
    case S_SCALING:
        sbuffScaling(vs, which, pv + 2);
        return;
    case S_RENDER:
        renderChoice(vs, curB, id, pv[2], pv[3], pv[4]);
        return;
    case S_ACCESS:
        access(vs, id, pv[2]);
        return;
    case S_INOUT:
        inOut(vs, id, pv[2]);
        return;
    default:
        return;
    }
}

} // namespace

int32 buffOpsMenu(std::vector<pupLink>& links)
{
    buffIds& m = ids;
    m.root = defineMenu("iBUFF|sBUFF~");
    m.ibuff = defineMenu("SELECT|IMAGE|ALPHA|ROTATE|ALIGN|CROP TO|CREATE|JOIN|RESIZE|STATUS|LOAD "
                         "TO|SWAP|RGB/BGR|DESTROY");
    m.sbuff = defineMenu("LOAD|EXPL");
    m.alpha = defineMenu("ENABLE|CLEAR|EDIT  LUT|READ  LUT|RESET LUT|ASSIGN|SWAP|DESTROY|BURN IN|"
                         "STATUS");
    m.rotate = defineMenu("MIRROR|FLIP|ROT  90|ROT 180|ROT -90|ROT '?'|ANTI-ALIAS");
    m.align = defineMenu("STATUS%x0|RGB%x7|RED%x1|GRN%x2|BLU%x4|ALPHA%x8|RESET%x10|RECTIF%x20");
    m.image = defineMenu("SELECT|STATUS|DELETE|RENAME");
    m.chooser = defineMenu("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16");
    m.group[0] = defineMenu("\\ 1|\\ 2|\\ 3|\\ 4");
    m.group[1] = defineMenu("\\ 5|\\ 6|\\ 7|\\ 8");
    m.group[2] = defineMenu("\\ 9|10|11|12");
    m.group[3] = defineMenu("13|14|15|16");
    m.statusChooser = defineMenu("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16");
    m.cropTarget = defineMenu("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16|ACCUM @1|ACCUM "
                              "@2|ACCUM @3|ACCUM @4");
    m.cropGuns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    m.crop = defineMenu("CLONE|DRAW|BOX|FG AOI|DISPL");
    m.join = defineMenu("LEFT|RIGHT|ABOVE|BELOW");
    m.resize = defineMenu("SFACT|X,Y");
    m.destroy = defineMenu("SELECT|ALL|HERE >|< HERE");
    m.planes = defineMenu("RED%x1|GRN%x2|BLU%x4");
    m.onOffRelease = defineMenu("ON|OFF|RELEASE");
    m.sbuffItems = defineMenu("STATUS|SCALING|RENDER|ACCESS~|INP/OUT");
    m.render = defineMenu("AUTOV|AOI|iBUFF|ACCUM");
    m.autov = defineMenu("ON|OFF");
    m.accums = defineMenu("ACCUM @1|ACCUM @2|ACCUM @3|ACCUM @4");
    m.bands = defineMenu("BAND 1|BAND 2|BAND 3|BAND 4");
    m.inOut = defineMenu("READ|WRITE|SET PATH");
    // Items count from 0 in the links.
    const auto link = [&links](int32* parent, int32 item, int32* child) {
        links.push_back(pupLink{parent, item, child});
    };
    link(&m.root, B_IBUFF - 1, &m.ibuff);
    link(&m.root, B_SBUFF - 1, &m.sbuff);
    link(&m.ibuff, I_SELECT - 1, &m.chooser);
    link(&m.ibuff, I_IMAGE - 1, &m.image);
    link(&m.ibuff, I_ALPHA - 1, &m.alpha);
    link(&m.ibuff, I_ROTATE - 1, &m.rotate);
    link(&m.ibuff, I_ALIGN - 1, &m.align);
    link(&m.ibuff, I_CROP - 1, &m.crop);
    link(&m.ibuff, I_CREATE - 1, &m.chooser);
    link(&m.ibuff, I_JOIN - 1, &m.join);
    link(&m.ibuff, I_RESIZE - 1, &m.resize);
    link(&m.ibuff, I_STATUS - 1, &m.statusChooser);
    link(&m.ibuff, I_LOADTO - 1, &m.chooser);
    link(&m.ibuff, I_SWAP - 1, &m.chooser);
    link(&m.ibuff, I_DESTROY - 1, &m.destroy);
    link(&m.alpha, AL_ASSIGN - 1, &m.planes);
    link(&m.alpha, AL_SWAP - 1, &m.planes);
    link(&m.rotate, R_ANTIALIAS - 1, &m.onOffRelease);
    for (int32 g = 0; g < 4; ++g) {
        link(&m.chooser, g, &m.group[g]);
        link(&m.cropTarget, g, &m.group[g]);
        link(&m.cropTarget, 4 + g, &m.cropGuns);
    }
    for (int32 k = 0; k < 5; ++k)
        link(&m.crop, k, &m.cropTarget);
    for (int32 k = 0; k < 4; ++k)
        link(&m.join, k, &m.chooser);
    link(&m.destroy, 0, &m.chooser); // SELECT
    link(&m.sbuff, 0, &m.sbuffItems);
    link(&m.sbuff, 1, &m.sbuffItems);
    HDR_SCALING_MENUS(links, &m.sbuffItems, S_SCALING - 1);
    link(&m.sbuffItems, S_RENDER - 1, &m.render);
    link(&m.sbuffItems, S_ACCESS - 1, &m.onOffRelease);
    link(&m.sbuffItems, S_INOUT - 1, &m.inOut);
    link(&m.render, 0, &m.autov);   // AUTOV
    link(&m.render, 2, &m.chooser); // iBUFF
    link(&m.render, 3, &m.accums);  // ACCUM
    for (int32 k = 0; k < 4; ++k)
        link(&m.accums, k, &m.bands);
    return m.root;
}

void BUFF_OPS(viewState* vs, const int32* pupvals, shortu* curB)
{
    if (!vs || !pupvals || !curB || pupvals[0] <= 0)
        return;
    if (pupvals[0] == B_IBUFF)
        ibuffChoice(vs, pupvals + 1, curB);
    else if (pupvals[0] == B_SBUFF)
        sbuffChoice(vs, pupvals + 1, curB);
}

void buffOps(viewState* vs, const int32* pupvals, bufdes*)
{
    if (!vs)
        return;
    BUFF_OPS(vs, pupvals + 1, &vs->currB);
}

void resetBuffOps()
{
    rotAntiAlias = false;
}
