// A memory frame with scripted events under the text layer: every drawing call changes real
// pixels, so saved-under images and restored views can be compared exactly.
#pragma once

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <set>
#include <string>
#include <vector>

#include "textwin.h"

class FakeBackend : public twBackend {
public:
    static constexpr int32 glyphW = 6; // every character advances 6 pixels

    FakeBackend(int32 w, int32 h) : px(size_t(w) * size_t(h)), w_(w), h_(h)
    {
        // A pattern, so that a wrong restore shows.
        for (int32 y = 0; y < h; ++y)
            for (int32 x = 0; x < w; ++x)
                px[size_t(y) * size_t(w) + size_t(x)] = int32u((x * 7 + y * 13) & 0xffffff);
        twBack = this;
        resetTextwin();
        textwinFontInit();
    }
    ~FakeBackend() override
    {
        resetTextwin();
        twBack = nullptr;
    }

    int32u at(int32 x, int32 y) const { return px[size_t(y) * size_t(w_) + size_t(x)]; }

    bool openFont(bool xft, const std::string& name, int, int, double, twFontInfo* out) override
    {
        *out = twFontInfo{};
        if (!xft && name.rfind("-misc-fixed", 0) != 0)
            return false;
        out->handle = reinterpret_cast<void*>(++handles);
        out->ascent = 11;
        out->descent = 2;
        out->charW = glyphW;
        // fontconfig's way: a missing family is replaced by another.
        out->family = installed.count(name) ? name : "DejaVu Sans";
        ++opened;
        return true;
    }
    void closeFont(bool, void*) override { ++closed; }
    void useFont(bool xft, void*) override { xftInUse = xft; }
    int32 textWidth(std::string_view s) override
    {
        int32 w = 0;
        for (char c : s)
            w += advance(c);
        return w;
    }
    twBox inkBox(std::string_view s) override { return twBox{0, -12, textWidth(s) - 1, 2}; }
    void fillRect(const twBox& b, int32u pixel) override
    {
        fills.push_back(b);
        check(b);
        for (int32 y = b.y0; y <= b.y1; ++y)
            for (int32 x = b.x0; x <= b.x1; ++x)
                put(x, y, pixel, false);
    }
    void drawLine(int32 x0, int32 y0, int32 x1, int32 y1, int32u pixel, int) override
    {
        fillRect(clip({std::min(x0, x1), std::min(y0, y1), std::max(x0, x1), std::max(y0, y1)}),
                 pixel);
    }
    void drawText(int32 x, int32 y, std::string_view s, int32u pixel, bool xorMode) override
    {
        texts.push_back(std::string(s));
        // Each glyph is a 4 x 8 block above the baseline (a blank draws nothing).
        for (size_t k = 0; k < s.size(); ++k) {
            const int32 gx = x + textWidth(s.substr(0, k)) + 1;
            if (s[k] == ' ')
                continue;
            for (int32 yy = y - 8; yy < y; ++yy)
                for (int32 xx = gx; xx < gx + 4; ++xx)
                    if (xx >= 0 && yy >= 0 && xx < w_ && yy < h_)
                        put(xx, yy, pixel, xorMode);
        }
    }
    void copyArea(const twBox& src, int32 dx, int32 dy) override
    {
        check(src);
        std::vector<int32u> tmp(px);
        for (int32 y = src.y0; y <= src.y1; ++y)
            for (int32 x = src.x0; x <= src.x1; ++x) {
                const int32 tx = x + dx, ty = y + dy;
                if (tx >= 0 && ty >= 0 && tx < w_ && ty < h_)
                    px[size_t(ty) * size_t(w_) + size_t(tx)] =
                        tmp[size_t(y) * size_t(w_) + size_t(x)];
            }
    }
    bool getPixels(const twBox& b, int32u* dst) override
    {
        check(b);
        for (int32 y = b.y0; y <= b.y1; ++y)
            for (int32 x = b.x0; x <= b.x1; ++x)
                *dst++ = at(x, y);
        return true;
    }
    void putPixels(const twBox& b, const int32u* src) override
    {
        check(b);
        for (int32 y = b.y0; y <= b.y1; ++y)
            for (int32 x = b.x0; x <= b.x1; ++x)
                put(x, y, *src++, false);
    }
    twEvent nextEvent() override
    {
        if (events.empty()) {
            std::fprintf(stderr, "\nFakeBackend: the code waited for more events than scripted\n");
            std::abort();
        }
        twEvent e = events.front();
        events.pop_front();
        if (e.kind == EV_MOTION || e.kind == EV_PRESS || e.kind == EV_RELEASE) {
            px_ = e.x;
            py_ = e.y;
        }
        return e;
    }
    int pending() override { return int(events.size()); }
    void discardEvents(bool) override
    {
        discarded += int(events.size());
        events.clear();
        events.insert(events.end(), afterDiscard.begin(), afterDiscard.end());
        afterDiscard.clear();
    }
    void dropMotion() override {}
    void queryPointer(int32* x, int32* y) override
    {
        *x = px_;
        *y = py_;
    }
    void warpPointer(int32 x, int32 y) override
    {
        px_ = x;
        py_ = y;
    }
    void setCursor(int) override {}
    void sync() override {}
    bool geometryChanged() override { return false; }
    void displayBox(int32 box[4]) override
    {
        box[0] = 0;
        box[1] = 0;
        box[2] = w_ - 1;
        box[3] = h_ - 1;
    }

