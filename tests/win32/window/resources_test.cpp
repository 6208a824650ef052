// The resources as linked into the program: the dialog templates read back
// from the executable, and the icon group.
#include <gtest/gtest.h>

#include <vector>

#include "res/resource.h"
#include "dialog/win32/windows_h.h"
#include "layout.h"

namespace {

using Item = LayoutItem;

struct Template {
  DWORD style = 0, exStyle = 0;
  int w = 0, h = 0;
  std::wstring caption, font;
  int pointSize = 0;
  std::vector<Item> items;
};

class Reader {
 public:
  explicit Reader(const BYTE* p) : p_(p) {}
  template <typename T>
  T Get() {
    T v;
    memcpy(&v, p_, sizeof v);
    p_ += sizeof v;
    return v;
  }
  // A name or, after 0xFFFF, an ordinal, given as "#N".
  std::wstring NameOrOrdinal() {
    if (Peek() == 0xFFFF) {
      Get<WORD>();
      return L"#" + std::to_wstring(Get<WORD>());
    }
    std::wstring s;
    while (WORD c = Get<WORD>()) s += static_cast<wchar_t>(c);
    return s;
  }
  // The predefined classes by ordinal, as the dialog manager names them.
  std::wstring ClassName() {
    std::wstring name = NameOrOrdinal();
    static const wchar_t* kClasses[] = {L"#128", L"Button", L"#129", L"Edit", L"#130", L"Static", L"#131", L"ListBox"};
    for (int i = 0; i < 8; i += 2)
      if (name == kClasses[i]) return kClasses[i + 1];
    return name;
  }
  void AlignDword(const BYTE* base) { p_ += (4 - (p_ - base) % 4) % 4; }

 private:
  WORD Peek() const { return *reinterpret_cast<const WORD*>(p_); }
  const BYTE* p_;
};

Template LoadTemplate(int id) {
  HRSRC res = FindResourceW(nullptr, MAKEINTRESOURCEW(id), reinterpret_cast<LPCWSTR>(RT_DIALOG));
  EXPECT_NE(res, nullptr);
  Template t;
  if (!res) return t;
  auto* base = static_cast<const BYTE*>(LockResource(LoadResource(nullptr, res)));
  Reader r(base);
  EXPECT_EQ(r.Get<WORD>(), 1);       // dlgVer
  EXPECT_EQ(r.Get<WORD>(), 0xFFFF);  // an extended template
  r.Get<DWORD>();
  t.exStyle = r.Get<DWORD>();
  t.style = r.Get<DWORD>();
  WORD count = r.Get<WORD>();
  r.Get<short>();
  r.Get<short>();
  t.w = r.Get<short>();
  t.h = r.Get<short>();
  EXPECT_EQ(r.NameOrOrdinal(), L"");  // no menu
  EXPECT_EQ(r.NameOrOrdinal(), L"");  // the standard dialog class
  t.caption = r.NameOrOrdinal();
  t.pointSize = r.Get<WORD>();
  r.Get<WORD>();
  r.Get<WORD>();  // italic, charset
  t.font = r.NameOrOrdinal();
  for (int i = 0; i < count; ++i) {
    r.AlignDword(base);
    Item item;
    r.Get<DWORD>();
    item.exStyle = r.Get<DWORD>();
    item.style = r.Get<DWORD>();
    item.x = r.Get<short>();
    item.y = r.Get<short>();
    item.w = r.Get<short>();
    item.h = r.Get<short>();
    item.id = r.Get<int>();
    item.cls = r.ClassName();
    item.text = r.NameOrOrdinal();
    WORD extra = r.Get<WORD>();
    for (int b = 0; b < extra; ++b) r.Get<BYTE>();
    t.items.push_back(item);
  }
  return t;
}

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr DWORD kLabel = kChild | WS_GROUP | SS_LEFT;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kGroup = kChild | BS_GROUPBOX;
constexpr DWORD kEdit = kChild | WS_BORDER | WS_TABSTOP | ES_LEFT | ES_AUTOHSCROLL;
constexpr DWORD kReadOnly = kEdit | ES_READONLY;
constexpr DWORD kList = kChild | WS_BORDER | WS_VSCROLL | WS_TABSTOP | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT |
                        LBS_WANTKEYBOARDINPUT;

}  // namespace

