// SPDX-License-Identifier: MIT
// Included ahead of every source of a BLOCKDUEL_STRICT_POSIX build, before
// any system header. On glibc, libc++'s own headers call these GNU
// functions, which glibc declares only under _GNU_SOURCE: they are declared
// here as glibc has them, so that the C++ library works while the game's
// sources see POSIX alone. Nothing here is for the game to call. No system
// header is included, so that a source's own feature macro still decides
// what the C library shows it.
#pragma once

#if defined(__linux__) && defined(__cplusplus) && !defined(_GNU_SOURCE)

struct __locale_struct; // glibc's locale_t points to it
struct timespec;

extern "C" {
int isascii(int c) noexcept;
int vasprintf(char** out, const char* format, __builtin_va_list arguments) noexcept;
long long strtoll_l(const char* text, char** end, int base, __locale_struct* locale) noexcept;
unsigned long long strtoull_l(const char* text, char** end, int base,
                              __locale_struct* locale) noexcept;
float strtof_l(const char* text, char** end, __locale_struct* locale) noexcept;
double strtod_l(const char* text, char** end, __locale_struct* locale) noexcept;
long double strtold_l(const char* text, char** end, __locale_struct* locale) noexcept;
// The condition and the mutex as glibc's pthread_cond_t and pthread_mutex_t,
// which cannot be named without <pthread.h>; the clock is a clockid_t.
int pthread_cond_clockwait(void* condition, void* mutex, int clock, const timespec* until);
}

#endif
