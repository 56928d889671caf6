/* KAPLO graphics package: two windows, an event loop, shapes and text in 24
 * colours, a log window and event scripts. Usable from C and C++.
 *
 * Coordinates have their origin at the centre of the drawing window's
 * client area, x to the right and y upwards. */
#ifndef KAPLO_H
#define KAPLO_H

#include <windows.h>

#ifdef __cplusplus
extern "C" {
#endif

/* Event kinds returned by KAPLO_next_event. */
#define KAPLO_MOUSE 1
#define KAPLO_KBD 2
#define KAPLO_PERIODIC 3
#define KAPLO_QUIT 4

/* Requests for KAPLO_set_animation. */
#define ANIMATE_HALT 0
#define ANIMATE_STEP 1
#define ANIMATE_RUN 2
#define ANIMATE_QUIT 5

/* The palette. */
#define NUM_COLORS 24
#define BLACK 0
#define WHITE 1
#define RED 2
#define GREEN 3
#define BLUE 4
#define YELLOW 5
#define MAGENTA 6
#define CYAN 7
#define PURPLE 8
#define NAVY_BLUE 9
#define DUSTY_PLUM 10
#define ICE_BLUE 11
#define TURQUOISE 12
#define ORANGE 13
#define BROWN 14
#define PINK 15
#define CHALK 16
#define GOLD 17
#define PEACH 18
#define FOREST_GREEN 19
#define SEA_GREEN 20
#define OLIVE 21
#define GRAY_50 22
#define GRAY_20 23

/* Start-up and shutdown. */
int KAPLO_begin(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show);
int KAPLO_end(void);
int KAPLO_set_animation(int request);

/* Waits for the next event; returns its kind and fills x, y and key. */
int KAPLO_next_event(int *x, int *y, char *key);

/* The log window. */
int KAPLO_log(const char *format, ...);
int KAPLO_set_logging(int on);

/* Drawing. Colours are palette indices; width 0 means filled. */
int KAPLO_circle(int color, int x, int y, int radius);
int KAPLO_triangle(int color, int x1, int y1, int x2, int y2, int x3, int y3, int width);
int KAPLO_rectangle(int color, int x1, int y1, int x2, int y2, int width);
int KAPLO_oval(int color, int x1, int y1, int x2, int y2, int width);
int KAPLO_line(int color, int x1, int y1, int x2, int y2, int width);
int KAPLO_text(int color, int x, int y, int ptsize, const char *text);
int KAPLO_textf(int color, int x, int y, int ptsize, const char *format, ...);
int KAPLO_wipe(void);

#ifdef __cplusplus
}
#endif

#endif
