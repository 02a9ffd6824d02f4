// Pop-up menus: definitions, links into trees, placement and the run of a tree under the mouse.
#include "textwin.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <vector>

#include "diag.h"
#include "lexical.h"
#include "textwin_priv.h"

using namespace twPriv;

namespace twPriv {

pupRun run;

} // namespace twPriv

namespace {

// One token of a menu definition: up to '|', '%', a newline or the end. A backslash before a
// delimiter keeps it in the token (the backslash becomes a blank); "\ " at the start keeps
// the leading blanks.
std::string menuToken(const std::string& s, size_t& p, char* stop)
{
    while (p < s.size() && (s[p] == ' ' || s[p] == '\t'))
        ++p;
    if (p + 1 < s.size() && s[p] == '\\' && s[p + 1] == ' ')
        ++p;
    std::string t;
    *stop = 0;
    while (p < s.size()) {
        const char c = s[p++];
        if (c == '|' || c == '%') {
            if (!t.empty() && t.back() == '\\') {
                t.back() = ' ';
                t += c;
                continue;
            }
            *stop = c;
            return t;
        }
        if (c == '\n') {
            if (!t.empty() && t.back() == '\r')
                t.pop_back();
            *stop = '\n';
            return t;
        }
        t += c;
    }
    return t;
}

std::string upToBar(const std::string& s, size_t& p)
{
    const size_t e = s.find('|', p);
    std::string r = s.substr(p, e == std::string::npos ? std::string::npos : e - p);
    p = e == std::string::npos ? s.size() : e + 1;
    return r;
}

int32 parseInt(const std::string& t, int base)
{
    std::string v = t;
    while (!v.empty() && (v.back() == ' ' || v.back() == '\t'))
        v.pop_back();
    v.erase(0, v.find_first_not_of(" \t") == std::string::npos ? v.size()
                                                               : v.find_first_not_of(" \t"));
    const int cls = NUMCLASS(v.c_str());
    if (base == 10 && cls != 1)
        return 0;
    if (base == 16 && cls != 1 && cls != 2)
        return 0;
    return int32(std::strtol(v.c_str(), nullptr, base));
}

void drawItem(const twRec& r, const pupItem& it, bool hil)
{
    if (it.kind == 2) {
        fill(r.x0 + it.hx0, r.y0 + it.hy0, r.x0 + it.hx1, r.y0 + it.hy1,
             hil ? it.textPix : it.fillPix);
        twBack->drawText(r.x0 + it.tx, r.y0 + it.ty, it.text, hil ? it.fillPix : it.textPix, false);
    } else {
        twBack->drawText(r.x0 + it.tx, r.y0 + it.ty, it.text, it.textPix, false);
    }
}

void drawMenu(twRec& r)
{
    TEXTWIN_SHOW(r.id);
    const pupRec& p = *r.pup;
    if (p.titles && !p.item.empty()) {
        const int32 y = r.y0 + p.item[0].ty + curFont.descent;
        fill(r.x0 + 2, y, r.x1 - 2, y, colourPixel(5, false));
        fill(r.x0 + 2, y + 1, r.x1 - 2, y + 1, colourPixel(4, false));
    }
    for (const pupItem& it : p.item)
        drawItem(r, it, false);
}

bool isEnd(int code)
{
    return run.fast ? (code == -3 || code == -1) : (code == 3 || code == 1);
}

// True when from can reach target through child links (a cycle if target is the parent).
// Each menu is looked at once: menus shared by several items (or linked with -1) would
// otherwise be walked again for every path to them, which grows with the power of the depth.
bool reaches(int32 from, int32 target, bool (&seen)[MAX_WIN])
{
    if (from == target)
        return true;
    if (!validId(from) || !wdef.rec[from].pup || seen[from])
        return false;
    seen[from] = true;
    for (const pupItem& it : wdef.rec[from].pup->item)
        if (it.child && reaches(it.child - 1, target, seen))
            return true;
    return false;
}

bool reaches(int32 from, int32 target)
{
    bool seen[MAX_WIN] = {};
    return reaches(from, target, seen);
}

} // namespace

