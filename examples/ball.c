/* ball.c - a bouncing ball.
 *
 * KAPLO_set_animation(ANIMATE_RUN) asks the package for a steady stream of
 * KAPLO_PERIODIC events, about ten a second. On each one we move the ball a
 * little and draw the whole picture again: that is all an animation is.
 *
 * Keys: space halts the animation or runs it again, s (while halted) moves
 * one step, q quits. The Run menu does the same with Ctrl+A (animate),
 * Ctrl+H (halt), Ctrl+F (one frame) and Ctrl+Q (quit).
 */
#include <kaplo.h>

#define FLOOR -180 /* y of the floor */
#define RADIUS 20  /* size of the ball */
#define WALL 277   /* the centre of the ball turns back here (297 - RADIUS) */

/* Draws the room, the ball with its shadow, and a line of help. */
static void draw_frame(int x, int y, int bounces, int running)
{
    KAPLO_rectangle(ICE_BLUE, -297, 238, 297, FLOOR, 0);
    KAPLO_rectangle(GRAY_50, -297, FLOOR, 297, -238, 0);
    KAPLO_oval(BLACK, x - RADIUS, FLOOR + 4, x + RADIUS, FLOOR - 4, 0); /* shadow */
    KAPLO_circle(RED, x, y, RADIUS);
    KAPLO_circle(WHITE, x - 7, y + 7, 4); /* a shine on the ball */
    if (running) {
        KAPLO_textf(BLACK, -285, 215, 14, "bounces: %d      space: halt   q: quit", bounces);
    } else {
        KAPLO_textf(BLACK, -285, 215, 14, "bounces: %d      halted - space: run   s: one step", bounces);
    }
}

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show)
{
    int kind, x, y;
    char key;
    int ball_x = -200, ball_y = 150; /* where the ball is */
    int speed_x = 6, speed_y = 0;    /* how far it moves in one step */
    int bounces = 0;
    int running = 1;

    KAPLO_begin(instance, previous, command_line, show);
    KAPLO_set_logging(0);
    KAPLO_set_animation(ANIMATE_RUN); /* periodic events, please */
    draw_frame(ball_x, ball_y, bounces, running);

    while ((kind = KAPLO_next_event(&x, &y, &key)) != KAPLO_QUIT) {
        if (kind == KAPLO_PERIODIC) {
            ball_x = ball_x + speed_x;
            ball_y = ball_y + speed_y;
            speed_y = speed_y - 3; /* gravity pulls the ball down a little more each step */
            if (ball_y - RADIUS <= FLOOR) {
                ball_y = FLOOR + RADIUS; /* on the floor: throw it up again */
                speed_y = 30;
                bounces = bounces + 1;
            }
            if (ball_x > WALL || ball_x < -WALL) {
                speed_x = -speed_x; /* a wall: turn round */
            }
        } else if (kind == KAPLO_KBD && key == ' ') {
            running = !running;
            KAPLO_set_animation(running ? ANIMATE_RUN : ANIMATE_HALT);
        } else if (kind == KAPLO_KBD && key == 's') {
            KAPLO_set_animation(ANIMATE_STEP); /* exactly one more periodic event */
        } else if (kind == KAPLO_KBD && key == 'q') {
            /* ANIMATE_QUIT makes the next event come back as KAPLO_QUIT. We also
               run the animation, so that a next event comes at once. */
            KAPLO_set_animation(ANIMATE_QUIT);
            KAPLO_set_animation(ANIMATE_RUN);
        }
        draw_frame(ball_x, ball_y, bounces, running);
    }

    KAPLO_end();
    return 0;
}
