// Loops that run once per sample of a whole image (statistics passes, renders) are compiled
// twice where the processor family allows it: for the baseline and for the wider AVX2 vector
// unit; the variant is chosen when the program starts. Sanitizer builds keep one variant.
#pragma once

#if defined(__x86_64__) && defined(__GNUC__) && !defined(__SANITIZE_ADDRESS__)
#define TAV_VECTOR_CLONES __attribute__((target_clones("avx2", "default")))
#else
#define TAV_VECTOR_CLONES
#endif
