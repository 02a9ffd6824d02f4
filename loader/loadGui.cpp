// The loader window: the Motif main window on the application shell, with the File,
// Display and Help menus, the composition-tag pane, the message pane, the command line
// and the two file selectors. Every callback runs inside LDR_GUI's event dispatch.
#include "loadGui_x.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include <sys/stat.h>

#include "bufRecMgt.h"
#include "diag.h"
#include "ldrErrors.h"
#include "ldrHelp.h"
#include "ldrList.h"
#include "tavDefaults.h"
#include "tavPaths.h"
#include "textwin.h"
#include "viewDims.h"

#include "tavDisplay.h"

#include <Xm/CascadeB.h>
#include <Xm/DialogS.h>
#include <Xm/FileSB.h>
#include <Xm/Form.h>
#include <Xm/Frame.h>
#include <Xm/Label.h>
#include <Xm/Protocols.h>
#include <Xm/PushB.h>
#include <Xm/RowColumn.h>
#include <Xm/Text.h>
#include <Xm/TextF.h>
#include <Xm/Xm.h>

namespace {

/// Motif takes names as String (char*); the toolkit copies what it keeps.
char* S(const char* text)
{
    return const_cast<char*>(text);
}

/// A compound string for one call's argument list.
struct XmStr {
    XmString s;
    explicit XmStr(const char* text) : s(XmStringCreateLocalized(S(text))) {}
    ~XmStr() { XmStringFree(s); }
    XmStr(const XmStr&) = delete;
    XmStr& operator=(const XmStr&) = delete;
};

/// A text the toolkit allocated (XtFree).
struct XtText {
    char* p;
    explicit XtText(char* text) : p(text) {}
    ~XtText() { XtFree(p); }
    XtText(const XtText&) = delete;
    XtText& operator=(const XtText&) = delete;
    const char* c_str() const { return p ? p : ""; }
};

struct LoaderWindow {
    bool created = false;
    bool realised = false;
    bool memLineShown = false;
    bool commandReady = false;
    bool hintShown = false;
    bool helpOpen = false;
    bool exitAsked = false; ///< File/Exit or the window manager's close, acted on after dispatch
    bool pending = false;
    std::string pendingText; ///< messages reported while the window is not shown
    std::unique_ptr<ldrLoadList> list;
    int selKind = LDR_SEL_IMAGE;
    std::string imageDir, scriptDir;
    bool posSet = false;
    int x = 0, y = 0;
    Widget mainW = nullptr, tagsW = nullptr, msgW = nullptr, cmdW = nullptr;
    Widget menubar = nullptr, fileMen = nullptr, dispMen = nullptr, helpMen = nullptr;
    Widget selector = nullptr; ///< the open file selection box
    Widget helpShell = nullptr;
    Widget hookedShell = nullptr; ///< the shell that carries our close protocol
    Widget posting = nullptr;     ///< pulldown being posted (test log)
};

LoaderWindow lw;

void windowMessage(const char* text);
void destroyWindow();

ldrLoadList& loadList()
{
    if (!lw.list)
        lw.list = std::make_unique<ldrLoadList>();
    return *lw.list;
}

// ---------------------------------------------------------------------------------------------
// Test log: where things are on the screen, so that a driver can point at them.
//   loader item GROUP X Y W H LABEL   a widget's place on the screen (GROUP main, File,
//                                     Display, Help, selector, help); LABEL may hold blanks
//   loader menu GROUP [KIND]          everything of GROUP is mapped and logged
//   loader shown WINDOW               the main window is on the screen (its shell's id)
//   loader message TEXT               a message appended to the message area
//   idle loader                       LDR_GUI waits for the user

void logRect(const char* group, Widget w, const char* label)
{
    if (!w || !XtIsRealized(w))
        return;
    Dimension wd = 0, ht = 0;
    Position gx = 0, gy = 0;
    XtVaGetValues(w, XmNwidth, &wd, XmNheight, &ht, XmNx, &gx, XmNy, &gy, nullptr);
    // Menu entries are gadgets: windowless, placed in their parent's window.
    const bool gadget = !XtIsWidget(w);
    int rx = 0, ry = 0;
    Window child = 0;
    XTranslateCoordinates(tavDpy.dpy, XtWindowOfObject(w), tavDpy.root, gadget ? gx : 0,
                          gadget ? gy : 0, &rx, &ry, &child);
    testLog("loader item %s %d %d %d %d %s", group, rx, ry, int(wd), int(ht), label);
}

std::string labelOf(Widget w)
{
    XmString s = nullptr;
    XtVaGetValues(w, XmNlabelString, &s, nullptr);
    if (!s)
        return {};
    char* t = static_cast<char*>(
        XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL));
    XmStringFree(s);
    XtText owned(t);
    return owned.c_str();
}

