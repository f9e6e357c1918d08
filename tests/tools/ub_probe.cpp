// SPDX-License-Identifier: GPL-3.0-or-later
// Overflows a signed integer: a sanitizer build must stop here with a failure status rather than
// report the finding and carry on.
#include <climits>
#include <cstdio>

int main(int argc, char**) {
  volatile int big = INT_MAX;
  const int sum = big + argc;
  std::printf("carried on past %d\n", sum);
  return 0;
}
