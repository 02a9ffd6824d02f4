#include "fcrypt.h"

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <openssl/crypto.h>
#include <openssl/evp.h>

#include "diag.h"
#include "lexical.h"

namespace {

int32u rotl32(int32u v, unsigned n)
{
    return (v << n) | (v >> (32u - n));
}

int32u loadLE32(const charu* p)
{
    return int32u(p[0]) | int32u(p[1]) << 8 | int32u(p[2]) << 16 | int32u(p[3]) << 24;
}

void storeLE32(charu* p, int32u v)
{
    p[0] = charu(v);
    p[1] = charu(v >> 8);
    p[2] = charu(v >> 16);
    p[3] = charu(v >> 24);
}

bool hasHexPrefix(std::string_view s)
{
    return s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X');
}

// The key proper of a key text: up to the first newline, leading blanks skipped, and the
// text between the opening quote and the last matching quote when it is quoted. Taking the
// last quote lets keyText() quote any key and have it parse back unchanged.
std::string_view keyOfText(const char* text)
{
    std::string_view s(text);
    s = s.substr(0, s.find('\n'));
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    if (!s.empty() && (s.front() == '\'' || s.front() == '"')) {
        const std::size_t close = s.rfind(s.front());
        if (close > 0)
            return s.substr(1, close - 1);
    }
    return s;
}

// 32 key bytes from a key: the hexadecimal form read as eight little-endian words, any other
// text through PBKDF2-HMAC-SHA-1 with the given salt.
int32 deriveKey(std::string_view key, const std::array<charu, 16>& salt, std::array<charu, 32>& out)
{
    const bool prefix = hasHexPrefix(key);
    const std::string_view digits = prefix ? key.substr(2) : key;
    const bool allHex =
        std::all_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 0; });
    const bool hasLetter =
        std::any_of(digits.begin(), digits.end(), [](char c) { return hexDigit(c) >= 10; });
    if (allHex && (prefix || hasLetter)) {
        if (digits.size() != 64)
            return KEY_BAD_HEX;
        return HEXtoBIN(key, out, 4) == 8 ? CRYPT_OK : KEY_DERIVE_FAIL;
    }
    const int ok =
        PKCS5_PBKDF2_HMAC_SHA1(key.data(), int(key.size()), salt.data(), int(salt.size()),
                               PBKDF2_ITERATIONS, int(out.size()), out.data());
    return ok == 1 ? CRYPT_OK : KEY_DERIVE_FAIL;
}

struct CtxFree {
    void operator()(EVP_CIPHER_CTX* c) const { EVP_CIPHER_CTX_free(c); }
};
using CtxPtr = std::unique_ptr<EVP_CIPHER_CTX, CtxFree>;

// Moves the first r bytes of p[0..n) to its end through a scratch buffer that holds the
// smaller part (n never exceeds the 16383-byte segment limit).
void rotateLeft(charu* p, std::size_t n, std::size_t r)
{
    charu scratch[16384];
    if (r <= n - r) {
        std::memcpy(scratch, p, r);
        std::memmove(p, p + r, n - r);
        std::memcpy(p + n - r, scratch, r);
    } else {
        std::memcpy(scratch, p + r, n - r);
        std::memmove(p + (n - r), p, r);
        std::memcpy(p, scratch, n - r);
    }
}

// Writes all n bytes, retrying after signals and short writes.
bool writeAll(int fd, const charu* p, std::size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd, p, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        p += w;
        n -= std::size_t(w);
    }
    return true;
}

std::string dirOf(const std::string& name)
{
    const std::size_t slash = name.rfind('/');
    return slash == std::string::npos ? std::string() : name.substr(0, slash + 1);
}

// Gives the finished temporary file its name, never replacing an existing file.
int linkNoReplace(const std::string& from, const std::string& to)
{
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0)
        return 0;
    if (errno != EINVAL && errno != ENOSYS)
        return -1;
    // File systems without the no-replace rename: link() fails on an existing name too.
    if (::link(from.c_str(), to.c_str()) != 0)
        return -1;
    ::unlink(from.c_str());
    return 0;
}

