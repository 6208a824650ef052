// The virtual reader is this library's back end.
#include "sim/reader.h"

dcrf32::Backend& dcrf32::LibraryBackend() {
  static sim::Reader reader;
  return reader;
}