void SET_MENU_FAST(bool fast)
{
    run.fast = fast;
}
bool MENU_FAST()
{
    return run.fast;
}

int32 pupRow(int32 y, int32 top, int32 bottom, int32 lineStep)
{
    const int32 bt = top + 4, bb = bottom - 4;
    if (lineStep <= 0 || y < bt || y > bb)
        return -1;
    return (y - bt + 1) / lineStep;
}

void pupRootPlace(int32 px, int32 py, int32 treeW, int32 treeH, const int32 disp[4], int32* x,
                  int32* y)
{
    *x = px;
    *y = py;
    if (*x + treeW > disp[2])
        *x = disp[2] - treeW;
    if (*y + treeH > disp[3])
        *y = disp[3] - treeH;
    // A tree larger than the view starts at its top-left corner.
    *x = std::max(*x, disp[0]);
    *y = std::max(*y, disp[1]);
}

void pupSubPlace(const twRec& parent, int32 parentRow, int32 lineStep, int32 w, int32 h,
                 const int32 disp[4], int32* x, int32* y)
{
    *x = parent.x1 + 1;
    *y = parent.y0 + parentRow * lineStep - 1;
    if (*x + w - 1 > disp[2])
        *x = disp[2] - w + 1;
    if (*y + h - 1 > disp[3])
        *y = disp[3] - h + 1;
    *x = std::max(*x, disp[0]);
    *y = std::max(*y, disp[1]);
}

int32 xDEFPUP(const char* def)
{
    if (!def || !*def)
        return -1;
    const std::string s = def;
    std::vector<pupItem> items;
    int titles = 0;
    size_t p = 0;
    while (p < s.size() && int(items.size()) < MAX_PUP_ITEMS) {
        char stop = 0;
        pupItem it;
        it.text = menuToken(s, p, &stop);
        const int32 ordinal = int32(items.size()) + 1 - titles;
        if (stop == '%') {
            const char c = p < s.size() ? s[p] : 0;
            ++p;
            if (c == 't') {
                upToBar(s, p);
                it.kind = 1;
                it.value = -1;
                ++titles;
            } else if (c == 'i' || c == 'd') {
                it.value = parseInt(upToBar(s, p), 10);
            } else if (c == 'x') {
                it.value = parseInt(upToBar(s, p), 16);
            } else if (c == '%') {
                it.text += '%';
                it.text += upToBar(s, p);
                it.value = ordinal;
            } else {
                DIAG("\nxDEFPUP() token error: %s", def);
                return -2;
            }
        } else {
            it.value = ordinal;
        }
        items.push_back(std::move(it));
    }
    if (items.empty())
        return -1;
    TavFontDes f;
    if (!SETFONT(0, 0, &f))
        return -3;
    int32 widest = 0;
    for (const pupItem& it : items)
        widest = std::max(widest, twBack->textWidth(it.text));
    const int32 w = widest + 11;
    const int32 h = f.lineStep * int32(items.size()) + 10 - f.descent;
    int32 box[4] = {0, 0, w - 1, h - 1};
    const int colours[3] = {0, 1, 1};
    const int32 id = TEXTWIN_OPEN(-1, box, 0, colours, TW_DEFINE_ONLY | TW_BEVEL);
    if (id < 0)
        return -3;
    twRec& r = wdef.rec[id];
    r.isPopup = true;
    r.pup = std::make_unique<pupRec>();
    pupRec& pr = *r.pup;
    pr.id = shortu(id);
    pr.titles = shortu(titles);
    pr.items = shortu(items.size());
    pr.treeX = r.width;
    pr.treeY = 0;
    pr.treeW = r.extW;
    pr.treeH = r.extH;
    pr.def = s;
    for (size_t k = 0; k < items.size(); ++k) {
        pupItem& it = items[k];
        it.winId = id;
        const int32 base = f.ascent + 5 + int32(k) * f.lineStep;
        it.tx = 5;
        it.fillPix = r.bgPix;
        if (it.kind == 1) {
            it.ty = base - 1;
            it.textPix = colourPixel(2, false);
        } else {
            it.ty = base;
            it.textPix = colourPixel(1, false);
            it.hx0 = 4;
            it.hx1 = r.width - 1 - 4;
            it.hy0 = base - f.ascent;
            it.hy1 = base;
        }
    }
    pr.item = std::move(items);
    return id;
}