// The new file while it is written, readable by its owner only. Where the file system allows
// it the file has no name at all until it is complete, so a run killed mid-way (SIGKILL,
// power loss) leaves nothing behind; elsewhere it is a hidden named temporary beside the
// output, removed on every failure this process lives to see.
struct TempFile {
    int fd = -1;
    std::string path; // the named temporary; empty while the file is unnamed
    bool committed = false;
    TempFile() = default;
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;
    ~TempFile()
    {
        if (fd >= 0)
            ::close(fd);
        if (!committed && !path.empty())
            ::unlink(path.c_str());
    }

    // Creates the file in `dir` ("" is the working folder); false when that is not possible.
    bool create(const std::string& dir, bool allowUnnamed)
    {
        // An unnamed file is linked through its /proc/self/fd entry, so it is only usable
        // where that exists.
        if (allowUnnamed && ::access("/proc/self/fd", X_OK) == 0) {
            fd = ::open(dir.empty() ? "." : dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
            if (fd >= 0)
                return true;
            // Kernels and file systems without unnamed files answer with one of these.
            if (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)
                return false;
        }
        std::string tmpl = dir + ".fcrypt-XXXXXX";
        fd = ::mkostemp(tmpl.data(), O_CLOEXEC); // mode 0600
        if (fd < 0)
            return false;
        path = tmpl;
        return true;
    }

    // Puts the complete, synced file under `to`, never replacing an existing file, and closes
    // it. CRYPT_OK, CF_CREATE (the name cannot be made or exists) or CF_WRITE (close failed).
    int32 commit(const std::string& to)
    {
        const int f = fd;
        fd = -1;
        if (path.empty()) {
            const std::string proc = "/proc/self/fd/" + std::to_string(f);
            // linkat refuses an existing name, which keeps the no-replace rule.
            if (::linkat(AT_FDCWD, proc.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) != 0) {
                ::close(f);
                return CF_CREATE;
            }
            if (::close(f) != 0) {
                // Reported as a failure, so the name must not stay behind either.
                ::unlink(to.c_str());
                return CF_WRITE;
            }
        } else {
            if (::close(f) != 0)
                return CF_WRITE;
            if (linkNoReplace(path, to) != 0)
                return CF_CREATE;
        }
        committed = true;
        return CRYPT_OK;
    }
};

// Where transformed chunks go: a stream, or the file under construction.
struct ChunkSink {
    FILE* out = nullptr;
    int fd = -1;
    bool put(const charu* p, std::size_t n) const
    {
        return out ? std::fwrite(p, 1, n, out) == n : writeAll(fd, p, n);
    }
};

/// Chunks the overlapped copy keeps in flight (4 MiB). The cipher is the slowest step; the
/// slack lets the reader and the writer fall a few milliseconds behind, as they do on a busy
/// machine, without ever making the cipher wait.
constexpr std::size_t CHUNK_SLOTS = 16;
/// A waiting reader or writer is woken only when this many chunks are ready for it, which
/// saves three quarters of the thread switches. Never more than CHUNK_SLOTS.
constexpr std::size_t CHUNK_BATCH = 4;
static_assert(CHUNK_BATCH <= CHUNK_SLOTS);

// Reading, the cipher and writing overlap. A reader thread fills the slots of a small ring,
// the calling thread transforms them in order and a writer thread drains them in order. Each
// stage's state runs on from chunk to chunk, so every stage keeps to one thread and takes the
// chunks in file order. Every chunk has the length the one-thread loop would give it (full
// chunks until the first short read), so the output is the same byte for byte.
class ChunkRing {
public:
    ChunkRing(charu* slots, FILE* in, ChunkSink sink) : base_(slots), in_(in), sink_(sink) {}

