// Registration against Wine's real registry, through the library's own
// DllRegisterServer and DllUnregisterServer. Every test starts from a
// registry without our keys and leaves none behind.
#include <gtest/gtest.h>
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

#include "classes_root.h"
#include "emulated_threads.h"
#include "loaded_server.h"

namespace {

constexpr wchar_t kVfkClass[] = L"{520253B3-A2A2-4A9E-9FD6-54A1FD2EE8E9}";
constexpr wchar_t kTnwClass[] = L"{E9F2C83C-FF7E-45FF-8452-36E2503CD8CB}";
constexpr wchar_t kHandler[] = L"\\shellex\\{e357fccd-a995-4576-b01f-234630154e96}";
constexpr wchar_t kVfkPreview[] = L"{0F7ED916-FE75-4656-91B4-E5F872879BC6}";
constexpr wchar_t kTnwPreview[] = L"{41634EF9-72F2-42CF-83F7-3494166F1A1C}";
constexpr wchar_t kPreviewHandler[] = L"\\shellex\\{8895b1c6-b41f-4c1c-a562-0d564250836f}";
constexpr wchar_t kPreviewHandlers[] =
    L"Software\\Microsoft\\Windows\\CurrentVersion\\PreviewHandlers";
// The shell's preview host for this bitness (these tests run on 64-bit
// Windows, or Wine's equivalent).
constexpr const wchar_t* kPreviewHost = sizeof(void*) == 8
                                            ? L"{6d2b5079-2f0b-48dd-ab7f-97cec514d30b}"
                                            : L"{534A1E02-D58F-44f0-B58B-36CBED287C7C}";
constexpr const wchar_t* kAllClasses[] = {kVfkClass, kTnwClass, kVfkPreview, kTnwPreview};
constexpr HRESULT kFileNotFound = static_cast<HRESULT>(0x80070002);
constexpr HRESULT kKeyNameTooLong = static_cast<HRESULT>(0x8007007A);

std::wstring ClassKey(const wchar_t* clsid) { return std::wstring(L"CLSID\\") + clsid; }

// Where each scope's keys live, under HKEY_LOCAL_MACHINE (machine-wide) or
// HKEY_CURRENT_USER (one user), apart from the merged HKEY_CLASSES_ROOT.
constexpr wchar_t kClasses[] = L"Software\\Classes\\";

bool KeyExists(const std::wstring& name, HKEY root = HKEY_CLASSES_ROOT) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(root, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
    return false;
  }
  RegCloseKey(key);
  return true;
}

// Sets the default value of HKEY_CLASSES_ROOT\`key` to exactly these bytes.
void SetDefault(const std::wstring& key, DWORD type, const void* data, DWORD bytes) {
  HKEY handle = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                            &handle, nullptr),
            ERROR_SUCCESS);
  EXPECT_EQ(RegSetValueExW(handle, nullptr, 0, type, static_cast<const BYTE*>(data), bytes),
            ERROR_SUCCESS);
  RegCloseKey(handle);
}

const std::wstring kLongType(230, L'L');  // with the handler path: 277 characters

// This program's own registry view and the other one (on 64-bit Windows the
// 32- and 64-bit DLLs each register their class in their own).
constexpr REGSAM kOwnView = sizeof(void*) == 8 ? KEY_WOW64_64KEY : KEY_WOW64_32KEY;
constexpr REGSAM kOtherView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : KEY_WOW64_64KEY;

// `root`\Software\Classes in a registry view, opened for reading and writing.
HKEY OpenClasses(HKEY root, REGSAM view) {
  HKEY key = nullptr;
  RegCreateKeyExW(root, L"Software\\Classes", 0, nullptr, 0, KEY_READ | KEY_WRITE | view, nullptr,
                  &key, nullptr);
  return key;
}

