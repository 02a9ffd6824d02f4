// Helpers shared by the cipher tests: sample data, temporary folders and files, and running
// the openssl command line as an independent reference.
#pragma once

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "fcrypt.h"

namespace cipher_test {

using Bytes = std::vector<charu>;

/// Deterministic, byte-varied sample data.
inline Bytes sample(std::size_t n, unsigned seed = 1)
{
    Bytes b(n);
    std::uint32_t x = 2463534242u ^ seed;
    for (auto& c : b) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = charu(x >> 24);
    }
    return b;
}

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

/// An anonymous read/write stream holding `data`.
inline FilePtr streamWith(const Bytes& data)
{
    FilePtr f(std::tmpfile());
    if (f && !data.empty())
        std::fwrite(data.data(), 1, data.size(), f.get());
    if (f)
        std::fflush(f.get());
    return f;
}

/// The whole content of a stream.
inline Bytes streamBytes(FILE* f)
{
    Bytes b;
    std::fflush(f);
    std::fseek(f, 0, SEEK_SET);
    int c;
    while ((c = std::getc(f)) != EOF)
        b.push_back(charu(c));
    return b;
}

inline Bytes readFile(const std::filesystem::path& p)
{
    std::ifstream in(p, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::filesystem::path& p, const Bytes& b)
{
    std::ofstream out(p, std::ios::binary);
    out.write(reinterpret_cast<const char*>(b.data()), std::streamsize(b.size()));
}

/// A fresh folder, removed with its content at the end of the test.
struct TempDir {
    std::filesystem::path path;
    TempDir()
    {
        std::string t = (std::filesystem::temp_directory_path() / "fcrypt-XXXXXX").string();
        path = ::mkdtemp(t.data()) ? t : std::string();
    }
    ~TempDir()
    {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

/// True when `dir`'s file system can hold a file without a name (what cryptFile builds new
/// files as, so that a killed run leaves nothing behind).
inline bool unnamedFilesIn(const std::filesystem::path& dir)
{
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
    if (fd < 0)
        return false;
    ::close(fd);
    return true;
}

inline bool haveOpenssl()
{
    return ::access("/usr/bin/openssl", X_OK) == 0;
}

/// Standard output of a shell command.
inline std::string runCommand(const std::string& cmd)
{
    std::string out;
    FILE* p = ::popen(cmd.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    ::pclose(p);
    return out;
}

inline std::string toHex(const charu* p, std::size_t n)
{
    static const char* d = "0123456789abcdef";
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += d[p[i] >> 4];
        s += d[p[i] & 15];
    }
    return s;
}

/// AES-256-CBC of `plain` (a whole number of blocks) by `openssl enc`, without padding.
inline Bytes opensslCbc(const Bytes& plain, const std::string& keyHex, const std::string& ivHex)
{
    TempDir dir;
    writeFile(dir.path / "in", plain);
    runCommand("/usr/bin/openssl enc -aes-256-cbc -nopad -K " + keyHex + " -iv " + ivHex + " -in " +
               (dir.path / "in").string() + " -out " + (dir.path / "out").string());
    return readFile(dir.path / "out");
}

/// A buffer encrypted by a cipher freshly keyed with `key` (and `domain` when given).
inline Bytes encryptedWith(const char* key, const Bytes& plain, const char* domain = nullptr)
{
    FileCipher c;
    if (domain) {
        EXPECT_EQ(c.setDomainKey(domain), CRYPT_OK) << domain;
    }
    EXPECT_EQ(c.setUserKey(key), CRYPT_OK) << key;
    Bytes b = plain;
    EXPECT_EQ(c.cryptBuffer(b.data(), b.size(), CRYPT_ENCRYPT), CRYPT_OK);
    return b;
}

} // namespace cipher_test
