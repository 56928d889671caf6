// The battle scene: night sky, flyer, stars, hills, ground, grey structures and
// campfire, and the tick that keeps them moving.
#include <cstdlib>

#include "game.h"

// A fresh value of the standard generator, 0 .. n - 1.
int random_term(int n) {
    return rand() % n;
}

// Puts the flyer at its starting point, the left edge of the sky.
void place_flyer(int &flyer_x, int &flyer_y) {
    flyer_x = -325;
    flyer_y = 215;
}

// Scatters the seven stars over the upper sky.
void place_stars(int star_x[STAR_COUNT], int star_y[STAR_COUNT]) {
    for (int i = 0; i < STAR_COUNT; i++) {
        star_x[i] = 300 - random_term(601);
        star_y[i] = 250 - random_term(101);
    }
}

// Gives every star a new size (1..4) and a new colour (any palette entry).
void twinkle_stars(int star_size[STAR_COUNT], int star_color[STAR_COUNT]) {
    for (int i = 0; i < STAR_COUNT; i++) {
        star_size[i] = 1 + random_term(4);
        star_color[i] = random_term(NUM_COLORS);
    }
}

// Moves the flyer 2 or 3 right and up to 2 up or down; past x 325 it starts again.
void move_flyer(int &flyer_x, int &flyer_y) {
    flyer_x += 2 + random_term(2);
    flyer_y += random_term(5) - 2;
    if (flyer_x > 325) place_flyer(flyer_x, flyer_y);
}

// Moves every flame tip to a random point just above and right of its base.
void jitter_flames(int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT],
                   const int base_y[FLAME_COUNT]) {
    for (int i = 0; i < FLAME_COUNT; i++) {
        tip_x[i] = base_x[i] + random_term(5);
        tip_y[i] = base_y[i] + random_term(11);
    }
}

// Draws the whole background, back to front; re-jitters the flame tips.
void draw_scene(int flyer_x, int flyer_y, const int star_x[STAR_COUNT], const int star_y[STAR_COUNT],
                const int star_size[STAR_COUNT], const int star_color[STAR_COUNT], int tip_x[FLAME_COUNT],
                int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT], const int base_y[FLAME_COUNT]) {
    KAPLO_rectangle(BLACK, -300, -250, 300, 250, 0);
    draw_flyer(flyer_x, flyer_y);
    draw_stars(star_x, star_y, star_size, star_color);
    KAPLO_triangle(BROWN, -300, -50, 300, -50, 75, 166, 0);
    KAPLO_triangle(DUSTY_PLUM, -375, -50, 100, -50, -225, 166, 0);
    KAPLO_triangle(FOREST_GREEN, -100, -50, 300, -50, 300, 166, 0);
    KAPLO_rectangle(SEA_GREEN, -300, -250, 300, -50, 0);
    draw_structures();
    draw_campfire(tip_x, tip_y, base_x, base_y);
}

// Draws the flyer: a chalk mast through a turquoise saucer.
void draw_flyer(int x, int y) {
    KAPLO_line(CHALK, x, y + 12, x, y - 12, 2);
    KAPLO_oval(TURQUOISE, x - 15, y + 6, x + 15, y - 6, 0);
}

// Draws each star as two filled triangles, one pointing up and one down.
void draw_stars(const int star_x[STAR_COUNT], const int star_y[STAR_COUNT], const int star_size[STAR_COUNT],
                const int star_color[STAR_COUNT]) {
    for (int i = 0; i < STAR_COUNT; i++) {
        int x = star_x[i];
        int y = star_y[i];
        int s = star_size[i];
        int c = (int)(0.87 * s);
        int h = (int)(s / 2.0);
        KAPLO_triangle(star_color[i], x, y + s, x + c, y - h, x - c, y - h, 0);
        KAPLO_triangle(star_color[i], x, y - s, x - c, y + h, x + c, y + h, 0);
    }
}

// Draws the fixed grey structures: a tower on the left, a machine on the right.
void draw_structures(void) {
    KAPLO_line(GRAY_20, -115, 145, -105, -80, 10);
    KAPLO_line(GRAY_20, -127, 145, -155, -65, 10);
    KAPLO_line(GRAY_20, -103, 145, -80, -55, 10);
    KAPLO_line(GRAY_20, -130, 85, -100, 85, 8);
    KAPLO_line(GRAY_20, -110, 10, -140, 19, 8);
    KAPLO_line(GRAY_20, -110, 10, -95, 20, 8);
    KAPLO_rectangle(GRAY_20, -131, 145, -100, 165, 0);
    KAPLO_line(GRAY_20, 110, -20, 40, -20, 10);
    KAPLO_line(GRAY_20, 110, 2, 40, -8, 10);
    KAPLO_line(GRAY_20, 110, -42, 40, -32, 10);
    KAPLO_rectangle(GRAY_20, 40, -35, 20, -5, 0);
    KAPLO_oval(GRAY_20, 82, -95, 138, 55, 0);
    KAPLO_line(GRAY_20, 120, -20, 180, -20, 4);
    KAPLO_rectangle(SEA_GREEN, 80, -100, 140, -80, 0);
}

// Draws two layers of orange and yellow flames, re-jittering the tips between them.
void draw_campfire(int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT],
                   const int base_y[FLAME_COUNT]) {
    // Each random term is drawn into a local first, in the order the corners
    // are listed, because C++ leaves the order of evaluating call arguments open.
    for (int i = 0; i < FLAME_COUNT - 1; i++) {
        int a = 95 + 5 * i;
        int y1 = 40 - random_term(5);
        int y2 = 40 - random_term(5);
        int y3 = tip_y[i] + 9 + random_term(7);
        KAPLO_triangle(ORANGE, a - 5, y1, a + 7, y2, tip_x[i] + 2, y3, 0);
        y1 = 39 - random_term(6);
        y2 = 39 - random_term(6);
        y3 = tip_y[i] + 5 - random_term(5);
        KAPLO_triangle(YELLOW, a - 1, y1, a + 4, y2, tip_x[i] + 4, y3, 0);
    }
    jitter_flames(tip_x, tip_y, base_x, base_y);
    for (int i = 0; i < FLAME_COUNT; i++) {
        int b = 88 + 5 * i;
        int y1 = 30 - random_term(8);
        int y2 = 30 - random_term(8);
        KAPLO_triangle(ORANGE, b, y1, b + 7, y2, tip_x[i], tip_y[i], 0);
        y1 = 29 - random_term(9);
        y2 = 29 - random_term(9);
        int y3 = tip_y[i] - 4 - random_term(5);
        KAPLO_triangle(YELLOW, b + 2, y1, b + 5, y2, tip_x[i], y3, 0);
    }
}
