#pragma once

// Hints that only some compilers understand. MSVC warns about a pragma it does not know
// (C4068), which fails a build with warnings as errors, so there each hint expands to nothing.

#if defined(__GNUC__) || defined(__clang__)
/// Asks for the loop that follows to be unrolled 16 times, one copy per lane of a scan.
#define CORVANE_UNROLL_16 _Pragma("GCC unroll 16")
#else
/// MSVC has no unroll hint for a single loop; it decides on its own.
#define CORVANE_UNROLL_16
#endif
