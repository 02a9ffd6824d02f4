// RANDOM: the scope scrambled line by line with the file cipher. The scramble keeps a cipher
// of its own: setting the built-in key as the user's key would make SAVE IMAGE's encryption
// and the loader's decryption use a key shipped in the program.
#include <memory>
#include <span>
#include <string>

#include "diag.h"
#include "fcrypt.h"
#include "pixelBasic.h"
#include "pixelScope.h"
#include "uiPort.h"

// Drawn once from a random generator; it keys nothing but the scramble and is no secret.
const char* const RANDOM_DEFAULT_KEY =
    "0x9525820A488DDBCFD9CAACF700F8B097C09DFA6029FA64B4F33BF7E3AB48CB49";

namespace {

// The scramble's cipher and the key text it was set from. It is keyed again only when that
// text changes, so that its state runs on from one RANDOM to the next.
struct scrambler {
    std::unique_ptr<FileCipher> cipher;
    std::string keyText;
};
scrambler scr;

} // namespace

void resetPixelRandom()
{
    wipeKeyText(scr.keyText);
    scr.cipher.reset();
}

pixelRun pxRandom(viewState* vs, const int32*, bufdes* bd)
{
    uiPort& ui = viewUi();
    pixelRun r;
    pixelScope s;
    if (!pixelScopeOf(vs, bd, &s)) {
        ui.message("Area is undefined", MSG_ACK);
        r.status = -1;
        return r;
    }
    std::string key;
    if (fileCipher.keySet()) {
        key = fileCipher.keyText();
    } else {
        ui.message("Using default crypto key", MSG_BRIEF);
        key = RANDOM_DEFAULT_KEY;
    }
    if (!scr.cipher || key != scr.keyText) {
        auto c = std::make_unique<FileCipher>();
        const int32 rc = c->setUserKey(key.c_str());
        if (rc != CRYPT_OK) {
            wipeKeyText(key);
            ui.message(strPrintf("SETUSERKEY() fail; Status= %d", int(rc)), MSG_ACK);
            r.status = rc;
            return r;
        }
        wipeKeyText(scr.keyText);
        scr.cipher = std::move(c);
        scr.keyText = key;
    }
    wipeKeyText(key);
    scopeLines lines(s, bd, "RANDOM");
    if (!lines.ok())
        return r;
    const std::size_t bytes = std::size_t(s.cols) * 4;
    for (int32 y = 0; y < s.rows; ++y) {
        int32u* px = lines.row(y);
        if (!px)
            break;
        const int32 rc =
            scr.cipher->cryptBuffer(reinterpret_cast<charu*>(px), bytes, CRYPT_ENCRYPT);
        if (rc != CRYPT_OK) {
            DIAG("\nCrypto failed. Status= %d", int(rc));
            ui.message(strPrintf("Crypto failed. Status= %d", int(rc)), MSG_ACK);
            r.status = rc;
            break;
        }
        r.changed = true;
        if (!lines.put(y))
            break;
    }
    return r;
}
