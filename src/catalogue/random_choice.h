// Random level choice: a draw of 15 bits mapped onto a closed range.
// Portable: no Windows types.
#pragma once

// One draw of the random source, 0 to 32767 whatever the platform's RAND_MAX.
int DrawRandom15();

// The value of CreateRandom(a, b) for the draw r (0..32767): the range between
// the bounds, in either order, is cut into span consecutive bands of draws.
// Always lies between the bounds, for every pair of ints.
int RandomInRange(int a, int b, int r);

// An int between a and b (either order), both included; one draw per call.
int CreateRandom(int a, int b);
