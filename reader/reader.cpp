#include "reader/reader.h"

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
