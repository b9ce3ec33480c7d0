// The name rule of the package's entries: each refusal with the rule it names, the names that
// pass (double-byte characters whose trail byte is '\\' or '|' among them), and the list's
// folding as Windows folds names.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "package_format/entry_name_rule.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <iconv.h>
#include <locale.h>
#include <wctype.h>
#endif

using namespace package_format;

namespace {

// UTF-8 to the code page 936 without substitutes, as the packer converts.
bool ToCp936(const std::string& utf8, std::string* out) {
#if defined(_WIN32)
    int wide = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(),
                                   static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(wide), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), text.data(), wide);
    BOOL lossy = FALSE;
    int size = WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wide, nullptr, 0,
                                   nullptr, &lossy);
    out->assign(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(936, WC_NO_BEST_FIT_CHARS, text.data(), wide, out->data(), size, nullptr,
                        &lossy);
    return (wide > 0 || utf8.empty()) && !lossy;
#else
    iconv_t converter = iconv_open("CP936", "UTF-8");
    std::string input = utf8;
    std::string result(utf8.size() * 2 + 4, '\0');
    char* source = input.data();
    size_t sourceLeft = input.size();
    char* target = result.data();
    size_t targetLeft = result.size();
    const size_t converted = iconv(converter, &source, &sourceLeft, &target, &targetLeft);
    iconv_close(converter);
    result.resize(result.size() - targetLeft);
    *out = result;
    return converted != static_cast<size_t>(-1) && sourceLeft == 0;
#endif
}

const EntryNameRule kRule(ToCp936);

NameRule RefusedFor(const std::string& name, bool utf8 = false) {
    NameRefusal refusal;
    EXPECT_FALSE(kRule.Check({name, utf8}, &refusal)) << name;
    EXPECT_FALSE(refusal.reason.empty());
    return refusal.rule;
}

bool Passes(const std::string& name, bool utf8 = false) {
    NameRefusal refusal;
    const bool passed = kRule.Check({name, utf8}, &refusal);
    EXPECT_TRUE(passed) << name << ": " << refusal.reason;
    return passed;
}

