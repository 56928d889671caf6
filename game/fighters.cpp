// The two fighters and the four action animations. Every animation is a loop
// of frames: take one event, on a periodic one advance the animation and the
// scenery, then draw the scene and the animation's effect on top.
#include "game.h"

// Retrieves the next event for an animation frame; its position and key are not used.
static int frame_event(void) {
    int x, y;
    char key;
    return KAPLO_next_event(&x, &y, &key);
}

// The scenery's share of a periodic event: flyer, stars, flames.
static void scenery_tick(int &flyer_x, int &flyer_y, int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                         int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT],
                         const int base_y[FLAME_COUNT]) {
    move_flyer(flyer_x, flyer_y);
    twinkle_stars(star_size, star_color);
    jitter_flames(tip_x, tip_y, base_x, base_y);
}

// Draws the grey right fighter standing at (x, y).
void draw_right_fighter(int x, int y) {
    KAPLO_rectangle(GRAY_50, x - 25, y - 35, x + 25, y + 35, 0);
    KAPLO_rectangle(GRAY_50, x, y + 18, x - 40, y + 2, 0);
    KAPLO_rectangle(GRAY_50, x - 10, y - 35, x + 10, y - 85, 0);
    KAPLO_rectangle(GRAY_50, x - 12, y + 35, x + 12, y + 63, 0);
    KAPLO_rectangle(FOREST_GREEN, x + 2, y + 55, x - 12, y + 50, 0);
    KAPLO_circle(GRAY_20, x - 45, y + 10, 10);
    KAPLO_oval(GRAY_20, x - 24, y - 95, x + 16, y - 80, 0);
    KAPLO_rectangle(GRAY_20, x + 15, y + 30, x + 40, y - 14, 0);
    KAPLO_line(GRAY_20, x + 30, y, x + 32, y - 20, 8);
}

// Draws the olive left fighter standing at (x, y), its gun ending at x + 75.
void draw_left_fighter(int x, int y) {
    KAPLO_triangle(OLIVE, x + 13, y + 67, x + 13, y + 10, x - 17, y + 54, 0);
    KAPLO_rectangle(OLIVE, x - 25, y - 35, x + 25, y + 35, 0);
    KAPLO_circle(GOLD, x + 20, y, 10);
    KAPLO_rectangle(OLIVE, x - 10, y - 35, x + 10, y - 85, 0);
    KAPLO_rectangle(RED, x - 2, y + 54, x + 13, y + 50, 0);
    KAPLO_oval(GOLD, x + 24, y - 80, x - 16, y - 95, 0);
    KAPLO_rectangle(BLACK, x + 20, y + 8, x + 55, y - 8, 0);
    KAPLO_rectangle(BLACK, x + 55, y + 5, x + 75, y - 5, 0);
    KAPLO_rectangle(GOLD, x - 15, y + 30, x - 40, y - 14, 0);
    KAPLO_line(GOLD, x - 30, y, x - 32, y - 20, 8);
}

// Button 1: the left fighter's beam flies to the right fighter and crackles there.
int laser_blast_attack(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                       int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                       int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                       int base_y[FLAME_COUNT]) {
    int burst = 25 + random_term(11);
    int tx = lx + 75, ty = ly;
    int hx = lx + 75, hy = ly;

    // Flight: only periodic events move the beam on.
    while (hx <= rx - 16) {
        int kind = frame_event();
        if (kind == KAPLO_QUIT) return 1;
        if (kind == KAPLO_PERIODIC) {
            tx = hx + 4;
            hx = hx + 12;
            ty = hy;
            hy = hy + random_term(9) - 4;
            scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        }
        draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(rx, ry);
        draw_left_fighter(lx, ly);
        KAPLO_line(ICE_BLUE, tx, ty, hx, hy, 14);
        KAPLO_line(PINK, tx - 4, ty, hx + 4, hy, 1);
    }

    // Impact: the tail jumps about the right fighter, the head stays put.
    for (int frame = 0; frame < burst + 1; frame++) {
        int kind = frame_event();
        if (kind == KAPLO_QUIT) return 1;
        if (kind == KAPLO_PERIODIC) {
            tx = rx - 40 + random_term(95);
            ty = ry - 100 + random_term(200);
            scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        }
        draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(rx, ry);
        draw_left_fighter(lx, ly);
        KAPLO_line(YELLOW, tx, ty, hx, hy, 3 + random_term(4));
        KAPLO_line(DUSTY_PLUM, tx, ty, hx, hy, 1);
    }
    return 0;
}