const std::vector<LayoutItem> kMainLayout = {
    {-1, L"Static", L"ATQA:", 18, 79, 22, 9, kLabel, 0},
    {IDC_OPEN_READER, L"Button", L"打开读卡器", 7, 7, 51, 21, kButton, 0},
    {IDC_FIND_CARD, L"Button", L"寻卡", 67, 7, 51, 21, kButton, 0},
    {IDC_LOAD_KEY_A, L"Button", L"装载KEYA", 305, 7, 51, 21, kButton, 0},
    {IDC_LOAD_KEY_B, L"Button", L"装载KEYB", 363, 7, 51, 21, kButton, 0},
    {-1, L"Button", L"卡基本信息", 7, 64, 663, 30, kGroup, 0},
    {-1, L"Static", L"SAK:", 89, 80, 17, 9, kLabel, 0},
    {-1, L"Static", L"CSN(UID):", 144, 79, 38, 9, kLabel, 0},
    {-1, L"Static", L"ATS:", 264, 79, 17, 8, kLabel, 0},
    {IDC_ATQA, L"Edit", L"", 45, 77, 40, 14, kReadOnly, 0},
    {IDC_SAK, L"Edit", L"", 112, 77, 28, 14, kReadOnly, 0},
    {IDC_CSN, L"Edit", L"", 188, 77, 71, 14, kReadOnly, 0},
    {IDC_ATS, L"Edit", L"", 283, 77, 236, 14, kReadOnly, 0},
    {IDC_STATUS, L"Static", L"", 424, 14, 232, 8, kLabel, 0},
    {IDC_READ_CARD, L"Button", L"读取M1数据", 7, 35, 51, 21, kButton, 0},
    {-1, L"Button", L"M1卡数据", 7, 100, 663, 284, kGroup, 0},
    {IDC_WRITE_CARD, L"Button", L"写M1数据", 68, 35, 51, 21, kButton, 0},
    {IDC_READ_LIST, L"ListBox", L"", 12, 124, 287, 259, kList, 0},
    {IDC_WRITE_LIST, L"ListBox", L"", 378, 125, 287, 258, kList, 0},
    {-1, L"Static", L"读取", 16, 110, 17, 8, kLabel, 0},
    {-1, L"Static", L"写入", 379, 110, 17, 8, kLabel, 0},
    {-1, L"Static", L"KEY:", 135, 13, 22, 9, kLabel, 0},
    {IDC_KEY, L"Edit", L"", 159, 11, 139, 14, kEdit, 0},
    {-1, L"Static", L"写入区(0-15)：", 135, 43, 57, 8, kLabel, 0},
    {-1, L"Static", L"写入块(0-3)：", 235, 44, 53, 8, kLabel, 0},
    {IDC_WRITE_SECTOR, L"Edit", L"", 201, 41, 28, 14, kEdit, 0},
    {IDC_WRITE_BLOCK, L"Edit", L"", 293, 41, 30, 14, kEdit, 0},
    {-1, L"Static", L"写入数据：", 327, 43, 41, 8, kLabel, 0},
    {IDC_WRITE_DATA, L"Edit", L"", 373, 41, 145, 14, kEdit, 0},
    {IDC_BLOCK_DATA, L"Edit", L"", 525, 41, 145, 14, kReadOnly, 0},
    {IDC_CARD_TYPE, L"Static", L"", 524, 79, 138, 8, kLabel, 0},
};

