// bulkseal as a program: arguments, exit statuses, messages, and the files it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "cipher_util.h"
#include "fcrypt.h"

namespace fs = std::filesystem;
using namespace cipher_test;

namespace {

std::set<std::string> entries(const fs::path& dir)
{
    std::set<std::string> s;
    for (const auto& e : fs::directory_iterator(dir))
        s.insert(e.path().filename().string());
    return s;
}

struct ToolRun {
    int status = -1;
    std::string err;
    bool timedOut = false;
};

// Starts the tool in `cwd`; `in` and `err` receive the parent's ends of its standard input
// and standard error.
pid_t startTool(const fs::path& cwd, std::vector<std::string> args, int& in, int& err)
{
    // A tool that stops before reading its list (usage text, a fatal option) closes the pipe:
    // that is an EPIPE for the writer here, not a signal that ends the whole test program.
    ::signal(SIGPIPE, SIG_IGN);
    int inPipe[2], errPipe[2];
    if (::pipe(inPipe) != 0 || ::pipe(errPipe) != 0)
        return -1;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::signal(SIGPIPE, SIG_DFL); // the tool runs as it would from a shell
        ::dup2(inPipe[0], 0);
        ::dup2(errPipe[1], 2);
        ::close(inPipe[0]);
        ::close(inPipe[1]);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        if (::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> argv;
        std::string prog = BULKSEAL_PATH;
        argv.push_back(prog.data());
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(prog.c_str(), argv.data());
        ::_exit(127);
    }
    ::close(inPipe[0]);
    ::close(errPipe[1]);
    in = inPipe[1];
    err = errPipe[0];
    return pid;
}

// Runs the tool in `cwd` with `input` on its standard input, written after `delayMs`. A tool
// still running after `limitMs` is killed and reported as timed out, so that a hang fails the
// test instead of stalling the suite.
ToolRun runTool(const fs::path& cwd, std::vector<std::string> args, const std::string& input,
                int delayMs = 0, int limitMs = 60000)
{
    int in = -1, err = -1;
    const pid_t pid = startTool(cwd, std::move(args), in, err);
    if (pid < 0)
        return {};
    if (delayMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMs));
    if (!input.empty() && ::write(in, input.data(), input.size()) != ssize_t(input.size()) &&
        errno != EPIPE)
        ADD_FAILURE() << "short write to the tool";
    ::close(in);
    ToolRun r;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{err, POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, int(left.count())) == 0) {
            ::kill(pid, SIGKILL);
            r.timedOut = true;
            break;
        }
        char buf[4096];
        const ssize_t n = ::read(err, buf, sizeof buf);
        if (n <= 0)
            break;
        r.err.append(buf, std::size_t(n));
    }
    ::close(err);
    int st = 0;
    ::waitpid(pid, &st, 0);
    r.status = WIFEXITED(st) ? WEXITSTATUS(st) : -1;
    return r;
}

// The bytes tav's cipher gives for a file encrypted on its own.
Bytes libraryEncrypt(const Bytes& plain, const char* key, const char* domain = nullptr)
{
    FileCipher fc;
    if (domain) {
        EXPECT_EQ(fc.setDomainKey(domain), CRYPT_OK);
    }
    EXPECT_EQ(fc.setUserKey(key), CRYPT_OK);
    Bytes b = plain;
    for (std::size_t at = 0; at < b.size(); at += CRYPT_CHUNK)
        fc.cryptBuffer(b.data() + at, std::min(CRYPT_CHUNK, b.size() - at), CRYPT_ENCRYPT);
    return b;
}

bool contains(const std::string& s, const std::string& part)
{
    return s.find(part) != std::string::npos;
}

} // namespace

TEST(BulksealArgs, UsageWithoutArguments)
{
    TempDir d;
    const ToolRun r = runTool(d.path, {}, "");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\n"
                     "   Batch Encryption with Decorrelation\n"
                     "USE: bulkseal (-d | -e) (-k 'user-key') [-B 'domain-key'] [-o]\n"
                     "     -d <decrypt>   -e <encrypt>\n"
                     "     -k 'user key'\n"
                     "     -B 'domain key'\n"
                     "     -o overwrite input file ***BACKUP RECOMMENDED!***\n"
                     "EX: Encrypt/overwrite all files in directory...\n"
                     "      ls -1  |  bulkseal -e -k'theKey' -o\n"
                     "    Encrypt/overwrite a single file...\n"
                     "      bulkseal -e -k'theKey' -o\n"
                     "        ...respond to prompts. Empty command exits.\n");
}

