// Placeholder exploitation loop: there is no view yet, so the user goes back to the loader.
#include "tav_view.h"

#include "ldrErrors.h"
#include "loadGui.h"

shortu TAV_VIEW(bufdes* table, shortu* current)
{
    if (!table || !current || *current > 15)
        return TAV_INTERNAL;
    LDR_MSG("\nThe exploitation view is not available yet.\n");
    return TAV_CONTINUE;
}
