#pragma once

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <stddef.h>

#include "core/decimal_text.h"
#include "core/query_matcher.h"

// Texts from fields and the settings file: 255 bytes with the terminator.
enum { kTextSize = 256, kFieldTextLimit = 255 };

// Full paths are composed whole: a directory of up to 254 characters, resolved
// against the executable's folder, plus a file name of up to 259. This holds
// anything the wide file calls accept.
enum { kLongPathSize = 32768 };

enum { kIndexInitialSize = 0x10000 };

enum SettingsSlot { Path1, Path2, Path3, Path4, Path5, Editor, kSlotCount };
enum { kPathSlotCount = 5 };

struct SearchRun;
struct FileStamp;
struct IndexKeeper;
struct IndexWorker;

struct Settings {
    char Slots[kSlotCount][kTextSize];
};

struct AppState {
    HINSTANCE Instance;
    HWND MainWindow;
    HWND ResultList;
    HWND LinesPane;
    HWND OptionsWindow;
    HMENU MenuBar;
    HACCEL Accelerators;
    HHOOK MessageFilter;

    ::Settings Settings;
    char SettingsFile[kLongPathSize];

    char Query[kTextSize];
    char16_t WideQuery[kTextSize];  // the query converted from the ANSI code page
    QueryMatcher Matcher;           // what the latest search looks for; its rows' cells too
    PatternError MatcherError;
    char StatusText[2 * kTextSize];  // " Searching " and a whole search path fit
    char FullPath[kLongPathSize];
    char ElapsedText[kDecimalTextSize];
    int CaseInsensitive;  // 1: case-insensitive, 0: case-sensitive
    bool RegularExpression;  // the query is a pattern; never stored, like the case mode
    bool WholeWords;

    WIN32_FIND_DATAW FindData;  // wide: the ANSI listing loses names outside the code page
    OPENFILENAMEA OpenRequest;
    char OpenFileName[kTextSize];
    LVCOLUMNA Column;

    // The search running on threads of its own, or stopped and still ending.
    SearchRun* Search;
    UINT SearchGeneration;  // of the latest search; its messages carry it
    DWORD SearchStart;      // its tick count at the start
    bool SearchShown;       // its rows and progress still reach the window
    int SearchReaders;      // readers per search; 0 for one per processor

    char* FileIndex;
    size_t FileIndexSize;
    FileStamp* FileStamps;  // one per file of the index, as the listing gave them
    size_t FileCount;
    size_t FileStampCapacity;

    // The content index, for the whole run of the program, and the worker
    // keeping it for the listing numbered Listing.
    IndexKeeper* Keeper;
    IndexWorker* IndexWorker;
    unsigned long long Listing;
    char* SearchFiles;  // the files a search reads, when the index chose them
    size_t SearchFilesSize;
    size_t SearchedFiles;  // how many the last search was given

    // The ellipsis in the ANSI code page (kEllipsisCharacter), made at the start.
    char Ellipsis[4];
};

extern AppState App;

// The system's own texts, exactly as the user sees and the settings file holds them.
const char kCaptionText[] = " Vantrel v0.9a";
const char kSearchingText[] = " Searching ";
const char kSearchCompleteText[] = " Search complete in ";
const char kSearchStoppedText[] = " Search stopped after ";
const char kPatternErrorText[] = " Pattern error at ";  // then the position, ": " and the library's message
const char kMillisecondsText[] = "ms";
const char kIndexingText[] = " Indexing ";
const char kIndexingOfText[] = " of ";
const char kIndexedText[] = " Indexed ";
const char kIndexFilesText[] = " files";
const char kIndexFileExtension[] = "idx";  // in place of the settings file's "ini"
const char kColumnTitle[] = "File Results";
const char kLineColumnTitle[] = "Line";
const char kTextColumnTitle[] = "Text";
const char kHitsColumnTitle[] = "Hits";
// Before a line's text cut ahead of its first match, and in the lines
// pane's last row, "\x2026 and N more lines": the ANSI code page's own
// character for it (0x85 in code page 1252; the two bytes 0x81 0x63 in 932,
// where 0x85 alone would begin a double-byte character and swallow the
// next one), or kEllipsisFallback where the code page has none.
const WCHAR kEllipsisCharacter = 0x2026;
const char kEllipsisFallback[] = "...";
const char kMoreLinesText[] = " and ";
const char kMoreLinesEnd[] = " more lines";
const char kOneMoreLineEnd[] = " more line";
const char kOpenResultItem[] = "&Open";
const char kOpenFolderItem[] = "Open Containing &Folder";
const char kCopyPathItem[] = "&Copy Path";
// Explorer opens the folder with the file selected: /select,"C:\inc\a.inc".
const char kExplorerProgram[] = "explorer.exe";
const char kExplorerSelect[] = "/select,";
const char kCaseInsensitiveItem[] = "&Case-Insensitive";
const char kCaseSensitiveItem[] = "&Case-Sensitive";
const char kMatchMenu[] = "&Match";
const char kRegularExpressionItem[] = "&Regular Expression\tAlt+R";
const char kWholeWordsItem[] = "Whole &Words\tAlt+W";
const char kAboutCredit[] = "Finds which files of a set contain a piece of text.";
const char kOpenFilter[] = "All Files\0*.*\0";
const char kOpenTitle[] = "Select a file of the type you wish to search: ";
const char kDialogClass[] = "#32770";  // the system's class of every dialog box
const char kSettingsSection[] = "TRESKO";
const char* const kSettingsKeys[kSlotCount] = {"Path1", "Path2", "Path3", "Path4", "Path5", "Editor"};
const char kDefaultPath1[] = "\\korvan\\include\\*.inc";