int32 xLNKPUP(int n, const pupLink* table)
{
    if (n < 1 || !table || !table[0].parent)
        return 0;
    const int32 root = *table[0].parent;
    if (!validId(root) || !wdef.rec[root].pup) {
        DIAG("\nxLNKPUP() error; undefined parent popup link.");
        return 0;
    }
    TavFontDes f;
    SETFONT(0, 0, &f);
    pupRec& rp = *wdef.rec[root].pup;
    int32 tw = rp.treeW, th = rp.treeH;
    for (int k = 0; k < n; ++k) {
        const int32 pid = table[k].parent ? *table[k].parent : -1;
        const int32 cid = table[k].child ? *table[k].child : -1;
        if (!validId(pid) || !validId(cid) || !wdef.rec[pid].pup || !wdef.rec[cid].pup) {
            DIAG("\nxLNKPUP() error; child popup link undefined or out of range. P/C= %d %d", pid,
                 cid);
            return 0;
        }
        pupRec& P = *wdef.rec[pid].pup;
        pupRec& C = *wdef.rec[cid].pup;
        const int32 first = table[k].item < 0 ? 0 : table[k].item;
        const int32 last = table[k].item < 0 ? int32(P.items) - 1 : table[k].item;
        for (int32 i = first; i <= last; ++i) {
            if (pid == cid || i >= int32(P.items) || P.item[size_t(i)].kind == 1)
                continue;
            if (reaches(cid, pid)) {
                DIAG("\nxLNKPUP() error; popup link cycle refused. P/C= %d %d", pid, cid);
                continue;
            }
            P.item[size_t(i)].child = shortu(cid + 1);
            C.treeX = P.treeX + wdef.rec[cid].width;
            C.treeY = P.treeY + f.lineStep * i;
            tw = std::max(tw, C.treeX);
            th = std::max(th, C.treeY + wdef.rec[cid].height);
        }
    }
    rp.treeW = std::max(rp.treeW, tw);
    rp.treeH = std::max(rp.treeH, th);
    return root;
}