// Deletes `name` under `parent` and everything below it, in `view` on every
// call: RegDeleteTreeW opens the keys below without the view, which Wine
// takes per call, so from a 32-bit program it deleted in the 32-bit view.
void DeleteTreeInView(HKEY parent, const std::wstring& name, REGSAM view) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_READ | DELETE | view, &key) != ERROR_SUCCESS)
    return;
  std::vector<std::wstring> children;
  wchar_t child[256];
  for (DWORD i = 0, length = 256; RegEnumKeyExW(key, i, child, &length, nullptr, nullptr, nullptr,
                                                nullptr) == ERROR_SUCCESS;
       ++i, length = 256)
    children.emplace_back(child);
  for (const std::wstring& each : children) DeleteTreeInView(key, each, view);
  RegCloseKey(key);
  RegDeleteKeyExW(parent, name.c_str(), view, 0);
}

// The entry named `clsid` in `root`\...\PreviewHandlers (64-bit view).
std::optional<std::wstring> PreviewHandlerEntry(HKEY root, const wchar_t* clsid) {
  return platform::RegistryString(root, kPreviewHandlers, clsid, RRF_SUBKEY_WOW6464KEY);
}

bool ListedPreviewHandler(HKEY root, const wchar_t* clsid) {
  return PreviewHandlerEntry(root, clsid).has_value();
}

void ForgetEverything() {
  for (HKEY root : {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE}) {
    for (REGSAM view : {kOwnView, kOtherView}) {
      HKEY classes = OpenClasses(root, view);
      for (const std::wstring& key :
           {ClassKey(kVfkClass), ClassKey(kTnwClass), ClassKey(kVfkPreview), ClassKey(kTnwPreview),
            std::wstring(L".vfk"), std::wstring(L".vfq"), std::wstring(L"VeskTest.Picture"),
            std::wstring(L"VeskTest.Raw"), kLongType}) {
        DeleteTreeInView(classes, key, view);
      }
      RegCloseKey(classes);
      HKEY list = nullptr;
      if (RegOpenKeyExW(root, kPreviewHandlers, 0, KEY_WRITE | view, &list) == ERROR_SUCCESS) {
        for (const wchar_t* clsid : {kVfkPreview, kTnwPreview}) RegDeleteValueW(list, clsid);
        RegCloseKey(list);
      }
    }
  }
}

class Registration : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(ProcessServer().Loaded());
    ForgetEverything();
  }
  void TearDown() override { ForgetEverything(); }
};