TEST(BulksealArgs, FatalArgumentErrors)
{
    struct Case {
        std::vector<std::string> args;
        std::string message;
    };
    const Case cases[] = {
        {{"-k", "abcdefgh"}, "\n***BulkSeal FATAL.\n   Mode specifier [-d | -e] missing.\n"},
        {{"-e", "-o"}, "\n***BulkSeal FATAL.\n   [-k'key' argument missing]\n"},
        {{"-e", "-kshort"}, "\n***BulkSeal FATAL.\n   Key init fail. Code: -3\n"},
        {{"-e", "-k", "-o"}, "\n***BulkSeal FATAL.\n   Key init fail. Code: -3\n"},
        {{"-e", "-k", "abcdefgh", "-B", "0x123"},
         "\n***BulkSeal FATAL.\n   Key init fail. Code: -5\n"},
        {{"-e", "-k", "abcdefgh", "-B"}, "\n***BulkSeal FATAL.\n   Key init fail. Code: -1\n"},
    };
    for (const Case& c : cases) {
        TempDir d;
        writeFile(d.path / "a.png", sample(100, 1));
        const ToolRun r = runTool(d.path, c.args, "a.png\n");
        EXPECT_EQ(r.status, 1) << c.message;
        EXPECT_EQ(r.err, c.message);
        EXPECT_EQ(entries(d.path), std::set<std::string>{"a.png"});
    }
}

TEST(BulksealArgs, AttachedAndSeparateValuesAgree)
{
    TempDir d1, d2;
    const Bytes plain = sample(5000, 2);
    writeFile(d1.path / "a.png", plain);
    writeFile(d2.path / "a.png", plain);
    EXPECT_EQ(runTool(d1.path, {"-e", "-k", "my secret key"}, "a.png\n").status, 0);
    EXPECT_EQ(runTool(d2.path, {"-e", "-k'my secret key'"}, "a.png\n").status, 0);
    EXPECT_EQ(readFile(d1.path / "a#.png"), readFile(d2.path / "a#.png"));
    EXPECT_EQ(readFile(d1.path / "a#.png"), libraryEncrypt(plain, "my secret key"));
}

TEST(BulksealBatch, EncryptWritesMarkedFilesAndKeepsInputs)
{
    TempDir d;
    const Bytes a = sample(300000, 3), b = sample(777, 4);
    writeFile(d.path / "a.png", a);
    writeFile(d.path / "b", b);
    writeFile(d.path / "c.png", a); // same content as a.png, later in the batch
    const ToolRun r =
        runTool(d.path, {"-e", "-k", "batch key 1", "-B", "domain key"}, "a.png\nb\nc.png\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "\nencrypting a.png")) << r.err;
    EXPECT_TRUE(contains(r.err, "\nencrypting b")) << r.err;
    EXPECT_FALSE(contains(r.err, "Filename?")) << r.err;
    EXPECT_TRUE(r.err.ends_with("\nBulkSeal: Normal termination.\n")) << r.err;
    EXPECT_EQ(entries(d.path),
              (std::set<std::string>{"a.png", "a#.png", "b", "b#", "c.png", "c#.png"}));
    EXPECT_EQ(readFile(d.path / "a.png"), a);
    EXPECT_EQ(readFile(d.path / "b"), b);
    // Each file starts from the initial state: it decrypts on its own, as tav decrypts it.
    EXPECT_EQ(readFile(d.path / "a#.png"), libraryEncrypt(a, "batch key 1", "domain key"));
    EXPECT_EQ(readFile(d.path / "c#.png"), readFile(d.path / "a#.png"));
    EXPECT_EQ(readFile(d.path / "b#"), libraryEncrypt(b, "batch key 1", "domain key"));

    // Decrypt the later file alone, in another folder.
    TempDir out;
    fs::copy_file(d.path / "c#.png", out.path / "c#.png");
    EXPECT_EQ(runTool(out.path, {"-d", "-k", "batch key 1", "-B", "domain key"}, "c#.png\n").status,
              0);
    EXPECT_EQ(readFile(out.path / "c.png"), a);
}

TEST(BulksealBatch, OverwriteRenamesAndDecryptWins)
{
    TempDir d;
    const Bytes a = sample(262144 + 128, 5);
    writeFile(d.path / "a.png", a);
    fs::create_directory(d.path / "sub");
    writeFile(d.path / "sub" / "plain", sample(50, 6));
    ASSERT_EQ(::chmod((d.path / "a.png").c_str(), 0640), 0);
    ToolRun r = runTool(d.path, {"-o", "-e", "-k", "overwrite key"}, "a.png\nsub/plain\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(entries(d.path), (std::set<std::string>{"a#.png", "sub"}));
    EXPECT_EQ(entries(d.path / "sub"), std::set<std::string>{"plain#"});
    EXPECT_EQ(readFile(d.path / "a#.png"), libraryEncrypt(a, "overwrite key"));
    struct stat st {};
    ASSERT_EQ(::stat((d.path / "a#.png").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);

    r = runTool(d.path, {"-e", "-d", "-k", "overwrite key", "-o"}, "a#.png\nsub/plain#\n");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "\ndecrypting a#.png")) << r.err;
    EXPECT_EQ(entries(d.path), (std::set<std::string>{"a.png", "sub"}));
    EXPECT_EQ(readFile(d.path / "a.png"), a);
    EXPECT_EQ(readFile(d.path / "sub" / "plain"), sample(50, 6));
}

TEST(BulksealBatch, SkippedNamesWarnAndTheBatchGoesOn)
{
    TempDir d;
    writeFile(d.path / "x#.png", sample(40, 1));
    writeFile(d.path / "c.png", sample(40, 2));
    writeFile(d.path / "c#.png", sample(40, 3));
    writeFile(d.path / "ok.png", sample(40, 4));
    fs::create_directory(d.path / "folder");
    const std::string longName(300, 'x');
    const ToolRun r =
        runTool(d.path, {"-e", "-k", "warning key", "-o"},
                "x#.png\nmissing.png\nc.png\nfolder\n" + longName + "\nok.png\nok.png\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(
        r.err, "\nencrypting x#.png\nWARN: File state incompatible with encryption mode\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err,
                         "\nWARN: Error opening: missing.png\n  Check file existence, location or "
                         "permissions.\n"))
        << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Output exists: c#.png\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: folder\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: File name longer than 255 characters")) << r.err;
    // Listed twice: the second time the name is gone, and only a warning follows.
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: ok.png\n")) << r.err;
    EXPECT_EQ(entries(d.path),
              (std::set<std::string>{"x#.png", "c.png", "c#.png", "ok#.png", "folder"}));
    EXPECT_EQ(readFile(d.path / "c#.png"), sample(40, 3));
    EXPECT_EQ(readFile(d.path / "c.png"), sample(40, 2));
}

