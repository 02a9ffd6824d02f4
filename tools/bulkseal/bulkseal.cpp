// bulkseal: encrypts or decrypts the files named on standard input, one per line, with the
// file cipher that tav uses.

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include <fcntl.h>
#include <poll.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include "cmdline.h"
#include "diag.h"
#include "fcrypt.h"
#include "regularFile.h"

namespace {

/// Longest file name accepted on a line.
constexpr std::size_t MAX_NAME = 255;

struct FileCloser {
    void operator()(FILE* f) const { std::fclose(f); }
};
using FilePtr = std::unique_ptr<FILE, FileCloser>;

// The key texts as given; wiped with the cipher's keys on the way out.
std::string userKey;
std::string domainKey;

[[noreturn]] void finish(int status)
{
    wipeKeyText(userKey);
    wipeKeyText(domainKey);
    CLEAR_KEYS();
    std::exit(status);
}

void printUsage()
{
    DIAG("\n"
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

// Input waiting within 100 ms means names are piped in; otherwise someone is typing them.
bool stdinIsInteractive()
{
    pollfd p{STDIN_FILENO, POLLIN, 0};
    return ::poll(&p, 1, 100) == 0;
}

/// One line from `in` without its newline. False at end of input; `tooLong` when the line
/// exceeded MAX_NAME characters (the whole line is consumed either way).
bool readName(FILE* in, std::string& name, bool& tooLong)
{
    name.clear();
    tooLong = false;
    int c = std::getc(in);
    if (c == EOF)
        return false;
    for (; c != EOF && c != '\n'; c = std::getc(in)) {
        if (name.size() < MAX_NAME)
            name.push_back(char(c));
        else
            tooLong = true;
    }
    return true;
}

/// Opens `name` for reading ("r+" with `update`) when it is a regular file; null otherwise.
/// A named pipe, a device or a folder would block the batch, or never end, or have effects
/// of their own when opened, so they are refused before and after an open that cannot wait.
} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        printUsage();
        return 0;
    }
    unsigned consumed = 0;
    std::string value;
    int mode = CRYPT_ENCRYPT;
    if (optLookup(argc, argv, "-d", false, value, consumed))
        mode = CRYPT_DECRYPT;
    else if (optLookup(argc, argv, "-e", false, value, consumed))
        mode = CRYPT_ENCRYPT;
    else {
        DIAG("\n***BulkSeal FATAL.\n   Mode specifier [-d | -e] missing.\n");
        finish(1);
    }
    const bool encrypting = mode == CRYPT_ENCRYPT;

    if (!optLookup(argc, argv, "-k", true, userKey, consumed)) {
        DIAG("\n***BulkSeal FATAL.\n   [-k'key' argument missing]\n");
        finish(1);
    }
    if (userKey.find('\'') == std::string::npos)
        userKey = "'" + userKey + "'";

    if (optLookup(argc, argv, "-B", true, domainKey, consumed)) {
        // Encrypting without the domain key the user asked for would give files that no
        // one can open with it: a bad domain key is fatal.
        const int32 rc = SETDOMAINKEY(domainKey.c_str());
        if (rc != CRYPT_OK) {
            DIAG("\n***BulkSeal FATAL.\n   Key init fail. Code: %d\n", rc);
            finish(1);
        }
    }
    const bool overwrite = optLookup(argc, argv, "-o", false, value, consumed) != 0;

    const int32 keyRc = SETUSERKEY(userKey.c_str());
    if (keyRc != CRYPT_OK) {
        DIAG("\n***BulkSeal FATAL.\n   Key init fail. Code: %d\n", keyRc);
        finish(1);
    }

    const bool interactive = stdinIsInteractive();
    std::string name;
    bool tooLong = false;
    for (;;) {
        if (interactive)
            DIAG("\nFilename? ");
        if (!readName(stdin, name, tooLong) || (name.empty() && !tooLong)) {
            DIAG("\nBulkSeal: Normal termination.\n");
            finish(0);
        }
        if (tooLong) {
            DIAG("\nWARN: File name longer than 255 characters: %.40s...\n", name.c_str());
            continue;
        }
        DIAG(encrypting ? "\nencrypting %s" : "\ndecrypting %s", name.c_str());
        if (nameIsMarked(name) == encrypting) {
            DIAG("\nWARN: File state incompatible with encryption mode\n");
            continue;
        }
        FilePtr file(openRegularFile(name, overwrite));
        struct stat st {};
        if (!file || ::fstat(::fileno(file.get()), &st) != 0) {
            DIAG("\nWARN: Error opening: %s\n  Check file existence, location or permissions.\n",
                 name.c_str());
            continue;
        }
        // -o puts the result under a new name and removes the old one: through a symbolic or
        // hard link that would leave the other name holding the old content.
        struct stat self {};
        if (overwrite &&
            (st.st_nlink > 1 || ::lstat(name.c_str(), &self) != 0 || S_ISLNK(self.st_mode))) {
            DIAG("\nWARN: Linked file not overwritten: %s\n", name.c_str());
            continue;
        }
        std::string newName = name;
        cryptName(newName, mode);
        struct stat existing {};
        if (::lstat(newName.c_str(), &existing) == 0) {
            DIAG("\nWARN: Output exists: %s\n", newName.c_str());
            continue;
        }
        // Every file gets the key text, so each starts from the initial cipher state and
        // decrypts on its own, in tav or in any later batch. With -o the result replaces the
        // input only once it is complete and on disk; the input keeps its permissions.
        newName = name;
        const int32 rc = cryptFile(file.get(), nullptr, &newName, userKey.c_str(), mode,
                                   overwrite ? int(st.st_mode & 07777) : -1);
        file.reset();
        if (rc != CRYPT_OK) {
            DIAG("\n***BulkSeal FATAL.\n   Error processing file. Code: %d\n", rc);
            finish(1);
        }
        if (overwrite && ::unlink(name.c_str()) != 0) {
            DIAG("\n***BulkSeal FATAL.\n   Cannot remove input file: %s\n", name.c_str());
            finish(1);
        }
        if (interactive)
            DIAG("  ...done: %s\n", newName.c_str());
    }
}