// The values registration wrote, read from `root`\`under` (by default the
// merged HKEY_CLASSES_ROOT).
void ExpectRegistered(const std::wstring& vfkBase, const std::wstring& vfqBase,
                      HKEY root = HKEY_CLASSES_ROOT, const std::wstring& under = L"") {
  const std::wstring path = BesideProgram(L"VfkThumbDll.dll");
  struct Case {
    std::wstring key;
    const wchar_t* name;
    std::wstring data;
  };
  const Case cases[] = {
      {ClassKey(kVfkClass), nullptr, L"VfkThumbDll.VfkThumbnailProvider Class"},
      {ClassKey(kVfkClass) + L"\\InprocServer32", nullptr, path},
      {ClassKey(kVfkClass) + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {vfkBase + kHandler, nullptr, kVfkClass},
      {ClassKey(kTnwClass), nullptr, L"VfkThumbDll.TnwThumbnailProvider Class"},
      {ClassKey(kTnwClass) + L"\\InprocServer32", nullptr, path},
      {ClassKey(kTnwClass) + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {vfqBase + kHandler, nullptr, kTnwClass},
      {ClassKey(kVfkPreview), nullptr, L"VfkThumbDll.VfkPreviewHandler Class"},
      {ClassKey(kVfkPreview), L"DisplayName", L"Preview of .vfk documents"},
      {ClassKey(kVfkPreview), L"AppID", kPreviewHost},
      {ClassKey(kVfkPreview) + L"\\InprocServer32", nullptr, path},
      {ClassKey(kVfkPreview) + L"\\InprocServer32", L"ThreadingModel", L"Apartment"},
      {vfkBase + kPreviewHandler, nullptr, kVfkPreview},
      {ClassKey(kTnwPreview), nullptr, L"VfkThumbDll.TnwPreviewHandler Class"},
      {ClassKey(kTnwPreview), L"DisplayName", L"Preview of .vfq documents"},
      {ClassKey(kTnwPreview), L"AppID", kPreviewHost},
      {ClassKey(kTnwPreview) + L"\\InprocServer32", nullptr, path},
      {vfqBase + kPreviewHandler, nullptr, kTnwPreview},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::string(c.key.begin(), c.key.end()));
    EXPECT_EQ(platform::RegistryString(root, under + c.key, c.name), c.data);
  }
  // The list of preview handlers, outside the classes.
  const HKEY listRoot = root == HKEY_CURRENT_USER ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  EXPECT_EQ(PreviewHandlerEntry(listRoot, kVfkPreview), L"Preview of .vfk documents");
  EXPECT_EQ(PreviewHandlerEntry(listRoot, kTnwPreview), L"Preview of .vfq documents");
}

TEST_F(Registration, WritesTheClassesAndTheHandlersAndRemovesThemOnce) {
  const LoadedServer& server = ProcessServer();
  ASSERT_EQ(server.Register(), S_OK);
  ExpectRegistered(L".vfk", L".vfq");
  ASSERT_EQ(server.Register(), S_OK);  // again: the same values
  ExpectRegistered(L".vfk", L".vfq");

  EXPECT_EQ(server.Unregister(), S_OK);
  // The extensions' keys were made by registration and hold nothing else.
  for (const std::wstring& key :
       {ClassKey(kVfkClass), ClassKey(kTnwClass), ClassKey(kVfkPreview), ClassKey(kTnwPreview),
        std::wstring(L".vfk"), std::wstring(L".vfq")}) {
    EXPECT_FALSE(KeyExists(key));
  }
  EXPECT_FALSE(ListedPreviewHandler(HKEY_LOCAL_MACHINE, kVfkPreview));
  EXPECT_FALSE(ListedPreviewHandler(HKEY_LOCAL_MACHINE, kTnwPreview));
  EXPECT_EQ(server.Unregister(), kFileNotFound);
}

TEST_F(Registration, PutsTheHandlerUnderTheDocumentTypeTheExtensionNames) {
  const std::wstring terminated = L"VeskTest.Picture";
  const std::wstring raw = L"VeskTest.Raw";
  const DWORD number = 7;
  const std::wstring unreadable(300, L'U');  // more than the 260 characters read
  struct Case {
    const char* what;
    DWORD type;
    const void* data;
    DWORD bytes;
    std::wstring base;
  };
  const Case cases[] = {
      {"a document type", REG_SZ, terminated.c_str(),
       static_cast<DWORD>((terminated.size() + 1) * sizeof(wchar_t)), terminated},
      {"a document type stored without its zero", REG_SZ, raw.data(),
       static_cast<DWORD>(raw.size() * sizeof(wchar_t)), raw},
      {"an empty default value", REG_SZ, L"", sizeof(wchar_t), L".vfk"},
      {"a default value that is no text", REG_DWORD, &number, sizeof number, L".vfk"},
      {"a default value too long to read", REG_SZ, unreadable.c_str(),
       static_cast<DWORD>((unreadable.size() + 1) * sizeof(wchar_t)), L".vfk"},
  };
  const LoadedServer& server = ProcessServer();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ForgetEverything();
    SetDefault(L".vfk", c.type, c.data, c.bytes);
    ASSERT_EQ(server.Register(), S_OK);
    ExpectRegistered(c.base, L".vfq");
    if (c.base != L".vfk") {
      EXPECT_FALSE(KeyExists(L".vfk\\shellex"));
    }

    EXPECT_EQ(server.Unregister(), S_OK);
    EXPECT_FALSE(KeyExists(c.base + L"\\shellex"));  // registration made it, and it is empty
    EXPECT_TRUE(KeyExists(L".vfk"));  // the extension's own key stays: it has a value
  }
}

