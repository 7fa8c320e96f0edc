#include <gtest/gtest.h>

#include <cctype>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

#include "program_test.h"
#include "res/resource.h"
#include "screen_capture.h"
#include "support/unix_files.h"

namespace {

const char kOpenCaption[] = "Select a file of the type you wish to search: ";
const char kOptionsCaption[] = " Options";
const char kInsensitiveItem[] = "&Case-Insensitive";
const char kSensitiveItem[] = "&Case-Sensitive";

// Where screenshots go, if anywhere. A Unix path is taken through drive Z:.
std::string ScreenshotFolder() {
    const std::string folder = FolderFromEnvironment("VANTREL_SCREENSHOTS");
    if (!folder.empty()) CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

// C:\korvan\include, where the first start looks: made when missing, and
// only what the test made is removed again.
class DefaultKitFolder {
public:
    DefaultKitFolder()
        : madeRoot_(CreateDirectoryA("C:\\korvan", nullptr) != FALSE),
          madeInclude_(CreateDirectoryA("C:\\korvan\\include", nullptr) != FALSE) {}
    ~DefaultKitFolder() {
        for (const std::string& file : files_) DeleteFileA(("C:" + file).c_str());
        if (madeInclude_) RemoveDirectoryA("C:\\korvan\\include");
        if (madeRoot_) RemoveDirectoryA("C:\\korvan");
    }
    // The file's path as the program shows it: from the root of the drive.
    std::string Write(const std::string& name, const std::string& bytes) {
        std::string path = "\\korvan\\include\\" + name;
        std::ofstream("C:" + path, std::ios::binary) << bytes;
        files_.push_back(path);
        return path;
    }

private:
    bool madeRoot_, madeInclude_;
    Rows files_;
};

using StartTest = ProgramTest;

TEST_F(StartTest, FirstStartWritesDefaultSettingsAndSearchesTheDefaultPath) {
    DefaultKitFolder kit;
    const std::string token = "korvan_e2e_" + std::to_string(GetCurrentProcessId());
    const std::string found = kit.Write(token + ".inc", "; " + token + " here\r\n");
    kit.Write(token + "-other.inc", "; nothing of note\r\n");
    const std::string exe = Install();
    ASSERT_FALSE(Exists(SettingsFileOf(exe)));

    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))), SettingsLines({"\\korvan\\include\\*.inc"}));
    EXPECT_EQ(program.Status(), " Searching \\korvan\\include\\*.inc");
    EXPECT_EQ(WindowText(program.Item(IDC_MAIN_QUERY)), "Enter Text to Find");

    // Upper case finds the lower-case text: the start is case-insensitive.
    std::string upper = token;
    for (char& c : upper) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
    EXPECT_EQ(program.Search(upper), Rows{found});
    EXPECT_TRUE(std::regex_match(program.Status(), std::regex(" Search complete in [0-9]+ms"))) << program.Status();
}

TEST_F(StartTest, TheStartingStatusHoldsALongPathWhole) {
    // " Searching " and 254 characters do not fit in 256 bytes.
    const std::string path = "C:\\" + std::string(245, 'p') + "\\*.inc";
    ASSERT_EQ(path.size(), 254u);
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({path}));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Status(), " Searching " + path);
    EXPECT_EQ(program.Search("anything"), Rows{});
}

class SearchTest : public ProgramTest {
protected:
    // Which caption the case item shows, told by comparing the menu bar on
    // the screen with bars of our own drawing each caption: Wine does not
    // let another process read a menu.
    std::string CaseItemShown(const Program& program) {
        if (insensitiveBar.image.pixels.empty()) {
            insensitiveBar = DrawReferenceMenuBar(program.Main(), {"&File", kInsensitiveItem, "&Match", "&About"});
            sensitiveBar = DrawReferenceMenuBar(program.Main(), {"&File", kSensitiveItem, "&Match", "&About"});
            EXPECT_FALSE(insensitiveBar.image.pixels.empty()) << "no menu bar of our own to compare with";
            EXPECT_NE(insensitiveBar.image, sensitiveBar.image) << "the two captions cannot be told apart";
        }
        Image shown = CaptureStrip(program.Main(), insensitiveBar.strip);
        if (shown == insensitiveBar.image) return kInsensitiveItem;
        if (shown == sensitiveBar.image) return kSensitiveItem;
        return "(neither)";
    }

