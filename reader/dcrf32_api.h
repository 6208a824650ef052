#pragma once
// The reader library's functions as one table of pointers, one slot per
// function of the contract and typed from it. The loader fills it from
// dcrf32 by name; a test fills it from a class of its own.

#include "dcrf32/functions.h"

struct ReaderApi {
#define DCRF32_SLOT(ret, name, params) ret(DCRF32_CALL* name) params;
  DCRF32_FUNCTIONS(DCRF32_SLOT)
#undef DCRF32_SLOT
};

// The table of a class whose static member functions bear the functions'
// names: each slot is filled by name, so a function missing or of another
// signature does not compile.
template <class Functions>
constexpr ReaderApi ReaderApiOf() {
#define DCRF32_ENTRY(ret, name, params) &Functions::name,
  return ReaderApi{DCRF32_FUNCTIONS(DCRF32_ENTRY)};
#undef DCRF32_ENTRY
}
