// The battle game's operations: main loop and action panel, scenery, fighters
// and action animations. The game's state lives in WinMain's locals and is lent
// to these operations by reference.
#pragma once

#include "kaplo.h"

#define STAR_COUNT 7
#define FLAME_COUNT 8

// ---- main loop and action panel (main_loop.cpp) ----------------------------

void draw_action_panel(int box_x, int box_y);
int hit_action_panel(int x, int y);
int button_index(int x, int y);
void slide_box(int &box_x, int &box_direction);
void show_program_error(void);
void seed_random(void);

// ---- scenery (scenery.cpp) --------------------------------------------------

// One random term: a fresh draw of the standard generator modulo n.
int random_term(int n);

void place_flyer(int &flyer_x, int &flyer_y);
void place_stars(int star_x[STAR_COUNT], int star_y[STAR_COUNT]);
void twinkle_stars(int star_size[STAR_COUNT], int star_color[STAR_COUNT]);
void move_flyer(int &flyer_x, int &flyer_y);
void jitter_flames(int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT],
                   const int base_y[FLAME_COUNT]);
void draw_scene(int flyer_x, int flyer_y, const int star_x[STAR_COUNT], const int star_y[STAR_COUNT],
                const int star_size[STAR_COUNT], const int star_color[STAR_COUNT], int tip_x[FLAME_COUNT],
                int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT], const int base_y[FLAME_COUNT]);
void draw_flyer(int x, int y);
void draw_stars(const int star_x[STAR_COUNT], const int star_y[STAR_COUNT], const int star_size[STAR_COUNT],
                const int star_color[STAR_COUNT]);
void draw_structures(void);
void draw_campfire(int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], const int base_x[FLAME_COUNT],
                   const int base_y[FLAME_COUNT]);

// ---- fighters and action animations (fighters.cpp) --------------------------

void draw_right_fighter(int x, int y);
void draw_left_fighter(int x, int y);

// Each animation plays to its end and returns 0, or returns 1 at once when an
// event retrieval reports KAPLO_QUIT, so that the main loop can end the game.
int laser_blast_attack(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                       int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                       int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                       int base_y[FLAME_COUNT]);
int dual_subwoofers(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                    int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                    int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                    int base_y[FLAME_COUNT]);
int morph_into_energy(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                      int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                      int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                      int base_y[FLAME_COUNT]);
int energy_shield(int rx, int ry, int lx, int ly, int &flyer_x, int &flyer_y, int star_x[STAR_COUNT],
                  int star_y[STAR_COUNT], int star_size[STAR_COUNT], int star_color[STAR_COUNT],
                  int tip_x[FLAME_COUNT], int tip_y[FLAME_COUNT], int base_x[FLAME_COUNT],
                  int base_y[FLAME_COUNT]);