    void ExpectCaseItem(const Program& program, const std::string& caption) {
        WaitUntil([&] { return CaseItemShown(program) == caption; });
        EXPECT_EQ(CaseItemShown(program), caption);
    }

    MenuBarLook insensitiveBar, sensitiveBar;
};

TEST_F(SearchTest, ListsFilesInPathOrderAndFollowsTheCaseMode) {
    data.MakeFolder("zeta");
    data.Write("zeta\\a.inc", "nothing to see");
    data.Write("zeta\\b.inc", "MessageBoxA PROTO :DWORD");
    data.Write("zeta\\c.inc", "invoke messagebox, 0");
    data.Write("zeta\\e.txt", "MessageBox, but not an include");
    // A relative path is taken from the program's folder.
    home.MakeFolder("alpha");
    home.Write("alpha\\d.inc", "MessageBox");
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({data / "zeta\\*.inc", "alpha\\*.inc"}));

    Program program(exe);
    ASSERT_TRUE(program.Started());
    const Rows all = {data / "zeta\\b.inc", data / "zeta\\c.inc", home / "alpha\\d.inc"};
    const Rows exactCase = {data / "zeta\\b.inc", home / "alpha\\d.inc"};
    EXPECT_EQ(program.Search("MessageBox"), all);
    ExpectCaseItem(program, kInsensitiveItem);

    program.Command(IDM_CASE);
    ExpectCaseItem(program, kSensitiveItem);
    EXPECT_EQ(program.Search("MessageBox"), exactCase);
    EXPECT_EQ(program.Search("messagebox"), Rows{data / "zeta\\c.inc"});

    program.Command(IDM_CASE);
    ExpectCaseItem(program, kInsensitiveItem);
    EXPECT_EQ(program.Search("MessageBox"), all);
    EXPECT_EQ(program.Search("not in any file"), Rows{});
}

TEST_F(SearchTest, FilesAddedAfterTheStartAreFoundOnlyAfterReIndexing) {
    data.Write("a.inc", "needle");
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({data / "*.inc"}));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});

    data.Write("b.inc", "needle");
    EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});
    program.Command(IDM_REINDEX);
    EXPECT_EQ(program.Search("needle"), (Rows{data / "a.inc", data / "b.inc"}));
}

class OptionsTest : public ProgramTest {
protected:
    void SetUp() override {
        data.MakeFolder("old");
        data.MakeFolder("new");
        data.Write("old\\x.inc", "needle");
        data.Write("new\\y.inc", "needle");
        exe = Install();
        home.Write("vantrel.ini", SettingsText({data / "old\\*.inc"}));
    }
    std::string exe;
};

TEST_F(OptionsTest, OkSavesTheFieldsAndTheNextSearchUsesThem) {
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{data / "old\\x.inc"});

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(options, IDC_OPT_PATH1)), data / "old\\*.inc");
    EXPECT_EQ(WindowText(GetDlgItem(options, IDC_OPT_EDITOR)), "");
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1), data / "new\\*.inc");
    ClickAndWaitClosed(options, IDC_OPT_OK);

    EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))), SettingsLines({data / "new\\*.inc"}));
    EXPECT_EQ(program.Search("needle"), Rows{data / "new\\y.inc"});
}

TEST_F(OptionsTest, CancelLeavesSettingsAndResultsAsTheyWere) {
    const std::string before = ReadBytes(SettingsFileOf(exe));
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{data / "old\\x.inc"});

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1), data / "new\\*.inc");
    SetWindowTextRemote(GetDlgItem(options, IDC_OPT_EDITOR), "C:\\nowhere\\editor.exe");
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);

    EXPECT_EQ(ReadBytes(SettingsFileOf(exe)), before);
    EXPECT_EQ(program.Search("needle"), Rows{data / "old\\x.inc"});
    // Opened again, the dialog shows the settings, not what was typed.
    options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(WindowText(GetDlgItem(options, IDC_OPT_PATH1)), data / "old\\*.inc");
    EXPECT_EQ(WindowText(GetDlgItem(options, IDC_OPT_EDITOR)), "");
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
}