TEST(BulksealBatch, OnlyRegularFilesAreOpened)
{
    // A named pipe without a writer would block the open for ever and /dev/zero never ends:
    // each is skipped with the open warning, within the time limit, and the batch goes on.
    TempDir d;
    ASSERT_EQ(::mkfifo((d.path / "pipe.png").c_str(), 0600), 0);
    ASSERT_EQ(::mkfifo((d.path / "pipe#.png").c_str(), 0600), 0);
    fs::create_symlink("/dev/zero", d.path / "zero#.png");
    const Bytes plain = sample(1000, 1);
    writeFile(d.path / "ok.png", plain);
    const std::string warn = "\n  Check file existence, location or permissions.\n";

    ToolRun r =
        runTool(d.path, {"-e", "-k", "pipe key 1"}, "pipe.png\n/dev/null\nok.png\n", 0, 20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: pipe.png" + warn)) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: /dev/null" + warn)) << r.err;
    EXPECT_EQ(readFile(d.path / "ok#.png"), libraryEncrypt(plain, "pipe key 1"));

    fs::remove(d.path / "ok.png");
    r = runTool(d.path, {"-d", "-o", "-k", "pipe key 1"}, "pipe#.png\nzero#.png\nok#.png\n", 0,
                20000);
    EXPECT_FALSE(r.timedOut);
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: pipe#.png" + warn)) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Error opening: zero#.png" + warn)) << r.err;
    EXPECT_EQ(entries(d.path),
              (std::set<std::string>{"pipe.png", "pipe#.png", "zero#.png", "ok.png"}));
    EXPECT_EQ(readFile(d.path / "ok.png"), plain);
}

