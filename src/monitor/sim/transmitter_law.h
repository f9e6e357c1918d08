// SPDX-License-Identifier: GPL-3.0-or-later
// What a simulated online transmitter reads at a given time: an ER probe's metal loss growing at
// a steady rate, as the 16-bit register of its probe life, and an LPR rate as two float32 words.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "monitor/transmitter_registers.h"

namespace tarn {

enum class LossUnit { kMils, kMm };

// One simulated transmitter: its first input register and the figures its value follows.
struct SimTransmitter {
  TransmitterKind kind = TransmitterKind::kEr;
  int first_register = 0;
  double span = 5;                  // ER: metal loss at register 65535, in `unit`
  LossUnit unit = LossUnit::kMils;  // ER: the unit of span, start and loss
  double rate = 10;                 // ER: loss per year in `unit`; LPR: the rate in mpy
  double start_loss = 0;            // ER: metal loss at elapsed time 0, in `unit`
};

// A year of 365.25 days: the year of mils (or mm) per year.
inline constexpr double kSecondsPerYear = 365.25 * 24 * 3600;

// Metal loss after `elapsed_seconds`: start + rate x elapsed years.
double ErLossAt(const SimTransmitter& t, double elapsed_seconds);

// The register for a loss over a span: 0..65535 for 0..span, rounded, clamped at both ends (a
// probe past its life reads 65535, as the instrument does). 0 for a span that is not positive.
uint16_t ErRegisterFor(double loss, double span);

// The value of `offset` (0 or 1) among the registers of `t` at `elapsed_seconds`.
uint16_t TransmitterRegister(const SimTransmitter& t, int offset, double elapsed_seconds);

}  // namespace tarn