    // Runs `pre(chunk, length)` on the reader thread after each read, `cipher(chunk, length)`
    // (false: the cipher failed) on the calling thread, and `post(chunk, length)` on the
    // writer thread before each write. CRYPT_OK, CRYPT_AES_ERROR or CF_WRITE; read errors are
    // left in the input stream's error flag, as with the one-thread loop. False in `started`
    // when no thread could be started: nothing has been read then.
    template <class Pre, class Cipher, class Post>
    int32 run(Pre&& pre, Cipher&& cipher, Post&& post, bool& started)
    {
        started = false;
        std::thread reader, writer;
        try {
            // The writer first: until the cipher hands it a chunk it touches nothing, so if
            // the reader cannot start, the input is still unread.
            writer = std::thread([this, &post] { writeChunks(post); });
            reader = std::thread([this, &pre] { readChunks(pre); });
        } catch (const std::system_error&) {
            halt();
            if (writer.joinable())
                writer.join();
            return CRYPT_OK;
        }
        started = true;
        int32 rc = CRYPT_OK;
        for (std::uint64_t i = 0;; ++i) {
            std::size_t n = 0;
            {
                std::unique_lock lock(m_);
                chunkRead_.wait(lock, [&] { return stop_ || i < filled_ || inputDone_; });
                if (stop_ || i >= filled_)
                    break;
                n = len_[i % CHUNK_SLOTS];
            }
            if (!cipher(slot(i), n)) {
                rc = CRYPT_AES_ERROR;
                halt();
                break;
            }
            std::lock_guard lock(m_);
            sealed_ = i + 1;
            if (sealed_ >= writerWake_)
                chunkSealed_.notify_one();
        }
        {
            std::lock_guard lock(m_);
            cipherDone_ = true;
            chunkSealed_.notify_one();
        }
        reader.join();
        writer.join();
        return writeFailed_ ? CF_WRITE : rc;
    }

private:
    charu* slot(std::uint64_t i) const { return base_ + (i % CHUNK_SLOTS) * CRYPT_CHUNK; }

    void halt()
    {
        std::lock_guard lock(m_);
        stop_ = true;
        chunkRead_.notify_one();
        chunkSealed_.notify_one();
        slotFree_.notify_one();
    }

    template <class Pre> void readChunks(Pre& pre)
    {
        for (std::uint64_t i = 0;; ++i) {
            {
                // Slot i is free once the chunk that used it before has been written; when
                // the ring is full, wait for a batch of free slots.
                std::unique_lock lock(m_);
                if (!stop_ && i >= drained_ + CHUNK_SLOTS) {
                    readerWake_ = i + CHUNK_BATCH - CHUNK_SLOTS;
                    slotFree_.wait(lock, [&] { return stop_ || drained_ >= readerWake_; });
                }
                readerWake_ = NEVER;
                if (stop_)
                    return;
            }
            const std::size_t n = std::fread(slot(i), 1, CRYPT_CHUNK, in_);
            if (n > 0)
                pre(slot(i), n);
            std::lock_guard lock(m_);
            if (n > 0) {
                len_[i % CHUNK_SLOTS] = n;
                filled_ = i + 1;
            }
            if (n < CRYPT_CHUNK)
                inputDone_ = true;
            chunkRead_.notify_one();
            if (n < CRYPT_CHUNK)
                return;
        }
    }

    template <class Post> void writeChunks(Post& post)
    {
        for (std::uint64_t i = 0;; ++i) {
            std::size_t n = 0;
            {
                // With nothing to write, wait for a batch or the end.
                std::unique_lock lock(m_);
                if (!stop_ && !cipherDone_ && i >= sealed_) {
                    writerWake_ = i + CHUNK_BATCH;
                    chunkSealed_.wait(
                        lock, [&] { return stop_ || cipherDone_ || sealed_ >= writerWake_; });
                }
                writerWake_ = NEVER;
                if (stop_ || i >= sealed_)
                    return;
                n = len_[i % CHUNK_SLOTS];
            }
            post(slot(i), n);
            if (!sink_.put(slot(i), n)) {
                {
                    std::lock_guard lock(m_);
                    writeFailed_ = true;
                }
                halt();
                return;
            }
            std::lock_guard lock(m_);
            drained_ = i + 1;
            if (drained_ >= readerWake_)
                slotFree_.notify_one();
        }
    }