// Button 2: a loudspeaker cabinet replaces the left fighter; the right fighter shakes.
int dual_subwoofers(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                    int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                    int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                    int base_y[FLAME_COUNT]) {
    int cx = lx + 15, cy = ly - 40;
    // Until the first periodic event: cones at rest, fighter in its place.
    int p = 0;
    int sx = rx, sy = ry;

    for (int frame = 0; frame < 71; frame++) {
        int kind = frame_event();
        if (kind == KAPLO_QUIT) return 1;
        if (kind == KAPLO_PERIODIC) {
            p = random_term(5);
            sx = rx + 5 - random_term(11);
            sy = ry + 2 - random_term(5);
            scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        }
        draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(sx, sy);
        KAPLO_rectangle(OLIVE, cx - 61, cy - 35, cx + 61, cy + 35, 0);
        KAPLO_rectangle(GOLD, cx - 58, cy - 32, cx + 58, cy + 32, 1);
        KAPLO_circle(BLACK, cx - 28, cy, p + 19);
        KAPLO_circle(GRAY_50, cx - 28, cy, p + 4);
        KAPLO_circle(BLACK, cx + 28, cy, p + 19);
        KAPLO_circle(GRAY_50, cx + 28, cy, p + 4);
    }
    return 0;
}

// Moves a ball row on: the leader 17 ahead, the trail 16..25 apart, a new radius.
static void advance_balls(int balls[6], int &radius) {
    balls[0] -= 17;
    radius = 27 + random_term(6);
    for (int k = 1; k <= 5; k++) balls[k] = balls[k - 1] + 16 + random_term(10);
}

// Draws the left fighter and the energy ring, filled up to top.
static void draw_energy_ring(int rx, int ry, int lx, int ly, int top) {
    draw_left_fighter(lx, ly);
    KAPLO_oval(MAGENTA, rx - 21, ry - 28, rx + 21, ry + 28, 4);
    KAPLO_oval(CYAN, rx - 18, ry - 24, rx + 17, top, 0);
}

// Draws two crackling cyan lines across the left fighter at (lx, ly).
static void draw_crackle(int lx, int ly) {
    // Random terms in the order written: start x, start y, end x, end y, width.
    int x1 = lx + 15 + random_term(40);
    int y1 = ly + 65 + random_term(25);
    int x2 = lx - 15 - random_term(40);
    int y2 = ly - 65 - random_term(25);
    int width = 3 + random_term(4);
    KAPLO_line(CYAN, x1, y1, x2, y2, width);
    x1 = lx - 15 - random_term(40);
    y1 = ly + 65 + random_term(25);
    x2 = lx + 15 + random_term(40);
    y2 = ly - 65 - random_term(25);
    width = 3 + random_term(4);
    KAPLO_line(CYAN, x1, y1, x2, y2, width);
}

// Button 3: the right fighter, a ring of energy, fires three volleys and takes three back.
int morph_into_energy(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                      int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                      int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                      int base_y[FLAME_COUNT]) {
    int top = ry + 24;
    // Until the first periodic event the radius is the smallest one the update
    // gives, and a new row's trail stands bunched behind its leading ball at the
    // closest spacing the update gives.
    int radius = 27;
    int out[6] = {rx, rx + 16, rx + 32, rx + 48, rx + 64, -300};
    int in[6] = {250, 266, 282, 298, 314, ry};

    // Outgoing: balls fly left along y = ry until the whole row has left.
    for (int volley = 0; volley < 3; volley++) {
        top -= 16;
        out[0] = rx;
        out[5] = -300;
        while (out[5] >= -300) {
            int kind = frame_event();
            if (kind == KAPLO_QUIT) return 1;
            if (kind == KAPLO_PERIODIC) {
                advance_balls(out, radius);
                scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
            }
            draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
            draw_energy_ring(rx, ry, lx, ly, top);
            KAPLO_circle(CYAN, out[0], ry, radius);
            if (out[0] <= lx) draw_crackle(lx, ly);
            for (int k = 1; k <= 5; k++) {
                if (out[k] < rx) KAPLO_circle(CYAN, out[k], ry, radius - 4 - random_term(8));
            }
        }
    }

    // Incoming: balls fall onto the ring along x = rx, drawn only above ry.
    for (int volley = 0; volley < 3; volley++) {
        in[0] = 250;
        in[5] = ry;
        while (in[5] >= ry) {
            int kind = frame_event();
            if (kind == KAPLO_QUIT) return 1;
            if (kind == KAPLO_PERIODIC) {
                advance_balls(in, radius);
                scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
            }
            draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
            draw_energy_ring(rx, ry, lx, ly, top);
            if (in[0] > ry) KAPLO_circle(CYAN, rx, in[0], radius);
            for (int k = 1; k <= 5; k++) {
                if (in[k] > ry) KAPLO_circle(CYAN, rx, in[k], radius - 4 - random_term(8));
            }
        }
        top += 16;
    }
    return 0;
}

// Button 4: a shield of random colour and width flickers round the right fighter.
int energy_shield(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                  int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                  int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                  int base_y[FLAME_COUNT]) {
    for (int frame = 0; frame < 41; frame++) {
        int kind = frame_event();
        if (kind == KAPLO_QUIT) return 1;
        if (kind == KAPLO_PERIODIC) {
            scenery_tick(flyer_x, flyer_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        }
        draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
        draw_right_fighter(rx, ry);
        draw_left_fighter(lx, ly);
        int color = random_term(NUM_COLORS);
        int width = 4 + random_term(8);
        KAPLO_oval(color, rx - 65, ry - 110, rx + 55, ry + 85, width);
    }
    return 0;
}
