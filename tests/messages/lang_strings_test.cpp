// Message texts as a process of the product finds them: each case runs in a
// child that sees a private registry key as HKEY_LOCAL_MACHINE (its own
// "Language" and "InstallDir"), since the language file is chosen once per
// process.
#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>

#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "support/lang_strings.h"
#include "tests/support/test_child.h"

namespace {

using testchild::Child;
using testchild::MachineKeySandbox;
using testchild::ReadFileBytes;
using testchild::SelfPath;
using testchild::TempFolder;
using testchild::WriteFileBytes;

// Every key the library shows.
const char* const kLibraryKeys[] = {"ZEL_PRODUCT_NAME",        "D_DCTRL_VIRTUAL_ERROR",
                                    "D_DCTRL_SAVEAS_ERROR",    "D_DCTRL_CANTPRINT_ERROR",
                                    "D_DCTRL_CANTPRINT_TIMES_LIMIT", "D_DCTRL_PRINT_ERROR",
                                    "AU_IDD2003_TITLE"};

std::string TestWorldRoot() {
    const char* root = getenv("GATREL_ROOT");
    if (!root) return {};
    std::string dir = std::string("Z:") + root;
    for (auto& c : dir)
        if (c == '/') c = '\\';
    return dir;
}

// Lines "key=text" of a child's answer file.
std::vector<std::pair<std::string, std::string>> Answers(const std::string& file) {
    std::vector<std::pair<std::string, std::string>> out;
    const std::string all = ReadFileBytes(file);
    size_t at = 0;
    while (at < all.size()) {
        size_t end = all.find('\n', at);
        if (end == std::string::npos) end = all.size();
        const std::string line = all.substr(at, end - at);
        const size_t eq = line.find('=');
        if (eq != std::string::npos) out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
        at = end + 1;
    }
    return out;
}

std::string AnswerOf(const std::string& file, const std::string& key) {
    for (const auto& [k, v] : Answers(file))
        if (k == key) return v;
    return "(no answer)";
}

// ---- what the children do -------------------------------------------------

// args: answer file, keys... Writes "path=<language file>" and "<key>=<text>".
GATREL_CHILD_SCENARIO(lang_texts) {
    std::string out = "path=" + LangFilePath() + "\n";
    for (size_t i = 1; i < args.size(); ++i)
        out += args[i] + "=" + GetLangString(args[i].c_str(), "Not found") + "\n";
    return WriteFileBytes(args.at(0), out) ? 0 : 1;
}

// args: answer file. Eight threads ask for their first text at the same
// moment; then "Language" changes, and the process keeps its file.
GATREL_CHILD_SCENARIO(lang_first_use_race) {
    HANDLE go = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::string> texts(8);
    std::vector<std::thread> threads;
    for (auto& t : texts)
        threads.emplace_back([&t, go] {
            WaitForSingleObject(go, INFINITE);
            t = GetLangString("ZEL_PRODUCT_NAME", "Not found");
        });
    Sleep(100);
    SetEvent(go);
    for (auto& t : threads) t.join();
    CloseHandle(go);
    std::string out;
    for (const auto& t : texts) out += "text=" + t + "\n";
    const std::string before = LangFilePath();
    RegSetKeyValueA(HKEY_LOCAL_MACHINE, "SOFTWARE\\Varnek\\ZELClient\\1.0\\Setup", "Language",
                    REG_SZ, "Chinese", 8);
    out += "before=" + before + "\nafter=" + LangFilePath() + "\n";
    return WriteFileBytes(args.at(0), out) ? 0 : 1;
}

// ---- the cases -------------------------------------------------------------

long RunIn(const MachineKeySandbox& key, const std::string& scenario,
           const std::vector<std::string>& args) {
    Child child(SelfPath(), scenario, args, key.name());
    return child.started() ? child.Wait() : -1;
}

// The installed files of the test world, chosen by "Language": only "Chinese"
// exactly selects the Chinese file (code page 936 bytes); both files hold every
// key that the library shows.
TEST(LanguageFile, OnlyChineseExactlySelectsTheChineseFileAndBothHoldEveryKey) {
    const std::string root = TestWorldRoot();
    ASSERT_FALSE(root.empty()) << "run through CTest: GATREL_ROOT names the installation directory";
    TempFolder temp("lang_choice");
    struct Case {
        const char* language;
        const char* file;
        std::string caption;
    } cases[] = {
        {"Chinese", "\\Language\\Multi_ch.ini", "ZEL\xCE\xC4\xB5\xB5\xB1\xA3\xBB\xA4"},
        {"chinese", "\\Language\\Multi_eng.ini", "ZEL Document Protection"},
        {"CHINESE", "\\Language\\Multi_eng.ini", "ZEL Document Protection"},
        {"English", "\\Language\\Multi_eng.ini", "ZEL Document Protection"},
    };
    std::vector<std::string> args{temp.path() + "\\answers.txt"};
    for (const char* k : kLibraryKeys) args.push_back(k);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.language);
        MachineKeySandbox key("lang_choice");
        key.SetString("InstallDir", root);
        key.SetString("Language", c.language);
        ASSERT_EQ(0, RunIn(key, "lang_texts", args));
        EXPECT_EQ(root + c.file, AnswerOf(args[0], "path"));
        EXPECT_EQ(c.caption, AnswerOf(args[0], "ZEL_PRODUCT_NAME"));
        for (const char* k : kLibraryKeys) {
            const std::string text = AnswerOf(args[0], k);
            EXPECT_EQ(std::string::npos, text.find("Not found")) << k << ": " << text;
            EXPECT_FALSE(text.empty()) << k;
        }
    }
}

