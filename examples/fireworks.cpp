// fireworks.cpp - click in the night sky to launch fireworks (C++).
//
// KAPLO works from C++ just as from C. Here the sparks of the fireworks live
// in a std::vector, which grows and shrinks as sparks are made and burn out.
// Each periodic event moves every spark a little and pulls it down.
#include <algorithm>
#include <cstdlib>
#include <ctime>
#include <vector>

#include <kaplo.h>

// One spark. Position and speed are kept in sixteenths of a pixel, so
// that slow sparks still move smoothly.
struct Spark {
    int x, y;
    int speed_x, speed_y;
    int color;
    int life; // steps until it burns out
};

// The bright colours of the palette, for sparks.
const int bright[] = {RED, YELLOW, MAGENTA, CYAN, ORANGE, PINK, GREEN, GOLD};

// Adds a burst of 40 sparks at (x, y), flying off in all directions.
void burst(std::vector<Spark> &sparks, int x, int y) {
    int color = bright[std::rand() % 8];
    for (int i = 0; i < 40; ++i) {
        int speed_x, speed_y;
        do { // a random speed, tried again until it lies in a circle: a round burst
            speed_x = std::rand() % 321 - 160;
            speed_y = std::rand() % 321 - 160;
        } while (speed_x * speed_x + speed_y * speed_y > 160 * 160);
        Spark s = {x * 16, y * 16, speed_x, speed_y, color, 16 + std::rand() % 16};
        sparks.push_back(s);
    }
}

// Moves every spark one step and removes those that have burnt out.
void move(std::vector<Spark> &sparks) {
    for (Spark &s : sparks) {
        s.x += s.speed_x;
        s.y += s.speed_y;
        s.speed_y -= 6; // gravity
        s.life -= 1;
    }
    sparks.erase(std::remove_if(sparks.begin(), sparks.end(), [](const Spark &s) { return s.life <= 0; }),
                 sparks.end());
}

// Draws the sky, the town below it, and every spark.
void draw(const std::vector<Spark> &sparks, int launched) {
    KAPLO_rectangle(BLACK, -297, 238, 297, -238, 0);
    for (int i = 0; i < 8; ++i) { // houses along the bottom
        KAPLO_rectangle(GRAY_50, -297 + 75 * i, -170 + (i % 3) * 20, -237 + 75 * i, -238, 0);
        KAPLO_rectangle(CHALK, -280 + 75 * i, -190 + (i % 3) * 20, -268 + 75 * i, -202 + (i % 3) * 20, 0);
    }
    for (const Spark &s : sparks) {
        KAPLO_circle(s.color, s.x / 16, s.y / 16, s.life > 6 ? 3 : 1);
    }
    KAPLO_textf(WHITE, -285, 215, 14, "Click in the sky!  Fireworks so far: %d", launched);
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show) {
    std::vector<Spark> sparks;
    int launched = 0;
    int x, y;
    char key;

    std::srand((unsigned)std::time(nullptr)); // different fireworks every run
    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    KAPLO_set_animation(ANIMATE_RUN);
    draw(sparks, launched);

    for (;;) {
        int kind = KAPLO_next_event(&x, &y, &key);
        if (kind == KAPLO_QUIT) break;
        if (kind == KAPLO_MOUSE && y > -150) {
            burst(sparks, x, y);
            launched += 1;
        }
        if (kind == KAPLO_PERIODIC) move(sparks);
        draw(sparks, launched);
    }

    KAPLO_end();
    return 0;
}
