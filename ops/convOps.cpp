#include "convOps.h"

#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include <sys/stat.h>

#include "convConsole.h"
#include "convKernels.h"
#include "diag.h"
#include "dispAccum.h"
#include "opMenu.h"
#include "pixelScope.h"
#include "regularFile.h"
#include "renderPix.h"
#include "roam.h"
#include "tavPaths.h"
#include "textConsole.h"
#include "uiPort.h"

namespace {

// Filters in menu order.
enum : int32 {
    CV_USER = 1,
    CV_SHARPEN,
    CV_LAPLACIAN,
    CV_GAUSSIAN,
    CV_POSTERIZE,
    CV_SOBEL,
    CV_MEX_HAT,
    CV_LOG,
    CV_MEDIAN
};

struct convIds {
    int32 filters = -1, laplace = -1, gauss = -1, direction = -1, sizes = -1, sobel = -1,
          median = -1, guns = -1;
};
convIds ids;

constexpr int colourText = 1, colourError = 9;
constexpr int consoleRows = 8;
// Longest kernel file read (a 65 x 65 kernel takes some 30 kB of text).
constexpr long kernelFileMax = 1 << 22;

int32 gunsOf(int32 v)
{
    return v & 7 ? v & 7 : 7;
}

std::string failedText(int32 rc)
{
    char b[64];
    std::snprintf(b, sizeof b, "Convolution failed. Status= %d", rc);
    return b;
}

// Runs a job over the scope: the window around it read row by row, the area's rows written
// back in turn (GLOBAL: the buffer's own rows, with the progress indicator).
int32 runOnScope(viewState* vs, bufdes* bd, const convJob& job, const char* what)
{
    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s))
        return CONV_BAD_ARGS;
    const int32 rx = job.filter == CF_KERNEL ? job.kernel->xs / 2 : 1;
    const int32 ry = job.filter == CF_KERNEL ? job.kernel->ys / 2 : 1;
    scopeWindow w;
    if (!scopeWindowOf(s, bd, rx, ry, &w))
        return CONV_BAD_ARGS;
    // Narrow areas are refused before a row is touched or the indicator is shown.
    const int32 kx = 2 * rx + 1;
    if (s.cols <= kx + 15)
        return CONV_TOO_NARROW;
    windowRows in(s, w, bd);
    scopeLines out(s, bd, what);
    if (!in.ok() || !out.ok())
        return CONV_IO;
    convWindow cw;
    cw.cols = w.cols;
    cw.rows = w.rows;
    cw.x0 = w.x0;
    cw.y0 = w.y0;
    cw.x1 = w.x0 + s.cols - 1;
    cw.y1 = w.y0 + s.rows - 1;
    cw.read = [&in](int32 y, int32u* dst) { return in.read(y, dst); };
    cw.target = [&](int32 y) { return out.row(y - w.y0); };
    cw.commit = [&](int32 y) { return out.put(y - w.y0); };
    return CONVOLVE(job, cw);
}

// The ancillary histogram, when it is shown, follows the new pixels at once.
void refreshHistogram(viewState* vs)
{
    constexpr int32u shown = ancROAM | ancSTATS | ancHISTOGRAM;
    if ((vs->ancil & shown) != shown)
        return;
    viewHist h;
    if (readoutHist(vs, &h))
        DRAW_HISTOGRAM(vs, h);
}

void markChanged(viewState* vs, bool global)
{
    vs->refresh |= global ? RFR_DATA | RFR_STATS : RFR_VIEW | RFR_STATS;
}

// ---------------------------------------------------------------------------------------------
// Built-in filters

