/* clock.c - an analog clock.
 *
 * The animation gives us about ten KAPLO_PERIODIC events a second. On each
 * we ask C's library for the time: time() gives the seconds since 1970 and
 * localtime() turns them into hours, minutes and seconds on your clock. We
 * draw the clock again only when the second has changed.
 *
 * The hands are lines from the centre. For a hand at an angle a (measured
 * clockwise from 12 o'clock) of length r, the tip is at x = r sin(a),
 * y = r cos(a); sin() and cos() come from math.h and want radians.
 */
#include <math.h>
#include <time.h>
#include <kaplo.h>

#define RADIUS 180 /* size of the clock face */

/* The point at `length` from the centre in the direction of `degrees`. */
static int tip_x(double degrees, int length)
{
    return (int)(length * sin(degrees * 3.14159265 / 180.0));
}

static int tip_y(double degrees, int length)
{
    return (int)(length * cos(degrees * 3.14159265 / 180.0));
}

/* Draws a hand from the centre. */
static void draw_hand(int color, double degrees, int length, int width)
{
    KAPLO_line(color, 0, 0, tip_x(degrees, length), tip_y(degrees, length), width);
}

/* Draws the face with its marks and numbers, the three hands and the time in digits. */
static void draw_clock(struct tm *now)
{
    int i;

    KAPLO_rectangle(NAVY_BLUE, -297, 238, 297, -238, 0);
    KAPLO_circle(GOLD, 0, 0, RADIUS + 8);
    KAPLO_circle(CHALK, 0, 0, RADIUS);
    for (i = 0; i < 60; i++) { /* one mark per minute, longer ones at the hours */
        if (i % 5 == 0) {
            KAPLO_line(BLACK, tip_x(i * 6, 150), tip_y(i * 6, 150), tip_x(i * 6, 172), tip_y(i * 6, 172), 4);
        } else {
            KAPLO_circle(GRAY_50, tip_x(i * 6, 166), tip_y(i * 6, 166), 2);
        }
    }
    KAPLO_text(BLACK, -13, 120, 20, "12"); /* text stands on its point: move it left and down a bit */
    KAPLO_text(BLACK, 123, -8, 20, "3");
    KAPLO_text(BLACK, -6, -138, 20, "6");
    KAPLO_text(BLACK, -133, -8, 20, "9");

    draw_hand(BLACK, (now->tm_hour % 12) * 30 + now->tm_min * 0.5, 95, 8);
    draw_hand(BLACK, now->tm_min * 6 + now->tm_sec * 0.1, 140, 5);
    draw_hand(RED, now->tm_sec * 6, 150, 2);
    KAPLO_circle(RED, 0, 0, 7);
    KAPLO_textf(WHITE, -45, -225, 20, "%02d:%02d:%02d", now->tm_hour, now->tm_min, now->tm_sec);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    time_t shown = 0; /* the time on the clock, in seconds since 1970 */
    time_t now;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    KAPLO_set_animation(ANIMATE_RUN);

    do {
        now = time(NULL);
        if (now != shown) { /* a new second: draw the clock again */
            draw_clock(localtime(&now));
            shown = now;
        }
        kind = KAPLO_next_event(&x, &y, &key);
    } while (kind != KAPLO_QUIT);

    KAPLO_end();
    return 0;
}
