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
    case kWrongFlavour: {
      std::string lib = std::to_string(libraryBits) + "位", own = std::to_string(programBits) + "位";
      return "读卡器库 " + library + " 是" + lib + "的，本程序是" + own + "的，请换用" + own + "的 " + library +
             "，或改用" + lib + "的本程序";
    }
    case kDependencyMissing:
      return "读卡器库 " + library + " 需要的其它DLL找不到，请把它们也放在程序所在的文件夹里";
    case kLoadFailed:
      if (!detail.empty()) return "读卡器库 " + library + " 加载失败：" + detail;
      return "读卡器库 " + library + " 加载失败，错误代码 " + std::to_string(code);
    case kFunctionMissing:
      return "读卡器库 " + library + " 缺少函数 " + missing;
    case kNone:
      break;
  }
  return std::string();
}
