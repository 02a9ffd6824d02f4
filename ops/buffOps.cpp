#include "buffOps.h"

#include "hdrMenu.h"
#include "notYet.h"
#include "opMenu.h"
#include "uiPort.h"

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

const char* const ibuffItems[] = {"SELECT",  "IMAGE",  "ALPHA",   "ROTATE", "ALIGN",
                                  "CROP TO", "CREATE", "JOIN",    "RESIZE", "STATUS",
                                  "LOAD TO", "SWAP",   "RGB/BGR", "DESTROY"};
const char* const sbuffItemNames[] = {"STATUS", "SCALING", "RENDER", "ACCESS~", "INP/OUT"};

// SCALING of an sBUFF: the HDR scaling menu, with the values chosen from its top menu down.
void sbuffScaling(viewState* vs, int32 which, const int32* hdrVals)
{
    SBUFF_SCALING(vs, which - 1, hdrVals);
}

void ibuffChoice(viewState*, const int32* pv, shortu*)
{
    if (pv[0] < I_SELECT || pv[0] > I_DESTROY)
        return;
    notYet(ibuffItems[pv[0] - 1]);
}

void sbuffChoice(viewState* vs, const int32* pv)
{
    const int32 which = pv[0]; // 1 LOAD, 2 EXPL
    if (which < 1 || which > 2 || pv[1] < S_STATUS || pv[1] > S_INOUT)
        return;
    if (pv[1] == S_SCALING) {
        sbuffScaling(vs, which, pv + 2);
        return;
    }
    notYet(sbuffItemNames[pv[1] - 1]);
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
    link(&m.alpha, 5, &m.planes);        // ASSIGN
    link(&m.alpha, 6, &m.planes);        // SWAP
    link(&m.rotate, 6, &m.onOffRelease); // ANTI-ALIAS
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
    if (!vs || !pupvals || pupvals[0] <= 0)
        return;
    if (pupvals[0] == B_IBUFF)
        ibuffChoice(vs, pupvals + 1, curB);
    else if (pupvals[0] == B_SBUFF)
        sbuffChoice(vs, pupvals + 1);
}

void buffOps(viewState* vs, const int32* pupvals, bufdes*)
{
    if (!vs)
        return;
    BUFF_OPS(vs, pupvals + 1, &vs->currB);
}
