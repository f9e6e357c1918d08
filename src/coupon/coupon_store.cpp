// SPDX-License-Identifier: GPL-3.0-or-later
#include "coupon/coupon_store.h"

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <vector>

#include "common/atomic_file.h"
#include "coupon/coupon_messages.h"

namespace tarn {

namespace {

// The file is little-endian on every host: values are copied byte for byte and reversed on a
// big-endian one.
template <typename T>
void PutLE(unsigned char* out, T value) {
  std::memcpy(out, &value, sizeof value);
  if constexpr (std::endian::native == std::endian::big) std::reverse(out, out + sizeof value);
}

template <typename T>
T GetLE(const unsigned char* in) {
  unsigned char bytes[sizeof(T)];
  std::memcpy(bytes, in, sizeof bytes);
  if constexpr (std::endian::native == std::endian::big) std::reverse(bytes, bytes + sizeof bytes);
  T value;
  std::memcpy(&value, bytes, sizeof value);
  return value;
}

void EncodeRecord(const _coupon_values_& c, unsigned char* out) {
  if constexpr (std::endian::native == std::endian::little) {
    std::memcpy(out, &c, kCouponRecordSize);
  } else {
    std::memcpy(out, &c, kCouponRecordSize);  // texts and padding-free layout
    PutLE(out + 24, c.coupon_type);
    PutLE(out + 28, c.alloy);
    PutLE(out + 32, c.density);
    PutLE(out + 40, c.shape);
    PutLE(out + 44, c.holes);
    PutLE(out + 48, c.hole_dia);
    PutLE(out + 56, c.length);
    PutLE(out + 64, c.width);
    PutLE(out + 72, c.thickness);
    PutLE(out + 120, c.weight_init);
    PutLE(out + 128, c.weight_final);
    PutLE(out + 136, c.area);
    PutLE(out + 144, c.exposure);
    PutLE(out + 152, c.metal_loss);
    PutLE(out + 160, c.corr_rate);
  }
}

void DecodeRecord(const unsigned char* in, _coupon_values_& c) {
  std::memcpy(&c, in, kCouponRecordSize);
  if constexpr (std::endian::native == std::endian::big) {
    c.coupon_type = GetLE<int32_t>(in + 24);
    c.alloy = GetLE<int32_t>(in + 28);
    c.density = GetLE<double>(in + 32);
    c.shape = GetLE<int32_t>(in + 40);
    c.holes = GetLE<int32_t>(in + 44);
    c.hole_dia = GetLE<double>(in + 48);
    c.length = GetLE<double>(in + 56);
    c.width = GetLE<double>(in + 64);
    c.thickness = GetLE<double>(in + 72);
    c.weight_init = GetLE<double>(in + 120);
    c.weight_final = GetLE<double>(in + 128);
    c.area = GetLE<double>(in + 136);
    c.exposure = GetLE<double>(in + 144);
    c.metal_loss = GetLE<double>(in + 152);
    c.corr_rate = GetLE<double>(in + 160);
  }
}

// Checks the signature and count of a 14-byte header against the file's size: the file must
// hold every record its count announces. *records is how many of them the store takes.
bool ReadHeader(const unsigned char* header, uint64_t file_size, int32_t* records) {
  if (std::memcmp(header, kCouponSignature, 10) != 0) return false;
  const int32_t count = GetLE<int32_t>(header + 10);
  if (count < 0) return false;
  if ((file_size - kCouponHeaderSize) / kCouponRecordSize < static_cast<uint64_t>(count)) {
    return false;
  }
  *records = std::min(count, kCouponCapacity);
  return true;
}

void DecodeRecords(const unsigned char* data, int32_t records, CouponStore& store) {
  for (int32_t i = 0; i < records; ++i) {
    DecodeRecord(data + static_cast<std::size_t>(i) * kCouponRecordSize, store.items[i]);
  }
  store.record_count = records;
}

// Size of an open file, leaving it positioned at its start; 0 when it cannot be told.
uint64_t FileSize(FILE* f) {
  if (std::fseek(f, 0, SEEK_END) != 0) return 0;
  const long size = std::ftell(f);
  std::rewind(f);
  return size < 0 ? 0 : static_cast<uint64_t>(size);
}

struct FileCloser {
  void operator()(FILE* f) const { std::fclose(f); }
};

}  // namespace

CouponFileResult DecodeCouponFile(const unsigned char* data, std::size_t size, CouponStore& store) {
  int32_t records = 0;
  if (size < kCouponHeaderSize || !ReadHeader(data, size, &records)) {
    return CouponFileResult::kInvalid;
  }
  DecodeRecords(data + kCouponHeaderSize, records, store);
  return CouponFileResult::kOk;
}

CouponFileResult Open(const std::string& path, CouponStore& store, Notifier& notifier) {
  std::unique_ptr<FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) {
    notifier.Error(kMsgCannotOpenCoupon);
    return CouponFileResult::kCannotOpen;
  }
  unsigned char header[kCouponHeaderSize];
  int32_t records = 0;
  const uint64_t size = FileSize(file.get());
  if (size < kCouponHeaderSize ||
      std::fread(header, 1, sizeof header, file.get()) != sizeof header ||
      !ReadHeader(header, size, &records)) {
    notifier.Error(kMsgInvalidCouponData);
    return CouponFileResult::kInvalid;
  }
  // Read everything first: a short file must leave the store as it was.
  std::vector<unsigned char> body(static_cast<std::size_t>(records) * kCouponRecordSize);
  if (std::fread(body.data(), 1, body.size(), file.get()) != body.size()) {
    notifier.Error(kMsgInvalidCouponData);
    return CouponFileResult::kInvalid;
  }
  DecodeRecords(body.data(), records, store);
  return CouponFileResult::kOk;
}

bool Save(const std::string& path, const CouponStore& store, Notifier& notifier) {
  const int32_t count = std::clamp(store.record_count, 0, kCouponCapacity);
  AtomicFile out(path);
  std::string why;
  bool ok = out.Open();
  if (ok) {
    unsigned char header[kCouponHeaderSize];
    std::memcpy(header, kCouponSignature, 10);
    PutLE(header + 10, count);
    ok = std::fwrite(header, 1, sizeof header, out.file()) == sizeof header;
    // Records go out in blocks to keep the number of write calls low.
    constexpr int32_t kBlock = 256;
    std::vector<unsigned char> block(kBlock * kCouponRecordSize);
    for (int32_t i = 0; ok && i < count; i += kBlock) {
      const int32_t n = std::min(kBlock, count - i);
      for (int32_t k = 0; k < n; ++k) {
        EncodeRecord(store.items[i + k], block.data() + k * kCouponRecordSize);
      }
      const std::size_t bytes = static_cast<std::size_t>(n) * kCouponRecordSize;
      ok = std::fwrite(block.data(), 1, bytes, out.file()) == bytes;
    }
    // A failed write is never renamed into place; the destructor removes the temporary file.
    if (ok) {
      const Status saved = out.Commit();
      ok = saved.ok;
      why = saved.message;
    }
  }
  if (!ok) notifier.Error(WriteFaultText(why));
  return ok;
}

}  // namespace tarn
