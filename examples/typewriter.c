/* typewriter.c - type on a sheet of paper.
 *
 * Each typed character comes as a KAPLO_KBD event with the character in
 * key. We keep the text in an array of lines and draw the whole page again
 * after every key, with KAPLO_textf, which works like printf: "%s" puts a
 * string into the text, "%d" a number.
 *
 * Enter starts a new line and Backspace rubs out the last character.
 */
#include <kaplo.h>

#define LINES 12       /* lines on the page */
#define LINE_LENGTH 44 /* characters on a line */

/* The text: one string per line. Global arrays start out filled with zeros,
   so every line starts as the empty string "". */
static char page[LINES][LINE_LENGTH + 1];

/* Draws the paper, every line of text, and a cursor "_" after the text of
   the line we are typing on. The typed text goes in through "%s", never as
   the format itself, where a typed % would be taken for an instruction. */
static void draw_page(int line, int column)
{
    int i;

    KAPLO_rectangle(GRAY_50, -297, 238, 297, -238, 0);
    KAPLO_rectangle(CHALK, -270, 225, 270, -205, 0);
    for (i = 0; i < LINES; i++) {
        if (i == line) {
            KAPLO_textf(NAVY_BLUE, -255, 190 - 32 * i, 18, "%s_", page[i]);
        } else {
            KAPLO_textf(NAVY_BLUE, -255, 190 - 32 * i, 18, "%s", page[i]);
        }
    }
    KAPLO_textf(WHITE, -270, -228, 12, "line %d, column %d      Enter: new line, Backspace: rub out",
                line + 1, column + 1);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    int line = 0;   /* the line we are typing on, 0 is the top one */
    int column = 0; /* how many characters that line has */

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    draw_page(line, column);

    while ((kind = KAPLO_next_event(&x, &y, &key)) != KAPLO_QUIT) {
        if (kind != KAPLO_KBD) {
            continue; /* mouse clicks do nothing here */
        }
        if (key == '\r' && line < LINES - 1) {          /* Enter */
            line = line + 1;
            column = 0;
        } else if (key == '\b' && column > 0) {         /* Backspace */
            column = column - 1;
            page[line][column] = '\0';                  /* the string now ends here */
        } else if (key >= ' ' && column < LINE_LENGTH) { /* a character to print */
            page[line][column] = key;
            column = column + 1;
            page[line][column] = '\0';
        }
        draw_page(line, column);
    }

    KAPLO_end();
    return 0;
}
