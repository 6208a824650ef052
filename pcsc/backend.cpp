// The PC/SC reader is this library's back end.
#include "pcsc/reader.h"

dcrf32::Backend& dcrf32::LibraryBackend() {
  static pcsc::Reader reader;
  return reader;
}
