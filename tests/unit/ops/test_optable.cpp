// The main menu built from the operation table is the menu tree the exploitation loop always
// had: same definitions, same ids, same links and tree extents (so it opens in the same place),
// and LOADER and EXIT follow the operations.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "fakeBackend.h"
#include "opTable.h"
#include "textwin.h"

namespace {

struct menuShape {
    std::string def;
    int32 treeX, treeY, treeW, treeH;
    std::vector<shortu> children;
};

std::vector<menuShape> shapesFrom(int32 root)
{
    std::vector<menuShape> out;
    for (int32 id = root; id < MAX_WIN; ++id) {
        if (!wdef.def[id] || !wdef.rec[id].pup)
            continue;
        const pupRec& p = *wdef.rec[id].pup;
        menuShape s{p.def, p.treeX, p.treeY, p.treeW, p.treeH, {}};
        for (const pupItem& it : p.item)
            s.children.push_back(it.child);
        out.push_back(s);
    }
    return out;
}

// The menus as the exploitation loop defined them in one piece, before the operation table.
int32 menusInOnePiece()
{
    int32 main = xDEFPUP("\\   TAV   %t|AOI   OPS|LUT   OPS|PIXEL OPS|BUFF  OPS|DISP  OPS|PAN / "
                         "ZOOM|SAVE IMAGE|CALCULATOR|ANCILLARY|ANNOTATE|EXTENSIONS|LOADER|EXIT");
    int32 aoi = xDEFPUP("RESTORE|DEFINE|MOVE|PREVIOUS|COMPOSITE|COPY/WARP|ACCUM|ROTATE|CLEAR|"
                        "FILL|ALPHA|STATUS|SET COLOR|WATERMARK");
    int32 aDefine = xDEFPUP("DRAW AOI|VIS. BUFF|FULL DISP|DISP / 2|512 X 512|256 X 256|COLS,ROWS");
    int32 aShapes = xDEFPUP("RECTANGLE|SQUARE");
    int32 aGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 aAlpha = xDEFPUP("CLEAR|ASSIGN");
    int32 aPlanes = xDEFPUP("RED%x1|GRN%x2|BLU%x4");
    int32 aCopy = xDEFPUP("UNSCALED|DRAW DEST.|SFACT|X,Y");
    int32 aAccums = xDEFPUP("ACCUM @1%i0|ACCUM @2%i1|ACCUM @3%i2|ACCUM @4%i3");
    int32 aAccumsPan = xDEFPUP("ACCUM @1%i0|ACCUM @2%i1|ACCUM @3%i2|ACCUM @4%i3|PAN V%i5");
    int32 aActions = xDEFPUP("CROP TO|PASTE FR|STATUS|RELEASE");
    int32 aFill = xDEFPUP("\\  Y  %i1|\\  X  %i2|X & Y%i3|CORNERS%i7|SEGSOFT%i8|SEGHARD%i9");
    int32 aRotate = xDEFPUP("MIRROR|FLIP|ROT  90|ROT 180|ROT -90|ROT '?'|ANTI-ALIAS");
    int32 aClip = xDEFPUP("CLIPPED|UNCLIPPED");
    int32 aOnOff = xDEFPUP("OFF|ON");
    int32 aMove = xDEFPUP("DRAG|TILE|SET SNAP");
    int32 aSnap = xDEFPUP(" 1 | 2 | 4 %i4| 8 %i8");
    int32 aColour = xDEFPUP("FG AOI|BG AOI|LIMITS");
    int32 aComposite = xDEFPUP("LOCAL|CLONE");
    int32 aPrevious = xDEFPUP("\\ - |\\ + ");
    int32 lut = xDEFPUP("RESET|EQUALIZE|HDR MODE|HIST STR|HIST SPEC|COMB|INFOMETRIC|CYCLE|INVERT|"
                        "PREVIOUS|STATUS|ZERO|LUT I/O");
    int32 guns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 curve = xDEFPUP("LIN | LOG | EXP | SINH | TANH");
    int32 scope = xDEFPUP("LOCAL|GLOBAL");
    // Titled, so roots of their own: popped up by the drawn-line items, not linked.
    xDEFPUP("H.STRETCH%t|   RGB%x7|   RED%x1|   GRN%x2|   BLU%x4");
    xDEFPUP("H.SPECIFY%t|   RGB%x7|   RED%x1|   GRN%x2|   BLU%x4");
    int32 comb = xDEFPUP("\\ 2%i2|\\ 4%i4|\\ 8%i8|16%i16|32%i32|64%i64");
    int32 info = xDEFPUP("ENTROPY%x0|ABS REDUN%x1|REL REDUN%x2");
    int32 cycle = xDEFPUP("ROTATE|SHIFT");
    int32 prev = xDEFPUP("\\ - |\\ + ");
    int32 io = xDEFPUP("READ|WRITE|SET PATH");
    int32 pixel = xDEFPUP("SET SCOPE|B & W|BURN IN LUTS|PSEUDOCOLOR|INFOMETRIC ~|CONVOLUTION|"
                          "SWAP GUNS|WAVELET    ~|MN CURV DIF~|FFT        ~|CANNY|ADAPTIVE|"
                          "FRACTAL|RANDOM");
    int32 pxScope = xDEFPUP("FG AOI|GLOBAL|STATUS");
    int32 pxOnce = xDEFPUP("ONCE|REPEAT");
    int32 pxBw = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 pxStandard = xDEFPUP("NTSC '53|CONTEMP");
    int32 pxBurn = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 pxSource = xDEFPUP("RED%x1|GRN%x2|BLU%x4");
    int32 pxStyle = xDEFPUP("NORMAL|COMB");
    int32 pxLevels = xDEFPUP("256%i0|64%i1|32%i2|16%i3|8%i4");
    int32 pxTeeth = xDEFPUP("16%i16| 8%i8| 4%i4");
    int32 pxInfo = xDEFPUP("ENTROPY|ABS REDUND|REL REDUND");
    int32 cFilters = xDEFPUP("USER|SHARPEN|LAPLACIAN|GAUSSIAN|POSTERIZE|SOBEL|MEX HAT|LoG|MEDIAN");
    int32 cLaplace = xDEFPUP("3X3 +|3X3|5X5");
    int32 cGauss = xDEFPUP("5X5|9X9|15X15");
    int32 cDirection = xDEFPUP("X GRAD|Y GRAD|DIAGONAL");
    int32 cSizes = xDEFPUP("3X3|5X5|9X9");
    int32 cSobel = xDEFPUP("MAGNITUDE|DIRECTION");
    int32 cMedian = xDEFPUP("PLUS|X|3X3");
    int32 cGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 pxSwap = xDEFPUP("RED<->GRN%x3|RED<->BLU%x5|GRN<->BLU%x6");
    int32 wFilter = xDEFPUP("DAUB|HAAR|BATH|FBI|ENTROPY|USER");
    int32 wDisc = xDEFPUP("--------DISC|CONT");
    int32 wSelect = xDEFPUP("LEVEL|PATH");
    int32 wLevels = xDEFPUP("\\ 1 |\\ 2 |\\ 3 |\\ 4 |\\ 5");
    int32 wBand = xDEFPUP("HH|HL|LH|LL");
    int32 wGunsL = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4|sBUFF%x0");
    int32 wGunsP = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4|sBUFF%x0");
    int32 canny = xDEFPUP("RUN|SET|STATUS");
    int32 cannyKinds = xDEFPUP("EDGE|ORIENT|LAPLAC");
    int32 cannyGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 cannySet = xDEFPUP("DEFAULT|SIG VAL|SIG DIAM|K|THIN|BRIGHT");
    int32 adaptive = xDEFPUP("RUN|SET|STATUS");
    int32 adaptiveSet = xDEFPUP("SCALE|ITERATIONS|MODE|COEFF.VAR|DEFAULT");
    int32 fTop = xDEFPUP("RUN|SET|STATUS");
    int32 fTypes = xDEFPUP(" Mandelbrot|.Julia|.Barnsley 1|.Barnsley 2| Spider| ManOWar| "
                           "Sierpinski| -previous-%i-1");
    int32 fSet = xDEFPUP("ITERATION|AREA|LUT CYCLE|CX/CY [.]");
    int32 fCycles = xDEFPUP("  2 %i2|  4 %i4|  8 %i8| 16 %i16|OFF %i0");
    // Titled, so a root of its own: the fractal viewer pops it up.
    int32 fViewer = xDEFPUP("FRACTX%t|ZOOM|BACK|LUT CYCLE|CX/CY");
    int32 fZoom = xDEFPUP(" 2x%i2| 4x%i4| 8x%i8|16x%i16");
    int32 fViewCycles = xDEFPUP("  2%i2|  4%i4|  8%i8| 16%i16|OFF%i0");
    const pupLink viewer[] = {{&fViewer, 1, &fZoom}, {&fViewer, 3, &fViewCycles}};
    xLNKPUP(2, viewer);
    int32 buff = xDEFPUP("iBUFF|sBUFF~");
    int32 ibuff = xDEFPUP("SELECT|IMAGE|ALPHA|ROTATE|ALIGN|CROP TO|CREATE|JOIN|RESIZE|STATUS|"
                          "LOAD TO|SWAP|RGB/BGR|DESTROY");
    int32 sbuff = xDEFPUP("LOAD|EXPL");
    int32 bAlpha = xDEFPUP("ENABLE|CLEAR|EDIT  LUT|READ  LUT|RESET LUT|ASSIGN|SWAP|DESTROY|"
                           "BURN IN|STATUS");
    int32 bRotate = xDEFPUP("MIRROR|FLIP|ROT  90|ROT 180|ROT -90|ROT '?'|ANTI-ALIAS");
    int32 bAlign = xDEFPUP("STATUS%x0|RGB%x7|RED%x1|GRN%x2|BLU%x4|ALPHA%x8|RESET%x10|RECTIF%x20");
    int32 bImage = xDEFPUP("SELECT|STATUS|DELETE|RENAME");
    int32 bChooser = xDEFPUP("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16");
    int32 bGroup1 = xDEFPUP("\\ 1|\\ 2|\\ 3|\\ 4");
    int32 bGroup2 = xDEFPUP("\\ 5|\\ 6|\\ 7|\\ 8");
    int32 bGroup3 = xDEFPUP("\\ 9|10|11|12");
    int32 bGroup4 = xDEFPUP("13|14|15|16");
    // STATUS chooses a group of four: the first level alone.
    int32 bStatusChooser = xDEFPUP("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16");
    int32 bCropTarget = xDEFPUP("iBUFF   1-4|iBUFF   5-8|iBUFF  9-12|iBUFF 13-16|ACCUM @1|"
                                "ACCUM @2|ACCUM @3|ACCUM @4");
    int32 bCropGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 bCrop = xDEFPUP("CLONE|DRAW|BOX|FG AOI|DISPL");
    int32 bJoin = xDEFPUP("LEFT|RIGHT|ABOVE|BELOW");
    int32 bResize = xDEFPUP("SFACT|X,Y");
    int32 bDestroy = xDEFPUP("SELECT|ALL|HERE >|< HERE");
    int32 bPlanes = xDEFPUP("RED%x1|GRN%x2|BLU%x4");
    int32 bOnOffRel = xDEFPUP("ON|OFF|RELEASE");
    int32 bSbuffItems = xDEFPUP("STATUS|SCALING|RENDER|ACCESS~|INP/OUT");
    int32 bRender = xDEFPUP("AUTOV|AOI|iBUFF|ACCUM");
    int32 bAutov = xDEFPUP("ON|OFF");
    int32 bAccums = xDEFPUP("ACCUM @1|ACCUM @2|ACCUM @3|ACCUM @4");
    int32 bBands = xDEFPUP("BAND 1|BAND 2|BAND 3|BAND 4");
    int32 bInOut = xDEFPUP("READ|WRITE|SET PATH");
    int32 hTop = xDEFPUP("STATUS|RESET|MODE|RANGE|EXTREMA|ARCHIVE");
    int32 hCurves = xDEFPUP("LINEAR|LOG|EXP|SINE-H|TAN-H");
    int32 hKinds = xDEFPUP("FULL|HIST|STDEV|SENS U");
    int32 hCentre = xDEFPUP("<-MEAN->|<-MEDIAN->|LOW ->|<-HIGH|MARK");
    int32 hCount = xDEFPUP("1 STDEV|2 STDEV|3 STDEV|? STDEV");
    int32 hUnits = xDEFPUP("LO-> <-HI|LO->|<-HI|<-MARK->|SET LOW|SET HIGH");
    int32 hGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4|GRAY%x17");
    int32 hReset = xDEFPUP("3-SDEV-MED|3-SDEV-MN|FULL RNG");
    int32 hExtrema = xDEFPUP("THIS|HIST|SENS U|CLEAR");
    int32 hArchive = xDEFPUP("TOUCH|RESTORE|SWAP|SCRIPT");
    int32 disp = xDEFPUP("RESTORE|TOUCH|COMPOSITE|SHIFT|TILE|CLEAR|GAMMA|RESIZE");
    int32 dsource = xDEFPUP("iBUFF|TOUCHED");
    int32 dtouch = xDEFPUP("\\ 1 |\\ 2 |\\ 3 |\\ 4 ");
    int32 dcomp = xDEFPUP("LOCAL|CLONE");
    int32 dgamma = xDEFPUP("2.50|2.00|1.75|1.35|0.65|USER");
    int32 dguns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 dresize = xDEFPUP("DISABLE|ENABLE");
    int32 zoom = xDEFPUP("PAN|ZOOM|MODE|STATUS|DE-ALIAS|\\ 1 X");
    int32 zmode = xDEFPUP("REPLICATE|BILINEAR|BICUBIC|CATML-ROM");
    int32 dealias = xDEFPUP("OFF|ON");
    int32 save = xDEFPUP("FG AOI|BUFFER|SET PATH|CRYPTO|STATUS");
    int32 format = xDEFPUP("PNG|GIF");
    int32 pngGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4|RGBA%xF");
    int32 gifGuns = xDEFPUP("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    int32 crypto = xDEFPUP("OFF|ON|SET KEY|SAVE KEY");
    int32 ancil = xDEFPUP("MODE|SOURCE|GRAPHS|SCALING|COUNTS|MENU");
    int32 amode = xDEFPUP("OFF|ROAM&STATS|ROAM ONLY");
    int32 asource = xDEFPUP("DISPLAY|BUFFER");
    int32 agraphs = xDEFPUP("OFF|HISTOGRAM|SCATTER");
    int32 ascaling = xDEFPUP("LINEAR|LOG|EXP");
    int32 acounts = xDEFPUP("COUNTS|PERCENT");
    int32 amenu = xDEFPUP("FAST%x0|STICKY%x1");
    const pupLink links[] = {
        {&main, 1, &aoi},
        {&main, 2, &lut},
        {&main, 3, &pixel},
        {&pixel, 0, &pxScope},
        {&pxScope, 1, &pxOnce},
        {&pixel, 1, &pxBw},
        {&pxBw, 0, &pxStandard},
        {&pixel, 2, &pxBurn},
        {&pixel, 3, &pxSource},
        {&pxSource, 0, &pxStyle},
        {&pxSource, 1, &pxStyle},
        {&pxSource, 2, &pxStyle},
        {&pxStyle, 0, &pxLevels},
        {&pxStyle, 1, &pxTeeth},
        {&pixel, 4, &pxInfo},
        {&pixel, 6, &pxSwap},
        {&pixel, 7, &wFilter},
        {&pixel, 5, &cFilters},
        {&cFilters, 0, &cGuns},
        {&cFilters, 1, &cLaplace},
        {&cFilters, 2, &cLaplace},
        {&cFilters, 3, &cGauss},
        {&cFilters, 4, &cDirection},
        {&cFilters, 5, &cSobel},
        {&cFilters, 6, &cGuns},
        {&cFilters, 7, &cGuns},
        {&cFilters, 8, &cMedian},
        {&cLaplace, 0, &cGuns},
        {&cLaplace, 1, &cGuns},
        {&cLaplace, 2, &cGuns},
        {&cGauss, 0, &cGuns},
        {&cGauss, 1, &cGuns},
        {&cGauss, 2, &cGuns},
        {&cDirection, 0, &cSizes},
        {&cDirection, 1, &cSizes},
        {&cDirection, 2, &cSizes},
        {&cSizes, 0, &cGuns},
        {&cSizes, 1, &cGuns},
        {&cSizes, 2, &cGuns},
        {&cSobel, 0, &cGuns},
        {&cSobel, 1, &cGuns},
        {&cMedian, 0, &cGuns},
        {&cMedian, 1, &cGuns},
        {&cMedian, 2, &cGuns},
        {&wFilter, -1, &wDisc},
        {&wDisc, -1, &wSelect},
        {&wSelect, 0, &wLevels},
        {&wSelect, 1, &wGunsP},
        {&wLevels, -1, &wBand},
        {&wBand, -1, &wGunsL},
        {&pixel, 12, &fTop},
        {&fTop, 0, &fTypes},
        {&fTop, 1, &fSet},
        {&fSet, 2, &fCycles},
        {&main, 4, &buff},
        {&main, 5, &disp},
        {&main, 6, &zoom},
        {&main, 7, &save},
        {&main, 9, &ancil},
        {&buff, 0, &ibuff},
        {&buff, 1, &sbuff},
        {&ibuff, 0, &bChooser},
        {&ibuff, 1, &bImage},
        {&ibuff, 2, &bAlpha},
        {&ibuff, 3, &bRotate},
        {&ibuff, 4, &bAlign},
        {&ibuff, 5, &bCrop},
        {&ibuff, 6, &bChooser},
        {&ibuff, 7, &bJoin},
        {&ibuff, 8, &bResize},
        {&ibuff, 9, &bStatusChooser},
        {&ibuff, 10, &bChooser},
        {&ibuff, 11, &bChooser},
        {&ibuff, 13, &bDestroy},
        {&bAlpha, 5, &bPlanes},
        {&bAlpha, 6, &bPlanes},
        {&bRotate, 6, &bOnOffRel},
        {&bChooser, 0, &bGroup1},
        {&bChooser, 1, &bGroup2},
        {&bChooser, 2, &bGroup3},
        {&bChooser, 3, &bGroup4},
        {&bCropTarget, 0, &bGroup1},
        {&bCropTarget, 1, &bGroup2},
        {&bCropTarget, 2, &bGroup3},
        {&bCropTarget, 3, &bGroup4},
        {&bCropTarget, 4, &bCropGuns},
        {&bCropTarget, 5, &bCropGuns},
        {&bCropTarget, 6, &bCropGuns},
        {&bCropTarget, 7, &bCropGuns},
        {&bCrop, 0, &bCropTarget},
        {&bCrop, 1, &bCropTarget},
        {&bCrop, 2, &bCropTarget},
        {&bCrop, 3, &bCropTarget},
        {&bCrop, 4, &bCropTarget},
        {&bJoin, 0, &bChooser},
        {&bJoin, 1, &bChooser},
        {&bJoin, 2, &bChooser},
        {&bJoin, 3, &bChooser},
        {&bDestroy, 0, &bChooser},
        {&sbuff, 0, &bSbuffItems},
        {&sbuff, 1, &bSbuffItems},
        {&bSbuffItems, 1, &hTop},
        {&hTop, 1, &hReset},
        {&hTop, 2, &hCurves},
        {&hTop, 3, &hKinds},
        {&hTop, 4, &hExtrema},
        {&hTop, 5, &hArchive},
        {&hCurves, -1, &hGuns},
        {&hKinds, 0, &hGuns},
        {&hKinds, 1, &hGuns},
        {&hKinds, 2, &hCentre},
        {&hKinds, 3, &hUnits},
        {&hCentre, -1, &hCount},
        {&hCount, -1, &hGuns},
        {&hUnits, -1, &hGuns},
        {&hExtrema, -1, &hGuns},
        {&hExtrema, 2, &hUnits},
        {&bSbuffItems, 2, &bRender},
        {&bSbuffItems, 3, &bOnOffRel},
        {&bSbuffItems, 4, &bInOut},
        {&bRender, 0, &bAutov},
        {&bRender, 2, &bChooser},
        {&bRender, 3, &bAccums},
        {&bAccums, 0, &bBands},
        {&bAccums, 1, &bBands},
        {&bAccums, 2, &bBands},
        {&bAccums, 3, &bBands},
        {&zoom, 2, &zmode},
        {&zoom, 4, &dealias},
        {&save, 0, &format},
        {&save, 1, &format},
        {&save, 3, &crypto},
        {&ancil, 0, &amode},
        {&ancil, 1, &asource},
        {&ancil, 2, &agraphs},
        {&ancil, 3, &ascaling},
        {&ancil, 4, &acounts},
        {&ancil, 5, &amenu},
        {&lut, 0, &guns},
        {&lut, 1, &guns},
        {&lut, 2, &curve},
        {&lut, 5, &comb},
        {&lut, 6, &info},
        {&lut, 7, &cycle},
        {&lut, 8, &guns},
        {&lut, 9, &prev},
        {&lut, 11, &guns},
        {&lut, 12, &io},
        {&curve, 0, &scope},
        {&curve, 1, &scope},
        {&curve, 2, &scope},
        {&curve, 3, &scope},
        {&curve, 4, &scope},
        {&scope, 0, &guns},
        {&scope, 1, &guns},
        {&comb, 0, &guns},
        {&comb, 1, &guns},
        {&comb, 2, &guns},
        {&comb, 3, &guns},
        {&comb, 4, &guns},
        {&comb, 5, &guns},
        {&info, 0, &guns},
        {&info, 1, &guns},
        {&info, 2, &guns},
        {&cycle, 0, &guns},
        {&cycle, 1, &guns},
        {&format, 0, &pngGuns},
        {&format, 1, &gifGuns},
        {&aoi, 0, &aGuns},
        {&aoi, 1, &aDefine},
        {&aoi, 2, &aMove},
        {&aoi, 3, &aPrevious},
        {&aoi, 4, &aComposite},
        {&aoi, 5, &aCopy},
        {&aoi, 6, &aActions},
        {&aoi, 7, &aRotate},
        {&aoi, 8, &aGuns},
        {&aoi, 9, &aFill},
        {&aoi, 10, &aAlpha},
        {&aoi, 12, &aColour},
        {&aoi, 13, &aAccums},
        {&aDefine, 0, &aShapes},
        {&aAlpha, 1, &aPlanes},
        {&aRotate, 5, &aClip},
        {&aRotate, 6, &aOnOff},
        {&aMove, 2, &aSnap},
        {&aActions, 0, &aAccums},
        {&aActions, 1, &aAccums},
        {&aActions, 2, &aAccumsPan},
        {&aActions, 3, &aAccumsPan},
        {&aCopy, 0, &aGuns},
        {&aCopy, 1, &aGuns},
        {&aCopy, 2, &aGuns},
        {&aCopy, 3, &aGuns},
        {&aAccums, 0, &aGuns},
        {&aAccums, 1, &aGuns},
        {&aAccums, 2, &aGuns},
        {&aAccums, 3, &aGuns},
        {&aComposite, 0, &aGuns},
        {&aComposite, 1, &aGuns},
        {&disp, 0, &dsource},
        {&dsource, 1, &dtouch},
        {&disp, 1, &dtouch},
        {&disp, 2, &dcomp},
        {&disp, 6, &dgamma},
        {&dgamma, 0, &dguns},
        {&dgamma, 1, &dguns},
        {&dgamma, 2, &dguns},
        {&dgamma, 3, &dguns},
        {&dgamma, 4, &dguns},
        {&dgamma, 5, &dguns},
        {&disp, 7, &dresize},
        {&pixel, 10, &canny},
        {&canny, 0, &cannyKinds},
        {&cannyKinds, -1, &cannyGuns},
        {&canny, 1, &cannySet},
        {&pixel, 11, &adaptive},
        {&adaptive, 1, &adaptiveSet},
    };
    return xLNKPUP(int(sizeof links / sizeof links[0]), links);
}

TEST(OpTable, MainMenuTreeIsTheOneDefinedInOnePiece)
{
    std::vector<menuShape> fromTable, onePiece;
    mainMenus m;
    {
        FakeBackend fb(1024, 768);
        SET_EXPLOIT_OPS(tavExploitOps());
        m = DEFINE_VIEW_MENUS();
        ASSERT_GE(m.main, 0);
        fromTable = shapesFrom(m.main);
        SET_EXPLOIT_OPS({});
    }
    {
        FakeBackend fb(1024, 768);
        const int32 root = menusInOnePiece();
        ASSERT_EQ(root, m.main);
        onePiece = shapesFrom(root);
    }
    ASSERT_EQ(fromTable.size(), onePiece.size());
    for (std::size_t k = 0; k < onePiece.size(); ++k) {
        SCOPED_TRACE(onePiece[k].def);
        EXPECT_EQ(fromTable[k].def, onePiece[k].def);
        EXPECT_EQ(fromTable[k].children, onePiece[k].children);
        EXPECT_EQ(fromTable[k].treeX, onePiece[k].treeX);
        EXPECT_EQ(fromTable[k].treeY, onePiece[k].treeY);
        EXPECT_EQ(fromTable[k].treeW, onePiece[k].treeW);
        EXPECT_EQ(fromTable[k].treeH, onePiece[k].treeH);
    }
    EXPECT_EQ(m.loader, 12);
    EXPECT_EQ(m.exit, 13);
}

TEST(OpTable, OnlyTheRowsAreOperations)
{
    FakeBackend fb(1024, 768);
    SET_EXPLOIT_OPS({});
    const mainMenus bare = DEFINE_VIEW_MENUS();
    ASSERT_GE(bare.main, 0);
    EXPECT_EQ(wdef.rec[bare.main].pup->def, "\\   TAV   %t|LOADER|EXIT");
    EXPECT_EQ(bare.loader, 1);
    EXPECT_EQ(bare.exit, 2);

    SET_EXPLOIT_OPS(tavExploitOps());
    viewState vs;
    for (int32 v : {0, -1, 12, 13, 14}) {
        const int32 pupvals[MAX_PUP_LEVEL] = {v};
        EXPECT_FALSE(runMenuChoice(&vs, pupvals)) << "value " << v;
    }
    SET_EXPLOIT_OPS({});
}

} // namespace