// Texts as the language file holds them: a literal backslash-n runs two lines
// together; "Not found" in any case, written or as the default of a missing
// key, names the key; an empty title is one blank, other empty texts stay
// empty; a long text is cut at 259 bytes.
TEST(LanguageText, TextRulesOfTheFile) {
    TempFolder install("lang_rules");
    ASSERT_TRUE(CreateDirectoryA((install.path() + "\\Language").c_str(), nullptr));
    const std::string longText(300, 'x');
    ASSERT_TRUE(WriteFileBytes(install.path() + "\\Language\\Multi_eng.ini",
                               "[String]\r\n"
                               "TWO_LINES=The document is protected.\\nAsk its owner.\r\n"
                               "ONLY_BREAKS=\\n\\n\r\n"
                               "WRITTEN_NOT_FOUND=nOT fOUND\r\n"
                               "NOT_FOUND_IN_TEXT=Not found here\r\n"
                               "AU_IDD2003_TITLE=\r\n"
                               "OTHER_EMPTY=\r\n"
                               "LONG=" + longText + "\r\n"));
    MachineKeySandbox key("lang_rules");
    key.SetString("InstallDir", install.path());
    key.SetString("Language", "English");
    const std::string answers = install.path() + "\\answers.txt";
    ASSERT_EQ(0, RunIn(key, "lang_texts",
                       {answers, "TWO_LINES", "ONLY_BREAKS", "WRITTEN_NOT_FOUND",
                        "NOT_FOUND_IN_TEXT", "MISSING_KEY", "AU_IDD2003_TITLE", "OTHER_EMPTY",
                        "LONG"}));
    EXPECT_EQ("The document is protected.Ask its owner.", AnswerOf(answers, "TWO_LINES"));
    EXPECT_EQ("", AnswerOf(answers, "ONLY_BREAKS"));
    EXPECT_EQ("Not found(Key:WRITTEN_NOT_FOUND)", AnswerOf(answers, "WRITTEN_NOT_FOUND"));
    EXPECT_EQ("Not found here", AnswerOf(answers, "NOT_FOUND_IN_TEXT"));
    EXPECT_EQ("Not found(Key:MISSING_KEY)", AnswerOf(answers, "MISSING_KEY"));
    EXPECT_EQ(" ", AnswerOf(answers, "AU_IDD2003_TITLE"));
    EXPECT_EQ("", AnswerOf(answers, "OTHER_EMPTY"));
    EXPECT_EQ(longText.substr(0, 259), AnswerOf(answers, "LONG"));
}

// Threads that ask for their first text at the same moment form the language
// file once and all read the same text; a later change of "Language" does not
// move the process to the other file.
TEST(LanguageFile, FormedOnceWhenTheFirstCallersMeet) {
    TempFolder install("lang_race");
    ASSERT_TRUE(CreateDirectoryA((install.path() + "\\Language").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA((install.path() + "\\log").c_str(), nullptr));
    ASSERT_TRUE(WriteFileBytes(install.path() + "\\Language\\Multi_eng.ini",
                               "[String]\r\nZEL_PRODUCT_NAME=Product\r\n"));
    const std::string answers = install.path() + "\\answers.txt";
    const std::string exeBase = [] {
        std::string p = SelfPath();
        p.erase(0, p.find_last_of('\\') + 1);
        return p.substr(0, p.rfind('.'));
    }();
    for (int round = 0; round < 3; ++round) {
        SCOPED_TRACE(round);
        MachineKeySandbox key("lang_race");
        key.SetString("InstallDir", install.path());
        key.SetString("Language", "English");
        key.SetString("LogLevel", "INFO");
        // Process ids come round again: only this round's lines count.
        const std::string logPath = install.path() + "\\log\\" + exeBase + ".log";
        const size_t logBefore = ReadFileBytes(logPath).size();
        Child child(SelfPath(), "lang_first_use_race", {answers}, key.name());
        ASSERT_TRUE(child.started());
        ASSERT_EQ(0, child.Wait());
        int texts = 0;
        for (const auto& [k, v] : Answers(answers)) {
            if (k != "text") continue;
            ++texts;
            EXPECT_EQ("Product", v);
        }
        EXPECT_EQ(8, texts);
        EXPECT_EQ(install.path() + "\\Language\\Multi_eng.ini", AnswerOf(answers, "before"));
        EXPECT_EQ(AnswerOf(answers, "before"), AnswerOf(answers, "after"));
        // The process writes one line when it forms the path.
        const std::string all = ReadFileBytes(logPath);
        const std::string log = all.substr(std::min(logBefore, all.size()));
        const std::string pidTag = "[PID: " + std::to_string(child.pid()) + "]";
        int formed = 0;
        for (size_t at = log.find("strLangFile="); at != std::string::npos;
             at = log.find("strLangFile=", at + 1)) {
            const size_t lineStart = log.rfind('\n', at);
            const std::string line = log.substr(lineStart == std::string::npos ? 0 : lineStart, at - lineStart);
            if (line.find(pidTag) != std::string::npos) ++formed;
        }
        EXPECT_EQ(1, formed);
    }
}

}  // namespace