// The fields scroll, so a whole path can be typed; Ok saves what they show.
TEST_F(OptionsTest, AFieldTakes254TypedCharactersAndOkSavesThemAll) {
    Program program(exe);
    ASSERT_TRUE(program.Started());
    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    std::string typed = data / "new\\";
    while (typed.size() < 300) typed += "folder" + std::to_string(typed.size()) + "\\";
    HWND editor = GetDlgItem(options, IDC_OPT_EDITOR);
    program.Type(editor, typed);
    EXPECT_EQ(WindowText(editor), typed.substr(0, 254));
    ClickAndWaitClosed(options, IDC_OPT_OK);
    EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))), SettingsLines({data / "old\\*.inc"}, typed.substr(0, 254)));
}

// The "..." buttons show the system Open dialog; it is worked from outside
// the program as a user would: a full path typed as the file name, then Open.
class BrowseTest : public OptionsTest {
protected:
    void SetUp() override {
        OptionsTest::SetUp();
        data.MakeFolder("kit");
        data.Write("kit\\kernel32.inc", "needle");
        data.Write("kit\\user32.inc", "needle");
        data.Write("kit\\notes.txt", "needle");
        // Whether *.htm also matches .html files differs between systems;
        // only the .htm file holds the text.
        data.MakeFolder("web");
        data.Write("web\\page.html", "nothing of note");
        data.Write("web\\other.htm", "needle");
        settingsBefore = ReadBytes(SettingsFileOf(exe));
    }

    // Presses a "..." button and waits for the Open dialog it shows.
    static HWND Browse(const Program& program, HWND options, int button) {
        PostMessageA(GetDlgItem(options, button), BM_CLICK, 0, 0);
        HWND open = nullptr;
        WaitUntil([&] { return (open = FindProcessWindow(program.Id(), kOpenCaption)) != nullptr; });
        EXPECT_NE(open, nullptr) << "no Open dialog from button " << button;
        // The options dialog waits: a second browse would share the same request.
        if (open != nullptr) {
            EXPECT_FALSE(IsWindowEnabled(options)) << "options usable under the Open dialog";
        }
        return open;
    }

    // By class: the Explorer-style dialog's toolbar shares the id of IDOK.
    static void PressOpenDialogButton(HWND open, int id) {
        HWND button = FindDescendant(open, id, "Button");
        ASSERT_NE(button, nullptr) << "no button " << id << " in the Open dialog";
        PostMessageA(button, BM_CLICK, 0, 0);
        ASSERT_TRUE(WaitUntil([&] { return !IsWindow(open); })) << "the Open dialog stayed open";
    }

    static void TypeFileName(HWND open, const std::string& path) {
        HWND name = OpenDialogNameField(open);
        ASSERT_NE(name, nullptr) << "no file name field in the Open dialog";
        SetWindowTextRemote(name, path);
    }

    static void ChooseFile(HWND open, const std::string& path) {
        ASSERT_NO_FATAL_FAILURE(TypeFileName(open, path));
        ASSERT_NO_FATAL_FAILURE(PressOpenDialogButton(open, IDOK));
    }

    // Path1 to Path5, then Editor.
    static Lines Fields(HWND options) {
        Lines fields;
        for (int id = IDC_OPT_PATH1; id <= IDC_OPT_EDITOR; ++id) fields.push_back(WindowText(GetDlgItem(options, id)));
        return fields;
    }

    static void TypeFields(HWND options, const Lines& fields) {
        for (size_t i = 0; i < fields.size(); ++i)
            SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1 + static_cast<int>(i)), fields[i]);
    }

    // The fields are refilled one by one after the Open dialog has gone.
    static void ExpectFields(HWND options, const Lines& expected) {
        WaitUntil([&] { return Fields(options) == expected; });
        EXPECT_EQ(Fields(options), expected);
    }

    std::string settingsBefore;
};

