// Throughput of bulkseal encrypting and decrypting one 256 MiB file, beside openssl enc
// -aes-256-cbc on the same file in the same run. The files live in TAV_BENCH_DIR, else in
// /dev/shm, so that the figures measure the programs rather than the disk.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kFileBytes = std::size_t(256) << 20;
constexpr const char* kKey = "'bench key text'";
// The same key as raw AES material for openssl; key derivation is not what is measured.
constexpr const char* kAesKey = "000102030405060708090a0b0c0d0e0f101112131415161718191a1b1c1d1e1f";
constexpr const char* kAesIv = "0f0e0d0c0b0a09080706050403020100";

// Runs argv with `input` on standard input; true on exit status 0.
bool run(std::vector<std::string> args, const std::string& input, const fs::path& cwd)
{
    int in[2];
    if (::pipe(in) != 0)
        return false;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(in[0], 0);
        ::close(in[0]);
        ::close(in[1]);
        if (std::freopen("/dev/null", "w", stderr) == nullptr || ::chdir(cwd.c_str()) != 0)
            ::_exit(127);
        std::vector<char*> argv;
        for (auto& a : args)
            argv.push_back(a.data());
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(in[0]);
    if (!input.empty() && ::write(in[1], input.data(), input.size()) < 0)
        std::perror("write");
    ::close(in[1]);
    int st = 0;
    ::waitpid(pid, &st, 0);
    return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

struct Files {
    fs::path encDir, decDir;
    bool ok = false;

    Files()
    {
        const char* env = std::getenv("TAV_BENCH_DIR");
        fs::path base = env && *env                       ? fs::path(env)
                        : ::access("/dev/shm", W_OK) == 0 ? fs::path("/dev/shm")
                                                          : fs::temp_directory_path();
        std::string t = (base / "bench-bulkseal-XXXXXX").string();
        if (!::mkdtemp(t.data()))
            return;
        encDir = fs::path(t) / "enc";
        decDir = fs::path(t) / "dec";
        fs::create_directories(encDir);
        fs::create_directories(decDir);
        std::vector<char> data(kFileBytes);
        std::uint32_t x = 0x12345678u;
        for (std::size_t i = 0; i < data.size(); i += 4) {
            x ^= x << 13;
            x ^= x >> 17;
            x ^= x << 5;
            std::memcpy(&data[i], &x, 4);
        }
        std::ofstream(encDir / "data.bin", std::ios::binary)
            .write(data.data(), std::streamsize(data.size()));
        // Inputs for the decryption runs.
        ok = run({BULKSEAL_PATH, "-e", "-k", kKey}, "data.bin\n", encDir) &&
             run({"/usr/bin/openssl", "enc", "-aes-256-cbc", "-K", kAesKey, "-iv", kAesIv, "-in",
                  "data.bin", "-out", "data.ossl"},
                 "", encDir);
        if (ok) {
            fs::rename(encDir / "data#.bin", decDir / "data#.bin");
            fs::rename(encDir / "data.ossl", decDir / "data.ossl");
        }
    }
    ~Files()
    {
        std::error_code ec;
        fs::remove_all(encDir.parent_path(), ec);
    }
};

Files& files()
{
    static Files f;
    return f;
}

void report(benchmark::State& state)
{
    const double bytes = double(kFileBytes) * double(state.iterations());
    state.SetBytesProcessed(std::int64_t(bytes));
    state.counters["MB/s"] = benchmark::Counter(bytes / 1e6, benchmark::Counter::kIsRate);
    state.counters["file_MiB"] = double(kFileBytes >> 20);
}

void timedRuns(benchmark::State& state, const fs::path& dir, const fs::path& output,
               const std::vector<std::string>& args, const std::string& input)
{
    if (!files().ok) {
        state.SkipWithError("bench files could not be prepared");
        return;
    }
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove(dir / output);
        state.ResumeTiming();
        if (!run(args, input, dir)) {
            state.SkipWithError("program failed");
            return;
        }
    }
    fs::remove(dir / output);
    report(state);
}

void BM_BulksealEncrypt(benchmark::State& state)
{
    timedRuns(state, files().encDir, "data#.bin", {BULKSEAL_PATH, "-e", "-k", kKey}, "data.bin\n");
}

void BM_OpensslEncrypt(benchmark::State& state)
{
    timedRuns(state, files().encDir, "out.ossl",
              {"/usr/bin/openssl", "enc", "-aes-256-cbc", "-K", kAesKey, "-iv", kAesIv, "-in",
               "data.bin", "-out", "out.ossl"},
              "");
}

void BM_BulksealDecrypt(benchmark::State& state)
{
    timedRuns(state, files().decDir, "data.bin", {BULKSEAL_PATH, "-d", "-k", kKey}, "data#.bin\n");
}

void BM_OpensslDecrypt(benchmark::State& state)
{
    timedRuns(state, files().decDir, "out.bin",
              {"/usr/bin/openssl", "enc", "-d", "-aes-256-cbc", "-K", kAesKey, "-iv", kAesIv, "-in",
               "data.ossl", "-out", "out.bin"},
              "");
}

} // namespace

BENCHMARK(BM_BulksealEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OpensslEncrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_BulksealDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_OpensslDecrypt)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

BENCHMARK_MAIN();