namespace {

void ExpectItems(const std::vector<Item>& actual, const std::vector<Item>& expected) {
  ASSERT_EQ(actual.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    SCOPED_TRACE("control #" + std::to_string(i + 1));
    const Item &a = actual[i], &e = expected[i];
    EXPECT_EQ(a.id, e.id);
    EXPECT_EQ(_wcsicmp(a.cls.c_str(), e.cls.c_str()), 0);
    EXPECT_EQ(a.text, e.text);
    EXPECT_EQ(a.x, e.x);
    EXPECT_EQ(a.y, e.y);
    EXPECT_EQ(a.w, e.w);
    EXPECT_EQ(a.h, e.h);
    EXPECT_EQ(a.style, e.style) << std::hex << a.style << " vs " << e.style;
    EXPECT_EQ(a.exStyle, e.exStyle);
  }
}

TEST(Resources, MainDialogTemplateMatchesTheLayout) {
  Template t = LoadTemplate(IDD_CARDTEST_DIALOG);
  EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_VISIBLE | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | DS_MODALFRAME |
                           DS_SETFONT));
  EXPECT_EQ(t.exStyle, DWORD(WS_EX_APPWINDOW));
  EXPECT_EQ(t.w, 677);
  EXPECT_EQ(t.h, 391);
  EXPECT_EQ(t.caption, L"QUILLON-请使用D8读卡器，使用时确定读卡器没有被其它程序打开----VARNHOLT为您支持");
  EXPECT_EQ(t.font, L"宋体");
  EXPECT_EQ(t.pointSize, 9);
  ExpectItems(t.items, kMainLayout);
}

TEST(Resources, AboutBoxTemplate) {
  Template t = LoadTemplate(IDD_ABOUTBOX);
  EXPECT_EQ(t.style, DWORD(WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFONT));
  EXPECT_EQ(t.w, 235);
  EXPECT_EQ(t.h, 55);
  EXPECT_EQ(t.caption, L"关于 QUILLON");
  EXPECT_EQ(t.font, L"宋体");
  EXPECT_EQ(t.pointSize, 9);
  ASSERT_EQ(t.items.size(), 5u);
  // The icon control names the icon by ordinal; the notice and contact are ours.
  EXPECT_EQ(t.items[0].text, L"#" + std::to_wstring(IDR_MAINFRAME));
  t.items[0].text = L"";
  t.items[2].text = L"";
  EXPECT_EQ(t.items[4].text.rfind(L"技术支持：", 0), 0u);
  t.items[4].text = L"";
  ExpectItems(t.items, {
                           {-1, L"Static", L"", 7, 8, 20, 20, kChild | SS_ICON, 0},
                           {-1, L"Static", L"QUILLON 1.0 版", 40, 10, 119, 8, kLabel | SS_NOPREFIX, 0},
                           {-1, L"Static", L"", 40, 23, 119, 8, kLabel, 0},
                           {IDOK, L"Button", L"确定", 178, 7, 50, 14,
                            kChild | WS_GROUP | WS_TABSTOP | BS_DEFPUSHBUTTON, 0},
                           {-1, L"Static", L"", 39, 39, 113, 8, kLabel, 0},
                       });
}

TEST(Resources, IconHasItsFourImages) {
#pragma pack(push, 2)
  struct GroupEntry {
    BYTE w, h, colours, reserved;
    WORD planes, bitCount;
    DWORD bytes;
    WORD id;
  };
#pragma pack(pop)
  HRSRC group = FindResourceW(nullptr, MAKEINTRESOURCEW(IDR_MAINFRAME), reinterpret_cast<LPCWSTR>(RT_GROUP_ICON));
  ASSERT_NE(group, nullptr);
  auto* dir = static_cast<const WORD*>(LockResource(LoadResource(nullptr, group)));
  ASSERT_EQ(dir[2], 4);
  auto* entries = reinterpret_cast<const GroupEntry*>(dir + 3);
  const int sizes[][2] = {{256, 32}, {64, 8}, {64, 32}, {72, 32}};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(entries[i].w ? entries[i].w : 256, sizes[i][0]);
    EXPECT_EQ(entries[i].h ? entries[i].h : 256, sizes[i][0]);
    EXPECT_EQ(entries[i].bitCount, sizes[i][1]);
  }
}

}  // namespace