// regsvr32 /n /i:user: the same keys under the user's own classes, nothing
// machine-wide; the document type is the one the shell sees for the
// extension, which here is set machine-wide and stays untouched. (Wine's
// HKEY_CLASSES_ROOT is the machine's classes alone, without the user's keys
// merged in as Windows has them, so the user's keys are read where they are.)
TEST_F(Registration, InstallsForOneUserUnderTheUsersOwnClasses) {
  const std::wstring type = L"VeskTest.Picture";
  SetDefault(L".vfk", REG_SZ, type.c_str(),
             static_cast<DWORD>((type.size() + 1) * sizeof(wchar_t)));
  const LoadedServer& server = ProcessServer();
  ASSERT_EQ(server.Install(TRUE, L"user"), S_OK);
  ASSERT_EQ(server.Install(TRUE, L"User"), S_OK);  // again, in other letter case
  ExpectRegistered(type, L".vfq", HKEY_CURRENT_USER, kClasses);
  for (const std::wstring& key :
       {ClassKey(kVfkClass) + L"\\InprocServer32", ClassKey(kTnwClass) + L"\\InprocServer32",
        ClassKey(kVfkPreview) + L"\\InprocServer32", type + kHandler,
        std::wstring(L".vfq") + kHandler, type + kPreviewHandler}) {
    SCOPED_TRACE(std::string(key.begin(), key.end()));
    EXPECT_TRUE(KeyExists(kClasses + key, HKEY_CURRENT_USER));
    EXPECT_FALSE(KeyExists(kClasses + key, HKEY_LOCAL_MACHINE));
  }
  EXPECT_FALSE(ListedPreviewHandler(HKEY_LOCAL_MACHINE, kVfkPreview));
  EXPECT_FALSE(KeyExists(kClasses + std::wstring(L".vfk"), HKEY_CURRENT_USER));
  EXPECT_EQ(ClassesRootString(L".vfk"), type);

  EXPECT_EQ(server.Install(FALSE, L"user"), S_OK);
  for (const std::wstring& key :
       {ClassKey(kVfkClass), ClassKey(kTnwClass), ClassKey(kVfkPreview), ClassKey(kTnwPreview),
        type + kHandler, std::wstring(L".vfq") + kHandler, type + kPreviewHandler,
        std::wstring(L".vfq") + kPreviewHandler}) {
    EXPECT_FALSE(KeyExists(kClasses + key, HKEY_CURRENT_USER));
  }
  EXPECT_FALSE(ListedPreviewHandler(HKEY_CURRENT_USER, kVfkPreview));
  EXPECT_FALSE(ListedPreviewHandler(HKEY_CURRENT_USER, kTnwPreview));
  EXPECT_EQ(server.Install(FALSE, L"user"), kFileNotFound);
  EXPECT_EQ(ClassesRootString(L".vfk"), type);
}

// On Windows, writes through HKEY_CLASSES_ROOT land in the user's classes
// wherever the key exists there (after a per-user install). Wine's
// HKEY_CLASSES_ROOT is the machine's classes alone, so the test maps it onto
// the user's classes for this process: machine-wide registration must still
// write, and unregistration delete, the machine's keys and leave the user's
// install alone.
TEST_F(Registration, MachineWideRegistrationWritesTheMachinesKeysBesideAUsersInstall) {
  const LoadedServer& server = ProcessServer();
  ASSERT_EQ(server.Install(TRUE, L"user"), S_OK);
  HKEY userClasses = OpenClasses(HKEY_CURRENT_USER, kOwnView);
  ASSERT_NE(userClasses, nullptr);
  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses), ERROR_SUCCESS);
  const HRESULT registered = server.Register();
  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
  ASSERT_EQ(registered, S_OK);
  ExpectRegistered(L".vfk", L".vfq", HKEY_LOCAL_MACHINE, kClasses);

  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, userClasses), ERROR_SUCCESS);
  const HRESULT unregistered = server.Unregister();
  ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
  RegCloseKey(userClasses);
  EXPECT_EQ(unregistered, S_OK);
  EXPECT_FALSE(KeyExists(kClasses + ClassKey(kVfkClass), HKEY_LOCAL_MACHINE));
  ExpectRegistered(L".vfk", L".vfq", HKEY_CURRENT_USER, kClasses);
}

// Whether the two views keep `root`'s classes apart. Wine's per-user
// classes have one view for both bitnesses (Windows keeps CLSID apart there
// too); then the other bitness's class cannot be told from ours.
bool ViewsApart(HKEY root) {
  const std::wstring probe = ClassKey(L"{00000000-0000-0000-0000-0000000000F1}");
  HKEY other = OpenClasses(root, kOtherView);
  HKEY key = nullptr;
  RegCreateKeyExW(other, probe.c_str(), 0, nullptr, 0, KEY_WRITE | kOtherView, nullptr, &key,
                  nullptr);
  RegCloseKey(key);
  const bool apart = !KeyExists(kClasses + probe, root);
  DeleteTreeInView(other, probe, kOtherView);
  RegCloseKey(other);
  return apart;
}

