// The byte-string functions the program uses, for the Windows program, which
// carries no C runtime: MSVCRT.DLL is not part of Windows 95, and the
// runtime's start-up code needs a newer processor than the 80386. The
// compiler also calls memcpy, memmove, memset and memcmp on its own (for
// record copies and zero-filled buffers), so these names must exist.
//
// Plain byte loops: the texts are paths and INF lines of a few hundred bytes,
// and the large INF copies go through the platform's file calls. This file
// is compiled freestanding, so the compiler does not turn a loop back into a
// call of the function it is defining.
//
// The host tests build the same file with NL_BYTES_PREFIX set, which gives
// the functions prefixed names beside the C library's own.
#include <stddef.h>

#ifdef NL_BYTES_PREFIX
#define NL_BYTES_NAME(name) nl_bytes_##name
#else
#define NL_BYTES_NAME(name) name
#endif

extern "C" {

void* NL_BYTES_NAME(memcpy)(void* to, const void* from, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(to);
  const unsigned char* in = static_cast<const unsigned char*>(from);
  while (count-- != 0) *out++ = *in++;
  return to;
}

// Overlapping ranges: copy backwards when the target lies after the source.
void* NL_BYTES_NAME(memmove)(void* to, const void* from, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(to);
  const unsigned char* in = static_cast<const unsigned char*>(from);
  if (out <= in || out >= in + count) {
    while (count-- != 0) *out++ = *in++;
  } else {
    while (count-- != 0) out[count] = in[count];
  }
  return to;
}

void* NL_BYTES_NAME(memset)(void* to, int value, size_t count) {
  unsigned char* out = static_cast<unsigned char*>(to);
  while (count-- != 0) *out++ = static_cast<unsigned char>(value);
  return to;
}

int NL_BYTES_NAME(memcmp)(const void* a, const void* b, size_t count) {
  const unsigned char* left = static_cast<const unsigned char*>(a);
  const unsigned char* right = static_cast<const unsigned char*>(b);
  for (; count != 0; --count, ++left, ++right) {
    if (*left != *right) return *left < *right ? -1 : 1;
  }
  return 0;
}

void* NL_BYTES_NAME(memchr)(const void* from, int value, size_t count) {
  const unsigned char* in = static_cast<const unsigned char*>(from);
  const unsigned char wanted = static_cast<unsigned char>(value);
  for (; count != 0; --count, ++in) {
    if (*in == wanted) return const_cast<unsigned char*>(in);
  }
  return nullptr;
}

size_t NL_BYTES_NAME(strlen)(const char* text) {
  size_t length = 0;
  while (text[length] != '\0') ++length;
  return length;
}

char* NL_BYTES_NAME(strcpy)(char* to, const char* from) {
  char* out = to;
  while ((*out++ = *from++) != '\0') {
  }
  return to;
}

char* NL_BYTES_NAME(strcat)(char* to, const char* from) {
  NL_BYTES_NAME(strcpy)(to + NL_BYTES_NAME(strlen)(to), from);
  return to;
}

// Like the C library's: the terminating zero counts as part of the text.
char* NL_BYTES_NAME(strchr)(const char* text, int value) {
  const char wanted = static_cast<char>(value);
  for (;; ++text) {
    if (*text == wanted) return const_cast<char*>(text);
    if (*text == '\0') return nullptr;
  }
}

}  // extern "C"
