#include "ldrHelp.h"

namespace {

const char* const tagSummary = "TAV IMAGE LOADER COMPOSITION TAGS\n"
                               "All tags are optional; they precede the i= or CMD= they serve.\n"
                               "\n"
                               "i=path         image file to load (quote names with blanks)\n"
                               "CMD=file.cmd   run a command script; earlier tags apply to it\n"
                               "EXIT           stop reading commands, view the current iBUFF\n"
                               "COLS=n         file columns to load (at least 16)\n"
                               "ROWS=n         file rows to load (at least 16)\n"
                               "BXY=x,y        where the image's top-left goes in the iBUFF\n"
                               "FXY=x,y        top-left corner of the part of the file loaded\n"
                               "BAND=r[,g,b,a] file bands (1-511) for the R, G, B, A planes\n"
                               "GUN=c[,n]      load one plane (R, G, B or A) into image n\n"
                               "GIF2ALPHA[=n]  a GIF file becomes the alpha plane of image n\n"
                               "XALPHA         the alpha plane is not used for display\n"
                               "SETB[=n]       make iBUFF n (1-16) current; AUTOB goes off\n"
                               "AUTOB[=T|F]    step to the next iBUFF before every command\n"
                               "INIT[=F]       clear the iBUFF first (F: scripts do not clear)\n"
                               "STATIC[=x,y,<r,g,b>]  fixed iBUFF size; a filled canvas\n"
                               "SFACT=x,y      resampling factors, above 0 and at most 1\n"
                               "DERES=n        resample by 1/2^n, n from 1 to 4\n"
                               "FLIP           turn the image top to bottom\n"
                               "MIRR           turn the image left to right\n"
                               "R180           rotate the image by 180 degrees\n"
                               "BSWAP          swap the byte order of raw HDR samples\n"
                               "BGRtoRGB       exchange the red and blue bands\n"
                               "GFILL          fill option of the scanline pipeline\n"
                               "HDU=n          FITS header data unit (image) to read, from 1\n"
                               "HDR=ch,curve,range[,p1[,p2]]   HDR scaling; HDR=RESET[,m]\n"
                               "DUMPH          show the file header, load nothing\n"
                               "KEY='text'     user key for encrypted files; KEY alone clears\n"
                               "DKEY='text'    domain key (once per run)\n"
                               "IPATH= SPATH= SVPATH= WPATH=   image, script, save, work paths\n";

const char* const titles[LDR_HELP_PAGES] = {
    "Toplevel", "Load an Image", "Exploitation", "Composition Tags", "High Dynamic Range", "Bugs"};

const char* const pages[LDR_HELP_PAGES] = {
    // Toplevel
    "THE LOADER WINDOW\n"
    "\n"
    "File menu\n"
    "  Image    opens the image file selector.\n"
    "  Script   opens the command script selector (.cmd files).\n"
    "  Exploit  submits the load list (and any text left on the\n"
    "           Commandline) and opens the exploitation view.\n"
    "  Clear    empties the Commandline and the load list and\n"
    "           clears the message pane.\n"
    "  Exit     ends the program.\n"
    "\n"
    "File selector buttons\n"
    "  Exploit  loads the selected file together with the load list.\n"
    "  Filter   lists the directory named by the filter text.\n"
    "  Dismiss  closes the selector without choosing.\n"
    "  Edit/Add puts the selected name on the Commandline so that\n"
    "           tags can be added before it is entered.\n"
    "\n"
    "Display menu\n"
    "  Chooses the size of the exploitation view: fit to the image,\n"
    "  the whole screen, the smallest view, or a fixed largest size\n"
    "  (1024 x 768, 1536 x 1024, 2048 x 1536).\n"
    "\n"
    "Panes\n"
    "  The upper pane lists the composition tags. The lower pane is\n"
    "  the load list and command history: every command entered and\n"
    "  every loader message appears there.\n"
    "\n"
    "Commandline\n"
    "  Type a loader command and press ENTER to add it to the load\n"
    "  list. ENTER does not load; File/Exploit does.\n",

    // Load an Image
    "LOADING AN IMAGE\n"
    "\n"
    "1. Choose File/Image: the selector opens in the image directory.\n"
    "2. Change directory with the Filter text and the Filter button,\n"
    "   or double-click a directory in the list.\n"
    "3. Select a file and press Exploit: the file is loaded into the\n"
    "   current iBUFF and the exploitation view opens.\n"
    "\n"
    "Composing a buffer\n"
    "  Press Edit/Add instead of Exploit: the name appears on the\n"
    "  Commandline. Put tags in front of it and press ENTER.\n"
    "  BXY=x,y places the image in the buffer, FXY=x,y picks the\n"
    "  file corner to start from, COLS=n and ROWS=n limit the part\n"
    "  loaded. Several lines entered this way build one buffer from\n"
    "  several files. SETB=n chooses the iBUFF to load into.\n"
    "\n"
    "Colour from single bands\n"
    "  Add each band file with Edit/Add and give it a gun:\n"
    "    GUN=R i=\"red.tif\"\n"
    "    GUN=G i=\"green.tif\"\n"
    "    GUN=B i=\"blue.tif\"\n"
    "  ENTER after each line, then File/Exploit.\n"
    "\n"
    "The load list\n"
    "  Lines entered with ENTER are collected in the load list and\n"
    "  run in order when you choose Exploit. File/Clear empties it.\n",

    // Exploitation
    "THE EXPLOITATION VIEW\n"
    "\n"
    "File/Exploit, or Exploit in a selector, loads the load list and\n"
    "opens the view on the current iBUFF. While the view is open the\n"
    "loader window is hidden. LOADER in the main menu brings the\n"
    "loader window back, buffers kept; EXIT ends the program.\n"
    "\n"
    "Mouse buttons\n"
    "  Right   opens the main menu at the pointer; drag onto an item\n"
    "          and release to choose it.\n"
    "  Middle  switches the transform LUTs off and on.\n"
    "  Left    acts inside the operation that is running (pick a\n"
    "          point, draw a box, acknowledge a message).\n"
    "\n"
    "Two-button mice\n"
    "  With TWO_BUTTON_MOUSE in the defaults file, hold the left\n"
    "  button and press the right one to act as the middle button.\n"
    "\n"
    "Menus\n"
    "  Moving the pointer onto an item that leads further opens its\n"
    "  sub-menu beside it (menus draw no mark on such items).\n"
    "  Releasing outside every menu closes the menus without a\n"
    "  choice.\n",

    // Composition Tags
    "COMPOSITION TAGS\n"
    "\n"
    "A loader command is one line of tags ending with the file it\n"
    "applies to, for example\n"
    "    BXY=100,20 GUN=R i=scene.pgm\n"
    "Tags say where and how each file goes into the iBUFF, so that\n"
    "several files can be combined into one buffer: side by side\n"
    "with BXY, as colour planes with GUN or BAND, cut with FXY, COLS\n"
    "and ROWS, resampled with SFACT or DERES.\n"
    "\n"
    "Tags act on the command they are written in. For a command\n"
    "script they must come before CMD=, on the same line: they then\n"
    "apply to the first command of the script.\n"
    "\n"
    "To add tags to a chosen file, use Edit/Add in the selector. The\n"
    "name is placed on the Commandline; click in front of it, type\n"
    "the tags and press ENTER. The upper pane of the loader window\n"
    "lists every tag.\n",

    // High Dynamic Range
    "HIGH DYNAMIC RANGE DATA\n"
    "\n"
    "Samples of more than 8 bits (16-bit, integer, floating point)\n"
    "are kept at full precision in the scaling accumulator sBUFF.\n"
    "The view shows them through a scaling curve and a range for\n"
    "each gun, rendered to 8 bits into the iBUFF.\n"
    "\n"
    "The HDR tag chooses the scaling before the load:\n"
    "    HDR=channels,curve,range[,p1[,p2]]\n"
    "For deep-space images try\n"
    "    HDR=rgb,linear,median,3.5\n"
    "and for other data\n"
    "    HDR=rgb,linear,full\n"
    "\n"
    "SBUFF_AUTO in the defaults file renders the sBUFF by itself\n"
    "after a load. In the view, the HDR scaling menu changes the\n"
    "curve and the range per gun and re-renders; the accumulator\n"
    "menus save, restore and combine sBUFF data.\n",

    // Bugs
    "REPORTING A PROBLEM\n"
    "\n"
    "Please include:\n"
    "  - the operations you performed, in order (the load list in\n"
    "    the lower pane shows the commands);\n"
    "  - what happened, with any message shown, and what you\n"
    "    expected to happen;\n"
    "  - for a file that does not load or looks wrong, whether\n"
    "    another image viewer shows it correctly, and if possible\n"
    "    the file itself.\n"
    "\n"
    "Send the report to the issue tracker of the repository this\n"
    "program was built from.\n",
};

} // namespace

const char* ldrTagSummary()
{
    return tagSummary;
}

const char* ldrHelpTitle(int page)
{
    return page >= 0 && page < LDR_HELP_PAGES ? titles[page] : nullptr;
}

const char* ldrHelpText(int page)
{
    return page >= 0 && page < LDR_HELP_PAGES ? pages[page] : nullptr;
}