    charu* const base_;
    FILE* const in_;
    const ChunkSink sink_;
    // One waiter each, so that a step wakes only the thread it concerns.
    std::mutex m_;
    std::condition_variable chunkRead_;   // the cipher waits for a read chunk
    std::condition_variable chunkSealed_; // the writer waits for a transformed chunk
    std::condition_variable slotFree_;    // the reader waits for a written slot
    std::array<std::size_t, CHUNK_SLOTS> len_{};
    std::uint64_t filled_ = 0;  // chunks read
    std::uint64_t sealed_ = 0;  // chunks transformed
    std::uint64_t drained_ = 0; // chunks written
    bool inputDone_ = false;    // the last chunk has been read
    bool cipherDone_ = false;   // the cipher has taken its last chunk
    bool writeFailed_ = false;
    bool stop_ = false; // a stage failed: the others leave at their next step
    // The counts at which the waiting reader and writer want to be woken (NEVER: not waiting).
    static constexpr std::uint64_t NEVER = ~std::uint64_t(0);
    std::uint64_t readerWake_ = NEVER;
    std::uint64_t writerWake_ = NEVER;
};

void syncDir(const std::string& dir)
{
    const int fd = ::open(dir.empty() ? "." : dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        return;
    ::fsync(fd); // the data itself is already synced; the entry is best effort
    ::close(fd);
}

} // namespace

struct FileCipher::AesKey {
    CtxPtr enc;
    CtxPtr dec;

    int set(const charu* key, int bits)
    {
        const EVP_CIPHER* cipher = nullptr;
        switch (bits) {
        case 128:
            cipher = EVP_aes_128_cbc();
            break;
        case 192:
            cipher = EVP_aes_192_cbc();
            break;
        case 256:
            cipher = EVP_aes_256_cbc();
            break;
        default:
            DIAG("\n***aes_set_key: bad key size= %d", bits);
            return -1;
        }
        const charu zeroIv[16] = {};
        enc.reset(EVP_CIPHER_CTX_new());
        dec.reset(EVP_CIPHER_CTX_new());
        if (!enc || !dec || EVP_EncryptInit_ex(enc.get(), cipher, nullptr, key, zeroIv) != 1 ||
            EVP_DecryptInit_ex(dec.get(), cipher, nullptr, key, zeroIv) != 1 ||
            EVP_CIPHER_CTX_set_padding(enc.get(), 0) != 1 ||
            EVP_CIPHER_CTX_set_padding(dec.get(), 0) != 1) {
            enc.reset();
            dec.reset();
            return -1;
        }
        return 0;
    }