    // Scripting helpers.
    void motion(int32 x, int32 y) { events.push_back(ev(EV_MOTION, x, y, 0)); }
    void press(int b, int32 x, int32 y) { events.push_back(ev(EV_PRESS, x, y, b)); }
    void release(int b, int32 x, int32 y) { events.push_back(ev(EV_RELEASE, x, y, b)); }
    void key(int c, int cls = KEY_TEXT)
    {
        twEvent e;
        e.kind = EV_KEY;
        e.key = c;
        e.keyClass = cls;
        events.push_back(e);
    }
    void type(const std::string& s)
    {
        for (char c : s)
            key(static_cast<unsigned char>(c));
    }
    static twEvent ev(int kind, int32 x, int32 y, int b)
    {
        twEvent e;
        e.kind = kind;
        e.x = x;
        e.y = y;
        e.button = b;
        return e;
    }

    std::vector<int32u> px;
    std::deque<twEvent> events;
    std::deque<twEvent> afterDiscard; ///< events that arrive once the queue was discarded
    std::vector<std::string> texts;   ///< every text drawn
    std::vector<twBox> fills;         ///< every rectangle filled
    std::set<std::string> installed{"LiberationSans", "LiberationMono"};
    int opened = 0, closed = 0, discarded = 0;
    bool outOfView = false; ///< set when an image transfer reached outside the frame
    /// Xft fonts advance 5 to 9 pixels by character, as proportional fonts do; core fonts
    /// keep glyphW.
    bool proportionalXft = false;
    bool xftInUse = false;

    int32 advance(char c) const
    {
        return proportionalXft && xftInUse ? 5 + static_cast<unsigned char>(c) % 5 : glyphW;
    }

private:
    void put(int32 x, int32 y, int32u p, bool x_or)
    {
        int32u& d = px[size_t(y) * size_t(w_) + size_t(x)];
        d = x_or ? (d ^ p) : p;
    }
    void check(const twBox& b)
    {
        if (b.x0 < 0 || b.y0 < 0 || b.x1 >= w_ || b.y1 >= h_ || b.x1 < b.x0 || b.y1 < b.y0)
            outOfView = true;
    }
    twBox clip(twBox b) const
    {
        return twBox{std::max(b.x0, 0), std::max(b.y0, 0), std::min(b.x1, w_ - 1),
                     std::min(b.y1, h_ - 1)};
    }
    int32 w_, h_;
    int32 px_ = 0, py_ = 0;
    long handles = 0;
};