TEST(BulksealBatch, KilledRunLeavesNothingBesideTheOutput)
{
    for (const bool encrypting : {true, false}) {
        SCOPED_TRACE(encrypting ? "encrypting" : "decrypting");
        TempDir d;
        if (!unnamedFilesIn(d.path))
            GTEST_SKIP() << "the file system of " << d.path << " has no unnamed files";
        const std::string input = encrypting ? "big.bin" : "big#.bin";
        // A sparse file: no disk space, read at memory speed, yet seconds of cipher work.
        const int fd = ::open((d.path / input).c_str(), O_CREAT | O_WRONLY, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::ftruncate(fd, off_t(4) << 30), 0);
        ::close(fd);

        int in = -1, err = -1;
        const pid_t pid =
            startTool(d.path, {encrypting ? "-e" : "-d", "-k", "killed key"}, in, err);
        ASSERT_GT(pid, 0);
        const std::string line = input + "\n";
        EXPECT_EQ(::write(in, line.data(), line.size()), ssize_t(line.size()));
        ::close(in);

        // Kill the tool once the file it is making holds a few chunks; meanwhile that file
        // must be private to its owner (after a decryption it holds plain text).
        const fs::path fds = "/proc/" + std::to_string(pid) + "/fd";
        const std::string prefix = d.path.string() + "/";
        bool seen = false;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!seen && std::chrono::steady_clock::now() < deadline) {
            std::error_code ec;
            for (const auto& e : fs::directory_iterator(fds, ec)) {
                struct stat st {};
                const fs::path target = fs::read_symlink(e.path(), ec);
                if (ec || !target.string().starts_with(prefix) || target.filename() == input ||
                    ::stat(e.path().c_str(), &st) != 0 || st.st_size < (off_t(1) << 20))
                    continue;
                EXPECT_EQ(st.st_mode & 0777, 0600u) << target;
                seen = true;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
        ::close(err);
        EXPECT_TRUE(seen) << "the output under construction was never seen";
        EXPECT_EQ(entries(d.path), std::set<std::string>{input});
    }
}

TEST(BulksealBatch, OverwriteLeavesLinkedFilesAlone)
{
    TempDir d;
    writeFile(d.path / "target.png", sample(500, 1));
    fs::create_symlink("target.png", d.path / "sym.png");
    fs::create_hard_link(d.path / "target.png", d.path / "hard.png");
    const ToolRun r = runTool(d.path, {"-e", "-k", "link key", "-o"}, "sym.png\nhard.png\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(contains(r.err, "\nWARN: Linked file not overwritten: sym.png\n")) << r.err;
    EXPECT_TRUE(contains(r.err, "\nWARN: Linked file not overwritten: hard.png\n")) << r.err;
    EXPECT_EQ(entries(d.path), (std::set<std::string>{"target.png", "sym.png", "hard.png"}));
    EXPECT_EQ(readFile(d.path / "target.png"), sample(500, 1));
}

TEST(BulksealBatch, EmptyFirstLineEndsAtOnce)
{
    TempDir d;
    writeFile(d.path / "a.png", sample(100, 1));
    const ToolRun r = runTool(d.path, {"-e", "-k", "empty line key"}, "\na.png\n");
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.err, "\nBulkSeal: Normal termination.\n");
    EXPECT_EQ(entries(d.path), std::set<std::string>{"a.png"});
}

TEST(BulksealBatch, CipherFailureIsFatalAndLeavesInputIntact)
{
    TempDir d;
    const std::string name(255, 'n'); // the marked name is one character too long to exist
    writeFile(d.path / name, sample(1000, 1));
    writeFile(d.path / "later.png", sample(10, 2));
    const ToolRun r = runTool(d.path, {"-e", "-k", "failing key", "-o"}, name + "\nlater.png\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_TRUE(r.err.ends_with("\n***BulkSeal FATAL.\n   Error processing file. Code: -7\n"))
        << r.err;
    EXPECT_EQ(entries(d.path), (std::set<std::string>{name, "later.png"}));
    EXPECT_EQ(readFile(d.path / name), sample(1000, 1));
}

TEST(BulksealBatch, InteractivePromptsWhenInputIsNotWaiting)
{
    TempDir d;
    writeFile(d.path / "a.png", sample(100, 1));
    const ToolRun r = runTool(d.path, {"-e", "-k", "prompt key"}, "a.png\n\n", 400);
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.err.starts_with("\nFilename? \nencrypting a.png  ...done: a#.png\n\nFilename? "))
        << r.err;
    EXPECT_TRUE(fs::exists(d.path / "a#.png"));
}

TEST(BulksealBinary, NeedsOnlyTheRuntimeAndLibcrypto)
{
    if (::access("/usr/bin/readelf", X_OK) != 0)
        GTEST_SKIP() << "readelf missing";
    FILE* p = ::popen("/usr/bin/readelf -d " BULKSEAL_PATH, "r");
    ASSERT_NE(p, nullptr);
    std::string out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    const std::vector<std::string> allowed = {"libc.so", "libstdc++.so", "libm.so", "libgcc_s.so",
                                              "libcrypto.so", "ld-linux",
                                              // sanitised builds
                                              "libasan.so", "libubsan.so"};
    std::istringstream lines(out);
    std::string line;
    int needed = 0;
    while (std::getline(lines, line)) {
        if (!contains(line, "(NEEDED)"))
            continue;
        ++needed;
        const std::string lib = line.substr(line.find('[') + 1);
        const bool ok = std::any_of(allowed.begin(), allowed.end(),
                                    [&](const std::string& a) { return lib.starts_with(a); });
        EXPECT_TRUE(ok) << lib;
    }
    EXPECT_GE(needed, 2) << out;
    EXPECT_TRUE(contains(out, "[libcrypto.so")) << out;
}
