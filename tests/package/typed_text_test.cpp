// Typed characters outside ASCII reach the program as their UTF-8 bytes, one
// KAPLO_KBD event each, in order, on every build.
#include "package_fixture.h"

using TypedTextTest = PackageTest;

// The keys of the events retrieved until the queue holds no more typing.
static std::string typed_keys(size_t count) {
    std::string keys;
    while (keys.size() < count) {
        Event event = next_event();
        if (event.kind != KAPLO_KBD) break;
        keys += event.key;
    }
    return keys;
}

#ifdef _WIN32
// Windows gives an "A" window a typed character in the keyboard layout's
// code page (é is 0xE9 on the Western European ones).
TEST_F(TypedTextTest, ACharacterOfTheLayoutsCodePageBecomesItsUtf8Bytes) {
    begin();
    PostMessageA(package_state.drawing_window, WM_CHAR, 0xE9, 1);
    PostMessageA(package_state.drawing_window, WM_CHAR, 'a', 1);
    EXPECT_EQ(typed_keys(3), "\xC3\xA9" "a");
}
#else
TEST_F(TypedTextTest, ALayoutsCharacterComesAsItsBytesAlsoWhenTypedInTheTextWindow) {
    begin();
    headless_layout_key(package_state.drawing_window, '2', "\xC3\xA9");
    EXPECT_EQ(typed_keys(2), "\xC3\xA9");
    // The text window hands its keys to the drawing window, which types them again.
    headless_layout_key(package_state.text_window, 'E', "\xC3\xAA");
    EXPECT_EQ(typed_keys(2), "\xC3\xAA");
    // Ctrl with the key labelled Q on any layout quits.
    headless_key_down(package_state.drawing_window, VK_CONTROL);
    headless_layout_key(package_state.drawing_window, 'Q', "q");
    EXPECT_EQ(next_event().kind, KAPLO_QUIT);
}

TEST_F(TypedTextTest, FiftyCharactersFromAnInputMethodAreEveryOneDelivered) {
    begin();
    std::string text;
    for (int i = 0; i < 50; ++i) text += "\xD0\x96";  // Ж
    headless_input_text(package_state.drawing_window, text.c_str());
    EXPECT_EQ(typed_keys(text.size()), text);
}
#endif
