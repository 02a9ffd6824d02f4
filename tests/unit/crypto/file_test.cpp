// cryptFile: round trips through chunk boundaries, the three output modes, the "#" naming
// rule and every failure code.
#include "cipher_util.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>

using namespace cipher_test;
namespace fs = std::filesystem;

namespace {

constexpr const char* kKey = "'file test key'";

Bytes encryptStream(FileCipher& fc, const Bytes& plain, const char* key = kKey)
{
    FilePtr in = streamWith(plain);
    FilePtr out(std::tmpfile());
    EXPECT_EQ(fc.cryptFile(in.get(), out.get(), nullptr, key, CRYPT_ENCRYPT), CRYPT_OK);
    return streamBytes(out.get());
}

std::vector<std::string> dirEntries(const fs::path& dir)
{
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(dir))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// A read-only stream over `data` whose reads fail from byte `failAt` on, or, with `kill`,
// kill the process there: faults in the middle of a file.
struct FaultySource {
    Bytes data;
    std::size_t failAt = SIZE_MAX;
    bool kill = false;
    std::size_t pos = 0;
};

FilePtr faultyStream(FaultySource& src)
{
    cookie_io_functions_t io{};
    io.read = [](void* c, char* buf, std::size_t n) -> ssize_t {
        auto& s = *static_cast<FaultySource*>(c);
        if (s.pos >= s.failAt) {
            if (s.kill)
                std::raise(SIGKILL);
            errno = EIO;
            return -1;
        }
        n = std::min({n, s.data.size() - s.pos, s.failAt - s.pos});
        std::memcpy(buf, s.data.data() + s.pos, n);
        s.pos += n;
        return ssize_t(n);
    };
    io.seek = [](void* c, off64_t* off, int whence) {
        auto& s = *static_cast<FaultySource*>(c);
        const off64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? off64_t(s.pos) : -1;
        if (base < 0 || base + *off < 0)
            return -1;
        s.pos = std::size_t(base + *off);
        *off = off64_t(s.pos);
        return 0;
    };
    return FilePtr(::fopencookie(&src, "r", io));
}

} // namespace

TEST(CryptFile, RoundTripKeepsLength)
{
    std::vector<std::size_t> lens;
    for (std::size_t n = 0; n <= 20; ++n)
        lens.push_back(n);
    for (std::size_t n : {100u, 127u, 128u, 129u, 130u, 255u, 256u, 257u})
        lens.push_back(n);
    const std::size_t c = CRYPT_CHUNK;
    for (std::size_t n : {c - 1, c, c + 1, c + 128, c + 129, 2 * c + 15, 3 * c + 12345})
        lens.push_back(n);
    FileCipher fc;
    for (std::size_t len : lens) {
        const Bytes plain = sample(len, unsigned(len));
        FilePtr in = streamWith(plain);
        FilePtr enc(std::tmpfile());
        FilePtr dec(std::tmpfile());
        ASSERT_EQ(fc.cryptFile(in.get(), enc.get(), nullptr, kKey, CRYPT_ENCRYPT), CRYPT_OK) << len;
        const Bytes sealed = streamBytes(enc.get());
        ASSERT_EQ(sealed.size(), len);
        if (len >= 16) {
            EXPECT_NE(sealed, plain) << len;
        }
        ASSERT_EQ(fc.cryptFile(enc.get(), dec.get(), nullptr, kKey, CRYPT_DECRYPT), CRYPT_OK)
            << len;
        EXPECT_EQ(streamBytes(dec.get()), plain) << len;
    }
}

