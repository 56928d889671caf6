// Keyboard translation: a desktop or page layout's characters for its keys,
// and the US layout's table from virtual keys and modifiers to characters,
// used where no layout is known (injected typing) and for control codes.
#include <windows.h>

#include <string>

#include "user/user.h"

namespace {

// The last key press taken from the input queue, as TranslateMessage sees it.
struct TakenKey {
    int vk = 0;
    bool layout = false;
    std::string text;
};
TakenKey taken_key;

// Punctuation keys: virtual key, plain character, shifted character.
struct OemKey {
    int vk;
    char plain;
    char shifted;
};
const OemKey kOemKeys[] = {
    {VK_OEM_1, ';', ':'},     {VK_OEM_PLUS, '=', '+'}, {VK_OEM_COMMA, ',', '<'},
    {VK_OEM_MINUS, '-', '_'}, {VK_OEM_PERIOD, '.', '>'}, {VK_OEM_2, '/', '?'},
    {VK_OEM_3, '`', '~'},     {VK_OEM_4, '[', '{'},    {VK_OEM_5, '\\', '|'},
    {VK_OEM_6, ']', '}'},     {VK_OEM_7, '\'', '"'},
};

// Shifted digits 0..9.
const char kShiftedDigits[] = ")!@#$%^&*(";

}  // namespace

// The character a key makes, or -1: letters by Shift xor Caps Lock, Ctrl +
// letter a control code, arrows and function keys nothing.
int user_key_char(int vk, bool shift, bool ctrl, bool caps) {
    if (vk >= 'A' && vk <= 'Z') {
        if (ctrl) return vk - 'A' + 1;
        return (shift != caps) ? vk : vk - 'A' + 'a';
    }
    if (vk >= '0' && vk <= '9') {
        if (ctrl) return -1;
        return shift ? kShiftedDigits[vk - '0'] : vk;
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9) return '0' + (vk - VK_NUMPAD0);
    switch (vk) {
    case VK_MULTIPLY: return '*';
    case VK_ADD: return '+';
    case VK_SUBTRACT: return '-';
    case VK_DECIMAL: return '.';
    case VK_DIVIDE: return '/';
    case VK_SPACE: return ' ';
    case VK_RETURN: return ctrl ? 0x0A : 0x0D;
    case VK_BACK: return ctrl ? 0x7F : 0x08;
    case VK_TAB: return ctrl ? -1 : 0x09;
    case VK_ESCAPE: return 0x1B;
    default: break;
    }
    for (const OemKey &k : kOemKeys) {
        if (k.vk != vk) continue;
        if (ctrl) {
            if (k.plain == '[') return 0x1B;
            if (k.plain == '\\') return 0x1C;
            if (k.plain == ']') return 0x1D;
            return -1;
        }
        return shift ? k.shifted : k.plain;
    }
    return -1;
}

// The key, with Shift or Ctrl, that makes a character (Caps Lock off).
bool user_char_key(unsigned char ch, int *vk, bool *shift, bool *ctrl) {
    *shift = false;
    *ctrl = false;
    if (ch >= 'a' && ch <= 'z') {
        *vk = ch - 'a' + 'A';
        return true;
    }
    if (ch >= 'A' && ch <= 'Z') {
        *vk = ch;
        *shift = true;
        return true;
    }
    if (ch >= '0' && ch <= '9') {
        *vk = ch;
        return true;
    }
    switch (ch) {
    case ' ': *vk = VK_SPACE; return true;
    case '\r': *vk = VK_RETURN; return true;
    case '\n': *vk = VK_RETURN; *ctrl = true; return true;  // Ctrl+Enter makes a line feed
    case '\b': *vk = VK_BACK; return true;
    case '\t': *vk = VK_TAB; return true;
    case 0x1B: *vk = VK_ESCAPE; return true;
    default: break;
    }
    if (ch >= 1 && ch <= 26) {
        *vk = 'A' + ch - 1;
        *ctrl = true;
        return true;
    }
    for (int d = 0; d < 10; ++d) {
        if (kShiftedDigits[d] == (char)ch) {
            *vk = '0' + d;
            *shift = true;
            return true;
        }
    }
    for (const OemKey &k : kOemKeys) {
        if (k.plain == (char)ch || k.shifted == (char)ch) {
            *vk = k.vk;
            *shift = k.shifted == (char)ch;
            return true;
        }
    }
    return false;
}

// Enter, Backspace, Tab and Escape make control codes on every layout.
bool user_control_key(int vk) {
    return vk == VK_RETURN || vk == VK_BACK || vk == VK_TAB || vk == VK_ESCAPE;
}

// Remembers the key press GetMessageA hands out, with its layout's text.
void user_key_taken(const InputEvent &event) {
    taken_key.vk = event.vk;
    taken_key.layout = event.layout;
    taken_key.text = event.text;
}

// Posts the WM_CHAR a WM_KEYDOWN makes; nonzero for every key message. A key
// from a layout makes that layout's characters, one WM_CHAR per UTF-8 byte,
// also when the press is forwarded to another window; with Ctrl alone held,
// or for a key no layout has told about, the US table's (ASCII only).
BOOL WINAPI TranslateMessage(const MSG *msg) {
    if (!msg) return FALSE;
    if (msg->message != WM_KEYDOWN && msg->message != WM_KEYUP &&
        msg->message != WM_SYSKEYDOWN && msg->message != WM_SYSKEYUP)
        return FALSE;
    if (msg->message != WM_KEYDOWN) return TRUE;
    int vk = (int)msg->wParam;
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool ctrl = GetKeyState(VK_CONTROL) < 0;
    bool alt = GetKeyState(VK_MENU) < 0;
    bool caps = (GetKeyState(VK_CAPITAL) & 1) != 0;
    bool from_layout = taken_key.layout && taken_key.vk == vk;
    if (from_layout && !(ctrl && !alt) && !user_control_key(vk)) {
        for (unsigned char byte : taken_key.text)
            PostMessageA(msg->hwnd, WM_CHAR, (WPARAM)byte, msg->lParam);
        return TRUE;
    }
    int ch = user_key_char(vk, shift, ctrl, caps);
    if (ch >= 0) PostMessageA(msg->hwnd, WM_CHAR, (WPARAM)ch, msg->lParam);
    return TRUE;
}
