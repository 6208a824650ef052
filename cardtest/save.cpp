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
// Every extension a dump is known by, whatever type the list offers for it.
const DumpType kDumpExtensions[] = {
    {DumpKind::Mct, ".mct"}, {DumpKind::Raw, ".bin"}, {DumpKind::Raw, ".mfd"}, {DumpKind::Eml, ".eml"}};
const char* const kKeyExtensions[] = {".keys", ".dic", ".txt"};

// True when the name's last part ends in `extension` with something before
// it; in any case, since Windows takes "X.MCT" and "x.mct" for one file.
bool HasExtension(const std::string& path, const char* extension) {
  const size_t slash = path.find_last_of("\\/");
  const std::string name = path.substr(slash == std::string::npos ? 0 : slash + 1);
  const std::string ext = extension;
  if (name.size() <= ext.size()) return false;
  for (size_t i = 0; i < ext.size(); ++i) {
    char c = name[name.size() - ext.size() + i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != ext[i]) return false;
  }
  return true;
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
  // A typed extension is what the user sees the file called, so it wins
  // over the list; any other name, dots and all, gets the list's type.
  DumpType type = kDumpTypes[request.filter >= 0 && request.filter < 3 ? request.filter : 0];
  std::string path = request.path + type.extension;
  for (const DumpType& known : kDumpExtensions) {
    if (HasExtension(request.path, known.extension)) {
      type = known;
      path = request.path;
    }
  }
  std::string bytes, problem;
  if (!RenderCardDump(m_image, type.kind, &bytes, &problem)) {
    MessageBox(problem, "", dlg::kMbOk | dlg::kMbIconExclamation);
    return;
  }
  if (!SaveFile(bytes, path)) return;
  m_strStatus = "读取结果已保存";
  UpdateData(false);
}

void CCardTestDlg::OnSaveKeys() {
  const std::vector<Key> keys = m_image.FoundKeys();
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
  std::string path = request.path;
  if (request.filter == 0) {
    bool known = false;
    for (const char* extension : kKeyExtensions) known = known || HasExtension(path, extension);
    if (!known) path += ".keys";
  }
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