// The DLL of the other bitness has the class registered in its own view
// (written here directly: this program can load only its own bitness).
// Unregistering ours must leave the handler keys, which on 64-bit Windows
// both DLLs share; once the class is in neither view they go. (Wine keeps
// HKEY_LOCAL_MACHINE\Software\Classes\.vfk apart per view, so there the
// keys are not shared; the rule is the same.)
// One scope of the test below, run where the two views keep the scope's
// classes apart; elsewhere the other bitness's class cannot be written
// without writing ours, and the case is reported skipped.
void CheckHandlersStayForTheOtherBitness(HKEY root, bool install) {
  if (!ViewsApart(root)) {
    constexpr char kOneView[] = "this registry keeps one view of these classes for both bitnesses";
    if (vfktest::Emulated32Bit()) vfktest::EndSkipped(kOneView);
    GTEST_SKIP() << kOneView;
  }
  const LoadedServer& server = ProcessServer();
  ForgetEverything();
  ASSERT_EQ(install ? server.Install(TRUE, L"user") : server.Register(), S_OK);
  HKEY other = OpenClasses(root, kOtherView);
  for (const wchar_t* clsid : kAllClasses) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(other, ClassKey(clsid).c_str(), 0, nullptr, 0,
                              KEY_WRITE | kOtherView, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  ASSERT_EQ(install ? server.Install(FALSE, L"user") : server.Unregister(), S_OK);
  EXPECT_FALSE(KeyExists(kClasses + ClassKey(kVfkClass), root));
  EXPECT_FALSE(KeyExists(kClasses + ClassKey(kVfkPreview), root));
  EXPECT_TRUE(KeyExists(kClasses + std::wstring(L".vfk") + kHandler, root));
  EXPECT_TRUE(KeyExists(kClasses + std::wstring(L".vfq") + kHandler, root));
  EXPECT_TRUE(KeyExists(kClasses + std::wstring(L".vfk") + kPreviewHandler, root));
  EXPECT_TRUE(ListedPreviewHandler(root, kVfkPreview));
  EXPECT_TRUE(ListedPreviewHandler(root, kTnwPreview));
  for (const wchar_t* clsid : kAllClasses) DeleteTreeInView(other, ClassKey(clsid), kOtherView);
  RegCloseKey(other);
  ASSERT_EQ(install ? server.Install(TRUE, L"user") : server.Register(), S_OK);
  ASSERT_EQ(install ? server.Install(FALSE, L"user") : server.Unregister(), S_OK);
  EXPECT_FALSE(KeyExists(kClasses + std::wstring(L".vfk") + kHandler, root));
  EXPECT_FALSE(KeyExists(kClasses + std::wstring(L".vfq") + kHandler, root));
  EXPECT_FALSE(KeyExists(kClasses + std::wstring(L".vfq") + kPreviewHandler, root));
  EXPECT_FALSE(ListedPreviewHandler(root, kVfkPreview));
  EXPECT_FALSE(ListedPreviewHandler(root, kTnwPreview));
}

TEST_F(Registration, LeavesTheHandlersWhileTheOtherBitnessHasTheClass) {
  CheckHandlersStayForTheOtherBitness(HKEY_LOCAL_MACHINE, false);
}

TEST_F(Registration, LeavesTheUsersHandlersWhileTheOtherBitnessHasTheClass) {
  CheckHandlersStayForTheOtherBitness(HKEY_CURRENT_USER, true);
}

// The list of preview handlers is shared with every other handler: only our
// entries go. A user's list (Windows has none of its own) goes with its last
// entry; the machine's list is the system's and stays.
TEST_F(Registration, LeavesOtherPreviewHandlersListed) {
  const LoadedServer& server = ProcessServer();
  constexpr wchar_t kOther[] = L"{11111111-2222-3333-4444-555555555555}";
  constexpr wchar_t kOtherName[] = L"Another preview";
  ASSERT_EQ(RegSetKeyValueW(HKEY_CURRENT_USER, kPreviewHandlers, kOther, REG_SZ, kOtherName,
                            sizeof kOtherName),
            ERROR_SUCCESS);
  ASSERT_EQ(server.Install(TRUE, L"user"), S_OK);
  ASSERT_EQ(server.Install(FALSE, L"user"), S_OK);
  EXPECT_EQ(PreviewHandlerEntry(HKEY_CURRENT_USER, kOther), kOtherName);
  EXPECT_FALSE(ListedPreviewHandler(HKEY_CURRENT_USER, kVfkPreview));
  EXPECT_FALSE(ListedPreviewHandler(HKEY_CURRENT_USER, kTnwPreview));

  RegDeleteKeyValueW(HKEY_CURRENT_USER, kPreviewHandlers, kOther);
  ASSERT_EQ(server.Install(TRUE, L"user"), S_OK);
  ASSERT_EQ(server.Install(FALSE, L"user"), S_OK);
  EXPECT_FALSE(KeyExists(kPreviewHandlers, HKEY_CURRENT_USER));
  ASSERT_EQ(server.Register(), S_OK);
  ASSERT_EQ(server.Unregister(), S_OK);
  EXPECT_TRUE(KeyExists(kPreviewHandlers, HKEY_LOCAL_MACHINE));
}

TEST_F(Registration, InstallRefusesAnyOtherCommandLine) {
  const LoadedServer& server = ProcessServer();
  for (const wchar_t* commandLine :
       {static_cast<const wchar_t*>(nullptr), L"", L"machine", L"users"}) {
    EXPECT_EQ(server.Install(TRUE, commandLine), E_INVALIDARG);
    EXPECT_EQ(server.Install(FALSE, commandLine), E_INVALIDARG);
  }
  EXPECT_FALSE(KeyExists(ClassKey(kVfkClass)));
}

TEST_F(Registration, StopsAtAKeyNameLongerThanItsBufferAndKeepsWhatItWrote) {
  SetDefault(L".vfk", REG_SZ, kLongType.c_str(),
             static_cast<DWORD>((kLongType.size() + 1) * sizeof(wchar_t)));
  const LoadedServer& server = ProcessServer();
  EXPECT_EQ(server.Register(), kKeyNameTooLong);
  EXPECT_TRUE(KeyExists(ClassKey(kVfkClass) + L"\\InprocServer32"));
  EXPECT_FALSE(KeyExists(ClassKey(kTnwClass)));
  EXPECT_FALSE(KeyExists(L".vfq"));

  EXPECT_EQ(server.Unregister(), kKeyNameTooLong);
  EXPECT_FALSE(KeyExists(ClassKey(kVfkClass)));
}

// A library whose path fills the whole 260-character buffer: the path may
// have been cut, and a cut path would send the shell to a file that does
// not exist, so nothing is written.
TEST_F(Registration, RefusesAPathThatFillsTheWholeBuffer) {
  std::vector<wchar_t> temp(MAX_PATH + 1);
  const DWORD length = GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
  ASSERT_GT(length, 0u);
  std::wstring folder = L"\\\\?\\" + std::wstring(temp.data(), length) + L"vfk-long-path";
  std::vector<std::wstring> made;
  while (true) {
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr) ||
                GetLastError() == ERROR_ALREADY_EXISTS);
    made.push_back(folder);
    if (folder.size() > 300) break;
    folder += L"\\" + std::wstring(40, L'd');
  }
  const std::wstring path = folder + L"\\VfkThumbDll.dll";
  ASSERT_TRUE(CopyFileW(BesideProgram(L"VfkThumbDll.dll").c_str(), path.c_str(), FALSE));
  {
    LoadedServer longPathServer(path);
    ASSERT_TRUE(longPathServer.Loaded());
    EXPECT_EQ(longPathServer.Register(), HRESULT_FROM_WIN32(ERROR_INSUFFICIENT_BUFFER));
  }
  EXPECT_FALSE(KeyExists(ClassKey(kVfkClass)));
  EXPECT_FALSE(KeyExists(L".vfk"));
  DeleteFileW(path.c_str());
  for (auto at = made.rbegin(); at != made.rend(); ++at) RemoveDirectoryW(at->c_str());
}

}  // namespace
