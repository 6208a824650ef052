// How close the card commands come to their pause floor in the real window:
// QUILLON.exe on the virtual reader, driven with window messages as a user's
// clicks reach it, timed from the reader's own call trace. A command's span
// runs from its first paused reader call to its last, plus that call's
// 10 ms pause; its floor is 10 ms per paused call. What the span adds to the
// floor is the command's own work and the window's (list lines, repainting,
// showing the form).
//
//   window_bench [rounds]      (QUILLON.exe and dcrf32.dll beside this one)
//
// Prints, per command, the paused calls, the median span and the median,
// lowest and highest ratio of span to floor over the rounds.
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app_driver.h"
#include "res/resource.h"

namespace {

const double kPauseMs = 10.0;
const double kTarget = 1.05;

struct Call {
  double ms;
  std::string function;
};

std::vector<Call> ReadTrace(const std::wstring& path) {
  std::ifstream in(path.c_str());
  std::vector<Call> calls;
  for (std::string line; std::getline(in, line);) {
    std::istringstream fields(line);
    std::string time, function;
    if (std::getline(fields, time, '\t') && std::getline(fields, function, '\t'))
      calls.push_back({std::stod(time), function});
  }
  return calls;
}

struct Span {
  int calls = 0;
  double ms = 0;
};

// The calls from `first` on that the program pauses after: all but opening
// the reader and sounding the beeper.
Span SpanOf(const std::vector<Call>& trace, size_t first) {
  Span span;
  double start = 0, last = 0;
  for (size_t i = first; i < trace.size(); ++i) {
    if (trace[i].function == "dc_init" || trace[i].function == "dc_beep") continue;
    if (span.calls++ == 0) start = trace[i].ms;
    last = trace[i].ms;
  }
  if (span.calls > 0) span.ms = last - start + kPauseMs;
  return span;
}

struct Result {
  explicit Result(const char* n) : name(n) {}
  std::string name;
  int calls = 0;
  std::vector<double> spans, ratios;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  if (v.empty()) return 0;
  size_t n = v.size();
  return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// One running QUILLON.exe on one virtual card, with its own dump and trace.
class Session {
 public:
  // `sample`: a dump beside this program that the card starts from.
  // `inMemory`: the card keeps its memory in the reader only; the virtual
  // reader then saves no file after each write, which would be its own
  // time, not the program's.
  Session(const std::wstring& card, const std::wstring& folder, const wchar_t* sample = nullptr,
          bool inMemory = false) {
    const std::wstring name = folder + L"\\bench-" + card + (sample ? L"-sample" : L"");
    dump_ = name + (sample ? L".mct" : L".mfd");
    trace_ = name + L".log";
    DeleteFileW(dump_.c_str());
    DeleteFileW(trace_.c_str());
    if (sample) CopyFileW(BesideMe(sample).c_str(), dump_.c_str(), FALSE);
    std::map<std::wstring, std::wstring> env = {{L"DCRF32_SIM_CARD", card}, {L"DCRF32_SIM_TRACE", trace_}};
    if (!inMemory) env[L"DCRF32_SIM_DUMP"] = dump_;
    ok_ = app_.Start(BesideMe(L"QUILLON.exe"), env);
  }
  ~Session() {
    if (ok_) app_.Close();
    DeleteFileW(dump_.c_str());
    DeleteFileW(trace_.c_str());
  }
  bool ok() const { return ok_; }
  AppDriver& app() { return app_; }

  // Presses `button` and records the span of the reader calls it made; false
  // when `check` finds the command did not do what is measured.
  bool Measure(Result& result, int button, const std::function<bool()>& check) {
    size_t before = ReadTrace(trace_).size();
    app_.Click(button);
    Span span = SpanOf(ReadTrace(trace_), before);
    return Record(result, span, check());
  }

  // The dictionary read with the built-in keys, from the read list's
  // context menu, until its status says it is done.
  bool MeasureDictionary(Result& result, const char* done) {
    size_t before = ReadTrace(trace_).size();
    const bool finished =
        app_.ChooseFromContextMenu(IDC_READ_LIST, 0) && app_.WaitForStatus("字典读取完成");
    Span span = SpanOf(ReadTrace(trace_), before);
    return Record(result, span, finished && app_.Text(IDC_STATUS) == done);
  }

