// Saving what a read found: the card as a dump, and the keys as a key file.
#include "cardtest/card_test_dlg.h"
#include "cardtest/mifare.h"
#include "cardtest/texts.h"
#include "cards/dump_writer.h"
#include "dialog/file.h"

namespace {

struct DumpType {
  DumpKind kind;
  const char* extension;
};
// In the order of the save dialog's type list.
const DumpType kDumpTypes[] = {{DumpKind::Mct, ".mct"}, {DumpKind::Raw, ".mfd"}, {DumpKind::Eml, ".eml"}};

// A name typed without an extension gets the chosen type's.
std::string WithExtension(const std::string& path, const char* extension) {
  const size_t slash = path.find_last_of("\\/");
  const size_t dot = path.find_last_of('.');
  if (dot != std::string::npos && (slash == std::string::npos || dot > slash)) return path;
  return path + extension;
}

}  // namespace

void CCardTestDlg::OnSaveDump() {
  if (m_image.Empty()) {
    MessageBox("还没有读取结果可以保存，请先读卡", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  dlg::FileRequest request;
  request.save = true;
  request.title = "保存读取结果";
  request.filters = {{"MCT 文本 (*.mct)", "*.mct"}, {"原始转储 (*.bin;*.mfd)", "*.bin;*.mfd"}, {"EML (*.eml)", "*.eml"}};
  request.path = m_image.uid.empty() ? "card" : m_image.uid;
  if (!GetBackend()->AskFile(request)) return;
  const int type = request.filter >= 0 && request.filter < 3 ? request.filter : 0;
  std::string bytes, problem;
  if (!RenderCardDump(m_image, kDumpTypes[type].kind, &bytes, &problem)) {
    MessageBox(problem, "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  const std::string path = WithExtension(request.path, kDumpTypes[type].extension);
  if (!SaveFile(bytes, path)) return;
  m_strStatus = "读取结果已保存";
  UpdateData(false);
}

void CCardTestDlg::OnSaveKeys() {
  std::vector<Key> keys;
  for (int s = 0; s < kSectors; ++s) {
    if (m_image.keyAKnown[s]) keys.push_back(m_image.keyA[s]);
    if (m_image.keyBKnown[s]) keys.push_back(m_image.keyB[s]);
  }
  if (keys.empty()) {
    MessageBox("还没有找到密钥，请先读卡", "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  dlg::FileRequest request;
  request.save = true;
  request.title = "保存找到的密钥";
  request.filters = {{"密钥文件 (*.keys)", "*.keys"}, {"所有文件 (*.*)", "*.*"}};
  request.path = (m_image.uid.empty() ? std::string("card") : m_image.uid) + ".keys";
  if (!GetBackend()->AskFile(request)) return;
  const std::string path = request.filter == 0 ? WithExtension(request.path, ".keys") : request.path;
  if (!SaveFile(KeyFileText(keys, m_image.uid), path)) return;
  m_strStatus = "找到的密钥已保存";
  UpdateData(false);
}

bool CCardTestDlg::SaveFile(const std::string& bytes, const std::string& path) {
  std::string error;
  if (dlg::WriteFileAtomically(path, bytes, &error)) return true;
  MessageBox("保存失败：" + path + "\n" + error + "\n原有的文件没有改动。", "", dlg::kMbOk | dlg::kMbIconError);
  return false;
}
