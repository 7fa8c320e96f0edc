#include "core/editor_command.h"

#include <gtest/gtest.h>

#include <string>

namespace {

const char kPath[] = "C:\\my kit\\include\\user.inc";

struct Command {
    bool editor;
    std::string program;
    std::string parameters;
};

Command Make(const std::string& setting, unsigned long long line, size_t room = 1024) {
    char program[kEditorProgramSize] = "";
    std::string parameters(room, '#');
    const bool editor = MakeEditorCommand(setting.c_str(), kPath, line, program, &parameters[0], room);
    return {editor, program, editor ? parameters.c_str() : ""};
}

TEST(MakeEditorCommand, EachSettingAndLine) {
    const std::string quoted = std::string("\"") + kPath + "\"";
    const struct {
        const char* name;
        const char* setting;
        unsigned long long line;
        const char* program;
        std::string parameters;
    } cases[] = {
        // Values stored before there were lines: the program as it stands, the quoted path.
        {"a program with spaces", "C:\\Program Files\\ed\\ed.exe", 12, "C:\\Program Files\\ed\\ed.exe", quoted},
        // The editors known by their file name, in any case.
        {"Notepad++", "C:\\Program Files\\Notepad++\\notepad++.exe", 12, "C:\\Program Files\\Notepad++\\notepad++.exe",
         std::string("-n12 ") + quoted},
        {"VS Code", "C:\\VS Code\\Code.exe", 12, "C:\\VS Code\\Code.exe",
         std::string("-g \"") + kPath + ":12\""},
        {"Sublime Text", "C:\\ST\\sublime_text.exe", 7, "C:\\ST\\sublime_text.exe",
         std::string("\"") + kPath + ":7\""},
        {"subl", "C:\\ST\\SUBL.EXE", 7, "C:\\ST\\SUBL.EXE", std::string("\"") + kPath + ":7\""},
        {"gVim", "C:\\Vim\\vim91\\gvim.exe", 1, "C:\\Vim\\vim91\\gvim.exe", std::string("+1 ") + quoted},
        {"Vim", "C:/Vim/vim.exe", 1, "C:/Vim/vim.exe", std::string("+1 ") + quoted},
        {"Notepad2", "C:\\N2\\Notepad2.exe", 99, "C:\\N2\\Notepad2.exe", std::string("/g 99 ") + quoted},
        {"Notepad3", "notepad3.exe", 99, "notepad3.exe", std::string("/g 99 ") + quoted},
        {"Emacs", "C:\\emacs\\bin\\emacs.exe", 5, "C:\\emacs\\bin\\emacs.exe", std::string("+5 ") + quoted},
        {"runemacs", "C:\\emacs\\bin\\runemacs.exe", 5, "C:\\emacs\\bin\\runemacs.exe",
         std::string("+5 ") + quoted},
        {"known, in quotes", "\"C:\\Program Files\\Notepad++\\notepad++.exe\"", 12,
         "\"C:\\Program Files\\Notepad++\\notepad++.exe\"", std::string("-n12 ") + quoted},
        {"known, no line", "C:\\Program Files\\Notepad++\\notepad++.exe", 0,
         "C:\\Program Files\\Notepad++\\notepad++.exe", quoted},
        {"a longer name", "C:\\tools\\mynotepad++.exe", 12, "C:\\tools\\mynotepad++.exe", quoted},
        // A program and its template.
        {"template", "C:\\Tools\\ed.exe -l %line% \"%file%\"", 12, "C:\\Tools\\ed.exe",
         std::string("-l 12 ") + quoted},
        {"quoted program", "\"C:\\Program Files\\My Editor\\me.exe\" --goto \"%file%:%line%\"", 12,
         "C:\\Program Files\\My Editor\\me.exe", std::string("--goto \"") + kPath + ":12\""},
        {"the same, back from the settings file", "C:\\Program Files\\My Editor\\me.exe\" --goto \"%file%:%line%", 12,
         "C:\\Program Files\\My Editor\\me.exe", std::string("--goto \"") + kPath + ":12\""},
        {"template, no line", "C:\\Tools\\ed.exe -l %line% \"%file%\"", 0, "C:\\Tools\\ed.exe", quoted},
        {"template without a line", "C:\\Tools\\ed.exe --open %file%", 0, "C:\\Tools\\ed.exe",
         std::string("--open ") + kPath},
        {"placeholders in any case, twice", "ed.exe +%LINE% %File% %line%", 40, "ed.exe",
         std::string("+40 ") + kPath + " 40"},
        {"a quoted argument first", "C:\\Tools\\ed.exe --title \"x y\" %file%", 2, "C:\\Tools\\ed.exe",
         std::string("--title \"x y\" ") + kPath},
        {"a known name with a template", "C:\\N\\notepad++.exe -multiInst -n%line% \"%file%\"", 8,
         "C:\\N\\notepad++.exe", std::string("-multiInst -n8 ") + quoted},
    };
    for (const auto& c : cases) {
        const Command made = Make(c.setting, c.line);
        EXPECT_TRUE(made.editor) << c.name;
        EXPECT_EQ(made.program, c.program) << c.name;
        EXPECT_EQ(made.parameters, c.parameters) << c.name;
    }
}

TEST(MakeEditorCommand, NoEditorOpensTheFileItself) { EXPECT_FALSE(Make("", 12).editor); }

TEST(MakeEditorCommand, ATemplateThatDoesNotFitGivesTheQuotedPath) {
    const std::string quoted = std::string("\"") + kPath + "\"";
    const Command made = Make("ed.exe %file% %file% %file%", 3, quoted.size() + 1);
    EXPECT_EQ(made.parameters, quoted);
}

}  // namespace