TEST_F(BrowseTest, AChosenSampleSetsItsRowAtOnceButOnlyOkWritesIt) {
    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("needle"), Rows{data / "old\\x.inc"});

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    // Typed but not confirmed: the browse puts the row's setting back.
    TypeFields(options, {data / "old\\*.inc", data / "new\\*.inc"});
    HWND open = Browse(program, options, IDC_OPT_BROWSE1);
    ASSERT_NE(open, nullptr);
    ASSERT_NO_FATAL_FAILURE(ChooseFile(open, data / "kit\\kernel32.inc"));
    ExpectFields(options, {data / "kit\\*.inc", "", "", "", "", ""});

    // The last button fills the last row; the sample's extension is cut to three.
    open = Browse(program, options, IDC_OPT_BROWSE5);
    ASSERT_NE(open, nullptr);
    ASSERT_NO_FATAL_FAILURE(ChooseFile(open, data / "web\\page.html"));
    const Lines browsed = {data / "kit\\*.inc", "", "", "", data / "web\\*.htm", ""};
    ExpectFields(options, browsed);
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);

    // Cancel writes nothing and leaves the index as it was...
    EXPECT_EQ(ReadBytes(SettingsFileOf(exe)), settingsBefore);
    EXPECT_EQ(program.Search("needle"), Rows{data / "old\\x.inc"});
    // ...but the chosen patterns are searched from the next re-index on.
    program.Command(IDM_REINDEX);
    EXPECT_EQ(program.Search("needle"),
              (Rows{data / "kit\\kernel32.inc", data / "kit\\user32.inc", data / "web\\other.htm"}));
    EXPECT_EQ(ReadBytes(SettingsFileOf(exe)), settingsBefore);

    // Opened again, the dialog shows them, and Ok writes them.
    options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(Fields(options), browsed);
    ClickAndWaitClosed(options, IDC_OPT_OK);
    EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))),
              SettingsLines({data / "kit\\*.inc", "", "", "", data / "web\\*.htm"}));
}

TEST_F(BrowseTest, ACancelledOpenChangesNothingAndTheEditorTakesTheWholePath) {
    // Spaces and a second dot: nothing of the name may be cut or turned into a pattern.
    home.MakeFolder("my tools");
    const std::string editor = home / "my tools\\edit.v2.exe";
    home.Write("my tools\\edit.v2.exe", "");
    Program program(exe);
    ASSERT_TRUE(program.Started());

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    const Lines typed = {data / "new\\*.inc", data / "kit\\*.txt", "", "", "", "C:\\typed\\editor.exe"};
    TypeFields(options, typed);
    HWND open = Browse(program, options, IDC_OPT_BROWSE2);
    ASSERT_NE(open, nullptr);
    ASSERT_NO_FATAL_FAILURE(TypeFileName(open, data / "kit\\kernel32.inc"));
    ASSERT_NO_FATAL_FAILURE(PressOpenDialogButton(open, IDCANCEL));

    // The next Open dialog comes up only once the cancelled browse is over.
    open = Browse(program, options, IDC_OPT_BROWSE_EDITOR);
    ASSERT_NE(open, nullptr);
    EXPECT_EQ(Fields(options), typed);
    ASSERT_NO_FATAL_FAILURE(ChooseFile(open, editor));
    const Lines browsed = {data / "old\\*.inc", "", "", "", "", editor};
    ExpectFields(options, browsed);
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
    EXPECT_EQ(ReadBytes(SettingsFileOf(exe)), settingsBefore);

    options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(Fields(options), browsed);
    ClickAndWaitClosed(options, IDC_OPT_OK);
    EXPECT_EQ(SplitLines(ReadBytes(SettingsFileOf(exe))), SettingsLines({data / "old\\*.inc"}, editor));
}

// Windows' Open dialog makes the chosen file's folder the current directory
// (Wine's does not): here a thread in the program moves it to another drive
// while each dialog is up, cancelled or not. A search path written from the
// root, such as the default \korvan\include\*.inc, stays on the drive it
// was read on, and its rows show it as written.
TEST_F(BrowseTest, RootRelativeSearchPathsStayOnTheirDriveWhateverTheOpenDialogDoes) {
    const std::string onDrive = data / "old\\*.inc";
    ASSERT_EQ(onDrive.substr(0, 3), "C:\\");
    home.Write("vantrel.ini", SettingsText({onDrive.substr(2)}));
    const Rows rows = {(data / "old\\x.inc").substr(2)};
    Program program(exe);
    ASSERT_TRUE(program.Started());
    ASSERT_EQ(program.Search("needle"), rows);

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    HWND open = Browse(program, options, IDC_OPT_BROWSE2);
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(program.MoveCurrentDirectory("Z:\\"));
    ASSERT_NO_FATAL_FAILURE(PressOpenDialogButton(open, IDCANCEL));
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
    EXPECT_EQ(program.Search("needle"), rows) << "after a cancelled Open dialog";

    options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    open = Browse(program, options, IDC_OPT_BROWSE_EDITOR);
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(program.MoveCurrentDirectory("Z:\\"));
    ASSERT_NO_FATAL_FAILURE(ChooseFile(open, data / "kit\\kernel32.inc"));
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
    EXPECT_EQ(program.Search("needle"), rows) << "after a file was chosen";
}

