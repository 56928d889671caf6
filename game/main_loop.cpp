// The battle game's entry point and main loop, and the action panel: a black
// box sliding behind four buttons that start the fighters' actions.
#include <cstdlib>
#include <ctime>

#include "game.h"

// Draws the sliding black box, then the four button outlines and labels.
void draw_action_panel(int box_x, int box_y) {
    KAPLO_rectangle(BLACK, box_x, box_y, box_x + 130, box_y - 62, 0);
    KAPLO_rectangle(SEA_GREEN, -125, -150, -15, -176, 1);
    KAPLO_rectangle(SEA_GREEN, -125, -176, -15, -202, 1);
    KAPLO_textf(SEA_GREEN, -116, -171, 12, "Laser Blast Attack");
    KAPLO_textf(SEA_GREEN, -116, -197, 12, "Dual Subwoofers");
    KAPLO_rectangle(SEA_GREEN, 15, -150, 125, -176, 1);
    KAPLO_rectangle(SEA_GREEN, 15, -176, 125, -202, 1);
    KAPLO_textf(SEA_GREEN, 24, -171, 12, "Morph into Energy");
    KAPLO_textf(SEA_GREEN, 24, -197, 12, "Energy Shield");
}

// Returns 1 when a click at (x, y) lies on the panel, gap between the columns included.
int hit_action_panel(int x, int y) {
    return (x > -125 && x < 125 && y > -202 && y < -150) ? 1 : 0;
}

// Returns the button 1..4 under a click on the panel, or 0 after showing the error text.
int button_index(int x, int y) {
    if (x < -125 || x > 125 || (x > -15 && x < 15)) {
        show_program_error();
        return 0;
    }
    int row = (-150 - y) / 26;
    return x <= 0 ? row + 1 : row + 3;
}

// Moves the box 5 along its way, turning at -140 and at 10.
void slide_box(int &box_x, int &box_direction) {
    if (box_x >= 10) box_direction = 0;
    if (box_x <= -140) box_direction = 1;
    box_x += box_direction == 1 ? 5 : -5;
}

// Writes "Program error!" in red at the centre of the drawing area.
void show_program_error(void) {
    KAPLO_textf(RED, 0, 0, 16, "Program error!");
}

// Seeds the standard generator with the current calendar time.
void seed_random(void) {
    srand((unsigned)time(NULL));
}

// Draws one whole frame of the main loop: scene, both fighters, the panel.
static void full_redraw(int flyer_x, int flyer_y, int star_x[STAR_COUNT], int star_y[STAR_COUNT],
                        int star_size[STAR_COUNT], int star_color[STAR_COUNT], int tip_x[FLAME_COUNT],
                        int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT], int base_y[FLAME_COUNT], int right_x,
                        int right_y, int left_x, int left_y, int box_x, int box_y) {
    draw_scene(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y);
    draw_right_fighter(right_x, right_y);
    draw_left_fighter(left_x, left_y);
    draw_action_panel(box_x, box_y);
}

// The program: starts the package and the scene, then redraws after every event until quit.
int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    int kind;
    int event_x, event_y;
    char event_key;
    int quit = 0;
    int flyer_x, flyer_y;
    int star_x[STAR_COUNT], star_y[STAR_COUNT];
    int star_size[STAR_COUNT], star_color[STAR_COUNT];
    int base_x[FLAME_COUNT] = {78, 87, 94, 103, 110, 116, 125, 132};
    int base_y[FLAME_COUNT] = {74, 67, 77, 75, 69, 72, 70, 73};
    int tip_x[FLAME_COUNT], tip_y[FLAME_COUNT];
    int right_x, right_y, left_x, left_y;
    int box_x, box_y, box_direction;
    int button;

    seed_random();
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    KAPLO_wipe();
    KAPLO_set_animation(ANIMATE_RUN);

    place_flyer(flyer_x, flyer_y);
    place_stars(star_x, star_y);
    twinkle_stars(star_size, star_color);
    right_x = 185;
    right_y = -110;
    left_x = -right_x;
    left_y = right_y;
    box_x = -135;
    box_y = -145;
    box_direction = 1;
    jitter_flames(tip_x, tip_y, base_x, base_y);
    full_redraw(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y, right_x,
                right_y, left_x, left_y, box_x, box_y);

    while (!quit) {
        kind = KAPLO_next_event(&event_x, &event_y, &event_key);
        if (kind == KAPLO_MOUSE) {
            if (hit_action_panel(event_x, event_y)) {
                button = button_index(event_x, event_y);
                // An animation reports a quit it received, so that it ends the
                // game here instead of being lost.
                switch (button) {
                case 0:
                    break;
                case 1:
                    quit = laser_blast_attack(right_x, right_y, left_x, left_y, flyer_x, flyer_y, star_x, star_y,
                                              star_size, star_color, tip_x, tip_y, base_x, base_y);
                    break;
                case 2:
                    quit = dual_subwoofers(right_x, right_y, left_x, left_y, flyer_x, flyer_y, star_x, star_y,
                                           star_size, star_color, tip_x, tip_y, base_x, base_y);
                    break;
                case 3:
                    quit = morph_into_energy(right_x, right_y, left_x, left_y, flyer_x, flyer_y, star_x, star_y,
                                             star_size, star_color, tip_x, tip_y, base_x, base_y);
                    break;
                case 4:
                    quit = energy_shield(right_x, right_y, left_x, left_y, flyer_x, flyer_y, star_x, star_y,
                                         star_size, star_color, tip_x, tip_y, base_x, base_y);
                    break;
                default:
                    KAPLO_set_animation(ANIMATE_HALT);
                    show_program_error();
                    break;
                }
            }
        } else if (kind == KAPLO_PERIODIC) {
            move_flyer(flyer_x, flyer_y);
            twinkle_stars(star_size, star_color);
            jitter_flames(tip_x, tip_y, base_x, base_y);
            slide_box(box_x, box_direction);
        } else if (kind == KAPLO_QUIT) {
            quit = 1;
        }
        full_redraw(flyer_x, flyer_y, star_x, star_y, star_size, star_color, tip_x, tip_y, base_x, base_y, right_x,
                    right_y, left_x, left_y, box_x, box_y);
    }

    KAPLO_end();
    return 0;
}
