/* greetings.c - hello in several languages, and your own words under them.
 *
 * Text in KAPLO is UTF-8, the way today's editors save a source file: write
 * the words in your own language between the quotes and they are drawn as
 * written. A letter outside plain English takes more than one byte (char)
 * in the string: "ü" is two, "你" three.
 *
 * Typing works the same way: a key that gives such a letter comes as one
 * KAPLO_KBD event per byte. Keep every byte in a string, in order, and the
 * string holds the word that was typed. Backspace must then take away the
 * whole last letter, all its bytes, not just the last byte.
 */
#include <kaplo.h>

#define TYPED_SIZE 200 /* bytes kept of what is typed */

/* What was typed so far, as a string; it starts out empty. */
static char typed[TYPED_SIZE + 1];
static int typed_length = 0;

/* Takes away the last letter: its bytes after the first all look like
   10xxxxxx in binary (128 to 191), so drop those, then its first byte. */
static void rub_out(void)
{
    while (typed_length > 0 && ((unsigned char)typed[typed_length - 1] & 0xC0) == 0x80) {
        typed_length = typed_length - 1;
    }
    if (typed_length > 0) {
        typed_length = typed_length - 1;
    }
    typed[typed_length] = '\0';
}

/* Draws the greetings and what was typed. */
static void draw(void)
{
    KAPLO_wipe();
    KAPLO_rectangle(ICE_BLUE, -297, 238, 297, -120, 0);
    KAPLO_text(NAVY_BLUE, -270, 190, 26, "Grüß Gott! Bonjour, ça va?");
    KAPLO_text(FOREST_GREEN, -270, 140, 26, "Γειά σου! Привет!");
    KAPLO_text(RED, -270, 90, 26, "你好，世界！");
    KAPLO_text(PURPLE, -270, 40, 26, "مرحبا بالعالم");
    KAPLO_text(BLACK, -270, -10, 18, "Hello = مرحبا = 你好 = Привет");
    KAPLO_text(GRAY_50, -270, -80, 14, "Type in any language (Backspace rubs out):");
    KAPLO_textf(BLACK, -270, -130, 22, "%s_", typed);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    draw();

    while ((kind = KAPLO_next_event(&x, &y, &key)) != KAPLO_QUIT) {
        if (kind != KAPLO_KBD) {
            continue;
        }
        if (key == '\b') {
            rub_out();
        } else if ((unsigned char)key >= ' ' && typed_length < TYPED_SIZE) {
            /* a byte of a letter outside English is 128 to 255: as a char it is
               negative, so it is compared as an unsigned char */
            typed[typed_length] = key; /* one byte of a letter */
            typed_length = typed_length + 1;
            typed[typed_length] = '\0';
        }
        draw();
    }

    KAPLO_end();
    return 0;
}
