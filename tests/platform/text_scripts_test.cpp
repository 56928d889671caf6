// Text beyond ASCII: how "A" bytes are read (UTF-8, else Windows-1252 byte
// by byte), characters a face lacks drawn from another face or as a box,
// right-to-left and joined scripts, and a very long mixed line.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "../../common/ansi_text.h"
#include "gdi_support.h"

using namespace gditest;

namespace {

// The characters the bytes stand for.
std::vector<uint32_t> decode(const std::string &bytes) {
    std::vector<uint32_t> codes;
    for (int at = 0; at < (int)bytes.size();) codes.push_back(ansi_text::next(bytes.data(), (int)bytes.size(), &at));
    return codes;
}

TEST(AnsiText, Utf8WhereTheBytesFormItWindows1252ByteByByteElsewhere) {
    EXPECT_EQ(decode("a\xC3\xBC\xE4\xBD\xA0\xF0\x9F\x98\x80"), (std::vector<uint32_t>{'a', 0xFC, 0x4F60, 0x1F600}));
    // Windows-1252 text: ü ß, a lone continuation byte (the euro sign), an
    // undefined byte, a sequence cut short at the end.
    EXPECT_EQ(decode("Gr\xFC\xDF" "e"), (std::vector<uint32_t>{'G', 'r', 0xFC, 0xDF, 'e'}));
    EXPECT_EQ(decode("\x80\x81"), (std::vector<uint32_t>{0x20AC, 0x81}));
    EXPECT_EQ(decode("x\xE4\xBD"), (std::vector<uint32_t>{'x', 0xE4, 0xBD}));
    // Overlong forms, a surrogate and a value past U+10FFFF are not UTF-8.
    EXPECT_EQ(decode("\xC0\xAF"), (std::vector<uint32_t>{0xC0, 0xAF}));
    EXPECT_EQ(decode("\xED\xA0\x80"), (std::vector<uint32_t>{0xED, 0xA0, 0x20AC}));
    EXPECT_EQ(decode("\xF4\x90\x80\x80"), (std::vector<uint32_t>{0xF4, 0x90, 0x20AC, 0x20AC}));

    std::string utf8;
    ansi_text::to_utf8("Gr\xFC\xDF" "e \x80", 7, &utf8);
    EXPECT_EQ(utf8, "Gr\xC3\xBC\xC3\x9F" "e \xE2\x82\xAC");
    uint16_t wide[8];
    ASSERT_EQ(ansi_text::to_utf16("\xF0\x9F\x98\x80\xFC", 5, wide), 3);
    EXPECT_EQ(wide[0], 0xD83D);
    EXPECT_EQ(wide[1], 0xDE00);
    EXPECT_EQ(wide[2], 0xFC);
    EXPECT_TRUE(ansi_text::all_ascii("plain text, nothing else", 24));
    EXPECT_FALSE(ansi_text::all_ascii("plain text, then \xC3\xBC", 19));
}

// A 20-pixel DejaVu Sans on a white bitmap, drawing black on transparent.
struct Line {
    MemoryDc m;
    HFONT font;
    HGDIOBJ old_font;
    explicit Line(int width = 400, int height = 40) : m(width, height) {
        font = CreateFontA(-20, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, 0, 0, 0, 0, "DejaVu Sans");
        old_font = SelectObject(m.dc, font);
        SetBkMode(m.dc, TRANSPARENT);
    }
    ~Line() {
        SelectObject(m.dc, old_font);
        DeleteObject(font);
    }
    void draw(int x, const std::string &text) { TextOutA(m.dc, x, 5, text.data(), (int)text.size()); }
    int width(const std::string &text) {
        SIZE size = {0, 0};
        GetTextExtentPointA(m.dc, text.data(), (int)text.size(), &size);
        return size.cx;
    }
};

// The same pixels as a line drawn piece by piece at the pieces' extents.
std::vector<COLORREF> drawn(const std::string &text) {
    Line line;
    line.draw(10, text);
    return line.m.pixels();
}
std::vector<COLORREF> pieces(const std::vector<std::string> &parts) {
    Line line;
    int x = 10;
    for (const std::string &part : parts) {
        line.draw(x, part);
        x += line.width(part);
    }
    return line.m.pixels();
}

TEST(TextScripts, Utf8AndWindows1252SpellingsOfAWordDrawAndMeasureAlike) {
    Line line;
    EXPECT_EQ(line.width("Gr\xC3\xBC\xC3\x9F" "e"), line.width("Gr\xFC\xDF" "e"));
    EXPECT_EQ(drawn("Gr\xC3\xBC\xC3\x9F" "e"), drawn("Gr\xFC\xDF" "e"));
    EXPECT_NE(drawn("Gr\xC3\xBC\xC3\x9F" "e"), drawn("Gr\xC3\x83\xC2\xBC\xC3\x83\xC5\xB8" "e"));  // not "GrÃ¼ÃŸe"
}

TEST(TextScripts, CharactersTheFaceLacksComeFromAnotherFaceAtTheSameSize) {
    Line line;
    // DejaVu Sans has no Chinese: each character is one full-width glyph of
    // another face, not three Windows-1252 characters, nor a box.
    const std::string ni = "\xE4\xBD\xA0", hao = "\xE5\xA5\xBD";
    EXPECT_GE(line.width(ni), 19);
    EXPECT_LE(line.width(ni), 21);
    EXPECT_EQ(line.width(ni + hao), line.width(ni) + line.width(hao));
    EXPECT_NE(drawn(ni), drawn(hao));
    EXPECT_NE(drawn(ni), drawn("\xCD\xB8"));  // U+0378, which no font has
}

TEST(TextScripts, ACharacterNoFontHasIsABoxAndTheLineGoesOn) {
    const std::string missing = "\xCD\xB8";  // U+0378
    Line line;
    EXPECT_GT(line.width(missing), 3);
    std::vector<COLORREF> box = drawn(missing);
    EXPECT_NE(box, drawn(""));
    EXPECT_EQ(drawn(missing + "bc" + missing + "d"), pieces({missing, "bc", missing, "d"}));
}

TEST(TextScripts, RightToLeftRunsAreReversedInsideALeftToRightLine) {
    // Hebrew alef, bet: bet is drawn first, left of alef; the English around
    // them stays in its place.
    const std::string alef = "\xD7\x90", bet = "\xD7\x91";
    EXPECT_EQ(drawn("ab " + alef + bet + " cd"), pieces({"ab ", bet, alef, " cd"}));
    EXPECT_NE(drawn(alef + bet), pieces({alef, bet}));
}

TEST(TextScripts, ArabicLettersJoin) {
    // Three behs joined are not three lone behs side by side.
    const std::string beh = "\xD8\xA8";
    Line line;
    EXPECT_NE(drawn(beh + beh + beh), pieces({beh, beh, beh}));
    EXPECT_LT(line.width(beh + beh + beh), 3 * line.width(beh));
}

TEST(TextScripts, AHundredThousandCharactersOfMixedScriptsDrawAndMeasure) {
    const std::string unit = "Gr\xC3\xBC\xC3\x9F" "e \xD0\x9F\xD1\x80\xD0\xB8 \xE4\xBD\xA0\xE5\xA5\xBD "
                             "\xD9\x85\xD8\xB1\xD8\xAD\xD8\xA8\xD8\xA7 \x80\xCD\xB8 ";  // 23 characters
    std::string text;
    while (text.size() < 100000 * unit.size() / 23) text += unit;
    Line line(600, 40);
    const long units = (long)(text.size() / unit.size());
    EXPECT_EQ(line.width(text), std::min<long>(units * line.width(unit), INT32_MAX));
    line.draw(-1000, text);
    std::vector<COLORREF> pixels = line.m.pixels();
    EXPECT_NE(std::count(pixels.begin(), pixels.end(), kWhite), (long)pixels.size());
}

}  // namespace