// Options, and the Open dialog over it, run message loops of their own, in
// which the main window can be told to close: from the taskbar, at log-off
// or by another program. The program ends at once, as if each dialog had been
// cancelled.
TEST_F(BrowseTest, ClosingTheWindowUnderOptionsEndsTheProgramAndOnlyOneOptionsOpens) {
    KeepSettings(SettingsFileOf(exe));
    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        // Posted one after another, the second reaches the window under the first dialog.
        program.Command(IDM_OPTIONS);
        HWND options = OpenOptions(program);
        ASSERT_NE(options, nullptr);
        program.Settle();
        EXPECT_EQ(ProcessWindows(program.Id(), kOptionsCaption).size(), 1u);
        SetWindowTextRemote(GetDlgItem(options, IDC_OPT_PATH1), data / "new\\*.inc");
        ExpectEndLeavingSettings(program, WM_CLOSE, 0);
    }
    Program program(exe);
    ASSERT_TRUE(program.Started());
    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    ASSERT_NE(Browse(program, options, IDC_OPT_BROWSE1), nullptr);
    ExpectEndLeavingSettings(program, WM_CLOSE, 0);
}

class OpenTest : public ProgramTest {
protected:
    void SetUp() override {
        data.MakeFolder("inc files");
        data.Write("inc files\\first one.inc", "needle");
        data.Write("inc files\\second one.inc", "needle");
    }
};

TEST_F(OpenTest, TheEditorGetsTheRowPathAsOneArgument) {
    home.MakeFolder("my editor");
    const std::string editor = home / "my editor\\record_args.exe";
    ASSERT_TRUE(CopyFileA((BuildFolder() + "record_args.exe").c_str(), editor.c_str(), FALSE));
    const std::string log = home / "my editor\\record_args.log";
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({data / "inc files\\*.inc"}, editor));

    {
        Program program(exe);
        ASSERT_TRUE(program.Started());
        const std::string second = data / "inc files\\second one.inc";
        ASSERT_EQ(program.Search("needle"), (Rows{data / "inc files\\first one.inc", second}));
        program.DoubleClickRow(1);
        WaitUntil([&] { return SplitLines(ReadBytes(log)).size() >= 3; });
        const Lines record = SplitLines(ReadBytes(log));
        ASSERT_EQ(record.size(), 3u) << ReadBytes(log);
        EXPECT_EQ(record[1], "argc 2") << record[0];
        EXPECT_EQ(record[2], "argv1 " + second) << record[0];
    }
    // The editor may still be on its way out; its folder goes with the test's.
    WaitUntil([&] { return DeleteFileA(editor.c_str()) != FALSE; }, 5000);
}

TEST_F(OpenTest, WithoutAnEditorTheRowItselfIsStarted) {
    const std::string exe = Install("vantrel_recording.exe");
    home.Write("vantrel_recording.ini", SettingsText({data / "inc files\\*.inc"}));
    const std::string log = home / "effects.log";

    // A row longer than 255 characters is read back and opened whole.
    const std::string third = data / ("inc files\\third " + std::string(240, 'l') + ".inc");
    data.Write(third.substr(data.Path().size()), "needle");

    Program program(exe);
    ASSERT_TRUE(program.Started());
    const std::string second = data / "inc files\\second one.inc";
    ASSERT_EQ(program.Search("needle"), (Rows{data / "inc files\\first one.inc", second, third}));
    program.DoubleClickRow(1);
    WaitUntil([&] { return !ReadBytes(log).empty(); });
    EXPECT_EQ(SplitLines(ReadBytes(log)), Lines{"start " + second + "|(none)"});
    program.DoubleClickRow(2);
    WaitUntil([&] { return SplitLines(ReadBytes(log)).size() >= 2; });
    EXPECT_EQ(SplitLines(ReadBytes(log)), (Lines{"start " + second + "|(none)", "start " + third + "|(none)"}));
}