void logMenuItems(const char* group, Widget menu)
{
    WidgetList kids = nullptr;
    Cardinal n = 0;
    XtVaGetValues(menu, XmNchildren, &kids, XmNnumChildren, &n, nullptr);
    for (Cardinal k = 0; k < n; ++k)
        if (XtIsManaged(kids[k]))
            logRect(group, kids[k], labelOf(kids[k]).c_str());
    testLog("loader menu %s", group);
}

void logMainWindow()
{
    if (!testLogOn())
        return;
    XSync(tavDpy.dpy, False);
    logRect("main", tavDpy.shell, "shell");
    static const char* const cascades[] = {"button_0", "button_1", "button_2"};
    static const char* const names[] = {"File", "Display", "Help"};
    for (int k = 0; k < 3; ++k)
        logRect("main", XtNameToWidget(lw.menubar, cascades[k]), names[k]);
    logRect("main", lw.cmdW, "cmdW");
    logRect("main", XtParent(lw.msgW), "messages");
    testLog("loader shown 0x%lx", static_cast<unsigned long>(XtWindow(tavDpy.shell)));
}

/// The pulldown about to be posted (its map callback runs before the shell is mapped).
void pulldownPosting(Widget w, XtPointer, XtPointer)
{
    lw.posting = w;
}

/// The pulldowns share one menu shell: once it is on the screen, the posted one is showing.
void menuShellMapped(Widget, XtPointer, XEvent* ev, Boolean*)
{
    if (ev->type != MapNotify || !lw.created || !lw.posting)
        return;
    XSync(tavDpy.dpy, False);
    if (lw.posting == lw.fileMen)
        logMenuItems("File", lw.fileMen);
    else if (lw.posting == lw.dispMen)
        logMenuItems("Display", lw.dispMen);
    else if (lw.posting == lw.helpMen)
        logMenuItems("Help", lw.helpMen);
    lw.posting = nullptr;
}

void selectorMapped(Widget, XtPointer, XEvent* ev, Boolean*)
{
    if (ev->type != MapNotify || !lw.selector)
        return;
    static const struct {
        unsigned char child;
        const char* name;
    } parts[] = {{XmDIALOG_TEXT, "Text"},
                 {XmDIALOG_OK_BUTTON, "Exploit"},
                 {XmDIALOG_APPLY_BUTTON, "Filter"},
                 {XmDIALOG_CANCEL_BUTTON, "Dismiss"},
                 {XmDIALOG_HELP_BUTTON, "Edit/Add"}};
    for (const auto& p : parts)
        logRect("selector", XmFileSelectionBoxGetChild(lw.selector, p.child), p.name);
    testLog("loader menu selector %s", lw.selKind == LDR_SEL_SCRIPT ? "script" : "image");
}

void helpMapped(Widget w, XtPointer, XEvent* ev, Boolean*)
{
    if (ev->type != MapNotify)
        return;
    logRect("help", XtNameToWidget(w, "*dismiss"), "Dismiss");
    testLog("loader menu help");
}

// ---------------------------------------------------------------------------------------------
// Message pane and command field

void paneAppend(const char* text)
{
    const XmTextPosition end = XmTextGetLastPosition(lw.msgW);
    XmTextInsert(lw.msgW, end, S(text));
    const XmTextPosition last = XmTextGetLastPosition(lw.msgW);
    XmTextSetInsertionPosition(lw.msgW, last);
    XmTextShowPosition(lw.msgW, last);
}

void clearField()
{
    XmTextFieldSetString(lw.cmdW, S(""));
}

std::string fieldText()
{
    XtText t(XmTextFieldGetString(lw.cmdW));
    return t.c_str();
}

