#include "common/atomic_file.h"

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <random>
#include <system_error>
#include <utility>

namespace tarn {

AtomicFile::AtomicFile(std::string path) : path_(std::move(path)) {}

AtomicFile::~AtomicFile() {
  if (file_ != nullptr && !released_) std::fclose(file_);
  if (!committed_ && !temp_path_.empty()) {
    std::error_code ec;
    std::filesystem::remove(temp_path_, ec);
  }
}

bool AtomicFile::Open() {
  if (file_ != nullptr || path_.empty()) return false;
  std::mt19937_64 rng(
      static_cast<uint64_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
      reinterpret_cast<uintptr_t>(this));
  for (int attempt = 0; attempt < 16; ++attempt) {
    std::string candidate = path_ + ".tmp" + std::to_string(rng() % 1000000000ULL);
    // "x": never reuse or truncate a file that happens to exist under that name.
    FILE* f = std::fopen(candidate.c_str(), "wbx");
    if (f != nullptr) {
      file_ = f;
      temp_path_ = std::move(candidate);
      return true;
    }
    if (errno != EEXIST) return false;
  }
  return false;
}

FILE* AtomicFile::Release() {
  released_ = true;
  return file_;
}

bool AtomicFile::Commit() {
  if (temp_path_.empty() || committed_) return false;
  bool ok = true;
  if (!released_ && file_ != nullptr) {
    ok = std::ferror(file_) == 0;
    ok = (std::fflush(file_) == 0) && ok;
    ok = (std::fclose(file_) == 0) && ok;
  }
  file_ = nullptr;
  released_ = true;
  if (!ok) return false;
  std::error_code ec;
  std::filesystem::rename(temp_path_, path_, ec);
  if (ec) return false;
  committed_ = true;
  return true;
}

bool WriteFileAtomically(const std::string& path, const std::string& content) {
  AtomicFile out(path);
  if (!out.Open()) return false;
  if (!content.empty() &&
      std::fwrite(content.data(), 1, content.size(), out.file()) != content.size()) {
    return false;
  }
  return out.Commit();
}

}  // namespace tarn
