#include "saveImage.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <initializer_list>
#include <memory>

#include "diag.h"
#include "fcrypt.h"
#include "opMenu.h"
#include "pngWrite.h"
#include "renderPix.h"
#include "saveFile.h"
#include "tavPaths.h"
#include "uiPort.h"
#include "wrgif.h"

saveImageState saveState;

void resetSaveImage()
{
    wipeKeyText(saveState.keyText);
    saveState = saveImageState{};
}

namespace {

// Menu values: top items and CRYPTO items by position, formats 1 PNG and 2 GIF.
enum : int32 { SV_FG_AOI = 1, SV_BUFFER = 2, SV_SET_PATH = 3, SV_CRYPTO = 4, SV_STATUS = 5 };
enum : int32 { CR_OFF = 1, CR_ON = 2, CR_SET_KEY = 3, CR_SAVE_KEY = 4 };
enum : int32 { ITEM_PNG = 1, ITEM_GIF = 2 };

struct saveIds {
    int32 top = -1, format = -1, pngGuns = -1, gifGuns = -1, crypto = -1;
};
saveIds ids;

// Builds the file's row from a row of iBUFF pixels (bytes blue, green, red, alpha).
void packRow(const int32u* px, int32 w, int channels, int gunByte, charu* out)
{
    const charu* p = reinterpret_cast<const charu*>(px);
    switch (channels) {
    case 1:
        for (int32 x = 0; x < w; ++x)
            out[x] = p[4 * x + gunByte];
        break;
    case 3:
        for (int32 x = 0; x < w; ++x) {
            out[3 * x] = p[4 * x + 2];
            out[3 * x + 1] = p[4 * x + 1];
            out[3 * x + 2] = p[4 * x];
        }
        break;
    default:
        for (int32 x = 0; x < w; ++x) {
            out[4 * x] = p[4 * x + 2];
            out[4 * x + 1] = p[4 * x + 1];
            out[4 * x + 2] = p[4 * x];
            out[4 * x + 3] = p[4 * x + 3];
        }
        break;
    }
}

// The rows of the area: the buffer pixels the FG AOI shows, or the whole buffer.
class areaRows {
public:
    areaRows(bufdes* bd, int32 area)
    {
        if (area == 0) {
            const aoiRec fg = bd->fgAoi;
            block_ = std::make_unique<RenderArea>(&fg, RP_BUFFER);
            if (block_->size(&w_, &h_))
                at_ = block_->read();
        } else {
            scan_ = std::make_unique<RenderScanL>(nullptr, RP_IMAGE);
            if (!scan_->size(&w_, &h_))
                w_ = h_ = 0;
        }
    }
    bool ok() const { return w_ > 0 && h_ > 0 && (scan_ || at_); }
    int32 width() const { return w_; }
    int32 height() const { return h_; }
    int32u* next()
    {
        if (scan_)
            return scan_->readNext();
        if (row_ >= h_)
            return nullptr;
        return at_ + std::size_t(row_++) * std::size_t(w_);
    }

private:
    std::unique_ptr<RenderArea> block_;
    std::unique_ptr<RenderScanL> scan_;
    int32u* at_ = nullptr;
    int32 w_ = 0, h_ = 0, row_ = 0;
};

} // namespace

