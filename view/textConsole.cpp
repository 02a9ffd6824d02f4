#include "textConsole.h"

#include <algorithm>
#include <utility>

#include "diag.h"
#include "textwin.h"

namespace {

// The console as text windows in the view's top-left corner: one window for the header, one
// per label, and one that scrolls for replies and input. Fixed font 0, so that the header's
// columns line up as they are written.
class textwinConsole final : public consolePort {
public:
    bool open(const std::vector<std::string>& header, const std::vector<std::string>& labels,
              int rows) override
    {
        close();
        header_ = header;
        rows_ = rows;
        return draw(labels);
    }

    void hide() override
    {
        if (consoleId_ < 0)
            return;
        const std::vector<std::string> keep = labels_;
        closeWindows();
        labels_ = keep;
        hidden_ = true;
    }

    void show() override
    {
        if (!hidden_)
            return;
        hidden_ = false;
        const std::vector<std::string> labels = labels_;
        const int32u lit = lit_;
        if (!draw(labels))
            return;
        highlight(lit);
        for (const auto& [text, colour] : recent_)
            TEXTWIN_PUT(consoleId_, text, colour, TW_NEWLINE | TW_WRAP);
    }

private:
    bool draw(const std::vector<std::string>& labels)
    {
        const std::vector<std::string>& header = header_;
        const int rows = rows_;
        if (!twBack)
            return false;
        TavFontDes f;
        if (!SETFONT(0, 0, &f))
            return false;
        int32 d[4];
        twBack->displayBox(d);
        int32 w = 0;
        for (const std::string& h : header)
            w = std::max(w, twBack->textWidth(h));
        w += 16;
        const int32 x0 = d[0] + 8;
        int32 y = d[1] + 8;
        const int colours[3] = {0, 1, 1};
        int32 hb[4] = {x0, y, x0 + w - 1, y + textHeight(f, int(header.size())) - 1};
        headerId_ = TEXTWIN_OPEN(-1, hb, 0, colours, TW_BEVEL);
        if (headerId_ < 0)
            return false;
        for (std::size_t k = 0; k < header.size(); ++k)
            TEXTWIN_PUT(headerId_, header[k], 1, k ? TW_NEWLINE : 0);
        y = hb[3] + 2;
        labels_ = labels;
        int32 x = x0;
        for (const std::string& l : labels) {
            int32 lb[4] = {x, y, x + twBack->textWidth(l) + 11, y + f.height + 9};
            labelIds_.push_back(TEXTWIN_OPEN(-1, lb, 0, colours, TW_BEVEL));
            x = lb[2] + 3;
        }
        highlight(0);
        y += f.height + 12;
        int32 cb[4] = {x0, y, x0 + w - 1, y + textHeight(f, rows) - 1};
        consoleId_ = TEXTWIN_OPEN(-1, cb, 0, colours, TW_BEVEL);
        testLog("calc console %d %d %d %d", hb[0], hb[1], cb[2], cb[3]);
        return consoleId_ >= 0;
    }

public:
    void highlight(int32u mask) override
    {
        const int plain[3] = {0, 1, 1}, lit[3] = {2, 8, 8};
        for (std::size_t k = 0; k < labelIds_.size(); ++k) {
            if (labelIds_[k] < 0)
                continue;
            const bool on = mask & (1u << k);
            const twRec& r = wdef.rec[labelIds_[k]];
            int32 b[4] = {r.x0, r.y0, r.x1, r.y1};
            TEXTWIN_OPEN(labelIds_[k], b, 0, on ? lit : plain, TW_BEVEL);
            TEXTWIN_PUT(labelIds_[k], labels_[k], on ? 8 : 1, 0);
        }
        lit_ = mask;
        testLog("calc labels %X", unsigned(mask));
    }

    void relabel(const std::vector<std::string>& labels) override
    {
        if (consoleId_ < 0 || hidden_) {
            labels_ = labels;
            return;
        }
        // Label windows take the width of their texts: the console is drawn again.
        hide();
        labels_ = labels;
        show();
    }

    void put(const std::string& text, int colour) override
    {
        testLog("calc put %s", text.c_str());
        recent_.emplace_back(text, colour);
        if (recent_.size() > std::size_t(std::max(rows_, 1)))
            recent_.erase(recent_.begin());
        if (consoleId_ >= 0)
            TEXTWIN_PUT(consoleId_, text, colour, TW_NEWLINE | TW_WRAP);
    }

    std::string get(const std::string& prompt, std::size_t maxChars) override
    {
        if (consoleId_ < 0)
            return {};
        TEXTWIN_PUT(consoleId_, prompt, 2, TW_NEWLINE);
        TEXTWIN_IDLE("calc");
        std::string line = TEXTWIN_GET(consoleId_, maxChars + 2, 1, 0);
        // A read cut short by a redraw of the view (an exposure or a new size) finds the
        // console painted over: what it saved underneath is stale and must not come back.
        if (line.empty() && !stillShown())
            repainted_ = true;
        testLog("calc line %s", line.c_str());
        return line;
    }

    void close() override
    {
        closeWindows();
        repainted_ = false;
        hidden_ = false;
        recent_.clear();
        header_.clear();
        lit_ = 0;
    }

private:
    void closeWindows()
    {
        // Last opened first, so that each puts back what lay under it.
        const int32 flags = repainted_ ? TW_KEEP_SHOWN : 0;
        if (consoleId_ >= 0)
            TEXTWIN_CLOSE(consoleId_, flags);
        for (auto it = labelIds_.rbegin(); it != labelIds_.rend(); ++it)
            if (*it >= 0)
                TEXTWIN_CLOSE(*it, flags);
        if (headerId_ >= 0)
            TEXTWIN_CLOSE(headerId_, flags);
        consoleId_ = headerId_ = -1;
        labelIds_.clear();
        labels_.clear();
    }

    // True when the console's top bevel is still on the view.
    bool stillShown() const
    {
        if (consoleId_ < 0 || !twBack)
            return false;
        const twRec& r = wdef.rec[consoleId_];
        int32 d[4];
        twBack->displayBox(d);
        if (r.x0 < d[0] || r.y0 < d[1] || r.x1 > d[2] || r.y0 > d[3])
            return false;
        // The top bevel is light up to the two dark columns of the right edge.
        std::vector<int32u> row(std::size_t(r.x1 - r.x0 - 1));
        if (row.empty() || !twBack->getPixels(twBox{r.x0, r.y0, r.x1 - 2, r.y0}, row.data()))
            return false;
        const int32u light = colourPixel(4, false) & 0xFFFFFFu;
        return std::all_of(row.begin(), row.end(),
                           [light](int32u p) { return (p & 0xFFFFFFu) == light; });
    }

    // A window that holds n text rows (the row count rule of the text windows).
    static int32 textHeight(const TavFontDes& f, int n) { return f.lineStep * n + 10 - f.descent; }

    int32 headerId_ = -1, consoleId_ = -1;
    std::vector<int32> labelIds_;
    std::vector<std::string> labels_;
    std::vector<std::string> header_;
    int rows_ = 0;
    int32u lit_ = 0;
    bool hidden_ = false;
    bool repainted_ = false; ///< the view was redrawn over the console while it waited
    std::vector<std::pair<std::string, int>> recent_; ///< replies still in view, oldest first
};

textwinConsole textwinCon;
consolePort* installed = nullptr;

} // namespace

consolePort& viewConsole()
{
    return installed ? *installed : textwinCon;
}

void setViewConsole(consolePort* c)
{
    installed = c;
}