pixelRun builtin(viewState* vs, const int32* pupvals, bufdes* bd)
{
    uiPort& ui = viewUi();
    static const convBuiltin laplace[3] = {CK_LAPLACE_PLUS, CK_LAPLACE_3X3, CK_LAPLACE_5X5};
    static const convBuiltin gauss[3] = {CK_GAUSS_5X5, CK_GAUSS_9X9, CK_GAUSS_15X15};
    static const convBuiltin grads[3][3] = {{CK_GRAD_X_3X3, CK_GRAD_X_5X5, CK_GRAD_X_9X9},
                                            {CK_GRAD_Y_3X3, CK_GRAD_Y_5X5, CK_GRAD_Y_9X9},
                                            {CK_GRAD_D_3X3, CK_GRAD_D_5X5, CK_GRAD_D_9X9}};
    auto pick = [](int32 v) { return v >= 1 && v <= 3 ? v - 1 : 0; };
    convJob job;
    int32 gunLevel = 4;
    switch (pupvals[2]) {
    case CV_SHARPEN:
    case CV_LAPLACIAN:
        job.kernel = &convBuiltinKernel(laplace[pick(pupvals[3])]);
        job.params.csum = 0;
        job.params.cval = pupvals[2] == CV_SHARPEN ? 1 : 128;
        break;
    case CV_GAUSSIAN:
        job.kernel = &convBuiltinKernel(gauss[pick(pupvals[3])]);
        job.params.csum = 1;
        job.params.cval = 0;
        break;
    case CV_POSTERIZE:
        job.kernel = &convBuiltinKernel(grads[pick(pupvals[3])][pick(pupvals[4])]);
        job.params.csum = 0;
        job.params.cval = 1;
        gunLevel = 5;
        break;
    case CV_SOBEL:
        job.filter = pupvals[3] == 2 ? CF_SOBEL_DIR : CF_SOBEL_MAG;
        break;
    case CV_MEX_HAT:
    case CV_LOG:
        job.kernel = &convBuiltinKernel(pupvals[2] == CV_MEX_HAT ? CK_MEX_HAT : CK_LOG);
        job.params.csum = 0;
        job.params.cval = 0;
        gunLevel = 3;
        break;
    case CV_MEDIAN:
        job.filter = pupvals[3] == 1   ? CF_MEDIAN_PLUS
                     : pupvals[3] == 2 ? CF_MEDIAN_X
                                       : CF_MEDIAN_3X3;
        break;
    default:
        return {};
    }
    job.params.guns = gunsOf(pupvals[gunLevel]);
    if (job.filter == CF_SOBEL_MAG || job.filter == CF_SOBEL_DIR) {
        const std::string a = ui.ask("Enter SOBEL scale factor (integer >= 1)\n> ");
        int32 s = 0;
        char tail = 0;
        if (std::sscanf(a.c_str(), "%d %c", &s, &tail) != 1 || s < 1) {
            ui.message("SOBEL scale must be an integer of at least 1\nCancelled", MSG_ACK);
            return {};
        }
        job.scale = s;
    }
    const bool global = (vs->dmode & modeGLOBAL_SCOPE) != 0;
    if (global)
        ui.message("Global convolution processing...", MSG_STANDING);
    const int32 rc = runOnScope(vs, bd, job, global ? "Convolution" : nullptr);
    if (global)
        ui.clearMessage();
    if (rc != CONV_OK) {
        ui.message(failedText(rc), MSG_ACK);
        return {rc, false, false};
    }
    markChanged(vs, global);
    refreshHistogram(vs);
    ui.message("Convolution completed", MSG_BRIEF);
    return {0, true, false};
}

// ---------------------------------------------------------------------------------------------
// USER: the console

bool readKernelFile(const std::string& path, std::vector<std::string>* lines)
{
    std::FILE* f = openRegularFile(path);
    if (!f)
        return false;
    std::string all;
    char buf[4096];
    std::size_t n;
    bool ok = true;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) {
        all.append(buf, n);
        if (all.size() > std::size_t(kernelFileMax)) {
            ok = false;
            break;
        }
    }
    ok = ok && !std::ferror(f);
    std::fclose(f);
    if (!ok)
        return false;
    lines->clear();
    std::size_t s = 0;
    while (s < all.size()) {
        std::size_t e = all.find('\n', s);
        if (e == std::string::npos)
            e = all.size();
        lines->push_back(all.substr(s, e - s));
        s = e + 1;
    }
    return true;
}

