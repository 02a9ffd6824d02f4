#include "opTable.h"

#include "ancillary.h"
#include "aoiOps.h"
#include "buffOps.h"
#include "calculator.h"
#include "dispOps.h"
#include "lutOps.h"
#include "notYet.h"
#include "pixelOps.h"
#include "saveImage.h"
#include "zoomOps.h"

namespace {

// Item texts keep the main menu's own spacing: the menu is drawn from them as they stand.
constexpr exploitOp rows[] = {
    {"AOI   OPS", aoiOpsMenu, aoiOps},          {"LUT   OPS", lutOpsMenu, lutOps},
    {"PIXEL OPS", pixelOpsMenu, PIXEL_OPS},     {"BUFF  OPS", buffOpsMenu, buffOps},
    {"DISP  OPS", dispOpsMenu, dispOps},        {"PAN / ZOOM", zoomOpsMenu, zoom_ops},
    {"SAVE IMAGE", saveImageMenu, saveImageOp}, {"CALCULATOR", nullptr, CALC},
    {"ANCILLARY", ancillaryMenu, ancillary},    {"ANNOTATE", nullptr, annotateNone},
    {"EXTENSIONS", nullptr, extensionsNone},
};

} // namespace

std::span<const exploitOp> tavExploitOps()
{
    return rows;
}

void INSTALL_EXPLOIT_OPS()
{
    SET_EXPLOIT_OPS(rows);
}