TEST(CryptFile, TransformsInChunksFromTheInitialState)
{
    // A long file passes many times through the copy's ring of chunks: every chunk must
    // still be transformed and written whole and in order, both ways.
    const Bytes longPlain = sample(37 * CRYPT_CHUNK + 300, 9);
    FileCipher fc;
    Bytes manual = longPlain;
    ASSERT_EQ(fc.setUserKey(kKey), CRYPT_OK);
    for (std::size_t at = 0; at < manual.size(); at += CRYPT_CHUNK)
        fc.cryptBuffer(manual.data() + at, std::min(CRYPT_CHUNK, manual.size() - at),
                       CRYPT_ENCRYPT);
    FilePtr longIn = streamWith(longPlain);
    FilePtr longOut(std::tmpfile());
    ASSERT_EQ(fc.cryptFile(longIn.get(), longOut.get(), nullptr, kKey, CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_TRUE(streamBytes(longOut.get()) == manual);
    FilePtr back(std::tmpfile());
    ASSERT_EQ(fc.cryptFile(longOut.get(), back.get(), nullptr, kKey, CRYPT_DECRYPT), CRYPT_OK);
    EXPECT_TRUE(streamBytes(back.get()) == longPlain);

    const Bytes plain = sample(CRYPT_CHUNK + 300, 8);
    const Bytes sealed = encryptStream(fc, plain);
    Bytes b = plain;
    ASSERT_EQ(fc.setUserKey(kKey), CRYPT_OK);
    fc.cryptBuffer(b.data(), CRYPT_CHUNK, CRYPT_ENCRYPT);
    fc.cryptBuffer(b.data() + CRYPT_CHUNK, 300, CRYPT_ENCRYPT);
    EXPECT_EQ(sealed, b);

    // With the key text every call starts afresh; without it the state runs on.
    EXPECT_EQ(encryptStream(fc, plain), sealed);
    EXPECT_NE(encryptStream(fc, plain, nullptr), sealed);
    EXPECT_EQ(encryptStream(fc, plain), sealed);
}

TEST(CryptFile, TenByteFileStaysAsItIs)
{
    FileCipher fc;
    const Bytes plain = sample(10);
    EXPECT_EQ(encryptStream(fc, plain), plain);
}

TEST(CryptFile, InPlaceEqualsSeparateOutput)
{
    const Bytes plain = sample(2 * CRYPT_CHUNK + 777, 3);
    FileCipher fc;
    const Bytes sealed = encryptStream(fc, plain);
    FilePtr f = streamWith(plain);
    ASSERT_EQ(fc.cryptFile(f.get(), f.get(), nullptr, kKey, CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(std::ftell(f.get()), 0);
    EXPECT_EQ(streamBytes(f.get()), sealed);
    ASSERT_EQ(fc.cryptFile(f.get(), f.get(), nullptr, kKey, CRYPT_DECRYPT), CRYPT_OK);
    EXPECT_EQ(streamBytes(f.get()), plain);
}

TEST(CryptFile, NameRule)
{
    struct Case {
        const char* in;
        int mode;
        const char* out; // nullptr: refused
        bool marked;
    };
    const Case cases[] = {
        {"photo.png", CRYPT_ENCRYPT, "photo#.png", false},
        {"scene", CRYPT_ENCRYPT, "scene#", false},
        {"a.b.c", CRYPT_ENCRYPT, "a.b#.c", false},
        {"./README", CRYPT_ENCRYPT, "./README#", false},
        {"d.v2/file", CRYPT_ENCRYPT, "d.v2/file#", false},
        {"my#dir/x.png", CRYPT_ENCRYPT, "my#dir/x#.png", false},
        {"photo#.png", CRYPT_ENCRYPT, nullptr, true},
        {"photo#.png", CRYPT_DECRYPT, "photo.png", true},
        {"a#b#.png", CRYPT_DECRYPT, "a#b.png", true},
        {"scene#", CRYPT_DECRYPT, "scene", true},
        {"photo.png", CRYPT_DECRYPT, nullptr, false},
        {"my#dir/x.png", CRYPT_DECRYPT, nullptr, false},
    };
    for (const Case& c : cases) {
        std::string name = c.in;
        const int32 rc = cryptName(name, c.mode);
        EXPECT_EQ(rc, c.out ? CRYPT_OK : CF_NAME_STATE) << c.in;
        EXPECT_EQ(name, c.out ? c.out : c.in) << c.in;
        EXPECT_EQ(nameIsMarked(c.in), c.marked) << c.in;
    }
    // Room for the mark is never a problem, however long the name.
    std::string longName(255, 'n');
    EXPECT_EQ(cryptName(longName, CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(longName, std::string(255, 'n') + "#");

    FileCipher fc;
    FilePtr in = streamWith(sample(50));
    FilePtr out(std::tmpfile());
    std::string marked = "photo#.png", plainName = "photo.png";
    EXPECT_EQ(fc.cryptFile(in.get(), out.get(), &marked, kKey, CRYPT_ENCRYPT), CF_NAME_STATE);
    EXPECT_EQ(fc.cryptFile(in.get(), out.get(), &plainName, kKey, CRYPT_DECRYPT), CF_NAME_STATE);
    EXPECT_EQ(fc.cryptFile(in.get(), out.get(), &plainName, kKey, CRYPT_ENCRYPT), CRYPT_OK);
    EXPECT_EQ(plainName, "photo#.png");
}

TEST(CryptFile, CreatesTheMarkedFileAndNeverReplacesOne)
{
    // The new file is made unnamed where the file system allows it, else under a named
    // temporary: both give the same file, mode and refusals, and leave nothing else behind.
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named temporary");
        TempDir dir;
        const Bytes plain = sample(300000, 4);
        writeFile(dir.path / "img.png", plain);
        FileCipher fc;
        fc.setUnnamedOutput(unnamed);
        const Bytes sealed = encryptStream(fc, plain);

        const mode_t oldMask = ::umask(022);
        FilePtr in(std::fopen((dir.path / "img.png").c_str(), "r"));
        std::string name = (dir.path / "img.png").string();
        ASSERT_EQ(fc.cryptFile(in.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CRYPT_OK);
        ::umask(oldMask);
        EXPECT_EQ(name, (dir.path / "img#.png").string());
        EXPECT_EQ(readFile(name), sealed);
        EXPECT_EQ(readFile(dir.path / "img.png"), plain);
        struct stat st {};
        ASSERT_EQ(::stat(name.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0644u);

        // A second run finds the output there: refused, nothing replaced, no stray files.
        writeFile(dir.path / "img#.png", sample(7));
        name = (dir.path / "img.png").string();
        EXPECT_EQ(fc.cryptFile(in.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CF_CREATE);
        EXPECT_EQ(readFile(dir.path / "img#.png"), sample(7));
        EXPECT_EQ(dirEntries(dir.path), (std::vector<std::string>{"img#.png", "img.png"}));

        // Decrypting with given permissions.
        fs::remove(dir.path / "img#.png");
        fs::rename(dir.path / "img.png", dir.path / "keep.png");
        writeFile(dir.path / "img#.png", sealed);
        FilePtr sealedIn(std::fopen((dir.path / "img#.png").c_str(), "r"));
        name = (dir.path / "img#.png").string();
        ASSERT_EQ(fc.cryptFile(sealedIn.get(), nullptr, &name, kKey, CRYPT_DECRYPT, 0640),
                  CRYPT_OK);
        EXPECT_EQ(readFile(dir.path / "img.png"), plain);
        ASSERT_EQ(::stat((dir.path / "img.png").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0640u);
        EXPECT_EQ(dirEntries(dir.path),
                  (std::vector<std::string>{"img#.png", "img.png", "keep.png"}));
    }
}

TEST(CryptFile, KilledMidwayLeavesNothingReadableBehind)
{
    // A decryption killed half-way: the unnamed file vanishes with the process; the named
    // temporary of file systems without unnamed files stays, but private to its owner.
    for (const bool unnamed : {true, false}) {
        SCOPED_TRACE(unnamed ? "unnamed" : "named temporary");
        TempDir dir;
        if (unnamed && !unnamedFilesIn(dir.path))
            continue; // cryptFile falls back to the named temporary there
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            FaultySource src{sample(4 * CRYPT_CHUNK, 9), 2 * CRYPT_CHUNK, true};
            FilePtr in = faultyStream(src);
            FileCipher fc;
            fc.setUnnamedOutput(unnamed);
            std::string name = (dir.path / "img#.png").string();
            fc.cryptFile(in.get(), nullptr, &name, kKey, CRYPT_DECRYPT, 0644);
            ::_exit(0);
        }
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL) << status;
        const std::vector<std::string> left = dirEntries(dir.path);
        if (unnamed) {
            EXPECT_TRUE(left.empty()) << left.front();
            continue;
        }
        ASSERT_EQ(left.size(), 1u);
        struct stat st {};
        ASSERT_EQ(::stat((dir.path / left.front()).c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, 0600u) << left.front();
    }
}

TEST(CryptFile, FailureCodes)
{
    FileCipher fc;
    FilePtr in = streamWith(sample(1000));
    FilePtr out(std::tmpfile());
    std::string name = "x.png";
    EXPECT_EQ(fc.cryptFile(nullptr, out.get(), &name, kKey, CRYPT_ENCRYPT), CF_NO_INPUT);
    EXPECT_EQ(fc.cryptFile(in.get(), out.get(), &name, "short", CRYPT_ENCRYPT), CF_KEY_FAIL);
    EXPECT_EQ(fc.cryptFile(in.get(), nullptr, nullptr, kKey, CRYPT_ENCRYPT), CF_NO_OUTPUT);

    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FilePtr pipeIn(::fdopen(fds[0], "r"));
    FilePtr pipeOut(::fdopen(fds[1], "w"));
    EXPECT_EQ(fc.cryptFile(pipeIn.get(), out.get(), nullptr, kKey, CRYPT_ENCRYPT), CF_SEEK_IN);
    EXPECT_EQ(fc.cryptFile(in.get(), pipeOut.get(), nullptr, kKey, CRYPT_ENCRYPT), CF_SEEK_OUT);

    // A write that fails is reported, not taken for success.
    if (FilePtr full{std::fopen("/dev/full", "w")}) {
        EXPECT_EQ(fc.cryptFile(in.get(), full.get(), nullptr, kKey, CRYPT_ENCRYPT), CF_WRITE);
    }

    // A read that fails is reported, and the output file is not left behind half made.
    TempDir dir;
    fs::create_directory(dir.path / "sub.d");
    FilePtr dirIn(std::fopen((dir.path / "sub.d").c_str(), "r"));
    ASSERT_TRUE(dirIn);
    name = (dir.path / "sub.d").string();
    EXPECT_EQ(fc.cryptFile(dirIn.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CF_READ);
    EXPECT_EQ(dirEntries(dir.path), std::vector<std::string>{"sub.d"});

    // Faults in the middle of a file of several chunks, while its chunks are still being
    // read and written: reported, never waited on for ever, and no output file is left.
    if (FilePtr full{std::fopen("/dev/full", "w")}) {
        FilePtr big = streamWith(sample(10 * CRYPT_CHUNK, 5));
        EXPECT_EQ(fc.cryptFile(big.get(), full.get(), nullptr, kKey, CRYPT_ENCRYPT), CF_WRITE);
    }
    FaultySource src{sample(5 * CRYPT_CHUNK, 6), 3 * CRYPT_CHUNK + 100};
    FilePtr faulty = faultyStream(src);
    name = (dir.path / "late.png").string();
    EXPECT_EQ(fc.cryptFile(faulty.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CF_READ);
    EXPECT_EQ(dirEntries(dir.path), std::vector<std::string>{"sub.d"});

    // The output cannot be created: a missing folder, and a name too long for the system.
    name = (dir.path / "missing" / "x.png").string();
    EXPECT_EQ(fc.cryptFile(in.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CF_CREATE);
    name = (dir.path / std::string(255, 'n')).string();
    EXPECT_EQ(fc.cryptFile(in.get(), nullptr, &name, kKey, CRYPT_ENCRYPT), CF_CREATE);
    EXPECT_EQ(dirEntries(dir.path), std::vector<std::string>{"sub.d"});
}
