// The menus of the exploitation loop and the choices that have no operation behind them yet:
// those open their sub-menus so that the user sees what is coming and then say plainly that
// the operation is not available, rather than pretend to act.
#include <string>

#include "diag.h"
#include "tav_view.h"
#include "textwin.h"

namespace {

struct menuIds {
    int32 main, aoi, lut, pixel, buff, ibuff, sbuff, disp, zoom, zmode, dealias, save, format,
        crypto, ancil, amode, asource, agraphs, ascaling, acounts, amenu, annot, ext;
};
menuIds ids{};

const char* const mainNames[] = {"",           "AOI OPS",   "LUT OPS",    "PIXEL OPS",
                                 "BUFF OPS",   "DISP OPS",  "PAN / ZOOM", "SAVE IMAGE",
                                 "CALCULATOR", "ANCILLARY", "ANNOTATE",   "EXTENSIONS"};

void notYet(int32 value)
{
    TEXTMSG(std::string(mainNames[value]) + "\nThis operation is not available yet.", MSG_ACK);
}

// The ancillary word and the menu mode are switched here; the roam window, statistics and
// graphs that read the word are drawn by the ancillary column once it exists.
void ancillary(viewState* vs, const int32* pv)
{
    const int32 sub = pv[2];
    int32u& a = vs->ancil;
    switch (pv[1]) {
    case 1: // MODE
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancROAM | ancSTATS);
        a |= sub == 2 ? (ancROAM | ancSTATS) : sub == 3 ? ancROAM : 0u;
        a |= ancREDRAW;
        TEXTMSG(sub == 1   ? "Ancillary display OFF"
                : sub == 2 ? "Ancillary display ROAM&STATS\nRoam window and read-outs "
                             "are not available yet."
                           : "Ancillary display ROAM ONLY\nRoam window is not "
                             "available yet.",
                MSG_BRIEF);
        vs->refresh |= RFR_STATS;
        return;
    case 2: // SOURCE
        if (sub == 1) {
            vs->dmode |= modeANCIL_DISPLAY;
            TEXTMSG("Ancillary source DISPLAY", MSG_BRIEF);
        } else if (sub == 2) {
            vs->dmode &= ~modeANCIL_DISPLAY;
            TEXTMSG("Ancillary source BUFFER", MSG_BRIEF);
        }
        return;
    case 3: // GRAPHS
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancHISTOGRAM | ancSCATTER);
        a |= sub == 2 ? ancHISTOGRAM : sub == 3 ? ancSCATTER : 0u;
        a |= ancREDRAW;
        TEXTMSG(sub == 1   ? "Graphs OFF"
                : sub == 2 ? "Graph HISTOGRAM"
                           : "Graph SCATTERGRAM",
                MSG_BRIEF);
        return;
    case 4: // SCALING
        if (sub < 1 || sub > 3)
            return;
        a &= ~(ancLINEAR | ancLOG | ancEXP);
        a |= sub == 1 ? ancLINEAR : sub == 2 ? ancLOG : ancEXP;
        TEXTMSG(sub == 1   ? "Graph scaling LINEAR"
                : sub == 2 ? "Graph scaling LOG"
                           : "Graph scaling EXP",
                MSG_BRIEF);
        return;
    case 5: // COUNTS
        if (sub == 1) {
            a |= ancCOUNTS;
            TEXTMSG("Graphs show COUNTS", MSG_BRIEF);
        } else if (sub == 2) {
            a &= ~ancCOUNTS;
            TEXTMSG("Graphs show PERCENT", MSG_BRIEF);
        }
        return;
    case 6: // MENU: FAST%x0 | STICKY%x1
        if (sub == 0) {
            SET_MENU_FAST(true);
            vs->dmode &= ~modeSTICKY;
            TEXTMSG("Menu mode is FAST\nMenu remains visible until R MOUSE is RELEASED.\nRelease "
                    "R MOUSE on final selection to Execute",
                    MSG_ACK);
        } else if (sub == 1) {
            SET_MENU_FAST(false);
            vs->dmode |= modeSTICKY;
            TEXTMSG("Menu mode is STICKY\nMenu remains visible until L or R MOUSE is "
                    "PRESSED\nPress L or R MOUSE on final selection to Execute",
                    MSG_ACK);
        }
        return;
    default:
        return;
    }
}

} // namespace

