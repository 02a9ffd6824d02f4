// A clone pair as the operations that write into a clone's partner see it.
#pragma once

#include "bufRecMgt.h"

/// The partner of a clone pair that an operation may write into: it exists, holds pixels,
/// links back to bd and has bd's size. Null otherwise (the pair is corrupted), so nothing is
/// written. Shared by every operation that writes through a clone pair.
bufdes* clonePartner(bufdes* table, const bufdes* bd);
