#include "folio_utl.h"

#include <unistd.h>

namespace {

std::FILE* folios[NUM_FOLIOS] = {};
int32u createdMask = 0;
int32u definedMask = 0;

} // namespace

int32u CLAIM_FOLIOS(int32u mask)
{
    for (int slot = 0; slot < NUM_FOLIOS; ++slot) {
        const int32u bit = 1u << slot;
        if (!(mask & bit))
            continue;
        definedMask &= ~bit;
        if (folios[slot]) {
            std::rewind(folios[slot]);
            std::fflush(folios[slot]);
            if (ftruncate(fileno(folios[slot]), 0) != 0)
                std::clearerr(folios[slot]);
        } else if ((folios[slot] = std::tmpfile()) != nullptr) {
            createdMask |= bit;
        }
    }
    return createdMask;
}

std::FILE* FOLIO_FILE(int slot)
{
    return (slot >= 0 && slot < NUM_FOLIOS) ? folios[slot] : nullptr;
}

int32u foliosCreated()
{
    return createdMask;
}
int32u foliosDefined()
{
    return definedMask;
}

void resetFolios()
{
    for (auto& f : folios)
        if (f) {
            std::fclose(f);
            f = nullptr;
        }
    createdMask = definedMask = 0;
}