  // Writes `dump` onto the card, block 0 included, from the read list's
  // context menu through the open dialog and the confirmation.
  bool MeasureDumpWrite(Result& result, const std::wstring& dump, const char* done) {
    size_t before = ReadTrace(trace_).size();
    bool finished = app_.ChooseFromContextMenu(IDC_READ_LIST, 7) && app_.AnswerFileDialog(dump);
    HWND confirm = finished ? app_.FindMessageBox() : nullptr;
    if (confirm) {
      PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_BLOCK0), BM_CLICK, 0, 0);
      PostMessageW(GetDlgItem(confirm, IDC_CONFIRM_WRITE), BM_CLICK, 0, 0);
    }
    finished = confirm && app_.WaitGone(confirm) && app_.WaitForStatus("写入完成");
    Span span = SpanOf(ReadTrace(trace_), before);
    return Record(result, span, finished && app_.Text(IDC_STATUS) == done);
  }

 private:
  // Adds one run's span to `result`; false, and a line saying so, when the
  // command did not do what is measured.
  bool Record(Result& result, const Span& span, bool ran) {
    if (!ran || span.calls == 0) {
      std::fprintf(stderr, "%s: the command did not run as measured (%d calls, status %s)\n", result.name.c_str(),
                   span.calls, app_.Text(IDC_STATUS).c_str());
      return false;
    }
    result.calls = span.calls;
    result.spans.push_back(span.ms);
    result.ratios.push_back(span.ms / (span.calls * kPauseMs));
    return true;
  }

  AppDriver app_;
  std::wstring dump_, trace_;
  bool ok_ = false;
};