int32 SAVE_IMAGE(const std::string& path, int32 gunMask, const lutSet* luts, bufdes* bd, int32 area,
                 int32 format, const std::string* keyText, int32 options)
{
    if (!(gunMask & 15))
        return SAVE_NO_GUNS;
    if (path.empty())
        return SAVE_NO_PATH;
    if (area != 0 && area != 1)
        return SAVE_BAD_AREA;
    if (format != SAVE_PNG && format != SAVE_GIF)
        return SAVE_BAD_FORMAT;
    if (gunMask != 1 && gunMask != 2 && gunMask != 4 && gunMask != 7 && gunMask != 15)
        return SAVE_BAD_MASK;
    const bool encrypt = options & SAVE_ENCRYPT;
    // The key is checked before anything is created, so a save that cannot be encrypted
    // never leaves a plain image behind.
    if (encrypt && (!keyText || keyText->empty()))
        return SAVE_NO_KEY;
    if (!bd || !bd->imgbuf)
        return SAVE_NO_SOURCE;
    const int channels = gunMask == 7 ? 3 : gunMask == 15 ? 4 : 1;
    const int gunByte = gunMask == 1 ? 2 : gunMask == 2 ? 1 : 0;

    areaRows rows(bd, area);
    if (!rows.ok())
        return SAVE_NO_SOURCE;
    const int32 w = rows.width(), h = rows.height();
    if (format == SAVE_GIF && (w > 65535 || h > 65535))
        return SAVE_GIF_SIZE;

    lutPass pass{};
    if (luts)
        prepareLutPass(*luts, pass, 7);

    std::unique_ptr<charu, decltype(&std::free)> image(nullptr, &std::free);
    const std::uint64_t gifBytes =
        std::uint64_t(w) * std::uint64_t(h) * std::uint64_t(channels == 1 ? 1 : 3);
    if (format == SAVE_GIF) {
        if (gifBytes > SIZE_MAX ||
            !viewMemOk(w, (std::int64_t(h) * (channels == 1 ? 1 : 3) + 3) / 4))
            return SAVE_NO_IMAGE;
        image.reset(static_cast<charu*>(std::malloc(std::size_t(gifBytes))));
        if (!image)
            return SAVE_NO_IMAGE;
    }
    const std::size_t rowBytes = std::size_t(w) * std::size_t(channels);
    std::unique_ptr<charu[]> row(new (std::nothrow) charu[std::size_t(w) * 4]);
    if (!row)
        return SAVE_NO_ROW;

    saveFile out;
    if (out.open(path) != SVF_OK)
        return SAVE_CREATE;
    pngWriter png;
    if (format == SAVE_PNG) {
        const int32 rc = MK_PNG_HDR(png, out.stream(), channels, w, h);
        if (rc != PNGW_OK) {
            DIAG("\nSAVE_IMAGE(): MK_PNG_HDR() = %d", rc);
            return SAVE_PNG_HDR;
        }
    }
    DIAG("\nSAVE_IMAGE() cols,rows= %d, %d File: %s", w, h, path.c_str());

    const int gifChannels = channels == 1 ? 1 : 3;
    for (int32 y = 0; y < h; ++y) {
        int32u* px = rows.next();
        if (!px)
            return SAVE_NO_SOURCE;
        // Alpha never goes through a table; lutRows keeps it.
        if (luts)
            lutRows(std::span<int32u>(px, std::size_t(w)), pass);
        if (format == SAVE_PNG) {
            packRow(px, w, channels, gunByte, row.get());
            if (pngWriteRows(png, row.get(), 1, rowBytes) != PNGW_OK)
                return SAVE_WRITE_FAIL;
        } else {
            packRow(px, w, gifChannels, gunByte,
                    image.get() + std::size_t(y) * std::size_t(w) * std::size_t(gifChannels));
        }
    }
    if (format == SAVE_PNG) {
        if (pngWriteEnd(png) != PNGW_OK)
            return SAVE_WRITE_FAIL;
    } else {
        charu* pic = image.release();
        const int32 rc = wrgif(out.stream(), &pic, w, h, channels == 1 ? 4 : 5, nullptr, nullptr,
                               nullptr, "by TAV / Corvane");
        if (rc != GIF_OK) {
            DIAG("\n***SAVE_IMAGE(): wrgif() = %d", rc);
            return SAVE_GIF_FAIL;
        }
    }
    const int32 rc = out.commit(encrypt ? keyText : nullptr);
    if (rc == SVF_CRYPT)
        return SAVE_CRYPT;
    if (rc != SVF_OK)
        return SAVE_WRITE_FAIL;
    return SAVE_OK;
}