bool isRegularFile(const std::string& path)
{
    struct stat sb {};
    return stat(path.c_str(), &sb) == 0 && S_ISREG(sb.st_mode);
}

/// The name a selector callback refers to, from its compound string.
std::string xmText(XmString s)
{
    if (!s)
        return {};
    XtText t(static_cast<char*>(
        XmStringUnparse(s, nullptr, XmCHARSET_TEXT, XmCHARSET_TEXT, nullptr, 0, XmOUTPUT_ALL)));
    return t.c_str();
}

/// The directory part of a chosen name becomes the selector's start directory, and for
/// images the image path as well.
void rememberDirectory(const std::string& name)
{
    const std::string dir = ldrDirPart(name);
    if (lw.selKind == LDR_SEL_SCRIPT) {
        lw.scriptDir = dir;
    } else {
        lw.imageDir = dir;
        SET_IPATH(dir);
    }
}

void closeSelector()
{
    if (lw.selector) {
        XtDestroyWidget(XtParent(lw.selector));
        lw.selector = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------
// Callbacks

/// Enter in the command line: the text goes to the load list; it does not submit.
void commandEntered(Widget, XtPointer, XtPointer)
{
    const std::string text = fieldText();
    if (!ldrTakesCommand(text.c_str()))
        return;
    clearField();
    const std::string line = text + "\n";
    windowMessage(line.c_str());
    loadList().append(line);
}

void selectorExploit(Widget, XtPointer, XtPointer callData)
{
    auto* cbs = static_cast<XmFileSelectionBoxCallbackStruct*>(callData);
    const std::string name = xmText(cbs ? cbs->value : nullptr);
    if (name.empty() || !isRegularFile(name))
        return;
    closeSelector();
    rememberDirectory(name);
    switch (ldrCheckExtension(lw.selKind, name)) {
    case LDR_EXT_NEEDS_CMD:
        windowMessage("\nCommand files must have '.cmd' extension.\n");
        return;
    case LDR_EXT_IMAGE_CMD:
        windowMessage("\nImage files cannot use '.cmd' [command file] extension.\n");
        return;
    default:
        break;
    }
    const std::string line = ldrSelectorLine(fieldText(), lw.selKind, name);
    if (line.empty()) {
        // Holding both quote characters, the name cannot be written as one value.
        LDR_ERROR(10, name);
        return;
    }
    loadList().append(line);
    lw.commandReady = true;
}

void selectorDismiss(Widget w, XtPointer, XtPointer)
{
    XtUnmanageChild(w);
}

void selectorEditAdd(Widget, XtPointer, XtPointer)
{
    if (!lw.selector)
        return;
    XtText typed(XmTextGetString(XmFileSelectionBoxGetChild(lw.selector, XmDIALOG_TEXT)));
    const std::string name = typed.c_str();
    if (name.empty())
        return;
    rememberDirectory(name);
    const std::string text = ldrEditAddText(lw.selKind, name);
    if (text.empty()) {
        // Too long for the command line, or not quotable: refused rather than cut.
        closeSelector();
        LDR_ERROR(10, name);
        return;
    }
    XmTextFieldSetString(lw.cmdW, S(text.c_str()));
    XmTextFieldSetInsertionPosition(lw.cmdW, XmTextFieldGetLastPosition(lw.cmdW));
    closeSelector();
    if (!lw.hintShown) {
        lw.hintShown = true;
        windowMessage("\nClick Commandline to edit. ENTER when done.\n");
        if (lw.selKind == LDR_SEL_SCRIPT)
            windowMessage("Loader Tags must PRECEDE command scripts. [Tag CMD=...]\n");
    }
}

/// A selector was dismissed through its window: the box goes with its shell.
void selectorGone(Widget w, XtPointer, XtPointer)
{
    if (w == lw.selector)
        lw.selector = nullptr;
}

void openSelector(int kind)
{
    closeSelector();
    lw.selKind = kind;
    std::string dir = kind == LDR_SEL_SCRIPT ? lw.scriptDir : lw.imageDir;
    ENV_EXPAND(dir);
    XmStr dirS(dir.c_str());
    XmStr title(kind == LDR_SEL_SCRIPT ? "TAV Command Script Selector" : "TAV Image File Selector");
    XmStr ok("Exploit");
    XmStr cancel("Dismiss");
    XmStr help("Edit/Add");
    Arg args[6];
    Cardinal n = 0;
    XtSetArg(args[n], XmNdirectory, dirS.s);
    ++n;
    XtSetArg(args[n], XmNdialogTitle, title.s);
    ++n;
    XtSetArg(args[n], XmNokLabelString, ok.s);
    ++n;
    XtSetArg(args[n], XmNcancelLabelString, cancel.s);
    ++n;
    XtSetArg(args[n], XmNhelpLabelString, help.s);
    ++n;
    lw.selector = XmCreateFileSelectionDialog(lw.mainW, S("selector"), args, n);
    XtAddCallback(lw.selector, XmNokCallback, selectorExploit, nullptr);
    XtAddCallback(lw.selector, XmNcancelCallback, selectorDismiss, nullptr);
    XtAddCallback(lw.selector, XmNhelpCallback, selectorEditAdd, nullptr);
    XtAddCallback(lw.selector, XmNdestroyCallback, selectorGone, nullptr);
    XtAddEventHandler(XtParent(lw.selector), StructureNotifyMask, False, selectorMapped, nullptr);
    XtManageChild(lw.selector);
}

void fileMenu(Widget, XtPointer item, XtPointer)
{
    switch (reinterpret_cast<std::intptr_t>(item)) {
    case 0:
        openSelector(LDR_SEL_IMAGE);
        break;
    case 1:
        openSelector(LDR_SEL_SCRIPT);
        break;
    case 2: {
        const std::string text = fieldText();
        if (!text.empty())
            loadList().append(text);
        lw.commandReady = true;
        break;
    }
    case 3: {
        clearField();
        loadList().clear();
        const XmTextPosition upTo = XmTextGetInsertionPosition(lw.msgW);
        XtVaSetValues(lw.msgW, XmNeditable, True, nullptr);
        XmTextReplace(lw.msgW, 0, upTo, S(""));
        XtVaSetValues(lw.msgW, XmNeditable, False, nullptr);
        break;
    }
    case 4:
        lw.exitAsked = true;
        break;
    default:
        break;
    }
}

void displayMenu(Widget, XtPointer item, XtPointer)
{
    static const struct {
        charu type;
        int32 w, h;
        const char* msg;
    } choices[] = {
        {DPY_FIT, 0, 0, "\nDisplay Fit-To-Image\n"},
        {DPY_FULL, 0, 0, "\nDisplay Full-Screen\n"},
        {DPY_MIN, 0, 0, "\nDisplay Minimize\n"},
        {DPY_MAX, 1024, 768, "\nDisplay 1024 X  768\n"},
        {DPY_MAX, 1536, 1024, "\nDisplay 1536 X 1024\n"},
        {DPY_MAX, 2048, 1536, "\nDisplay 2048 X 1536\n"},
    };
    const std::intptr_t k = reinterpret_cast<std::intptr_t>(item);
    if (k < 0 || k >= std::intptr_t(sizeof choices / sizeof choices[0]))
        return;
    const auto& c = choices[k];
    SET_VIEW_LOCK(false);
    SET_DPY_TYPE(c.type);
    tavDflt.dpyType = c.type;
    if (c.type == DPY_MAX) {
        SET_VIEW_MAX(c.w, c.h);
        tavDflt.maxW = c.w;
        tavDflt.maxH = c.h;
    }
    windowMessage(c.msg);
}

/// A read-only scrolled text of 64 columns (the two panes and the help pages).
Widget scrolledPane(Widget parent, const char* name, int rows, const char* value)
{
    Arg args[8];
    Cardinal n = 0;
    XtSetArg(args[n], XmNrows, rows);
    ++n;
    XtSetArg(args[n], XmNcolumns, 64);
    ++n;
    XtSetArg(args[n], XmNeditable, False);
    ++n;
    XtSetArg(args[n], XmNeditMode, XmMULTI_LINE_EDIT);
    ++n;
    XtSetArg(args[n], XmNcursorPositionVisible, False);
    ++n;
    if (value) {
        XtSetArg(args[n], XmNvalue, value);
        ++n;
    }
    Widget w = XmCreateScrolledText(parent, S(name), args, n);
    XtManageChild(w);
    return w;
}

void helpDismiss(Widget, XtPointer shell, XtPointer)
{
    XtDestroyWidget(static_cast<Widget>(shell));
}

void helpGone(Widget, XtPointer, XtPointer)
{
    lw.helpOpen = false;
    lw.helpShell = nullptr;
}

void helpMenu(Widget, XtPointer item, XtPointer)
{
    const int page = int(reinterpret_cast<std::intptr_t>(item));
    if (lw.helpOpen || !ldrHelpTitle(page))
        return;
    lw.helpOpen = true;
    Widget shell = XtVaCreatePopupShell("helpShell", xmDialogShellWidgetClass, lw.mainW, XmNtitle,
                                        ldrHelpTitle(page), XmNdeleteResponse, XmDESTROY, nullptr);
    lw.helpShell = shell;
    XtAddCallback(shell, XmNdestroyCallback, helpGone, nullptr);
    XtAddEventHandler(shell, StructureNotifyMask, False, helpMapped, nullptr);
    Widget form = XtVaCreateWidget("form", xmFormWidgetClass, shell, nullptr);
    XmStr dis("Dismiss");
    Widget btn =
        XtVaCreateManagedWidget("dismiss", xmPushButtonWidgetClass, form, XmNlabelString, dis.s,
                                XmNbottomAttachment, XmATTACH_FORM, XmNleftAttachment,
                                XmATTACH_FORM, XmNbottomOffset, 4, XmNleftOffset, 4, nullptr);
    XtAddCallback(btn, XmNactivateCallback, helpDismiss, shell);
    Widget text = scrolledPane(form, "helpText", 12, ldrHelpText(page));
    XtVaSetValues(XtParent(text), XmNtopAttachment, XmATTACH_FORM, XmNleftAttachment, XmATTACH_FORM,
                  XmNrightAttachment, XmATTACH_FORM, XmNbottomAttachment, XmATTACH_WIDGET,
                  XmNbottomWidget, btn, nullptr);
    XtManageChild(form);
}

/// The window manager's close acts as File/Exit.
void wmClose(Widget, XtPointer, XtPointer)
{
    if (lw.created)
        lw.exitAsked = true;
}

void hookShell()
{
    if (lw.hookedShell == tavDpy.shell)
        return;
    XtVaSetValues(tavDpy.shell, XmNdeleteResponse, XmDO_NOTHING, nullptr);
    const Atom del = XmInternAtom(tavDpy.dpy, S("WM_DELETE_WINDOW"), False);
    XmAddWMProtocolCallback(tavDpy.shell, del, wmClose, nullptr);
    lw.hookedShell = tavDpy.shell;
}

// ---------------------------------------------------------------------------------------------
// Widget tree

Widget titledFrame(const char* name, const char* title)
{
    Widget f = XtVaCreateManagedWidget(name, xmFrameWidgetClass, lw.mainW, nullptr);
    XmStr t(title);
    XtVaCreateManagedWidget("title", xmLabelWidgetClass, f, XmNchildType, XmFRAME_TITLE_CHILD,
                            XmNlabelString, t.s, nullptr);
    return f;
}

void buildTree()
{
    if (lw.posSet)
        XtVaSetValues(tavDpy.shell, XmNx, Position(lw.x), XmNy, Position(lw.y), nullptr);
    lw.mainW = XtVaCreateManagedWidget("mainW", xmRowColumnWidgetClass, tavDpy.shell, nullptr);

    XmStr file("File"), disp("Display"), help("Help");
    lw.menubar = XmVaCreateSimpleMenuBar(lw.mainW, S("menubar"), XmVaCASCADEBUTTON, file.s, 'F',
                                         XmVaCASCADEBUTTON, disp.s, 'D', XmVaCASCADEBUTTON, help.s,
                                         'H', nullptr);
    XtManageChild(lw.menubar);

    {
        XmStr i("Image"), s("Script"), e("Exploit"), c("Clear"), x("Exit");
        lw.fileMen = XmVaCreateSimplePulldownMenu(
            lw.menubar, S("mainMen"), 0, fileMenu, XmVaPUSHBUTTON, i.s, 'I', nullptr, nullptr,
            XmVaPUSHBUTTON, s.s, 'S', nullptr, nullptr, XmVaPUSHBUTTON, e.s, 'E', nullptr, nullptr,
            XmVaPUSHBUTTON, c.s, 'C', nullptr, nullptr, XmVaPUSHBUTTON, x.s, 'x', nullptr, nullptr,
            nullptr);
    }
    {
        XmStr a("Fit to Image"), b("Full Screen"), c("Minimize"), d("1024 X  768"),
            e("1536 X 1024"), f("2048 X 1536");
        lw.dispMen = XmVaCreateSimplePulldownMenu(
            lw.menubar, S("dispMen"), 1, displayMenu, XmVaPUSHBUTTON, a.s, 'F', nullptr, nullptr,
            XmVaPUSHBUTTON, b.s, 'S', nullptr, nullptr, XmVaPUSHBUTTON, c.s, 'M', nullptr, nullptr,
            XmVaPUSHBUTTON, d.s, '1', nullptr, nullptr, XmVaPUSHBUTTON, e.s, '5', nullptr, nullptr,
            XmVaPUSHBUTTON, f.s, '2', nullptr, nullptr, nullptr);
    }
    {
        XmStr a("Toplevel"), b("Load an image"), c("Exploitation"), d("Composition Tags"),
            e("High Dynamic Range"), f("Bugs...");
        lw.helpMen = XmVaCreateSimplePulldownMenu(
            lw.menubar, S("helpMen"), 2, helpMenu, XmVaPUSHBUTTON, a.s, 'T', nullptr, nullptr,
            XmVaPUSHBUTTON, b.s, 'L', nullptr, nullptr, XmVaPUSHBUTTON, c.s, 'E', nullptr, nullptr,
            XmVaPUSHBUTTON, d.s, 'C', nullptr, nullptr, XmVaPUSHBUTTON, e.s, 'H', nullptr, nullptr,
            XmVaPUSHBUTTON, f.s, 'B', nullptr, nullptr, nullptr);
    }
    if (testLogOn()) {
        for (Widget m : {lw.fileMen, lw.dispMen, lw.helpMen})
            XtAddCallback(m, XmNmapCallback, pulldownPosting, nullptr);
        XtAddEventHandler(XtParent(lw.fileMen), StructureNotifyMask, False, menuShellMapped,
                          nullptr);
        if (XtParent(lw.dispMen) != XtParent(lw.fileMen))
            XtAddEventHandler(XtParent(lw.dispMen), StructureNotifyMask, False, menuShellMapped,
                              nullptr);
        if (XtParent(lw.helpMen) != XtParent(lw.fileMen) &&
            XtParent(lw.helpMen) != XtParent(lw.dispMen))
            XtAddEventHandler(XtParent(lw.helpMen), StructureNotifyMask, False, menuShellMapped,
                              nullptr);
    }

    lw.tagsW =
        scrolledPane(titledFrame("frame1", "TAV Image Loader"), "textW", 12, ldrTagSummary());
    lw.msgW =
        scrolledPane(titledFrame("frame2", "Load List / Command History"), "textW", 10, nullptr);

    Widget cmdFrame = titledFrame("command", "Commandline");
    lw.cmdW = XtVaCreateManagedWidget("cmdW", xmTextFieldWidgetClass, cmdFrame, XmNcolumns, 64,
                                      XmNmaxLength, int(LDR_FIELD_MAX), XmNeditable, True, nullptr);
    XtAddCallback(lw.cmdW, XmNactivateCallback, commandEntered, nullptr);
    hookShell();
}

/// Shows the shell: realised the first time, mapped again after a hide.
void showShell()
{
    if (!XtIsRealized(tavDpy.shell))
        XtRealizeWidget(tavDpy.shell);
    else
        XtMapWidget(tavDpy.shell);
    XmUpdateDisplay(lw.mainW);
    logMainWindow();
}

/// A test run without a user to close the window: TAV_TESTLOADER=exit makes every wait end
/// as File/Exit would, once the window has been shown.
bool exitWhenIdle()
{
    const char* v = std::getenv("TAV_TESTLOADER");
    return v && std::strcmp(v, "exit") == 0;
}

int createWindow()
{
    if (lw.created)
        return 1;
    TAV_ASSERT(tavDpy.shell != nullptr);
    lw.imageDir = GET_IPATH();
    lw.scriptDir = GET_SPATH();
    buildTree();
    lw.created = true;
    lw.realised = false;
    lw.memLineShown = false;
    return 1;
}

void windowMessage(const char* text)
{
    if (!text)
        return;
    if (lw.created && lw.realised) {
        paneAppend(text);
        XmUpdateDisplay(lw.mainW);
        XFlush(tavDpy.dpy);
        testLog("loader message %s", text);
        return;
    }
    if (ldrQueueMessage(lw.pendingText, text))
        lw.pending = true;
}

char* showWindow(bool wait)
{
    if (!lw.created)
        return nullptr;
    if (!lw.realised) {
        lw.realised = true;
        showShell();
    }
    clearField();
    if (!lw.memLineShown) {
        std::uint64_t ram = 0, swap = 0;
        freeMemory(ram, swap);
        windowMessage(strPrintf("\n\n     [MBytes] Free Ram= %ld  Free Swap= %ld\n",
                                long(ram / 1000000u), long(swap / 1000000u))
                          .c_str());
        lw.memLineShown = true;
    }
    if (lw.pending) {
        std::string q;
        q.swap(lw.pendingText);
        lw.pending = false;
        windowMessage(q.c_str());
    }
    windowMessage("\n");
    clearField();
    lw.commandReady = false;
    if (!wait)
        return nullptr;

    lw.list = std::make_unique<ldrLoadList>();
    lw.exitAsked = exitWhenIdle();
    XmUpdateDisplay(lw.mainW);
    XSync(tavDpy.dpy, False);
    testLog("idle loader");
    while (lw.created && !lw.commandReady && !lw.exitAsked)
        XtAppProcessEvent(tavDpy.app, XtIMAll);
    // Exit is acted on here, outside the menu's callback, so that no widget of the menu
    // being unposted is destroyed under it.
    if (lw.exitAsked) {
        lw.list.reset();
        destroyWindow();
        return nullptr;
    }
    char* out = lw.list ? lw.list->release() : nullptr;
    lw.list.reset();
    return out;
}

void destroyWindow()
{
    if (!lw.created)
        return;
    lw.created = lw.realised = lw.memLineShown = lw.commandReady = false;
    lw.hintShown = lw.helpOpen = lw.exitAsked = lw.pending = false;
    lw.pendingText.clear();
    lw.list.reset();
    Position px = 0, py = 0;
    XtVaGetValues(tavDpy.shell, XmNx, &px, XmNy, &py, nullptr);
    lw.x = px;
    lw.y = py;
    lw.posSet = true;
    XtDestroyWidget(lw.mainW);
    lw.mainW = lw.tagsW = lw.msgW = lw.cmdW = nullptr;
    lw.menubar = lw.fileMen = lw.dispMen = lw.helpMen = nullptr;
    lw.selector = lw.helpShell = lw.posting = nullptr;
    if (XtIsRealized(tavDpy.shell))
        XtUnrealizeWidget(tavDpy.shell);
    XSync(tavDpy.dpy, False);
    resetTextwin();
    testLog("loader destroyed");
}

void hideWindow()
{
    if (lw.created && lw.realised && XtIsRealized(tavDpy.shell)) {
        // Withdrawn rather than unrealised: the widgets keep their windows for the next show.
        XWithdrawWindow(tavDpy.dpy, XtWindow(tavDpy.shell), tavDpy.screen);
        XSync(tavDpy.dpy, False);
    }
    lw.realised = false;
    lw.memLineShown = false;
}

bool windowExists()
{
    return lw.created;
}

void placeWindow(int x, int y)
{
    lw.x = x;
    lw.y = y;
    lw.posSet = true;
    if (lw.created)
        XtVaSetValues(tavDpy.shell, XmNx, Position(x), XmNy, Position(y), nullptr);
}

class motifWindow final : public ldrWindow {
public:
    int create() override { return createWindow(); }
    char* show(bool wait) override { return showWindow(wait); }
    void message(const char* text) override { windowMessage(text); }
    void destroy() override { destroyWindow(); }
    void hide() override { hideWindow(); }
    bool exists() override { return windowExists(); }
    void setPos(int x, int y) override { placeWindow(x, y); }
};

} // namespace

ldrWindow& motifLoaderWindow()
{
    static motifWindow win;
    return win;
}
