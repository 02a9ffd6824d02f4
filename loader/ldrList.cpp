#include "ldrList.h"

#include <cstdlib>
#include <cstring>

#include "diag.h"

namespace {

constexpr std::size_t listStep = 1024;
constexpr std::size_t listSpare = 256;

char* zeroedBlock(std::size_t bytes)
{
    char* cmdList = static_cast<char*>(std::calloc(bytes, 1));
    TAV_ASSERT(cmdList);
    return cmdList;
}

} // namespace

ldrLoadList::ldrLoadList() : buf_(zeroedBlock(listStep)), cap_(listStep) {}

ldrLoadList::~ldrLoadList()
{
    std::free(buf_);
}

void ldrLoadList::append(std::string_view text)
{
    // Grow before writing, by as many steps as the text needs: a text longer than one
    // step must not run past the block.
    std::size_t need = cap_;
    while (len_ + text.size() + listSpare > need)
        need += listStep;
    if (need != cap_) {
        char* cmdList = static_cast<char*>(std::realloc(buf_, need));
        TAV_ASSERT(cmdList);
        std::memset(cmdList + cap_, 0, need - cap_);
        buf_ = cmdList;
        cap_ = need;
    }
    std::memcpy(buf_ + len_, text.data(), text.size());
    len_ += text.size();
    buf_[len_] = '\0';
}

void ldrLoadList::clear()
{
    std::memset(buf_, 0, len_);
    len_ = 0;
}

char* ldrLoadList::release()
{
    if (len_ == 0)
        return nullptr;
    char* out = buf_;
    buf_ = zeroedBlock(listStep);
    cap_ = listStep;
    len_ = 0;
    return out;
}

bool ldrQueueMessage(std::string& pending, std::string_view text)
{
    if (pending.size() >= 240)
        return false;
    std::size_t take = text.size() < 80 ? text.size() : 80;
    // The queue is a 256-byte text: 239 queued plus 80 more would not fit.
    if (take > LDR_PENDING_MAX - pending.size())
        take = LDR_PENDING_MAX - pending.size();
    pending.append(text.substr(0, take));
    return take > 0;
}

int ldrCheckExtension(int kind, std::string_view name)
{
    const bool cmd = name.find(".cmd") != std::string_view::npos;
    if (kind == LDR_SEL_SCRIPT)
        return cmd ? LDR_EXT_OK : LDR_EXT_NEEDS_CMD;
    return cmd ? LDR_EXT_IMAGE_CMD : LDR_EXT_OK;
}

char ldrQuoteFor(std::string_view name)
{
    const bool dq = name.find('"') != std::string_view::npos;
    const bool sq = name.find('\'') != std::string_view::npos;
    if (dq && sq)
        return 0;
    return dq ? '\'' : '"';
}

std::string ldrDirPart(std::string_view name)
{
    const std::size_t slash = name.rfind('/');
    if (slash == std::string_view::npos)
        return "./";
    return std::string(name.substr(0, slash + 1));
}

namespace {

std::string taggedName(int kind, std::string_view name, char q)
{
    std::string s = kind == LDR_SEL_SCRIPT ? "cmd=" : "i=";
    s += q;
    s += name;
    s += q;
    return s;
}

} // namespace

std::string ldrSelectorLine(std::string_view field, int kind, std::string_view name)
{
    const char q = ldrQuoteFor(name);
    if (!q)
        return {};
    std::string line(field);
    if (!line.empty())
        line += ' ';
    line += taggedName(kind, name, q);
    line += '\n';
    return line;
}

std::string ldrEditAddText(int kind, std::string_view name)
{
    const char q = ldrQuoteFor(name);
    if (!q)
        return {};
    std::string text = taggedName(kind, name, q) + ' ';
    if (text.size() > LDR_FIELD_MAX)
        return {};
    return text;
}

bool ldrTakesCommand(const char* field)
{
    return field && field[0] != '\0' && field[0] != '\n';
}
