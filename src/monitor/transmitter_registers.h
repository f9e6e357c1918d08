// SPDX-License-Identifier: GPL-3.0-or-later
// What a transmitter's input registers hold, shared by the monitor and the simulator: the kinds
// of transmitter, how many registers each gives, and a float32 as two registers, high word first.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

namespace tarn {

// ER: one 16-bit register spanning the probe life; LPR: a float32 rate in two registers.
enum class TransmitterKind { kEr, kLpr };

inline int RegisterCount(TransmitterKind kind) {
  return kind == TransmitterKind::kEr ? 1 : 2;
}

inline std::array<uint16_t, 2> Float32Words(float value) {
  const uint32_t bits = std::bit_cast<uint32_t>(value);
  return {static_cast<uint16_t>(bits >> 16), static_cast<uint16_t>(bits & 0xFFFFu)};
}

inline float Float32FromWords(uint16_t high, uint16_t low) {
  return std::bit_cast<float>((static_cast<uint32_t>(high) << 16) | low);
}

}  // namespace tarn
