// The file cipher shared by tav and bulkseal: key texts, AES-256-CBC over whole blocks
// followed by the keyed decorrelation walk, and the file driver with its "#" naming rule.
//
// The state lives in a FileCipher object. The documented free functions (SETUSERKEY,
// CRYPT_BUFFER, cryptFile, ...) work on the process-wide instance `fileCipher`; an operation
// that needs its own key (the pixel scramble) makes a FileCipher of its own and leaves the
// user's key alone.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "tavtypes.h"

// Fixed values of the encrypted-file format. Every file ever written depends on them: they
// were drawn once from a cryptographic random generator and must never change.

/// PBKDF2 salt for a user key given as a pass phrase.
constexpr std::array<charu, 16> USER_KEY_SALT = {0x87, 0x36, 0x95, 0x6c, 0x1a, 0x8b, 0xbe, 0x30,
                                                 0x81, 0x7c, 0x57, 0x94, 0x74, 0xda, 0x9f, 0xc2};
/// PBKDF2 salt for a domain key given as a pass phrase.
constexpr std::array<charu, 16> DOMAIN_KEY_SALT = {0x96, 0x0b, 0xb4, 0xeb, 0xa3, 0xce, 0x62, 0xc5,
                                                   0x15, 0x08, 0x55, 0x00, 0x7e, 0x8b, 0x5f, 0xb8};
/// Replaces weak generator seeds in INIT_DECORR_TABLE.
constexpr int32u DECORR_SEED_C = 0x997bbe29u;

/// PBKDF2-HMAC-SHA-1 iteration count for pass phrases.
constexpr int PBKDF2_ITERATIONS = 4096;
/// Files are transformed in chunks of this many bytes; the format depends on it.
constexpr std::size_t CRYPT_CHUNK = 262144;
/// Words in the decorrelation table.
constexpr int DECORR_WORDS = 629;
/// Key text length limits (characters between the quotes, "0x" prefix included).
constexpr std::size_t KEY_MIN_CHARS = 8;
constexpr std::size_t KEY_MAX_CHARS = 66;

/// Status codes of the key functions, CRYPT_BUFFER and cryptFile.
enum : int32 {
    CRYPT_OK = 0,
    KEY_NO_TEXT = -1,      ///< SET*KEY: no text (and, for the user key, none set before)
    KEY_ALREADY_SET = -2,  ///< SETDOMAINKEY: a domain key or a user key is already set
    KEY_BAD_LENGTH = -3,   ///< SETUSERKEY: key text outside 8-66 characters
    KEY_BAD_HEX = -5,      ///< hexadecimal form without exactly 64 digits
    KEY_DERIVE_FAIL = -6,  ///< hexadecimal conversion or PBKDF2 failed
    KEY_AES_FAIL = -10,    ///< AES key setup failed
    CRYPT_NO_KEY = -1,     ///< CRYPT_BUFFER: no key set
    CRYPT_AES_ERROR = -12, ///< CRYPT_BUFFER / cryptFile: the AES primitive reported an error
    CF_NO_INPUT = -1,      ///< cryptFile: no input stream
    CF_KEY_FAIL = -2,      ///< cryptFile: SETUSERKEY failed
    CF_SEEK_IN = -3,       ///< cryptFile: input cannot be positioned at its start
    CF_NAME_STATE = -4,    ///< cryptFile: name already marked (encrypt) or not marked (decrypt)
    CF_NO_OUTPUT = -5,     ///< cryptFile: neither output stream nor output name
    CF_SEEK_OUT = -6,      ///< cryptFile: output stream cannot be positioned at its start
    CF_CREATE = -7,        ///< cryptFile: the output file cannot be created (or exists)
    CF_NO_MEMORY = -8,     ///< cryptFile: chunk buffer not allocated
    CF_READ = -9,          ///< cryptFile: read error on the input
    CF_WRITE = -11,        ///< cryptFile: write, flush, fsync, close or rename failed
};

/// cryptFile / CRYPT_BUFFER mode that encrypts; any other value decrypts.
constexpr int CRYPT_ENCRYPT = 1;
constexpr int CRYPT_DECRYPT = 0;

/// Converts hexadecimal digits (after an optional 0x/0X) into words of 1, 2 or 4 bytes, each
/// stored little-endian in `out`. Returns the number of words, 0 on a length mismatch, a
/// non-hexadecimal character, a bad word length or too small an `out`.
int HEXtoBIN(std::string_view text, std::span<charu> out, int wordLength);