// ---------------------------------------------------------------------------------------------
// The dialogue

int32 saveImageMenu(std::vector<pupLink>& links)
{
    ids.top = defineMenu("FG AOI|BUFFER|SET PATH|CRYPTO|STATUS");
    ids.format = defineMenu("PNG|GIF");
    ids.pngGuns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4|RGBA%xF");
    ids.gifGuns = defineMenu("RGB%x7|RED%x1|GRN%x2|BLU%x4");
    ids.crypto = defineMenu("OFF|ON|SET KEY|SAVE KEY");
    // Items count from 0 in the links.
    links.push_back(pupLink{&ids.top, SV_FG_AOI - 1, &ids.format});
    links.push_back(pupLink{&ids.top, SV_BUFFER - 1, &ids.format});
    links.push_back(pupLink{&ids.top, SV_CRYPTO - 1, &ids.crypto});
    links.push_back(pupLink{&ids.format, ITEM_PNG - 1, &ids.pngGuns});
    links.push_back(pupLink{&ids.format, ITEM_GIF - 1, &ids.gifGuns});
    return ids.top;
}

namespace {

// Fills the "%s" and "%d" fields of a message text in order with the texts given.
std::string fmt(const char* f, std::initializer_list<std::string> args)
{
    std::string s(f);
    std::size_t from = 0;
    for (const std::string& a : args) {
        std::size_t at = s.find('%', from);
        while (at != std::string::npos && at + 1 < s.size() && s[at + 1] != 's' && s[at + 1] != 'd')
            at = s.find('%', at + 1);
        if (at == std::string::npos || at + 1 >= s.size())
            break;
        s.replace(at, 2, a);
        from = at + a.size();
    }
    return s;
}

std::string fmt(const char* f, const std::string& a)
{
    return fmt(f, {a});
}

void showStatus(uiPort& ui)
{
    const std::string key = saveState.keyDefined ? saveState.keyText : std::string("NONE");
    const std::string path = GET_SVPATH();
    const std::string crypto = saveState.cryptoOn ? "ACTIVE" : "OFF";
    const std::string s =
        fmt("     SAVE IMAGE STATUS\nPath= %s\nCrypto = %s                \nKey    = %s",
            {path, crypto, key});
    ui.message(s, MSG_ACK);
}

void setPath(uiPort& ui)
{
    const std::string answer =
        ui.ask(fmt("File path: %s                     \nNew? > ", GET_SVPATH()));
    if (answer.empty())
        return;
    if (answer[0] == ' ') {
        SET_SVPATH(cwdWithSlash());
        ui.message(fmt("Save path: %s", GET_SVPATH()), MSG_ACK);
        return;
    }
    std::string expanded = answer;
    ENV_EXPAND(expanded);
    struct stat st {};
    if (::stat(expanded.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        ui.message(fmt("Not a directory or cannot access:\n  %s", answer), MSG_ACK);
        return;
    }
    // Kept as typed: a $NAME in it is expanded again when a file is saved.
    if (SET_SVPATH(answer))
        ui.message(fmt("Save path: %s", GET_SVPATH()), MSG_ACK);
}

void setKey(uiPort& ui)
{
    const std::string answer =
        ui.ask("Enter USER Encryption key enclosed in ' quotes;\n    'min 8, max. 32 chars text' "
               "or,\n    '0X min 8, max. 64 chars hexadecimal' or,\n    F'path/file.txt', of "
               "saved key\nSet optional DOMAIN key in Loader with DKEY tag.\nEnter nothing to "
               "cancel.\nKEY=");
    if (answer.empty()) {
        ui.message(saveState.keyDefined ? "Existing encryption key unchanged."
                                        : "No key defined. Encryption OFF.",
                   MSG_ACK);
        return;
    }
    std::size_t at = 0;
    const bool fromFile =
        answer.size() > 1 && (answer[0] == 'F' || answer[0] == 'f') && answer[1] == '\'';
    if (fromFile)
        at = 1;
    if (answer[at] != '\'') {
        ui.message("Key must be enclosed in quotes; 'key'", MSG_ACK);
        return;
    }
    const std::size_t close = answer.find('\'', at + 1);
    if (close == std::string::npos) {
        ui.message("Error; key trailing quote missing", MSG_ACK);
        return;
    }
    std::string key = answer.substr(at, close - at + 1);
    if (fromFile) {
        std::string file = key.substr(1, key.size() - 2);
        ENV_EXPAND(file);
        std::ifstream in(file);
        std::string line;
        if (!in || !std::getline(in, line)) {
            ui.message("Error opening saved key file.\nExisting encryption key unchanged.",
                       MSG_ACK);
            return;
        }
        key = line;
    }
    const std::string& measured = fromFile ? key : answer;
    const bool hex =
        key.size() > 2 && key[0] == '\'' && key[1] == '0' && (key[2] == 'x' || key[2] == 'X');
    if (measured.size() <= 3 || (hex && measured.size() < 10)) {
        ui.message("Key is too small.\nEncryption key minimums are 4 ascii characters, or\n0X "
                   "(zero-X) followed by 8 hexadecimal characters.\nMaximum characters is 32 "
                   "ascii, 64 hexadecimal.No changes were made.",
                   MSG_ACK);
        return;
    }
    // A key the cipher refuses changes nothing: the old key, if any, stays in force, and so
    // does the encryption state.
    if (SETUSERKEY(key.c_str()) != CRYPT_OK) {
        wipeKeyText(key);
        ui.message("Error setting encryption key", MSG_ACK);
        return;
    }
    wipeKeyText(key);
    const bool had = saveState.keyDefined;
    wipeKeyText(saveState.keyText);
    saveState.keyText = fileCipher.keyText();
    saveState.keyDefined = true;
    saveState.cryptoOn = true;
    ui.message(fmt(had ? "Encryption key redefined:\n        %s" : "Encryption key set:\n     %s",
                   saveState.keyText),
               MSG_ACK);
}

void saveKey(uiPort& ui)
{
    if (!saveState.keyDefined) {
        ui.message("No key is defined. Cannot save.", MSG_ACK);
        return;
    }
    std::string file = ui.ask("Enter full path/filename to receive encryption key.       \n> ");
    if (file.empty())
        return;
    ENV_EXPAND(file);
    // Only the owner may read a key file, whether it is new or replaced.
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    bool ok = fd >= 0 && ::fchmod(fd, 0600) == 0;
    if (ok) {
        const std::string& k = saveState.keyText;
        ok = ::write(fd, k.data(), k.size()) == ssize_t(k.size());
    }
    if (fd >= 0)
        ok = ::close(fd) == 0 && ok;
    ui.message(fmt(ok ? "Key successfully written to file:\n  %s"
                      : "Key file creation failed for:\n  %s\nKey unchanged.",
                   file),
               MSG_ACK);
}

void crypto(uiPort& ui, int32 item)
{
    switch (item) {
    case CR_OFF:
        saveState.cryptoOn = false;
        ui.message("Encryption OFF.", MSG_ACK);
        break;
    case CR_ON:
        if (fileCipher.keySet()) {
            wipeKeyText(saveState.keyText);
            saveState.keyText = fileCipher.keyText();
            saveState.keyDefined = true;
            saveState.cryptoOn = true;
            ui.message(
                fmt("         Encryption ON.\nSaved images will be encrypted\n        Key= %s",
                    saveState.keyText),
                MSG_ACK);
        } else {
            saveState.cryptoOn = false;
            ui.message("No key defined. Encryption OFF.", MSG_ACK);
        }
        break;
    case CR_SET_KEY:
        setKey(ui);
        break;
    case CR_SAVE_KEY:
        saveKey(ui);
        break;
    default:
        break;
    }
}

bool fileExists(const std::string& path)
{
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0;
}

void saveArea(uiPort& ui, viewState* vs, bufdes* bd, int32 item, int32 format, int32 mask)
{
    if (format != ITEM_PNG && format != ITEM_GIF)
        return;
    if (mask == 15 && (format == ITEM_GIF || !(vs->dmode & modeALPHA))) {
        ui.message("ALPHA bitplane not active.\nSaving as RGB.", MSG_BRIEF);
        mask = 7;
    }
    const char* ext = format == ITEM_PNG ? ".png" : ".gif";
    std::string name, path;
    for (;;) {
        name =
            ui.ask(fmt(saveState.cryptoOn ? "Path: %s\nEnter filename of ENCRYPTED saved image\n> "
                                          : "Path: %s\nEnter filename of saved image\n> ",
                       GET_SVPATH()));
        if (name.empty())
            return;
        if (saveState.cryptoOn && name.back() != '#')
            name += '#';
        name += ext;
        // The loader decrypts every name carrying the mark, so a plain image must not.
        if (!saveState.cryptoOn && nameIsMarked(name)) {
            ui.message(fmt("File: %s\n  is named as an encrypted file.\nFile not saved.", name),
                       MSG_ACK);
            continue;
        }
        path = GET_SVPATH() + name;
        ENV_EXPAND(path);
        if (fileExists(path) &&
            !ui.askYesNo(fmt("File: %s\n  already exists.\nOverwrite? [Y/N]\n> ", path))) {
            ui.message("File not saved.", MSG_BRIEF);
            continue;
        }
        break;
    }

    const int32 tGuns = ~vs->gunMask & 7;
    bool apply = false;
    lutSet luts;
    if (tGuns) {
        apply = !vs->dfltLutOn ||
                ui.askYesNo("Transform LUTs active but not visible.\nSave image using tLUTs? "
                            "[Y/N]\n> ");
        ui.message(apply ? "LUT Transform will be applied" : "Transform LUTs ignored", MSG_BRIEF);
        // Guns showing their default tables are saved as they are.
        for (int g = 0; g < 3; ++g)
            for (int i = 0; i < 256; ++i)
                luts[g][i] = (tGuns >> g) & 1 ? bd->tLut[g][i] : charu(i);
    }

    ui.setCursor(2);
    if (item == SV_BUFFER)
        ui.message("Saving image...", MSG_STANDING); // stays while the file is written
    const int32 rc = SAVE_IMAGE(path, mask, apply ? &luts : nullptr, bd, item == SV_BUFFER ? 1 : 0,
                                format == ITEM_PNG ? SAVE_PNG : SAVE_GIF, &saveState.keyText,
                                saveState.cryptoOn ? SAVE_ENCRYPT : 0);
    if (item == SV_BUFFER)
        ui.clearMessage();
    ui.setCursor(0);
    if (rc != SAVE_OK) {
        const std::string s = fmt("Save FAIL:\n  %s\nStatus= %d", {path, std::to_string(rc)});
        ui.message(s, MSG_ACK);
    } else {
        ui.message(fmt("Saved:          \n  %s", name), MSG_ACK);
    }
}

} // namespace

void saveImageOp(viewState* vs, const int32* pv, bufdes* bd)
{
    uiPort& ui = viewUi();
    switch (pv[1]) {
    case SV_FG_AOI:
    case SV_BUFFER:
        if (bd)
            saveArea(ui, vs, bd, pv[1], pv[2], pv[3]);
        break;
    case SV_SET_PATH:
        setPath(ui);
        break;
    case SV_CRYPTO:
        crypto(ui, pv[2]);
        break;
    case SV_STATUS:
        showStatus(ui);
        break;
    default:
        break;
    }
}