std::wstring TempFolder() {
  wchar_t tmp[MAX_PATH];
  GetTempPathW(MAX_PATH, tmp);
  std::wstring folder = std::wstring(tmp) + L"quillon-window-bench-" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  return folder;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 7;
  const std::wstring folder = TempFolder();

  Result findM1{"find card, M1 card"}, findComposite{"find card, composite card"}, loadKey{"load key A"},
      readM1{"full read-out, M1 card"}, readComposite{"full read-out, composite card"},
      readNoKey{"read-out, no sector authenticates"}, write{"write"},
      dictionaryDefault{"dictionary, all keys FFFFFFFFFFFF"}, dictionarySample{"dictionary, sample card"},
      dictionary4K{"dictionary, 4K card, default keys"},
      dumpWrite{"dump write, cuid card, default keys"};
  bool ok = true;
  {
    Session m1(L"m1", folder);
    if (!m1.ok()) {
      std::fprintf(stderr, "QUILLON.exe did not show its window\n");
      return 1;
    }
    AppDriver& app = m1.app();
    auto status = [&](const char* text) { return [&app, text] { return app.Text(IDC_STATUS) == text; }; };
    auto readLines = [&](size_t n) { return [&app, n] { return app.Lines(IDC_READ_LIST).size() == n; }; };
    app.Click(IDC_OPEN_READER);
    for (int r = 0; r < rounds && ok; ++r) {
      ok = m1.Measure(findM1, IDC_FIND_CARD, status("dc_pro_resethex获取ATS失败"));
      app.Type(IDC_KEY, "FFFFFFFFFFFF");
      ok = ok && m1.Measure(loadKey, IDC_LOAD_KEY_A, status("装载A密钥成功"));
      app.Click(IDC_FIND_CARD);
      ok = ok && m1.Measure(readM1, IDC_READ_CARD, readLines(80));
      app.Type(IDC_WRITE_SECTOR, "1");
      app.Type(IDC_WRITE_BLOCK, "2");
      ok = ok && m1.Measure(write, IDC_WRITE_CARD, [&app] { return app.Lines(IDC_WRITE_LIST).size() == 2; });
      // A key the card does not have: every sector refuses it.
      app.Type(IDC_KEY, "A0A1A2A3A4A5");
      app.Click(IDC_LOAD_KEY_A);
      app.Click(IDC_FIND_CARD);
      ok = ok && m1.Measure(readNoKey, IDC_READ_CARD, readLines(16));
    }
  }
  if (ok) {
    Session composite(L"composite", folder);
    if (!composite.ok()) return 1;
    AppDriver& app = composite.app();
    app.Click(IDC_OPEN_READER);
    app.Click(IDC_LOAD_KEY_A);
    for (int r = 0; r < rounds && ok; ++r) {
      ok = composite.Measure(findComposite, IDC_FIND_CARD, [&app] { return app.Text(IDC_STATUS) == "获取SAK成功"; }) &&
           composite.Measure(readComposite, IDC_READ_CARD, [&app] { return app.Lines(IDC_READ_LIST).size() == 80; });
    }
  }
  if (ok) {
    Session m1(L"m1", folder);
    if (!m1.ok()) return 1;
    AppDriver& app = m1.app();
    app.Click(IDC_OPEN_READER);
    for (int r = 0; r < rounds && ok; ++r) {
      app.Click(IDC_FIND_CARD);
      ok = m1.MeasureDictionary(dictionaryDefault, "字典读取完成：16/16 个扇区已读取");
    }
  }
  if (ok) {
    Session sample(L"m1", folder, L"dictionary-demo.mct");
    if (!sample.ok()) return 1;
    AppDriver& app = sample.app();
    app.Click(IDC_OPEN_READER);
    for (int r = 0; r < rounds && ok; ++r) {
      app.Click(IDC_FIND_CARD);
      ok = sample.MeasureDictionary(dictionarySample, "字典读取完成：15/16 个扇区已读取");
    }
  }
  if (ok) {
    // A 4K card as delivered: one key load and one authentication a sector,
    // one read a block, 40 + 40 + 256 calls.
    Session fourK(L"4k", folder);
    if (!fourK.ok()) return 1;
    AppDriver& app = fourK.app();
    app.Click(IDC_OPEN_READER);
    for (int r = 0; r < rounds && ok; ++r) {
      app.Click(IDC_FIND_CARD);
      ok = fourK.MeasureDictionary(dictionary4K, "字典读取完成：40/40 个扇区已读取");
    }
  }
  if (ok) {
    // A whole card of default keys and patterned data, block 0 the cuid
    // card's own, so that every round writes the same onto the same card.
    const std::wstring dump = folder + L"\\bench-dump.mct";
    {
      std::ofstream out(dump.c_str(), std::ios::binary);
      for (int s = 0; s < 16; ++s) {
        out << "+Sector: " << s << "\n";
        for (int b = 0; b < 3; ++b) {
          char line[40];
          std::snprintf(line, sizeof line, "%02X%030X\n", s * 4 + b, s * 4 + b);
          out << (s == 0 && b == 0 ? std::string("4D1F62A8980804000000000000000000\n") : std::string(line));
        }
        out << "FFFFFFFFFFFFFF078069FFFFFFFFFFFF\n";
      }
    }
    Session cuid(L"cuid", folder, nullptr, true);
    if (!cuid.ok()) return 1;
    AppDriver& app = cuid.app();
    app.Click(IDC_OPEN_READER);
    for (int r = 0; r < rounds && ok; ++r) {
      app.Click(IDC_FIND_CARD);
      ok = cuid.MeasureDumpWrite(dumpWrite, dump, "写入完成：64/64 个块已写入，0 个块被拒绝");
    }
    DeleteFileW(dump.c_str());
  }
  RemoveDirectoryW(folder.c_str());
  if (!ok) return 1;

  bool met = true;
  std::printf("%-36s %5s %9s %10s %7s %7s %7s\n", "command", "calls", "floor ms", "span ms", "median", "best", "worst");
  for (const Result* r : {&findM1, &findComposite, &loadKey, &readM1, &readComposite, &readNoKey, &write,
                          &dictionaryDefault, &dictionarySample, &dictionary4K, &dumpWrite}) {
    const double median = Median(r->ratios);
    met = met && median <= kTarget;
    std::printf("%-36s %5d %9.0f %10.1f %7.3f %7.3f %7.3f\n", r->name.c_str(), r->calls, r->calls * kPauseMs,
                Median(r->spans), median, *std::min_element(r->ratios.begin(), r->ratios.end()),
                *std::max_element(r->ratios.begin(), r->ratios.end()));
  }
  std::printf("dictionary read of the all-default card: %d calls; a key load and a read-out: %d\n",
              dictionaryDefault.calls, loadKey.calls + readM1.calls);
  std::printf("%d rounds; target: median ratio <= %.2f for every command: %s\n", rounds, kTarget,
              met ? "met" : "MISSED");
  return 0;
}
