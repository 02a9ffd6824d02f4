// Shared set-up of the command-loop tests: a buffer table, the headless loader
// window, a stand-in load that records each request, and helpers for the three
// command sources.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "bufRecMgt.h"
#include "ldrRequest.h"
#include "tav_load.h"

/// A request as the load saw it, with the iBUFF it went to.
struct seenLoad {
    loadRequest req;
    shortu buffer;
};

/// Requests handed to the stand-in load since the fixture started.
extern std::vector<seenLoad> seenLoads;

class LoaderTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    /// TAV_LOAD on a command string.
    shortu cmd(const std::string& text);
    /// TAV_LOAD on a command stream holding `text`.
    shortu stream(const std::string& text);
    /// Writes a script into the test folder (the script path); returns its full
    /// path.
    std::string script(const std::string& name, const std::string& text);
    /// Codes of the loader errors reported so far, in order.
    std::vector<int> codes() const;
    /// Everything the loader window showed.
    const std::string& shown() const;

    bufdes* table = nullptr;
    shortu current = 0;
    std::string dir; // script and image path, ends in "/"
};