/// Applies the "#" rule to the last path component of `name`: encrypting inserts "#" before
/// the last "." (or appends it), decrypting removes the last "#". Returns CRYPT_OK or
/// CF_NAME_STATE (name unchanged).
int32 cryptName(std::string& name, int mode);

/// Overwrites a text that held key material, then empties it.
void wipeKeyText(std::string& text);

/// True when the last path component of `name` carries the "#" mark.
bool nameIsMarked(std::string_view name);

/// One cipher state: keys, AES key schedule, chaining value, decorrelation table and walk.
class FileCipher {
public:
    FileCipher();
    ~FileCipher();
    FileCipher(const FileCipher&) = delete;
    FileCipher& operator=(const FileCipher&) = delete;

    /// Domain key (set first, once). Codes: KEY_NO_TEXT, KEY_ALREADY_SET, KEY_BAD_HEX,
    /// KEY_DERIVE_FAIL.
    int32 setDomainKey(const char* text);
    /// User key; the same text again only restarts the cipher state. On failure the previous
    /// key, text and state stay in force.
    int32 setUserKey(const char* text);
    /// Transforms `buf` in place (mode CRYPT_ENCRYPT or another value to decrypt).
    int32 cryptBuffer(charu* buf, std::size_t len, int mode);
    /// Transforms the stream `in` into `out` (the same stream: in place), or, with no `out`,
    /// into a new file named from `*outName` by the "#" rule; `*outName` receives the new
    /// name. A new file is written unnamed (or, where the file system cannot, under a hidden
    /// temporary name) in the same directory with mode 0600, synced, and linked to its name
    /// only when complete; it never replaces an existing file. `permissions` < 0 gives the
    /// finished file 0644 under the umask, else exactly those bits. Except in place, `in` is
    /// read and the output written on two threads of their own, joined before it returns.
    int32 cryptFile(FILE* in, FILE* out, std::string* outName, const char* keyText, int mode,
                    int permissions = -1);
    /// Loads a 128/192/256-bit AES key into this state's key schedule; -1 for other sizes.
    int aes_set_key(const charu* key, int bits);

    /// Forgets both keys and wipes the key material.
    void clearKeys();
    /// Switches the key off: clears only the key-set flag.
    void keyOff() { keySet_ = false; }
    /// True while a user key is set.
    bool keySet() const { return keySet_; }
    /// True once a domain key is set.
    bool domainKeySet() const { return domainSet_; }
    /// The current key text, quoted so that it parses back to the same key; empty with no key.
    std::string keyText() const;
    /// Decorrelation on (default) or off.
    void setDecorrelation(bool on) { decorrelate_ = on; }
    /// Test hook: false makes cryptFile build new files under a named temporary, as on file
    /// systems without unnamed files.
    void setUnnamedOutput(bool on) { unnamedOutput_ = on; }
    /// The current CBC chaining value.
    std::array<charu, 16> chainingValue() const { return chain_; }

private:
    struct AesKey;
    void initDecorrTable();
    void resetDecorrState();
    void decorrelate(charu* buf, std::size_t len, bool encrypting);
    // The two steps of cryptBuffer. They keep separate state (chaining value; walk), so
    // cryptFile may run them on different threads, each in chunk order.
    bool cbc(charu* buf, std::size_t len, bool encrypting);
    void walk(charu* buf, std::size_t len, bool encrypting);
    void keyPrng(int32u& a, int32u& b);
    void wipe();

    std::unique_ptr<AesKey> aes_;
    std::array<charu, 32> domainKey_{};
    std::array<charu, 32> key_{};
    std::array<int32u, 8> k_{};
    std::string userText_;
    bool domainSet_ = false;
    bool keySet_ = false;
    bool decorrelate_ = true;
    bool unnamedOutput_ = true;
    std::array<charu, 16> chain_{};
    std::array<int32u, DECORR_WORDS> table_{};
    int32u s1_ = 0, s2_ = 0;
    int32u cur_ = 0, key2_ = 0;
    int idx_ = 0;
};

/// The process-wide cipher state used by tav's loader and save, and by bulkseal.
extern FileCipher fileCipher;

/// fileCipher.setDomainKey.
int32 SETDOMAINKEY(const char* text);
/// fileCipher.setUserKey.
int32 SETUSERKEY(const char* text);
/// fileCipher.cryptBuffer.
int32 CRYPT_BUFFER(charu* buf, std::size_t len, int mode);
/// fileCipher.cryptFile.
int32 cryptFile(FILE* in, FILE* out, std::string* outName, const char* keyText, int mode,
                int permissions = -1);
/// fileCipher.aes_set_key.
int aes_set_key(const charu* key, int bits);
/// fileCipher.clearKeys.
void CLEAR_KEYS();
