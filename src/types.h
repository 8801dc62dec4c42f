// Integer and float names used throughout the engine.
#pragma once

#include <cstddef>
#include <cstdint>

typedef uint8_t u8;
typedef uint16_t u16;
typedef uint32_t u32;
typedef int32_t i32;
typedef float f32;
typedef double f64;
// Unsigned machine word: sizes, counts and indices.
typedef size_t reg;

// Checks a printf-style format (argument f) against its arguments (from a).
// gcc on mingw takes plain "printf" to mean Microsoft's dialect, which lacks
// %zu; clang knows only "printf".
#if defined(__clang__)
#define OM_FORMAT(f, a) __attribute__((format(printf, f, a)))
#else
#define OM_FORMAT(f, a) __attribute__((format(gnu_printf, f, a)))
#endif
