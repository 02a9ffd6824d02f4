// The loader window's text bookkeeping without the toolkit: the load list the user
// collects, the queue of messages reported while the window is not shown, and the lines
// the file selectors build from a chosen name.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

/// Longest text the command field holds (a loader command line keeps 255 characters).
constexpr std::size_t LDR_FIELD_MAX = 255;
/// Longest text the pending-message queue holds.
constexpr std::size_t LDR_PENDING_MAX = 255;

/// The load list: command lines collected in the window, handed over as one malloc'd text.
/// It starts at 1024 bytes and grows in steps of 1024 so that every append fits with at
/// least 256 bytes to spare.
class ldrLoadList {
public:
    ldrLoadList();
    ~ldrLoadList();
    ldrLoadList(const ldrLoadList&) = delete;
    ldrLoadList& operator=(const ldrLoadList&) = delete;

    /// Appends text as it is (the caller adds the newline when it wants one).
    void append(std::string_view text);
    /// Empties the list, keeping its capacity.
    void clear();
    /// Hands the text to the caller (who frees it), or null when the list is empty; the
    /// list starts again empty at 1024 bytes.
    char* release();

    std::size_t size() const { return len_; }
    std::size_t capacity() const { return cap_; }
    const char* text() const { return buf_; }

private:
    char* buf_ = nullptr;
    std::size_t cap_ = 0;
    std::size_t len_ = 0;
};

/// Queues a message while the window is not shown: at most 80 characters of it, and only
/// while the queue holds fewer than 240, never more than LDR_PENDING_MAX in all. True when
/// something was added.
bool ldrQueueMessage(std::string& pending, std::string_view text);

/// Which file selector is open.
enum : int { LDR_SEL_IMAGE = 0, LDR_SEL_SCRIPT = 1 };

/// Result of the selector's extension rule.
enum : int {
    LDR_EXT_OK = 0,        ///< the name may be submitted
    LDR_EXT_NEEDS_CMD = 1, ///< a script without ".cmd"
    LDR_EXT_IMAGE_CMD = 2  ///< an image name holding ".cmd"
};
/// Applies the extension rule of the selector kind to a chosen name.
int ldrCheckExtension(int kind, std::string_view name);

/// The quote a name is written in: '"', or '\'' for a name holding a double quote; 0 when
/// it holds both (no quoting keeps it whole).
char ldrQuoteFor(std::string_view name);

/// The directory part of a name up to and including its last "/"; "./" when it has none.
std::string ldrDirPart(std::string_view name);

/// The line Exploit appends: the command field's text and a blank (when not empty), the
/// tag "i=" or "cmd=", the quoted name and a newline. Empty when the name cannot be quoted.
std::string ldrSelectorLine(std::string_view field, int kind, std::string_view name);

/// The text Edit/Add puts into the command field: the tag, the quoted name and a blank.
/// Empty when the name cannot be quoted or the text would exceed LDR_FIELD_MAX.
std::string ldrEditAddText(int kind, std::string_view name);

/// True when Enter takes the field's text: not empty and not starting with a newline.
bool ldrTakesCommand(const char* field);