mainMenus DEFINE_VIEW_MENUS()
{
    menuIds& m = ids;
    m.main = xDEFPUP("\\   TAV   %t|AOI   OPS|LUT   OPS|PIXEL OPS|BUFF  OPS|DISP  OPS|PAN / "
                     "ZOOM|SAVE IMAGE|CALCULATOR|ANCILLARY|ANNOTATE|EXTENSIONS|LOADER|EXIT");
    m.aoi = xDEFPUP("RESTORE|DEFINE|MOVE|PREVIOUS|COMPOSITE|COPY/WARP|ACCUM|ROTATE|CLEAR|FILL|"
                    "ALPHA|STATUS|SET COLOR|WATERMARK");
    m.lut = xDEFPUP("RESET|EQUALIZE|HDR MODE|HIST STR|HIST SPEC|COMB|INFOMETRIC|CYCLE|INVERT|"
                    "PREVIOUS|STATUS|ZERO|LUT I/O");
    m.pixel = xDEFPUP("SET SCOPE|B & W|BURN IN LUTS|PSEUDOCOLOR|INFOMETRIC ~|CONVOLUTION|SWAP "
                      "GUNS|WAVELET    ~|MN CURV DIF~|FFT        ~|CANNY|ADAPTIVE|FRACTAL|RANDOM");
    m.buff = xDEFPUP("iBUFF|sBUFF~");
    m.ibuff = xDEFPUP("SELECT|IMAGE|ALPHA|ROTATE|ALIGN|CROP TO|CREATE|JOIN|RESIZE|STATUS|LOAD "
                      "TO|SWAP|RGB/BGR|DESTROY");
    m.sbuff = xDEFPUP("LOAD|EXPL");
    m.disp = xDEFPUP("RESTORE|TOUCH|COMPOSITE|SHIFT|TILE|CLEAR|GAMMA|RESIZE");
    m.zoom = xDEFPUP("PAN|ZOOM|MODE|STATUS|DE-ALIAS|\\ 1 X");
    m.zmode = xDEFPUP("REPLICATE|BILINEAR|BICUBIC|CATML-ROM");
    m.dealias = xDEFPUP("OFF|ON");
    m.save = xDEFPUP("FG AOI|BUFFER|SET PATH|CRYPTO|STATUS");
    m.format = xDEFPUP("PNG|GIF");
    m.crypto = xDEFPUP("OFF|ON|SET KEY|SAVE KEY");
    m.ancil = xDEFPUP("MODE|SOURCE|GRAPHS|SCALING|COUNTS|MENU");
    m.amode = xDEFPUP("OFF|ROAM&STATS|ROAM ONLY");
    m.asource = xDEFPUP("DISPLAY|BUFFER");
    m.agraphs = xDEFPUP("OFF|HISTOGRAM|SCATTER");
    m.ascaling = xDEFPUP("LINEAR|LOG|EXP");
    m.acounts = xDEFPUP("COUNTS|PERCENT");
    m.amenu = xDEFPUP("FAST%x0|STICKY%x1");
    // Items are counted from 0 with the title; menus without a title start at 0.
    const pupLink links[] = {
        {&m.main, 1, &m.aoi},       {&m.main, 2, &m.lut},      {&m.main, 3, &m.pixel},
        {&m.main, 4, &m.buff},      {&m.main, 5, &m.disp},     {&m.main, 6, &m.zoom},
        {&m.main, 7, &m.save},      {&m.main, 9, &m.ancil},    {&m.buff, 0, &m.ibuff},
        {&m.buff, 1, &m.sbuff},     {&m.zoom, 2, &m.zmode},    {&m.zoom, 4, &m.dealias},
        {&m.save, 0, &m.format},    {&m.save, 1, &m.format},   {&m.save, 3, &m.crypto},
        {&m.ancil, 0, &m.amode},    {&m.ancil, 1, &m.asource}, {&m.ancil, 2, &m.agraphs},
        {&m.ancil, 3, &m.ascaling}, {&m.ancil, 4, &m.acounts}, {&m.ancil, 5, &m.amenu},
    };
    for (int32 id : {m.main,  m.aoi,   m.lut,     m.pixel,   m.buff,     m.ibuff,   m.sbuff,
                     m.disp,  m.zoom,  m.zmode,   m.dealias, m.save,     m.format,  m.crypto,
                     m.ancil, m.amode, m.asource, m.agraphs, m.ascaling, m.acounts, m.amenu})
        TAV_ASSERT(id >= 0);
    mainMenus out;
    out.main = xLNKPUP(int(sizeof links / sizeof links[0]), links) == m.main ? m.main : -1;
    return out;
}

void runMenuChoice(viewState* vs, const int32* pupvals)
{
    const int32 v = pupvals[0];
    if (v == 9) {
        ancillary(vs, pupvals);
        return;
    }
    if (v == 10) {
        TEXTMSG("ANNOTATE\nNo annotation tools in this version.", MSG_ACK);
        return;
    }
    if (v == 11) {
        TEXTMSG("EXTENSIONS\nNo extension operations are installed.", MSG_ACK);
        return;
    }
    if (v >= 1 && v <= 8)
        notYet(v);
}