bool isDirectory(const std::string& path)
{
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

struct session {
    viewState* vs;
    bufdes* bd;
    consolePort& con;
    uiPort& ui;
    bool global;
    bool changed = false;
    // GLOBAL scope: the buffer as it was before the first KEXE, for UNDO.
    std::unique_ptr<int32u[]> saved;
    bool saveRefused = false;
    bool ran = false;
};

void say(session& s, const std::string& t, bool error = false)
{
    s.con.put(t, error ? colourError : colourText);
}

void redrawGlobal(session& s)
{
    const consoleAside aside(s.con, true);
    VIEW_MEM(nullptr, (s.vs->dmode & modeGLOBALV) != 0);
}

void execute(session& s, const convConsole& c, int32 kscale)
{
    if (s.global && !s.ran) {
        // UNDO in GLOBAL scope needs the buffer as it was: kept when memory allows.
        std::string msg;
        if (SAFE_MEM_REQ_WH(s.bd->width, s.bd->height, &msg))
            s.saved.reset(new (std::nothrow)
                              int32u[std::size_t(s.bd->width) * std::size_t(s.bd->height)]);
        if (s.saved)
            std::memcpy(s.saved.get(), s.bd->imgbuf,
                        std::size_t(s.bd->width) * std::size_t(s.bd->height) * 4);
        else
            s.saveRefused = true;
    }
    convJob job;
    job.kernel = c.kernel();
    job.params = c.params(kscale);
    int32 rc;
    if (s.global) {
        say(s, "Convolution in progress...");
        rc = runOnScope(s.vs, s.bd, job, "Convolution");
    } else {
        const consoleAside aside(s.con, true);
        rc = runOnScope(s.vs, s.bd, job, nullptr);
    }
    if (rc != CONV_OK) {
        say(s, failedText(rc), true);
        return;
    }
    s.ran = true;
    s.changed = true;
    if (s.global)
        redrawGlobal(s);
    refreshHistogram(s.vs);
    say(s, "Convolution completed");
}

void undo(session& s, int32 guns)
{
    if (s.global) {
        if (s.saveRefused) {
            say(s, "UNDO not available: memory for a copy of the buffer was refused", true);
            return;
        }
        if (s.saved) {
            int32u take = 0;
            for (int g = 0; g < 3; ++g)
                if (guns & (1 << g))
                    take |= 0xFFu << (16 - 8 * g);
            const std::size_t n = std::size_t(s.bd->width) * std::size_t(s.bd->height);
            int32u* px = s.bd->imgbuf;
            const int32u* was = s.saved.get();
            for (std::size_t i = 0; i < n; ++i)
                px[i] = (px[i] & ~take) | (was[i] & take);
            redrawGlobal(s);
        }
    } else {
        int32 rc;
        {
            const consoleAside aside(s.con, true);
            rc = paste_accum_guns(guns);
        }
        if (rc != ACC_OK) {
            DIAG("\n***CONVOLUTION: paste_accum_guns() %d", rc);
            return;
        }
    }
    DIAG("\nundo %04X", unsigned(guns));
    s.changed = true;
    refreshHistogram(s.vs);
    say(s, "Image gun(s) restored.");
}

void mouse(session& s)
{
    if (!(s.vs->ancil & ancROAM)) {
        say(s, convErrorText(CNVL_E_ANCIL), true);
        return;
    }
    say(s, "Roam/Stats on. Middle/Rightmouse to resume.");
    ROAM_UNTIL_RESUME(s.vs);
    say(s, "Roam/Stats off.");
}

pixelRun userConsole(viewState* vs, const int32* pupvals, bufdes* bd)
{
    static const std::vector<std::string> header = {
        "              SPATIAL CONVOLUTION",
        "               [1]          [1|2|3]",
        " Kernel: '+' [2|3|4] or 'X' [4|5|6]",
        "               [5]          [7|8|9]",
        "Kexe   (execute)  [ Kscale=Csum result scaling ]",
        "Kdef=  (load convolution kernel values 1-N)",
        "Ktyp=  (kernel type; 3+3, 3X3 ... 63+63, 63X63)",
        "Csum=  (0=NOP, 1=div by kernel, >1=div by const)",
        "Cval=  (0=replace, 1=add to center, >1=add to const)",
        "Kfil=  (filename) (Ktag=) read convolution def.",
        "Kpath= convolution kernel script path",
        "   'Guns [RGB]' 'Undo [RGB]' 'Mouse'"};
    consolePort& con = viewConsole();
    uiPort& ui = viewUi();
    if (vs->kpath.empty())
        vs->kpath = GET_SPATH();
    session s{vs, bd, con, ui, (vs->dmode & modeGLOBAL_SCOPE) != 0, false, nullptr, false, false};
    // UNDO on the display pastes back what the view shows as the console opens.
    if (!s.global) {
        const int32 rc = CUT_ACCUM();
        if (rc != ACC_OK)
            DIAG("\n***CONVOLUTION: CUT_ACCUM() %d", rc);
    }
    convConsole c(gunsOf(pupvals[3]), vs->kpath, readKernelFile, isDirectory);
    if (!con.open(header, c.labels(), consoleRows)) {
        ui.message("Fatal error initializing the convolution console.", MSG_ACK);
        return {CONV_IO, false, false};
    }
    std::vector<std::string> labels = c.labels();
    for (;;) {
        const convReply r = c.exec(con.get(c.prompt(), convLineMax));
        for (const std::string& d : r.diag)
            DIAG("%s", d.c_str());
        for (const convLine& l : r.lines)
            say(s, l.text, l.error);
        if (c.labels() != labels) {
            labels = c.labels();
            con.relabel(labels);
        }
        if (r.action == CA_QUIT)
            break;
        if (r.action == CA_EXECUTE)
            execute(s, c, r.kscale);
        else if (r.action == CA_UNDO)
            undo(s, r.undoGuns);
        else if (r.action == CA_MOUSE)
            mouse(s);
    }
    vs->kpath = c.kpath();
    con.close();
    if (s.changed)
        markChanged(vs, s.global);
    return {0, s.changed, false};
}

} // namespace