    // CBC over whole blocks in place, starting from chaining value iv.
    bool run(charu* buf, std::size_t bytes, const charu* iv, bool encrypting)
    {
        EVP_CIPHER_CTX* c = encrypting ? enc.get() : dec.get();
        if (EVP_CipherInit_ex(c, nullptr, nullptr, nullptr, iv, encrypting ? 1 : 0) != 1 ||
            EVP_CIPHER_CTX_set_padding(c, 0) != 1)
            return false;
        // The update length is an int: large pixel buffers go through in pieces, the
        // context carrying the chaining value from one to the next.
        constexpr std::size_t kPiece = std::size_t(1) << 30;
        while (bytes > 0) {
            const std::size_t n = std::min(bytes, kPiece);
            int outl = 0;
            if (EVP_CipherUpdate(c, buf, &outl, buf, int(n)) != 1 || std::size_t(outl) != n)
                return false;
            buf += n;
            bytes -= n;
        }
        return true;
    }
};

FileCipher fileCipher;

FileCipher::FileCipher()
{
    // Initialising libcrypto here registers its exit handler before this object's
    // destructor, so the key material is wiped while libcrypto still works.
    OPENSSL_init_crypto(0, nullptr);
}

FileCipher::~FileCipher()
{
    wipe();
}

void FileCipher::wipe()
{
    aes_.reset();
    OPENSSL_cleanse(domainKey_.data(), domainKey_.size());
    OPENSSL_cleanse(key_.data(), key_.size());
    OPENSSL_cleanse(k_.data(), sizeof k_);
    OPENSSL_cleanse(chain_.data(), chain_.size());
    OPENSSL_cleanse(table_.data(), sizeof table_);
    wipeKeyText(userText_);
    s1_ = s2_ = cur_ = key2_ = 0;
    idx_ = 0;
}

void FileCipher::clearKeys()
{
    wipe();
    domainSet_ = false;
    keySet_ = false;
}

std::string FileCipher::keyText() const
{
    if (!keySet_)
        return {};
    return "'" + userText_ + "'";
}

int FileCipher::aes_set_key(const charu* key, int bits)
{
    auto fresh = std::make_unique<AesKey>();
    if (fresh->set(key, bits) != 0)
        return -1;
    aes_ = std::move(fresh);
    return 0;
}

int32 FileCipher::setDomainKey(const char* text)
{
    if (!text || !*text)
        return KEY_NO_TEXT;
    if (domainSet_ || keySet_)
        return KEY_ALREADY_SET;
    const std::string_view key = keyOfText(text);
    if (key.empty())
        return KEY_NO_TEXT;
    std::array<charu, 32> derived{};
    const int32 rc = deriveKey(key, DOMAIN_KEY_SALT, derived);
    if (rc == CRYPT_OK) {
        domainKey_ = derived;
        domainSet_ = true;
    }
    OPENSSL_cleanse(derived.data(), derived.size());
    return rc;
}

int32 FileCipher::setUserKey(const char* text)
{
    if (!text || !*text)
        return keySet_ ? CRYPT_OK : KEY_NO_TEXT;
    const std::string_view key = keyOfText(text);
    if (key.size() < KEY_MIN_CHARS || key.size() > KEY_MAX_CHARS)
        return KEY_BAD_LENGTH;
    if (keySet_ && key == userText_) {
        // The table depends on the key alone and the walk never writes it: restarting the
        // walk and the chaining value is all a fresh start needs.
        resetDecorrState();
        return CRYPT_OK;
    }
    // Everything is derived aside and taken over only when all of it succeeded.
    std::array<charu, 32> derived{};
    int32 rc = deriveKey(key, USER_KEY_SALT, derived);
    if (rc != CRYPT_OK) {
        OPENSSL_cleanse(derived.data(), derived.size());
        return rc;
    }
    for (std::size_t i = 0; i < derived.size(); ++i)
        derived[i] |= domainKey_[i];
    auto fresh = std::make_unique<AesKey>();
    rc = fresh->set(derived.data(), 256) == 0 ? CRYPT_OK : KEY_AES_FAIL;
    if (rc == CRYPT_OK) {
        wipeKeyText(userText_);
        userText_.assign(key);
        key_ = derived;
        for (int i = 0; i < 8; ++i)
            k_[std::size_t(i)] = loadLE32(key_.data() + 4 * i);
        aes_ = std::move(fresh);
        initDecorrTable();
        resetDecorrState();
        keySet_ = true;
    }
    OPENSSL_cleanse(derived.data(), derived.size());
    return rc;
}

void FileCipher::keyPrng(int32u& a, int32u& b)
{
    s2_ += 1;
    if (s2_ > 0xFFFFFEFFu)
        s2_ >>= 3;
    int32u x = s2_;
    int32u l = s1_;
    for (int i = 0; i < 4; ++i) {
        const int32u t = x;
        const int32u y = t ^ k_[std::size_t(i)];
        const int32u lo = y & 0xFFFFu;
        const int32u hi = y >> 16;
        const int32u w = lo * lo - hi * hi - 1u;
        x = ((rotl32(w, 16) ^ k_[std::size_t(4 + i)]) + lo * hi) ^ l;
        l = t;
    }
    a = l;
    b = x;
}

void FileCipher::initDecorrTable()
{
    s1_ = k_[0] ^ k_[1] ^ k_[2] ^ k_[3];
    s2_ = k_[4] ^ k_[5] ^ k_[6] ^ k_[7];
    if (s1_ <= 0xFFFFu || (s1_ & 0xFFFFu) == 0 || s1_ == 0xFFFFFFFFu)
        s1_ ^= DECORR_SEED_C;
    if (s2_ < 0x10000u || (s2_ & 0xFFFFu) == 0 || s2_ == 0xFFFFFFFFu || s2_ == s1_)
        s2_ = ~(DECORR_SEED_C ^ s2_);
    int32u n = ((s1_ ^ s2_) & 127u) + 1u;
    for (int i = 0; i < DECORR_WORDS; ++i) {
        int32u a = 0, b = 0;
        for (int32u j = 0; j < n; ++j)
            keyPrng(a, b);
        const int32u v = (i & 1) ? a : b;
        table_[std::size_t(i)] = v;
        n = (v & 127u) + 1u;
    }
}

void FileCipher::resetDecorrState()
{
    cur_ = table_[0];
    key2_ = table_[0] ^ table_[DECORR_WORDS - 1];
    idx_ = 0;
    for (int i = 0; i < 4; ++i)
        storeLE32(chain_.data() + 4 * i, table_[std::size_t(i)]);
}

void FileCipher::decorrelate(charu* buf, std::size_t len, bool encrypting)
{
    // At 128 bytes or less no segment can be both at least 128 bytes long and split with
    // 37 bytes on each side, and the walk would never end.
    if (len <= 128)
        return;
    std::uint64_t pow2 = 1;
    while (pow2 < len)
        pow2 <<= 1;
    const int32u m = int32u(std::min<std::uint64_t>(pow2 - 1, 16383));
    std::uint64_t done = 0;
    // Guard against a walk that rejects every draw: both directions give up at the same draw,
    // so a buffer still round-trips.
    constexpr std::uint64_t kMaxRejects = std::uint64_t(1) << 24;
    std::uint64_t rejects = 0;
    for (;;) {
        cur_ = rotl32(cur_, 1);
        if (cur_ == table_[std::size_t(idx_)]) {
            if (++idx_ > DECORR_WORDS - 1) {
                key2_ = rotl32(key2_, 1) ^ 1u;
                idx_ = 0;
            }
            cur_ = table_[std::size_t(idx_)];
        }
        int32u seg = (key2_ ^ cur_) & m;
        int32u split = cur_ & seg;
        if (split > seg / 2)
            split /= 2;
        if (seg < 128 || split < 37 || split >= seg - 36) {
            if (++rejects > kMaxRejects)
                return;
            continue;
        }
        rejects = 0;
        const std::uint64_t start = done;
        done += seg;
        if (done > len) {
            seg = int32u(len - start);
            if (seg < 128)
                return;
            split = cur_ & seg;
            if (split < 37 || split > seg - 37) {
                split = seg & (key2_ ^ cur_);
                if (split < 37 || split > seg - 37)
                    return;
            }
        }
        const int32u rest = seg - split;
        const bool flip = (key2_ & 1u) != (cur_ & 1u);
        // flip: encrypting moves the first `rest` bytes to the end, decrypting undoes it;
        // otherwise the roles swap.
        if (flip == encrypting)
            rotateLeft(buf + start, seg, rest);
        else
            rotateLeft(buf + start, seg, seg - rest);
        if (done >= len)
            return;
    }
}

int32 FileCipher::cryptBuffer(charu* buf, std::size_t len, int mode)
{
    if (!keySet_ || !aes_)
        return CRYPT_NO_KEY;
    const bool encrypting = mode == CRYPT_ENCRYPT;
    if (encrypting) {
        if (!cbc(buf, len, true))
            return CRYPT_AES_ERROR;
        walk(buf, len, true);
    } else {
        walk(buf, len, false);
        if (!cbc(buf, len, false))
            return CRYPT_AES_ERROR;
    }
    return CRYPT_OK;
}

bool FileCipher::cbc(charu* buf, std::size_t len, bool encrypting)
{
    if (len < 16)
        return true;
    const std::size_t bytes = len / 16 * 16;
    if (encrypting) {
        if (!aes_->run(buf, bytes, chain_.data(), true))
            return false;
        std::memcpy(chain_.data(), buf + bytes - 16, 16);
        return true;
    }
    std::array<charu, 16> next;
    std::memcpy(next.data(), buf + bytes - 16, 16);
    if (!aes_->run(buf, bytes, chain_.data(), false))
        return false;
    chain_ = next;
    return true;
}

void FileCipher::walk(charu* buf, std::size_t len, bool encrypting)
{
    // Short buffers are left as they are, like the chaining step leaves them.
    if (decorrelate_ && len >= 16)
        decorrelate(buf, len, encrypting);
}

int32 FileCipher::cryptFile(FILE* in, FILE* out, std::string* outName, const char* keyText,
                            int mode, int permissions)
{
    if (!in)
        return CF_NO_INPUT;
    if (setUserKey(keyText) != CRYPT_OK)
        return CF_KEY_FAIL;
    if (std::fseek(in, 0, SEEK_SET) != 0)
        return CF_SEEK_IN;
    if (outName) {
        if (cryptName(*outName, mode) != CRYPT_OK)
            return CF_NAME_STATE;
    } else if (!out) {
        return CF_NO_OUTPUT;
    }
    const bool inPlace = out == in;
    TempFile temp;
    if (out && !inPlace) {
        if (std::fseek(out, 0, SEEK_SET) != 0)
            return CF_SEEK_OUT;
    } else if (!out) {
        // The new file is built beside its final name, so that a failure leaves no partial
        // file and an existing file is never replaced. It stays private to its owner until
        // it is complete: after a decryption it holds the plain text.
        if (!temp.create(dirOf(*outName), unnamedOutput_)) {
            DIAG("\n***cryptFile(): cannot create: %s\n", outName->c_str());
            return CF_CREATE;
        }
    }

    // In place, every chunk is read and written back through the one stream, so the steps
    // stay in turn; otherwise reading and writing overlap with the cipher.
    const std::size_t slots = inPlace ? 1 : CHUNK_SLOTS;
    std::unique_ptr<charu[]> buf(new (std::nothrow) charu[CRYPT_CHUNK * slots]);
    if (!buf)
        return CF_NO_MEMORY;
    const ChunkSink sink{out, temp.fd};
    bool overlapped = false;
    if (!inPlace && aes_) {
        ChunkRing ring(buf.get(), in, sink);
        // Encrypting chains first and walks after, decrypting the other way round. The walk
        // and the chaining keep separate state, so the walk runs on the writer thread
        // (encrypting) or the reader thread (decrypting), beside the chaining on this one.
        const bool encrypting = mode == CRYPT_ENCRYPT;
        const auto walkAfterRead = [&](charu* p, std::size_t n) {
            if (!encrypting)
                walk(p, n, false);
        };
        const auto chain = [&](charu* p, std::size_t n) { return cbc(p, n, encrypting); };
        const auto walkBeforeWrite = [&](charu* p, std::size_t n) {
            if (encrypting)
                walk(p, n, true);
        };
        const int32 rc = ring.run(walkAfterRead, chain, walkBeforeWrite, overlapped);
        if (rc != CRYPT_OK)
            return rc;
    }
    // One thread: in place, or when no thread could be started.
    while (!overlapped) {
        const std::size_t n = std::fread(buf.get(), 1, CRYPT_CHUNK, in);
        if (n == 0)
            break;
        if (cryptBuffer(buf.get(), n, mode) != CRYPT_OK)
            return CRYPT_AES_ERROR;
        if (inPlace) {
            if (std::fseek(in, -long(n), SEEK_CUR) != 0)
                return CF_WRITE;
            if (std::fwrite(buf.get(), 1, n, in) != n)
                return CF_WRITE;
            // An update stream must be positioned between a write and the next read.
            if (std::fseek(in, 0, SEEK_CUR) != 0)
                return CF_WRITE;
        } else if (!sink.put(buf.get(), n)) {
            return CF_WRITE;
        }
        if (n < CRYPT_CHUNK)
            break;
    }
    if (std::ferror(in))
        return CF_READ;
    buf.reset();

    if (out) {
        if (std::fflush(out) != 0 || ::fsync(::fileno(out)) != 0)
            return CF_WRITE;
        if (std::fseek(out, 0, SEEK_SET) != 0)
            return CF_WRITE;
        return CRYPT_OK;
    }
    // The final permissions only now that the content is complete; the owner-only mode of
    // the temporary is what protects a half-written file.
    mode_t perms = 0;
    if (permissions >= 0) {
        perms = mode_t(permissions) & 07777;
    } else {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        perms = 0644 & ~mask;
    }
    if (::fchmod(temp.fd, perms) != 0) {
        DIAG("\n***cryptFile(): cannot create: %s\n", outName->c_str());
        return CF_CREATE;
    }
    if (::fsync(temp.fd) != 0)
        return CF_WRITE;
    const int32 rc = temp.commit(*outName);
    if (rc == CF_WRITE) {
        DIAG("\n***cryptFile() error closing file\n");
        return CF_WRITE;
    }
    if (rc != CRYPT_OK) {
        DIAG("\n***cryptFile(): cannot create: %s\n", outName->c_str());
        return CF_CREATE;
    }
    syncDir(dirOf(*outName));
    return CRYPT_OK;
}

int HEXtoBIN(std::string_view text, std::span<charu> out, int wordLength)
{
    if (wordLength != 1 && wordLength != 2 && wordLength != 4)
        return 0;
    if (hasHexPrefix(text))
        text.remove_prefix(2);
    const std::size_t perWord = std::size_t(wordLength) * 2;
    if (text.size() % perWord != 0) {
        DIAG("\n***HEXtoBIN: binary word type / string length mismatch\n   strlen, wLen= %d %d\n",
             int(text.size()), wordLength);
        return 0;
    }
    const std::size_t words = text.size() / perWord;
    if (words * std::size_t(wordLength) > out.size())
        return 0;
    for (std::size_t w = 0; w < words; ++w) {
        int32u v = 0;
        for (std::size_t d = 0; d < perWord; ++d) {
            const int h = hexDigit(text[w * perWord + d]);
            if (h < 0)
                return 0;
            v = v << 4 | int32u(h);
        }
        // Words are stored little-endian, the order the key words are read back in.
        for (int b = 0; b < wordLength; ++b)
            out[w * std::size_t(wordLength) + std::size_t(b)] = charu(v >> (8 * b));
    }
    return int(words);
}

void wipeKeyText(std::string& text)
{
    if (!text.empty())
        OPENSSL_cleanse(text.data(), text.size());
    text.clear();
}

bool nameIsMarked(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string_view::npos ? 0 : slash + 1;
    return name.find('#', base) != std::string_view::npos;
}

int32 cryptName(std::string& name, int mode)
{
    const std::size_t slash = name.rfind('/');
    const std::size_t base = slash == std::string::npos ? 0 : slash + 1;
    if (mode == CRYPT_ENCRYPT) {
        if (name.find('#', base) != std::string::npos)
            return CF_NAME_STATE;
        const std::size_t dot = name.rfind('.');
        if (dot == std::string::npos || dot < base)
            name.push_back('#');
        else
            name.insert(dot, 1, '#');
        return CRYPT_OK;
    }
    const std::size_t mark = name.rfind('#');
    if (mark == std::string::npos || mark < base)
        return CF_NAME_STATE;
    name.erase(mark, 1);
    return CRYPT_OK;
}

int32 SETDOMAINKEY(const char* text)
{
    return fileCipher.setDomainKey(text);
}

int32 SETUSERKEY(const char* text)
{
    return fileCipher.setUserKey(text);
}

int32 CRYPT_BUFFER(charu* buf, std::size_t len, int mode)
{
    return fileCipher.cryptBuffer(buf, len, mode);
}

int32 cryptFile(FILE* in, FILE* out, std::string* outName, const char* keyText, int mode,
                int permissions)
{
    return fileCipher.cryptFile(in, out, outName, keyText, mode, permissions);
}

int aes_set_key(const charu* key, int bits)
{
    return fileCipher.aes_set_key(key, bits);
}

void CLEAR_KEYS()
{
    fileCipher.clearKeys();
}
