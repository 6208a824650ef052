#pragma once
// Tests on the virtual reader (libdcrf32.so), found by name as the program
// finds it. Each test has a folder of its own for the card's memory and the
// files it saves, starts from none of the DCRF32_SIM_* settings an earlier
// test left, and has the library's calls followed by no pause: what is
// checked is what the card and the program end up with. dc_init reads the
// card settings, so each opening puts a fresh card in the field.
//
// VirtualCardWindow drives the main dialog; VirtualCardOperation drives the
// card operations on a card link of its own.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "cardtest/card_link.h"
#include "cardtest/find_card.h"
#include "reader/reader.h"
#include "reader/session.h"
#include "tests/cardtest/card_scenarios.h"
#include "tests/cardtest/recorded_progress.h"

namespace virtual_card {

namespace fs = std::filesystem;

inline void NoPause() {}

inline std::string Slurp(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void Spit(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// One of the sample cards under docs/.
inline fs::path Doc(const char* name) { return fs::path(QUILLON_SOURCE_DIR) / "docs" / name; }

template <typename Base>
class OnVirtualReader : public Base {
 protected:
  void SetUp() override {
    for (const char* name : {"DCRF32_SIM_CARD", "DCRF32_SIM_DUMP", "DCRF32_SIM_TRACE", "DCRF32_SIM_READER"})
      unsetenv(name);
    const ::testing::TestInfo* test = ::testing::UnitTest::GetInstance()->current_test_info();
    dir_ = fs::temp_directory_path() / ("quillon_" + std::string(test->test_suite_name()) + "_" + test->name());
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    ReaderLoadResult loaded = LoadReaderLibrary();
    ASSERT_TRUE(loaded.ok()) << loaded.Message();
    api_ = *loaded.api;
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The card the next opening puts in the field: of `preset`, its memory
  // kept in `dump` (none: the preset's own).
  static void PutCard(const char* preset, const fs::path& dump) {
    setenv("DCRF32_SIM_CARD", preset, 1);
    if (dump.empty())
      unsetenv("DCRF32_SIM_DUMP");
    else
      setenv("DCRF32_SIM_DUMP", dump.c_str(), 1);
  }

  fs::path dir_;
  // The library's functions, as the session calls them: a test may put a
  // recorder in a slot.
  ReaderApi api_{};
};

class VirtualCardWindow : public OnVirtualReader<CardTestWindow> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OnVirtualReader::SetUp());
    dlg.Session() = ReaderSession(api_, NoPause);
    ShowWindow();
  }
  // Opens the reader on a card of `preset` whose memory is `dump` (none: the
  // preset's own) and finds it.
  void OpenAndFind(const char* preset, const fs::path& dump = fs::path()) {
    PutCard(preset, dump);
    dlg.OnOpenReader();
    ASSERT_EQ("打开成功了", ui.GetText(IDC_STATUS));
    dlg.OnFindCard();
  }
};

class VirtualCardOperation : public OnVirtualReader<::testing::Test> {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(OnVirtualReader::SetUp());
    session_ = ReaderSession(api_, NoPause);
  }
  // As the dialog's open and find card: the link keeps what it knew.
  void OpenAndFind(const char* preset, const fs::path& dump = fs::path()) {
    PutCard(preset, dump);
    ASSERT_GT(session_.Open(100, 115200), 0);
    Find();
  }
  void Find() {
    FindCard(link_).Run(shown_);
    ASSERT_TRUE(link_.Found()) << shown_.status;
  }

  ReaderSession session_;
  CardLink link_{session_};
  CardIdentity shown_;
  Recorded progress_;
};

}  // namespace virtual_card