int32 convolutionMenu(std::vector<pupLink>& links)
{
    convIds& m = ids;
    m.filters = defineMenu("USER|SHARPEN|LAPLACIAN|GAUSSIAN|POSTERIZE|SOBEL|MEX HAT|LoG|MEDIAN");
    m.laplace = defineMenu("3X3 +|3X3|5X5");
    m.gauss = defineMenu("5X5|9X9|15X15");
    m.direction = defineMenu("X GRAD|Y GRAD|DIAGONAL");
    m.sizes = defineMenu("3X3|5X5|9X9");
    m.sobel = defineMenu("MAGNITUDE|DIRECTION");
    m.median = defineMenu("PLUS|X|3X3");
    m.guns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    // Items count from 0 in the links.
    const struct {
        int32 item;
        int32* child;
    } below[] = {{CV_USER, &m.guns},           {CV_SHARPEN, &m.laplace},
                 {CV_LAPLACIAN, &m.laplace},   {CV_GAUSSIAN, &m.gauss},
                 {CV_POSTERIZE, &m.direction}, {CV_SOBEL, &m.sobel},
                 {CV_MEX_HAT, &m.guns},        {CV_LOG, &m.guns},
                 {CV_MEDIAN, &m.median}};
    for (const auto& b : below)
        links.push_back(pupLink{&m.filters, b.item - 1, b.child});
    const struct {
        int32* parent;
        int32 items;
        int32* child;
    } chains[] = {{&m.laplace, 3, &m.guns}, {&m.gauss, 3, &m.guns}, {&m.direction, 3, &m.sizes},
                  {&m.sizes, 3, &m.guns},   {&m.sobel, 2, &m.guns}, {&m.median, 3, &m.guns}};
    for (const auto& c : chains)
        for (int32 k = 0; k < c.items; ++k)
            links.push_back(pupLink{c.parent, k, c.child});
    return m.filters;
}

pixelRun CONVOLUTION(viewState* vs, const int32* pupvals, bufdes* bd)
{
    if (!vs || !bd || !bd->imgbuf)
        return {};
    if (pupvals[2] == CV_USER)
        return userConsole(vs, pupvals, bd);
    return builtin(vs, pupvals, bd);
}
