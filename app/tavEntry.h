// tav's start-up, main loop and end of run, with the display and the two loops reached
// through hooks so that the whole flow runs in tests without an X server.
#pragma once

#include "bufRecMgt.h"
#include "tavtypes.h"

struct EntryHooks {
    int32 (*connect)();                                    ///< connect to the X server
    void (*closeDisplay)();                                ///< close view and connection
    shortu (*load)(bufdes*, shortu*, shortu, const char*); ///< TAV_LOAD
    shortu (*view)(bufdes*, shortu*);                      ///< TAV_VIEW
    bool (*isRegularFile)(const char* path);               ///< stat: an existing regular file
    int (*pollStdin)();                                    ///< >0 data or end waiting, 0 none
};

/// The hooks of the real program except the display ones (connect, closeDisplay).
EntryHooks defaultEntryHooks();

/// Runs tav from its arguments to the end; returns the exit status.
int tavMain(int argc, char** argv, const EntryHooks& hooks);
