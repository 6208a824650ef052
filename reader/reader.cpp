#include "reader/reader.h"

int32_t g_hReader = 0;

namespace {

// Answers for every slot while no library is loaded: a command pressed
// before the reader exists gets a failure status, never a null call.
int32_t DCRF32_CALL NoInit(int16_t, int32_t) { return -1; }
int16_t DCRF32_CALL NoBeep(int32_t, uint16_t) { return -1; }
int16_t DCRF32_CALL NoReset(int32_t, uint16_t) { return -1; }
int16_t DCRF32_CALL NoConfig(int32_t, uint8_t) { return -1; }
int16_t DCRF32_CALL NoRequest(int32_t, uint8_t, uint32_t*) { return -1; }
int16_t DCRF32_CALL NoAnticoll(int32_t, uint8_t, uint32_t*) { return -1; }
int16_t DCRF32_CALL NoSelect(int32_t, uint32_t, uint8_t*) { return -1; }
int16_t DCRF32_CALL NoResetHex(int32_t, uint8_t*, char*) { return -1; }
int16_t DCRF32_CALL NoLoadKey(int32_t, uint8_t, uint8_t, uint8_t*) { return -1; }
int16_t DCRF32_CALL NoAuth(int32_t, uint8_t, uint8_t) { return -1; }
int16_t DCRF32_CALL NoRead(int32_t, uint8_t, char*) { return -1; }
int16_t DCRF32_CALL NoWrite(int32_t, uint8_t, char*) { return -1; }

const ReaderApi kNoReader = {NoInit,     NoBeep,   NoReset,   NoConfig,  NoRequest, NoAnticoll,
                             NoSelect,   NoResetHex, NoLoadKey, NoAuth,  NoRead,    NoWrite};

const ReaderApi* g_api = &kNoReader;

}  // namespace

const ReaderApi& Reader() { return *g_api; }

void InstallReaderApi(const ReaderApi* api) { g_api = api ? api : &kNoReader; }

std::string ReaderLoadResult::Message() const {
  switch (error) {
    case kLibraryMissing:
      return "找不到读卡器库 " + missing + "，请把它放在程序所在的文件夹里";
    case kFunctionMissing:
      return "读卡器库 " DCRF32_LIBRARY_NAME " 缺少函数 " + missing;
    case kNone:
      break;
  }
  return std::string();
}