int32 xDOPUP(int32 pup_ID, int32* pupvals, bool* outside)
{
    TAV_ASSERT(pupvals != NULL);
    TAV_ASSERT(outside != NULL);
    TAV_ASSERT(pup_ID >= 0 && pup_ID < MAX_WIN);
    TAV_ASSERT(wdef.def[pup_ID]);
    twRec& r = wdef.rec[pup_ID];
    TAV_ASSERT(r.isPopup && r.pup);
    TAV_ASSERT(twBack != nullptr);
    TavFontDes f;
    if (fonts.current != r.font || !curFont.loaded)
        SETFONT(r.font, 0, &f);
    const pupRec& p = *r.pup;
    const bool root = p.titles > 0;
    int32 d[4];
    dispBox(d);
    int32 x, y;
    if (root) {
        run.plev = 0;
        run.lastLevel = 0;
        run.parentRow = 0;
        run.lastRow = -1;
        run.lastInside = false;
        run.lastCode = 0;
        run.deepest = 0;
        QUERY_POINTER(&run.x, &run.y);
        pupRootPlace(run.x, run.y, p.treeW, p.treeH, d, &x, &y);
    } else {
        TAV_ASSERT(run.plev > 0);
        const twRec& parent = wdef.rec[run.stack[run.plev - 1]];
        pupSubPlace(parent, run.parentRow, curFont.lineStep, r.width, r.height, d, &x, &y);
    }
    const int lev = run.plev;
    run.deepest = std::max(run.deepest, lev);
    setWinGeometry(r, x, y, r.width, r.height);
    run.stack[lev] = pup_ID;
    run.parentRowAt[lev] = run.parentRow;
    drawMenu(r);
    testLog("menu show %d %d %d %d %d %d %d", pup_ID, lev, r.x0, r.y0, r.x1, r.y1,
            int(curFont.lineStep));
    if (root)
        logIdle("menu");

    int32 selected = -1, curRow = -1;
    *outside = true;
    const int32 bandTop = r.y0 + 4, bandBot = r.y1 - 4;
    bool reuse = false;
    for (;;) {
        int code;
        if (reuse) {
            code = run.lastCode;
            reuse = false;
        } else {
            int32 ex = run.x, ey = run.y;
            code = MOUSE_EVENT(&ex, &ey, 0);
            if (code == MOUSE_CLOSE)
                code = run.fast ? -3 : 3; // the close button ends the menu, outside
            else if (code != MOUSE_WHEEL_DOWN && code != MOUSE_WHEEL_UP) {
                run.x = ex;
                run.y = ey;
            }
            run.lastCode = code;
        }
        const int32 ex = run.x, ey = run.y;
        const bool button = code == 1 || code == 3 || code == -1 || code == -3;
        const bool inside = ex > r.x0 && ex < r.x1 && ey > bandTop && ey < bandBot;
        bool leave = false;
        if (root && !inside && !button)
            continue;
        const int32 row = pupRow(ey, r.y0, r.y1, curFont.lineStep);
        if (row != run.lastRow || lev != run.lastLevel || inside != run.lastInside) {
            run.lastRow = row;
            run.lastLevel = lev;
            run.lastInside = inside;
            if (!inside) {
                *outside = true;
                bool beside = false;
                if (!root) {
                    const twRec& par = wdef.rec[run.stack[lev - 1]];
                    beside = ex <= r.x0 &&
                             pupRow(ey, par.y0, par.y1, curFont.lineStep) == run.parentRowAt[lev];
                }
                if (ey >= bandBot || (!root && !beside))
                    leave = true;
                if (curRow >= 0) {
                    drawItem(r, p.item[size_t(curRow)], false);
                    curRow = -1;
                }
            } else if (row >= 0 && row < int32(p.items) && p.item[size_t(row)].kind == 2) {
                const pupItem& it = p.item[size_t(row)];
                *outside = false;
                if (curRow >= 0 && curRow != row)
                    drawItem(r, p.item[size_t(curRow)], false);
                drawItem(r, it, true);
                curRow = row;
                selected = it.value;
                if (testLogOn())
                    twBack->sync();
                testLog("menu hilite %d %d %d", pup_ID, row, it.value);
                if (it.child && lev + 1 < MAX_PUP_LEVEL && validId(it.child - 1) &&
                    wdef.rec[it.child - 1].pup) {
                    run.parentRow = row;
                    run.plev = lev + 1;
                    xDOPUP(it.child - 1, pupvals, outside);
                    run.plev = lev;
                    drawItem(r, it, false);
                    curRow = -1;
                    if (!isEnd(run.lastCode)) {
                        // The event that closed the sub-menu is looked at again here.
                        run.lastRow = -2;
                        reuse = true;
                        continue;
                    }
                }
            } else {
                *outside = true;
                if (curRow >= 0) {
                    drawItem(r, p.item[size_t(curRow)], false);
                    curRow = -1;
                }
            }
        }
        if (leave || isEnd(run.lastCode))
            break;
    }
    TEXTWIN_HIDE(pup_ID);
    if (!root)
        drawBevel(wdef.rec[run.stack[lev - 1]]);
    pupvals[lev] = selected;
    if (testLogOn())
        twBack->sync();
    testLog("menu hide %d %d", pup_ID, selected);
    if (root) {
        std::string vals;
        for (int k = 0; k <= run.deepest; ++k)
            vals += strPrintf(" %d", pupvals[k]);
        testLog("menu done %d %d%s", selected, *outside ? 1 : 0, vals.c_str());
    }
    return selected;
}