class ExitTest : public ProgramTest {
protected:
    // Ends the program by the given message and checks that it left with
    // code 0 and did not touch its settings file.
    void ExpectCleanEnd(UINT message, WPARAM wParam) {
        data.Write("a.inc", "needle");
        const std::string exe = Install();
        home.Write("vantrel.ini", "; kept as written\r\n" + SettingsText({data / "*.inc"}, "C:\\editor.exe"));
        KeepSettings(SettingsFileOf(exe));

        Program program(exe);
        ASSERT_TRUE(program.Started());
        EXPECT_EQ(program.Search("needle"), Rows{data / "a.inc"});
        ExpectEndLeavingSettings(program, message, wParam);
    }
};

TEST_F(ExitTest, TheExitItemEndsTheProgram) { ExpectCleanEnd(WM_COMMAND, IDM_EXIT); }

TEST_F(ExitTest, TheCloseBoxEndsTheProgram) { ExpectCleanEnd(WM_SYSCOMMAND, SC_CLOSE); }

// A small include kit like the demo's; pictures of the main window with its
// results and of the options dialog go to VANTREL_SCREENSHOTS when it is set.
TEST_F(ProgramTest, ScreenshotsOfResultsAndOptions) {
    data.MakeFolder("include");
    data.Write("include\\kernel.inc", "ExitProcess PROTO :DWORD\r\nGetTickCount PROTO\r\n");
    data.Write("include\\user.inc", "MessageBoxA PROTO :DWORD, :DWORD, :DWORD, :DWORD\r\nEndDialog PROTO :DWORD\r\n");
    data.Write("include\\gdi.inc", "BitBlt PROTO :DWORD, :DWORD, :DWORD\r\n");
    data.Write("include\\shell.inc", "ShowMessage MACRO text\r\n invoke MessageBoxA, 0, text, 0, MB_OK\r\nENDM\r\n"
                                     "AskUser MACRO text\r\n invoke MessageBoxA, 0, text, 0, MB_YESNO\r\nENDM\r\n");
    const std::string exe = Install();
    home.Write("vantrel.ini", SettingsText({data / "include\\*.inc"}));
    const std::string folder = ScreenshotFolder();

    Program program(exe);
    ASSERT_TRUE(program.Started());
    EXPECT_EQ(program.Search("MessageBox"), (Rows{data / "include\\shell.inc", data / "include\\user.inc"}));
    // Grown, so that the paths and the lines' texts show whole, and the
    // pane its lines: the first row has the focus.
    RECT opening = {};
    GetWindowRect(program.Main(), &opening);
    SetWindowPos(program.Main(), nullptr, 0, 0, 860, opening.bottom - opening.top + 160, SWP_NOMOVE | SWP_NOZORDER);
    HWND list = program.Item(IDC_MAIN_RESULTS);
    EXPECT_TRUE(WaitUntil([&] {
        RECT shown = {};
        GetWindowRect(list, &shown);
        return shown.right - shown.left > 600;
    }));
    EXPECT_EQ(program.Cell(0, 2), "invoke MessageBoxA, 0, text, 0, MB_OK");
    EXPECT_EQ(program.Cell(1, 2), "MessageBoxA PROTO :DWORD, :DWORD, :DWORD, :DWORD");
    EXPECT_TRUE(WaitUntil([&] { return program.PaneRowCount() == 2; }));
    // Painted once both answers are in.
    program.Settle();
    const Image main = CaptureWindow(program.Main());
    EXPECT_GT(main.ColourCount(), 2u) << "the capture shows no window";
    if (!folder.empty()) {
        EXPECT_TRUE(SaveBitmap(main, folder + "main-window.bmp"));
    }

    HWND options = OpenOptions(program);
    ASSERT_NE(options, nullptr);
    const Image dialog = CaptureWindow(options);
    EXPECT_GT(dialog.ColourCount(), 2u) << "the capture shows no dialog";
    if (!folder.empty()) {
        EXPECT_TRUE(SaveBitmap(dialog, folder + "options.bmp"));
    }
    ClickAndWaitClosed(options, IDC_OPT_CANCEL);
}

}  // namespace