TEST(EntryNameRule, SegmentsEndingInDotOrSpaceAreRefusedAnywhere) {
    EXPECT_EQ(RefusedFor("tideboard3.exe."), NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(RefusedFor("lib.dll "), NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(RefusedFor("web.\\index.html"), NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(RefusedFor("web /index.html"), NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(RefusedFor("."), NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(RefusedFor("a\\..\\b"), NameRule::kClimbs);
    EXPECT_EQ(RefusedFor("a/. ./b"), NameRule::kClimbs);
    EXPECT_TRUE(Passes(".hidden"));
    EXPECT_TRUE(Passes("web\\ leading space.js"));
    EXPECT_TRUE(Passes("frame\\js\\"));  // a folder entry
}

TEST(EntryNameRule, DeviceNamesAreRefusedInAnyCaseWithOrWithoutExtension) {
    for (const char* name : {"CON", "con.txt", "LPT1.log", "NUL", "aux", "COM1", "com9.a.b", "Prn",
                             "CONIN$", "conout$.x", "NUL .log", "web\\Aux\\x.js"}) {
        NameRefusal refusal;
        EXPECT_FALSE(kRule.Check({name, false}, &refusal)) << name;
        EXPECT_EQ(refusal.rule, NameRule::kDeviceName) << name;
        EXPECT_NE(refusal.reason.find("device"), std::string::npos);
    }
    NameRefusal refusal;
    kRule.Check({"lpt7.txt", false}, &refusal);
    EXPECT_NE(refusal.reason.find("LPT7"), std::string::npos) << refusal.reason;
    for (const char* name : {"CONSOLE.txt", "com10", "LPT", "nul_.log", "xcon", "com0x.js"}) {
        EXPECT_TRUE(Passes(name));
    }
}

TEST(EntryNameRule, CharactersWindowsForbidsAreRefusedButNotTrailBytes) {
    const std::vector<std::string> forbidden = {"a<b", "a>b", "ab:c",   "a\"b",  "a|b",
                                                "a?b", "a*b", "a\x01b", "x\x1f", "tab\tname"};
    for (const std::string& name : forbidden) {
        EXPECT_EQ(RefusedFor(name), NameRule::kForbiddenCharacter) << name;
    }
    NameRefusal refusal;
    kRule.Check({"x\x1f", false}, &refusal);
    EXPECT_NE(refusal.reason.find("0x1F"), std::string::npos) << refusal.reason;
    // Code-page-936 characters whose trail byte is '\\' (0xDC5C) or '|' (0xB17C).
    EXPECT_TRUE(Passes("web\\\xdc\x5c.js"));
    EXPECT_TRUE(Passes("\xb1\x7c\\x.dll"));
    // A lead byte with no trail is no text; a UTF-8 name outside the code page cannot be written.
    EXPECT_EQ(RefusedFor("web\\\xb8"), NameRule::kNotInCodePage);
    EXPECT_EQ(RefusedFor("\xff.txt"), NameRule::kNotInCodePage);
    EXPECT_EQ(RefusedFor("web\\\xed\x95\x9c.txt", true), NameRule::kNotInCodePage);  // Hangul
    EXPECT_TRUE(Passes("web\\\xe6\x9b\xb4\xe6\x96\xb0.txt", true));                  // 更新
}

TEST(EntryNameRule, ScratchSuffixIsRefusedInEverySegmentAndCase) {
    EXPECT_EQ(RefusedFor("tideboard3.exe.ferrylift-new"), NameRule::kScratchSuffix);
    EXPECT_EQ(RefusedFor("tideboard3.exe.ferrylift-new\\x.txt"), NameRule::kScratchSuffix);
    EXPECT_EQ(RefusedFor("lib\\core.dll.FerryLift-New"), NameRule::kScratchSuffix);
    EXPECT_TRUE(Passes("notes.ferrylift-new.txt"));
}

TEST(EntryNameRule, ClimbingAbsoluteAndEmptyNamesAreRefused) {
    EXPECT_EQ(RefusedFor(""), NameRule::kEmpty);
    EXPECT_EQ(RefusedFor("a\\\\b"), NameRule::kEmpty);
    EXPECT_EQ(RefusedFor("\\x.dll"), NameRule::kAbsolute);
    EXPECT_EQ(RefusedFor("/x.dll"), NameRule::kAbsolute);
    EXPECT_EQ(RefusedFor("C:x.dll"), NameRule::kAbsolute);
    EXPECT_EQ(RefusedFor("..\\x.dll"), NameRule::kClimbs);
}

TEST(EntryNameRule, LengthIsCountedInTheCodePage936) {
    EXPECT_TRUE(Passes(std::string(kDefaultMaxNameBytes, 'a')));
    EXPECT_EQ(RefusedFor(std::string(kDefaultMaxNameBytes + 1, 'a')), NameRule::kTooLong);
    // 90 Chinese characters: 270 bytes of UTF-8, 180 of the code page.
    std::string chinese;
    for (int i = 0; i < 90; ++i) {
        chinese += "\xe6\x9b\xb4";
    }
    EXPECT_TRUE(Passes(chinese, true));
    EXPECT_EQ(RefusedFor(chinese + "a", true), NameRule::kTooLong);

    const EntryNameRule shortRule(ToCp936, 10);
    NameRefusal refusal;
    EXPECT_FALSE(shortRule.Check({"web\\abcdefg", false}, &refusal));
    EXPECT_EQ(refusal.rule, NameRule::kTooLong);
    EXPECT_NE(refusal.reason.find("11 bytes"), std::string::npos) << refusal.reason;
    EXPECT_NE(refusal.reason.find("at most 10"), std::string::npos) << refusal.reason;
}

TEST(EntryNameRule, ListRefusesNamesWindowsFoldsOntoOneFile) {
    const std::vector<StoredName> names = {
        {"tideboard3.exe", false},  {"Lib\\Core.DLL", false}, {"lib\\core.dll", false},  // case
        {"tideboard3.exe.", false},  // its own rule first
        {"\xa3\xc1.txt", false},     // full-width A
        {"\xef\xbd\x81.txt", true},  // full-width a, as UTF-8
        {"\xa6\xc1\\x", false},      // Greek alpha as a folder
        {"\xa6\xa1", false},         // Greek Alpha as a file
        {"web\\app.js", false},
    };
    const std::vector<NameRefusal> refusals = kRule.CheckAll(names);
    ASSERT_EQ(refusals.size(), 4u);
    EXPECT_EQ(refusals[0].entry, 2u);
    EXPECT_EQ(refusals[0].rule, NameRule::kFoldsOntoAnother);
    EXPECT_EQ(refusals[0].other, 1u);
    EXPECT_EQ(refusals[1].entry, 3u);
    EXPECT_EQ(refusals[1].rule, NameRule::kTrailingDotOrSpace);
    EXPECT_EQ(refusals[2].entry, 5u);
    EXPECT_EQ(refusals[2].rule, NameRule::kFoldsOntoAnother);
    EXPECT_EQ(refusals[2].other, 4u);
    EXPECT_EQ(refusals[3].entry, 7u);
    EXPECT_EQ(refusals[3].rule, NameRule::kFileAndFolder);
    EXPECT_EQ(refusals[3].other, 6u);

    EXPECT_EQ(FoldedName("Web. \\App.js ."), "WEB\\APP.JS");
    EXPECT_TRUE(kRule.CheckAll({{"a\\", false}, {"A\\b", false}, {"c", false}}).empty());
    const auto dotted = kRule.CheckAll({{"lib.dll", false}, {"lib.dll.", false}});
    ASSERT_EQ(dotted.size(), 1u);
    EXPECT_EQ(dotted[0].entry, 1u);
}

#if !defined(_WIN32)
// Every double-byte character of the code page folds to the character Unicode's upper case
// gives, when the code page holds that one.
TEST(EntryNameRule, FoldingAgreesWithUnicodeUpperCaseOverTheWholeCodePage) {
    locale_t utf8 = newlocale(LC_CTYPE_MASK, "C.UTF-8", static_cast<locale_t>(0));
    ASSERT_NE(utf8, static_cast<locale_t>(0));
    iconv_t toWide = iconv_open("WCHAR_T", "CP936");
    iconv_t fromWide = iconv_open("CP936", "WCHAR_T");
    int pairs = 0;
    for (int lead = 0x81; lead <= 0xFE; ++lead) {
        for (int trail = 0x40; trail <= 0xFE; ++trail) {
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char* in = bytes;
            size_t inLeft = 2;
            wchar_t wide = 0;
            char* out = reinterpret_cast<char*>(&wide);
            size_t outLeft = sizeof wide;
            if (trail == 0x7F || iconv(toWide, &in, &inLeft, &out, &outLeft) == size_t(-1)) {
                continue;
            }
            wchar_t upper = static_cast<wchar_t>(towupper_l(static_cast<wint_t>(wide), utf8));
            std::string expected(bytes, 2);
            char back[4];
            in = reinterpret_cast<char*>(&upper);
            inLeft = sizeof upper;
            out = back;
            outLeft = sizeof back;
            if (upper != wide && iconv(fromWide, &in, &inLeft, &out, &outLeft) != size_t(-1)) {
                expected.assign(back, sizeof back - outLeft);
                ++pairs;
            }
            EXPECT_EQ(FoldedName(std::string(bytes, 2)), expected) << std::hex << lead << trail;
        }
    }
    iconv_close(toWide);
    iconv_close(fromWide);
    freelocale(utf8);
    EXPECT_EQ(pairs, 93);
}
#endif

}  // namespace
